// SPDX-License-Identifier: MIT
// scanner.cpp: the text scanner. See scanner.h for the token rules.
#include "scanner.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <new>
#include <string>

#include "base/assertion.h"

namespace {

// Skip modes: OVER skips the characters that belong to a set, UNTIL those that
// do not.
enum modeT { OVER = 0, UNTIL = 1 };

}  // namespace

struct ScannerImplementation {
  unsigned char _charHolder = 0;       // held non-delimiter; 0 means empty
  unsigned char _delimiterHolder = 0;  // held delimiter; 0 means empty
  std::string _filename;               // own copy of the file name; empty for a stream
  char _delimitersLookup[256] = {};    // 1 at each delimiter, fixed after creation
  char _skipsLookup[256] = {};         // all 0 between calls
  std::FILE* _infile = nullptr;        // owned: FreeScanner closes it
  int _discard = 0;                    // non-zero: discarding scanner
  int _readError = 0;                  // errno of the first failed read; 0: none
};

namespace {

void InitializeDelimitersLookup(Scanner _scanner, const char* delimiters) {
  for (char& entry : _scanner->_delimitersLookup)
    entry = 0;
  for (const char* c = delimiters; *c != '\0'; ++c) {
    _scanner->_delimitersLookup[static_cast<unsigned char>(*c)] = 1;
  }
}

void InitializeSkipsLookup(Scanner _scanner) {
  for (char& entry : _scanner->_skipsLookup)
    entry = 0;
}

void SetSkipsLookup(Scanner _scanner, const char* skips) {
  for (const char* c = skips; *c != '\0'; ++c) {
    _scanner->_skipsLookup[static_cast<unsigned char>(*c)] = 1;
  }
}

void ResetSkipsLookup(Scanner _scanner, const char* skips) {
  for (const char* c = skips; *c != '\0'; ++c) {
    _scanner->_skipsLookup[static_cast<unsigned char>(*c)] = 0;
  }
}

// Characters are read without taking the stream's lock: a scanner's stream
// belongs to it alone and the program has one thread. A failed read ends the
// input like its end does, and is recorded.
int ReadChar(Scanner _scanner) {
  const int c = getc_unlocked(_scanner->_infile);
  if (c == EOF && _scanner->_readError == 0 && std::ferror(_scanner->_infile) != 0) {
    _scanner->_readError = errno != 0 ? errno : EIO;
  }
  return c;
}

bool IsDelimiter(const ScannerImplementation& scanner, unsigned char c) {
  return scanner._delimitersLookup[c] != 0;
}

// Consumes the run of characters that `skipsLookup` and `mode` describe, held
// character first, and leaves the character that stopped it held (a delimiter of
// a discarding scanner is dropped). Returns that character, or EOF.
int Skip(Scanner _scanner, const char* skipsLookup, modeT mode) {
  const auto inRun = [&](unsigned char c) { return (skipsLookup[c] == 1) == (mode == OVER); };

  unsigned char* holder = nullptr;
  if (_scanner->_charHolder != 0) {
    holder = &_scanner->_charHolder;
  } else if (_scanner->_delimiterHolder != 0) {
    holder = &_scanner->_delimiterHolder;
  }
  if (holder != nullptr) {
    if (!inRun(*holder)) return *holder;
    *holder = 0;
  }

  int c;
  while ((c = ReadChar(_scanner)) != EOF && inRun(static_cast<unsigned char>(c))) {
  }
  if (c == EOF) return EOF;

  const auto stop = static_cast<unsigned char>(c);
  if (!IsDelimiter(*_scanner, stop)) {
    _scanner->_charHolder = stop;
  } else if (_scanner->_discard == 0) {
    _scanner->_delimiterHolder = stop;
  }
  return stop;
}

Scanner AllocateScanner(int discard) {
  Scanner _scanner = new (std::nothrow) ScannerImplementation;
  BRISEL_ASSERT(_scanner != nullptr, "_scanner != ((void *)0)");
  _scanner->_discard = discard;
  return _scanner;
}

}  // namespace

Scanner NewScannerFromFile(std::FILE* fp, const char* delimiters, int discard) {
  if (fp == nullptr) return nullptr;
  BRISEL_ASSERT(delimiters != nullptr, "delimiters != ((void *)0)");
  Scanner _scanner = AllocateScanner(discard);
  _scanner->_infile = fp;
  InitializeDelimitersLookup(_scanner, delimiters);
  InitializeSkipsLookup(_scanner);
  return _scanner;
}

Scanner NewScannerFromFilename(const char* filename, const char* delimiters, int discard) {
  if (filename == nullptr) return nullptr;
  BRISEL_ASSERT(delimiters != nullptr, "delimiters != ((void *)0)");
  Scanner _scanner = AllocateScanner(discard);
  _scanner->_filename = filename;
  _scanner->_infile = std::fopen(_scanner->_filename.c_str(), "r");
  // A directory opens for reading but cannot be read.
  struct stat status {};
  if (_scanner->_infile != nullptr && ::fstat(fileno(_scanner->_infile), &status) == 0 &&
      S_ISDIR(status.st_mode)) {
    std::fclose(_scanner->_infile);
    _scanner->_infile = nullptr;
    errno = EISDIR;
  }
  if (_scanner->_infile == nullptr) {
    const int openError = errno;
    delete _scanner;
    errno = openError;
    return nullptr;
  }
  InitializeDelimitersLookup(_scanner, delimiters);
  InitializeSkipsLookup(_scanner);
  return _scanner;
}

void FreeScanner(Scanner _scanner) {
  BRISEL_ASSERT(_scanner != nullptr, "_scanner != ((void *)0)");
  if (_scanner->_infile != nullptr) std::fclose(_scanner->_infile);
  delete _scanner;
}

int ReadNextToken(Scanner _scanner, char* buffer, int bufLen) {
  BRISEL_ASSERT(_scanner != nullptr, "_scanner != ((void *)0)");
  BRISEL_ASSERT(buffer != nullptr, "buffer != ((void *)0)");
  if (bufLen < 2) {
    if (bufLen == 1) buffer[0] = '\0';
    return 0;
  }

  int i = 0;
  if (_scanner->_charHolder != 0) {
    buffer[i++] = static_cast<char>(_scanner->_charHolder);
    _scanner->_charHolder = 0;
  } else if (_scanner->_delimiterHolder != 0) {
    const unsigned char delimiter = _scanner->_delimiterHolder;
    _scanner->_delimiterHolder = 0;
    if (_scanner->_discard == 0) {
      buffer[0] = static_cast<char>(delimiter);
      buffer[1] = '\0';
      return 1;
    }
  }

  while (i < bufLen - 1) {
    const int read = ReadChar(_scanner);
    if (read == EOF) break;
    const auto c = static_cast<unsigned char>(read);
    if (!IsDelimiter(*_scanner, c)) {
      buffer[i++] = static_cast<char>(c);
      continue;
    }
    if (i > 0) {
      _scanner->_delimiterHolder = c;
      break;
    }
    if (_scanner->_discard == 0) {
      buffer[i++] = static_cast<char>(c);
      break;
    }
    // A run of delimiters before the token: drop it. The character that ends
    // the run is no delimiter and begins the token.
    const int stop = Skip(_scanner, _scanner->_delimitersLookup, OVER);
    if (stop == EOF) {
      buffer[0] = '\0';
      return 0;
    }
    buffer[i++] = static_cast<char>(_scanner->_charHolder);
    _scanner->_charHolder = 0;
  }
  buffer[i] = '\0';
  return i > 0 ? 1 : 0;
}

int ScannerReadError(Scanner _scanner) {
  BRISEL_ASSERT(_scanner != nullptr, "_scanner != ((void *)0)");
  return _scanner->_readError;
}

int SkipOver(Scanner _scanner, const char* skips) {
  BRISEL_ASSERT(_scanner != nullptr, "_scanner != ((void *)0)");
  BRISEL_ASSERT(skips != nullptr, "skips != ((void *)0)");
  SetSkipsLookup(_scanner, skips);
  const int stop = Skip(_scanner, _scanner->_skipsLookup, OVER);
  ResetSkipsLookup(_scanner, skips);
  return stop;
}

int SkipUntil(Scanner _scanner, const char* skips) {
  BRISEL_ASSERT(_scanner != nullptr, "_scanner != ((void *)0)");
  BRISEL_ASSERT(skips != nullptr, "skips != ((void *)0)");
  SetSkipsLookup(_scanner, skips);
  const int stop = Skip(_scanner, _scanner->_skipsLookup, UNTIL);
  ResetSkipsLookup(_scanner, skips);
  return stop;
}

int SkipOverDelimiters(Scanner _scanner) {
  BRISEL_ASSERT(_scanner != nullptr, "_scanner != ((void *)0)");
  return Skip(_scanner, _scanner->_delimitersLookup, OVER);
}

int SkipUntilDelimiters(Scanner _scanner) {
  BRISEL_ASSERT(_scanner != nullptr, "_scanner != ((void *)0)");
  return Skip(_scanner, _scanner->_delimitersLookup, UNTIL);
}
