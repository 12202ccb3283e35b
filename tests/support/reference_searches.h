// SPDX-License-Identifier: MIT
// reference_searches.h: both searches as first written, one motif at a time.
//
// For each sequence the motifs are taken in database order under the hit
// statistics of hit_statistics.h, and each motif that passes the cut-off is tried
// with its walk (per_motif_walks.h); every hit is written at once with printf.
// The cost grows as motifs x residues, which is why brisel-search runs the
// multi-motif engine instead; these stay as the definition that the engine's
// output is compared with, byte for byte, in the tests.
#ifndef BRISEL_REFERENCE_REFERENCE_SEARCHES_H
#define BRISEL_REFERENCE_REFERENCE_SEARCHES_H

#include <cstdint>
#include <cstdio>
#include <string_view>

#include "brisel.h"
#include "output/output_formats.h"

namespace brisel {

// The indexed search of every sequence of `sequences`: hits to `out` in
// `format` (without the format's header line), the progress line of each
// sequence to `err`.
void ReferenceIndexedSearch(const motifMappedMemoryCDT& motifs,
                            const sequenceMappedMemoryCDT& sequences, double cutoffExpectation,
                            std::FILE* out, std::FILE* err,
                            OutputFormat format = OutputFormat::kPipe);

// The scan search of one sequence text (up to its first NUL byte); with
// `isFasta` the name line is written before the first hit.
void ReferenceScanSequence(const motifMappedMemoryCDT& motifs, std::string_view sequenceName,
                           std::string_view textSequence, const std::uint32_t* charToBitMap,
                           double cutoffExpectation, int isFasta, std::FILE* out,
                           OutputFormat format = OutputFormat::kPipe);

}  // namespace brisel

#endif  // BRISEL_REFERENCE_REFERENCE_SEARCHES_H
