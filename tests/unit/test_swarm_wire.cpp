/*
 * Wire encoding: integers, the float form (every documented example and
 * exact round trips), strings, values, stigmergy entries, and the refusal
 * of what cannot be encoded or decoded.
 */
#include <cmath>
#include <cstring>
#include <limits>

#include "swarm_util.h"

using namespace swarm_test;

namespace {

Bytes float_bytes(float v) {
  Payload p;
  veskmsg_serialize_float(p.p, v);
  return p.bytes();
}

float float_back(const Bytes &b) {
  Payload p(b);
  float out = -1.0f;
  EXPECT_EQ(veskmsg_deserialize_float(&out, p.p, 0), 8);
  return out;
}

Bytes obj_bytes(veskobj_t o) {
  Payload p;
  EXPECT_EQ(veskobj_serialize(p.p, o), 1);
  return p.bytes();
}

/* A table nested `depth` levels deep on the VM heap (kept on its stack). */
veskobj_t nested_table(EmptyVm &vm, int depth) {
  veskobj_t top = veskheap_newobj(vm.vm()->heap, VESKTYPE_TABLE);
  veskvm_push(vm, top);
  veskobj_t cur = top;
  for (int i = 1; i < depth; ++i) {
    veskobj_t inner = veskheap_newobj(vm.vm()->heap, VESKTYPE_TABLE);
    veskobj_t k = veskheap_newobj(vm.vm()->heap, VESKTYPE_INT);
    veskdict_set(cur->t.value, &k, &inner);
    cur = inner;
  }
  return top;
}

/* Bytes of a table nested n deep: n times (tag 4, count 1, key int 0), then an empty
 * table. */
Bytes nested_bytes(int n) {
  Bytes b;
  for (int i = 0; i < n - 1; ++i) {
    Bytes level = {0, 4, 0, 0, 0, 1, 0, 1, 0, 0, 0, 0};
    b.insert(b.end(), level.begin(), level.end());
  }
  Bytes last = {0, 4, 0, 0, 0, 0};
  b.insert(b.end(), last.begin(), last.end());
  return b;
}

} // namespace

TEST(SwarmWire, IntegersAreBigEndian) {
  Payload p;
  veskmsg_serialize_u8(p.p, 0xAB);
  veskmsg_serialize_u16(p.p, 0x0102);
  veskmsg_serialize_u32(p.p, 0xDEADBEEF);
  EXPECT_EQ(p.bytes(), (Bytes{0xAB, 0x01, 0x02, 0xDE, 0xAD, 0xBE, 0xEF}));
  uint8_t a = 0;
  uint16_t b = 0;
  uint32_t c = 0;
  EXPECT_EQ(veskmsg_deserialize_u8(&a, p.p, 0), 1);
  EXPECT_EQ(veskmsg_deserialize_u16(&b, p.p, 1), 3);
  EXPECT_EQ(veskmsg_deserialize_u32(&c, p.p, 3), 7);
  EXPECT_EQ(a, 0xAB);
  EXPECT_EQ(b, 0x0102);
  EXPECT_EQ(c, 0xDEADBEEFu);
}

TEST(SwarmWire, ShortReadsFailWithoutWriting) {
  Payload p(Bytes{1, 2, 3});
  uint32_t u32 = 77;
  EXPECT_EQ(veskmsg_deserialize_u32(&u32, p.p, 0), -1);
  EXPECT_EQ(u32, 77u);
  uint16_t u16 = 77;
  EXPECT_EQ(veskmsg_deserialize_u16(&u16, p.p, 2), -1);
  EXPECT_EQ(u16, 77);
  uint8_t u8 = 77;
  EXPECT_EQ(veskmsg_deserialize_u8(&u8, p.p, 3), -1);
  /* Positions near the 32-bit limit must not wrap around into the payload. */
  EXPECT_EQ(veskmsg_deserialize_u16(&u16, p.p, UINT32_MAX), -1);
  EXPECT_EQ(veskmsg_deserialize_u32(&u32, p.p, UINT32_MAX - 1), -1);
  Payload seven(Bytes(7, 0x40));
  float f = 5.0f;
  EXPECT_EQ(veskmsg_deserialize_float(&f, seven.p, 0), -1);
  EXPECT_EQ(f, 5.0f);
}

TEST(SwarmWire, FloatExamplesEncodeByteForByte) {
  struct Case {
    float value;
    Bytes bytes;
  } cases[] = {
      {0.0f, {0, 0, 0, 0, 0, 0, 0, 0}},
      {-0.0f, {0, 0, 0, 0, 0, 0, 0, 0}},
      {1.0f, {0, 0, 0, 1, 0, 0, 0, 1}},
      {1.5f, {0x40, 0, 0, 1, 0, 0, 0, 1}},
      {3.0f, {0x40, 0, 0, 1, 0, 0, 0, 2}},
      {-0.25f, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
      {-2.75f, {0xCF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 2}},
      {100.0f, {0x48, 0, 0, 1, 0, 0, 0, 7}},
      {0.1f, {0x4C, 0xCC, 0xCD, 0x01, 0xFF, 0xFF, 0xFF, 0xFD}},
  };
  for (const Case &c : cases) {
    EXPECT_EQ(float_bytes(c.value), c.bytes) << c.value;
    EXPECT_EQ(float_back(c.bytes), c.value) << c.value;
  }
  EXPECT_FALSE(std::signbit(float_back(float_bytes(-0.0f))));
}

TEST(SwarmWire, FiniteFloatsRoundTripExactly) {
  /* A spread of bit patterns over the whole range, subnormals included. */
  for (uint64_t bits = 1; bits < 0xFF800000u; bits += 0x0007F3A1u) {
    for (uint32_t sign : {0u, 0x80000000u}) {
      uint32_t pattern = static_cast<uint32_t>(bits) | sign;
      float v;
      memcpy(&v, &pattern, sizeof v);
      if (!std::isfinite(v)) continue;
      ASSERT_EQ(float_back(float_bytes(v)), v) << std::hexfloat << v;
    }
  }
  const float extremes[] = {std::numeric_limits<float>::denorm_min(),
                            std::numeric_limits<float>::min(),
                            std::numeric_limits<float>::max(),
                            -std::numeric_limits<float>::max(),
                            0.5f,
                            -0.5f};
  for (float v : extremes)
    EXPECT_EQ(float_back(float_bytes(v)), v) << v;
}

TEST(SwarmWire, NonFiniteFloatsKeepTheirKind) {
  EXPECT_EQ(float_bytes(INFINITY), (Bytes{0, 0, 0, 0, 0, 0, 0, 1}));
  EXPECT_EQ(float_bytes(-INFINITY), (Bytes{0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(float_bytes(NAN), (Bytes{0, 0, 0, 0, 0, 0, 0, 2}));
  EXPECT_EQ(float_back(float_bytes(INFINITY)), INFINITY);
  EXPECT_EQ(float_back(float_bytes(-INFINITY)), -INFINITY);
  EXPECT_TRUE(std::isnan(float_back(float_bytes(NAN))));
  /* Any other exponent with a zero mantissa is a zero. */
  EXPECT_EQ(float_back(Bytes{0, 0, 0, 0, 0, 0, 0, 9}), 0.0f);
}

TEST(SwarmWire, HostileFloatFieldsDecodeSafely) {
  /* The most negative mantissa and extreme exponents come only from peers. */
  float f = float_back(Bytes{0x80, 0, 0, 0, 0x7F, 0xFF, 0xFF, 0xFF});
  EXPECT_TRUE(std::isinf(f) && f < 0);
  EXPECT_EQ(float_back(Bytes{0x40, 0, 0, 1, 0x80, 0, 0, 0}), 0.0f);
}

TEST(SwarmWire, Strings) {
  Payload p;
  ASSERT_EQ(veskmsg_serialize_string(p.p, "hi"), 1);
  EXPECT_EQ(p.bytes(), (Bytes{0, 2, 'h', 'i'}));
  char *s = nullptr;
  EXPECT_EQ(veskmsg_deserialize_string(&s, p.p, 0), 4);
  ASSERT_NE(s, nullptr);
  EXPECT_STREQ(s, "hi");
  free(s);

  Payload lying(Bytes{0, 5, 'a', 'b'});
  char *none = nullptr;
  EXPECT_EQ(veskmsg_deserialize_string(&none, lying.p, 0), -1);
  EXPECT_EQ(none, nullptr);

  std::string longest(VESKMSG_MAX_STRLEN, 'x');
  Payload ok;
  EXPECT_EQ(veskmsg_serialize_string(ok.p, longest.c_str()), 1);
  EXPECT_EQ(veskdarray_size(ok.p), 2 + VESKMSG_MAX_STRLEN);
  Payload refused;
  std::string too_long(VESKMSG_MAX_STRLEN + 1, 'x');
  EXPECT_EQ(veskmsg_serialize_string(refused.p, too_long.c_str()), 0);
  EXPECT_EQ(veskdarray_size(refused.p), 0);
}

TEST(SwarmWire, ValueExamples) {
  EmptyVm vm;
  veskobj_t t = veskheap_newobj(vm.vm()->heap, VESKTYPE_TABLE);
  veskvm_push(vm, t);
  veskobj_t k = vm.str("x"), v = vm.num(1);
  veskdict_set(t->t.value, &k, &v);
  EXPECT_EQ(obj_bytes(t), (Bytes{0, 4, 0, 0, 0, 1, 0, 3, 0, 1, 0x78, 0, 1, 0, 0, 0, 1}));

  veskobj_t empty = veskheap_newobj(vm.vm()->heap, VESKTYPE_TABLE);
  EXPECT_EQ(obj_bytes(empty), (Bytes{0, 4, 0, 0, 0, 0}));
  EXPECT_EQ(obj_bytes(vm.num(-2)), (Bytes{0, 1, 0xFF, 0xFF, 0xFF, 0xFE}));
  EXPECT_EQ(obj_bytes(vm.str("")), (Bytes{0, 3, 0, 0}));
  veskobj_t nil = veskheap_newobj(vm.vm()->heap, VESKTYPE_NIL);
  EXPECT_EQ(obj_bytes(nil), (Bytes{0, 0}));
}

TEST(SwarmWire, ValuesDecodeOntoTheHeap) {
  EmptyVm vm;
  Payload one(Bytes{0, 4, 0, 0, 0, 1, 0, 3, 0, 1, 0x78, 0, 1, 0, 0, 0, 1});
  veskobj_t o = nullptr;
  EXPECT_EQ(veskobj_deserialize(&o, one.p, 0, vm), 17);
  ASSERT_TRUE(o && veskobj_istable(o));
  veskvm_push(vm, o);
  veskobj_t key = vm.str("x");
  veskobj_t *val = veskdict_get(o->t.value, &key, veskobj_t);
  ASSERT_NE(val, nullptr);
  EXPECT_EQ((*val)->i.value, 1);

  Payload neg(Bytes{0, 1, 0xFF, 0xFF, 0xFF, 0xFE});
  EXPECT_EQ(veskobj_deserialize(&o, neg.p, 0, vm), 6);
  EXPECT_EQ(o->i.value, -2);

  /* The empty string decodes to the string manager's own entry for "". */
  Payload es(Bytes{0, 3, 0, 0});
  EXPECT_EQ(veskobj_deserialize(&o, es.p, 0, vm), 4);
  ASSERT_TRUE(veskobj_isstring(o));
  EXPECT_STREQ(o->s.str, "");
  EXPECT_EQ(o->s.str, veskvm_string_get(vm, o->s.id));
}

TEST(SwarmWire, MalformedValuesFail) {
  EmptyVm vm;
  veskobj_t o = nullptr;
  /* A count larger than the entries present: the entries so far stay. */
  Payload shortt(Bytes{0, 4, 0, 0, 0, 2, 0, 1, 0, 0, 0, 7, 0, 1, 0, 0, 0, 8});
  EXPECT_EQ(veskobj_deserialize(&o, shortt.p, 0, vm), -1);
  ASSERT_TRUE(o && veskobj_istable(o));
  EXPECT_EQ(veskdict_size(o->t.value), 1u);

  veskobj_t untouched = nullptr;
  Payload tagless(Bytes{0});
  EXPECT_EQ(veskobj_deserialize(&untouched, tagless.p, 0, vm), -1);
  EXPECT_EQ(untouched, nullptr);
  /* Closures, userdata and unknown tags never become objects. */
  testing::internal::CaptureStderr();
  for (uint8_t tag : {5, 6, 7, 0xFF}) {
    Payload p(Bytes{0, tag, 0, 0, 0, 0});
    EXPECT_EQ(veskobj_deserialize(&untouched, p.p, 0, vm), -1) << int(tag);
    EXPECT_EQ(untouched, nullptr);
  }
  std::string diag = testing::internal::GetCapturedStderr();
  EXPECT_EQ(diag.rfind("TODO: ", 0), 0u) << diag;
  /* A table key that cannot index a table (a nested table) is refused. */
  Payload tablekey(Bytes{0, 4, 0, 0, 0, 1, 0, 4, 0, 0, 0, 0, 0, 1, 0, 0, 0, 1});
  EXPECT_EQ(veskobj_deserialize(&o, tablekey.p, 0, vm), -1);
  /* A hostile count fails at the end of the payload, not after 4 billion turns. */
  Payload huge(Bytes{0, 4, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0});
  EXPECT_EQ(veskobj_deserialize(&o, huge.p, 0, vm), -1);
  EXPECT_EQ(vm.vm()->state, VESKVM_STATE_READY);
}

TEST(SwarmWire, NestingIsBounded) {
  EmptyVm vm;
  veskobj_t o = nullptr;
  Payload deepest(nested_bytes(VESKMSG_MAX_DEPTH));
  EXPECT_EQ(veskobj_deserialize(&o, deepest.p, 0, vm),
            static_cast<int64_t>(veskdarray_size(deepest.p)));
  Payload too_deep(nested_bytes(VESKMSG_MAX_DEPTH + 1));
  EXPECT_EQ(veskobj_deserialize(&o, too_deep.p, 0, vm), -1);
  /* Thousands of levels: refused without exhausting the C stack. */
  Payload hostile(nested_bytes(100000));
  EXPECT_EQ(veskobj_deserialize(&o, hostile.p, 0, vm), -1);

  Payload out;
  EXPECT_EQ(veskobj_serialize(out.p, nested_table(vm, VESKMSG_MAX_DEPTH)), 1);
  EXPECT_EQ(out.bytes(), nested_bytes(VESKMSG_MAX_DEPTH));
  Payload refused;
  EXPECT_EQ(veskobj_serialize(refused.p, nested_table(vm, VESKMSG_MAX_DEPTH + 1)), 0);
}

TEST(SwarmWire, SendabilityCheck) {
  EmptyVm vm;
  uint64_t size = 0;
  EXPECT_EQ(
      veskmsg_obj_check(nested_table(vm, VESKMSG_MAX_DEPTH), &size, VESKMSG_MAX_LEN),
      nullptr);
  EXPECT_EQ(size, 12u * (VESKMSG_MAX_DEPTH - 1) + 6);

  /* A table holding itself would encode for ever. */
  veskobj_t cyc = nested_table(vm, 1);
  veskobj_t k = vm.num(1);
  veskdict_set(cyc->t.value, &k, &cyc);
  size = 0;
  EXPECT_NE(veskmsg_obj_check(cyc, &size, VESKMSG_MAX_LEN), nullptr);

  std::string text(VESKMSG_MAX_STRLEN + 1, 'y');
  size = 0;
  const char *why = veskmsg_obj_check(vm.str(text.c_str()), &size, UINT64_MAX);
  ASSERT_NE(why, nullptr);
  EXPECT_NE(std::string(why).find("65535"), std::string::npos);

  veskobj_t big[] = {vm.str(std::string(40000, 'a').c_str()),
                     vm.str(std::string(30000, 'b').c_str())};
  EXPECT_EQ(veskmsg_check_sendable(vm, 3, big, 2), 0);
  EXPECT_EQ(vm.vm()->state, VESKVM_STATE_ERROR);
  EXPECT_NE(std::string(veskvm_strerror(vm)).find("type mismatch"), std::string::npos);
}

TEST(SwarmWire, StigmergyEntry) {
  EmptyVm vm;
  veskobj_t key = vm.str("k");
  veskvstig_elem_t e = veskvstig_elem_new(veskobj_iclone(vm.num(9)), 0x0102, 7);
  Payload p;
  ASSERT_EQ(veskvstig_elem_serialize(p.p, key, e), 1);
  EXPECT_EQ(p.bytes(), (Bytes{0, 3, 0, 1, 'k', 0, 1, 0, 0, 0, 9, 1, 2, 0, 7}));
  veskvstig_elem_free(&e);

  veskvstig_elem_s back{};
  veskobj_t k2 = nullptr;
  EXPECT_EQ(veskvstig_elem_deserialize(&k2, &back, p.p, 0, vm), 15);
  ASSERT_TRUE(k2 && veskobj_isstring(k2));
  EXPECT_STREQ(k2->s.str, "k");
  EXPECT_EQ(back.data->i.value, 9);
  EXPECT_EQ(back.timestamp, 0x0102);
  EXPECT_EQ(back.robot, 7);
  /* Each missing part fails. */
  for (size_t cut = 0; cut < p.bytes().size(); ++cut) {
    Bytes part = p.bytes();
    part.resize(cut);
    Payload q(part);
    veskvstig_elem_s e2{};
    EXPECT_EQ(veskvstig_elem_deserialize(&k2, &e2, q.p, 0, vm), -1) << cut;
  }
}

TEST(SwarmWire, KeysOfEqualValueAreOneKey) {
  EmptyVm vm;
  veskobj_t one = vm.num(1);
  veskvm_pushf(vm, 1.0f);
  veskobj_t onef = veskvm_stack_at(vm, 1);
  veskvm_pushf(vm, 1.5f);
  veskobj_t onehalf = veskvm_stack_at(vm, 1);
  veskvm_pushf(vm, NAN);
  veskobj_t nan = veskvm_stack_at(vm, 1);
  EXPECT_TRUE(veskmsg_key_eq(one, onef));
  EXPECT_EQ(veskmsg_key_hash(one), veskmsg_key_hash(onef));
  EXPECT_FALSE(veskmsg_key_eq(one, onehalf));
  EXPECT_TRUE(veskmsg_key_eq(nan, nan));
  EXPECT_TRUE(veskmsg_key_eq(vm.str("ab"), vm.str("ab")));
  EXPECT_FALSE(veskmsg_key_eq(vm.str("1"), one));
  EXPECT_FALSE(veskmsg_key_valid(nested_table(vm, 1)));
}
