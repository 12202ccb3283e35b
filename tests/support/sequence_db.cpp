// SPDX-License-Identifier: MIT
// sequence_db.cpp: writes small sequence databases for the tests.
#include "sequence_db.h"

#include <cstring>

#include <filesystem>
#include <stdexcept>

#include "block_arrays.h"
#include "brisel.h"
#include "database/shard_manifest.h"
#include "motif_db.h"
#include "temp_dir.h"

namespace brisel {

void WriteSequenceDatabase(const std::string& root, const std::vector<TestSequence>& sequences) {
  std::string names, texts;
  std::vector<std::uint32_t> nameIndices{0}, bits, sequenceIndices{0}, offsets, offsetIndices{0};
  for (const TestSequence& s : sequences) {
    names += s.name;
    nameIndices.push_back(static_cast<std::uint32_t>(names.size()));
    texts += s.text;
    for (char c : s.text)
      bits.push_back(Letters(std::string(1, c)));
    sequenceIndices.push_back(static_cast<std::uint32_t>(texts.size()));
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
      for (std::size_t p = 0; p < s.text.size(); ++p) {
        if (Letters(std::string(1, s.text[p])) == Letters(std::string(1, letter))) {
          offsets.push_back(static_cast<std::uint32_t>(p));
        }
      }
      offsetIndices.push_back(static_cast<std::uint32_t>(offsets.size()));
    }
  }
  const ArrayPtr arrays[] = {CharsOf(names),        ArrayOf(nameIndices),     CharsOf(texts),
                             ArrayOf(bits),         ArrayOf(sequenceIndices), ArrayOf(offsets),
                             ArrayOf(offsetIndices)};
  const sequenceMemoryBlockCDT block = {arrays[0].get(), arrays[1].get(), arrays[2].get(),
                                        arrays[3].get(), arrays[4].get(), arrays[5].get(),
                                        arrays[6].get()};
  const auto path = [&](const char* suffix) { return root + suffix; };
  std::filesystem::create_directories(std::filesystem::path(root).parent_path());
  bool ok = WriteCharsBlockToBinaryFile(block.namesArray, path("-names.bin").c_str());
  ok &=
      WriteUnsignedLongsBlockToBinaryFile(block.nameIndicesArray, path("-nameIndices.bin").c_str());
  ok &= WriteCharsBlockToBinaryFile(block.textSequencesArray, path("-textSequences.bin").c_str());
  ok &= WriteUnsignedLongsBlockToBinaryFile(block.bitSequencesArray,
                                            path("-bitSequences.bin").c_str());
  ok &= WriteUnsignedLongsBlockToBinaryFile(block.sequenceIndicesArray,
                                            path("-sequenceIndices.bin").c_str());
  ok &= WriteUnsignedLongsBlockToBinaryFile(block.offsetsArray, path("-offsets.bin").c_str());
  ok &= WriteUnsignedLongsBlockToBinaryFile(block.offsetIndicesArray,
                                            path("-offsetIndices.bin").c_str());
  if (!ok) throw std::runtime_error("cannot write the sequence database " + root);
  ContentDigest digest;
  digest.Add(AsFasta(sequences));
  WriteStatsFile(root, std::to_string(sequences.size()) + "\n" + std::to_string(names.size()) +
                           "\n" + std::to_string(texts.size()) + "\ndigest " +
                           HexDigits(digest.value()) + "\n");
}

std::string AsFasta(const std::vector<TestSequence>& sequences) {
  std::string fasta;
  for (const TestSequence& s : sequences)
    fasta += ">" + s.name + "\n" + s.text + "\n";
  return fasta;
}

void PatchUnsigned(const std::string& path, std::size_t index, std::uint32_t value) {
  std::string bytes = ReadFile(path);
  std::memcpy(bytes.data() + index * 4, &value, 4);
  WriteFile(path, bytes);
}

std::string SingleLineFasta(const std::string& fasta) {
  std::string out;
  std::size_t begin = 0;
  while (begin < fasta.size()) {
    std::size_t end = fasta.find('\n', begin);
    if (end == std::string::npos) end = fasta.size();
    const std::string line = fasta.substr(begin, end - begin);
    begin = end + 1;
    if (line.starts_with(">")) {
      if (!out.empty()) out += '\n';
      out += line + '\n';
    } else {
      out += line;
    }
  }
  return out + '\n';
}

}  // namespace brisel
