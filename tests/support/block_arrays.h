// SPDX-License-Identifier: MIT
// block_arrays.h: dynamic arrays filled from test values.
#ifndef BRISEL_TESTS_BLOCK_ARRAYS_H
#define BRISEL_TESTS_BLOCK_ARRAYS_H

#include <string_view>
#include <vector>

#include "darray.h"

namespace brisel {

// An array holding `values`, created with their number as its capacity.
template <typename T>
ArrayPtr ArrayOf(const std::vector<T>& values) {
  ArrayPtr array(ArrayNew(sizeof(T), values.size(), nullptr));
  for (const T& value : values)
    ArrayAppend(array.get(), &value);
  return array;
}

inline ArrayPtr CharsOf(std::string_view text) {
  return ArrayOf(std::vector<char>(text.begin(), text.end()));
}

}  // namespace brisel

#endif  // BRISEL_TESTS_BLOCK_ARRAYS_H
