// SPDX-License-Identifier: MIT
// assertion.h: precondition checks that stay active in every build.
//
// A broken precondition or exhausted memory ends the process through the C
// library's assertion report, which names the expression, the source file, the
// line and the operation:
//
//   brisel-search: darray.cpp:88: ArrayNth: Assertion `n >= 0 && ...' failed.
//
// The expression text is passed in verbatim rather than stringised, so that the
// report reads the same as that of the C sources this program's messages follow
// (a C++ `NULL` would print differently from "((void *)0)"). The check does not
// depend on NDEBUG: release builds keep it.
#ifndef BRISEL_ASSERTION_H
#define BRISEL_ASSERTION_H

extern "C" void __assert_fail(const char* assertion, const char* file, unsigned int line,
                              const char* function) noexcept __attribute__((__noreturn__));

#define BRISEL_ASSERT(condition, text) \
  ((condition) ? static_cast<void>(0) : __assert_fail(text, __FILE_NAME__, __LINE__, __func__))

// The same, reported as a failure of `function`: for helpers that check on
// behalf of the operation that called them.
#define BRISEL_ASSERT_IN(condition, text, function) \
  ((condition) ? static_cast<void>(0) : __assert_fail(text, __FILE_NAME__, __LINE__, function))

#endif  // BRISEL_ASSERTION_H
