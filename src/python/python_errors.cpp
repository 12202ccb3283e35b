// SPDX-License-Identifier: MIT
// python_errors.cpp: brisel::Error to the exceptions of brisel._errors.
#include "python_errors.h"

#include <nanobind/nanobind.h>

#include <cerrno>
#include <string>

#include "base/message_text.h"

namespace nb = nanobind;

namespace brisel::python {

namespace {

const char* ClassOf(Error::Kind kind) {
  switch (kind) {
    case Error::Kind::kNotFound:
      return "NotFoundError";
    case Error::Kind::kCannotMap:
      return "MappingError";
    case Error::Kind::kOutput:
      return "OutputError";
    case Error::Kind::kUsage:
      return "InvalidValueError";
    case Error::Kind::kDamaged:
    case Error::Kind::kCancelled:
      break;
  }
  return "InvalidInputError";
}

nb::object TextOrNone(const std::string& text) {
  if (text.empty()) return nb::none();
  return nb::steal(
      PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "surrogateescape"));
}

}  // namespace

void SetPythonError(const Error& error) {
  // Escaping twice changes nothing: messages escaped by their thrower stay as they are.
  const std::string message = EscapedText(error.what());
  if (error.kind() == Error::Kind::kCancelled) {
    PyErr_SetString(PyExc_KeyboardInterrupt, message.c_str());
    return;
  }
  try {
    const nb::object type = nb::module_::import_("brisel._errors").attr(ClassOf(error.kind()));
    const ErrorPlace& place = error.place();
    const nb::object exception =
        type(nb::str(message.data(), message.size()), nb::arg("path") = TextOrNone(place.path),
             nb::arg("line") =
                 place.line == 0 ? nb::object(nb::none()) : nb::object(nb::int_(place.line)),
             nb::arg("record") = TextOrNone(place.record));
    int errorNumber = error.systemError();
    if (error.kind() == Error::Kind::kNotFound && errorNumber == 0) errorNumber = ENOENT;
    if (errorNumber != 0) nb::setattr(exception, "errno", nb::int_(errorNumber));
    PyErr_SetObject(type.ptr(), exception.ptr());
  } catch (nb::python_error& failed) {
    failed.restore();
  }
}

void RaisePython(const Error& error) {
  SetPythonError(error);
  throw nb::python_error();
}

}  // namespace brisel::python
