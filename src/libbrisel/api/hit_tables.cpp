// SPDX-License-Identifier: MIT
// hit_tables.cpp: decoding HitRecords into columns, and writing them back.
#include "api/hit_tables.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>

#include "base/error.h"
#include "output/hit_lines.h"
#include "output/report_spill.h"

namespace brisel {

std::string_view HitTable::Name(std::size_t hit) const {
  const auto run = std::upper_bound(runStarts_.begin(), runStarts_.end(), hit) - 1;
  const std::size_t r = static_cast<std::size_t>(run - runStarts_.begin());
  return std::string_view(names_).substr(nameStarts_[r], nameStarts_[r + 1] - nameStarts_[r]);
}

void HitTable::Append(const HitRecord& hit, std::string_view name, std::string_view segment) {
  const bool newRun = sequence.empty() || sequence.back() != hit.sequence;
  sequence.push_back(hit.sequence);
  motif.push_back(hit.motif);
  start.push_back(hit.start);
  end.push_back(hit.end);
  expectation.push_back(hit.expectation);
  probability.push_back(hit.probabilityOfNoRandomHit);
  if (translated_) {
    frame.push_back(static_cast<std::int8_t>(hit.frame));
    recordLength.push_back(hit.recordLength);
  }
  if (!texts_) return;
  if (newRun) {
    runStarts_.push_back(sequence.size() - 1);
    names_ += name;
    nameStarts_.push_back(names_.size());
  }
  segmentStarts_.push_back(segments_.size());
  segments_ += segment;
}

void HitTable::AppendFrom(const HitTable& other, std::size_t hit, std::uint64_t sequenceOffset) {
  const bool translated = other.translated();
  const HitRecord record{other.sequence[hit] + sequenceOffset,
                         other.motif[hit],
                         0,
                         other.start[hit],
                         other.end[hit],
                         other.expectation[hit],
                         other.probability[hit],
                         translated ? other.frame[hit] : 0,
                         static_cast<std::uint32_t>(other.Width(hit)),
                         translated ? other.recordLength[hit] : 0};
  if (!texts_) {
    Append(record, {}, {});
    return;
  }
  const bool newRun = sequence.empty() || sequence.back() != record.sequence;
  Append(record, newRun ? other.Name(hit) : std::string_view(), other.Segment(hit));
}

void HitTable::Truncate(std::size_t size) {
  if (size >= this->size()) return;
  sequence.Truncate(size);
  motif.Truncate(size);
  start.Truncate(size);
  end.Truncate(size);
  expectation.Truncate(size);
  probability.Truncate(size);
  if (translated_) {
    frame.Truncate(size);
    recordLength.Truncate(size);
  }
  if (!texts_) return;
  segments_.resize(segmentStarts_[size]);
  segmentStarts_.resize(size);
  while (!runStarts_.empty() && runStarts_.back() >= size) {
    runStarts_.pop_back();
    nameStarts_.pop_back();
  }
  names_.resize(nameStarts_.back());
}

void HitTable::Clear(bool texts, bool translated) {
  *this = HitTable();
  texts_ = texts;
  translated_ = translated;
}

namespace {

// What a saved table begins with; the columns follow (sequence, start, end,
// expectation, probability, motif, and of a translated search record length
// and frame), then with texts the run starts, the name starts, the names and
// the segments.
struct SavedHeader {
  char magic[8];
  std::uint32_t byteOrder;
  std::uint16_t texts;
  std::uint16_t translated;
  std::uint64_t hits;
  std::uint64_t runs;
  std::uint64_t nameBytes;
  std::uint64_t segmentBytes;
};
constexpr char kSavedMagic[8] = {'b', 'r', 'i', 's', 'e', 'l', 'H', '2'};
constexpr std::uint32_t kByteOrder = 0x01020304;

[[noreturn]] void DamagedSave(const std::string& what) {
  throw Error(Error::Kind::kDamaged, "the saved hits are damaged: " + what);
}

// Reads `count` values of T from `bytes` at `at`, checked against its size.
template <typename T>
const char* Take(std::string_view bytes, std::size_t& at, std::uint64_t count) {
  if (count > (bytes.size() - at) / sizeof(T)) DamagedSave("they are cut short");
  const char* data = bytes.data() + at;
  at += count * sizeof(T);
  return data;
}

template <typename T>
void Put(char*& out, const T* values, std::size_t count) {
  if (count != 0) std::memcpy(out, values, count * sizeof(T));
  out += count * sizeof(T);
}

template <typename T>
std::vector<T> ReadValues(const char* data, std::uint64_t count) {
  std::vector<T> values(count);
  if (count != 0) std::memcpy(values.data(), data, count * sizeof(T));
  return values;
}

}  // namespace

std::size_t HitTable::SavedSize() const {
  std::size_t bytes = sizeof(SavedHeader) + size() * (5 * sizeof(std::uint64_t) + 4);
  if (translated_) bytes += size() * (sizeof(std::uint64_t) + 1);
  if (texts_) {
    bytes += (2 * runStarts_.size() + 1) * sizeof(std::uint64_t) + names_.size() + segments_.size();
  }
  return bytes;
}

void HitTable::Save(char* out) const {
  SavedHeader header{};
  std::memcpy(header.magic, kSavedMagic, sizeof kSavedMagic);
  header.byteOrder = kByteOrder;
  header.texts = texts_ ? 1 : 0;
  header.translated = translated_ ? 1 : 0;
  header.hits = size();
  header.runs = texts_ ? runStarts_.size() : 0;
  header.nameBytes = texts_ ? names_.size() : 0;
  header.segmentBytes = texts_ ? segments_.size() : 0;
  Put(out, &header, 1);
  Put(out, sequence.data(), size());
  Put(out, start.data(), size());
  Put(out, end.data(), size());
  Put(out, expectation.data(), size());
  Put(out, probability.data(), size());
  Put(out, motif.data(), size());
  if (translated_) {
    Put(out, recordLength.data(), size());
    Put(out, frame.data(), size());
  }
  if (!texts_) return;
  Put(out, runStarts_.data(), runStarts_.size());
  Put(out, nameStarts_.data(), nameStarts_.size());
  Put(out, names_.data(), names_.size());
  Put(out, segments_.data(), segments_.size());
}

HitTable HitTable::Load(std::string_view bytes) {
  SavedHeader header{};
  if (bytes.size() < sizeof header) DamagedSave("they are cut short");
  std::memcpy(&header, bytes.data(), sizeof header);
  if (std::memcmp(header.magic, kSavedMagic, sizeof kSavedMagic) != 0 || header.texts > 1 ||
      header.translated > 1) {
    DamagedSave("they are not hits that brisel saved");
  }
  if (header.byteOrder != kByteOrder) DamagedSave("they were saved in another byte order");
  const std::uint64_t n = header.hits;
  std::size_t at = sizeof header;
  const char* sequences = Take<std::uint64_t>(bytes, at, n);
  const char* starts = Take<std::uint64_t>(bytes, at, n);
  const char* ends = Take<std::uint64_t>(bytes, at, n);
  const char* expectations = Take<double>(bytes, at, n);
  const char* probabilities = Take<double>(bytes, at, n);
  const char* motifs = Take<std::uint32_t>(bytes, at, n);
  const bool translated = header.translated == 1;
  const char* recordLengths = translated ? Take<std::uint64_t>(bytes, at, n) : nullptr;
  const char* frames = translated ? Take<std::int8_t>(bytes, at, n) : nullptr;
  HitTable table;
  table.Clear(header.texts == 1, translated);
  const auto column = [&](auto& to, const char* data) { to.Append(data, n); };
  column(table.sequence, sequences);
  column(table.start, starts);
  column(table.end, ends);
  column(table.expectation, expectations);
  column(table.probability, probabilities);
  column(table.motif, motifs);
  if (translated) {
    column(table.recordLength, recordLengths);
    column(table.frame, frames);
  }
  std::uint64_t segmentBytes = 0;
  for (std::size_t i = 0; i < n; ++i) {
    if (table.start[i] == 0 || table.end[i] < table.start[i]) DamagedSave("a hit has no residues");
    if (translated && (table.end[i] - table.start[i] + 1) % 3 != 0) {
      DamagedSave("a translated hit is no whole number of codons");
    }
    const std::uint64_t width = table.Width(i);
    segmentBytes = width > bytes.size() ? bytes.size() + 1 : segmentBytes + width;
  }
  if (header.texts == 1) {
    const std::uint64_t runs = header.runs;
    if (runs > n || (runs == 0) != (n == 0)) DamagedSave("their runs do not fit their hits");
    table.runStarts_ = ReadValues<std::uint64_t>(Take<std::uint64_t>(bytes, at, runs), runs);
    table.nameStarts_ =
        ReadValues<std::uint64_t>(Take<std::uint64_t>(bytes, at, runs + 1), runs + 1);
    const char* names = Take<char>(bytes, at, header.nameBytes);
    const char* segments = Take<char>(bytes, at, header.segmentBytes);
    if (header.segmentBytes != segmentBytes) DamagedSave("their segments do not fit their hits");
    std::size_t run = 0;
    for (std::size_t i = 0; i < n; ++i) {
      const bool opens = i == 0 || table.sequence[i] != table.sequence[i - 1];
      if (opens != (run < runs && table.runStarts_[run] == i)) {
        DamagedSave("their runs do not fit their hits");
      }
      run += opens ? 1 : 0;
    }
    for (std::size_t r = 0; r < runs; ++r) {
      if (table.nameStarts_[r] > table.nameStarts_[r + 1]) DamagedSave("their names overlap");
    }
    if (table.nameStarts_.front() != 0 || table.nameStarts_.back() != header.nameBytes) {
      DamagedSave("their names do not fit");
    }
    table.names_.assign(names, header.nameBytes);
    table.segments_.assign(segments, header.segmentBytes);
    table.segmentStarts_.reserve(n);
    std::uint64_t segmentStart = 0;
    for (std::size_t i = 0; i < n; ++i) {
      table.segmentStarts_.push_back(segmentStart);
      segmentStart += table.Width(i);
    }
  }
  if (at != bytes.size()) DamagedSave("they hold more bytes than their hits");
  return table;
}

HitTableStream::HitTableStream(bool texts, bool translated)
    : texts_(texts), translated_(translated) {
  table_.Clear(texts, translated);
}

HitTableStream::HitTableStream(bool texts, std::size_t chunkHits, ChunkTaker taker, bool translated)
    : texts_(texts),
      translated_(translated),
      chunkHits_(std::max<std::size_t>(chunkHits, 1)),
      taker_(std::move(taker)) {
  table_.Clear(texts, translated);
}

std::size_t HitTableStream::Decode(std::string_view bytes) {
  std::size_t at = 0;
  while (bytes.size() - at >= sizeof(HitRecord)) {
    HitRecord hit;
    std::memcpy(&hit, bytes.data() + at, sizeof hit);
    const std::uint64_t width = hit.width;
    const std::size_t texts = texts_ ? hit.textBytes : 0;
    if (texts_ && width > texts) {
      Fail(EINVAL);  // not a stream of records with texts
      return bytes.size();
    }
    if (bytes.size() - at - sizeof hit < texts) break;
    std::string_view segment;
    if (texts_) {
      const std::string_view text = bytes.substr(at + sizeof hit, texts);
      if (hit.sequence != sequence_) name_.assign(text.substr(0, texts - width));
      segment = text.substr(texts - width);
    }
    const bool newRun = hit.sequence != sequence_;
    if (chunkHits_ != 0 && table_.size() >= chunkHits_ && !HandOver(newRun)) {
      Fail(ECANCELED);
      return bytes.size();
    }
    if (newRun) runStart_ = table_.size();
    sequence_ = hit.sequence;
    table_.Append(hit, name_, segment);
    at += sizeof hit + texts;
  }
  return at;
}

bool HitTableStream::HandOver(bool newRun) {
  // The hits of the sequence being filled go on to the next table, unless
  // they fill this one alone.
  const std::size_t keep = newRun ? table_.size() : runStart_;
  if (keep == 0) return true;
  HitTable rest;
  rest.Clear(texts_, translated_);
  for (std::size_t i = keep; i < table_.size(); ++i)
    rest.AppendFrom(table_, i);
  table_.Truncate(keep);
  if (!taker_(table_)) return false;
  table_ = std::move(rest);
  runStart_ = 0;
  return true;
}

bool HitTableStream::Write(std::string_view bytes) {
  if (failed()) return false;
  if (!partial_.empty()) {
    partial_ += bytes;
    const std::size_t used = Decode(partial_);
    partial_.erase(0, used);
  } else {
    const std::size_t used = Decode(bytes);
    partial_.assign(bytes.substr(used));
  }
  return !failed();
}

ChunkedSearch::ChunkedSearch(bool texts, std::size_t chunkHits, std::size_t queuedChunks,
                             Search search, bool translated)
    : queuedChunks_(std::max<std::size_t>(queuedChunks, 1)),
      stream_(
          texts, chunkHits, [this](HitTable& chunk) { return TakeFull(chunk); }, translated) {
  thread_ = std::thread([this, search = std::move(search)] {
    std::exception_ptr failure;
    try {
      search(stream_, cancel_);
    } catch (...) {
      failure = std::current_exception();
    }
    const std::lock_guard lock(mutex_);
    if (!failure && stream_.table().size() > 0) queue_.push_back(std::move(stream_.table()));
    failure_ = std::move(failure);  // the thread keeps no share of the fault once it is handed on
    ended_ = true;
    changed_.notify_all();
  });
}

bool ChunkedSearch::TakeFull(HitTable& chunk) {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return queue_.size() < queuedChunks_ || cancel_.load(); });
  if (cancel_.load()) return false;
  queue_.push_back(std::move(chunk));
  changed_.notify_all();
  return true;
}

ChunkedSearch::Taken ChunkedSearch::Next(HitTable& chunk, std::chrono::milliseconds wait) {
  std::unique_lock lock(mutex_);
  if (!changed_.wait_for(lock, wait, [&] { return !queue_.empty() || ended_; })) {
    return Taken::kPending;
  }
  if (!queue_.empty()) {
    chunk = std::move(queue_.front());
    queue_.pop_front();
    changed_.notify_all();
    return Taken::kChunk;
  }
  if (failure_) {
    const std::exception_ptr failure = failure_;
    failure_ = nullptr;
    std::rethrow_exception(failure);
  }
  return Taken::kEnded;
}

void ChunkedSearch::Stop() {
  if (!thread_.joinable()) return;
  cancel_.store(true);
  {
    const std::lock_guard lock(mutex_);
    queue_.clear();
    changed_.notify_all();
  }
  thread_.join();
  const std::lock_guard lock(mutex_);
  queue_.clear();
  failure_ = nullptr;
}

namespace {

// The rows of one table, a sequence at a time.
class TableRows {
 public:
  TableRows(const HitTable& hits, const MotifDatabase& motifs, const SequenceDatabase* sequences)
      : hits_(hits), motifs_(motifs), sequences_(sequences) {}

  // Appends the rows of hit i (and the sequence's header before its first).
  void Append(std::string& out, const HitLineFormatter& rows, std::size_t i) {
    const std::uint64_t s = hits_.sequence[i];
    const std::uint64_t start = hits_.start[i], end = hits_.end[i];
    if (hits_.motif[i] >= motifs_.size() || start == 0 || end < start) Outside(i);
    std::uint64_t at = start - 1;
    bool begins = i == 0 || s != hits_.sequence[i - 1];
    if (hits_.translated()) {
      // Each hit as a sequence of its own (its E and P are its stretch's)
      // that starts at its first amino acid: the rows place it where the
      // search did, and write the record's header once.
      const std::optional<ReadingFrame> frame = ReadingFrame::FromNumber(hits_.frame[i]);
      const std::uint64_t length = hits_.recordLength[i];
      const std::uint64_t k = frame ? frame->offset() + 1 : 0;
      if (!frame || end > length || (frame->reverse() ? end + k > length + 1 : start < k) ||
          (end - start + 1) % 3 != 0) {
        Outside(i);
      }
      const std::uint64_t first = frame->reverse() ? length + 1 - k - end : start - k;
      if (first % 3 != 0) Outside(i);
      state_.placement = {*frame, first / 3, length};
      at = 0;
      begins = true;
    }
    if (begins) {
      if (sequences_ != nullptr) {
        const std::uint64_t first = sequences_->first();
        if (s < first || s - first >= sequences_->size()) Outside(i);
        residues_ = sequences_->Residues(s - first);
        rows.BeginSequence(out, state_, s, sequences_->Name(s - first), NameKind::kDatabase);
      } else {
        const std::string_view name = hits_.Name(i);
        rows.BeginSequence(out, state_, s, name,
                           name.empty() ? NameKind::kNone : NameKind::kFastaLine);
      }
    }
    std::string_view segment;
    if (sequences_ != nullptr) {
      if (end > residues_.size()) Outside(i);
      segment = residues_.substr(start - 1, end - start + 1);
    } else {
      segment = hits_.Segment(i);
    }
    if (hits_.translated() && 3 * segment.size() != end - start + 1) Outside(i);
    rows.AppendHitLine(out, state_, {hits_.expectation[i], hits_.probability[i]}, hits_.motif[i],
                       segment, at);
  }

 private:
  [[noreturn]] static void Outside(std::size_t i) {
    throw Error(Error::Kind::kDamaged,
                "hit " + std::to_string(i) + " lies outside the databases it is written with");
  }

  const HitTable& hits_;
  const MotifDatabase& motifs_;
  const SequenceDatabase* sequences_;
  HitLineFormatter::SequenceState state_;
  std::string_view residues_;
};

void ThrowIfFailed(const OutputStream& out) {
  if (!out.failed()) return;
  throw Error(Error::Kind::kOutput,
              std::string("cannot write the hits: ") + std::strerror(out.error()), out.error());
}

}  // namespace

HitTable WithTexts(const HitTable& hits, const SequenceDatabase& sequences) {
  HitTable texts;
  texts.Clear(true, hits.translated());
  if (hits.hasTexts()) {
    for (std::size_t i = 0; i < hits.size(); ++i)
      texts.AppendFrom(hits, i);
    return texts;
  }
  CheckHitTable(hits, nullptr, &sequences);
  std::string name;
  for (std::size_t i = 0; i < hits.size(); ++i) {
    const auto s = static_cast<std::uint32_t>(hits.sequence[i]);
    if (i == 0 || hits.sequence[i] != hits.sequence[i - 1]) {
      name = '>';
      name += sequences.Name(s);
    }
    const std::string_view segment =
        sequences.Residues(s).substr(hits.start[i] - 1, hits.end[i] - hits.start[i] + 1);
    texts.Append(
        {hits.sequence[i], hits.motif[i], 0, hits.start[i], hits.end[i], hits.expectation[i],
         hits.probability[i], 0, static_cast<std::uint32_t>(segment.size()), 0},
        name, segment);
  }
  return texts;
}

void CheckHitTable(const HitTable& hits, const MotifDatabase* motifs,
                   const SequenceDatabase* sequences) {
  const auto outside = [](std::size_t i) {
    throw Error(Error::Kind::kDamaged,
                "hit " + std::to_string(i) + " lies outside the databases it is written with");
  };
  for (std::size_t i = 0; i < hits.size(); ++i) {
    if (hits.start[i] == 0 || hits.end[i] < hits.start[i]) outside(i);
    if (motifs != nullptr && hits.motif[i] >= motifs->size()) outside(i);
    if (sequences == nullptr || hits.hasTexts()) continue;
    if (hits.sequence[i] >= sequences->size() ||
        hits.end[i] > sequences->Residues(static_cast<std::uint32_t>(hits.sequence[i])).size()) {
      outside(i);
    }
  }
}

void WriteHitTable(const HitTable& hits, const MotifDatabase& motifs,
                   const SequenceDatabase* sequences, OutputFormat format, bool header,
                   OutputStream& out) {
  if (sequences == nullptr && !hits.hasTexts() && hits.size() > 0) {
    throw Error(Error::Kind::kDamaged, "the hits have no texts and no sequence database");
  }
  const std::unique_ptr<HitLineFormatter> rows =
      MakeRows(format, motifs.blocks(), hits.translated());
  std::string text;
  if (header) text = OutputHeaderLine(format, hits.translated());
  TableRows table(hits, motifs, sequences);
  for (std::size_t i = 0; i < hits.size(); ++i) {
    table.Append(text, *rows, i);
    if (text.size() >= kReportFlushBytes) {
      out.Write(text);
      text.clear();
      ThrowIfFailed(out);
    }
  }
  if (!text.empty()) out.Write(text);
  ThrowIfFailed(out);
}

}  // namespace brisel
