// SPDX-License-Identifier: MIT
// darray.h: a growable, contiguous array of fixed-size elements of any type.
//
// The array copies elements in and out byte for byte; it knows their size but
// not their type. An optional liberator is called on every element that leaves
// the array (deleted, replaced, or still held when the array is freed), so that
// elements which own resources can release them; ArrayClear drops elements
// without calling it.
//
// Invariants: _numElements <= _currentMax; _currentMax is a whole multiple of
// _originalMax, the capacity given at creation (8 for 0), which is also the
// growth step: growth is linear, so an array that will hold many elements should
// be created with a capacity near its final size. The storage never shrinks.
//
// Every precondition is checked on entry, in the documented order, and a broken
// one ends the process through an assertion that names it; so does exhausted
// memory. A pointer from ArrayNth stays valid only until the next operation that
// can grow or move the storage (append, insert, delete, sort, free). Callbacks
// get a pointer to the element inside the storage, never a copy, and must not
// add or remove elements. ArrayPtr frees an array when it goes out of scope.
#ifndef BRISEL_DARRAY_H
#define BRISEL_DARRAY_H

#include <memory>

struct DArrayImplementation;
using DArray = DArrayImplementation*;

using ArrayCompareFn = int (*)(const void* first, const void* second);
using ArrayMapFn = void (*)(void* element, void* clientData);
using ArrayElementFreeFn = void (*)(void* element);

// The result of ArraySearch when nothing matches: -1 as unsigned long.
inline constexpr unsigned long kArrayNotFound = static_cast<unsigned long>(-1);

DArray ArrayNew(unsigned long elementSize, unsigned long currentMax, ArrayElementFreeFn liberator);
void ArrayFree(DArray _arrayObject);
void ArrayClear(DArray _arrayObject);
unsigned long ArrayLength(DArray _arrayObject);
void* ArrayNth(DArray _arrayObject, unsigned long n);
void ArrayAppend(DArray _arrayObject, const void* element);
// Appends `count` elements stored back to back at `elements`, growing in steps
// of the original capacity as often as needed.
void ArrayAppendMany(DArray _arrayObject, const void* elements, unsigned long count);
void ArrayInsertAt(DArray _arrayObject, const void* element, unsigned long n);
void ArrayDeleteAt(DArray _arrayObject, unsigned long n);
void ArrayReplaceAt(DArray _arrayObject, const void* element, unsigned long n);
void ArraySort(DArray _arrayObject, ArrayCompareFn comparator);
// Searches from index `from` (linearly, or with bsearch when `isSorted`) and
// returns the index of a match counted from the start of the array, or
// kArrayNotFound.
unsigned long ArraySearch(DArray _arrayObject, const void* key, ArrayCompareFn comparator,
                          unsigned long from, int isSorted);
void ArrayMap(DArray _arrayObject, ArrayMapFn mapper, void* clientData);

// The size of one element in bytes.
unsigned long ArrayElementSize(DArray _arrayObject);
// The capacity in elements.
unsigned long ArrayCapacity(DArray _arrayObject);

struct ArrayDeleter {
  void operator()(DArray array) const { ArrayFree(array); }
};
using ArrayPtr = std::unique_ptr<DArrayImplementation, ArrayDeleter>;

#endif  // BRISEL_DARRAY_H
