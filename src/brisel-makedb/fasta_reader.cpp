// SPDX-License-Identifier: MIT
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
  // The input is taken in pieces, so that a sequence on one long line is never
  // held whole; only a name line is gathered.
  std::string_view piece;
  bool endsLine = false;
  bool atLineStart = true;
  bool inName = false;
  bool inRecord = false;
  std::string name;
  std::string residues;
  while (input.NextPiece(piece, endsLine)) {
    if (atLineStart && !piece.empty() && piece[0] == '>') {
      inName = true;
      name.assign(piece.substr(1));
    } else if (inName) {
      name.append(piece);
    } else {
      StripLine(piece, residues);
      if (!residues.empty()) {
        if (!inRecord) {
          throw BuildError(input.name() + ":" + std::to_string(input.lineNumber()) +
                           ": sequence text before the first '>' line");
        }
        sink.AddResidues(residues, input);
      }
    }
    atLineStart = endsLine;
    if (inName && endsLine) {
      if (!name.empty() && name.back() == '\r') name.pop_back();
      sink.StartRecord(name, input);
      progress.Record();
      inName = false;
      inRecord = true;
    }
  }
}
