// SPDX-License-Identifier: MIT
// motif_db.cpp: writes small motif databases for the tests.
#include "motif_db.h"

#include <cmath>

#include <filesystem>
#include <stdexcept>

#include "block_arrays.h"
#include "brisel.h"
#include "temp_dir.h"

namespace brisel {

std::uint32_t Letters(std::string_view letters) {
  std::uint32_t mask = 0;
  for (char c : letters) {
    if (c >= 'A' && c <= 'Z') mask |= std::uint32_t{1} << (c - 'A');
    if (c >= 'a' && c <= 'z') mask |= std::uint32_t{1} << (c - 'a');
  }
  return mask;
}

TestMotif MakeMotif(std::initializer_list<std::string_view> positions, double specificity,
                    double lengthCorrection, std::string record) {
  TestMotif motif;
  for (std::string_view letters : positions)
    motif.positions.push_back(Letters(letters));
  motif.specificity = specificity;
  motif.lengthCorrection = lengthCorrection;
  motif.logSpecificity = std::log10(specificity);
  motif.homingMask = motif.positions.empty() ? 0 : motif.positions[0];
  motif.record = std::move(record);
  return motif;
}

void WriteMotifDatabase(const std::string& root, const std::vector<TestMotif>& motifs) {
  std::vector<double> logSpecificities, specificities, lengthCorrections;
  std::vector<std::uint32_t> bitMotifs, bitIndices{0}, homing, offsets, recordIndices{0};
  std::string records;
  for (const TestMotif& m : motifs) {
    logSpecificities.push_back(m.logSpecificity);
    specificities.push_back(m.specificity);
    lengthCorrections.push_back(m.lengthCorrection);
    bitMotifs.insert(bitMotifs.end(), m.positions.begin(), m.positions.end());
    bitIndices.push_back(static_cast<std::uint32_t>(bitMotifs.size()));
    homing.push_back(m.homingMask);
    offsets.push_back(m.homingPosition);
    records += m.record;
    recordIndices.push_back(static_cast<std::uint32_t>(records.size()));
  }
  // The blocks go through the builder-side record and the real writers, so that
  // writing and mapping are tested against each other.
  const ArrayPtr arrays[] = {
      ArrayOf(logSpecificities), ArrayOf(specificities), ArrayOf(lengthCorrections),
      ArrayOf(bitMotifs),        ArrayOf(bitIndices),    ArrayOf(homing),
      ArrayOf(offsets),          CharsOf(records),       ArrayOf(recordIndices)};
  const motifMemoryBlockCDT block = {arrays[0].get(), arrays[1].get(), arrays[2].get(),
                                     arrays[3].get(), arrays[4].get(), arrays[5].get(),
                                     arrays[6].get(), arrays[7].get(), arrays[8].get()};
  const auto path = [&](const char* suffix) { return root + suffix; };
  std::filesystem::create_directories(std::filesystem::path(root).parent_path());
  bool ok = WriteDoublesBlockToBinaryFile(block.logSpecificitiesArray,
                                          path("-logSpecificities.bin").c_str());
  ok &= WriteDoublesBlockToBinaryFile(block.specificitiesArray, path("-specificities.bin").c_str());
  ok &= WriteDoublesBlockToBinaryFile(block.lengthCorrectionsArray,
                                      path("-lengthCorrections.bin").c_str());
  ok &= WriteUnsignedLongsBlockToBinaryFile(block.bitMotifsArray, path("-bitMotifs.bin").c_str());
  ok &= WriteUnsignedLongsBlockToBinaryFile(block.bitIndicesArray, path("-bitIndices.bin").c_str());
  ok &= WriteUnsignedLongsBlockToBinaryFile(block.homingBitLettersArray,
                                            path("-homingBitLetters.bin").c_str());
  ok &= WriteUnsignedLongsBlockToBinaryFile(block.offsetsArray, path("-offsets.bin").c_str());
  ok &= WriteCharsBlockToBinaryFile(block.recordsArray, path("-records.bin").c_str());
  ok &= WriteUnsignedLongsBlockToBinaryFile(block.recordIndicesArray,
                                            path("-recordIndices.bin").c_str());
  std::string anchors;
  bool anchored = false;
  for (const TestMotif& m : motifs) {
    anchors += static_cast<char>(m.anchor);
    anchored |= m.anchor != 0;
  }
  if (anchored) {
    ok &= WriteCharsBlockToBinaryFile(CharsOf(anchors).get(), path("-anchors.bin").c_str());
  } else {
    std::filesystem::remove(path("-anchors.bin"));
  }
  if (!ok) throw std::runtime_error("cannot write the motif database " + root);
  WriteStatsFile(root, std::to_string(motifs.size()) + "\n" + std::to_string(bitMotifs.size()) +
                           "\n" + std::to_string(records.size()) + "\n");
}

void WriteStatsFile(const std::string& root, std::string_view text) {
  WriteFile(root + "-stats", text);
}

}  // namespace brisel
