// SPDX-License-Identifier: MIT
// reading_progress.cpp: the progress line of reading an input.
#include "input/reading_progress.h"

#include <unistd.h>

#include <cstdio>

#include "base/message_text.h"

namespace brisel {

ReadingProgress::ReadingProgress(bool quiet, const InputFile& input)
    : input_(input), enabled_(!quiet && ::isatty(STDERR_FILENO) == 1) {}

void ReadingProgress::Redraw(bool force) {
  const auto now = std::chrono::steady_clock::now();
  if (!force && shown_ && now - lastDrawn_ < std::chrono::milliseconds(200)) return;
  lastDrawn_ = now;
  const std::uint64_t bytes = input_.bytesRead();
  std::fprintf(stderr, "\r%s: %llu records, %.1f MiB", EscapedText(input_.name()).c_str(),
               static_cast<unsigned long long>(records_), static_cast<double>(bytes) / (1 << 20));
  if (const auto total = input_.totalBytes(); total && *total > 0) {
    std::fprintf(stderr, " (%d%%)", static_cast<int>(100.0 * static_cast<double>(bytes) / *total));
  }
  std::fputs("\033[K", stderr);
  shown_ = true;
}

void ReadingProgress::Clear() {
  if (!shown_) return;
  std::fputs("\r\033[K", stderr);
  shown_ = false;
}

}  // namespace brisel
