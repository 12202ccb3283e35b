// SPDX-License-Identifier: MIT
// parallel_search.h: the loops that run both searches, on the calling thread
// alone or on a pool of worker threads, with the same output bytes for every
// thread count.
//
// One thread: the calling thread searches the sequences in order and writes
// each progress line, and the reports in pieces of pieceBytes, to the streams
// as it goes.
//
// Several threads: the sequences are taken in chunks of consecutive sequences
// (at most chunkSequences, and closed once they hold chunkResidues residues, or
// bytes of name and sequence lines in the scan search). A worker takes the
// next chunk under the pool's claim lock, and opens the chunk's output
// (ordered_output.h) under the same lock, so that output chunks are opened in
// sequence order. In the scan search, taking a chunk is reading its records
// from the record source: one thread at a time reads, in input order. The
// worker then searches the chunk with its own SearchEngine::Worker into its own
// two buffers, the progress line of each sequence and its report, and pushes
// them to the chunk whenever they hold pieceBytes (also in the middle of a
// sequence's hit lines, through the engine's spill), then completes the chunk.
// The calling thread is the writer. No lock is taken per sequence or per hit:
// only per piece and per chunk.
//
// Memory besides the engine and the mapped databases, per thread: at most
// chunksPerThread open chunks of at most chunkBytes plus one piece each
// (2.5 MiB), as many spare buffers kept for reuse, the worker's own buffers
// and, in the scan search, the records of its chunk (about chunkResidues
// bytes); the worker's cache of per-length statistics is about 4 MiB at
// most. What grows with the input is one sequence's own data: its residues (a
// scan record is read whole) and the engine's list of its hits.
//
// Ownership: the engine is shared by the workers, read-only apart from its
// synchronised memo; each worker owns its SearchEngine::Worker, its buffers
// and the records it read; the record source is used under the claim lock
// only. The workers are joined before a call returns.
//
// A failed write of the hit stream stops every thread (ordered_output.h), and
// so does a raised cancel flag, which every thread looks at between
// sequences: workers leave their chunk between sequences or at their next
// push, and the call returns once all have ended. Whether it failed is then
// for the caller to see on the stream, as with one thread, which stops at the first
// write that fails.
#ifndef BRISEL_PARALLEL_PARALLEL_SEARCH_H
#define BRISEL_PARALLEL_PARALLEL_SEARCH_H

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "brisel.h"
#include "engine/search_engine.h"
#include "input/record_source.h"
#include "output/output_streams.h"

// Chunks are small enough that a chunk's report seldom reaches chunkBytes,
// which would make its worker wait for the chunks before it, and numerous
// enough to balance the threads' work; a chunk costs a few lock operations.
struct ParallelLimits {
  std::uint32_t chunkSequences = 256;
  std::uint64_t chunkResidues = std::uint64_t{32} << 10;
  std::size_t pieceBytes = std::size_t{128} << 10;
  std::size_t chunkBytes = std::size_t{512} << 10;
  std::size_t chunksPerThread = 4;
};

// The streams a search writes and the flag that stops it.
struct SearchStreams {
  OutputStream& out;                          // the hits
  OutputStream& err;                          // the progress lines
  const std::atomic<bool>* cancel = nullptr;  // raised: stop between sequences
};

// The indexed search of sequences 0 to sequenceCount - 1 of a mapped, checked
// database, on `threads` threads (1: the calling thread alone).
void SearchDatabaseSequences(SearchEngine& engine, const sequenceMappedMemoryCDT& sequences,
                             std::uint32_t sequenceCount, unsigned threads,
                             const SearchStreams& streams, const ParallelLimits& limits = {});

// The scan search of the records of `source`, on `threads` threads.
void SearchRecords(SearchEngine& engine, RecordSource& source, unsigned threads,
                   const SearchStreams& streams, const ParallelLimits& limits = {});

#endif  // BRISEL_PARALLEL_PARALLEL_SEARCH_H
