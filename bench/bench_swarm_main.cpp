/*
 * Swarm harness benchmark: 100 robots on a 10 x 10 grid, each hearing the
 * robots around it (up to 8), run for 1,000 control steps. Every robot
 * broadcasts one value per step and counts what its listener receives.
 * Prints the wall-clock time of the steps and the messages delivered.
 */
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "veskharness.h"
#include "bench_util.h"

namespace {

const char *const script = R"(
var received = 0
var sum = 0
function init() {
  neighbors.listen("pos", function(topic, value, sender) {
    received = received + 1
    sum = sum + value
  })
}
function step() {
  neighbors.broadcast("pos", id)
}
)";

std::vector<uint8_t> compile() {
  return bench_compile(script);
}

int global_int(veskvm_t vm, const char *name) {
  veskvm_pushstr(vm, name, 1);
  veskvm_gload(vm);
  veskobj_t o = veskvm_stack_at(vm, 1);
  int v = o && veskobj_isint(o) ? o->i.value : -1;
  veskvm_pop(vm);
  return v;
}

} // namespace

int main() {
  const uint32_t side = 10, robots = side * side, steps = 1000, payload = 100;
  std::vector<uint8_t> code = compile();
  if (code.empty()) {
    fprintf(stderr, "bench_swarm: the script did not compile\n");
    return 1;
  }
  std::vector<uint16_t> ids(robots);
  for (uint32_t i = 0; i < robots; ++i)
    ids[i] = static_cast<uint16_t>(i + 1);
  veskharness_t h = veskharness_new(robots, ids.data(), payload);
  if (veskharness_load(h, code.data(), static_cast<uint32_t>(code.size()), nullptr,
                       nullptr)) {
    fprintf(stderr, "bench_swarm: a VM failed to load the script\n");
    return 1;
  }
  uint64_t links = 0;
  for (uint32_t a = 0; a < robots; ++a)
    for (uint32_t b = 0; b < robots; ++b) {
      int dx = static_cast<int>(a % side) - static_cast<int>(b % side);
      int dy = static_cast<int>(a / side) - static_cast<int>(b / side);
      if (a != b && std::abs(dx) <= 1 && std::abs(dy) <= 1) {
        veskharness_link(h, a, b, std::sqrt(static_cast<float>(dx * dx + dy * dy)), 0, 0);
        ++links;
      }
    }
  uint64_t sent = 0;
  auto start = std::chrono::steady_clock::now();
  for (uint32_t s = 0; s < steps; ++s) {
    if (veskharness_step(h) != 0) {
      fprintf(stderr, "bench_swarm: a VM failed at step %u\n", s + 1);
      return 1;
    }
    sent += veskharness_sent(h);
  }
  double secs =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  uint64_t received = 0;
  for (uint32_t i = 0; i < robots; ++i)
    received += static_cast<uint64_t>(global_int(veskharness_vm(h, i), "received"));
  printf("robots %u, steps %u, links %llu, payload %u bytes\n", robots, steps,
         static_cast<unsigned long long>(links), payload);
  printf("messages sent %llu, delivered to listeners %llu\n",
         static_cast<unsigned long long>(sent),
         static_cast<unsigned long long>(received));
  printf("time %.3f s, %.1f us per step, %.2f us per robot step\n", secs,
         secs * 1e6 / steps, secs * 1e6 / (static_cast<double>(steps) * robots));
  veskharness_destroy(&h);
  return 0;
}
