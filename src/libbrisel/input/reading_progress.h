// SPDX-License-Identifier: MIT
// reading_progress.h: how far the reading of an input has come, as a line on
// standard error, for terminals only.
//
// The line ("in.fa: 120000 records, 48.2 MiB (26%)") is redrawn in place at most
// a few times a second. It is shown only when standard error is a terminal and
// the user did not ask for quiet; otherwise every call does nothing.
#ifndef BRISEL_INPUT_READING_PROGRESS_H
#define BRISEL_INPUT_READING_PROGRESS_H

#include <chrono>
#include <cstdint>

#include "input/input_file.h"

namespace brisel {

class ReadingProgress {
 public:
  ReadingProgress(bool quiet, const InputFile& input);
  ~ReadingProgress() { Clear(); }

  // Counts one more record, redrawing the line when it is due.
  void Record() {
    ++records_;
    if (enabled_ && (records_ & 0x3ff) == 0) Redraw(false);
  }
  // Erases the line.
  void Clear();

 private:
  void Redraw(bool force);

  const InputFile& input_;
  bool enabled_;
  bool shown_ = false;
  std::uint64_t records_ = 0;
  std::chrono::steady_clock::time_point lastDrawn_;
};

}  // namespace brisel

#endif  // BRISEL_INPUT_READING_PROGRESS_H
