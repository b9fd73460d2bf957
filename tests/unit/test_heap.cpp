/*
 * Heap and collector: thresholds, roots, cycles, strings, deep structures.
 */
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "veskvm.h"

namespace {

class Heap : public ::testing::Test {
protected:
  ~Heap() override { veskvm_destroy(&vm); }

  int64_t count() const { return veskdarray_size(vm->heap->objs); }
  void gc() { veskheap_gc(vm); }
  // A collection now, whatever the threshold.
  void collect() {
    vm->heap->marklimit = 0;
    veskheap_gc(vm);
  }
  veskobj_t obj(uint16_t type) { return veskheap_newobj(vm->heap, type); }
  veskobj_t integer(int32_t v) {
    veskobj_t o = obj(VESKTYPE_INT);
    o->i.value = v;
    return o;
  }
  veskobj_t string(const char *text, int protect = 0) {
    veskobj_t o = obj(VESKTYPE_STRING);
    o->s.id = veskstrman_register(vm->strings, text, protect);
    o->s.str = veskstrman_get(vm->strings, o->s.id);
    return o;
  }
  void push(veskobj_t o) { veskdarray_push(vm->stack, &o); }
  static void put(veskobj_t t, veskobj_t k, veskobj_t v) {
    veskdict_set(t->t.value, &k, &v);
  }
  void set_global(const char *name, veskobj_t o, int protect = 1) {
    int32_t id = veskstrman_register(vm->strings, name, protect);
    veskdict_set(vm->gsyms, &id, &o);
  }
  void drop_global(const char *name) {
    int32_t id = veskstrman_register(vm->strings, name, 1);
    veskdict_remove(vm->gsyms, &id);
  }
  bool alive(veskobj_t o) const {
    for (int64_t i = 0; i < count(); ++i)
      if (veskdarray_get(vm->heap->objs, i, veskobj_t) == o) return true;
    return false;
  }
  // Held by a global, root keeps all objects, last among them, through a
  // collection; once the global is gone the next collection frees them all.
  void expect_kept_then_freed(veskobj_t root, veskobj_t last, int64_t objects) {
    set_global("chain", root);
    collect();
    EXPECT_EQ(count(), objects);
    EXPECT_TRUE(alive(last));
    drop_global("chain");
    collect();
    EXPECT_EQ(count(), 0);
  }

  veskvm_t vm = veskvm_new(1);
};

TEST_F(Heap, FirstCollectionWaitsForAnObject) {
  ASSERT_EQ(count(), 0);
  EXPECT_EQ(vm->heap->marklimit, 1u);
  gc(); // 0 < 1: nothing happens
  EXPECT_EQ(vm->heap->marker, 0);
  push(integer(3));
  gc();
  EXPECT_EQ(vm->heap->marker, 1);
  EXPECT_EQ(count(), 1);
  EXPECT_EQ(vm->heap->marklimit, 2u);
}

TEST_F(Heap, ThresholdIsTwiceTheSurvivors) {
  for (int i = 0; i < 5; ++i)
    push(integer(i));
  for (int i = 0; i < 3; ++i)
    integer(100 + i); // garbage
  gc();
  EXPECT_EQ(count(), 5);
  EXPECT_EQ(vm->heap->marklimit, 10u);
  uint16_t marker = vm->heap->marker;
  for (int i = 0; i < 4; ++i)
    integer(i);
  gc(); // 9 objects: not yet
  EXPECT_EQ(vm->heap->marker, marker);
  EXPECT_EQ(count(), 9);
  integer(9);
  gc(); // 10 objects
  EXPECT_EQ(vm->heap->marker, marker + 1);
  EXPECT_EQ(count(), 5);
  veskdarray_truncate(vm->stack, 0);
  integer(0);
  integer(0);
  integer(0);
  integer(0);
  integer(0);
  gc();
  EXPECT_EQ(count(), 0);
  EXPECT_EQ(vm->heap->marklimit, 1u); // nothing survived
}

TEST_F(Heap, SurvivorsKeepCreationOrder) {
  std::vector<veskobj_t> made;
  for (int i = 0; i < 6; ++i)
    made.push_back(integer(i));
  push(made[4]);
  push(made[1]);
  push(made[5]);
  gc();
  ASSERT_EQ(count(), 3);
  EXPECT_EQ(veskdarray_get(vm->heap->objs, 0, veskobj_t), made[1]);
  EXPECT_EQ(veskdarray_get(vm->heap->objs, 1, veskobj_t), made[4]);
  EXPECT_EQ(veskdarray_get(vm->heap->objs, 2, veskobj_t), made[5]);
}

TEST_F(Heap, UnreachableCyclesAreFreedReachableOnesKept) {
  veskobj_t lost = obj(VESKTYPE_TABLE), only_in_lost = integer(7);
  put(lost, integer(1), lost);
  put(lost, integer(2), only_in_lost);

  veskobj_t kept = obj(VESKTYPE_TABLE), inner = obj(VESKTYPE_TABLE);
  put(kept, integer(1), inner);
  put(inner, integer(1), kept);
  push(kept);
  gc();
  EXPECT_FALSE(alive(lost));
  EXPECT_FALSE(alive(only_in_lost));
  EXPECT_TRUE(alive(kept));
  EXPECT_TRUE(alive(inner));
  EXPECT_EQ(count(), 4); // the two tables and their two keys
}

TEST_F(Heap, EveryRootKeepsItsObjects) {
  // a global whose value is a table holding a closure that captured a string
  veskobj_t t = obj(VESKTYPE_TABLE), c = obj(VESKTYPE_CLOSURE);
  veskobj_t captured = string("captured");
  veskdarray_push(c->c.actrec, &captured);
  put(t, string("key"), c);
  set_global("g", t, 0); // a collectable name

  // an operand stack below the current one, and a call frame
  veskdarray_t outer = veskdarray_new(1, sizeof(veskobj_t), nullptr);
  veskobj_t on_outer = integer(1);
  veskdarray_push(outer, &on_outer);
  veskdarray_insert(vm->stacks, 0, &outer);
  veskdarray_t syms = veskdarray_new(1, sizeof(veskobj_t), nullptr);
  veskobj_t local = integer(2);
  veskdarray_push(syms, &local);
  veskvm_lsyms_t frame = veskvm_lsyms_new(0, syms);
  veskdarray_push(vm->lsymts, &frame);
  vm->lsyms = frame;

  // a listener: topic string id and closure
  uint16_t topic = veskstrman_register(vm->strings, "topic", 0);
  veskobj_t listener = obj(VESKTYPE_CLOSURE);
  veskdict_set(vm->listeners, &topic, &listener);

  veskobj_t garbage = integer(3);
  gc();
  for (veskobj_t o : {t, c, captured, on_outer, local, listener})
    EXPECT_TRUE(alive(o));
  EXPECT_FALSE(alive(garbage));
  EXPECT_STREQ(veskstrman_get(vm->strings, captured->s.id), "captured");
  EXPECT_STREQ(veskstrman_get(vm->strings, topic), "topic");
  int32_t gname = veskstrman_register(vm->strings, "g", 0);
  EXPECT_NE(veskdict_get(vm->gsyms, &gname, veskobj_t), nullptr); // found by its name

  veskdict_remove(vm->listeners, &topic);
  drop_global("g");
  veskdarray_truncate(outer, 0);
  collect();
  for (veskobj_t o : {t, c, captured, on_outer, listener})
    EXPECT_FALSE(alive(o));
  EXPECT_TRUE(alive(local));
  EXPECT_EQ(veskstrman_get(vm->strings, topic), nullptr);
}

TEST_F(Heap, StringsLiveAsLongAsTheirObjects) {
  veskobj_t s = string("runtime");
  uint16_t id = s->s.id;
  uint16_t prot = veskstrman_register(vm->strings, "kept", 1);
  push(s);
  gc();
  EXPECT_STREQ(veskstrman_get(vm->strings, id), "runtime");
  veskvm_pop(vm);
  integer(0); // reach the threshold again
  gc();
  EXPECT_EQ(veskstrman_get(vm->strings, id), nullptr);
  EXPECT_STREQ(veskstrman_get(vm->strings, prot), "kept");
  EXPECT_GT(veskstrman_register(vm->strings, "runtime", 0), id); // a new id
}

// Deep copies (as messages and stigmergies hold them) live outside the heap,
// but marking them keeps alive the strings and captured objects they name.
TEST_F(Heap, CopiesOutsideTheHeapKeepWhatTheyReferTo) {
  veskobj_t captured = integer(5), c = obj(VESKTYPE_CLOSURE), t = obj(VESKTYPE_TABLE);
  veskdarray_push(c->c.actrec, &captured);
  veskobj_t text = string("inside");
  uint16_t id = text->s.id;
  put(t, integer(1), text);
  put(t, integer(2), c);
  veskobj_t copy = veskobj_iclone(t);
  uint16_t topic = veskstrman_register(vm->strings, "copy", 1);
  veskdict_set(vm->listeners, &topic, &copy);
  collect();
  EXPECT_EQ(count(), 1);
  EXPECT_TRUE(alive(captured));
  EXPECT_STREQ(veskstrman_get(vm->strings, id), "inside");

  veskdict_remove(vm->listeners, &topic);
  veskobj_idestroy(&copy);
  collect();
  EXPECT_EQ(count(), 0);
  EXPECT_EQ(veskstrman_get(vm->strings, id), nullptr);
}

// Objects made outside the heap start with marker 0; a wrapping generation
// counter must not make them look already marked.
TEST_F(Heap, GenerationCounterSkipsZeroWhenItWraps) {
  veskobj_t outside = veskobj_new(VESKTYPE_TABLE);
  veskobj_t key = veskobj_new(VESKTYPE_INT), text = veskobj_new(VESKTYPE_STRING);
  text->s.id = veskstrman_register(vm->strings, "outside", 0);
  text->s.str = veskstrman_get(vm->strings, text->s.id);
  put(outside, key, text);
  uint16_t topic = veskstrman_register(vm->strings, "t", 1);
  veskdict_set(vm->listeners, &topic, &outside);
  vm->heap->marker = UINT16_MAX;
  push(integer(1));
  collect();
  EXPECT_EQ(vm->heap->marker, 1);
  EXPECT_STREQ(veskstrman_get(vm->strings, text->s.id), "outside");
  veskdict_remove(vm->listeners, &topic);
  veskobj_idestroy(&outside);
}

TEST_F(Heap, MillionDeepChainIsMarkedAndFreed) {
  const int depth = 1000000;
  veskobj_t root = obj(VESKTYPE_TABLE), cur = root;
  veskobj_t key = integer(0);
  for (int i = 0; i < depth; ++i) {
    veskobj_t next = obj(VESKTYPE_TABLE);
    put(cur, key, next);
    cur = next;
  }
  expect_kept_then_freed(root, cur, depth + 2);
}

// Closures whose only element (self) is the next closure: all stay
// reachable through the first, however long the chain.
TEST_F(Heap, MillionClosuresEachTheSelfOfTheLastAreMarked) {
  const int depth = 1000000;
  veskobj_t root = obj(VESKTYPE_CLOSURE), cur = root;
  for (int i = 0; i < depth; ++i) {
    veskobj_t next = obj(VESKTYPE_CLOSURE);
    veskdarray_push(cur->c.actrec, &next);
    cur = next;
  }
  veskobj_t last = obj(VESKTYPE_TABLE);
  veskdarray_push(cur->c.actrec, &last);
  expect_kept_then_freed(root, last, depth + 2);
}

TEST_F(Heap, SeventyThousandStringsInOneVM) {
  for (int i = 0; i < 70000; ++i) {
    std::string text = "s" + std::to_string(i);
    ASSERT_EQ(veskvm_pushstr(vm, text.c_str(), 0), VESKVM_STATE_NOCODE)
        << veskvm_strerror(vm);
    ASSERT_STREQ(veskvm_stack_at(vm, 1)->s.str, text.c_str());
    if (i % 3 != 0) veskvm_pop(vm); // a third stays on the stack for a while
    if (i % 300 == 299) veskdarray_truncate(vm->stack, 0);
    gc();
  }
  EXPECT_LT(vm->strings->id2str->size, 1000u);
}

// A script that keeps replacing a global by a new self-referencing table:
//   g = {}; loop: g[1] = g; g = {}; jump loop
TEST(HeapScript, CyclicGarbageOfARunningScriptIsReclaimed) {
  const uint8_t code[] = {
      0x01, 0x00, 'g',  0x00,                   // one string: "g"
      0x00,                                     // 4: nop (end of prologue)
      0x20, 0x00, 0x00, 0x00, 0x00, 0x19, 0x18, // 5: pushs g; pusht; gstore
      0x20, 0x00, 0x00, 0x00, 0x00, 0x17,       // 12: pushs g; gload
      0x1F, 0x01, 0x00, 0x00, 0x00,             // 18: pushi 1
      0x20, 0x00, 0x00, 0x00, 0x00, 0x17, 0x1A, // 23: pushs g; gload; tput
      0x20, 0x00, 0x00, 0x00, 0x00, 0x19, 0x18, // 30: pushs g; pusht; gstore
      0x26, 0x0C, 0x00, 0x00, 0x00,             // 37: jump 12
      0x01};                                    // 42: done
  veskvm_t vm = veskvm_new(3);
  ASSERT_EQ(veskvm_set_bcode(vm, code, sizeof code), VESKVM_STATE_READY)
      << veskvm_strerror(vm);
  int64_t baseline = veskdarray_size(vm->heap->objs);
  int64_t most = 0;
  for (int i = 0; i < 200000; ++i) {
    ASSERT_EQ(veskvm_step(vm), VESKVM_STATE_READY) << veskvm_strerror(vm);
    most = std::max<int64_t>(most, veskdarray_size(vm->heap->objs));
  }
  // the live set is the libraries plus one table: the heap never grows past
  // twice that plus one loop's worth of objects
  EXPECT_LT(most, 2 * baseline + 50);
  veskvm_destroy(&vm);
}

} // namespace
