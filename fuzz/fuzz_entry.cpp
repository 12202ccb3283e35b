// SPDX-License-Identifier: MIT
// fuzz_entry.cpp: the libFuzzer entry point of one fuzz target; FUZZ_BODY
// names its body (see fuzz_bodies.h).
#include "fuzz_bodies.h"

using namespace brisel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return FUZZ_BODY(data, size);
}
