// SPDX-License-Identifier: MIT
// databases_fuzz.cpp: arbitrary bytes as the files of a motif database, a
// sequence database and a FASTA file, through opening (mapping and the
// database check) and both searches of the library API. A fault must come out
// as a brisel::Error, never as a crash.
//
// Input: byte 0 picks the search options (bit 0: FASTA input for the scan
// search; the rest: the cut-off exponent, -16 to 15); then 19 pieces, each a
// 2-byte little-endian length and that many bytes: the motif stats file, the
// nine motif blocks, the sequence stats file, the seven sequence blocks, and
// the scan search's text. Missing pieces are empty files. A 20th piece, if
// the input reaches it, is the motif database's optional anchors block;
// without it the database has none.
#include <fcntl.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "api/databases.h"
#include "api/search.h"
#include "base/error.h"
#include "database/motif_database.h"
#include "database/sequence_database.h"
#include "fuzz_bodies.h"
#include "fuzz_files.h"
#include "input/line_reader.h"

namespace brisel {

namespace {

std::vector<std::string> FileNames() {
  std::vector<std::string> names = {"m-stats"};
  for (const MotifBlock& block : kMotifBlocks)
    names.push_back("m" + std::string(block.suffix));
  names.push_back("s-stats");
  for (const SequenceBlock& block : kSequenceBlocks) {
    names.push_back("s" + std::string(block.suffix));
  }
  names.push_back("input.fa");
  return names;
}

void WritePieces(const std::uint8_t* data, std::size_t size) {
  static const std::vector<std::string> names = FileNames();
  std::size_t at = 0;
  for (const std::string& name : names) {
    std::size_t length = 0;
    if (at + 2 <= size) {
      length = data[at] | (static_cast<std::size_t>(data[at + 1]) << 8);
      at += 2;
    }
    if (length > size - at) length = size - at;
    WriteScratchFile(name, data + at, length);
    at += length;
  }
  const std::string anchors = "m" + std::string(kAnchorsSuffix);
  if (at + 2 <= size) {
    std::size_t length = data[at] | (static_cast<std::size_t>(data[at + 1]) << 8);
    at += 2;
    if (length > size - at) length = size - at;
    WriteScratchFile(anchors, data + at, length);
  } else {
    std::remove(ScratchPath(anchors).c_str());
  }
}

void RunIndexedSearch(const brisel::MotifDatabase& motifs, const brisel::SearchOptions& options,
                      const brisel::SearchOutput& output) {
  try {
    const brisel::SequenceDatabase sequences = brisel::SequenceDatabase::Open(ScratchPath("s"));
    brisel::SearchDatabase(motifs, sequences, options, output);
  } catch (const brisel::Error&) {
  }
}

void RunScanSearch(const brisel::MotifDatabase& motifs, const brisel::SearchOptions& options,
                   const brisel::SearchOutput& output, bool fasta) {
  UniqueFd fd(::open(ScratchPath("input.fa").c_str(), O_RDONLY | O_CLOEXEC));
  FUZZ_CHECK(fd.get() >= 0);
  TextLines lines(std::move(fd));
  if (fasta) {
    FastaLineRecords records(lines);
    brisel::ScanRecords(motifs, records, options, output);
  } else {
    std::string sequence;
    lines.Next(sequence);
    brisel::ScanSequence(motifs, sequence, options, output);
  }
}

}  // namespace

int FuzzDatabases(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const bool fasta = (data[0] & 1) != 0;
  const double cutoff = std::pow(10.0, static_cast<double>((data[0] >> 1) % 32) - 16.0);
  WritePieces(data + 1, size - 1);

  const brisel::SearchOptions options{cutoff, 1, nullptr};
  NullStream out, err;
  const brisel::SearchOutput output{out, &err};
  try {
    const brisel::MotifDatabase motifs = brisel::MotifDatabase::Open(ScratchPath("m"));
    RunIndexedSearch(motifs, options, output);
    RunScanSearch(motifs, options, output, fasta);
  } catch (const brisel::Error&) {
  }
  return 0;
}

}  // namespace brisel
