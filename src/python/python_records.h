// SPDX-License-Identifier: MIT
// python_records.h: the records of a Python iterable, for the scan search and
// the sequence builder.
//
// Each item is one sequence: a str or bytes (a raw sequence, without a name),
// a (name, sequence) pair (a tuple or a list of two), or any object with `id` and `seq` attributes
// and optionally `description` (Biopython's SeqRecord, duck-typed). The record's name is the FASTA
// name line such an item would have, '>' included: the name of a pair; for an object its
// description when that starts with its id (as SeqIO reads a FASTA title), else its id and
// description joined by a space. The fields of a pair are str or bytes; an object's seq may
// be any object whose str() is the residues (Biopython's Seq), but not None; anything else
// is a TypeError naming the item. A name or sequence that holds a NUL byte is refused
// (brisel.InvalidInputError, "<sequences>:N: a NUL byte in the sequence of record 'x'"):
// a C string would end there.
//
// The records are read in batches, the GIL held for each batch only, so a
// parallel scan search can read them from its worker threads (one at a time,
// under the search's claim lock) while the calling thread waits without the
// GIL. Next never throws: a Python error (a failing iterator, an item of
// another kind) ends the records, and is kept to be raised by the calling
// thread once the search or build is over (PythonErrorSlot). A builder, which
// must not take the records read so far for all of them, uses
// ThrowingRecords, whose Next throws ReadFailed instead.
//
// Ownership: the source holds a reference to the iterator, released with the
// GIL taken when the source goes.
#ifndef BRISEL_PYTHON_PYTHON_RECORDS_H
#define BRISEL_PYTHON_PYTHON_RECORDS_H

#include <nanobind/nanobind.h>

#include <cstddef>
#include <exception>
#include <memory>
#include <vector>

#include "input/record_source.h"

namespace brisel::python {

// Where a Python error waits for the thread that raises it. Destroyed with
// or without the GIL.
class PythonErrorSlot {
 public:
  PythonErrorSlot() = default;
  ~PythonErrorSlot();
  PythonErrorSlot(const PythonErrorSlot&) = delete;
  PythonErrorSlot& operator=(const PythonErrorSlot&) = delete;

  // Keeps the first error (the GIL held).
  void Keep(nanobind::python_error&& error);
  bool holds() const { return error_ != nullptr; }
  // With the GIL: raises the kept error, if there is one.
  void RaiseIfHeld();

 private:
  std::unique_ptr<nanobind::python_error> error_;
};

class PythonRecords : public RecordSource {
 public:
  // Iterates `iterable` (the caller holds the GIL); errors go to `errors`,
  // which must outlive the source. May be destroyed with or without the GIL.
  PythonRecords(nanobind::handle iterable, PythonErrorSlot& errors);
  ~PythonRecords() override;

  bool Next(SequenceRecord& record) override;
  bool failed() const { return errors_.holds(); }
  // The items read so far: after a whole search, the sequences searched.
  std::uint64_t count() const { return count_; }

 private:
  // Reads the next batch, with the GIL; false at the end or on an error.
  bool Refill();

  nanobind::object iterator_;
  PythonErrorSlot& errors_;
  std::vector<SequenceRecord> batch_;
  std::size_t next_ = 0;
  std::size_t filled_ = 0;
  bool ended_ = false;
  std::uint64_t count_ = 0;  // items read, for messages
};

// Thrown by ThrowingRecords when a Python error ends the records.
class ReadFailed : public std::exception {
 public:
  const char* what() const noexcept override { return "the Python sequences raised an error"; }
};

class ThrowingRecords final : public PythonRecords {
 public:
  using PythonRecords::PythonRecords;
  bool Next(SequenceRecord& record) override {
    const bool more = PythonRecords::Next(record);
    if (failed()) throw ReadFailed();
    return more;
  }
};

}  // namespace brisel::python

#endif  // BRISEL_PYTHON_PYTHON_RECORDS_H
