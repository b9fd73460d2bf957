/*
 * Replicated stigmergy across several robots, run through the harness:
 * reads before writes, values travelling along a line, a grid of readers
 * and writers with and without a conflict handler, and a key written past
 * the wrap of its timestamp. Each test checks what every robot ends with.
 */
#include <map>
#include <tuple>

#include "swarm_util.h"

using namespace swarm_test;

namespace {

/* Globals for every robot, and "writes" per robot index (0 beyond the list). */
struct RobotGlobals {
  std::vector<std::pair<const char *, int32_t>> all;
  std::vector<int32_t> writes;
  static void apply(veskvm_t vm, uint32_t index, void *params) {
    auto *s = static_cast<RobotGlobals *>(params);
    for (auto &[name, v] : s->all)
      set_global_int(vm, name, v);
    set_global_int(vm, "writes", index < s->writes.size() ? s->writes[index] : 0);
  }
};

Bytes encoded(veskobj_t o) {
  Payload p;
  veskobj_serialize(p.p, o);
  return p.bytes();
}

/* One robot's copy of a stigmergy: encoded key -> timestamp, writer, encoded value. */
using Replica = std::map<Bytes, std::tuple<uint16_t, uint16_t, Bytes>>;

Replica replica(veskvm_t vm, uint16_t id) {
  Replica out;
  veskvstig_t vs = veskvstig_find(vm, id);
  if (!vs) return out;
  veskdict_foreach(
      vs->data,
      [](const void *k, void *v, void *params) {
        veskvstig_elem_t e = *static_cast<veskvstig_elem_t *>(v);
        (*static_cast<Replica *>(params))[encoded(*static_cast<const veskobj_t *>(k))] = {
            e->timestamp, e->robot, encoded(e->data)};
      },
      &out);
  return out;
}

/* Value, timestamp and writer of an integer entry, for compact checks. */
std::tuple<int32_t, uint16_t, uint16_t> version(veskvm_t vm, const char *key) {
  veskvstig_elem_t e = vstig_entry(vm, 1, key);
  if (!e || !veskobj_isint(e->data)) return {INT32_MIN, 0, 0};
  return {e->data->i.value, e->timestamp, e->robot};
}

/* Robots 1 to 9 on a 3 x 3 grid, each hearing the robots beside it. */
void grid(Swarm &sw) {
  for (uint32_t i = 0; i < 9; ++i) {
    if (i % 3 < 2) veskharness_link_both(sw.h(), i, i + 1, 1.0f);
    if (i < 6) veskharness_link_both(sw.h(), i, i + 3, 1.0f);
  }
}

} // namespace

TEST(SwarmReplication, AReadBeforeTheWriteArrivesLosesNothing) {
  for (std::vector<uint16_t> ids : {std::vector<uint16_t>{1, 2}, {2, 1}}) {
    RobotGlobals setup{{}, {1, 0}};
    Swarm sw("readwrite.vsk", ids, 256, RobotGlobals::apply, &setup);
    ASSERT_TRUE(sw.loaded());
    sw.full();
    ASSERT_TRUE(sw.step(4));
    for (uint32_t i = 0; i < 2; ++i) {
      EXPECT_EQ(global_int(sw.vm(i), "seen"), ids[0] * 10) << "writer " << ids[0];
      EXPECT_EQ(version(sw.vm(i), "k"), std::make_tuple(ids[0] * 10, 1, ids[0]));
    }
  }
}

TEST(SwarmReplication, AValueWrittenAtOneEndOfALineReachesTheOtherAndStays) {
  RobotGlobals setup{{}, {1}};
  Swarm sw("readwrite.vsk", {1, 2, 3, 4, 5}, 256, RobotGlobals::apply, &setup);
  ASSERT_TRUE(sw.loaded());
  sw.line();
  ASSERT_TRUE(sw.step(10));
  for (uint32_t i = 0; i < 5; ++i) {
    EXPECT_EQ(global_int(sw.vm(i), "seen"), 10) << "robot " << i + 1;
    EXPECT_EQ(replica(sw.vm(i), 1), replica(sw.vm(0), 1)) << "robot " << i + 1;
  }
  EXPECT_EQ(version(sw.vm(0), "k"), std::make_tuple(10, 1, 1));
}

TEST(SwarmReplication, AGridOfReadersAndWritersConvergesOnTheWrittenKeysOnly) {
  /* Without a handler the larger writer wins a conflict ("b": robots 3 and
     7); with it, the larger value. Robot 5's later write of "a" is newer. */
  const std::tuple<int32_t, uint16_t, uint16_t> b_wins[] = {{93, 1, 7}, {97, 1, 3}};
  for (int32_t handler : {0, 1}) {
    RobotGlobals setup{{{"handler", handler}}, {}};
    Swarm sw("grid.vsk", {1, 2, 3, 4, 5, 6, 7, 8, 9}, 256, RobotGlobals::apply, &setup);
    ASSERT_TRUE(sw.loaded());
    grid(sw);
    ASSERT_TRUE(sw.step(40)); /* the last write is in step 6 */
    const Replica first = replica(sw.vm(0), 1);
    for (uint32_t i = 0; i < 9; ++i) {
      EXPECT_EQ(replica(sw.vm(i), 1), first) << "robot " << i + 1;
      EXPECT_EQ(global_int(sw.vm(i), "size"), 2) << "robot " << i + 1;
    }
    EXPECT_EQ(version(sw.vm(0), "a"), std::make_tuple(55, 2, 5)) << "handler " << handler;
    EXPECT_EQ(version(sw.vm(0), "b"), b_wins[handler]) << "handler " << handler;
  }
}

TEST(SwarmReplication, AKeyWrittenMoreThan65535TimesKeepsItsLastWrite) {
  RobotGlobals setup{{{"steps", 100}, {"per_step", 700}}, {}};
  Swarm sw("counter.vsk", {1, 2}, 256, RobotGlobals::apply, &setup);
  ASSERT_TRUE(sw.loaded());
  sw.full();
  ASSERT_TRUE(sw.step(103));
  ASSERT_EQ(global_int(sw.vm(0), "n"), 70000);
  for (uint32_t i = 0; i < 2; ++i)
    EXPECT_EQ(version(sw.vm(i), "n"), std::make_tuple(70000, 70000 % 65536, 1))
        << "robot " << i + 1;
}
