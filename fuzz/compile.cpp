/*
 * Fuzz target: source text through the lexer and the compiler. What
 * compiles is assembled, disassembled and run under an instruction budget,
 * so the compiler's output is checked against the tools that consume it.
 */
#include "fuzz_util.h"

#include <cstring>

#include "veskdebug.h"

using namespace vesk_fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  /* Includes resolve against the file system: keep them to plain names in
     the scratch directory, so no input can read a device or another file. */
  if (contains(data, size, "include") && (contains(data, size, "/") || size > 65536))
    return 0;
  std::string path = scratch_file(".vsk", data, size);
  std::string vasm;
  if (!compile(path, vasm)) return 0;
  Bytes code;
  veskdebug_t dbg = nullptr;
  if (!assemble(vasm, code, &dbg)) {
    /* The compiler's output must always assemble. */
    fprintf(stderr, "compiled text does not assemble:\n%s\n", vasm.c_str());
    abort();
  }
  vesk_deasm(code.data(), static_cast<uint32_t>(code.size()), dbg, "/dev/null");
  veskvm_t vm = veskvm_new(1);
  veskvm_set_bcode(vm, code.data(), static_cast<uint32_t>(code.size()));
  register_print(vm);
  remove_io(vm);
  run(vm, STEP_BUDGET);
  veskvm_destroy(&vm);
  veskdebug_destroy(&dbg);
  return 0;
}

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  /* Includes without a path are looked up nowhere but beside the input. */
  setenv("VESK_INCLUDE_PATH", "", 1);
  return 0;
}
