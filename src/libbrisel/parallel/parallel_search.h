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
// bytes of names and sequences when they are read as records). A worker takes
// the next chunk under the pool's claim lock, and opens the chunk's output
// (ordered_output.h) under the same lock, so that output chunks are opened in
// sequence order. In a search of records, taking a chunk is reading its
// records from the record source: one thread at a time reads, in input order.
// A record searched in indexed order gets its residue masks and letter
// position lists from the worker that searches it, in memory. The
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
// and, in a search of records, the records of its chunk (about chunkResidues
// bytes; the buffers of a longer record are not kept once it is searched);
// the worker's cache of per-length statistics is about 4 MiB at
// most. What grows with the input is one sequence's own data: its residues (a
// record is read whole; in indexed order its masks and lists take 9 bytes
// more per residue) and the engine's list of its hits. A translated search
// holds each nucleotide record whole (shared by its pieces, freed with the
// last; the next record may be read while the last pieces of one are
// searched), and per worker the translation of its piece and the stretch it
// searches with its masks and lists (frame_pieces.h).
//
// Ownership: the engine is shared by the workers, read-only apart from its
// synchronised memo; each worker owns its SearchEngine::Worker, its buffers
// and the records it read; the record source is used under the claim lock
// only. The workers are joined before a call returns.
//
// A report (SearchStreams::report): the one-thread loop feeds the caller's
// collector; in the pool each worker feeds a collector of its own, with the
// same limits, and merges it into the caller's under a lock once the
// source's sequences have run out (a worker stopped by a fault or a cancel
// merges nothing: the report of such a search is not written). A worker's
// collector fills up to its limits early and then passes over what it will
// not keep, as one collector does; merging after each chunk would start an
// empty one each time, which keeps (copies) nearly every sequence only for
// the merge to drop it. So each thread's collector takes the memory of one
// (ReportLimits: at most 300,000 kept hits). What the caller's collector
// holds in the end is the same for every thread count (report_collector.h).
// Without a collector nothing is fed and nothing locked.
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
#include <span>

#include "database/sequence_database.h"
#include "engine/search_engine.h"
#include "input/record_source.h"
#include "output/output_streams.h"
#include "parallel/frame_pieces.h"

namespace brisel {

class ReportCollector;

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

// The streams a search writes, the flag that stops it and the report it feeds.
struct SearchStreams {
  OutputStream& out;                          // the hits
  OutputStream& err;                          // the progress lines
  const std::atomic<bool>* cancel = nullptr;  // raised: stop between sequences
  ReportCollector* report = nullptr;          // fed every sequence searched, when given
};

// One of the databases that a search takes as one, in order: its sequences
// are the search's sequences `first` to `first + count - 1` (from 0).
struct DatabasePart {
  const SequenceViews* sequences;
  std::uint32_t count;
  std::uint64_t first;
};

// The indexed search of the sequences of mapped, checked databases, one after
// the other, numbered (in progress lines and hit records) as the parts say,
// on `threads` threads (1: the calling thread alone). A chunk of sequences
// never spans two parts; the output does not show where they meet.
void RunDatabaseSearch(SearchEngine& engine, std::span<const DatabasePart> parts, unsigned threads,
                       const SearchStreams& streams, const ParallelLimits& limits = {});

// The same over sequences 0 to sequenceCount - 1 of one database.
void RunDatabaseSearch(SearchEngine& engine, const SequenceViews& sequences,
                       std::uint32_t sequenceCount, unsigned threads, const SearchStreams& streams,
                       const ParallelLimits& limits = {});

// The records of `source` searched as `kind` says, on `threads` threads: the
// scan search of each record's text (names are FASTA name lines; a record with
// an empty name is a raw sequence, named as brisel-search -b without -f names
// one), or the indexed search over the residue masks and letter position lists
// formed from it (names are database names), as over a database built from the
// records. The engine must have been built for the same kind.
void RunRecordSearch(SearchEngine& engine, RecordSource& source, SearchKind kind, unsigned threads,
                     const SearchStreams& streams, const ParallelLimits& limits = {});

// The translated search of the records of `pieces` (frame_pieces.h), on
// `threads` threads: the stretches of each record's frames searched as
// indexed-order sequences, in the order frame_pieces.h gives, with one
// progress line per record. The pieces of one record are searched side by
// side; the output is the same for every thread count. The engine must have
// been built for the indexed search with translated rows.
void RunTranslatedSearch(SearchEngine& engine, FramePieces& pieces, unsigned threads,
                         const SearchStreams& streams, const ParallelLimits& limits = {});

}  // namespace brisel

#endif  // BRISEL_PARALLEL_PARALLEL_SEARCH_H
