// SPDX-License-Identifier: MIT
// database_check.h: checks a mapped database before it is searched.
//
// The searches index the views in place and trust what they find there, so a
// database is checked once after it is mapped, in time linear in its index
// blocks and without reading a whole data block:
// - every block file is at least as long as its count requires (touching a page
//   past the end of a file would kill the run with SIGBUS);
// - every index block starts at 0, never decreases and ends at the count of the
//   block it delimits;
// - for motifs: every width is at least 1 and every homing position lies inside
//   its motif; the optional anchors block, when mapped, holds exactly one byte
//   per motif, each 0 to 3;
// - for sequences: numSequences is small enough for 26 x numSequences + 1 to fit
//   in 32 bits, the letter position index ends at most at numSequenceBits, and
//   the `offsets` file holds every entry that index delimits (the block is
//   mapped with the upper bound numSequenceBits). The positions in `offsets`
//   are not read here; the indexed search bounds every one it meets.
// All counts are formed in 64 bits. A fault is described as "<path>: <what is
// wrong>"; the caller reports it.
#ifndef BRISEL_DATABASE_CHECK_H
#define BRISEL_DATABASE_CHECK_H

#include <optional>
#include <string>
#include <string_view>

#include "database/motif_database.h"
#include "database/sequence_database.h"

namespace brisel {

std::optional<std::string> CheckMotifDatabase(const MotifViews& db, std::string_view rootPath);

std::optional<std::string> CheckSequenceDatabase(const SequenceViews& db,
                                                 std::string_view rootPath);

}  // namespace brisel

#endif  // BRISEL_DATABASE_CHECK_H
