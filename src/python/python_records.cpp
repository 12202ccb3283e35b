// SPDX-License-Identifier: MIT
// python_records.cpp: Python items to records, a batch at a time.
#include "python_records.h"

#include <string>
#include <string_view>

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

// The bytes of a name or sequence field: str, bytes, or str(object).
void TextOf(nb::handle object, std::string& out) {
  if (!BytesOf(object, out)) BytesOf(nb::str(object), out);
}

[[noreturn]] void WrongItem(nb::handle item, std::uint64_t number) {
  const std::string type = Py_TYPE(item.ptr())->tp_name;
  const std::string message = "sequence " + std::to_string(number) +
                              ": expected a str, bytes, a (name, sequence) pair or an object "
                              "with id and seq, not " +
                              type;
  PyErr_SetString(PyExc_TypeError, message.c_str());
  throw nb::python_error();
}

// Fills `record` from one item.
void RecordOf(nb::handle item, std::uint64_t number, SequenceRecord& record) {
  record.name.clear();
  if (BytesOf(item, record.text)) return;
  if ((PyTuple_Check(item.ptr()) || PyList_Check(item.ptr())) && PySequence_Size(item.ptr()) == 2) {
    record.name = '>';
    std::string name;
    TextOf(nb::object(item[0]), name);
    record.name += name;
    TextOf(nb::object(item[1]), record.text);
    return;
  }
  if (!nb::hasattr(item, "id") || !nb::hasattr(item, "seq")) WrongItem(item, number);
  std::string id, description;
  TextOf(item.attr("id"), id);
  if (nb::hasattr(item, "description")) {
    const nb::object value = item.attr("description");
    if (!value.is_none()) TextOf(value, description);
  }
  record.name = '>';
  if (description.starts_with(id)) {
    record.name += description;
  } else {
    record.name += id;
    if (!description.empty()) record.name += ' ' + description;
  }
  TextOf(item.attr("seq"), record.text);
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
