// SPDX-License-Identifier: MIT
// parallel_search.cpp: the one-thread loops and the worker pool.
#include "parallel/parallel_search.h"

#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "hit_report.h"
#include "input/line_reader.h"
#include "parallel/ordered_output.h"
#include "output/stream_writes.h"

namespace {

// The piece of a chunk that a worker is filling: its two buffers, pushed to
// the chunk whenever they hold pieceBytes, and by the engine in the middle of
// a sequence's hit lines.
class ChunkPieces final : public ReportSpill {
 public:
  ChunkPieces(OrderedOutput& output, std::size_t pieceBytes)
      : output_(output), pieceBytes_(pieceBytes) {}

  void Start(OrderedOutput::Chunk* chunk) { chunk_ = chunk; }
  std::string& err() { return err_; }
  std::string& out() { return out_; }
  bool stopped() const { return output_.stopped(); }

  // Called by the engine with out().
  void Spill(std::string& out) override { output_.Push(chunk_, err_, out); }

  // Pushes the buffers once they hold a piece; false after a stop.
  bool PushIfFull() {
    if (err_.size() + out_.size() < pieceBytes_) return !output_.stopped();
    return output_.Push(chunk_, err_, out_);
  }

  void Complete() { output_.Complete(chunk_, err_, out_); }

 private:
  OrderedOutput& output_;
  const std::size_t pieceBytes_;
  OrderedOutput::Chunk* chunk_ = nullptr;
  std::string err_;
  std::string out_;
};

// Consecutive database sequences, a chunk at a time.
class DatabaseChunks {
 public:
  struct Job {
    std::uint32_t begin = 0;
    std::uint32_t end = 0;
  };

  DatabaseChunks(const sequenceMappedMemoryCDT& sequences, std::uint32_t count,
                 const ParallelLimits& limits)
      : sequences_(sequences), count_(count), limits_(limits) {}

  bool Next(Job& job) {
    if (next_ >= count_) return false;
    job.begin = next_;
    std::uint64_t residues = 0;
    while (next_ < count_ && next_ - job.begin < limits_.chunkSequences &&
           residues < limits_.chunkResidues) {
      residues += sequences_.sequenceIndices[next_ + 1] - sequences_.sequenceIndices[next_];
      ++next_;
    }
    job.end = next_;
    return true;
  }

  bool Search(const Job& job, SearchEngine::Worker& worker, ChunkPieces& pieces) const {
    for (std::uint32_t n = job.begin; n < job.end; ++n) {
      if (pieces.stopped()) return false;
      AppendProgressLine(pieces.err(), std::uint64_t{n} + 1);
      worker.SearchDatabaseSequence(sequences_, n, pieces.out());
      if (!pieces.PushIfFull()) return false;
    }
    return true;
  }

 private:
  const sequenceMappedMemoryCDT& sequences_;
  const std::uint32_t count_;
  const ParallelLimits& limits_;
  std::uint32_t next_ = 0;
};

// FASTA records read from a scanner, a chunk at a time.
class FastaChunks {
 public:
  struct Record {
    std::string name;
    std::string text;
  };
  struct Job {
    std::vector<Record> records;  // the first `count` are this chunk's; the rest are spare
    std::size_t count = 0;
    std::uint64_t firstNumber = 0;  // the record number of records[0], from 1
  };

  FastaChunks(Scanner scanner, const ParallelLimits& limits) : scanner_(scanner), limits_(limits) {}

  bool Next(Job& job) {
    job.count = 0;
    job.firstNumber = nextNumber_;
    std::uint64_t bytes = 0;
    while (!ended_ && job.count < limits_.chunkSequences && bytes < limits_.chunkResidues) {
      if (job.records.size() == job.count) job.records.emplace_back();
      Record& record = job.records[job.count];
      if (!ReadWholeLine(scanner_, record.name)) {
        ended_ = true;
        break;
      }
      ReadWholeLine(scanner_, record.text);
      bytes += record.name.size() + record.text.size();
      ++job.count;
      ++nextNumber_;
    }
    return job.count > 0;
  }

  bool Search(const Job& job, SearchEngine::Worker& worker, ChunkPieces& pieces) const {
    for (std::size_t i = 0; i < job.count; ++i) {
      if (pieces.stopped()) return false;
      AppendProgressLine(pieces.err(), job.firstNumber + i);
      worker.SearchText(job.records[i].name, job.records[i].text, true, pieces.out());
      if (!pieces.PushIfFull()) return false;
    }
    return true;
  }

 private:
  Scanner scanner_;
  const ParallelLimits& limits_;
  std::uint64_t nextNumber_ = 1;
  bool ended_ = false;
};

// Runs `threads` workers over the chunks of `source`, the calling thread
// writing. False when not one worker thread could be started (nothing was
// searched or written).
template <class Source>
bool RunPool(SearchEngine& engine, Source& source, unsigned threads, std::FILE* out, std::FILE* err,
             const ParallelLimits& limits) {
  OrderedOutput output(out, err, limits.chunksPerThread * threads, limits.chunkBytes);
  std::mutex claimMutex;
  const auto work = [&] {
    SearchEngine::Worker worker(engine);
    ChunkPieces pieces(output, limits.pieceBytes);
    worker.SetSpill(&pieces, limits.pieceBytes);
    typename Source::Job job;
    for (;;) {
      {
        // Taking the next sequences and opening their output chunk together
        // keeps the chunks in sequence order.
        const std::lock_guard claim(claimMutex);
        if (output.stopped()) return;
        if (!source.Next(job)) {
          output.Close();
          return;
        }
        OrderedOutput::Chunk* chunk = output.Open();
        if (chunk == nullptr) return;
        pieces.Start(chunk);
      }
      if (!source.Search(job, worker, pieces)) return;
      pieces.Complete();
    }
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

void StreamSpill::Spill(std::string& out) {
  if (!failed_) failed_ = !WriteToStream(out_, out.data(), out.size());
  out.clear();
}

void SearchDatabaseSequences(SearchEngine& engine, const sequenceMappedMemoryCDT& sequences,
                             std::uint32_t sequenceCount, unsigned threads, std::FILE* out,
                             std::FILE* err, const ParallelLimits& limits) {
  if (threads > 1) {
    DatabaseChunks chunks(sequences, sequenceCount, limits);
    if (RunPool(engine, chunks, threads, out, err, limits)) return;
  }
  SearchEngine::Worker worker(engine);
  StreamSpill spill(out);
  worker.SetSpill(&spill, limits.pieceBytes);
  std::string report;
  for (std::uint32_t n = 0; n < sequenceCount && !spill.failed(); ++n) {
    WriteProgressLine(err, std::uint64_t{n} + 1);
    worker.SearchDatabaseSequence(sequences, n, report);
    if (report.size() >= limits.pieceBytes) spill.Spill(report);
  }
  spill.Spill(report);
}

void SearchFastaRecords(SearchEngine& engine, Scanner scanner, unsigned threads, std::FILE* out,
                        std::FILE* err, const ParallelLimits& limits) {
  if (threads > 1) {
    FastaChunks chunks(scanner, limits);
    if (RunPool(engine, chunks, threads, out, err, limits)) return;
  }
  SearchEngine::Worker worker(engine);
  StreamSpill spill(out);
  worker.SetSpill(&spill, limits.pieceBytes);
  std::string name;
  std::string text;
  std::string report;
  for (std::uint64_t number = 1; !spill.failed() && ReadWholeLine(scanner, name); ++number) {
    WriteProgressLine(err, number);
    ReadWholeLine(scanner, text);
    worker.SearchText(name, text, true, report);
    if (report.size() >= limits.pieceBytes) spill.Spill(report);
  }
  spill.Spill(report);
}
