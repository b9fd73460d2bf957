/*
 * String manager: interning, protection, mark-and-prune, id reuse after wrap.
 */
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "veskstrman.h"

namespace {

struct Manager {
  veskstrman_t sm = veskstrman_new();
  ~Manager() { veskstrman_destroy(&sm); }
  // Registers through veskstrman_intern, which must hand out the manager's
  // own copy of the text, the one veskstrman_get gives for the id.
  uint16_t intern(const char *s, int protect) {
    const char *text = nullptr;
    uint16_t id = veskstrman_intern(sm, s, protect, &text);
    EXPECT_EQ(text, veskstrman_get(sm, id)) << s;
    if (text) {
      EXPECT_STREQ(text, s);
      EXPECT_NE(text, s);
    }
    return id;
  }
  uint16_t reg(const std::string &s, int protect = 0) {
    return intern(s.c_str(), protect);
  }
  // One collection in which exactly the given ids are referenced.
  void collect(const std::vector<uint16_t> &live = {}) {
    veskstrman_gc_clear(sm);
    for (uint16_t id : live)
      veskstrman_gc_mark(sm, id);
    veskstrman_gc_prune(sm);
  }
  // Both maps hold the same strings, each text mapping back to its id.
  void expect_consistent() {
    ASSERT_EQ(sm->str2id->size, sm->id2str->size);
    for (uint32_t b = 0; b < sm->id2str->num_buckets; ++b) {
      veskdarray_t bucket = sm->id2str->buckets[b];
      for (int64_t i = 0; bucket && i < bucket->size; ++i) {
        veskdict_entry_t *e = &veskdarray_get(bucket, i, veskdict_entry_t);
        uint16_t id = *(uint16_t *)e->key;
        const char *text = (*(veskid2strdata **)e->data)->str;
        uint16_t *back = veskdict_get(sm->str2id, &text, uint16_t);
        ASSERT_NE(back, nullptr) << text;
        ASSERT_EQ(*back, id) << text;
      }
    }
  }
};

TEST(StrmanTest, InternsTextsWithIncreasingIds) {
  Manager m;
  EXPECT_EQ(m.reg("a"), 0);
  EXPECT_EQ(m.reg("b", 1), 1);
  EXPECT_EQ(m.reg("a"), 0);
  EXPECT_EQ(m.reg("c"), 2);
  EXPECT_STREQ(veskstrman_get(m.sm, 1), "b");
  EXPECT_EQ(veskstrman_get(m.sm, 3), nullptr);
  // the manager keeps its own copy
  std::string tmp = "temporary";
  uint16_t id = m.reg(tmp);
  tmp[0] = 'X';
  EXPECT_STREQ(veskstrman_get(m.sm, id), "temporary");
}

TEST(StrmanTest, ClearThenPruneDisposesOfUnprotectedOnly) {
  Manager m;
  uint16_t keep = m.reg("keep", 1), drop = m.reg("drop"), late = m.reg("late");
  EXPECT_EQ(m.reg("late", 1), late); // protected from now on
  EXPECT_EQ(m.reg("late", 0), late); // and for good
  m.collect();
  EXPECT_STREQ(veskstrman_get(m.sm, keep), "keep");
  EXPECT_STREQ(veskstrman_get(m.sm, late), "late");
  EXPECT_EQ(veskstrman_get(m.sm, drop), nullptr);
  EXPECT_EQ(m.sm->gcdata, nullptr);
  m.expect_consistent();
  // the text comes back under a new, larger id
  uint16_t again = m.reg("drop");
  EXPECT_GT(again, late);
}

TEST(StrmanTest, MarkedStringsSurviveAndMarkingUnknownIdsIsHarmless) {
  Manager m;
  uint16_t p = m.reg("p", 1), x = m.reg("x"), y = m.reg("y");
  m.collect({y, p, 999, y});
  EXPECT_EQ(veskstrman_get(m.sm, x), nullptr);
  EXPECT_STREQ(veskstrman_get(m.sm, y), "y");
  EXPECT_STREQ(veskstrman_get(m.sm, p), "p");
  m.collect();
  EXPECT_EQ(veskstrman_get(m.sm, y), nullptr);
  veskstrman_gc_mark(m.sm, p); // outside a collection: nothing happens
  EXPECT_STREQ(veskstrman_get(m.sm, p), "p");
}

// Random subsets exercise every shape of deletion from the candidate tree.
TEST(StrmanTest, ExactlyTheMarkedCandidatesSurvive) {
  std::mt19937 rng(7);
  for (int round = 0; round < 30; ++round) {
    Manager m;
    std::vector<uint16_t> ids;
    for (int i = 0; i < 300; ++i)
      ids.push_back(m.reg("s" + std::to_string(i), i % 17 == 0));
    std::vector<uint16_t> live;
    for (uint16_t id : ids)
      if (rng() % 3 == 0) live.push_back(id);
    std::shuffle(live.begin(), live.end(), rng);
    m.collect(live);
    std::set<uint16_t> alive(live.begin(), live.end());
    for (int i = 0; i < 300; ++i) {
      bool expected = alive.count(ids[i]) || i % 17 == 0;
      ASSERT_EQ(veskstrman_get(m.sm, ids[i]) != nullptr, expected) << "round " << round;
    }
    m.expect_consistent();
  }
}

TEST(StrmanTest, ProtectingDuringCollectionKeepsString) {
  Manager m;
  uint16_t id = m.reg("x");
  veskstrman_gc_clear(m.sm);
  m.reg("x", 1);
  veskstrman_gc_prune(m.sm);
  EXPECT_STREQ(veskstrman_get(m.sm, id), "x");
}

TEST(StrmanTest, PrintListsBothMaps) {
  Manager m;
  m.reg("a", 1);
  m.reg("b");
  testing::internal::CaptureStdout();
  veskstrman_print(m.sm);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "ID -> STRING (2 elements)\n"
                                                    "\t[*] 0 -> 'a'\n"
                                                    "\t[ ] 1 -> 'b'\n"
                                                    "STRING -> ID (2 elements)\n"
                                                    "\t'a' -> 0\n"
                                                    "\t'b' -> 1\n"
                                                    "\n");
}

// A program that keeps making strings: after the counter wraps, new strings
// take the lowest free ids and never one still in use.
TEST(StrmanTest, WrapsAroundToLowestFreeIds) {
  Manager m;
  uint16_t prot = m.reg("protected", 1); // id 0, kept for ever
  uint16_t held = m.reg("held");         // id 1, kept by marking
  std::vector<uint16_t> after_wrap;
  for (int i = 0; i < 70000; ++i) {
    std::string text = "tmp" + std::to_string(i);
    bool wrapped = m.sm->wrapped;
    uint16_t id = m.reg(text);
    ASSERT_NE(id, VESKSTRMAN_NOID) << i;
    ASSERT_NE(id, prot);
    ASSERT_NE(id, held);
    ASSERT_STREQ(veskstrman_get(m.sm, id), text.c_str());
    if (wrapped) after_wrap.push_back(id);
    if (i % 1000 == 999) m.collect({held});
  }
  // Ids 2..65534 went to tmp0..tmp65532; then the counter wrapped while the
  // strings since the last collection (tmp65000 on, ids 65002 on) were alive.
  ASSERT_EQ(after_wrap.size(), 70000u - 65533u);
  EXPECT_EQ(after_wrap[0], 2);
  EXPECT_EQ(after_wrap[1], 3);
  // tmp65999 was the last before a collection; tmp66000 starts again at 2
  EXPECT_EQ(after_wrap[66000 - 65533], 2);
  EXPECT_STREQ(veskstrman_get(m.sm, prot), "protected");
  EXPECT_STREQ(veskstrman_get(m.sm, held), "held");
  m.expect_consistent();
  m.collect({held});
  EXPECT_EQ(m.sm->id2str->size, 2u);
  uint16_t next = m.reg("fresh");
  EXPECT_EQ(next, 2); // the lowest free id
}

TEST(StrmanTest, FullManagerRefusesNewStringsWithoutDamage) {
  Manager m;
  char text[16];
  for (uint32_t i = 0; i < VESKSTRMAN_NOID; ++i) {
    snprintf(text, sizeof text, "%u", i);
    ASSERT_EQ(veskstrman_register(m.sm, text, 1), i);
  }
  EXPECT_EQ(m.reg("one more"), VESKSTRMAN_NOID);
  EXPECT_EQ(veskstrman_get(m.sm, VESKSTRMAN_NOID), nullptr);
  EXPECT_EQ(m.reg("123"), 123); // existing texts still resolve
  EXPECT_EQ(m.sm->id2str->size, (uint32_t)VESKSTRMAN_NOID);
}

// Random registrations, protections and collections against a plain model:
// hundreds of texts share the maps' buckets and their lookup index, and
// disposals remove entries from the middle of both.
TEST(StrmanTest, AgreesWithAModelOverRandomCollections) {
  Manager m;
  std::map<std::string, std::pair<uint16_t, bool>> model; // text -> id, protected
  std::mt19937 rng(7);
  for (int round = 0; round < 60; ++round) {
    for (int i = 0; i < 200; ++i) {
      std::string text = "t" + std::to_string(rng() % 700);
      bool protect = rng() % 10 == 0;
      uint16_t id = m.reg(text, protect);
      auto [it, fresh] = model.try_emplace(text, id, protect);
      if (!fresh) {
        ASSERT_EQ(it->second.first, id) << text;
      }
      it->second.second = it->second.second || protect;
    }
    std::vector<uint16_t> live;
    for (auto it = model.begin(); it != model.end();) {
      bool keep = it->second.second || rng() % 3 == 0;
      if (keep && !it->second.second) live.push_back(it->second.first);
      it = keep ? std::next(it) : model.erase(it);
    }
    m.collect(live);
    ASSERT_EQ(m.sm->id2str->size, model.size());
    for (const auto &[text, entry] : model)
      ASSERT_STREQ(veskstrman_get(m.sm, entry.first), text.c_str());
    m.expect_consistent();
  }
}

// Protected names are looked up again by the address of the caller's text:
// a buffer reused for another text must still get that text's own id.
TEST(StrmanTest, AReusedBufferIsLookedUpByItsNewText) {
  Manager m;
  char buf[32] = "alpha";
  uint16_t alpha = veskstrman_register(m.sm, buf, 1);
  EXPECT_EQ(m.intern(buf, 1), alpha); // from the cache, with the interned text
  strcpy(buf, "beta");
  uint16_t beta = m.intern(buf, 1);
  EXPECT_NE(beta, alpha);
  EXPECT_STREQ(veskstrman_get(m.sm, beta), "beta");
  strcpy(buf, "alpha");
  EXPECT_EQ(veskstrman_register(m.sm, buf, 0), alpha);
  m.collect();
  EXPECT_STREQ(veskstrman_get(m.sm, alpha), "alpha");
  EXPECT_STREQ(veskstrman_get(m.sm, beta), "beta");
}

} // namespace
