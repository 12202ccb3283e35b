// sequence_db.cpp: writes small sequence databases for the tests.
#include "sequence_db.h"

#include <cstring>

#include "motif_db.h"
#include "temp_dir.h"

namespace {

template <typename T>
void WriteBlock(const std::string& path, const std::vector<T>& elements) {
  WriteFile(path, std::string_view(reinterpret_cast<const char*>(elements.data()),
                                   elements.size() * sizeof(T)));
}

}  // namespace

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
  WriteFile(root + "-names.bin", names);
  WriteBlock(root + "-nameIndices.bin", nameIndices);
  WriteFile(root + "-textSequences.bin", texts);
  WriteBlock(root + "-bitSequences.bin", bits);
  WriteBlock(root + "-sequenceIndices.bin", sequenceIndices);
  WriteBlock(root + "-offsets.bin", offsets);
  WriteBlock(root + "-offsetIndices.bin", offsetIndices);
  WriteStatsFile(root, std::to_string(sequences.size()) + "\n" + std::to_string(names.size()) +
                           "\n" + std::to_string(texts.size()) + "\n");
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
