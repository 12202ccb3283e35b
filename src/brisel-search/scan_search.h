// SPDX-License-Identifier: MIT
// scan_search.h: the scan search, which tries every motif at every start of
// sequences read from a text file.
//
// The scanner must have the newline as its only delimiter and discard it, so
// that only non-empty lines are seen. FASTA input is read as alternating name
// and sequence lines (records are formed by alternation alone, the name line is
// taken whole with its '>'); raw input is the file's first non-empty line. Lines
// of any length are read whole.
//
// For each sequence the motifs are taken in database order under the hit
// statistics of hit_report.h; each motif that passes the cut-off is tried at
// every start in increasing order, and a placement fails at its first position
// whose masks share no bit. Hits go to standard output (a FASTA record's name
// line before its first hit), progress lines to standard error. FASTA records
// are searched by `threads` workers (parallel/parallel_search.h) with the same
// output for every count; a raw sequence is one search on the calling thread.
// A search ends early when a write of standard output fails.
#ifndef BRISEL_SCAN_SEARCH_H
#define BRISEL_SCAN_SEARCH_H

#include <cstdint>
#include <string_view>

#include "brisel.h"
#include "output/output_formats.h"
#include "scanner.h"

void RunSearchOnFastaSequences(Scanner scannerObject, const std::uint32_t* charToBitMap,
                               motifMappedMemoryADT motifMappedMemoryObject,
                               double cutoffExpectation, unsigned threads = 1,
                               OutputFormat format = OutputFormat::kPipe);

void RunSearchOnSequence(Scanner scannerObject, const std::uint32_t* charToBitMap,
                         motifMappedMemoryADT motifMappedMemoryObject, double cutoffExpectation,
                         OutputFormat format = OutputFormat::kPipe);

// Searches one sequence against every motif. `sequenceName` is written as the
// header of the first hit when `isFasta` is non-zero.
void BruteForceSearch(motifMappedMemoryADT motifMappedMemoryObject, std::string_view sequenceName,
                      std::string_view textSequence, const std::uint32_t* charToBitMap,
                      double cutoffExpectation, int isFasta,
                      OutputFormat format = OutputFormat::kPipe);

#endif  // BRISEL_SCAN_SEARCH_H
