#include <gtest/gtest.h>

#include <vector>

#include "core/GrowableArray.h"

using mv::E_INVALIDARG;
using mv::E_OUTOFMEMORY;
using mv::GrowableArray;
using mv::S_OK;

namespace {

std::vector<int> Contents(const GrowableArray<int>& a) { return {a.begin(), a.end()}; }

// Fails every allocation once armed.
struct FailingAllocator {
  static inline bool fail = false;
  static void* Reallocate(void* p, std::size_t bytes) {
    return fail ? nullptr : std::realloc(p, bytes);
  }
  static void Free(void* p) { std::free(p); }
};

}  // namespace

TEST(GrowableArray, InsertsAtEveryValidPositionAndRefusesOthers) {
  GrowableArray<int> a;
  EXPECT_EQ(a.Insert(0, 2), S_OK);  // empty: position 0 = count
  EXPECT_EQ(a.Insert(0, 1), S_OK);  // front
  EXPECT_EQ(a.Insert(2, 4), S_OK);  // end
  EXPECT_EQ(a.Insert(2, 3), S_OK);  // middle
  EXPECT_EQ(Contents(a), (std::vector<int>{1, 2, 3, 4}));
  EXPECT_EQ(a.Insert(5, 9), E_INVALIDARG);  // count + 1
  EXPECT_EQ(a.Insert(-1, 9), E_INVALIDARG);
  EXPECT_EQ(Contents(a), (std::vector<int>{1, 2, 3, 4}));
}

TEST(GrowableArray, RemovesOnlyExistingPositions) {
  GrowableArray<int> a;
  for (int v : {1, 2, 3, 4}) a.Add(v);
  EXPECT_EQ(a.Remove(4), E_INVALIDARG);
  EXPECT_EQ(a.Remove(-1), E_INVALIDARG);
  EXPECT_EQ(a.Remove(1), S_OK);
  EXPECT_EQ(Contents(a), (std::vector<int>{1, 3, 4}));
  EXPECT_EQ(a.Remove(2), S_OK);
  EXPECT_EQ(a.Remove(0), S_OK);
  EXPECT_EQ(Contents(a), (std::vector<int>{3}));
  EXPECT_EQ(a.Remove(0), S_OK);
  EXPECT_EQ(a.Remove(0), E_INVALIDARG);
}

TEST(GrowableArray, CapacityGrowsByItselfFromSixteen) {
  GrowableArray<int> a;
  EXPECT_EQ(a.GetCapacity(), 0);
  std::vector<int> seen;
  for (int i = 0; i < 70; ++i) {
    a.Add(i);
    if (seen.empty() || seen.back() != a.GetCapacity()) seen.push_back(a.GetCapacity());
  }
  EXPECT_EQ(seen, (std::vector<int>{16, 32, 64, 128}));
  for (int i = 0; i < 70; ++i) EXPECT_EQ(a[i], i);
}

TEST(GrowableArray, FailedGrowthLeavesTheArrayUnchanged) {
  GrowableArray<int, FailingAllocator> a;
  for (int i = 0; i < 16; ++i) ASSERT_EQ(a.Add(i), S_OK);
  const int* before = a.GetData();
  FailingAllocator::fail = true;
  EXPECT_EQ(a.Insert(3, 99), E_OUTOFMEMORY);
  EXPECT_EQ(a.Add(99), E_OUTOFMEMORY);
  FailingAllocator::fail = false;
  EXPECT_EQ(a.GetSize(), 16);
  EXPECT_EQ(a.GetCapacity(), 16);
  EXPECT_EQ(a.GetData(), before);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(a[i], i);
  // Inserting into a non-full array needs no allocation.
  ASSERT_EQ(a.Remove(0), S_OK);
  FailingAllocator::fail = true;
  EXPECT_EQ(a.Insert(0, 0), S_OK);
  FailingAllocator::fail = false;
}

TEST(GrowableArray, CountStaysBelowTwoToTheTwentyNine) {
  GrowableArray<int> a;
  EXPECT_EQ(GrowableArray<int>::kMaxCount, (1 << 29) - 1);
  EXPECT_EQ(a.Reserve(1 << 29), E_INVALIDARG);
  EXPECT_EQ(a.Reserve(-1), E_INVALIDARG);
  EXPECT_EQ(a.GetCapacity(), 0);
}

TEST(GrowableArray, ClearKeepsStorageRemoveAllFreesIt) {
  GrowableArray<int> a;
  for (int i = 0; i < 20; ++i) a.Add(i);
  a.Clear();
  EXPECT_EQ(a.GetSize(), 0);
  EXPECT_EQ(a.GetCapacity(), 32);
  a.RemoveAll();
  EXPECT_EQ(a.GetCapacity(), 0);
  EXPECT_EQ(a.GetData(), nullptr);
}

TEST(GrowableArray, InsertingAnElementOfItselfCopiesItFirst) {
  GrowableArray<int> a;
  for (int i = 0; i < 16; ++i) a.Add(i);  // full: the insertion reallocates
  ASSERT_EQ(a.Insert(0, a[15]), S_OK);
  EXPECT_EQ(a[0], 15);
  EXPECT_EQ(a[16], 15);
}
