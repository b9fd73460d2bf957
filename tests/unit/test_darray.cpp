/*
 * Dynamic array: capacity growth and shrinking, slot opening, callbacks, sort.
 */
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "veskdarray.h"

namespace {

// Records every (position, value) the element destroy callback sees.
std::vector<std::pair<uint32_t, int32_t>> g_destroyed;

void record_destroy(uint32_t pos, void *elem, void *) {
  g_destroyed.emplace_back(pos, *(int32_t *)elem);
}

int cmp_int(const void *a, const void *b) {
  int32_t x = *(const int32_t *)a, y = *(const int32_t *)b;
  return x < y ? -1 : (x > y ? 1 : 0);
}

struct Array {
  veskdarray_t da;
  explicit Array(uint32_t cap, veskdarray_elem_funp fn = nullptr)
      : da(veskdarray_new(cap, sizeof(int32_t), fn)) {}
  ~Array() { veskdarray_destroy(&da); }
  void push(int32_t v) { veskdarray_push(da, &v); }
  int32_t at(int64_t i) const { return veskdarray_get(da, i, int32_t); }
  std::vector<int32_t> values() const {
    std::vector<int32_t> v;
    for (int64_t i = 0; i < da->size; ++i)
      v.push_back(at(i));
    return v;
  }
};

class DarrayTest : public ::testing::Test {
protected:
  void SetUp() override { g_destroyed.clear(); }
};

TEST_F(DarrayTest, GrowsOneStepBeforeFull) {
  Array one(1);
  one.push(7);
  EXPECT_EQ(one.da->capacity, 2u);

  Array four(4);
  four.push(1);
  four.push(2);
  four.push(3);
  EXPECT_EQ(four.da->capacity, 4u);
  four.push(4);
  EXPECT_EQ(four.da->capacity, 8u);
  EXPECT_EQ(four.values(), (std::vector<int32_t>{1, 2, 3, 4}));
}

TEST_F(DarrayTest, SizeStaysBelowCapacityAfterEveryInsertion) {
  Array a(1);
  for (int32_t i = 0; i < 5000; ++i) {
    if (i % 3 == 0)
      veskdarray_insert(a.da, 0, &i);
    else
      a.push(i);
    ASSERT_LT(a.da->size, (int64_t)a.da->capacity);
  }
  EXPECT_EQ(a.da->size, 5000);
}

TEST_F(DarrayTest, HalvesOnRemovalButKeepsCapacityWhenEmptied) {
  Array a(1);
  for (int32_t i = 0; i < 5; ++i)
    a.push(i);
  ASSERT_EQ(a.da->capacity, 8u);
  veskdarray_pop(a.da); // size 4 <= 8/2
  EXPECT_EQ(a.da->capacity, 4u);
  veskdarray_pop(a.da); // size 3 > 4/2
  EXPECT_EQ(a.da->capacity, 4u);
  veskdarray_pop(a.da); // size 2
  EXPECT_EQ(a.da->capacity, 2u);
  veskdarray_pop(a.da); // size 1
  EXPECT_EQ(a.da->capacity, 1u);
  veskdarray_pop(a.da); // size 0: capacity kept
  EXPECT_EQ(a.da->capacity, 1u);
  EXPECT_TRUE(veskdarray_isempty(a.da));
  a.push(9); // and it still grows from there
  EXPECT_EQ(a.values(), std::vector<int32_t>{9});
}

TEST_F(DarrayTest, InsertAndRemoveInTheMiddleKeepOrder) {
  Array a(2, record_destroy);
  for (int32_t i : {10, 20, 30, 40})
    a.push(i);
  int32_t v = 15;
  veskdarray_insert(a.da, 1, &v);
  EXPECT_EQ(a.values(), (std::vector<int32_t>{10, 15, 20, 30, 40}));
  veskdarray_remove(a.da, 2);
  EXPECT_EQ(a.values(), (std::vector<int32_t>{10, 15, 30, 40}));
  ASSERT_EQ(g_destroyed.size(), 1u);
  EXPECT_EQ(g_destroyed[0], std::make_pair(2u, 20));
  veskdarray_remove(a.da, 4); // past the end: nothing
  veskdarray_remove(a.da, 99);
  EXPECT_EQ(a.da->size, 4);
  EXPECT_EQ(g_destroyed.size(), 1u);
}

TEST_F(DarrayTest, SetOverwritesInPlaceOrAppends) {
  Array a(4, record_destroy);
  a.push(1);
  int32_t v = 5;
  veskdarray_set(a.da, 0, &v);
  EXPECT_TRUE(g_destroyed.empty()); // the old bytes get no callback
  v = 6;
  veskdarray_set(a.da, 1, &v);
  EXPECT_EQ(a.values(), (std::vector<int32_t>{5, 6}));
}

TEST_F(DarrayTest, InsertBeyondEndExtendsWithZeroedSlots) {
  Array a(1);
  a.push(3);
  int32_t v = 8;
  veskdarray_insert(a.da, 4, &v);
  EXPECT_EQ(a.values(), (std::vector<int32_t>{3, 0, 0, 0, 8}));
  EXPECT_LT(a.da->size, (int64_t)a.da->capacity);
}

TEST_F(DarrayTest, DestroyAndClearCallBackInPositionOrder) {
  veskdarray_t da = veskdarray_new(2, sizeof(int32_t), record_destroy);
  for (int32_t i : {4, 5, 6})
    veskdarray_push(da, &i);
  veskdarray_clear(da, 3);
  EXPECT_EQ(g_destroyed,
            (std::vector<std::pair<uint32_t, int32_t>>{{0, 4}, {1, 5}, {2, 6}}));
  EXPECT_EQ(da->size, 0);
  EXPECT_EQ(da->capacity, 3u);
  g_destroyed.clear();
  int32_t v = 7;
  veskdarray_push(da, &v);
  veskdarray_destroy(&da);
  EXPECT_EQ(da, nullptr);
  EXPECT_EQ(g_destroyed, (std::vector<std::pair<uint32_t, int32_t>>{{0, 7}}));
}

// An array whose record lives in the caller's memory grows out of its
// inline storage like any other; releasing it calls back for its elements
// and frees the storage it allocated (the sanitizers check), not the memory
// it was given, which stays untouched past the array's own bytes.
TEST_F(DarrayTest, ArrayInTheCallersMemoryGrowsAndIsReleased) {
  const size_t bytes = VESKDARRAY_SIZE_IN(2, sizeof(int32_t));
  std::vector<uint8_t> mem(bytes + 8, 0xAB);
  veskdarray_t da = veskdarray_new_in(mem.data(), 2, sizeof(int32_t), record_destroy);
  for (int32_t i = 0; i < 20; ++i)
    veskdarray_push(da, &i);
  for (int32_t i = 0; i < 20; ++i)
    EXPECT_EQ(veskdarray_get(da, i, int32_t), i);
  veskdarray_release_in(&da);
  EXPECT_EQ(da, nullptr);
  EXPECT_EQ(g_destroyed.size(), 20u);
  for (size_t i = bytes; i < mem.size(); ++i)
    EXPECT_EQ(mem[i], 0xAB) << "byte " << i;
}

TEST_F(DarrayTest, ArraysWithZeroCapacityGrowAgain) {
  Array a(4);
  veskdarray_clear(a.da, 0);
  a.push(1);
  a.push(2);
  EXPECT_EQ(a.values(), (std::vector<int32_t>{1, 2}));

  veskdarray_t fb = veskdarray_frombuffer("abc", 3, 4, nullptr); // less than one element
  EXPECT_EQ(fb->size, 0);
  int32_t v = 42;
  veskdarray_push(fb, &v);
  EXPECT_EQ(veskdarray_get(fb, 0, int32_t), 42);
  veskdarray_destroy(&fb);
}

TEST_F(DarrayTest, CloneIsShallowWithTightCapacity) {
  Array a(16);
  for (int32_t i = 0; i < 3; ++i)
    a.push(i);
  veskdarray_t c = veskdarray_clone(a.da);
  EXPECT_EQ(c->capacity, 3u);
  EXPECT_EQ(c->size, 3);
  int32_t v = 99;
  veskdarray_set(c, 0, &v);
  EXPECT_EQ(a.at(0), 0);
  veskdarray_destroy(&c);

  Array empty(8);
  c = veskdarray_clone(empty.da);
  EXPECT_EQ(c->capacity, 1u);
  veskdarray_destroy(&c);
}

TEST_F(DarrayTest, FromBufferUsesWholeElements) {
  const uint8_t buf[7] = {1, 2, 3, 4, 5, 6, 7};
  veskdarray_t da = veskdarray_frombuffer(buf, 7, 2, nullptr);
  EXPECT_EQ(da->size, 3);
  EXPECT_EQ(da->capacity, 3u);
  EXPECT_EQ(veskdarray_get(da, 2, uint8_t), 5);
  veskdarray_destroy(&da);
}

TEST_F(DarrayTest, FindReturnsFirstMatchOrSize) {
  Array a(4);
  for (int32_t i : {3, 7, 7, 9})
    a.push(i);
  int32_t key = 7;
  EXPECT_EQ(veskdarray_find(a.da, cmp_int, &key), 1u);
  key = 8;
  EXPECT_EQ(veskdarray_find(a.da, cmp_int, &key), 4u);
}

TEST_F(DarrayTest, TruncateDropsTailAndShrinks) {
  Array a(1, record_destroy);
  for (int32_t i = 0; i < 100; ++i)
    a.push(i);
  ASSERT_EQ(a.da->capacity, 128u);
  veskdarray_truncate(a.da, 3);
  EXPECT_EQ(a.values(), (std::vector<int32_t>{0, 1, 2}));
  EXPECT_EQ(a.da->capacity, 4u);
  EXPECT_EQ(g_destroyed.size(), 97u);
  EXPECT_EQ(g_destroyed.front(), std::make_pair(3u, 3));
}

TEST(DarrayDeathTest, ZeroCapacityAtCreationIsFatal) {
  EXPECT_DEATH(veskdarray_new(0, 4, nullptr),
               "^\\[FATAL\\] Can't initialize a dynamic array with zero capacity\\.$");
}

TEST_F(DarrayTest, SortMatchesStdSort) {
  std::mt19937 rng(12345);
  for (int n : {0, 1, 2, 3, 17, 1000}) {
    Array a(1);
    std::vector<int32_t> expect;
    for (int i = 0; i < n; ++i) {
      int32_t v = (int32_t)(rng() % 50) - 25; // many duplicates
      a.push(v);
      expect.push_back(v);
    }
    veskdarray_sort(a.da, cmp_int);
    std::sort(expect.begin(), expect.end());
    EXPECT_EQ(a.values(), expect) << "n = " << n;
  }
}

TEST_F(DarrayTest, SortHandlesEqualAndOrderedInputs) {
  Array same(1), sorted(1), reversed(1);
  for (int32_t i = 0; i < 3000; ++i) {
    same.push(4);
    sorted.push(i);
    reversed.push(3000 - i);
  }
  veskdarray_sort(same.da, cmp_int);
  veskdarray_sort(sorted.da, cmp_int);
  veskdarray_sort(reversed.da, cmp_int);
  EXPECT_EQ(same.values(), std::vector<int32_t>(3000, 4));
  std::vector<int32_t> s = sorted.values(), r = reversed.values();
  EXPECT_TRUE(std::is_sorted(s.begin(), s.end()));
  EXPECT_TRUE(std::is_sorted(r.begin(), r.end()));
  EXPECT_EQ(r.front(), 1);
}

// Small arrays start with their storage inside their record and move it out
// on the first resize: contents must survive every kind of resize, for
// elements both below and above the inline limit.
TEST_F(DarrayTest, ContentsSurviveEveryResizeOfSmallAndLargeArrays) {
  for (uint32_t cap : {1u, 4u, 32u, 33u, 1000u}) {
    Array a(cap);
    for (int32_t i = 0; i < 100; ++i)
      a.push(i);
    for (int32_t i = 0; i < 90; ++i)
      veskdarray_remove(a.da, 0);
    std::vector<int32_t> expected;
    for (int32_t i = 90; i < 100; ++i)
      expected.push_back(i);
    EXPECT_EQ(a.values(), expected) << "capacity " << cap;
    veskdarray_clear(a.da, 1);
    a.push(5);
    EXPECT_EQ(a.values(), std::vector<int32_t>{5});
  }
  Array shrunk(4);
  for (int32_t v : {1, 2, 3})
    shrunk.push(v);
  veskdarray_remove(shrunk.da, 0); // halves while the storage is still inline
  veskdarray_truncate(shrunk.da, 1);
  EXPECT_EQ(shrunk.values(), std::vector<int32_t>{2});
}

} // namespace
