// SPDX-License-Identifier: MIT
// block_writers.cpp: writes dynamic arrays as bare block files.
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "base/assertion.h"
#include "brisel.h"
#include "database/block_files.h"

namespace {

// Writes the first `width` bytes of each element in one write. When the
// elements are exactly `width` bytes wide the array's own contiguous storage
// already holds the block's bytes and is written as it stands; otherwise the
// bytes are gathered into a block first, whose allocation failure ends the
// process through `allocationAssertion`, reported for `operation`.
bool WriteBlockToBinaryFile(DArray array, const char* outfilename, std::size_t width,
                            const char* allocationAssertion, const char* operation) {
  const unsigned long elementSize = ArrayElementSize(array);
  BRISEL_ASSERT_IN(elementSize >= width, "element size >= block width", operation);
  std::FILE* out = std::fopen(outfilename, "w");
  if (out == nullptr) return false;

  const unsigned long n = ArrayLength(array);
  bool written = true;
  if (n > 0 && elementSize == width) {
    written = std::fwrite(ArrayNth(array, 0), width, n, out) == n;
  } else if (n > 0) {
    std::size_t bytes = 0;
    void* block = __builtin_mul_overflow(n, width, &bytes) ? nullptr : std::malloc(bytes);
    BRISEL_ASSERT_IN(block != nullptr, allocationAssertion, operation);
    for (unsigned long i = 0; i < n; ++i) {
      std::memcpy(static_cast<char*>(block) + i * width, ArrayNth(array, i), width);
    }
    written = std::fwrite(block, width, n, out) == n;
    std::free(block);
  }
  const bool closed = std::fclose(out) == 0;
  return written && closed;
}

}  // namespace

bool WriteCharsBlockToBinaryFile(DArray charsArray, const char* outfilename) {
  return WriteBlockToBinaryFile(charsArray, outfilename, 1, "charsBlock != ((void *)0)", __func__);
}

bool WriteDoublesBlockToBinaryFile(DArray doublesArray, const char* outfilename) {
  return WriteBlockToBinaryFile(doublesArray, outfilename, sizeof(double),
                                "doublesBlock != ((void *)0)", __func__);
}

bool WriteUnsignedLongsBlockToBinaryFile(DArray unsignedLongsArray, const char* outfilename) {
  return WriteBlockToBinaryFile(unsignedLongsArray, outfilename, sizeof(std::uint32_t),
                                "unsignedLongsBlock != ((void *)0)", __func__);
}
