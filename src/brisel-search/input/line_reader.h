// SPDX-License-Identifier: MIT
// line_reader.h: reads whole lines of any length from a scanner.
//
// The scanner must have the newline as its only delimiter and discard it, so
// that each token is the next non-empty line cut at the buffer size. A line
// longer than one buffer arrives as successive tokens; the reader joins them, so
// a long line is never cut and the lines that follow it are never shifted. As
// for a C string, the line's text ends at its first NUL byte; the rest of the
// line is still consumed.
#ifndef BRISEL_LINE_READER_H
#define BRISEL_LINE_READER_H

#include <string>

#include "scanner.h"

// Reads the next non-empty line into `line` (without its newline). Returns false,
// leaving `line` empty, when the input holds no further line.
bool ReadWholeLine(Scanner scanner, std::string& line);

#endif  // BRISEL_LINE_READER_H
