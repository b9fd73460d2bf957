/*
 * Fuzz target: arbitrary bytecode loaded into a VM and run under an
 * instruction budget, then disassembled. Also calls the script functions
 * the prologue defined, the way the simulator host does.
 */
#include "fuzz_util.h"

#include "veskdebug.h"

using namespace vesk_fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size > UINT32_MAX) return 0;
  /* The VM reads the bytecode in place: an exact-size copy lets the address
     sanitizer see every read past its end. */
  Bytes code(data, data + size);
  uint32_t n = static_cast<uint32_t>(size);
  veskvm_t vm = veskvm_new(1);
  veskvm_set_bcode(vm, code.data(), n);
  register_print(vm);
  remove_io(vm);
  run(vm, STEP_BUDGET);
  veskvm_destroy(&vm);
  vesk_deasm(code.data(), n, nullptr, "/dev/null");
  return 0;
}
