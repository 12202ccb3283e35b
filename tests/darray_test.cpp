// SPDX-License-Identifier: MIT
// The dynamic array: growth, the liberator, insertion, deletion, sorting,
// searching and mapping.
#include "darray.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

ArrayPtr IntArray(std::initializer_list<int> values, unsigned long capacity = 0,
                  ArrayElementFreeFn liberator = nullptr) {
  ArrayPtr array(ArrayNew(sizeof(int), capacity, liberator));
  for (int v : values)
    ArrayAppend(array.get(), &v);
  return array;
}

std::vector<int> Contents(DArray array) {
  std::vector<int> values;
  for (unsigned long n = 0; n < ArrayLength(array); ++n) {
    values.push_back(*static_cast<int*>(ArrayNth(array, n)));
  }
  return values;
}

int CompareInts(const void* a, const void* b) {
  const int x = *static_cast<const int*>(a);
  const int y = *static_cast<const int*>(b);
  return (x > y) - (x < y);
}

// Counts liberator calls and remembers the values they saw.
std::vector<int> freed;
void RecordFree(void* element) {
  freed.push_back(*static_cast<int*>(element));
}

TEST(DArrayGrowth, LinearStepsOfTheOriginalCapacity) {
  ArrayPtr array(ArrayNew(sizeof(int), 0, nullptr));
  EXPECT_EQ(ArrayCapacity(array.get()), 8u);
  std::vector<int> expected;
  for (int v = 0; v < 17; ++v) {
    ArrayAppend(array.get(), &v);
    expected.push_back(v);
    if (v == 7) {
      EXPECT_EQ(ArrayCapacity(array.get()), 8u);
    }
    if (v == 8) {
      EXPECT_EQ(ArrayCapacity(array.get()), 16u);
    }
  }
  EXPECT_EQ(ArrayCapacity(array.get()), 24u);
  EXPECT_EQ(Contents(array.get()), expected);

  ArrayPtr five(ArrayNew(sizeof(int), 5, nullptr));
  std::vector<unsigned long> capacities;
  for (int v = 0; v < 16; ++v) {
    ArrayAppend(five.get(), &v);
    capacities.push_back(ArrayCapacity(five.get()));
  }
  EXPECT_EQ(capacities[5], 10u);
  EXPECT_EQ(capacities[10], 15u);
  EXPECT_EQ(capacities[15], 20u);
}

TEST(DArrayGrowth, AppendManyGrowsToTheSameCapacityAsOneByOne) {
  ArrayPtr array(ArrayNew(sizeof(int), 5, nullptr));
  const int values[12] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
  ArrayAppendMany(array.get(), values, 3);
  EXPECT_EQ(ArrayCapacity(array.get()), 5u);
  ArrayAppendMany(array.get(), values + 3, 9);
  EXPECT_EQ(ArrayCapacity(array.get()), 15u);
  ArrayAppendMany(array.get(), values, 0);
  EXPECT_EQ(Contents(array.get()), std::vector<int>(values, values + 12));
}

TEST(DArrayGrowth, LargeStorageKeepsItsContentsAcrossGrowth) {
  // From malloc'd storage into a mapping of its own, and growing that mapping.
  ArrayPtr array(ArrayNew(sizeof(std::uint32_t), 300000, nullptr));
  std::vector<std::uint32_t> chunk(70000);
  std::uint32_t next = 0;
  for (int round = 0; round < 40; ++round) {
    for (std::uint32_t& v : chunk)
      v = next++;
    ArrayAppendMany(array.get(), chunk.data(), chunk.size());
    const std::uint32_t one = next++;
    ArrayAppend(array.get(), &one);
  }
  ASSERT_EQ(ArrayLength(array.get()), next);
  EXPECT_EQ(ArrayCapacity(array.get()), 3000000u);
  for (std::uint32_t i = 0; i < next; ++i) {
    ASSERT_EQ(*static_cast<std::uint32_t*>(ArrayNth(array.get(), i)), i);
  }
  ArrayPtr big(ArrayNew(8, 1 << 20, nullptr));
  const std::uint64_t value = 42;
  ArrayAppend(big.get(), &value);
  EXPECT_EQ(static_cast<std::uint64_t*>(ArrayNth(big.get(), 0))[1], 0u) << "zero-filled";
}

TEST(DArrayElements, InsertAtShiftsTheTail) {
  ArrayPtr array = IntArray({1, 2, 3});
  const int zero = 0, four = 4, mid = 9;
  ArrayInsertAt(array.get(), &four, 3);
  ArrayInsertAt(array.get(), &zero, 0);
  ArrayInsertAt(array.get(), &mid, 2);
  EXPECT_EQ(Contents(array.get()), (std::vector<int>{0, 1, 9, 2, 3, 4}));
  ArrayPtr full = IntArray({1, 2, 3, 4, 5, 6, 7, 8});
  ArrayInsertAt(full.get(), &zero, 0);  // grows first
  EXPECT_EQ(Contents(full.get()), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8}));
}

TEST(DArrayElements, DeleteAtClosesTheGap) {
  ArrayPtr array = IntArray({10, 11, 12});
  ArrayDeleteAt(array.get(), 0);
  EXPECT_EQ(Contents(array.get()), (std::vector<int>{11, 12}));
  ArrayDeleteAt(array.get(), 1);
  EXPECT_EQ(Contents(array.get()), (std::vector<int>{11}));
}

TEST(DArrayElements, TheLiberatorSeesEveryElementThatLeaves) {
  freed.clear();
  {
    ArrayPtr array = IntArray({1, 2, 3, 4}, 0, RecordFree);
    ArrayDeleteAt(array.get(), 1);
    const int nine = 9;
    ArrayReplaceAt(array.get(), &nine, 0);
    EXPECT_EQ(freed, (std::vector<int>{2, 1}));
    EXPECT_EQ(Contents(array.get()), (std::vector<int>{9, 3, 4}));
  }
  EXPECT_EQ(freed, (std::vector<int>{2, 1, 9, 3, 4})) << "ArrayFree in index order";

  freed.clear();
  ArrayPtr cleared = IntArray({1, 2}, 0, RecordFree);
  ArrayClear(cleared.get());
  EXPECT_EQ(ArrayLength(cleared.get()), 0u);
  cleared.reset();
  EXPECT_TRUE(freed.empty()) << "cleared elements are not passed to the liberator";
}

TEST(DArraySearch, LinearFromAnIndex) {
  ArrayPtr array = IntArray({5, 7, 5});
  const int five = 5, six = 6;
  EXPECT_EQ(ArraySearch(array.get(), &five, CompareInts, 0, 0), 0u);
  EXPECT_EQ(ArraySearch(array.get(), &five, CompareInts, 1, 0), 2u);
  EXPECT_EQ(ArraySearch(array.get(), &six, CompareInts, 0, 0), kArrayNotFound);
  EXPECT_EQ(kArrayNotFound, ~0ul);
}

int comparisons = 0;
int CountingCompare(const void* a, const void* b) {
  ++comparisons;
  return CompareInts(a, b);
}

TEST(DArraySearch, FromTheEndOrOnAnEmptyArrayFindsNothing) {
  ArrayPtr array = IntArray({1, 2});
  const int one = 1;
  comparisons = 0;
  EXPECT_EQ(ArraySearch(array.get(), &one, CountingCompare, 2, 0), kArrayNotFound);
  EXPECT_EQ(ArraySearch(array.get(), &one, CountingCompare, 2, 1), kArrayNotFound);
  EXPECT_EQ(comparisons, 0);
  ArrayPtr empty = IntArray({});
  EXPECT_EQ(ArraySearch(empty.get(), &one, CompareInts, 0, 1), kArrayNotFound);
}

TEST(DArraySearch, BinaryIndexesCountFromTheStart) {
  ArrayPtr array = IntArray({1, 3, 5, 7});
  const int five = 5, three = 3;
  EXPECT_EQ(ArraySearch(array.get(), &five, CompareInts, 2, 1), 2u);
  EXPECT_EQ(ArraySearch(array.get(), &three, CompareInts, 2, 1), kArrayNotFound);
}

TEST(DArrayWhole, SortAndMap) {
  ArrayPtr array = IntArray({4, 1, 3, 2});
  ArraySort(array.get(), CompareInts);
  EXPECT_EQ(Contents(array.get()), (std::vector<int>{1, 2, 3, 4}));
  int sum = 0;
  ArrayMap(
      array.get(),
      [](void* element, void* data) {
        *static_cast<int*>(data) += *static_cast<int*>(element);
        *static_cast<int*>(element) *= 10;
      },
      &sum);
  EXPECT_EQ(sum, 10);
  EXPECT_EQ(Contents(array.get()), (std::vector<int>{10, 20, 30, 40}));
}

TEST(DArrayWhole, NewStorageIsZeroFilled) {
  ArrayPtr array(ArrayNew(sizeof(int), 4, nullptr));
  const int one = 1;
  ArrayAppend(array.get(), &one);
  EXPECT_EQ(static_cast<int*>(ArrayNth(array.get(), 0))[1], 0);
}

// ---- Broken preconditions --------------------------------------------------------

TEST(DArrayDeathTest, PreconditionsNameTheirCondition) {
  ArrayPtr array = IntArray({1, 2});
  const int one = 1;
  EXPECT_DEATH(ArrayNth(array.get(), 2),
               "darray\\.cpp:[0-9]+: ArrayNth: Assertion `n >= 0 && n < _arrayObject -> "
               "_numElements' failed\\.");
  EXPECT_DEATH(ArrayNew(0, 8, nullptr), "ArrayNew: Assertion `elementSize > 0' failed");
  EXPECT_DEATH(ArrayLength(nullptr),
               "ArrayLength: Assertion `_arrayObject != \\(\\(void \\*\\)0\\)' failed");
  EXPECT_DEATH(ArrayAppend(nullptr, &one), "ArrayAppend: Assertion `_arrayObject != ");
  EXPECT_DEATH(ArrayInsertAt(array.get(), &one, 3),
               "ArrayInsertAt: Assertion `n >= 0 && n <= _arrayObject -> _numElements'");
  EXPECT_DEATH(ArrayDeleteAt(array.get(), 2), "ArrayDeleteAt: Assertion `n >= 0 && n < ");
  EXPECT_DEATH(ArrayReplaceAt(array.get(), &one, 5), "ArrayReplaceAt: Assertion `n >= 0 && n < ");
  EXPECT_DEATH(ArraySort(array.get(), nullptr),
               "ArraySort: Assertion `comparator != \\(\\(void \\*\\)0\\)'");
  EXPECT_DEATH(ArrayMap(array.get(), nullptr, nullptr),
               "ArrayMap: Assertion `mapper != \\(\\(void \\*\\)0\\)'");
  EXPECT_DEATH(ArrayFree(nullptr), "ArrayFree: Assertion `_arrayObject != ");
  EXPECT_DEATH(ArrayClear(nullptr), "ArrayClear: Assertion `_arrayObject != ");
}

TEST(DArrayDeathTest, SearchChecksItsPreconditionsInOrder) {
  ArrayPtr array = IntArray({1, 2});
  const int one = 1;
  EXPECT_DEATH(ArraySearch(nullptr, &one, nullptr, 9, 0), "Assertion `_arrayObject != ");
  EXPECT_DEATH(ArraySearch(array.get(), &one, nullptr, 3, 0),
               "ArraySearch: Assertion `from >= 0 && from <= _arrayObject -> _numElements'");
  EXPECT_DEATH(ArraySearch(array.get(), &one, nullptr, 2, 0),
               "ArraySearch: Assertion `comparator != \\(\\(void \\*\\)0\\)'");
}

TEST(DArrayDeathTest, AnImpossibleAllocationIsExhaustedMemory) {
  EXPECT_DEATH(ArrayNew(1ul << 62, 8, nullptr),
               "ArrayNew: Assertion `_arrayObject -> _array != \\(\\(void \\*\\)0\\)'");
}

}  // namespace
