/*
 * Dictionary: bucket choice and order, replacement, removal, stock hashes.
 */
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "veskdict.h"

namespace {

struct Destroyed {
  int32_t key, value;
  void *dict;
};
std::vector<Destroyed> g_destroyed;

void record_destroy(const void *key, void *data, void *params) {
  g_destroyed.push_back({*(const int32_t *)key, *(int32_t *)data, params});
  veskdict_entry_destroy(key, data, params);
}

void collect_keys(const void *key, void *, void *params) {
  ((std::vector<int32_t> *)params)->push_back(*(const int32_t *)key);
}

struct IntDict {
  veskdict_t dt;
  IntDict()
      : dt(veskdict_new(10, sizeof(int32_t), sizeof(int32_t), veskdict_int32keyhash,
                        veskdict_int32keycmp, record_destroy)) {}
  ~IntDict() { veskdict_destroy(&dt); }
  void set(int32_t k, int32_t v) { veskdict_set(dt, &k, &v); }
  const int32_t *get(int32_t k) { return veskdict_get(dt, &k, int32_t); }
  int remove(int32_t k) { return veskdict_remove(dt, &k); }
  std::vector<int32_t> keys() {
    std::vector<int32_t> ks;
    veskdict_foreach(dt, collect_keys, &ks);
    return ks;
  }
};

class DictTest : public ::testing::Test {
protected:
  void SetUp() override { g_destroyed.clear(); }
};

TEST_F(DictTest, WalksBucketsInIndexOrderThenInsertionOrder) {
  IntDict d;
  for (int32_t k : {21, 3, 1, 10, 11})
    d.set(k, k * 2);
  EXPECT_EQ(d.keys(), (std::vector<int32_t>{10, 21, 1, 11, 3}));
  EXPECT_EQ(veskdict_size(d.dt), 5u);
  ASSERT_NE(d.get(11), nullptr);
  EXPECT_EQ(*d.get(11), 22);
  EXPECT_EQ(d.get(31), nullptr);
}

TEST_F(DictTest, ReplacingMovesEntryToEndOfBucket) {
  IntDict d;
  for (int32_t k : {1, 11, 21})
    d.set(k, 0);
  d.set(1, 5);
  EXPECT_EQ(d.keys(), (std::vector<int32_t>{11, 21, 1}));
  EXPECT_EQ(*d.get(1), 5);
  EXPECT_EQ(veskdict_size(d.dt), 3u);
  ASSERT_EQ(g_destroyed.size(), 1u);
  EXPECT_EQ(g_destroyed[0].key, 1);
  EXPECT_EQ(g_destroyed[0].value, 0);
  EXPECT_EQ(g_destroyed[0].dict, d.dt);
}

TEST_F(DictTest, ReplacingTheOnlyEntryKeepsTheBucket) {
  IntDict d;
  d.set(4, 1);
  veskdarray_t bucket = d.dt->buckets[4];
  d.set(4, 2);
  EXPECT_EQ(d.dt->buckets[4], bucket);
  EXPECT_EQ(*d.get(4), 2);
}

TEST_F(DictTest, RemovingLastEntryOfBucketReleasesIt) {
  IntDict d;
  d.set(7, 70);
  d.set(17, 170);
  EXPECT_EQ(d.remove(7), 1);
  EXPECT_NE(d.dt->buckets[7], nullptr);
  EXPECT_EQ(d.remove(17), 1);
  EXPECT_EQ(d.dt->buckets[7], nullptr);
  EXPECT_EQ(d.remove(17), 0);
  EXPECT_EQ(veskdict_size(d.dt), 0u);
  EXPECT_TRUE(veskdict_isempty(d.dt));
  ASSERT_EQ(g_destroyed.size(), 2u);
  EXPECT_EQ(g_destroyed[1].key, 17);
  EXPECT_EQ(g_destroyed[1].value, 170);

  d.set(27, 1); // a fresh bucket
  ASSERT_NE(d.dt->buckets[7], nullptr);
  EXPECT_EQ(d.dt->buckets[7]->size, 1);
  EXPECT_EQ(*d.get(27), 1);
}

TEST_F(DictTest, AppendAddsAtEndOfBucketWithoutSearching) {
  IntDict d;
  d.set(2, 1);
  d.set(12, 1);
  int32_t k = 22, v = 7;
  veskdict_append(d.dt, &k, &v);
  EXPECT_EQ(d.keys(), (std::vector<int32_t>{2, 12, 22}));
  EXPECT_EQ(*d.get(22), 7);
  EXPECT_EQ(veskdict_size(d.dt), 3u);
  k = 5;
  veskdict_append(d.dt, &k, &v); // into a bucket not yet used
  EXPECT_EQ(*d.get(5), 7);
}

TEST_F(DictTest, DestroyCallsBackForEveryEntryInWalkOrder) {
  veskdict_t dt =
      veskdict_new(10, 4, 4, veskdict_int32keyhash, veskdict_int32keycmp, record_destroy);
  for (int32_t k : {12, 2, 5})
    veskdict_set(dt, &k, &k);
  veskdict_t expected = dt;
  veskdict_destroy(&dt);
  EXPECT_EQ(dt, nullptr);
  ASSERT_EQ(g_destroyed.size(), 3u);
  EXPECT_EQ(g_destroyed[0].key, 12);
  EXPECT_EQ(g_destroyed[1].key, 2);
  EXPECT_EQ(g_destroyed[2].key, 5);
  EXPECT_EQ(g_destroyed[2].dict, expected);
}

TEST_F(DictTest, ManyEntriesSurviveMixedOperations) {
  IntDict d;
  for (int32_t k = -500; k < 500; ++k)
    d.set(k, k + 1);
  for (int32_t k = -500; k < 500; k += 2)
    ASSERT_EQ(d.remove(k), 1);
  EXPECT_EQ(veskdict_size(d.dt), 500u);
  for (int32_t k = -500; k < 500; ++k) {
    if (k % 2 == 0)
      EXPECT_EQ(d.get(k), nullptr);
    else
      EXPECT_EQ(*d.get(k), k + 1);
  }
}

TEST_F(DictTest, StringKeysCompareByText) {
  veskdict_t dt = veskdict_new(10, sizeof(char *), sizeof(int32_t), veskdict_strkeyhash,
                               veskdict_strkeycmp, nullptr);
  std::string a = "alpha", b = "alpha";
  const char *ka = a.c_str(), *kb = b.c_str();
  int32_t v = 3;
  veskdict_set(dt, &ka, &v);
  ASSERT_NE(veskdict_get(dt, &kb, int32_t), nullptr);
  EXPECT_EQ(*veskdict_get(dt, &kb, int32_t), 3);
  veskdict_destroy(&dt);
}

TEST(DictHashTest, StringHashIsDjb2WithSignedBytes) {
  const char *empty = "", *a = "a", *ab = "ab", *high = "\xff";
  EXPECT_EQ(veskdict_strkeyhash(&empty), 5381u);
  EXPECT_EQ(veskdict_strkeyhash(&a), 5381u * 33 + 97);
  EXPECT_EQ(veskdict_strkeyhash(&ab), (5381u * 33 + 97) * 33 + 98);
  EXPECT_EQ(veskdict_strkeyhash(&high), 5381u * 33 - 1);
}

TEST(DictHashTest, IntegerHashesAndComparisons) {
  int16_t s16 = -1;
  uint16_t u16 = 0xFFFF;
  int32_t s32 = -5;
  uint32_t u32 = 0xFFFFFFFBu;
  EXPECT_EQ(veskdict_int16keyhash(&s16), 0xFFFFFFFFu);
  EXPECT_EQ(veskdict_uint16keyhash(&u16), 0xFFFFu);
  EXPECT_EQ(veskdict_int32keyhash(&s32), 0xFFFFFFFBu);
  EXPECT_EQ(veskdict_uint32keyhash(&u32), 0xFFFFFFFBu);

  int16_t s16b = 1;
  uint16_t u16b = 1;
  int32_t s32b = 1;
  uint32_t u32b = 1;
  EXPECT_EQ(veskdict_int16keycmp(&s16, &s16b), -1);
  EXPECT_EQ(veskdict_uint16keycmp(&u16, &u16b), 1);
  EXPECT_EQ(veskdict_int32keycmp(&s32b, &s32), 1);
  EXPECT_EQ(veskdict_uint32keycmp(&u32b, &u32), -1);
  EXPECT_EQ(veskdict_int32keycmp(&s32, &s32), 0);
}

// With the stock destroy callback an entry's key and data share one block:
// the data stays aligned for any value type and writable in place, and
// removals and destruction release the blocks (the sanitizer build checks).
TEST(DictEntryTest, StockEntriesKeepDataAlignedAndIndependent) {
  veskdict_t dt = veskdict_new(10, sizeof(uint16_t), sizeof(double),
                               veskdict_uint16keyhash, veskdict_uint16keycmp, nullptr);
  for (uint16_t k = 0; k < 50; ++k) {
    double v = k * 0.5;
    veskdict_set(dt, &k, &v);
  }
  for (uint16_t k = 0; k < 50; ++k) {
    double *v = veskdict_get(dt, &k, double);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(v) % alignof(double), 0u);
    *v += 1;
  }
  for (uint16_t k = 0; k < 50; k += 2)
    EXPECT_EQ(veskdict_remove(dt, &k), 1);
  for (uint16_t k = 1; k < 50; k += 2)
    EXPECT_EQ(*veskdict_get(dt, &k, double), k * 0.5 + 1);
  EXPECT_EQ(dt->size, 25u);
  veskdict_destroy(&dt);
}

} // namespace
