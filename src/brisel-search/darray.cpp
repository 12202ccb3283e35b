// darray.cpp: the dynamic array. See darray.h for its rules.
#include "darray.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "assertion.h"

struct DArrayImplementation {
  void* _array = nullptr;  // storage for _currentMax elements
  unsigned long _elementSize = 0;
  unsigned long _numElements = 0;
  unsigned long _currentMax = 0;
  unsigned long _originalMax = 0;
  ArrayElementFreeFn _liberator = nullptr;
};

namespace {

constexpr unsigned long kDefaultCapacity = 8;

#define CHECK_HANDLE() BRISEL_ASSERT(_arrayObject != nullptr, "_arrayObject != ((void *)0)")
// Indexes are unsigned, so the lower bound of the reported condition always
// holds and only the upper one is tested.
#define CHECK_INDEX(n) \
  BRISEL_ASSERT(n < _arrayObject->_numElements, "n >= 0 && n < _arrayObject -> _numElements")

char* ElementAt(DArray _arrayObject, unsigned long n) {
  return static_cast<char*>(_arrayObject->_array) + n * _arrayObject->_elementSize;
}

// Grows the capacity by the original capacity, keeping the contents. A size
// that does not fit in memory's address range counts as a failed resize.
void DynamicExpand(DArray _arrayObject) {
  const unsigned long newMax = _arrayObject->_currentMax + _arrayObject->_originalMax;
  unsigned long bytes = 0;
  void* grown = nullptr;
  if (!__builtin_mul_overflow(newMax, _arrayObject->_elementSize, &bytes)) {
    grown = std::realloc(_arrayObject->_array, bytes);
  }
  BRISEL_ASSERT(grown != nullptr, "_arrayObject -> _array != ((void *)0)");
  _arrayObject->_array = grown;
  _arrayObject->_currentMax = newMax;
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
    _arrayObject->_array = std::calloc(currentMax, elementSize);
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
  std::free(_arrayObject->_array);
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
  std::memcpy(ElementAt(_arrayObject, _arrayObject->_numElements), element,
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
    const unsigned long newMax = steps * _arrayObject->_originalMax;
    unsigned long bytes = 0;
    void* grown = nullptr;
    if (newMax / _arrayObject->_originalMax == steps &&
        !__builtin_mul_overflow(newMax, _arrayObject->_elementSize, &bytes)) {
      grown = std::realloc(_arrayObject->_array, bytes);
    }
    BRISEL_ASSERT(grown != nullptr, "_arrayObject -> _array != ((void *)0)");
    _arrayObject->_array = grown;
    _arrayObject->_currentMax = newMax;
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
