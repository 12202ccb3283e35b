// SPDX-License-Identifier: MIT
// python_errors.h: the library's faults as the package's exceptions.
//
// Every brisel::Error becomes the exception class of brisel._errors for its
// kind, each a subclass of the built-in exception that code written before
// them catches: NotFoundError (FileNotFoundError: a missing database or
// input), MappingError (OSError: a block that cannot be mapped),
// InvalidInputError (ValueError: a damaged database, a bad pattern or input,
// saved hits that do not fit), OutputError (OSError: a failed write) and
// InvalidValueError (ValueError: a value that an argument does not take); a
// cancelled search is KeyboardInterrupt. The message is the one the programs
// print; the error's place (error.h) becomes the attributes path, line and
// record (None where unknown), and the errno of a failed system call the
// OSError's errno.
#ifndef BRISEL_PYTHON_PYTHON_ERRORS_H
#define BRISEL_PYTHON_PYTHON_ERRORS_H

#include "base/error.h"

namespace brisel::python {

// Sets the Python error of `error` (the GIL held).
void SetPythonError(const Error& error);

// Throws nanobind::python_error for `error` (the GIL held).
[[noreturn]] void RaisePython(const Error& error);

}  // namespace brisel::python

#endif  // BRISEL_PYTHON_PYTHON_ERRORS_H
