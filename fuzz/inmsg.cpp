/*
 * Fuzz target: inbound messages. The input is a range-and-bearing packet
 * (sender id, then messages behind 16-bit lengths) received by a robot
 * whose script listens to topics, belongs to swarms and holds stigmergies
 * with conflict handlers; the robot then runs a control step and sends.
 * The same packet arrives twice (duplicates and equal timestamps happen on
 * real links), then the whole input once more as one unframed message.
 * A packet from robot 65535 reaches a robot that has only FREE_STRING_IDS
 * string ids left, as after a long run or a flood of texts from peers, so
 * that small inputs can exhaust them.
 *
 * With VESK_FUZZ_WRITE_SEEDS=DIR the program instead runs two robots for
 * a while and writes every packet the talking robot sends into DIR, which
 * seeds the corpus with well-formed traffic of every message kind.
 */
#include "fuzz_util.h"

#include <cstring>
#include <string>

#include "veskpacket.h"
#include "veskneighbors.h"
#include "veskinmsg.h"
#include "veskoutmsg.h"
#include "veskstrman.h"

using namespace vesk_fuzz;

namespace {

/* Robot 1 receives; robot 2 (in the seed writer) talks. */
const char *SCRIPT = R"(
var got = {}
var n = 0
var t = 0
var lost = 0
var s1 = swarm.create(1)
var s2 = swarm.create(2)
var v = stigmergy.create(1)
var w = stigmergy.create(2)
s1.join()
v.onconflict(function(key, mine, theirs) {
  if (mine.robot < theirs.robot) {
    return mine
  }
  return theirs
})
v.onconflictlost(function(key, entry) {
  lost = lost + 1
})

function init() {
  neighbors.listen("a", function(topic, value, sender) {
    n = n + 1
    got[sender] = value
    v.put(n % 4, value)
    neighbors.broadcast("b", value)
  })
  neighbors.listen("b", function(topic, value, sender) {
    w.put(sender, value)
  })
}

function step() {
  t = t + 1
  s1.exec(function() {
    n = n + neighbors.kin().count()
  })
  var x = v.get(1)
  x = w.get("k")
  if (id == 2) {
    var vals = { .i = t, .f = 1.5 * t, .s = "text", .l = { .n = nil, .d = { .e = -7 } } }
    neighbors.broadcast("a", vals[t % 4])
    neighbors.broadcast("b", vals)
    v.put(t % 3, t)
    w.put("k", string.concat("w", string.tostring(t)))
    if (t % 5 == 0) {
      s2.join()
    }
    if (t % 7 == 0) {
      s2.leave()
    }
  }
}
)";

Bytes g_code;
const uint32_t PAYLOAD = 512;
const uint32_t FREE_STRING_IDS = 256;

void control_step(veskvm_t vm, const uint8_t *packet, uint32_t size, Bytes &out) {
  veskneighbors_reset(vm);
  veskpacket_receive(vm, packet, size, 1.0f, 0.5f, 0.0f);
  veskvm_process_inmsgs(vm);
  veskvm_function_call(vm, "step", 0);
  veskvm_process_outmsgs(vm);
  out.assign(PAYLOAD, 0);
  veskpacket_build(vm, out.data(), static_cast<uint32_t>(out.size()));
}

veskvm_t robot(uint16_t id) {
  veskvm_t vm = veskvm_new(id);
  veskpacket_set_size(vm, PAYLOAD);
  veskvm_set_bcode(vm, g_code.data(), static_cast<uint32_t>(g_code.size()));
  register_print(vm);
  run(vm, STEP_BUDGET);
  veskvm_function_call(vm, "init", 0);
  return vm;
}

void write_seeds(const char *dir) {
  veskvm_t rx = robot(1), tx = robot(2);
  Bytes from_rx(2, 0), from_tx(2, 0);
  for (int i = 0; i < 40; ++i) {
    Bytes a = from_tx, b = from_rx;
    control_step(rx, a.data(), static_cast<uint32_t>(a.size()), from_rx);
    control_step(tx, b.data(), static_cast<uint32_t>(b.size()), from_tx);
    /* Trailing padding only makes inputs longer. */
    Bytes seed = from_tx;
    while (seed.size() > 2 && seed.back() == 0)
      seed.pop_back();
    std::string path = std::string(dir) + "/talk-" + std::to_string(i);
    FILE *f = fopen(path.c_str(), "wb");
    if (f) {
      fwrite(seed.data(), 1, seed.size(), f);
      fclose(f);
    }
  }
  veskvm_destroy(&rx);
  veskvm_destroy(&tx);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  std::string path =
      scratch_file(".vsk", reinterpret_cast<const uint8_t *>(SCRIPT), strlen(SCRIPT));
  std::string vasm;
  if (!compile(path, vasm) || !assemble(vasm, g_code, nullptr)) {
    fprintf(stderr, "the fuzz script does not compile\n");
    abort();
  }
  remove(path.c_str());
  if (const char *dir = getenv("VESK_FUZZ_WRITE_SEEDS")) {
    write_seeds(dir);
    exit(0);
  }
  return 0;
}

/* Registers texts until only `left` string ids are free. */
void use_up_string_ids(veskvm_t vm, uint32_t left) {
  for (uint32_t n = 0; veskdict_size(vm->strings->id2str) < VESKSTRMAN_NOID - left; ++n)
    veskstrman_register(vm->strings, ("used-" + std::to_string(n)).c_str(), 1);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size > 65536) return 0;
  veskvm_t vm = robot(1);
  if (size >= 2 && data[0] == 0xFF && data[1] == 0xFF)
    use_up_string_ids(vm, FREE_STRING_IDS);
  Bytes out;
  for (int i = 0; i < 2; ++i)
    control_step(vm, data, static_cast<uint32_t>(size), out);
  if (size > 0) {
    veskinmsg_queue_append(
        vm, veskdarray_frombuffer(data, static_cast<uint32_t>(size), 1, nullptr));
    veskvm_process_inmsgs(vm);
    veskvm_function_call(vm, "step", 0);
  }
  veskvm_destroy(&vm);
  return 0;
}
