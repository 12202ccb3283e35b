// SPDX-License-Identifier: MIT
// record_source.h: where the scan search takes its sequences from, one record
// at a time.
//
// A record is a name and a residue text. The name is a FASTA name line with
// its '>' (it heads the record's hits as it is), or empty for a raw sequence.
// A parallel search reads its source on one thread at a time, in order.
#ifndef BRISEL_INPUT_RECORD_SOURCE_H
#define BRISEL_INPUT_RECORD_SOURCE_H

#include <string>

struct SequenceRecord {
  std::string name;
  std::string text;
};

class RecordSource {
 public:
  virtual ~RecordSource() = default;
  // Fills `record` with the next record; false at the end of the input.
  virtual bool Next(SequenceRecord& record) = 0;
};

#endif  // BRISEL_INPUT_RECORD_SOURCE_H
