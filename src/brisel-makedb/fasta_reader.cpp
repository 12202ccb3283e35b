// fasta_reader.cpp: the FASTA record rules.
#include "fasta_reader.h"

#include <string>

#include "build_error.h"

namespace {

bool IsRemoved(char c) {
  return c == ' ' || c == '\t' || c == '\r';
}

// Copies the residues of a sequence line, without spaces, tabs and CRs, into
// `residues`.
void StripLine(std::string_view line, std::string& residues) {
  residues.clear();
  std::size_t runStart = 0;
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (!IsRemoved(line[i])) continue;
    residues.append(line.data() + runStart, i - runStart);
    runStart = i + 1;
  }
  residues.append(line.data() + runStart, line.size() - runStart);
}

}  // namespace

void ReadFastaRecords(InputFile& input, FastaSink& sink, ProgressLine& progress) {
  std::string_view line;
  std::string residues;
  bool inRecord = false;
  while (input.NextLine(line)) {
    if (!line.empty() && line[0] == '>') {
      std::string_view name = line.substr(1);
      if (!name.empty() && name.back() == '\r') name.remove_suffix(1);
      sink.StartRecord(name, input);
      progress.Record();
      inRecord = true;
      continue;
    }
    StripLine(line, residues);
    if (residues.empty()) continue;
    if (!inRecord) {
      throw BuildError(input.name() + ":" + std::to_string(input.lineNumber()) +
                       ": sequence text before the first '>' line");
    }
    sink.AddResidues(residues, input);
  }
}
