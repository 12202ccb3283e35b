// SPDX-License-Identifier: MIT
// fasta_reader_fuzz.cpp: the FASTA record reader against a model of the record
// rules.
#include <string>
#include <vector>

#include "fuzz_bodies.h"
#include "fuzz_files.h"
#include "input/compression.h"
#include "input/fasta_record_reader.h"
#include "input/input_error.h"
#include "sequences/fasta_reader.h"

namespace brisel {

namespace {

struct Record {
  std::string name;
  std::string residues;
  bool operator==(const Record&) const = default;
};

class RecordingSink {
 public:
  void StartRecord(std::string_view name, const RecordPlace&) {
    FUZZ_CHECK(name.find('\n') == std::string_view::npos);
    records.push_back({std::string(name), {}});
  }
  void AddResidues(std::string_view residues, const RecordPlace&) {
    FUZZ_CHECK(!records.empty());
    FUZZ_CHECK(!residues.empty());
    FUZZ_CHECK(residues.find_first_of(std::string_view(" \t\r\n\0", 5)) == std::string_view::npos);
    records.back().residues += residues;
  }
  std::vector<Record> records;
};

// The records of plain FASTA text, or false where the text must be refused.
bool ModelRecords(const std::string& text, const FastaRules& rules, std::vector<Record>& records) {
  if (text.find('\0') != std::string::npos) return false;
  // A byte-order mark first is skipped.
  std::size_t begin = text.starts_with("\xEF\xBB\xBF") ? 3 : 0;
  const std::size_t firstLine = begin;
  while (begin < text.size()) {
    std::size_t end = text.find('\n', begin);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(begin, end - begin);
    begin = end + 1;
    if (!line.empty() && line[0] == '>') {
      if (!records.empty() && rules.refuseEmptySequences && records.back().residues.empty()) {
        return false;
      }
      std::string name = line.substr(1);
      if (!name.empty() && name.back() == '\r') name.pop_back();
      // A first line with carriage returns inside: lines that end in them alone.
      if (end - line.size() == firstLine && name.find('\r') != std::string::npos &&
          name.find_first_not_of('\r', name.find('\r')) != std::string::npos) {
        return false;
      }
      if (name.size() > rules.maxNameLength) return false;
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
  return records.empty() || !rules.refuseEmptySequences || !records.back().residues.empty();
}

// The records as the reader gives them, through the builder's pieces when the
// rules are the builder's.
void ReadRecords(InputFile& input, const FastaRules& rules, std::vector<Record>& records) {
  if (!rules.refuseEmptySequences && rules.maxNameLength == FastaRules::kMaxNameLength) {
    RecordingSink sink;
    ReadingProgress progress(true, input);
    FastaPieces pieces(input, progress);
    FillFrom(pieces, sink);
    records = std::move(sink.records);
    return;
  }
  FastaRecordReader reader(input, rules);
  std::string_view residues;
  while (reader.NextRecord()) {
    FUZZ_CHECK(reader.nameLine() == input.lineNumber());
    records.push_back({std::string(reader.name()), {}});
    while (reader.NextResidues(residues)) {
      FUZZ_CHECK(!residues.empty());
      records.back().residues += residues;
    }
    FUZZ_CHECK(reader.length() == records.back().residues.size());
  }
}

}  // namespace

int FuzzFastaReader(const std::uint8_t* data, std::size_t size) {
  const std::string path = WriteScratchFile("input.fa", data, size);
  // The rules follow from the input's length, so that every input exercises
  // some: the builder's, empty sequences refused, short names only.
  FastaRules rules;
  rules.refuseEmptySequences = size % 3 == 1;
  if (size % 3 == 2) rules.maxNameLength = size % 7;
  std::vector<Record> records;
  bool refused = false;
  try {
    InputFile input(path);
    ReadRecords(input, rules, records);
  } catch (const InputError& error) {
    refused = true;
    FUZZ_CHECK(std::string(error.what()).starts_with(path + ":"));
  }
  // Decompressed text has no model here (compressed_input_fuzz.cpp has one);
  // a clean end suffices.
  if (RecognizeCompression({data, size}) != Compression::kNone) return 0;
  std::vector<Record> expected;
  const bool accepted =
      ModelRecords(std::string(reinterpret_cast<const char*>(data), size), rules, expected);
  FUZZ_CHECK(refused == !accepted);
  if (accepted) FUZZ_CHECK(records == expected);
  return 0;
}

}  // namespace brisel
