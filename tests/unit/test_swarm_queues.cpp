/*
 * Message queues and dispatch: inbound order and capacity, outbound order
 * and de-duplication, the merge of received stigmergy messages, the swarm
 * membership table, and hostile input from peers.
 */
#include <random>

#include "swarm_util.h"

using namespace swarm_test;

namespace {

Bytes kind_msg(uint8_t kind, uint8_t tag) {
  return Bytes{kind, tag};
}

/* Kind bytes and tags of the inbound queue, front to back. */
std::vector<Bytes> inbound(veskvm_t vm) {
  std::vector<Bytes> out;
  for (int64_t i = 0; i < veskdarray_size(vm->inmsgs); ++i)
    out.push_back(bytes_of(veskdarray_get(vm->inmsgs, i, veskdarray_t)));
  return out;
}

void append(veskvm_t vm, const Bytes &b) {
  veskinmsg_queue_append(vm, payload_of(b));
}

void receive_one(veskvm_t vm, const Bytes &b) {
  append(vm, b);
  veskvm_process_inmsgs(vm);
}

/* A received stigmergy message: kind, stigmergy id, string key, value. */
Bytes vstig_bytes(EmptyVm &scratch, uint8_t kind, uint16_t id, const char *key,
                  veskobj_t value, uint16_t ts, uint16_t writer) {
  veskvstig_elem_t e = veskvstig_elem_new(veskobj_iclone(value), ts, writer);
  Payload p;
  veskmsg_serialize_u8(p.p, kind);
  veskmsg_serialize_u16(p.p, id);
  veskvstig_elem_serialize(p.p, scratch.str(key), e);
  veskvstig_elem_free(&e);
  return p.bytes();
}

Bytes vstig_msg(uint8_t kind, uint16_t id, const char *key, int32_t value, uint16_t ts,
                uint16_t writer) {
  EmptyVm scratch;
  return vstig_bytes(scratch, kind, id, key, scratch.num(value), ts, writer);
}

/* A received get carrying nil: a query. */
Bytes ask(const char *key, uint16_t ts, uint16_t writer) {
  EmptyVm scratch;
  veskvm_pushnil(scratch);
  return vstig_bytes(scratch, VESKMSG_VSTIG_GET, 1, key, veskvm_stack_at(scratch, 1), ts,
                     writer);
}

/* The local entry of a string key, or null. */
veskvstig_elem_t local(EmptyVm &vm, veskvstig_t vs, const char *key) {
  return veskvstig_lookup(vs, vm.str(key));
}

/* Stores a local entry as a put would, without queuing anything. */
void store(EmptyVm &vm, veskvstig_t vs, const char *key, int32_t value, uint16_t ts,
           uint16_t writer) {
  veskvstig_store(vs, vm.str(key),
                  veskvstig_elem_new(veskobj_iclone(vm.num(value)), ts, writer));
}

} // namespace

TEST(SwarmInbound, SortedByKindThenArrival) {
  EmptyVm vm;
  append(vm, kind_msg(0, 1));
  append(vm, kind_msg(4, 2));
  append(vm, kind_msg(0, 3));
  append(vm, kind_msg(2, 4));
  EXPECT_EQ(inbound(vm), (std::vector<Bytes>{{0, 1}, {0, 3}, {2, 4}, {4, 2}}));
  veskdarray_t first = veskinmsg_queue_extract(vm);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(bytes_of(first), (Bytes{0, 1}));
  veskdarray_destroy(&first);
  EXPECT_EQ(veskdarray_size(vm.vm()->inmsgs), 3);
}

TEST(SwarmInbound, EmptyPayloadIsDroppedAndUnknownKindsSortLast) {
  EmptyVm vm;
  append(vm, Bytes{});
  EXPECT_EQ(veskdarray_size(vm.vm()->inmsgs), 0);
  append(vm, kind_msg(200, 1));
  append(vm, kind_msg(3, 2));
  EXPECT_EQ(inbound(vm), (std::vector<Bytes>{{3, 2}, {200, 1}}));
  testing::internal::CaptureStderr();
  veskvm_process_inmsgs(vm); /* the unknown kind is dropped silently */
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "[WARNING] [ROBOT 1] Malformed VESKMSG_VSTIG_PUT message received\n");
  EXPECT_EQ(veskdarray_size(vm.vm()->inmsgs), 0);
  EXPECT_EQ(vm.vm()->state, VESKVM_STATE_READY);
}

TEST(SwarmInbound, AFullQueueDropsBroadcastsFirst) {
  EmptyVm vm;
  for (uint8_t i = 0; i < 3; ++i)
    append(vm, kind_msg(0, i));
  for (uint8_t i = 0; i < 57; ++i)
    append(vm, kind_msg(2, i));
  for (uint8_t i = 0; i < 40; ++i)
    append(vm, kind_msg(5, i));
  ASSERT_EQ(veskdarray_size(vm.vm()->inmsgs), MAX_QUEUE);
  append(vm, kind_msg(5, 40)); /* the latest broadcast makes room */
  append(vm, kind_msg(0, 9));  /* a broadcast replaces the latest one */
  auto q = inbound(vm);
  ASSERT_EQ(q.size(), MAX_QUEUE);
  EXPECT_EQ(std::vector<Bytes>(q.begin(), q.begin() + 3),
            (std::vector<Bytes>{{0, 0}, {0, 1}, {2, 0}}));
  EXPECT_EQ(q.back(), (Bytes{5, 40}));
  append(vm, kind_msg(3, 1));
  append(vm, kind_msg(3, 2));
  q = inbound(vm);
  EXPECT_EQ(q.front(), (Bytes{2, 0})); /* no broadcast is left */
  EXPECT_EQ(q.back(), (Bytes{5, 40}));
  /* Without broadcasts, the latest message of the highest kind goes. */
  append(vm, kind_msg(4, 1));
  EXPECT_EQ(inbound(vm).back(), (Bytes{5, 39}));
  append(vm, kind_msg(5, 41)); /* the newcomer is the last of the highest kind */
  EXPECT_EQ(inbound(vm).back(), (Bytes{5, 39}));
  EXPECT_EQ(veskdarray_size(vm.vm()->inmsgs), MAX_QUEUE);
}

TEST(SwarmInbound, NotProcessedUnlessReady) {
  EmptyVm vm;
  veskswarm_members_join(vm.vm()->swarmmembers, 4, 1);
  append(vm, Bytes{4, 0, 9, 0, 1});
  veskvm_seterror(vm, VESKVM_ERROR_STACK, "halt");
  veskvm_process_inmsgs(vm);
  EXPECT_EQ(veskdarray_size(vm.vm()->inmsgs), 1);
  uint16_t robot = 4;
  EXPECT_EQ((*veskdict_get(vm.vm()->swarmmembers, &robot, veskswarm_elem_t))->age, 0);
}

TEST(SwarmOutbound, JoinAndBroadcastExamples) {
  EmptyVm robot7(7);
  veskoutmsg_queue_append_swarm_joinleave(robot7, VESKMSG_SWARM_JOIN, 3);
  EXPECT_EQ(take_first(robot7), (Bytes{4, 0, 7, 0, 3}));

  EmptyVm robot2(2);
  veskoutmsg_queue_append_broadcast(robot2, robot2.str("ab"), robot2.num(5));
  EXPECT_EQ(take_first(robot2),
            (Bytes{0, 0, 2, 0, 3, 0, 2, 0x61, 0x62, 0, 1, 0, 0, 0, 5}));
  EXPECT_EQ(veskoutmsg_queue_first(robot2), nullptr);
}

TEST(SwarmOutbound, ServedByKindThenAge) {
  EmptyVm vm(1);
  veskvstig_t vs = vm.add_vstig(1);
  (void)vs;
  veskoutmsg_queue_append_swarm_joinleave(vm, VESKMSG_SWARM_LEAVE, 8);
  veskvstig_elem_t e = veskvstig_elem_new(veskobj_iclone(vm.num(1)), 1, 1);
  veskoutmsg_queue_append_vstig(vm, VESKMSG_VSTIG_GET, 1, vm.str("g"), e);
  veskoutmsg_queue_append_vstig(vm, VESKMSG_VSTIG_PUT, 1, vm.str("p"), e);
  veskvstig_elem_free(&e);
  veskoutmsg_queue_append_broadcast(vm, vm.str("t"), vm.num(1));
  veskoutmsg_queue_append_broadcast(vm, vm.str("t"), vm.num(2));
  EXPECT_EQ(veskoutmsg_queue_size(vm), 5u);
  std::vector<uint8_t> kinds, tails;
  for (const Bytes &m : drain(vm)) {
    kinds.push_back(m[0]);
    tails.push_back(m.back());
  }
  EXPECT_EQ(kinds, (std::vector<uint8_t>{0, 0, 2, 3, 5}));
  EXPECT_EQ(tails[0], 1);
  EXPECT_EQ(tails[1], 2);
}

TEST(SwarmOutbound, JoinLeaveDeduplication) {
  EmptyVm vm;
  veskoutmsg_queue_append_swarm_joinleave(vm, VESKMSG_SWARM_JOIN, 3);
  veskoutmsg_queue_append_swarm_joinleave(vm, VESKMSG_SWARM_JOIN, 3);
  EXPECT_EQ(veskoutmsg_queue_size(vm), 1u);
  veskoutmsg_queue_append_swarm_joinleave(vm, VESKMSG_SWARM_LEAVE, 3);
  EXPECT_EQ(drain(vm), (std::vector<Bytes>{{5, 0, 1, 0, 3}}));

  veskoutmsg_queue_append_swarm_joinleave(vm, VESKMSG_SWARM_LEAVE, 4);
  veskoutmsg_queue_append_swarm_joinleave(vm, VESKMSG_SWARM_JOIN, 4);
  veskoutmsg_queue_append_swarm_joinleave(vm, VESKMSG_SWARM_JOIN, 5);
  EXPECT_EQ(drain(vm), (std::vector<Bytes>{{4, 0, 1, 0, 4}, {4, 0, 1, 0, 5}}));
}

TEST(SwarmOutbound, PendingListIsAmended) {
  EmptyVm vm;
  uint8_t member = 1, outsider = 0;
  for (uint16_t id : {2, 6})
    veskdict_set(vm.vm()->swarms, &id, &member);
  uint16_t out = 4;
  veskdict_set(vm.vm()->swarms, &out, &outsider);
  veskoutmsg_queue_append_swarm_joinleave(vm, VESKMSG_SWARM_JOIN, 11);
  veskoutmsg_queue_append_swarm_list(vm, vm.vm()->swarms);
  /* The list superseded the join; joins and leaves now edit the list. */
  veskoutmsg_queue_append_swarm_joinleave(vm, VESKMSG_SWARM_JOIN, 9);
  veskoutmsg_queue_append_swarm_joinleave(vm, VESKMSG_SWARM_JOIN, 9);
  veskoutmsg_queue_append_swarm_joinleave(vm, VESKMSG_SWARM_LEAVE, 2);
  veskoutmsg_queue_append_swarm_joinleave(vm, VESKMSG_SWARM_LEAVE, 77);
  auto msgs = drain(vm);
  ASSERT_EQ(msgs.size(), 1u);
  EXPECT_EQ(msgs[0], (Bytes{1, 0, 1, 0, 2, 0, 6, 0, 9}));
}

TEST(SwarmOutbound, PeriodicSwarmList) {
  EmptyVm vm;
  for (int i = 0; i < 20; ++i)
    veskvm_process_outmsgs(vm);
  EXPECT_EQ(veskoutmsg_queue_size(vm), 0u); /* no swarm: nothing, countdown stays at 0 */
  uint16_t id = 5;
  uint8_t flag = 1;
  veskdict_set(vm.vm()->swarms, &id, &flag);
  veskvm_process_outmsgs(vm);
  EXPECT_EQ(drain(vm), (std::vector<Bytes>{{1, 0, 1, 0, 1, 0, 5}}));
  for (int i = 0; i < 9; ++i)
    veskvm_process_outmsgs(vm);
  EXPECT_EQ(veskoutmsg_queue_size(vm), 0u);
  veskvm_process_outmsgs(vm);
  EXPECT_EQ(veskoutmsg_queue_size(vm), 1u);
}

/* Pending stigmergy messages of robot 1, queued with explicit versions. */
class SwarmDedup : public ::testing::Test {
protected:
  EmptyVm vm{1};

  void queue(int kind, const char *key, int32_t value, uint16_t ts, uint16_t writer = 1) {
    veskvstig_elem_t e = veskvstig_elem_new(veskobj_iclone(vm.num(value)), ts, writer);
    veskoutmsg_queue_append_vstig(vm, kind, 1, vm.str(key), e);
    veskvstig_elem_free(&e);
  }
  void query(const char *key) {
    veskvstig_elem_t e = veskvstig_elem_new(veskobj_new(VESKTYPE_NIL), 1, 1);
    veskoutmsg_queue_append_vstig(vm, VESKMSG_VSTIG_GET, 1, vm.str(key), e);
    veskvstig_elem_free(&e);
  }
};

TEST_F(SwarmDedup, OnlyAStrictlyNewerOrTheVerySameVersionStaysPending) {
  queue(VESKMSG_VSTIG_PUT, "a", 10, 1);
  queue(VESKMSG_VSTIG_PUT, "b", 20, 1);
  queue(VESKMSG_VSTIG_PUT, "a", 11, 2); /* newer: replaces, goes to the back */
  queue(VESKMSG_VSTIG_PUT, "a", 9, 1);  /* older: dropped */
  queue(VESKMSG_VSTIG_PUT, "b", 20, 1); /* the very same: dropped */
  queue(VESKMSG_VSTIG_GET, "c", 7, 4);
  queue(VESKMSG_VSTIG_PUT, "c", 30, 5); /* a newer put replaces a pending get */
  auto msgs = drain(vm);
  ASSERT_EQ(msgs.size(), 3u);
  EXPECT_EQ(msgs[0], vstig_msg(2, 1, "b", 20, 1, 1));
  EXPECT_EQ(msgs[1], vstig_msg(2, 1, "a", 11, 2, 1));
  EXPECT_EQ(msgs[2], vstig_msg(2, 1, "c", 30, 5, 1));
  /* Once sent, a key can be queued again with any timestamp. */
  queue(VESKMSG_VSTIG_GET, "a", 0, 1);
  EXPECT_EQ(drain(vm), (std::vector<Bytes>{vstig_msg(3, 1, "a", 0, 1, 1)}));
}

TEST_F(SwarmDedup, TheWinnerOfAConflictReplacesThePendingVersion) {
  queue(VESKMSG_VSTIG_PUT, "k", 10, 2, 3);
  queue(VESKMSG_VSTIG_PUT, "k", 80, 2, 8); /* same timestamp, other writer */
  queue(VESKMSG_VSTIG_PUT, "j", 1, 2, 8);
  queue(VESKMSG_VSTIG_PUT, "j", 2, 2, 8); /* same writer and stamp, new value */
  EXPECT_EQ(drain(vm), (std::vector<Bytes>{vstig_msg(2, 1, "k", 80, 2, 8),
                                           vstig_msg(2, 1, "j", 2, 2, 8)}));
}

TEST_F(SwarmDedup, NewerAcrossTheWrap) {
  queue(VESKMSG_VSTIG_PUT, "k", 1, 65535);
  queue(VESKMSG_VSTIG_PUT, "k", 2, 0);
  queue(VESKMSG_VSTIG_PUT, "j", 1, 3);
  queue(VESKMSG_VSTIG_PUT, "j", 2, 65000); /* 3 is newer than 65000 */
  EXPECT_EQ(drain(vm), (std::vector<Bytes>{vstig_msg(2, 1, "k", 2, 0, 1),
                                           vstig_msg(2, 1, "j", 1, 3, 1)}));
}

TEST_F(SwarmDedup, AQueryNeverDisplacesAVersion) {
  query("k");
  query("k");
  queue(VESKMSG_VSTIG_PUT, "k", 5, 40000, 9); /* "older" than timestamp 1 */
  query("k");
  query("j");
  Bytes ask_j = {3, 0, 1, 0, 3, 0, 1, 'j', 0, 0, 0, 1, 0, 1};
  EXPECT_EQ(drain(vm), (std::vector<Bytes>{vstig_msg(2, 1, "k", 5, 40000, 9), ask_j}));
}

TEST(SwarmOutbound, PendingStringsSurviveCollections) {
  EmptyVm vm;
  veskvm_pushstr(vm, "made-at-run-time", 0);
  veskobj_t topic = veskvm_stack_at(vm, 1);
  veskvm_pushstr(vm, "value-at-run-time", 0);
  veskobj_t value = veskvm_stack_at(vm, 1);
  veskoutmsg_queue_append_broadcast(vm, topic, value);
  veskvstig_elem_t e = veskvstig_elem_new(veskobj_iclone(value), 1, 1);
  veskoutmsg_queue_append_vstig(vm, VESKMSG_VSTIG_PUT, 1, topic, e);
  veskvstig_elem_free(&e);
  veskvm_pop(vm);
  veskvm_pop(vm);
  /* Force a full collection with nothing else holding the strings. */
  vm.vm()->heap->marklimit = 0;
  veskheap_gc(vm);
  uint16_t other = veskvm_string_register(vm, "unrelated", 0);
  EXPECT_NE(veskvm_string_get(vm, other), nullptr);
  auto msgs = drain(vm);
  ASSERT_EQ(msgs.size(), 2u);
  std::string all(msgs[0].begin(), msgs[0].end());
  EXPECT_NE(all.find("made-at-run-time"), std::string::npos);
  EXPECT_NE(all.find("value-at-run-time"), std::string::npos);
  std::string put(msgs[1].begin(), msgs[1].end());
  EXPECT_NE(put.find("value-at-run-time"), std::string::npos);
}

/* The receive-side merge, case by case. */
class SwarmMerge : public ::testing::Test {
protected:
  EmptyVm vm{5};
  veskvstig_t vs = vm.add_vstig(1);

  void receive(const Bytes &msg) {
    append(vm, msg);
    veskvm_process_inmsgs(vm);
  }
};

TEST_F(SwarmMerge, NewKeyIsAdoptedAndRebroadcast) {
  receive(vstig_msg(2, 1, "k", 42, 3, 9));
  veskvstig_elem_t e = local(vm, vs, "k");
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->data->i.value, 42);
  EXPECT_EQ(e->timestamp, 3);
  EXPECT_EQ(e->robot, 9);
  EXPECT_EQ(drain(vm), (std::vector<Bytes>{vstig_msg(2, 1, "k", 42, 3, 9)}));
}

TEST_F(SwarmMerge, GetCarryingAValueIsMergedLikeAPut) {
  receive(vstig_msg(3, 1, "k", 7, 1, 9));
  ASSERT_NE(local(vm, vs, "k"), nullptr);
  EXPECT_EQ(drain(vm), (std::vector<Bytes>{vstig_msg(2, 1, "k", 7, 1, 9)}));
}

TEST_F(SwarmMerge, AQueryNeverChangesTheLocalCopy) {
  /* A get carrying nil for a key this robot lacks: nothing stored, nothing sent. */
  receive(ask("k", 1, 9));
  EXPECT_EQ(veskdict_size(vs->data), 0u);
  EXPECT_EQ(veskoutmsg_queue_size(vm), 0u);
  /* Whatever the query's timestamp and writer, the holder answers with its
     version: same stamp and a larger writer (once the conflict rule), a
     newer stamp (once adopted), the holder's own version. */
  store(vm, vs, "k", 1, 1, 3);
  for (uint16_t writer : {9, 3})
    for (uint16_t ts : {1, 7}) {
      receive(ask("k", ts, writer));
      EXPECT_EQ(local(vm, vs, "k")->data->i.value, 1);
      EXPECT_EQ(local(vm, vs, "k")->robot, 3);
      EXPECT_EQ(drain(vm), (std::vector<Bytes>{vstig_msg(2, 1, "k", 1, 1, 3)}));
    }
}

TEST_F(SwarmMerge, TimestampsCompareAsSerialNumbers) {
  store(vm, vs, "k", 1, 65535, 3);
  receive(vstig_msg(2, 1, "k", 2, 0, 3)); /* one write after 65535 */
  EXPECT_EQ(local(vm, vs, "k")->data->i.value, 2);
  EXPECT_EQ(drain(vm), (std::vector<Bytes>{vstig_msg(2, 1, "k", 2, 0, 3)}));
  receive(vstig_msg(2, 1, "k", 3, 65535, 3)); /* older across the wrap: ignored */
  receive(vstig_msg(3, 1, "k", 3, 40000, 3)); /* an older get is answered */
  EXPECT_EQ(local(vm, vs, "k")->data->i.value, 2);
  EXPECT_EQ(drain(vm), (std::vector<Bytes>{vstig_msg(2, 1, "k", 2, 0, 3)}));
}

TEST(SwarmVersions, NewerIsASerialNumberComparison) {
  const struct {
    uint16_t a, b;
    bool newer;
  } cases[] = {{2, 1, true},      {1, 2, false},       {1, 1, false},
               {0, 65535, true},  {65535, 0, false},   {32767, 0, true},
               {0, 32767, false}, {40000, 7233, true}, {7233, 40000, false},
               {32768, 0, true},  {0, 32768, false},   {1, 32769, false},
               {32769, 1, true}};
  for (const auto &c : cases)
    EXPECT_EQ(veskvstig_newer(c.a, c.b) != 0, c.newer) << c.a << " vs " << c.b;
}

TEST_F(SwarmMerge, OlderLocalEntryIsReplaced) {
  store(vm, vs, "k", 1, 4, 5);
  receive(vstig_msg(2, 1, "k", 2, 5, 3));
  EXPECT_EQ(local(vm, vs, "k")->data->i.value, 2);
  EXPECT_EQ(drain(vm).size(), 1u);
}

TEST_F(SwarmMerge, OlderPutIsIgnoredOlderGetIsAnswered) {
  store(vm, vs, "k", 1, 6, 5);
  receive(vstig_msg(2, 1, "k", 2, 5, 3));
  EXPECT_EQ(local(vm, vs, "k")->data->i.value, 1);
  EXPECT_EQ(veskoutmsg_queue_size(vm), 0u);
  receive(vstig_msg(3, 1, "k", 2, 5, 3));
  EXPECT_EQ(local(vm, vs, "k")->data->i.value, 1);
  EXPECT_EQ(drain(vm), (std::vector<Bytes>{vstig_msg(2, 1, "k", 1, 6, 5)}));
}

TEST_F(SwarmMerge, SameVersionIsIgnored) {
  store(vm, vs, "k", 1, 6, 3);
  receive(vstig_msg(2, 1, "k", 99, 6, 3));
  receive(vstig_msg(3, 1, "k", 99, 6, 3));
  EXPECT_EQ(local(vm, vs, "k")->data->i.value, 1);
  EXPECT_EQ(veskoutmsg_queue_size(vm), 0u);
}

TEST_F(SwarmMerge, ConflictWithoutHandlerGoesToTheLargerWriter) {
  store(vm, vs, "k", 1, 2, 5); /* written here by robot 5 */
  receive(vstig_msg(2, 1, "k", 2, 2, 3));
  EXPECT_EQ(local(vm, vs, "k")->data->i.value, 1);
  EXPECT_EQ(drain(vm), (std::vector<Bytes>{vstig_msg(2, 1, "k", 1, 2, 5)}));
  receive(vstig_msg(3, 1, "k", 8, 2, 8));
  EXPECT_EQ(local(vm, vs, "k")->data->i.value, 8);
  EXPECT_EQ(local(vm, vs, "k")->robot, 8);
  EXPECT_EQ(drain(vm), (std::vector<Bytes>{vstig_msg(2, 1, "k", 8, 2, 8)}));
}

TEST_F(SwarmMerge, UnknownStigmergyAndMalformedMessagesAreDropped) {
  receive(vstig_msg(2, 2, "k", 1, 1, 1));
  EXPECT_EQ(veskdict_size(vs->data), 0u);
  testing::internal::CaptureStderr();
  Bytes cut = vstig_msg(2, 1, "k", 1, 1, 1);
  cut.resize(cut.size() - 1);
  receive(cut);
  receive(Bytes{3, 0});
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(err, "[WARNING] [ROBOT 5] Malformed VESKMSG_VSTIG_PUT message received\n"
                 "[WARNING] [ROBOT 5] Malformed VESKMSG_VSTIG_PUT message received\n");
  EXPECT_EQ(veskdict_size(vs->data), 0u);
  EXPECT_EQ(veskoutmsg_queue_size(vm), 0u);
}

TEST(SwarmMembers, JoinLeaveRefresh) {
  veskdict_t m = veskswarm_members_new();
  veskswarm_members_join(m, 4, 1);
  veskswarm_members_join(m, 4, 2);
  veskswarm_members_join(m, 4, 1);
  EXPECT_TRUE(veskswarm_members_isrobotin(m, 4, 1));
  EXPECT_TRUE(veskswarm_members_isrobotin(m, 4, 2));
  EXPECT_FALSE(veskswarm_members_isrobotin(m, 4, 3));
  EXPECT_FALSE(veskswarm_members_isrobotin(m, 5, 1));
  veskswarm_members_leave(m, 4, 1);
  EXPECT_FALSE(veskswarm_members_isrobotin(m, 4, 1));
  veskswarm_members_leave(m, 9, 1); /* unknown robot: nothing */
  veskswarm_members_leave(m, 4, 2); /* its last swarm: the record goes */
  EXPECT_EQ(veskdict_size(m), 0u);

  veskdarray_t ids = veskdarray_new(2, sizeof(uint16_t), nullptr);
  for (uint16_t id : {7, 3})
    veskdarray_push(ids, &id);
  veskswarm_members_refresh(m, 6, ids);
  EXPECT_TRUE(veskswarm_members_isrobotin(m, 6, 3));
  FILE *f = tmpfile();
  veskswarm_members_print(f, m, 2);
  rewind(f);
  char buf[256] = {0};
  size_t n = fread(buf, 1, sizeof buf - 1, f);
  fclose(f);
  EXPECT_EQ(std::string(buf, n), "ROBOT 2: swarm member table size: 1\n   2:6:7 3\n");
  veskswarm_members_destroy(&m);
  EXPECT_EQ(m, nullptr);
}

TEST(SwarmMembers, SilentRobotsAgeOut) {
  veskdict_t m = veskswarm_members_new();
  veskswarm_members_join(m, 4, 1);
  for (int i = 0; i < MEMBERSHIP_AGE_MAX; ++i)
    veskswarm_members_update(m);
  EXPECT_TRUE(veskswarm_members_isrobotin(m, 4, 1));
  veskswarm_members_join(m, 4, 2); /* news resets the age */
  for (int i = 0; i < MEMBERSHIP_AGE_MAX; ++i)
    veskswarm_members_update(m);
  EXPECT_TRUE(veskswarm_members_isrobotin(m, 4, 1));
  veskswarm_members_update(m);
  EXPECT_FALSE(veskswarm_members_isrobotin(m, 4, 1));
  EXPECT_EQ(veskdict_size(m), 0u);
  veskswarm_members_destroy(&m);
}

TEST(SwarmMembers, ReceivedMembershipMessages) {
  EmptyVm vm(1);
  auto isin = [&](uint16_t robot, uint16_t swarm) {
    return veskswarm_members_isrobotin(vm.vm()->swarmmembers, robot, swarm);
  };
  append(vm, Bytes{4, 0, 9, 0, 3});
  append(vm, Bytes{1, 0, 8, 0, 2, 0, 4, 0, 5});
  veskvm_process_inmsgs(vm);
  EXPECT_TRUE(isin(9, 3));
  EXPECT_TRUE(isin(8, 4) && isin(8, 5));
  append(vm, Bytes{5, 0, 9, 0, 3});
  veskvm_process_inmsgs(vm);
  EXPECT_FALSE(isin(9, 3));
  EXPECT_TRUE(isin(8, 4));

  testing::internal::CaptureStderr();
  for (const Bytes &b :
       {Bytes{1, 0}, Bytes{1, 0, 8, 0, 3, 0, 1}, Bytes{4, 0, 9, 0}, Bytes{5, 0}})
    append(vm, b);
  veskvm_process_inmsgs(vm);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "[WARNING] [ROBOT 1] Malformed VESKMSG_SWARM_LIST message received\n"
            "[WARNING] [ROBOT 1] Malformed VESKMSG_SWARM_LIST message received\n"
            "[WARNING] [ROBOT 1] Malformed VESKMSG_SWARM_JOIN message received\n"
            "[WARNING] [ROBOT 1] Malformed VESKMSG_SWARM_LEAVE message received\n");
  EXPECT_TRUE(isin(8, 4)); /* the bad list left the record alone */

  append(vm, Bytes{1, 0, 8, 0, 0}); /* an empty list: a member of no swarm */
  veskvm_process_inmsgs(vm);
  EXPECT_FALSE(isin(8, 4) || isin(8, 5));
  EXPECT_EQ(veskdict_size(vm.vm()->swarmmembers), 0u);
}

/* A put of stigmergy 1 under an integer key whose value is a table with
   `count` distinct three-letter string keys (starting at `first`). */
Bytes put_of_many_texts(int32_t key, uint32_t first, uint32_t count) {
  Payload p;
  veskmsg_serialize_u8(p.p, VESKMSG_VSTIG_PUT);
  veskmsg_serialize_u16(p.p, 1);
  veskmsg_serialize_u16(p.p, VESKTYPE_INT);
  veskmsg_serialize_u32(p.p, static_cast<uint32_t>(key));
  veskmsg_serialize_u16(p.p, VESKTYPE_TABLE);
  veskmsg_serialize_u32(p.p, count);
  for (uint32_t n = first; n < first + count; ++n) {
    const char text[] = {static_cast<char>('!' + n % 90),
                         static_cast<char>('!' + n / 90 % 90),
                         static_cast<char>('!' + n / 8100), 0};
    veskmsg_serialize_u16(p.p, VESKTYPE_STRING);
    veskmsg_serialize_string(p.p, text);
    veskmsg_serialize_u16(p.p, VESKTYPE_INT);
    veskmsg_serialize_u32(p.p, n);
  }
  veskmsg_serialize_u16(p.p, 1); /* timestamp */
  veskmsg_serialize_u16(p.p, 2); /* writer */
  return p.bytes();
}

TEST(SwarmHostile, APeerExhaustingTheStringIdsIsRefused) {
  EmptyVm vm(1);
  veskvstig_t vs = vm.add_vstig(1);
  const uint32_t payload = 70000;
  veskpacket_set_size(vm, payload);
  std::vector<uint8_t> out(payload);
  testing::internal::CaptureStderr();
  /* 14 puts of 5,000 new texts each: more than there are string ids. */
  for (int32_t key = 0; key < 14; ++key) {
    Bytes msg = put_of_many_texts(key, static_cast<uint32_t>(key) * 5000, 5000);
    ASSERT_LE(msg.size(), VESKMSG_MAX_LEN);
    Bytes packet = {0, 2, static_cast<uint8_t>(msg.size() >> 8),
                    static_cast<uint8_t>(msg.size())};
    packet.insert(packet.end(), msg.begin(), msg.end());
    veskpacket_receive(vm, packet.data(), static_cast<uint32_t>(packet.size()), 1, 0, 0);
    veskvm_process_inmsgs(vm);
    /* Adopted values are re-broadcast: every text of them is sent intact. */
    while (veskoutmsg_queue_size(vm) > 0)
      ASSERT_EQ(veskpacket_build(vm, out.data(), payload), 1u);
  }
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "[WARNING] [ROBOT 1] Malformed VESKMSG_VSTIG_PUT message received\n");
  EXPECT_EQ(veskdict_size(vs->data), 13u);
  EXPECT_EQ(vm.vm()->state, VESKVM_STATE_READY);
  /* Texts already known still decode. */
  receive_one(vm, put_of_many_texts(20, 0, 3));
  EXPECT_EQ(veskdict_size(vs->data), 14u);
}

TEST(SwarmHostile, RandomAndMutatedMessagesNeverHurtTheVm) {
  ScriptVm vm(R"(
var heard = 0
var s = stigmergy.create(1)
var t = swarm.create(3)
t.join()
s.put("k", { .a = 1, .b = "text" })
neighbors.listen("ab", function(topic, value, sender) { heard = heard + 1 })
)",
              7);
  ASSERT_TRUE(vm.loaded());
  ASSERT_EQ(vm.vm()->state, VESKVM_STATE_DONE);
  vm.vm()->state = VESKVM_STATE_READY;
  /* Valid messages of every kind, to be mutated. */
  EmptyVm src(2);
  std::vector<Bytes> seeds = {
      {0, 0, 2, 0, 3,   0, 2, 'a',  'b', 0, 4, 0, 0, 0, 1,
       0, 3, 0, 1, 'x', 0, 2, 0x40, 0,   0, 1, 0, 0, 0, 1},
      {1, 0, 2, 0, 2, 0, 3, 0, 4},
      vstig_msg(2, 1, "k", 5, 9, 2),
      vstig_msg(3, 1, "k", 5, 9, 2),
      {4, 0, 2, 0, 3},
      {5, 0, 2, 0, 3},
  };
  std::mt19937 rng(12345);
  testing::internal::CaptureStderr();
  for (int round = 0; round < 3000; ++round) {
    Bytes msg;
    if (round % 3 == 0) {
      msg.resize(rng() % 40);
      for (uint8_t &b : msg)
        b = static_cast<uint8_t>(rng());
      if (!msg.empty()) msg[0] %= 7;
    } else {
      msg = seeds[rng() % seeds.size()];
      int flips = 1 + static_cast<int>(rng() % 4);
      for (int i = 0; i < flips; ++i) {
        size_t at = rng() % msg.size();
        msg[at] =
            (at == 0) ? static_cast<uint8_t>(rng() % 7) : static_cast<uint8_t>(rng());
      }
      if (rng() % 4 == 0) msg.resize(rng() % (msg.size() + 1));
    }
    append(vm, msg);
    if (round % 10 == 0) veskvm_process_inmsgs(vm);
    ASSERT_EQ(vm.vm()->state, VESKVM_STATE_READY) << vm.error() << " at round " << round;
    if (round % 50 == 0) drain(vm);
  }
  /* Whole random packets through the host's receiving side. */
  for (int round = 0; round < 500; ++round) {
    Bytes packet(4 + rng() % 60);
    for (uint8_t &b : packet)
      b = static_cast<uint8_t>(rng() % 4 == 0 ? rng() % 7 : rng());
    veskpacket_receive(vm, packet.data(), static_cast<uint32_t>(packet.size()), 1.0f,
                       0.0f, 0.0f);
    veskvm_process_inmsgs(vm);
    ASSERT_EQ(vm.vm()->state, VESKVM_STATE_READY) << vm.error();
  }
  veskvm_process_inmsgs(vm);
  testing::internal::GetCapturedStderr();
  /* Still fully working: a fresh broadcast reaches the listener. */
  int32_t before = global_int(vm, "heard");
  append(vm, seeds[0]);
  veskvm_process_inmsgs(vm);
  EXPECT_EQ(global_int(vm, "heard"), before + 1);
  /* The collector still finds everything consistent. */
  vm.vm()->heap->marklimit = 0;
  veskheap_gc(vm);
  EXPECT_EQ(vm.vm()->state, VESKVM_STATE_READY);
}
