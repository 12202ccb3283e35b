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

void HitTable::Clear(bool texts, bool translated) {
  *this = HitTable();
  texts_ = texts;
  translated_ = translated;
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
    sequence_ = hit.sequence;
    table_.Append(hit, name_, segment);
    at += sizeof hit + texts;
    if (chunkHits_ != 0 && table_.size() >= chunkHits_) {
      if (!taker_(table_)) {
        Fail(ECANCELED);
        return bytes.size();
      }
      table_.Clear(texts_, translated_);
    }
  }
  return at;
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
        if (s >= sequences_->size()) Outside(i);
        residues_ = sequences_->Residues(static_cast<std::uint32_t>(s));
        rows.BeginSequence(out, state_, s, sequences_->Name(static_cast<std::uint32_t>(s)),
                           NameKind::kDatabase);
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
