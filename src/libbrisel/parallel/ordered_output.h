// SPDX-License-Identifier: MIT
// ordered_output.h: the chunks of a parallel search and the one writer that
// writes their bytes in chunk order.
//
// A parallel search cuts its sequences into chunks of consecutive sequences.
// Chunks are opened one after the other (Open); each is filled by the worker
// that opened it (Push, then Complete); the writer (WriteAll, on the thread
// that calls it) writes the pieces of the oldest unwritten chunk in the order
// they were pushed, each piece's standard-error bytes and then its
// standard-output bytes, and moves on to the next chunk once the oldest is
// complete and written. So each stream gets exactly the bytes of a search that
// runs the chunks one after the other.
//
// Bounds: at most `maxChunks` chunks are open (opened and not yet written);
// Open waits for one to be written. A Push that leaves its chunk holding more
// than `chunkBytes` unwritten bytes waits until the writer has written them.
// Complete never waits, so a chunk holds at most `chunkBytes` plus one piece.
//
// No wait can last for ever: the writer takes bytes from the oldest chunk only,
// and that chunk is either complete or held by a worker that is running or
// waiting in Push on that very chunk, which the writer drains. A worker waits
// only in Open (ended by the writer finishing the oldest chunk) or in Push on
// its own chunk; a chunk is held by its opener from Open to Complete.
//
// Groups: the hit output of a translated search falls into groups, the
// records, each opened by a header (the pipe format's ">name") that must be
// written once, before the group's first row. A chunk may begin inside a
// group that an earlier chunk began, and its worker cannot know whether that
// chunk wrote any of it, so it writes the header again and says so
// (Groups): the writer drops those first bytes of the chunk's hit output when
// the hit output written before it ended in the same group. Chunks without
// groups (every other search) are written as they are.
//
// Stop: a failed write of the hit stream, or Stop(), raises the stop flag and
// wakes every wait. Open then returns no chunk, Push returns false, WriteAll
// returns false; workers also check stopped() between sequences.
//
// Ownership: OrderedOutput owns the chunks and the bytes pushed to them. A
// Chunk* from Open belongs to its opener until Complete (or a stop); the writer
// frees the chunk once it is written.
#ifndef BRISEL_PARALLEL_ORDERED_OUTPUT_H
#define BRISEL_PARALLEL_ORDERED_OUTPUT_H

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "output/output_streams.h"

namespace brisel {

// The groups of a chunk's hit output, as far as it was pushed.
struct OutputGroups {
  static constexpr std::uint64_t kNone = ~std::uint64_t{0};
  std::uint64_t first = kNone;       // the group that the output begins in
  std::size_t firstHeaderBytes = 0;  // its first bytes: that group's header
  std::uint64_t last = kNone;        // the group of its last rows
};

class OrderedOutput {
 public:
  struct Chunk;
  using Groups = OutputGroups;

  OrderedOutput(OutputStream& out, OutputStream& err, std::size_t maxChunks,
                std::size_t chunkBytes);
  ~OrderedOutput();
  OrderedOutput(const OrderedOutput&) = delete;
  OrderedOutput& operator=(const OrderedOutput&) = delete;

  // The next chunk, once fewer than maxChunks are open; null after a stop.
  // Callers open chunks in the order of their sequences.
  Chunk* Open();

  // Hands the bytes of `err` and `out` to the chunk (the strings are left
  // empty, with spare capacity), then waits while the chunk holds more than
  // chunkBytes unwritten. False after a stop: the chunk is then abandoned.
  // `groups` describe the chunk's output up to these bytes.
  bool Push(Chunk* chunk, std::string& err, std::string& out, const Groups& groups = {});

  // The last bytes of the chunk; the chunk is then the writer's.
  void Complete(Chunk* chunk, std::string& err, std::string& out, const Groups& groups = {});

  // No chunk will be opened any more: WriteAll returns once all are written.
  void Close();

  // Writes every chunk in order until all are written after Close (true), or
  // until a stop or a failed write of the hit stream, which stops (false).
  bool WriteAll();

  void Stop();
  bool stopped() const { return stopped_.load(std::memory_order_relaxed); }

 private:
  struct Piece {
    std::string err;
    std::string out;
  };

  void Append(Chunk& chunk, std::string& err, std::string& out);
  std::string SpareBuffer();
  bool WritePieces(std::deque<Piece>& pieces, std::size_t dropOut);
  void StopLocked();

  OutputStream& out_;
  OutputStream& err_;
  const std::size_t maxChunks_;
  const std::size_t chunkBytes_;

  std::mutex mutex_;
  std::condition_variable room_;     // Open: a chunk was written
  std::condition_variable drained_;  // Push: bytes of a chunk were written
  std::condition_variable ready_;    // WriteAll: the oldest chunk has bytes or is complete
  std::deque<std::unique_ptr<Chunk>> chunks_;  // open chunks, oldest first
  std::vector<std::string> spares_;            // written buffers, kept for reuse
  bool closed_ = false;
  std::uint64_t lastGroup_ = Groups::kNone;  // of the hit output written; the writer's
  std::atomic<bool> stopped_{false};         // raised under mutex_, read anywhere
};

}  // namespace brisel

#endif  // BRISEL_PARALLEL_ORDERED_OUTPUT_H
