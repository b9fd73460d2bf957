/*
 * Soak run: two robots in range of each other, stepped through the swarm
 * harness. Each step the script builds strings, tables and closures, keeps
 * a bounded window of them, broadcasts a table, writes and reads a
 * stigmergy and joins and leaves a swarm, so every allocation path and
 * every message kind runs. Every REPORT steps it prints the peak and
 * current resident memory of the process and robot 1's live objects and
 * strings; a leak shows as numbers that keep growing.
 *
 *   bench_soak [STEPS]   (default 1,000,000)
 */
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "veskharness.h"
#include "bench_util.h"

namespace {

const char *const SCRIPT = R"(
var n = 0
var heard = 0
var window = {}
var s = stigmergy.create(1)
var g = swarm.create(4)

function init() {
  neighbors.listen("t", function(topic, value, sender) {
    heard = heard + 1
    window[heard % 64] = value
  })
}

function step() {
  n = n + 1
  var txt = string.concat("step ", string.tostring(n), " of robot ", string.tostring(id))
  var t = { .a = n, .b = txt, .c = { .d = n * 2, .e = string.sub(txt, 0, 4) } }
  var f = function(x) { return x + n }
  t.f = f(n)
  window[n % 100] = t
  neighbors.broadcast("t", { .n = n, .s = txt })
  if (n % 10 == 0) {
    s.put(n % 20, txt)
  }
  var k = n + 5
  var got = s.get(k % 20)
  if (n % 50 == 0) {
    g.join()
  }
  if (n % 50 == 25) {
    g.leave()
  }
}
)";

std::vector<uint8_t> compile() {
  return bench_compile(SCRIPT);
}

/* Peak resident memory of the process so far, in KiB. */
long peak_kib() {
  struct rusage ru;
  getrusage(RUSAGE_SELF, &ru);
  return ru.ru_maxrss;
}

/* Current resident memory, in KiB. */
long current_kib() {
  long pages = 0, resident = 0;
  FILE *f = fopen("/proc/self/statm", "r");
  if (f) {
    if (fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    fclose(f);
  }
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
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

int main(int argc, char **argv) {
  const uint64_t steps = argc > 1 ? strtoull(argv[1], nullptr, 10) : 1000000;
  const uint64_t report = 100000;
  std::vector<uint8_t> code = compile();
  if (code.empty()) {
    fprintf(stderr, "bench_soak: the script did not compile\n");
    return 1;
  }
  const uint16_t ids[] = {1, 2};
  veskharness_t h = veskharness_new(2, ids, 512);
  if (veskharness_load(h, code.data(), static_cast<uint32_t>(code.size()), nullptr,
                       nullptr) != 0) {
    fprintf(stderr, "bench_soak: a VM failed to load the script\n");
    return 1;
  }
  veskharness_link_both(h, 0, 1, 0.5f);
  veskvm_t vm = veskharness_vm(h, 0);
  printf("%10s %10s %10s %9s %8s %10s %8s\n", "step", "peak KiB", "rss KiB", "objects",
         "strings", "heard", "seconds");
  auto start = std::chrono::steady_clock::now();
  uint64_t sent = 0;
  for (uint64_t s = 1; s <= steps; ++s) {
    if (veskharness_step(h) != 0) {
      fprintf(stderr, "bench_soak: a VM failed at step %llu: %s\n",
              static_cast<unsigned long long>(s), veskvm_strerror(vm));
      return 1;
    }
    sent += veskharness_sent(h);
    if (s % report == 0 || s == steps) {
      double secs =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      printf("%10llu %10ld %10ld %9lld %8lld %10d %8.1f\n",
             static_cast<unsigned long long>(s), peak_kib(), current_kib(),
             static_cast<long long>(veskdarray_size(vm->heap->objs)),
             static_cast<long long>(veskdict_size(vm->strings->id2str)),
             global_int(vm, "heard"), secs);
      fflush(stdout);
    }
  }
  printf("messages sent by both robots: %llu\n", static_cast<unsigned long long>(sent));
  veskharness_destroy(&h);
  return 0;
}
