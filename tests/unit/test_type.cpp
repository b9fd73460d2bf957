/*
 * Values: ordering, equality, hashing, table keys and deep copies.
 */
#include <gtest/gtest.h>

#include <math.h>

#include <string>
#include <vector>

#include "vesktype.h"

namespace {

// Objects made here live outside any heap; Values frees them at the end.
class Values : public ::testing::Test {
protected:
  ~Values() override {
    for (veskobj_t o : made_)
      veskobj_destroy(&o);
  }
  veskobj_t keep(veskobj_t o) {
    made_.push_back(o);
    return o;
  }
  veskobj_t nil() { return keep(veskobj_new(VESKTYPE_NIL)); }
  veskobj_t i(int32_t v) {
    veskobj_t o = keep(veskobj_new(VESKTYPE_INT));
    o->i.value = v;
    return o;
  }
  veskobj_t f(float v) {
    veskobj_t o = keep(veskobj_new(VESKTYPE_FLOAT));
    o->f.value = v;
    return o;
  }
  veskobj_t s(const char *text, uint16_t id = 0) {
    veskobj_t o = keep(veskobj_new(VESKTYPE_STRING));
    o->s.id = id;
    o->s.str = text;
    return o;
  }
  veskobj_t table() { return keep(veskobj_new(VESKTYPE_TABLE)); }
  veskobj_t closure(int32_t ref, uint8_t isscript = 1) {
    veskobj_t o = keep(veskobj_new(VESKTYPE_CLOSURE));
    o->c.ref = ref;
    o->c.isscript = isscript;
    return o;
  }
  veskobj_t udata(void *p) {
    veskobj_t o = keep(veskobj_new(VESKTYPE_USERDATA));
    o->u.value = p;
    return o;
  }
  static void put(veskobj_t t, veskobj_t k, veskobj_t v) {
    veskdict_set(t->t.value, &k, &v);
  }
  static veskobj_t get(veskobj_t t, veskobj_t k) {
    veskobj_t *v = veskdict_get(t->t.value, &k, veskobj_t);
    return v ? *v : nullptr;
  }
  static uint32_t bucket(veskobj_t key) { return veskobj_table_hash(&key) % 10; }
  static int sign(int x) { return (x > 0) - (x < 0); }

private:
  std::vector<veskobj_t> made_;
};

TEST_F(Values, NewObjectsAreEmptyAndTyped) {
  veskobj_t t = table(), c = closure(0);
  EXPECT_EQ(veskobj_type(t), VESKTYPE_TABLE);
  EXPECT_EQ(t->o.marker, 0);
  EXPECT_EQ(t->t.value->num_buckets, 10u);
  EXPECT_EQ(veskdict_size(t->t.value), 0u);
  EXPECT_EQ(c->c.actrec->capacity, 1u);
  EXPECT_EQ(c->c.actrec->size, 0);
  EXPECT_STREQ(vesktype_desc[VESKTYPE_USERDATA], "userdata");
  veskobj_t o = veskobj_new(VESKTYPE_INT);
  veskobj_destroy(&o);
  EXPECT_EQ(o, nullptr);
}

TEST_F(Values, NumbersCompareAcrossIntegerAndFloat) {
  EXPECT_EQ(veskobj_cmp(i(2), f(2.0f)), 0);
  EXPECT_EQ(veskobj_cmp(i(2), f(2.5f)), -1);
  EXPECT_EQ(veskobj_cmp(f(2.5f), i(2)), 1);
  EXPECT_EQ(veskobj_cmp(i(-3), i(7)), -1);
  EXPECT_EQ(veskobj_cmp(i(7), i(-3)), 1);
  EXPECT_EQ(veskobj_cmp(f(NAN), f(1.0f)), 0); // NaN is neither less nor greater
}

TEST_F(Values, StringsCompareWithNumbersAsText) {
  EXPECT_LT(veskobj_cmp(s("10"), i(9)), 0); // "10" < "9"
  EXPECT_GT(veskobj_cmp(i(9), s("10")), 0);
  EXPECT_EQ(veskobj_cmp(s("1.500000"), f(1.5f)), 0);
  EXPECT_EQ(veskobj_cmp(f(1.5f), s("1.500000")), 0);
  EXPECT_LT(veskobj_cmp(s("1.5"), f(1.5f)), 0);
  EXPECT_EQ(veskobj_cmp(s("-7"), i(-7)), 0);
  EXPECT_LT(veskobj_cmp(s("abc"), s("abd")), 0);
  // the largest float still fits the text buffer
  EXPECT_LT(veskobj_cmp(s("3"), f(3.4e38f)), 0);
}

TEST_F(Values, NilSortsBeforeEverything) {
  for (veskobj_t o : {i(-100), f(-1e30f), s(""), table(), closure(1), udata(nullptr)}) {
    EXPECT_EQ(veskobj_cmp(nil(), o), -1);
    EXPECT_EQ(veskobj_cmp(o, nil()), 1);
    EXPECT_TRUE(veskobj_comparable(nil(), o));
  }
  EXPECT_EQ(veskobj_cmp(nil(), nil()), 0);
}

TEST_F(Values, TablesAndUserdataOrderByIdentity) {
  veskobj_t a = table(), b = table();
  int ab = veskobj_cmp(a, b);
  EXPECT_EQ(ab, (uintptr_t)a->t.value < (uintptr_t)b->t.value ? -1 : 1);
  EXPECT_EQ(veskobj_cmp(b, a), -ab);
  EXPECT_EQ(veskobj_cmp(a, a), 0);
  int x, y;
  EXPECT_EQ(veskobj_cmp(udata(&x), udata(&x)), 0);
  EXPECT_EQ(veskobj_cmp(udata(&x), udata(&y)), -veskobj_cmp(udata(&y), udata(&x)));
}

// Pairs without an order are refused by veskobj_comparable; veskobj_cmp
// still answers them, consistently, without stopping the process.
TEST_F(Values, PairsWithoutOrderAreDetectedAndStillAnswered) {
  struct Pair {
    veskobj_t a, b;
  };
  veskobj_t c1 = closure(10), c2 = closure(20);
  std::vector<Pair> unordered = {{c1, i(1)},
                                 {f(2), c1},
                                 {c1, c2},
                                 {c1, s("x")},
                                 {table(), i(1)},
                                 {s("t"), table()},
                                 {udata(this), f(0)},
                                 {table(), udata(this)},
                                 {c1, table()}};
  for (const Pair &p : unordered) {
    EXPECT_FALSE(veskobj_comparable(p.a, p.b));
    int ab = veskobj_cmp(p.a, p.b);
    EXPECT_EQ(veskobj_cmp(p.a, p.b), ab);
    EXPECT_EQ(sign(veskobj_cmp(p.b, p.a)), -sign(ab));
    EXPECT_NE(ab, 0);
  }
  EXPECT_EQ(veskobj_cmp(c1, c1), 0);
  for (const Pair &p : std::vector<Pair>{{i(1), f(2)}, {s("a"), i(3)}, {s("a"), s("b")}})
    EXPECT_TRUE(veskobj_comparable(p.a, p.b));
}

TEST_F(Values, OnlyNumbersAndStringsAreTableKeys) {
  EXPECT_TRUE(veskobj_haskey(i(1)));
  EXPECT_TRUE(veskobj_haskey(f(1)));
  EXPECT_TRUE(veskobj_haskey(s("k")));
  for (veskobj_t o : {nil(), table(), closure(1), udata(nullptr)}) {
    EXPECT_FALSE(veskobj_haskey(o));
    EXPECT_EQ(veskobj_table_hash(&o), veskobj_table_hash(&o));
  }
  EXPECT_FALSE(veskobj_hashable(closure(1)));
  EXPECT_TRUE(veskobj_hashable(table()));
  EXPECT_TRUE(veskobj_hashable(nil()));
}

TEST_F(Values, TableKeyBuckets) {
  EXPECT_EQ(bucket(i(-13)), 3u);
  EXPECT_EQ(bucket(f(-13.0f)), 3u);
  EXPECT_EQ(bucket(f(7.9f)), 7u);
  EXPECT_EQ(bucket(i(7)), 7u);
  EXPECT_EQ(bucket(i(-1)), bucket(f(-1.5f)));
  EXPECT_EQ(bucket(s("any", 23)), 3u);
  // out-of-range floats have a defined bucket
  EXPECT_EQ(bucket(f(NAN)), bucket(f(NAN)));
  EXPECT_EQ(bucket(f(1e30f)), bucket(f(1e30f)));
  EXPECT_EQ(bucket(f(-INFINITY)), bucket(f(-INFINITY)));
}

TEST_F(Values, IntegerAndFloatKeysAddressTheSameEntry) {
  veskobj_t t = table(), v = s("one");
  put(t, i(1), v);
  EXPECT_EQ(get(t, f(1.0f)), v);
  EXPECT_EQ(get(t, f(1.5f)), nullptr);
  put(t, f(1.0f), s("uno"));
  EXPECT_EQ(veskdict_size(t->t.value), 1u);
  EXPECT_STREQ(get(t, i(1))->s.str, "uno");
  put(t, i(-13), v);
  EXPECT_EQ(get(t, f(-13.0f)), v);
}

// String keys of one table are interned: their ids tell them apart, and a
// key object made again for the same text and id finds the same entry.
TEST_F(Values, StringKeysSharingABucketStayApart) {
  veskobj_t t = table(), a = s("a", 3), b = s("b", 13), c = s("c", 23);
  put(t, a, i(1));
  put(t, b, i(2));
  put(t, c, i(3));
  EXPECT_EQ(veskdict_size(t->t.value), 3u);
  std::string again = "b";
  EXPECT_EQ(get(t, s(again.c_str(), 13))->i.value, 2);
  EXPECT_EQ(get(t, s("d", 33)), nullptr);
  put(t, s(again.c_str(), 13), i(20));
  EXPECT_EQ(veskdict_size(t->t.value), 3u);
  EXPECT_EQ(get(t, b)->i.value, 20);
  EXPECT_EQ(get(t, a)->i.value, 1);
}

TEST_F(Values, Equality) {
  EXPECT_TRUE(veskobj_eq(nil(), nil()));
  EXPECT_FALSE(veskobj_eq(i(2), f(2.0f))); // different types
  EXPECT_TRUE(veskobj_eq(i(2), i(2)));
  EXPECT_FALSE(veskobj_eq(f(NAN), f(NAN)));
  EXPECT_TRUE(veskobj_eq(s("abc", 1), s("abc", 1)));
  EXPECT_FALSE(veskobj_eq(s("abc", 1), s("abd", 2)));
  veskobj_t t = table();
  EXPECT_TRUE(veskobj_eq(t, t));
  EXPECT_FALSE(veskobj_eq(t, table()));
  veskobj_t c = closure(5);
  veskobj_t same = closure(5);
  EXPECT_FALSE(veskobj_eq(c, same)); // same code, different record
  veskdarray_t own = same->c.actrec;
  same->c.actrec = c->c.actrec;
  EXPECT_TRUE(veskobj_eq(c, same));
  same->c.isscript = 0;
  EXPECT_FALSE(veskobj_eq(c, same));
  same->c.actrec = own;
}

TEST_F(Values, Hashes) {
  EXPECT_EQ(veskobj_hash(nil()), 0u);
  EXPECT_EQ(veskobj_hash(i(-5)), 0xFFFFFFFBu);
  EXPECT_EQ(veskobj_hash(f(2.9f)), 2u);
  EXPECT_EQ(veskobj_hash(f(-2.9f)), 0xFFFFFFFEu);
  EXPECT_EQ(veskobj_hash(f(3e9f)), 0x7FFFFFFFu); // saturates instead of overflowing
  EXPECT_EQ(veskobj_hash(f(NAN)), veskobj_hash(f(NAN)));
  const char *text = "ab";
  EXPECT_EQ(veskobj_hash(s("ab")), veskdict_strkeyhash(&text));
  veskobj_t t = table();
  EXPECT_EQ(veskobj_hash(t), (uint32_t)(uintptr_t)t->t.value);
  EXPECT_EQ(veskobj_hash(closure(9)), veskobj_hash(closure(9)));
}

// Type numbers outside the seven are internal errors, never script errors.
TEST_F(Values, UnknownTypeNumbersAreInternalErrors) {
  veskobj_t bad = keep(veskobj_new(9));
  EXPECT_DEATH(veskobj_iclone(bad), "\\[BUG\\] .*: Clone for Vesk object type 9\n");
  EXPECT_DEATH(veskobj_eq(bad, bad),
               "\\[BUG\\] .*: Equality test between wrong Vesk objects types 9 and 9\n");
}

TEST_F(Values, DeepCopyOfNestedTable) {
  veskobj_t src = table(), inner = table(), text = s("x", 4);
  put(inner, i(2), text);
  put(src, i(1), inner);
  src->o.marker = 17;

  veskobj_t copy = veskobj_iclone(src);
  EXPECT_EQ(copy->o.marker, 17);
  EXPECT_NE(copy->t.value, src->t.value);
  veskobj_t copied_inner = get(copy, i(1));
  ASSERT_NE(copied_inner, nullptr);
  EXPECT_NE(copied_inner, inner);
  EXPECT_NE(copied_inner->t.value, inner->t.value);
  veskobj_t copied_text = get(copied_inner, i(2));
  ASSERT_NE(copied_text, nullptr);
  EXPECT_NE(copied_text, text);
  EXPECT_EQ(copied_text->s.id, 4);
  EXPECT_EQ(copied_text->s.str, text->s.str); // text stays shared

  // changing the copy leaves the source alone (the copy owns what it holds)
  veskobj_t k3 = veskobj_new(VESKTYPE_INT), v3 = veskobj_new(VESKTYPE_FLOAT);
  k3->i.value = 3;
  put(copied_inner, k3, v3);
  EXPECT_EQ(veskdict_size(inner->t.value), 1u);
  veskobj_idestroy(&copy);
  EXPECT_EQ(copy, nullptr);
}

TEST_F(Values, DeepCopyOfClosureSharesCapturedObjects) {
  veskobj_t c = closure(42, 0), captured = i(5), self = nil();
  veskdarray_push(c->c.actrec, &self);
  veskdarray_push(c->c.actrec, &captured);
  veskobj_t copy = veskobj_iclone(c);
  EXPECT_EQ(copy->c.ref, 42);
  EXPECT_EQ(copy->c.isscript, 0);
  EXPECT_NE(copy->c.actrec, c->c.actrec);
  ASSERT_EQ(copy->c.actrec->size, 2);
  EXPECT_EQ(veskdarray_get(copy->c.actrec, 1, veskobj_t), captured);
  veskobj_idestroy(&copy); // frees the copy, not the captured objects
  EXPECT_EQ(captured->i.value, 5);
}

TEST_F(Values, DeepCopyKeepsCyclesAndSharing) {
  veskobj_t t = table(), shared = table();
  put(t, i(1), t);
  put(t, i(2), shared);
  put(t, i(3), shared);
  veskobj_t copy = veskobj_iclone(t);
  EXPECT_EQ(get(copy, i(1)), copy);
  EXPECT_EQ(get(copy, i(2)), get(copy, i(3)));
  EXPECT_NE(get(copy, i(2)), shared);
  veskobj_idestroy(&copy);
}

TEST_F(Values, DeepCopyAndDestroyOfLongChainUseNoRecursion) {
  const int depth = 300000;
  veskobj_t root = veskobj_new(VESKTYPE_TABLE), cur = root;
  for (int n = 0; n < depth; ++n) {
    veskobj_t next = veskobj_new(VESKTYPE_TABLE), key = veskobj_new(VESKTYPE_INT);
    put(cur, key, next);
    cur = next;
  }
  veskobj_t copy = veskobj_iclone(root);
  int length = 0;
  veskobj_t key = i(0);
  for (veskobj_t t = copy; veskdict_size(t->t.value) == 1; ++length)
    t = get(t, key);
  EXPECT_EQ(length, depth);
  veskobj_idestroy(&copy);
  veskobj_idestroy(&root);
}

} // namespace
