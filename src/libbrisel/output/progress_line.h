// SPDX-License-Identifier: MIT
// progress_line.h: the line "Processing Sequence <n>\r" that both searches
// write to standard error for each sequence, n counted from 1.
#ifndef BRISEL_OUTPUT_PROGRESS_LINE_H
#define BRISEL_OUTPUT_PROGRESS_LINE_H

#include <cstdint>
#include <string>

namespace brisel {

// Appends the line to a buffer.
void AppendProgressLine(std::string& err, std::uint64_t sequenceNumber);

}  // namespace brisel

#endif  // BRISEL_OUTPUT_PROGRESS_LINE_H
