/*
 * Measures the interpreter: instructions per second on a loop that calls a
 * script function every iteration and on a loop of integer arithmetic, and
 * objects allocated and swept per second on a loop that makes garbage.
 * Times are processor time of this process.
 * Usage: bench_vm [iterations]   (default 1000000)
 */
#include <cstdio>
#include <ctime>
#include <cstdlib>
#include <vector>

#include "bcode_builder.h"
#include "veskvm.h"

namespace {

using I = veskvm_instr;
/* Processor time of this process: other load on the machine does not count. */
double cpu_seconds() {
  timespec ts;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return ts.tv_sec + ts.tv_nsec / 1e9;
}

struct Result {
  uint64_t steps = 0;
  double seconds = 0;
  int64_t live_before = 0;
  int64_t live_after = 0;
};

/* Loads b, then runs its function "main" to completion one step at a time. */
Result run(BcodeBuilder &b) {
  std::vector<uint8_t> code = b.build();
  veskvm_t vm = veskvm_new(1);
  Result r;
  if (veskvm_set_bcode(vm, code.data(), static_cast<uint32_t>(code.size())) !=
          VESKVM_STATE_READY ||
      veskvm_execute_script(vm) != VESKVM_STATE_DONE) {
    fprintf(stderr, "bench: loading failed: %s\n", veskvm_strerror(vm));
    exit(1);
  }
  r.live_before = veskdarray_size(vm->heap->objs);
  /* Enter main through the call sequence, then step until it returns. */
  vm->state = VESKVM_STATE_READY;
  veskvm_pushstr(vm, "main", 0);
  veskvm_gload(vm);
  veskvm_pushi(vm, 0);
  double t0 = cpu_seconds();
  veskvm_call(vm, 0);
  while (veskdarray_size(vm->stacks) > 1 && veskvm_step(vm) == VESKVM_STATE_READY)
    ++r.steps;
  r.seconds = cpu_seconds() - t0;
  if (vm->state != VESKVM_STATE_READY) {
    fprintf(stderr, "bench: script failed: %s\n", veskvm_strerror(vm));
    exit(1);
  }
  r.live_after = veskdarray_size(vm->heap->objs);
  veskvm_destroy(&vm);
  return r;
}

/* for (i = 0; i < n; i = i + 1) body; with i in local 1. */
void counted_loop(BcodeBuilder &b, int32_t n, void (*body)(BcodeBuilder &)) {
  b.pushi(0).lstore(1);
  b.label("loop")
      .lload(1)
      .pushi(n)
      .op(I::VESKVM_INSTR_LT)
      .op(I::VESKVM_INSTR_JUMPZ, "end");
  body(b);
  b.lload(1).pushi(1).op(I::VESKVM_INSTR_ADD).lstore(1).op(I::VESKVM_INSTR_JUMP, "loop");
  b.label("end").op(I::VESKVM_INSTR_RET0);
}

void report(const char *name, const Result &r) {
  printf("%-12s %10llu instructions in %.3f s CPU: %.1f M instructions/s\n", name,
         static_cast<unsigned long long>(r.steps), r.seconds, r.steps / r.seconds / 1e6);
}

} // namespace

int main(int argc, char **argv) {
  int32_t n = argc > 1 ? atoi(argv[1]) : 1000000;
  if (n <= 0) n = 1000000;

  /* Call-heavy: every iteration calls inc(i) and drops the result. */
  BcodeBuilder calls;
  calls.fun("main", "main")
      .fun("inc", "inc")
      .op(I::VESKVM_INSTR_NOP)
      .op(I::VESKVM_INSTR_DONE);
  calls.label("main");
  counted_loop(calls, n, [](BcodeBuilder &b) {
    b.gload("inc").lload(1).call(1).op(I::VESKVM_INSTR_POP);
  });
  calls.label("inc").lload(1).pushi(1).op(I::VESKVM_INSTR_ADD).op(I::VESKVM_INSTR_RET1);
  report("calls", run(calls));

  /* Arithmetic: acc = (acc * 31 + i) % 1000003 in local 2. */
  BcodeBuilder arith;
  arith.fun("main", "main").op(I::VESKVM_INSTR_NOP).op(I::VESKVM_INSTR_DONE);
  arith.label("main").pushi(0).lstore(2);
  counted_loop(arith, n, [](BcodeBuilder &b) {
    b.lload(2).pushi(31).op(I::VESKVM_INSTR_MUL).lload(1).op(I::VESKVM_INSTR_ADD);
    b.pushi(1000003).op(I::VESKVM_INSTR_MOD).lstore(2);
  });
  report("arithmetic", run(arith));

  /* Garbage: a table per iteration. Objects made per iteration: the loop's
     pushi, lt, pushi, add (4) and the table (1). */
  const int64_t PER_ITERATION = 5;
  BcodeBuilder garbage;
  garbage.fun("main", "main").op(I::VESKVM_INSTR_NOP).op(I::VESKVM_INSTR_DONE);
  garbage.label("main");
  counted_loop(garbage, n, [](BcodeBuilder &b) {
    b.op(I::VESKVM_INSTR_PUSHT).op(I::VESKVM_INSTR_POP);
  });
  Result g = run(garbage);
  report("allocation", g);
  int64_t made = PER_ITERATION * n;
  int64_t swept = made - (g.live_after - g.live_before);
  printf(
      "%-12s %10lld objects allocated, %lld swept: %.1f M allocated/s, %.1f M swept/s\n",
      "heap", static_cast<long long>(made), static_cast<long long>(swept),
      made / g.seconds / 1e6, swept / g.seconds / 1e6);
  return 0;
}
