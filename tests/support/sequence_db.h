// SPDX-License-Identifier: MIT
// sequence_db.h: small sequence databases for the tests.
#ifndef BRISEL_TESTS_SEQUENCE_DB_H
#define BRISEL_TESTS_SEQUENCE_DB_H

#include <cstdint>
#include <string>
#include <vector>

namespace brisel {

struct TestSequence {
  std::string name;
  std::string text;
};

// Writes the stats file and the seven blocks of a sequence database at `root`:
// letter masks of the text, and for each letter the ascending positions at which
// it occurs.
void WriteSequenceDatabase(const std::string& root, const std::vector<TestSequence>& sequences);

// The same records as single-line FASTA, for the scan search.
std::string AsFasta(const std::vector<TestSequence>& sequences);

// The records of a multi-line FASTA file, each sequence joined onto one line.
std::string SingleLineFasta(const std::string& fasta);

// Overwrites entry `index` of a block of 32-bit values.
void PatchUnsigned(const std::string& path, std::size_t index, std::uint32_t value);

}  // namespace brisel

#endif  // BRISEL_TESTS_SEQUENCE_DB_H
