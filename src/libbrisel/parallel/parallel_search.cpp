// SPDX-License-Identifier: MIT
// parallel_search.cpp: the one-thread loops and the worker pool.
#include "parallel/parallel_search.h"

#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "output/progress_line.h"
#include "output/report_spill.h"
#include "parallel/frame_pieces.h"
#include "parallel/ordered_output.h"
#include "report/report_collector.h"
#include "residues/residue_lists.h"

namespace brisel {

namespace {

// A record without a name is a raw sequence.
NameKind NameKindOf(const SequenceRecord& record) {
  return record.name.empty() ? NameKind::kNone : NameKind::kFastaLine;
}

// The piece of a chunk that a worker is filling: its two buffers, pushed to
// the chunk whenever they hold pieceBytes, and by the engine in the middle of
// a sequence's hit lines.
class ChunkPieces final : public ReportSpill {
 public:
  ChunkPieces(OrderedOutput& output, std::size_t pieceBytes, const std::atomic<bool>* cancel)
      : output_(output), pieceBytes_(pieceBytes), cancel_(cancel) {}

  void Start(OrderedOutput::Chunk* chunk) { chunk_ = chunk; }
  // The rows of a translated search fall into records: `state` tells the
  // writer where its chunk's begin and end (ordered_output.h).
  void Track(const HitLineFormatter::SequenceState* state) { tracked_ = state; }
  std::string& err() { return err_; }
  std::string& out() { return out_; }
  // Whether the search is to end: a failed write, or the caller's cancel flag
  // (which stops the writer and every other worker too).
  bool stopped() {
    if (cancel_ != nullptr && cancel_->load(std::memory_order_relaxed)) output_.Stop();
    return output_.stopped();
  }

  // Called by the engine with out().
  void Spill(std::string& out) override { output_.Push(chunk_, err_, out, Groups()); }

  // Pushes the buffers once they hold a piece; false after a stop.
  bool PushIfFull() {
    if (err_.size() + out_.size() < pieceBytes_) return !output_.stopped();
    return output_.Push(chunk_, err_, out_, Groups());
  }

  void Complete() { output_.Complete(chunk_, err_, out_, Groups()); }

 private:
  OrderedOutput::Groups Groups() const {
    if (tracked_ == nullptr) return {};
    return {tracked_->leadRecord, tracked_->leadHeaderBytes, tracked_->lastRecord};
  }

  OrderedOutput& output_;
  const std::size_t pieceBytes_;
  const std::atomic<bool>* cancel_;
  OrderedOutput::Chunk* chunk_ = nullptr;
  const HitLineFormatter::SequenceState* tracked_ = nullptr;
  std::string err_;
  std::string out_;
};

// Consecutive database sequences, a chunk at a time, part by part.
class DatabaseChunks {
 public:
  struct Job {
    const DatabasePart* part = nullptr;
    std::uint32_t begin = 0;
    std::uint32_t end = 0;
  };

  DatabaseChunks(std::span<const DatabasePart> parts, const ParallelLimits& limits)
      : parts_(parts), limits_(limits) {}

  bool Next(Job& job) {
    while (part_ < parts_.size() && next_ >= parts_[part_].count) {
      ++part_;
      next_ = 0;
    }
    if (part_ == parts_.size()) return false;
    const DatabasePart& part = parts_[part_];
    const SequenceViews& sequences = *part.sequences;
    job.part = &part;
    job.begin = next_;
    std::uint64_t residues = 0;
    while (next_ < part.count && next_ - job.begin < limits_.chunkSequences &&
           residues < limits_.chunkResidues) {
      residues += sequences.sequenceIndices[next_ + 1] - sequences.sequenceIndices[next_];
      ++next_;
    }
    job.end = next_;
    return true;
  }

  bool Search(const Job& job, SearchEngine::Worker& worker, ChunkPieces& pieces) const {
    for (std::uint32_t n = job.begin; n < job.end; ++n) {
      if (pieces.stopped()) return false;
      const std::uint64_t number = job.part->first + n;
      AppendProgressLine(pieces.err(), number + 1);
      worker.SearchDatabaseSequence(*job.part->sequences, n, number, pieces.out());
      if (!pieces.PushIfFull()) return false;
    }
    return true;
  }

 private:
  const std::span<const DatabasePart> parts_;
  const ParallelLimits& limits_;
  std::size_t part_ = 0;
  std::uint32_t next_ = 0;
};

// Searches record `number` (from 1) of a record search of `kind`: the indexed
// search over the masks and lists that `listed` forms from its text, or the
// scan search of its text.
void SearchRecord(SearchKind kind, std::uint64_t number, const SequenceRecord& record,
                  ListedText& listed, SearchEngine::Worker& worker, std::string& out) {
  if (kind == SearchKind::kIndexed) {
    listed.Form(record.text);
    worker.SearchListedSequence(
        number - 1, record.name,
        {listed.length(), listed.masks(), listed.lists(), listed.positions()}, record.text, out);
  } else {
    worker.SearchText(number - 1, record.name, NameKindOf(record), record.text, out);
  }
}

// Records read from a source, a chunk at a time.
class RecordChunks {
 public:
  struct Job {
    std::vector<SequenceRecord> records;  // the first `count` are this chunk's; the rest are spare
    std::size_t count = 0;
    std::uint64_t firstNumber = 0;  // the record number of records[0], from 1
    ListedText listed;              // the worker's masks and lists of the record it searches
  };

  RecordChunks(RecordSource& source, SearchKind kind, const ParallelLimits& limits)
      : source_(source), kind_(kind), limits_(limits) {}

  bool Next(Job& job) {
    job.count = 0;
    job.firstNumber = nextNumber_;
    std::uint64_t bytes = 0;
    while (!ended_ && job.count < limits_.chunkSequences && bytes < limits_.chunkResidues) {
      if (job.records.size() == job.count) job.records.emplace_back();
      SequenceRecord& record = job.records[job.count];
      if (!source_.Next(record)) {
        ended_ = true;
        break;
      }
      bytes += record.name.size() + record.text.size();
      ++job.count;
      ++nextNumber_;
    }
    return job.count > 0;
  }

  bool Search(Job& job, SearchEngine::Worker& worker, ChunkPieces& pieces) const {
    for (std::size_t i = 0; i < job.count; ++i) {
      if (pieces.stopped()) return false;
      const std::uint64_t number = job.firstNumber + i;
      AppendProgressLine(pieces.err(), number);
      SearchRecord(kind_, number, job.records[i], job.listed, worker, pieces.out());
      ReleaseIfLong(job.records[i]);
      if (!pieces.PushIfFull()) return false;
    }
    return true;
  }

 private:
  // The spare records keep their buffers for the next chunks, but not those of
  // long records: so they hold about a chunk's bytes, whatever records passed.
  void ReleaseIfLong(SequenceRecord& record) const {
    if (record.name.capacity() + record.text.capacity() > 2 * limits_.chunkResidues) {
      std::string().swap(record.name);
      std::string().swap(record.text);
    }
  }

  RecordSource& source_;
  const SearchKind kind_;
  const ParallelLimits& limits_;
  std::uint64_t nextNumber_ = 1;
  bool ended_ = false;
};

// The frame pieces of a translated search, a job of them at a time.
class TranslatedChunks {
 public:
  struct Job {
    std::vector<FramePiece> pieces;
    PieceSearch search;  // the worker's buffers
  };

  TranslatedChunks(FramePieces& pieces, const ParallelLimits& limits)
      : pieces_(pieces), limits_(limits) {}

  bool Next(Job& job) {
    return pieces_.Next(job.pieces, limits_.chunkResidues, limits_.chunkSequences);
  }

  bool Search(Job& job, SearchEngine::Worker& worker, ChunkPieces& pieces) const {
    // The job's rows are its own: the first record it writes gets its header,
    // which the writer drops when an earlier chunk wrote it.
    worker.lineState().ForgetRecords();
    pieces.Track(&worker.lineState());
    for (const FramePiece& piece : job.pieces) {
      if (pieces.stopped()) return false;
      if (piece.opensRecord) AppendProgressLine(pieces.err(), piece.record->number + 1);
      job.search.Search(piece, pieces_.plan(), worker, pieces.out());
      if (!pieces.PushIfFull()) return false;
    }
    return true;
  }

 private:
  FramePieces& pieces_;
  const ParallelLimits& limits_;
};

// Runs `threads` workers over the chunks of `source`, the calling thread
// writing. False when not one worker thread could be started (nothing was
// searched or written).
template <class Source>
bool RunPool(SearchEngine& engine, Source& source, unsigned threads, const SearchStreams& streams,
             const ParallelLimits& limits) {
  OrderedOutput output(streams.out, streams.err, limits.chunksPerThread * threads,
                       limits.chunkBytes);
  std::mutex claimMutex;
  std::mutex reportMutex;
  const auto work = [&] {
    SearchEngine::Worker worker(engine);
    ChunkPieces pieces(output, limits.pieceBytes, streams.cancel);
    worker.SetSpill(&pieces, limits.pieceBytes);
    // The worker's own report, merged into the caller's once it is done.
    std::optional<ReportCollector> report;
    if (streams.report != nullptr) {
      report.emplace(streams.report->limits());
      worker.SetReport(&*report);
    }
    const auto mergeReport = [&] {
      if (!report) return;
      const std::lock_guard merging(reportMutex);
      streams.report->Merge(std::move(*report));
    };
    typename Source::Job job;
    for (;;) {
      {
        // Taking the next sequences and opening their output chunk together
        // keeps the chunks in sequence order.
        const std::lock_guard claim(claimMutex);
        if (pieces.stopped()) return;
        if (!source.Next(job)) {
          output.Close();
          break;
        }
        OrderedOutput::Chunk* chunk = output.Open();
        if (chunk == nullptr) return;
        pieces.Start(chunk);
      }
      if (!source.Search(job, worker, pieces)) return;
      pieces.Complete();
    }
    mergeReport();
  };

  std::vector<std::jthread> pool;
  pool.reserve(threads);
  for (unsigned t = 0; t < threads; ++t) {
    try {
      pool.emplace_back(work);
    } catch (const std::system_error&) {
      break;  // the threads that did start do the work
    }
  }
  if (pool.empty()) return false;
  output.WriteAll();
  return true;
}  // the workers are joined here, before the output and the claim lock go

}  // namespace

namespace {

// The one-thread search: each sequence's progress line and report are written
// as it is searched, the report in pieces of pieceBytes.
class OneThread {
 public:
  OneThread(SearchEngine& engine, const SearchStreams& streams, const ParallelLimits& limits)
      : worker_(engine), spill_(streams.out), streams_(streams), limits_(limits) {
    worker_.SetSpill(&spill_, limits.pieceBytes);
    worker_.SetReport(streams.report);
  }
  ~OneThread() { spill_.Spill(report_); }

  bool stopped() const {
    return spill_.failed() ||
           (streams_.cancel != nullptr && streams_.cancel->load(std::memory_order_relaxed));
  }

  // Writes the progress line of sequence `number` (from 1), then searches it
  // with `search` into the report.
  template <typename Search>
  void Sequence(std::uint64_t number, Search search) {
    Progress(number);
    Searched(search);
  }

  void Progress(std::uint64_t number) {
    progress_.clear();
    AppendProgressLine(progress_, number);
    streams_.err.Write(progress_);
  }

  template <typename Search>
  void Searched(Search search) {
    search(worker_, report_);
    if (report_.size() >= limits_.pieceBytes) spill_.Spill(report_);
  }

 private:
  SearchEngine::Worker worker_;
  StreamSpill spill_;
  const SearchStreams& streams_;
  const ParallelLimits& limits_;
  std::string progress_;
  std::string report_;
};

}  // namespace

void RunDatabaseSearch(SearchEngine& engine, std::span<const DatabasePart> parts, unsigned threads,
                       const SearchStreams& streams, const ParallelLimits& limits) {
  if (threads > 1) {
    DatabaseChunks chunks(parts, limits);
    if (RunPool(engine, chunks, threads, streams, limits)) return;
  }
  OneThread search(engine, streams, limits);
  for (const DatabasePart& part : parts) {
    for (std::uint32_t n = 0; n < part.count && !search.stopped(); ++n) {
      const std::uint64_t number = part.first + n;
      search.Sequence(number + 1, [&](SearchEngine::Worker& worker, std::string& report) {
        worker.SearchDatabaseSequence(*part.sequences, n, number, report);
      });
    }
  }
}

void RunDatabaseSearch(SearchEngine& engine, const SequenceViews& sequences,
                       std::uint32_t sequenceCount, unsigned threads, const SearchStreams& streams,
                       const ParallelLimits& limits) {
  const DatabasePart part{&sequences, sequenceCount, 0};
  RunDatabaseSearch(engine, std::span<const DatabasePart>(&part, 1), threads, streams, limits);
}

void RunRecordSearch(SearchEngine& engine, RecordSource& source, SearchKind kind, unsigned threads,
                     const SearchStreams& streams, const ParallelLimits& limits) {
  if (threads > 1) {
    RecordChunks chunks(source, kind, limits);
    if (RunPool(engine, chunks, threads, streams, limits)) return;
  }
  OneThread search(engine, streams, limits);
  SequenceRecord record;
  ListedText listed;
  for (std::uint64_t number = 1; !search.stopped() && source.Next(record); ++number) {
    search.Sequence(number, [&](SearchEngine::Worker& worker, std::string& report) {
      SearchRecord(kind, number, record, listed, worker, report);
    });
  }
}

void RunTranslatedSearch(SearchEngine& engine, FramePieces& pieces, unsigned threads,
                         const SearchStreams& streams, const ParallelLimits& limits) {
  if (threads > 1) {
    TranslatedChunks chunks(pieces, limits);
    if (RunPool(engine, chunks, threads, streams, limits)) return;
  }
  OneThread search(engine, streams, limits);
  std::vector<FramePiece> job;
  PieceSearch pieceSearch;
  while (!search.stopped() && pieces.Next(job, limits.chunkResidues, limits.chunkSequences)) {
    for (const FramePiece& piece : job) {
      if (search.stopped()) break;
      if (piece.opensRecord) search.Progress(piece.record->number + 1);
      search.Searched([&](SearchEngine::Worker& worker, std::string& report) {
        pieceSearch.Search(piece, pieces.plan(), worker, report);
      });
    }
  }
}

}  // namespace brisel
