// SPDX-License-Identifier: MIT
// python_records.cpp: Python items to records, a batch at a time.
#include "python_records.h"

#include <string>
#include <string_view>

#include "base/error.h"
#include "python_errors.h"

namespace nb = nanobind;

namespace brisel::python {

namespace {

// A batch ends after this many records or once it holds this many bytes.
constexpr std::size_t kBatchRecords = 256;
constexpr std::size_t kBatchBytes = std::size_t{1} << 18;

// The bytes of a str (UTF-8) or of a bytes-like object; false for others.
bool BytesOf(nb::handle object, std::string& out) {
  if (PyUnicode_Check(object.ptr())) {
    Py_ssize_t size = 0;
    const char* text = PyUnicode_AsUTF8AndSize(object.ptr(), &size);
    if (text == nullptr) throw nb::python_error();
    out.assign(text, static_cast<std::size_t>(size));
    return true;
  }
  if (PyBytes_Check(object.ptr())) {
    out.assign(PyBytes_AS_STRING(object.ptr()),
               static_cast<std::size_t>(PyBytes_GET_SIZE(object.ptr())));
    return true;
  }
  if (PyByteArray_Check(object.ptr())) {
    out.assign(PyByteArray_AS_STRING(object.ptr()),
               static_cast<std::size_t>(PyByteArray_GET_SIZE(object.ptr())));
    return true;
  }
  return false;
}

[[noreturn]] void WrongType(std::uint64_t number, const std::string& what, nb::handle value) {
  const std::string message =
      "sequence " + std::to_string(number) + ": " + what + ", not " + Py_TYPE(value.ptr())->tp_name;
  PyErr_SetString(PyExc_TypeError, message.c_str());
  throw nb::python_error();
}

// The bytes of a field that must be str or bytes.
void StrictText(nb::handle value, std::uint64_t number, const char* field, std::string& out) {
  if (!BytesOf(value, out)) {
    WrongType(number, std::string("the ") + field + " of a (name, sequence) pair is a str or bytes",
              value);
  }
}

// The bytes of a SeqRecord-like field: str, bytes, or the str() of an object
// (Biopython's Seq); None is refused.
void ObjectText(nb::handle value, std::uint64_t number, const char* field, std::string& out) {
  if (value.is_none()) WrongType(number, std::string("the ") + field + " is a str or a Seq", value);
  if (!BytesOf(value, out)) BytesOf(nb::str(value), out);
}

// A NUL byte ends a C string: no name or sequence may hold one.
void RefuseNul(const SequenceRecord& record, std::uint64_t number) {
  const std::string_view name = std::string_view(record.name).substr(record.name.empty() ? 0 : 1);
  const std::string at = "<sequences>:" + std::to_string(number) + ": ";
  if (name.find('\0') != std::string_view::npos) {
    RaisePython(Placed(
        Error(Error::Kind::kDamaged, at + "the name '" + std::string(name) + "' holds a NUL byte"),
        {"<sequences>", number, std::string(name)}));
  }
  if (record.text.find('\0') != std::string::npos) {
    RaisePython(Placed(Error(Error::Kind::kDamaged, at + "a NUL byte in the sequence of record '" +
                                                        std::string(name) + "'"),
                       {"<sequences>", number, std::string(name)}));
  }
}

// Fills `record` from one item.
void RecordFields(nb::handle item, std::uint64_t number, SequenceRecord& record) {
  record.name.clear();
  if (BytesOf(item, record.text)) return;
  if (PyTuple_Check(item.ptr()) || PyList_Check(item.ptr())) {
    if (PySequence_Size(item.ptr()) != 2) {
      WrongType(number, "a pair is (name, sequence), two items", item);
    }
    record.name = '>';
    std::string name;
    StrictText(nb::object(item[0]), number, "name", name);
    record.name += name;
    StrictText(nb::object(item[1]), number, "sequence", record.text);
    return;
  }
  if (!nb::hasattr(item, "id") || !nb::hasattr(item, "seq")) {
    WrongType(number, "expected a str, bytes, a (name, sequence) pair or an object with id and seq",
              item);
  }
  std::string id, description;
  ObjectText(item.attr("id"), number, "id", id);
  if (nb::hasattr(item, "description")) {
    const nb::object value = item.attr("description");
    if (!value.is_none()) ObjectText(value, number, "description", description);
  }
  record.name = '>';
  if (description.starts_with(id)) {
    record.name += description;
  } else {
    record.name += id;
    if (!description.empty()) record.name += ' ' + description;
  }
  ObjectText(item.attr("seq"), number, "seq", record.text);
}

void RecordOf(nb::handle item, std::uint64_t number, SequenceRecord& record) {
  RecordFields(item, number, record);
  RefuseNul(record, number);
}

}  // namespace

PythonErrorSlot::~PythonErrorSlot() {
  if (!error_) return;
  nb::gil_scoped_acquire gil;
  error_.reset();
}

void PythonErrorSlot::Keep(nb::python_error&& error) {
  if (!error_) error_ = std::make_unique<nb::python_error>(std::move(error));
}

void PythonErrorSlot::RaiseIfHeld() {
  if (!error_) return;
  nb::python_error error = std::move(*error_);
  error_.reset();
  throw error;
}

PythonRecords::PythonRecords(nb::handle iterable, PythonErrorSlot& errors)
    : iterator_(nb::iter(iterable)), errors_(errors) {}

PythonRecords::~PythonRecords() {
  nb::gil_scoped_acquire gil;
  iterator_.reset();
}

bool PythonRecords::Refill() {
  nb::gil_scoped_acquire gil;
  next_ = filled_ = 0;
  std::size_t bytes = 0;
  try {
    while (filled_ < kBatchRecords && bytes < kBatchBytes) {
      const nb::object item = nb::steal(PyIter_Next(iterator_.ptr()));
      if (!item.is_valid()) {
        if (PyErr_Occurred()) throw nb::python_error();
        ended_ = true;
        break;
      }
      if (batch_.size() == filled_) batch_.emplace_back();
      RecordOf(item, ++count_, batch_[filled_]);
      bytes += batch_[filled_].name.size() + batch_[filled_].text.size();
      ++filled_;
    }
  } catch (nb::python_error& error) {
    errors_.Keep(std::move(error));
    ended_ = true;
    filled_ = 0;
  } catch (const std::exception& error) {
    // Next must not throw: a parallel search calls it on its workers.
    PyErr_SetString(PyExc_RuntimeError, error.what());
    errors_.Keep(nb::python_error());
    ended_ = true;
    filled_ = 0;
  }
  return filled_ > 0;
}

bool PythonRecords::Next(SequenceRecord& record) {
  if (next_ == filled_ && (ended_ || !Refill())) return false;
  std::swap(record, batch_[next_++]);
  return true;
}

}  // namespace brisel::python
