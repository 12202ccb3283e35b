// SPDX-License-Identifier: MIT
// read_input.cpp: reads a FASTA input as brisel-makedb does, building
// nothing, and reports its format, records, residues and the wall time.
//
//   build/bench/read_input FILE
//
// The time is that of the reading alone: decompression, lines, the record
// rules. bench/input_formats.sh runs it over the formats.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

#include "compressed_text.h"
#include "input/fasta_record_reader.h"
#include "input/input_error.h"
#include "input/input_file.h"

using namespace brisel;

int main(int argc, char* argv[]) {
  if (argc != 2) {
    std::fputs("usage: read_input FILE\n", stderr);
    return 2;
  }
  try {
    const auto start = std::chrono::steady_clock::now();
    InputFile input(argv[1]);
    FastaRecordReader reader(input);
    std::uint64_t records = 0, residues = 0;
    std::string_view piece;
    while (reader.NextRecord()) {
      ++records;
      while (reader.NextResidues(piece))
        residues += piece.size();
    }
    const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
    std::printf("%s %llu records %llu residues %.3f s\n",
                std::string(CompressionName(input.compression())).c_str(),
                static_cast<unsigned long long>(records), static_cast<unsigned long long>(residues),
                seconds.count());
  } catch (const InputError& error) {
    std::fprintf(stderr, "read_input: %s\n", error.what());
    return 1;
  }
  return 0;
}
