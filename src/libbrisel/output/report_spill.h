// SPDX-License-Identifier: MIT
// report_spill.h: takes the report of a sequence in pieces while its hit
// lines are formatted, so that a sequence with millions of hits is never held
// whole.
//
// The engine calls Spill with its buffer once the buffer holds the spill size;
// the parallel searches spill into their ordered chunks, the one-thread
// searches into the hit stream (StreamSpill).
#ifndef BRISEL_OUTPUT_REPORT_SPILL_H
#define BRISEL_OUTPUT_REPORT_SPILL_H

#include <cstddef>
#include <string>

#include "output/output_streams.h"

namespace brisel {

// Reports are collected in memory and written in pieces of about this size.
inline constexpr std::size_t kReportFlushBytes = std::size_t{1} << 20;

class ReportSpill {
 public:
  // Takes the bytes of `out` (leaving it empty, or as little as it chooses).
  virtual void Spill(std::string& out) = 0;

 protected:
  ~ReportSpill() = default;
};

// Writes the buffer to a stream and clears it; after a failed write only
// clears it.
class StreamSpill final : public ReportSpill {
 public:
  explicit StreamSpill(OutputStream& out) : out_(out) {}
  void Spill(std::string& out) override {
    out_.Write(out);
    out.clear();
  }
  bool failed() const { return out_.failed(); }

 private:
  OutputStream& out_;
};

}  // namespace brisel

#endif  // BRISEL_OUTPUT_REPORT_SPILL_H
