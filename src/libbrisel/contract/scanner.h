// SPDX-License-Identifier: MIT
// scanner.h: splits a text file into tokens at a set of single-character
// delimiters.
//
// A scanner is made with its delimiter set and a discard switch, both fixed for
// its life. A discarding scanner uses delimiters only to separate tokens: runs of
// delimiters never yield empty tokens. A keeping scanner delivers every delimiter
// as a one-character token of its own. Tokens are cut at the caller's buffer
// size; the rest of an over-long token is delivered by the next call.
//
// The scanner reads its stream one character at a time and may hold back one
// character that it has read but not delivered; the next operation takes the held
// character first, so no byte is delivered twice or out of order. Characters are
// unsigned bytes 0 to 255 throughout. A NUL byte can never be held (0 marks an
// empty holder).
//
// Ownership: a scanner owns its stream (FreeScanner closes it) and its copy of
// the file name. ScannerPtr releases a scanner when it goes out of scope.
#ifndef BRISEL_SCANNER_H
#define BRISEL_SCANNER_H

#include <cstdio>
#include <memory>

struct ScannerImplementation;
using Scanner = ScannerImplementation*;

// Constructors: null for a null stream or file name, or a file that cannot be
// opened for reading (errno then tells why; EISDIR for a directory). Pipes,
// FIFOs and devices are read as they come. `delimiters` must not be null; an
// empty set gives tokens cut only by the buffer size and the end of the input.
Scanner NewScannerFromFile(std::FILE* fp, const char* delimiters, int discard);
Scanner NewScannerFromFilename(const char* filename, const char* delimiters, int discard);
void FreeScanner(Scanner _scanner);

// Stores the next token in `buffer` as a NUL-terminated string of at most
// bufLen - 1 characters. Returns 1 if a token was stored, 0 when the input is
// exhausted (the empty string is then left in the buffer). A bufLen below 2
// stores at most the empty string and returns 0.
int ReadNextToken(Scanner _scanner, char* buffer, int bufLen);

// Skips over (or up to) the characters of `skips` and returns the character that
// stopped the skip (0 to 255), which stays to be read next unless it is a
// delimiter of a discarding scanner; -1 at the end of the input.
int SkipOver(Scanner _scanner, const char* skips);
int SkipUntil(Scanner _scanner, const char* skips);
int SkipOverDelimiters(Scanner _scanner);
int SkipUntilDelimiters(Scanner _scanner);

// The errno of the first read that failed, or 0. A failed read ends the input
// for every operation above, as its end does: a reader that has met the end
// asks here whether it was the end of the input.
int ScannerReadError(Scanner _scanner);

struct ScannerDeleter {
  void operator()(Scanner scanner) const { FreeScanner(scanner); }
};
using ScannerPtr = std::unique_ptr<ScannerImplementation, ScannerDeleter>;

#endif  // BRISEL_SCANNER_H
