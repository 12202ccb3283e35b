// SPDX-License-Identifier: MIT
// darray.cpp: the dynamic array. See darray.h for its rules.
#include "darray.h"

#include <sys/mman.h>

#include <cstdlib>
#include <cstring>
#include <new>

#include "base/assertion.h"

struct DArrayImplementation {
  void* _array = nullptr;  // storage for _currentMax elements
  unsigned long _elementSize = 0;
  unsigned long _numElements = 0;
  unsigned long _currentMax = 0;
  unsigned long _originalMax = 0;
  ArrayElementFreeFn _liberator = nullptr;
  std::size_t _mappedBytes = 0;  // size of the storage's own mapping; 0 for malloc
};

namespace {

constexpr unsigned long kDefaultCapacity = 8;

// Storage of this size or more gets an anonymous mapping of its own, advised to
// use transparent huge pages: a database builder's arrays run to hundreds of
// megabytes, and filling and writing them page by page in 4 KiB pages costs
// several times more. Smaller storage comes from malloc. Both start
// zero-filled and keep their contents when resized.
constexpr std::size_t kMappedStorageBytes = std::size_t{4} << 20;
constexpr std::size_t kHugePageBytes = std::size_t{2} << 20;

std::size_t RoundToHugePages(std::size_t bytes) {
  return (bytes + kHugePageBytes - 1) / kHugePageBytes * kHugePageBytes;
}

void* MapStorage(std::size_t bytes, std::size_t& mappedBytes) {
  mappedBytes = RoundToHugePages(bytes);
  void* storage =
      ::mmap(nullptr, mappedBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (storage == MAP_FAILED) return nullptr;
  ::madvise(storage, mappedBytes, MADV_HUGEPAGE);
  return storage;
}

// Zero-filled storage of `bytes`, or null.
void* AllocateStorage(std::size_t bytes, std::size_t& mappedBytes) {
  if (bytes >= kMappedStorageBytes) return MapStorage(bytes, mappedBytes);
  mappedBytes = 0;
  return std::calloc(1, bytes);
}

// Storage of `bytes` that keeps the first `keptBytes` of `storage`, or null
// (the old storage then stays as it was).
void* ResizeStorage(void* storage, std::size_t keptBytes, std::size_t bytes,
                    std::size_t& mappedBytes) {
  if (mappedBytes != 0) {
    const std::size_t newMapped = RoundToHugePages(bytes);
    void* moved = ::mremap(storage, mappedBytes, newMapped, MREMAP_MAYMOVE);
    if (moved == MAP_FAILED) return nullptr;
    ::madvise(moved, newMapped, MADV_HUGEPAGE);
    mappedBytes = newMapped;
    return moved;
  }
  if (bytes < kMappedStorageBytes) return std::realloc(storage, bytes);
  std::size_t newMapped = 0;
  void* mapped = MapStorage(bytes, newMapped);
  if (mapped == nullptr) return nullptr;
  std::memcpy(mapped, storage, keptBytes);
  std::free(storage);
  mappedBytes = newMapped;
  return mapped;
}

void ReleaseStorage(void* storage, std::size_t mappedBytes) {
  if (mappedBytes != 0) {
    ::munmap(storage, mappedBytes);
  } else {
    std::free(storage);
  }
}

#define CHECK_HANDLE() BRISEL_ASSERT(_arrayObject != nullptr, "_arrayObject != ((void *)0)")
// Indexes are unsigned, so the lower bound of the reported condition always
// holds and only the upper one is tested.
#define CHECK_INDEX(n) \
  BRISEL_ASSERT(n < _arrayObject->_numElements, "n >= 0 && n < _arrayObject -> _numElements")

// Copies one element. The common widths are copied with a fixed size, which the
// compiler turns into a single move instead of a call.
void CopyElement(void* to, const void* from, unsigned long size) {
  switch (size) {
    case 1:
      std::memcpy(to, from, 1);
      break;
    case 4:
      std::memcpy(to, from, 4);
      break;
    case 8:
      std::memcpy(to, from, 8);
      break;
    default:
      std::memcpy(to, from, size);
  }
}

char* ElementAt(DArray _arrayObject, unsigned long n) {
  return static_cast<char*>(_arrayObject->_array) + n * _arrayObject->_elementSize;
}

// Resizes the storage to `newMax` elements, keeping the contents; a size that
// does not fit in memory's address range counts as a failed resize.
void ResizeTo(DArray _arrayObject, unsigned long newMax) {
  unsigned long bytes = 0;
  void* grown = nullptr;
  if (!__builtin_mul_overflow(newMax, _arrayObject->_elementSize, &bytes)) {
    grown =
        ResizeStorage(_arrayObject->_array, _arrayObject->_numElements * _arrayObject->_elementSize,
                      bytes, _arrayObject->_mappedBytes);
  }
  BRISEL_ASSERT(grown != nullptr, "_arrayObject -> _array != ((void *)0)");
  _arrayObject->_array = grown;
  _arrayObject->_currentMax = newMax;
}

// Grows the capacity by the original capacity, keeping the contents.
void DynamicExpand(DArray _arrayObject) {
  ResizeTo(_arrayObject, _arrayObject->_currentMax + _arrayObject->_originalMax);
}

}  // namespace

DArray ArrayNew(unsigned long elementSize, unsigned long currentMax, ArrayElementFreeFn liberator) {
  BRISEL_ASSERT(elementSize > 0, "elementSize > 0");
  DArray _arrayObject = new (std::nothrow) DArrayImplementation;
  CHECK_HANDLE();
  if (currentMax == 0) currentMax = kDefaultCapacity;
  _arrayObject->_currentMax = currentMax;
  _arrayObject->_originalMax = currentMax;
  unsigned long bytes = 0;
  if (!__builtin_mul_overflow(currentMax, elementSize, &bytes)) {
    _arrayObject->_array = AllocateStorage(bytes, _arrayObject->_mappedBytes);
  }
  BRISEL_ASSERT(_arrayObject->_array != nullptr, "_arrayObject -> _array != ((void *)0)");
  _arrayObject->_elementSize = elementSize;
  _arrayObject->_liberator = liberator;
  return _arrayObject;
}

void ArrayFree(DArray _arrayObject) {
  CHECK_HANDLE();
  if (_arrayObject->_liberator != nullptr) {
    for (unsigned long n = 0; n < _arrayObject->_numElements; ++n) {
      _arrayObject->_liberator(ElementAt(_arrayObject, n));
    }
  }
  ReleaseStorage(_arrayObject->_array, _arrayObject->_mappedBytes);
  delete _arrayObject;
}

void ArrayClear(DArray _arrayObject) {
  CHECK_HANDLE();
  _arrayObject->_numElements = 0;
}

unsigned long ArrayLength(DArray _arrayObject) {
  CHECK_HANDLE();
  return _arrayObject->_numElements;
}

unsigned long ArrayElementSize(DArray _arrayObject) {
  CHECK_HANDLE();
  return _arrayObject->_elementSize;
}

unsigned long ArrayCapacity(DArray _arrayObject) {
  CHECK_HANDLE();
  return _arrayObject->_currentMax;
}

void* ArrayNth(DArray _arrayObject, unsigned long n) {
  CHECK_HANDLE();
  CHECK_INDEX(n);
  return ElementAt(_arrayObject, n);
}

void ArrayAppend(DArray _arrayObject, const void* element) {
  CHECK_HANDLE();
  if (_arrayObject->_numElements == _arrayObject->_currentMax) DynamicExpand(_arrayObject);
  CopyElement(ElementAt(_arrayObject, _arrayObject->_numElements), element,
              _arrayObject->_elementSize);
  ++_arrayObject->_numElements;
}

void ArrayAppendMany(DArray _arrayObject, const void* elements, unsigned long count) {
  CHECK_HANDLE();
  if (count == 0) return;
  const unsigned long needed = _arrayObject->_numElements + count;
  BRISEL_ASSERT(needed >= count, "_arrayObject -> _array != ((void *)0)");
  if (needed > _arrayObject->_currentMax) {
    // Grow straight to the smallest whole multiple of the original capacity
    // that holds them all: the same capacity as appending one by one.
    const unsigned long steps = (needed - 1) / _arrayObject->_originalMax + 1;
    unsigned long newMax = 0;
    const bool fits = !__builtin_mul_overflow(steps, _arrayObject->_originalMax, &newMax);
    BRISEL_ASSERT(fits, "_arrayObject -> _array != ((void *)0)");
    ResizeTo(_arrayObject, newMax);
  }
  std::memcpy(ElementAt(_arrayObject, _arrayObject->_numElements), elements,
              count * _arrayObject->_elementSize);
  _arrayObject->_numElements = needed;
}

void ArrayInsertAt(DArray _arrayObject, const void* element, unsigned long n) {
  CHECK_HANDLE();
  BRISEL_ASSERT(n <= _arrayObject->_numElements, "n >= 0 && n <= _arrayObject -> _numElements");
  if (_arrayObject->_numElements == _arrayObject->_currentMax) DynamicExpand(_arrayObject);
  if (n < _arrayObject->_numElements) {
    std::memmove(ElementAt(_arrayObject, n + 1), ElementAt(_arrayObject, n),
                 (_arrayObject->_numElements - n) * _arrayObject->_elementSize);
  }
  std::memcpy(ElementAt(_arrayObject, n), element, _arrayObject->_elementSize);
  ++_arrayObject->_numElements;
}

void ArrayDeleteAt(DArray _arrayObject, unsigned long n) {
  CHECK_HANDLE();
  CHECK_INDEX(n);
  if (_arrayObject->_liberator != nullptr) _arrayObject->_liberator(ElementAt(_arrayObject, n));
  if (n < _arrayObject->_numElements - 1) {
    std::memmove(ElementAt(_arrayObject, n), ElementAt(_arrayObject, n + 1),
                 (_arrayObject->_numElements - n - 1) * _arrayObject->_elementSize);
  }
  --_arrayObject->_numElements;
}

void ArrayReplaceAt(DArray _arrayObject, const void* element, unsigned long n) {
  CHECK_HANDLE();
  CHECK_INDEX(n);
  if (_arrayObject->_liberator != nullptr) _arrayObject->_liberator(ElementAt(_arrayObject, n));
  std::memcpy(ElementAt(_arrayObject, n), element, _arrayObject->_elementSize);
}

void ArraySort(DArray _arrayObject, ArrayCompareFn comparator) {
  CHECK_HANDLE();
  BRISEL_ASSERT(comparator != nullptr, "comparator != ((void *)0)");
  std::qsort(_arrayObject->_array, _arrayObject->_numElements, _arrayObject->_elementSize,
             comparator);
}

unsigned long ArraySearch(DArray _arrayObject, const void* key, ArrayCompareFn comparator,
                          unsigned long from, int isSorted) {
  CHECK_HANDLE();
  BRISEL_ASSERT(from <= _arrayObject->_numElements,
                "from >= 0 && from <= _arrayObject -> _numElements");
  BRISEL_ASSERT(comparator != nullptr, "comparator != ((void *)0)");
  const unsigned long size = _arrayObject->_elementSize;
  if (isSorted != 0) {
    const void* found = std::bsearch(key, ElementAt(_arrayObject, from),
                                     _arrayObject->_numElements - from, size, comparator);
    if (found == nullptr) return kArrayNotFound;
    return static_cast<unsigned long>(static_cast<const char*>(found) -
                                      static_cast<const char*>(_arrayObject->_array)) /
           size;
  }
  for (unsigned long n = from; n < _arrayObject->_numElements; ++n) {
    if (comparator(key, ElementAt(_arrayObject, n)) == 0) return n;
  }
  return kArrayNotFound;
}

void ArrayMap(DArray _arrayObject, ArrayMapFn mapper, void* clientData) {
  CHECK_HANDLE();
  BRISEL_ASSERT(mapper != nullptr, "mapper != ((void *)0)");
  const unsigned long count = _arrayObject->_numElements;
  for (unsigned long n = 0; n < count; ++n)
    mapper(ElementAt(_arrayObject, n), clientData);
}
