// SPDX-License-Identifier: MIT
// fasta_reader_fuzz.cpp: brisel-makedb's FASTA reader against a model of the
// record rules.
#include <string>
#include <vector>

#include "build_error.h"
#include "fasta_reader.h"
#include "fuzz_bodies.h"
#include "fuzz_files.h"

namespace {

struct Record {
  std::string name;
  std::string residues;
  bool operator==(const Record&) const = default;
};

class RecordingSink final : public FastaSink {
 public:
  void StartRecord(std::string_view name, const InputFile&) override {
    FUZZ_CHECK(name.find('\n') == std::string_view::npos);
    records.push_back({std::string(name), {}});
  }
  void AddResidues(std::string_view residues, const InputFile&) override {
    FUZZ_CHECK(!records.empty());
    FUZZ_CHECK(residues.find_first_of(" \t\r\n") == std::string_view::npos);
    records.back().residues += residues;
  }
  std::vector<Record> records;
};

// The records of plain FASTA text, or false where the text must be refused.
bool ModelRecords(const std::string& text, std::vector<Record>& records) {
  std::size_t begin = 0;
  while (begin < text.size()) {
    std::size_t end = text.find('\n', begin);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(begin, end - begin);
    begin = end + 1;
    if (!line.empty() && line[0] == '>') {
      std::string name = line.substr(1);
      if (!name.empty() && name.back() == '\r') name.pop_back();
      records.push_back({name, {}});
      continue;
    }
    std::string residues;
    for (char c : line) {
      if (c != ' ' && c != '\t' && c != '\r') residues += c;
    }
    if (residues.empty()) continue;
    if (records.empty()) return false;
    records.back().residues += residues;
  }
  return true;
}

}  // namespace

int FuzzFastaReader(const std::uint8_t* data, std::size_t size) {
  const std::string path = WriteScratchFile("input.fa", data, size);
  RecordingSink sink;
  bool refused = false;
  try {
    InputFile input(path);
    ProgressLine progress(true, input);
    ReadFastaRecords(input, sink, progress);
  } catch (const BuildError& error) {
    refused = true;
    FUZZ_CHECK(std::string(error.what()).starts_with(path + ":"));
  }
  const bool gzip = size >= 2 && data[0] == 0x1f && data[1] == 0x8b;
  if (gzip) return 0;  // decompressed text has no model here; a clean end suffices
  std::vector<Record> expected;
  const bool accepted =
      ModelRecords(std::string(reinterpret_cast<const char*>(data), size), expected);
  FUZZ_CHECK(refused == !accepted);
  if (accepted) FUZZ_CHECK(sink.records == expected);
  return 0;
}
