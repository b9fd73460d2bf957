/*
 * Fuzz target: assembly text through the assembler. Accepted listings are
 * disassembled with their debug information and the debug file is written.
 */
#include "fuzz_util.h"

#include "veskdebug.h"

using namespace vesk_fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::string text(reinterpret_cast<const char *>(data), size);
  Bytes code;
  veskdebug_t dbg = nullptr;
  if (assemble(text, code, &dbg)) {
    /* A listing whose string count disagrees with its string lines still
       assembles, into bytecode the disassembler rejects (status 2): only
       crashes matter here. */
    vesk_deasm(code.data(), static_cast<uint32_t>(code.size()), dbg, "/dev/null");
    veskdebug_tofile("/dev/null", dbg);
  }
  if (dbg) veskdebug_destroy(&dbg);
  return 0;
}
