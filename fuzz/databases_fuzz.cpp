// SPDX-License-Identifier: MIT
// databases_fuzz.cpp: arbitrary bytes as the files of a motif database, a
// sequence database and a FASTA file, through mapping, the database check and
// both searches.
//
// Input: byte 0 picks the search options (bit 0: FASTA input for the scan
// search; the rest: the cut-off exponent, -16 to 15); then 19 pieces, each a
// 2-byte little-endian length and that many bytes: the motif stats file, the
// nine motif blocks, the sequence stats file, the seven sequence blocks, and
// the scan search's text. Missing pieces are empty files. A 20th piece, if
// the input reaches it, is the motif database's optional anchors block;
// without it the database has none.
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "brisel.h"
#include "database/database_check.h"
#include "fuzz_bodies.h"
#include "fuzz_files.h"
#include "indexed_search.h"
#include "database/motif_database.h"
#include "scan_search.h"
#include "scanner.h"
#include "database/sequence_database.h"
#include "database/stats_file.h"

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

void RunIndexedSearch(motifMappedMemoryCDT& motifs, double cutoff) {
  const std::string root = ScratchPath("s");
  sequenceMappedMemoryCDT sequences{};
  MapSequenceBlocksToMemory(1, &sequences, root.c_str());
  if (!CheckSequenceDatabase(sequences, root)) {
    SilencedOutput silenced;
    SmartSearch(&motifs, &sequences, cutoff);
  }
  UnmapSequenceBlocksFromMemory(&sequences);
}

void RunScanSearch(motifMappedMemoryCDT& motifs, double cutoff, bool fasta) {
  ScannerPtr scanner(NewScannerFromFilename(ScratchPath("input.fa").c_str(), "\n", 1));
  FUZZ_CHECK(scanner != nullptr);
  std::uint32_t charToBitMap[kCharToBitMapLength];
  InitializeCharToBitMap(charToBitMap, kCharToBitMapLength);
  SilencedOutput silenced;
  if (fasta) {
    RunSearchOnFastaSequences(scanner.get(), charToBitMap, &motifs, cutoff);
  } else {
    RunSearchOnSequence(scanner.get(), charToBitMap, &motifs, cutoff);
  }
}

}  // namespace

int FuzzDatabases(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const bool fasta = (data[0] & 1) != 0;
  const double cutoff = std::pow(10.0, static_cast<double>((data[0] >> 1) % 32) - 16.0);
  WritePieces(data + 1, size - 1);

  // A stats file that holds no three counts ends the run at once: leave it
  // to the stats file target.
  StatsCounts counts{};
  if (ReadStatsFile(ScratchPath("m-stats").c_str(), counts)) return 0;
  if (ReadStatsFile(ScratchPath("s-stats").c_str(), counts)) return 0;

  const std::string root = ScratchPath("m");
  motifMappedMemoryCDT motifs{};
  MapMotifBlocksToMemory(1, &motifs, root.c_str());
  if (!CheckMotifDatabase(motifs, root)) {
    RunIndexedSearch(motifs, cutoff);
    RunScanSearch(motifs, cutoff, fasta);
  }
  UnmapMotifBlocksFromMemory(&motifs);
  return 0;
}
