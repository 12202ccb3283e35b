// SPDX-License-Identifier: MIT
// fuzz_bodies.h: the bodies of the fuzz targets.
//
// Each takes arbitrary bytes, runs one part of the system on them and checks
// the invariants that part promises, aborting with a message when one fails.
// The libFuzzer executables call them (fuzz_entry.cpp), and the test suite
// replays the committed corpus and every past crash through them.
#ifndef BRISEL_FUZZ_BODIES_H
#define BRISEL_FUZZ_BODIES_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace brisel {

// The scanner over arbitrary text with an arbitrary delimiter set, discard
// switch and buffer size: tokens must be exactly those of the token rules, no
// byte lost or duplicated, none longer than bufLen - 1; then a random mix of
// reads and skips must stay inside its buffers.
int FuzzScanner(const std::uint8_t* data, std::size_t size);

// The stats number parser against an independent model, and the stats file
// reader over arbitrary bytes.
int FuzzStatsFile(const std::uint8_t* data, std::size_t size);

// The FASTA record reader, alone and through brisel-makedb's sink: the records
// it yields must be those of an independent model, and what the model refuses
// (text before the first '>', a NUL byte, a name too long, an empty sequence
// where refused) must be refused; compressed input must end in records or a
// clean error.
int FuzzFastaReader(const std::uint8_t* data, std::size_t size);

// Text compressed in each format, in one or several streams, read back by
// lines or by pieces: whole it must read as the text; cut short it must be
// refused with the line reached, unless it was cut between streams; damaged
// otherwise it must end cleanly.
int FuzzCompressedInput(const std::uint8_t* data, std::size_t size);

// The PROSITE pattern parser, and the distinct motifs (against a plain
// expansion of every choice) and statistics of what it accepts.
int FuzzPatternParser(const std::uint8_t* data, std::size_t size);

// Arbitrary bytes as a FASTA file, plain or compressed: the direct search must
// write what the search of brisel-makedb's database of the file writes, or,
// where the build refuses the file, stop at the same fault after the records
// before it.
int FuzzDirectSearch(const std::uint8_t* data, std::size_t size);

// Arbitrary bytes taken as the stats file and block files of a motif and a
// sequence database and as a FASTA file: mapping, the database check and both
// searches must end in a clean refusal or a completed search.
int FuzzDatabases(const std::uint8_t* data, std::size_t size);

#define FUZZ_CHECK(condition)                                                            \
  do {                                                                                   \
    if (!(condition)) {                                                                  \
      std::fprintf(stderr, "fuzz invariant failed: %s at %s:%d\n", #condition, __FILE__, \
                   __LINE__);                                                            \
      std::abort();                                                                      \
    }                                                                                    \
  } while (0)

}  // namespace brisel

#endif  // BRISEL_FUZZ_BODIES_H
