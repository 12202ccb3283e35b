// SPDX-License-Identifier: MIT
// indexed_search.h: the indexed search, which places each motif only where one
// of its homing letters occurs at its homing position.
//
// It runs the multi-motif engine (engine/search_engine.h), which reports
// exactly the hits of the walk described here, in the same order; that walk
// itself is kept in reference/.
//
// Every sequence of the sequence database is searched, in database order,
// against the motifs in database order under the hit statistics of
// hit_report.h. For a motif that passes the cut-off, the letter position lists
// of its homing letters are walked from 'A' to 'Z'; each listed position p at or
// after the homing position h places the motif at start p - h, and the walk of a
// list ends at the first placement that would run past the end of the sequence
// (the lists ascend). Each placement is verified position by position with the
// letter masks. A sequence's first hit is preceded by the header ">name"
// (in the pipe format; output_format.h gives the others).
//
// The walk is memory-safe for any stored position: start + width is formed in
// 64 bits, so a position near 2^32 ends the walk instead of wrapping.
#ifndef BRISEL_INDEXED_SEARCH_H
#define BRISEL_INDEXED_SEARCH_H

#include "brisel.h"
#include "output/output_formats.h"

// `threads` workers search the sequences (parallel/parallel_search.h); the
// output is the same for every count, and 1 searches on the calling thread.
// Hits go to standard output, progress lines to standard error; the search
// ends early when a write of standard output fails.
void SmartSearch(motifMappedMemoryADT motifMappedMemoryObject,
                 sequenceMappedMemoryADT sequenceMappedMemoryObject, double cutoffExpectation,
                 unsigned threads = 1, OutputFormat format = OutputFormat::kPipe);

#endif  // BRISEL_INDEXED_SEARCH_H
