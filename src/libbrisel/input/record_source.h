// SPDX-License-Identifier: MIT
// record_source.h: where a search of records takes its sequences from, one
// record at a time.
//
// A record is a name and a residue text. For the scan search the name is a
// FASTA name line with its '>' (it heads the record's hits as it is), or empty
// for a raw sequence; for the indexed search of records (the direct search of
// a FASTA file) it is a database name, the name line without its '>'. A
// parallel search reads its source on one thread at a time, in order, and
// never again once it has ended. Next must not throw: a source that meets a
// fault ends its records and keeps the fault for its owner.
#ifndef BRISEL_INPUT_RECORD_SOURCE_H
#define BRISEL_INPUT_RECORD_SOURCE_H

#include <functional>
#include <memory>
#include <string>

namespace brisel {

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

// Starts a pass over a caller's records from the first; each call must give
// the same records (a sharded build makes two passes, and refuses records
// that changed between them).
using RecordSourceOpener = std::function<std::unique_ptr<RecordSource>()>;

}  // namespace brisel

#endif  // BRISEL_INPUT_RECORD_SOURCE_H
