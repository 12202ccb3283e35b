// motif_db.cpp: writes small motif databases for the tests.
#include "motif_db.h"

#include <cmath>

#include "temp_dir.h"

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

namespace {

template <typename T>
void WriteBlock(const std::string& path, const std::vector<T>& elements) {
  WriteFile(path, std::string_view(reinterpret_cast<const char*>(elements.data()),
                                   elements.size() * sizeof(T)));
}

}  // namespace

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
  WriteBlock(root + "-logSpecificities.bin", logSpecificities);
  WriteBlock(root + "-specificities.bin", specificities);
  WriteBlock(root + "-lengthCorrections.bin", lengthCorrections);
  WriteBlock(root + "-bitMotifs.bin", bitMotifs);
  WriteBlock(root + "-bitIndices.bin", bitIndices);
  WriteBlock(root + "-homingBitLetters.bin", homing);
  WriteBlock(root + "-offsets.bin", offsets);
  WriteFile(root + "-records.bin", records);
  WriteBlock(root + "-recordIndices.bin", recordIndices);
  WriteStatsFile(root, std::to_string(motifs.size()) + "\n" + std::to_string(bitMotifs.size()) +
                           "\n" + std::to_string(records.size()) + "\n");
}

void WriteStatsFile(const std::string& root, std::string_view text) {
  WriteFile(root + "-stats", text);
}
