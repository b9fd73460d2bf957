/*
 * Script-level swarm facilities, on one VM and on whole swarms run through
 * the harness with scripts compiled from tests/data/swarm.
 */
#include <cmath>
#include <cstring>
#include <memory>

#include "swarm_util.h"

using namespace swarm_test;

namespace {

/* t[key] for a string key, or null. */
veskobj_t field(veskobj_t t, const char *key) {
  if (!t || !veskobj_istable(t)) return nullptr;
  struct Find {
    const char *key;
    veskobj_t found;
  } find{key, nullptr};
  veskdict_foreach(
      t->t.value,
      [](const void *k, void *v, void *params) {
        auto *f = static_cast<Find *>(params);
        veskobj_t stored = *static_cast<const veskobj_t *>(k);
        if (veskobj_isstring(stored) && strcmp(stored->s.str, f->key) == 0)
          f->found = *static_cast<veskobj_t *>(v);
      },
      &find);
  return find.found;
}

veskobj_t ifield(veskobj_t t, int32_t key) {
  if (!t || !veskobj_istable(t)) return nullptr;
  veskobj_t k = veskobj_new(VESKTYPE_INT);
  k->i.value = key;
  veskobj_t *v = veskdict_get(t->t.value, &k, veskobj_t);
  veskobj_destroy(&k);
  return v ? *v : nullptr;
}

int32_t as_int(veskobj_t o) {
  EXPECT_TRUE(o && veskobj_isint(o));
  return o && veskobj_isint(o) ? o->i.value : INT32_MIN;
}

/* Globals the setup callback gives every robot of a harness. */
struct Globals {
  std::vector<std::pair<const char *, int32_t>> values;
  static void setup(veskvm_t vm, uint32_t, void *params) {
    for (auto &[name, v] : static_cast<Globals *>(params)->values)
      set_global_int(vm, name, v);
  }
};

/* A received stigmergy put of an integer under a string key. */
Bytes put_msg(uint16_t id, const char *key, int32_t value, uint16_t ts, uint16_t writer) {
  EmptyVm scratch;
  veskvstig_elem_t e = veskvstig_elem_new(veskobj_iclone(scratch.num(value)), ts, writer);
  Payload p;
  veskmsg_serialize_u8(p.p, VESKMSG_VSTIG_PUT);
  veskmsg_serialize_u16(p.p, id);
  veskvstig_elem_serialize(p.p, scratch.str(key), e);
  veskvstig_elem_free(&e);
  return p.bytes();
}

void receive(veskvm_t vm, const Bytes &msg) {
  veskinmsg_queue_append(vm, payload_of(msg));
  veskvm_process_inmsgs(vm);
}

/* Runs a script whose top level ends in "done", then makes it ready for host calls. */
void ready(ScriptVm &vm) {
  ASSERT_TRUE(vm.loaded());
  ASSERT_EQ(vm.vm()->state, VESKVM_STATE_DONE) << vm.error();
  vm.vm()->state = VESKVM_STATE_READY;
}

} // namespace

/*
 * Whole behaviours through the harness.
 */

TEST(SwarmBehaviour, BroadcastReachesEveryRobotInRangeOnly) {
  Swarm sw("broadcast.vsk", {10, 11, 12, 13});
  ASSERT_TRUE(sw.loaded());
  veskharness_link_both(sw.h(), 0, 1, 1.5f);
  veskharness_link_both(sw.h(), 0, 2, 2.5f);
  veskharness_link_both(sw.h(), 2, 3, 1.0f);
  ASSERT_TRUE(sw.step(3));
  veskobj_t heard0 = global(sw.vm(0), "heard");
  EXPECT_EQ(as_int(ifield(heard0, 11)), 110);
  EXPECT_EQ(as_int(ifield(heard0, 12)), 120);
  EXPECT_EQ(ifield(heard0, 13), nullptr);
  EXPECT_STREQ(ifield(global(sw.vm(0), "from"), 11)->s.str, "ab");
  /* Two senders, each heard in steps 2 and 3: no copies, no strays. */
  EXPECT_EQ(global_int(sw.vm(0), "count"), 4);
  EXPECT_EQ(global_int(sw.vm(0), "near"), 2);
  EXPECT_FLOAT_EQ(global(sw.vm(0), "dist")->f.value, 4.0f);
  veskobj_t heard3 = global(sw.vm(3), "heard");
  EXPECT_EQ(as_int(ifield(heard3, 12)), 120);
  EXPECT_EQ(ifield(heard3, 10), nullptr);
  EXPECT_EQ(global_int(sw.vm(3), "count"), 2);
}

TEST(SwarmBehaviour, StigmergyPutSpreadsAlongALineAndIsOverwritten) {
  Swarm sw("stigmergy_line.vsk", {1, 2, 3, 4, 5});
  ASSERT_TRUE(sw.loaded());
  sw.line();
  /* One hop per step: robot 5 holds the value by step 5. */
  ASSERT_TRUE(sw.step(5));
  for (uint32_t i = 0; i < 5; ++i) {
    EXPECT_EQ(as_int(global(sw.vm(i), "seen")), 42) << "robot " << i + 1;
    veskvstig_elem_t e = vstig_entry(sw.vm(i), 1, "k");
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->timestamp, 1);
    EXPECT_EQ(e->robot, 1);
  }
  ASSERT_TRUE(sw.step(26 + 5));
  for (uint32_t i = 0; i < 5; ++i) {
    veskobj_t seen = global(sw.vm(i), "seen");
    EXPECT_EQ(as_int(field(seen, "v")), 99) << "robot " << i + 1;
    ASSERT_NE(field(seen, "who"), nullptr);
    EXPECT_STREQ(field(seen, "who")->s.str, "one");
    EXPECT_EQ(vstig_entry(sw.vm(i), 1, "k")->timestamp, 2);
  }
}

TEST(SwarmBehaviour, SimultaneousWritesGoToTheLargerWriter) {
  Globals g{{{"mode", 0}}};
  Swarm sw("conflict.vsk", {3, 8}, 256, Globals::setup, &g);
  ASSERT_TRUE(sw.loaded());
  sw.full();
  ASSERT_TRUE(sw.step(6));
  for (uint32_t i = 0; i < 2; ++i) {
    EXPECT_EQ(as_int(global(sw.vm(i), "result")), 800);
    EXPECT_EQ(vstig_entry(sw.vm(i), 7, "x")->robot, 8);
  }
  EXPECT_EQ(global_int(sw.vm(0), "lost"), 1);
  EXPECT_EQ(global_int(sw.vm(0), "lostdata"), 300);
  EXPECT_EQ(global_int(sw.vm(1), "lost"), 0);
}

TEST(SwarmBehaviour, ConflictHandlerChoosesAndTheLoserIsTold) {
  Globals g{{{"mode", 1}}};
  Swarm sw("conflict.vsk", {3, 8}, 256, Globals::setup, &g);
  ASSERT_TRUE(sw.loaded());
  sw.full();
  ASSERT_TRUE(sw.step(6));
  for (uint32_t i = 0; i < 2; ++i) {
    EXPECT_EQ(as_int(global(sw.vm(i), "result")), 300);
    EXPECT_EQ(vstig_entry(sw.vm(i), 7, "x")->robot, 3);
    EXPECT_EQ(vstig_entry(sw.vm(i), 7, "x")->timestamp, 1);
  }
  EXPECT_EQ(global_int(sw.vm(0), "lost"), 0);
  EXPECT_EQ(global_int(sw.vm(1), "lost"), 1);
  EXPECT_EQ(global_int(sw.vm(1), "lostdata"), 800);
}

TEST(SwarmBehaviour, MembershipsAreLearntAndForgotten) {
  Globals g{{{"leave_at", 5}, {"rejoin_at", 8}}};
  Swarm sw("membership.vsk", {1, 2, 3}, 256, Globals::setup, &g);
  ASSERT_TRUE(sw.loaded());
  sw.full();
  veskvm_t r1 = sw.vm(0), r3 = sw.vm(2);
  ASSERT_TRUE(sw.step(1));
  EXPECT_TRUE(veskswarm_members_isrobotin(r3->swarmmembers, 1, 3));
  EXPECT_TRUE(veskswarm_members_isrobotin(r3->swarmmembers, 2, 3));
  EXPECT_FALSE(veskswarm_members_isrobotin(r1->swarmmembers, 3, 3));
  /* Outside exec every neighbour is kin; inside, only swarm 3's members. */
  EXPECT_EQ(global_int(r1, "kinall"), 2);
  EXPECT_EQ(global_int(r1, "nonkinall"), 0);
  EXPECT_EQ(global_int(r1, "kin"), 1);
  EXPECT_EQ(global_int(r1, "nonkin"), 1);
  EXPECT_EQ(global_int(r1, "inside"), 3);
  EXPECT_EQ(global_int(r3, "kin"), -1); /* not a member: exec never ran */

  ASSERT_TRUE(sw.step(5)); /* robot 2 left in step 5, heard in step 6 */
  EXPECT_FALSE(veskswarm_members_isrobotin(r1->swarmmembers, 2, 3));
  EXPECT_EQ(global_int(r1, "kin"), 0);
  EXPECT_EQ(global_int(r1, "nonkin"), 2);
  ASSERT_TRUE(sw.step(3)); /* rejoined in step 8, heard in step 9 */
  EXPECT_TRUE(veskswarm_members_isrobotin(r1->swarmmembers, 2, 3));
  EXPECT_EQ(global_int(r1, "kin"), 1);

  ASSERT_TRUE(sw.step(1)); /* step 10: each member queues its swarm list */
  veskharness_unlink(sw.h(), 1, 0);
  veskharness_unlink(sw.h(), 1, 2);
  /* Last news in step 9 (its list of step 10 is never heard): 50 updates kept. */
  ASSERT_TRUE(sw.step(48));
  EXPECT_TRUE(veskswarm_members_isrobotin(r1->swarmmembers, 2, 3));
  ASSERT_TRUE(sw.step(1));
  EXPECT_FALSE(veskswarm_members_isrobotin(r1->swarmmembers, 2, 3));
  EXPECT_TRUE(
      veskswarm_members_isrobotin(r3->swarmmembers, 1, 3)); /* lists keep it fresh */
}

TEST(SwarmBehaviour, ARobotThatLeavesItsLastSwarmIsNoLongerKinAtTheNextStep) {
  /* Robot 2 leaves in step 10, when its periodic list is due: the list,
     now empty, supersedes the pending leave. */
  Globals g{{{"leave_at", 10}, {"rejoin_at", 0}}};
  Swarm sw("membership.vsk", {1, 2, 3}, 256, Globals::setup, &g);
  ASSERT_TRUE(sw.loaded());
  sw.full();
  veskvm_t r1 = sw.vm(0);
  ASSERT_TRUE(sw.step(10));
  EXPECT_EQ(global_int(r1, "kin"), 1);
  ASSERT_TRUE(sw.step(1));
  EXPECT_FALSE(veskswarm_members_isrobotin(r1->swarmmembers, 2, 3));
  EXPECT_EQ(global_int(r1, "kin"), 0);
  EXPECT_EQ(global_int(r1, "nonkin"), 2);
}

TEST(SwarmBehaviour, MessagesThatDoNotFitWaitInOrder) {
  Swarm sw("packing.vsk", {1, 2}, 40);
  ASSERT_TRUE(sw.loaded());
  sw.full();
  ASSERT_TRUE(sw.step(2));
  veskvm_t r2 = sw.vm(1);
  EXPECT_EQ(global_int(r2, "n"), 2);
  ASSERT_TRUE(sw.step(1));
  EXPECT_EQ(global_int(r2, "n"), 3);
  for (int i = 1; i <= 3; ++i)
    EXPECT_EQ(as_int(ifield(global(r2, "got"), i)), i);
  /* "when" is the number of steps robot 2 had finished on arrival. */
  EXPECT_EQ(as_int(ifield(global(r2, "when"), 1)), 1);
  EXPECT_EQ(as_int(ifield(global(r2, "when"), 2)), 1);
  EXPECT_EQ(as_int(ifield(global(r2, "when"), 3)), 2);
}

TEST(SwarmPacket, MessagesAreLengthPrefixedAndWhatDoesNotFitWaits) {
  EmptyVm vm(7);
  /* Messages of 10 and 18 bytes with a payload of 32: the second waits. */
  veskoutmsg_queue_append_broadcast(vm, vm.str("a"), veskheap_newobj(vm.vm()->heap, 0));
  veskoutmsg_queue_append_broadcast(vm, vm.str("a"), vm.str("xxxxxx"));
  uint8_t packet[32];
  EXPECT_EQ(veskpacket_build(vm, packet, sizeof packet), 1u);
  Bytes expect = {0, 7, 0, 10, 0, 0, 7, 0, 3, 0, 1, 'a', 0, 0};
  expect.resize(32, 0);
  EXPECT_EQ(Bytes(packet, packet + 32), expect);
  EXPECT_EQ(veskoutmsg_queue_size(vm), 1u);
  EXPECT_EQ(veskpacket_build(vm, packet, sizeof packet), 1u);
  EXPECT_EQ(veskoutmsg_queue_size(vm), 0u);
  EXPECT_EQ(veskpacket_build(vm, packet, sizeof packet), 0u);
  EXPECT_EQ(Bytes(packet, packet + 4), (Bytes{0, 7, 0, 0}));

  /* Receiving: the sender becomes a neighbour; a length past the end is skipped. */
  EmptyVm rx(1);
  Bytes in = {0, 9, 0, 5, 4, 0, 9, 0, 3, 0, 40, 5, 0, 9};
  EXPECT_EQ(veskpacket_receive(rx, in.data(), static_cast<uint32_t>(in.size()), 1, 0, 0),
            9);
  EXPECT_EQ(veskdarray_size(rx.vm()->inmsgs), 1);
  veskvm_process_inmsgs(rx);
  EXPECT_TRUE(veskswarm_members_isrobotin(rx.vm()->swarmmembers, 9, 3));
  EXPECT_EQ(veskpacket_receive(rx, in.data(), 1, 1, 0, 0), -1);
}

TEST(SwarmPacket, AMessageNoPacketCanCarryIsDroppedWithAWarning) {
  EmptyVm vm(7);
  veskpacket_set_size(vm, 16); /* carries messages of up to 12 bytes */
  testing::internal::CaptureStderr();
  veskoutmsg_queue_append_broadcast(vm, vm.str("a"), vm.str("x")); /* 13 bytes */
  veskoutmsg_queue_append_broadcast(vm, vm.str("a"), vm.str(""));  /* 12 bytes */
  EXPECT_EQ(
      testing::internal::GetCapturedStderr(),
      "[WARNING] [ROBOT 7] Dropping VESKMSG_BROADCAST message of 13 bytes: a packet "
      "carries at most 12\n");
  EXPECT_EQ(veskoutmsg_queue_size(vm), 1u);
  /* A message queued before the size was known, or a packet smaller than
     announced, never stalls the messages behind it. */
  veskpacket_set_size(vm, 64);
  veskoutmsg_queue_append_broadcast(vm, vm.str("a"), vm.str("xxxxxxxxxxxxxxxxxxxx"));
  veskoutmsg_queue_append_swarm_joinleave(vm, VESKMSG_SWARM_JOIN, 3);
  uint8_t packet[16];
  testing::internal::CaptureStderr();
  EXPECT_EQ(veskpacket_build(vm, packet, sizeof packet), 1u);
  EXPECT_EQ(veskpacket_build(vm, packet, sizeof packet), 1u);
  EXPECT_EQ(
      testing::internal::GetCapturedStderr(),
      "[WARNING] [ROBOT 7] Dropping VESKMSG_BROADCAST message of 32 bytes: a packet "
      "carries at most 12\n");
  EXPECT_EQ(Bytes(packet, packet + 9), (Bytes{0, 7, 0, 5, 4, 0, 7, 0, 3}));
  EXPECT_EQ(veskoutmsg_queue_size(vm), 0u);
}

/*
 * Script functions on one VM.
 */

TEST(SwarmScript, SwarmIdFollowsNestedExec) {
  ScriptVm vm(R"(
var a = swarm.create(5)
var b = swarm.create(7)
a.join()
b.join()
var outside = swarm.id()
a.exec(function() {
  one = swarm.id()
  b.exec(function() {
    inner = swarm.id()
    lvl2 = swarm.id(2)
    lvl9 = swarm.id(9)
    lvl0 = swarm.id(0)
    neg = swarm.id(-1)
  })
  back = swarm.id()
})
var after = swarm.id()
)");
  ASSERT_TRUE(vm.loaded());
  ASSERT_EQ(vm.vm()->state, VESKVM_STATE_DONE) << vm.error();
  EXPECT_TRUE(veskobj_isnil(global(vm, "outside")));
  EXPECT_EQ(global_int(vm, "one"), 5);
  EXPECT_EQ(global_int(vm, "inner"), 7);
  EXPECT_EQ(global_int(vm, "lvl2"), 5);
  EXPECT_EQ(global_int(vm, "lvl9"), 5);
  EXPECT_TRUE(veskobj_isnil(global(vm, "lvl0")));
  EXPECT_TRUE(veskobj_isnil(global(vm, "neg")));
  EXPECT_EQ(global_int(vm, "back"), 5);
  EXPECT_TRUE(veskobj_isnil(global(vm, "after")));
  EXPECT_EQ(veskdarray_size(vm.vm()->swarmstack), 0);
}

TEST(SwarmScript, MembershipFlagsAndMessages) {
  ScriptVm vm(R"(
var s = swarm.create(5)
s.join()
s = swarm.create(5)
var kept = s.in()
s.select(0)
var after0 = s.in()
s.select(1)
var after1 = s.in()
var o = s.others(6)
var o6 = o.in()
var t = swarm.create(9)
var p = t.others(10)
var p10 = p.in()
var ran = 0
t.exec(function() { ran = 1 })
)",
              4);
  ASSERT_TRUE(vm.loaded());
  ASSERT_EQ(vm.vm()->state, VESKVM_STATE_DONE) << vm.error();
  EXPECT_EQ(global_int(vm, "kept"), 1);
  EXPECT_EQ(global_int(vm, "after0"), 0);
  EXPECT_EQ(global_int(vm, "after1"), 1);
  EXPECT_EQ(global_int(vm, "o6"), 0);
  EXPECT_EQ(global_int(vm, "p10"), 1);
  EXPECT_EQ(global_int(vm, "ran"), 0);
  /* join 5 / leave 5 / join 5 collapse into one join; others(10) joins 10. */
  EXPECT_EQ(drain(vm), (std::vector<Bytes>{{4, 0, 4, 0, 5}, {4, 0, 4, 0, 10}}));
}

TEST(SwarmScript, OthersThatClearsAJoinedSwarmAnnouncesTheLeave) {
  ScriptVm vm(R"(
var a = swarm.create(1)
var b = swarm.create(2)
b.join()
a.join()
var c = a.others(2)
var c2 = c.in()
var d = a.others(3)
)",
              4);
  ASSERT_TRUE(vm.loaded());
  ASSERT_EQ(vm.vm()->state, VESKVM_STATE_DONE) << vm.error();
  EXPECT_EQ(global_int(vm, "c2"), 0);
  /* The leave of 2 cancels its pending join; 3 was never joined: nothing. */
  EXPECT_EQ(drain(vm), (std::vector<Bytes>{{4, 0, 4, 0, 1}, {5, 0, 4, 0, 2}}));
}

TEST(SwarmScript, SwarmErrors) {
  ScriptVm unknown(R"(
var s = swarm.create(5)
s.id = 6
s.join()
)");
  ASSERT_TRUE(unknown.loaded());
  EXPECT_EQ(unknown.error(), "unknown swarm id");
  ScriptVm badarg(R"(swarm.create("x"))");
  EXPECT_EQ(badarg.error(), "type mismatch: expected integer, got string");
  ScriptVm arity(R"(
var s = swarm.create(5)
s.join(1)
)");
  EXPECT_EQ(arity.error(),
            "wrong number of local variables: expected 0 parameters, got 1");
  ScriptVm notclosure(R"(
var s = swarm.create(5)
s.join()
s.exec(3)
)");
  EXPECT_EQ(notclosure.error(), "type mismatch: expected closure, got integer");
  // a swarm object's id must stay an integer
  ScriptVm textid(R"(
var s = swarm.create(5)
s.id = "five"
s.join()
)");
  EXPECT_EQ(textid.error(), "type mismatch: expected integer, got string");
  ScriptVm noid(R"(
var s = swarm.create(5)
s.id = nil
s.leave()
)");
  EXPECT_EQ(noid.error(), "type mismatch: expected integer, got nil");
}

TEST(SwarmScript, StigmergyLocalOperations) {
  ScriptVm vm(R"(
var s = stigmergy.create(2)
var fresh = s.size()
var absent = s.get("nothing")
s.put("k", 1)
s.put("k", 2)
var two = s.get("k")
var one = s.size()
s = stigmergy.create(2)
var emptied = s.size()
)",
              6);
  ASSERT_TRUE(vm.loaded());
  ASSERT_EQ(vm.vm()->state, VESKVM_STATE_DONE) << vm.error();
  EXPECT_EQ(global_int(vm, "fresh"), 0);
  EXPECT_TRUE(veskobj_isnil(global(vm, "absent")));
  EXPECT_EQ(global_int(vm, "two"), 2);
  EXPECT_EQ(global_int(vm, "one"), 1);
  EXPECT_EQ(global_int(vm, "emptied"), 0);
  /* The get of the absent key carries nil, timestamp 1, this robot; the two
     puts of "k" leave one pending put with timestamp 2. */
  auto msgs = drain(vm);
  ASSERT_EQ(msgs.size(), 2u);
  EXPECT_EQ(msgs[0], (Bytes{2, 0, 2, 0, 3, 0, 1, 'k', 0, 1, 0, 0, 0, 2, 0, 2, 0, 6}));
  EXPECT_EQ(msgs[1], (Bytes{3,   0,   2,   0,   3, 0, 7, 'n', 'o', 't',
                            'h', 'i', 'n', 'g', 0, 0, 0, 1,   0,   6}));
}

TEST(SwarmScript, StoredValuesAreCopies) {
  ScriptVm vm(R"(
var s = stigmergy.create(1)
var t = { .a = 1 }
s.put("k", t)
t.a = 2
var got = s.get("k")
var a = got.a
got.a = 3
var again = s.get("k").a
)");
  ASSERT_TRUE(vm.loaded());
  ASSERT_EQ(vm.vm()->state, VESKVM_STATE_DONE) << vm.error();
  EXPECT_EQ(global_int(vm, "a"), 1);
  EXPECT_EQ(global_int(vm, "again"), 1);
}

TEST(SwarmScript, UnsendableValuesAreRefused) {
  std::string big(VESKMSG_MAX_STRLEN + 1, 'z');
  ScriptVm longtext("var big = \"" + big + "\"\nneighbors.broadcast(\"t\", big)\n");
  ASSERT_TRUE(longtext.loaded());
  EXPECT_EQ(longtext.vm()->state, VESKVM_STATE_ERROR);
  EXPECT_NE(longtext.error().find("65535"), std::string::npos) << longtext.error();
  EXPECT_EQ(veskoutmsg_queue_size(longtext), 0u);

  ScriptVm cycle(R"(
var t = { .a = 1 }
t.self = t
var s = stigmergy.create(1)
s.put("k", t)
)");
  EXPECT_EQ(cycle.vm()->state, VESKVM_STATE_ERROR);
  EXPECT_EQ(veskdict_size(veskvstig_find(cycle, 1)->data), 0u);

  ScriptVm tablekey(R"(
var s = stigmergy.create(1)
s.put({}, 1)
)");
  EXPECT_EQ(tablekey.error(),
            "type mismatch: expected nil, integer, float or string key, got table");
}

TEST(SwarmScript, NeighborsWithoutData) {
  ScriptVm vm(R"(
var c = neighbors.count()
var g = neighbors.get(4)
var m = neighbors.map(function(r, x) { return 1 })
var k = neighbors.kin()
var nk = neighbors.nonkin()
var acc = neighbors.reduce(function(r, x, a) { return a + 1 }, 17)
var derived_broadcast = k.broadcast
var has_map = m.map
)");
  ASSERT_TRUE(vm.loaded());
  ASSERT_EQ(vm.vm()->state, VESKVM_STATE_DONE) << vm.error();
  EXPECT_EQ(global_int(vm, "c"), 0);
  EXPECT_TRUE(veskobj_isnil(global(vm, "g")));
  EXPECT_EQ(field(global(vm, "m"), "data"), nullptr);
  EXPECT_EQ(field(global(vm, "k"), "data"), nullptr);
  EXPECT_EQ(global_int(vm, "acc"), 17);
  EXPECT_TRUE(veskobj_isnil(global(vm, "derived_broadcast")));
  EXPECT_TRUE(veskobj_isclosure(global(vm, "has_map")));
}

TEST(SwarmScript, NeighborsQueries) {
  ScriptVm vm(R"(
function query() {
  count = neighbors.count()
  d4 = neighbors.get(4).distance
  kept = neighbors.filter(function(r, rec) {
    if (r == 2) { return 0 }
    if (r == 3) { return 0.0 }
    return nil
  })
  doubled = neighbors.map(function(r, rec) { return r * 2 })
  sum = neighbors.reduce(function(r, rec, a) { return a + r }, 0)
  visits = 0
  neighbors.foreach(function(r, rec) { visits = visits + 1 })
  all = neighbors.kin().count()
  none = neighbors.nonkin().count()
}
)");
  ready(vm);
  veskneighbors_reset(vm);
  veskneighbors_add(vm, 2, 1.0f, 0.1f, 0.0f);
  veskneighbors_add(vm, 3, 2.0f, 0.2f, 0.0f);
  veskneighbors_add(vm, 4, 3.0f, 0.3f, 0.0f);
  veskneighbors_add(vm, 4, 4.5f, 0.4f, 0.1f); /* the second record of a step wins */
  ASSERT_EQ(vm.call("query"), VESKVM_STATE_READY) << vm.error();
  EXPECT_EQ(global_int(vm, "count"), 3);
  EXPECT_FLOAT_EQ(global(vm, "d4")->f.value, 4.5f);
  veskobj_t kept = field(global(vm, "kept"), "data");
  EXPECT_EQ(ifield(kept, 2), nullptr);
  EXPECT_NE(ifield(kept, 3), nullptr);
  EXPECT_EQ(ifield(kept, 4), nullptr);
  EXPECT_EQ(as_int(ifield(field(global(vm, "doubled"), "data"), 3)), 6);
  EXPECT_EQ(global_int(vm, "sum"), 9);
  EXPECT_EQ(global_int(vm, "visits"), 3);
  EXPECT_EQ(global_int(vm, "all"), 3);
  EXPECT_EQ(global_int(vm, "none"), 0);
  veskneighbors_reset(vm);
  ASSERT_EQ(vm.call("query"), VESKVM_STATE_ERROR); /* get(4) is nil now */
}

TEST(SwarmScript, NeighborsErrors) {
  ScriptVm noreturn(R"(
function run() { m = neighbors.map(function(r, rec) { x = 1 }) }
)");
  ready(noreturn);
  veskneighbors_add(noreturn, 2, 1, 0, 0);
  noreturn.call("run");
  EXPECT_EQ(
      noreturn.error(),
      "stack error: neighbors.map(function) expects the function to return a value");
  // a script that replaced the table makes the host's next record fail
  ScriptVm replaced(R"(neighbors = 5)");
  ready(replaced);
  veskneighbors_add(replaced, 2, 1, 0, 0);
  EXPECT_EQ(replaced.error(), "type mismatch: expected table, got integer");
  ScriptVm badtopic(R"(neighbors.listen(5, function(t, v, s) { }))");
  EXPECT_EQ(badtopic.error(), "type mismatch: expected string, got integer");
  ScriptVm arity(R"(neighbors.broadcast("t"))");
  EXPECT_EQ(arity.error(),
            "wrong number of local variables: expected 2 parameters, got 1");
}

TEST(SwarmScript, ListenIgnoreAndListenerErrors) {
  ScriptVm vm(R"(
var got = 0
neighbors.listen("a", function(t, v, s) { got = got + v })
neighbors.listen("b", function(t, v, s) { got = got + nosuch.field })
)");
  ready(vm);
  Bytes a5 = {0, 0, 2, 0, 3, 0, 1, 'a', 0, 1, 0, 0, 0, 5};
  Bytes b1 = {0, 0, 2, 0, 3, 0, 1, 'b', 0, 1, 0, 0, 0, 1};
  Bytes c1 = {0, 0,   2, 0, 3,   0,
              1, 'c', 0, 9, 0xFF}; /* no listener: value not even read */
  for (const Bytes &m : {a5, c1, a5})
    veskinmsg_queue_append(vm, payload_of(m));
  veskvm_process_inmsgs(vm);
  EXPECT_EQ(global_int(vm, "got"), 10);
  int64_t stack = veskvm_stack_size(vm);
  /* A failing listener stops script code; the queue is still emptied. */
  for (const Bytes &m : {b1, a5})
    veskinmsg_queue_append(vm, payload_of(m));
  veskvm_process_inmsgs(vm);
  EXPECT_EQ(vm.vm()->state, VESKVM_STATE_ERROR);
  EXPECT_EQ(veskdarray_size(vm.vm()->inmsgs), 0);
  EXPECT_EQ(global_int(vm, "got"), 10);
  (void)stack;

  ScriptVm ig(R"(
var got = 0
neighbors.listen("a", function(t, v, s) { got = got + v })
neighbors.ignore("a")
)");
  ready(ig);
  int64_t before = veskvm_stack_size(ig);
  receive(ig, a5);
  EXPECT_EQ(global_int(ig, "got"), 0);
  EXPECT_EQ(veskvm_stack_size(ig), before);
}

/* Conflicts on one robot (id 5) holding k = 1 written by itself at timestamp 1. */
class SwarmConflict : public ::testing::Test {
protected:
  std::unique_ptr<ScriptVm> vm;

  void load(const std::string &handler) {
    vm = std::make_unique<ScriptVm>(
        "var s = stigmergy.create(1)\n"
        "var lost = 0\n"
        "s.onconflictlost(function(k, e) { lost = lost + 1 })\n" +
            handler + "\ns.put(\"k\", 1)\n",
        5);
    ready(*vm);
    drain(*vm);
  }
  veskvstig_elem_t k() { return vstig_entry(*vm, 1, "k"); }
};

TEST_F(SwarmConflict, HandlerReturningANonTableKeepsTheLocalEntry) {
  load("s.onconflict(function(k, a, b) { return 7 })");
  testing::internal::CaptureStderr();
  receive(*vm, put_msg(1, "k", 2, 1, 9));
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "[WARNING] [ROBOT 5] Return value type is 1\n"
            "[WARNING] [ROBOT 5] Error resolving PUT conflict\n");
  EXPECT_EQ(k()->data->i.value, 1);
  EXPECT_EQ(k()->robot, 5);
  EXPECT_EQ(veskoutmsg_queue_size(*vm), 0u);
}

TEST_F(SwarmConflict, HandlerNamesTheWriter) {
  load("s.onconflict(function(key, a, b) {\n"
       "  seenkey = key\n  mine = a.data\n  theirs = b.data\n  stamp = b.timestamp\n"
       "  return { .robot = 3, .data = a.data + b.data }\n})");
  receive(*vm, put_msg(1, "k", 2, 1, 9));
  EXPECT_STREQ(global(*vm, "seenkey")->s.str, "k");
  EXPECT_EQ(global_int(*vm, "mine"), 1);
  EXPECT_EQ(global_int(*vm, "theirs"), 2);
  EXPECT_EQ(global_int(*vm, "stamp"), 1);
  EXPECT_EQ(k()->data->i.value, 3);
  EXPECT_EQ(k()->robot, 3);
  EXPECT_EQ(k()->timestamp, 1);
  EXPECT_EQ(global_int(*vm, "lost"), 1); /* robot 5's own value lost */
  EXPECT_EQ(drain(*vm), (std::vector<Bytes>{put_msg(1, "k", 3, 1, 3)}));
}

TEST_F(SwarmConflict, HandlerThatWritesTheKeyWins) {
  load("s.onconflict(function(key, a, b) {\n  s.put(key, 50)\n  return b\n})");
  receive(*vm, put_msg(1, "k", 2, 1, 9));
  /* The handler's own write is newer than both versions and stands. */
  EXPECT_EQ(k()->data->i.value, 50);
  EXPECT_EQ(k()->timestamp, 2);
  EXPECT_EQ(k()->robot, 5);
  EXPECT_EQ(global_int(*vm, "lost"), 0);
  EXPECT_EQ(drain(*vm), (std::vector<Bytes>{put_msg(1, "k", 50, 2, 5)}));
  EXPECT_EQ(vm->vm()->state, VESKVM_STATE_READY);
}

TEST_F(SwarmConflict, HandlerThatRecreatesTheStigmergyLeavesItFresh) {
  load("s.onconflict(function(key, a, b) {\n  got = s.get(key)\n"
       "  s = stigmergy.create(1)\n  return b\n})");
  receive(*vm, put_msg(1, "k", 2, 1, 9));
  EXPECT_EQ(global_int(*vm, "got"), 1);
  EXPECT_EQ(veskdict_size(veskvstig_find(*vm, 1)->data), 0u);
  EXPECT_EQ(vm->vm()->state, VESKVM_STATE_READY);
  /* The table works as before afterwards. */
  receive(*vm, put_msg(1, "k", 4, 1, 9));
  EXPECT_EQ(k()->data->i.value, 4);
}

TEST_F(SwarmConflict, HandlerErrorsStopScriptsNotDispatch) {
  load("s.onconflict(function(key, a, b) { return nosuch.x })");
  testing::internal::CaptureStderr();
  for (const Bytes &m : {put_msg(1, "k", 2, 1, 9), put_msg(1, "j", 3, 1, 9)})
    veskinmsg_queue_append(*vm, payload_of(m));
  veskvm_process_inmsgs(*vm);
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(vm->vm()->state, VESKVM_STATE_ERROR);
  EXPECT_EQ(k()->data->i.value, 1);
  ASSERT_NE(vstig_entry(*vm, 1, "j"), nullptr); /* no script needed for a new key */
  EXPECT_EQ(veskdarray_size(vm->vm()->inmsgs), 0);
}

TEST(SwarmScript, StigmergyStringsSurviveCollection) {
  ScriptVm vm(R"(
var s = stigmergy.create(1)
function work() {
  var i = 0
  while (i < 50) {
    s.put(string.concat("key", string.tostring(i)), string.concat("value", string.tostring(i)))
    i = i + 1
  }
}
work()
)");
  ASSERT_TRUE(vm.loaded());
  ASSERT_EQ(vm.vm()->state, VESKVM_STATE_DONE) << vm.error();
  vm.vm()->heap->marklimit = 0;
  veskheap_gc(vm);
  for (int i = 0; i < 200; ++i)
    veskvm_string_register(vm, ("noise" + std::to_string(i)).c_str(), 0);
  veskvstig_elem_t e = vstig_entry(vm, 1, "key7");
  ASSERT_NE(e, nullptr);
  EXPECT_STREQ(e->data->s.str, "value7");
  EXPECT_STREQ(veskvm_string_get(vm, e->data->s.id), "value7");
}
