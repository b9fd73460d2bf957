/*
 * Dictionary lookup index: large dictionaries keep exactly the contents,
 * lookups and walking order of plain bucket dictionaries.
 */
#include <gtest/gtest.h>

#include <cstdlib>
#include <utility>
#include <vector>

#include "veskdebug.h"
#include "veskdict.h"
#include "vesktype.h"

namespace {

using Entry = std::pair<int32_t, int32_t>;

/* The bucket rules written out plainly: the model every run is checked against. */
struct Model {
  std::vector<std::vector<Entry>> buckets = std::vector<std::vector<Entry>>(10);
  std::vector<Entry> &bucket(int32_t k) { return buckets[(uint32_t)k % 10]; }
  Entry *find(int32_t k) {
    for (Entry &e : bucket(k))
      if (e.first == k) return &e;
    return nullptr;
  }
  void set(int32_t k, int32_t v) {
    remove(k);
    bucket(k).push_back({k, v});
  }
  bool remove(int32_t k) {
    auto &b = bucket(k);
    for (size_t i = 0; i < b.size(); ++i)
      if (b[i].first == k) {
        b.erase(b.begin() + (long)i);
        return true;
      }
    return false;
  }
  std::vector<Entry> walk() {
    std::vector<Entry> all;
    for (auto &b : buckets)
      all.insert(all.end(), b.begin(), b.end());
    return all;
  }
};

void collect(const void *key, void *data, void *params) {
  ((std::vector<Entry> *)params)->push_back({*(const int32_t *)key, *(int32_t *)data});
}

std::vector<Entry> walk(veskdict_t d) {
  std::vector<Entry> all;
  veskdict_foreach(d, collect, &all);
  return all;
}

/* Random sets, replacements and removals over a key range that makes long
   buckets; after every batch the dictionary must agree with the model. */
TEST(DictIndex, RandomOperationsMatchTheBucketModel) {
  veskdict_t d = veskdict_new(10, sizeof(int32_t), sizeof(int32_t), veskdict_int32keyhash,
                              veskdict_int32keycmp, nullptr);
  Model m;
  srand(7);
  for (int batch = 0; batch < 40; ++batch) {
    for (int i = 0; i < 500; ++i) {
      int32_t k = rand() % 3000 - 500, v = rand();
      if (rand() % 4 == 0) {
        EXPECT_EQ(veskdict_remove(d, &k), m.remove(k) ? 1 : 0);
      } else {
        veskdict_set(d, &k, &v);
        m.set(k, v);
      }
    }
    ASSERT_EQ(walk(d), m.walk()) << "batch " << batch;
    for (int32_t k = -500; k < 2500; k += 7) {
      int32_t *got = veskdict_get(d, &k, int32_t);
      Entry *want = m.find(k);
      ASSERT_EQ(got != nullptr, want != nullptr) << "key " << k;
      if (got) {
        EXPECT_EQ(*got, want->second);
      }
    }
  }
  EXPECT_NE(d->index, nullptr);
  veskdict_destroy(&d);
}

/* Small dictionaries keep their first entries inside their own block; sets,
   replacements and removals around that boundary behave as in the model,
   and destroying frees only what was allocated (checked by the sanitizers). */
TEST(DictIndex, SmallDictionariesMatchTheBucketModel) {
  srand(11);
  for (int trial = 0; trial < 300; ++trial) {
    veskdict_t d = veskdict_new(10, sizeof(int32_t), sizeof(int32_t),
                                veskdict_int32keyhash, veskdict_int32keycmp, nullptr);
    Model m;
    for (int op = 0; op < 12; ++op) {
      int32_t k = rand() % 3 + 10 * (rand() % 3), v = rand(); /* three buckets of three */
      if (rand() % 3 == 0) {
        EXPECT_EQ(veskdict_remove(d, &k), m.remove(k) ? 1 : 0);
      } else {
        veskdict_set(d, &k, &v);
        m.set(k, v);
      }
      ASSERT_EQ(walk(d), m.walk()) << "trial " << trial << ", operation " << op;
    }
    veskdict_destroy(&d);
  }
}

TEST(DictIndex, StringKeysAreFoundAfterReplacementsAndRemovals) {
  veskdict_t d = veskdict_new(10, sizeof(char *), sizeof(int32_t), veskdict_strkeyhash,
                              veskdict_strkeycmp, nullptr);
  std::vector<std::string> texts;
  for (int i = 0; i < 300; ++i)
    texts.push_back("name" + std::to_string(i));
  for (int round = 0; round < 2; ++round)
    for (int i = 0; i < 300; ++i) {
      const char *k = texts[i].c_str();
      int32_t v = i + round * 1000;
      veskdict_set(d, &k, &v);
    }
  for (int i = 0; i < 300; i += 3) {
    const char *k = texts[i].c_str();
    EXPECT_EQ(veskdict_remove(d, &k), 1);
  }
  EXPECT_EQ(veskdict_size(d), 200u);
  for (int i = 0; i < 300; ++i) {
    std::string probe = texts[i]; /* another copy of the text: found by value */
    const char *k = probe.c_str();
    int32_t *v = veskdict_get(d, &k, int32_t);
    if (i % 3 == 0) {
      EXPECT_EQ(v, nullptr);
    } else {
      ASSERT_NE(v, nullptr);
      EXPECT_EQ(*v, i + 1000);
    }
  }
  /* The stock destroy callback frees the key copies (the pointers), not the texts. */
  veskdict_destroy(&d);
}

/* Table dictionaries hold object handles; keys compare as values. */
struct Table {
  veskobj_t t = veskobj_new(VESKTYPE_TABLE);
  std::vector<veskobj_t> objs;
  ~Table() {
    veskobj_destroy(&t);
    for (veskobj_t &o : objs)
      veskobj_destroy(&o);
  }
  veskobj_t num(int32_t v) {
    objs.push_back(veskobj_new(VESKTYPE_INT));
    objs.back()->i.value = v;
    return objs.back();
  }
  veskobj_t flt(float v) {
    objs.push_back(veskobj_new(VESKTYPE_FLOAT));
    objs.back()->f.value = v;
    return objs.back();
  }
  void set(veskobj_t k, veskobj_t v) { veskdict_set(t->t.value, &k, &v); }
  veskobj_t get(veskobj_t k) {
    veskobj_t *v = veskdict_get(t->t.value, &k, veskobj_t);
    return v ? *v : nullptr;
  }
};

TEST(DictIndex, LargeTablesFindIntegerKeysByFloatAndKeepOrderWithMixedKeys) {
  Table t;
  for (int32_t i = 0; i < 200; ++i)
    t.set(t.num(i), t.num(i * 10));
  ASSERT_NE(t.t->t.value->index, nullptr);
  /* A float key equal to an integer key addresses the same entry. */
  veskobj_t v = t.get(t.flt(42.0f));
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(v->i.value, 420);
  EXPECT_EQ(t.get(t.flt(42.5f)), nullptr);
  /* Replacing through the float key moves the entry to its bucket's end. */
  t.set(t.flt(42.0f), t.num(-1));
  EXPECT_EQ(veskdict_size(t.t->t.value), 200u);
  veskdarray_t bucket = t.t->t.value->buckets[2];
  veskobj_t last = *(veskobj_t *)veskdarray_last(bucket, veskdict_entry_t).key;
  EXPECT_EQ(veskobj_type(last), VESKTYPE_FLOAT);
  EXPECT_EQ(t.get(t.num(42))->i.value, -1);
  EXPECT_EQ(t.get(t.num(199))->i.value, 1990);
  EXPECT_EQ(t.get(t.num(200)), nullptr);
}

TEST(DictIndex, DebugPositionsKeepTheLowestOffset) {
  veskdebug_t dbg = veskdebug_new();
  for (uint32_t off = 0; off < 3000; ++off)
    veskdebug_info_set(dbg, off, off / 3 + 1, off % 3, "a.vsk");
  for (uint32_t line = 1; line <= 1000; line += 37) {
    uint32_t *off = veskdebug_info_get_fromscript(dbg, line, 1, "a.vsk");
    ASSERT_NE(off, nullptr);
    EXPECT_EQ(*off, (line - 1) * 3 + 1);
  }
  EXPECT_EQ(veskdebug_info_get_fromscript(dbg, 5, 1, "b.vsk"), nullptr);
  veskdebug_entry_t e = veskdebug_info_get_fromoffset(dbg, 2999);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->line, 1000u);
  veskdebug_destroy(&dbg);
}

} // namespace
