/*
 * Helpers shared by the fuzz targets: scratch files for the APIs that read
 * paths, the compile-and-assemble pipeline in memory, a print function that
 * writes nothing, and running a VM under an instruction budget.
 */
#ifndef VESK_FUZZ_UTIL_H
#define VESK_FUZZ_UTIL_H

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "veskasm.h"
#include "veskparser.h"
#include "veskvm.h"

namespace vesk_fuzz {

using Bytes = std::vector<uint8_t>;

/* Instructions one input may execute: enough for loops to matter, small
   enough that an endless script costs a few milliseconds. */
constexpr uint32_t STEP_BUDGET = 20000;

/* A file of this process under /tmp (or $TMPDIR) holding the input; the
   same path is reused for every input. */
inline std::string scratch_file(const char *suffix, const uint8_t *data, size_t size) {
  const char *dir = getenv("TMPDIR");
  std::string path = std::string(dir && *dir ? dir : "/tmp") + "/vesk-fuzz-" +
                     std::to_string(getpid()) + suffix;
  FILE *f = fopen(path.c_str(), "wb");
  if (!f) abort(); /* the machine, not the input, is broken */
  if (size > 0 && fwrite(data, 1, size, f) != size) abort();
  fclose(f);
  return path;
}

/* Compiles a source file into assembly text; false when it does not compile. */
inline bool compile(const std::string &path, std::string &vasm) {
  char *text = nullptr;
  size_t len = 0;
  FILE *out = open_memstream(&text, &len);
  veskparser_t p = veskparser_new_stream(path.c_str(), out, nullptr);
  bool ok = p && veskparser_parse(p) == PARSE_OK;
  if (p) veskparser_destroy(&p);
  fclose(out);
  vasm.assign(text ? text : "", len);
  free(text);
  return ok;
}

/* Assembles assembly text; false on an error. dbg (may be null) receives the
   debug information, which the caller destroys. */
inline bool assemble(const std::string &vasm, Bytes &code, veskdebug_t *dbg) {
  std::string copy = vasm.empty() ? std::string(" ") : vasm; /* fmemopen needs bytes */
  FILE *in = fmemopen(copy.data(), copy.size(), "r");
  if (!in) return false;
  uint8_t *bcode = nullptr;
  uint32_t size = 0;
  veskdebug_t d = nullptr;
  int status = vesk_asm_stream(in, "fuzz.vasm", &bcode, &size, &d);
  fclose(in);
  if (status == 0) code.assign(bcode, bcode + size);
  free(bcode);
  if (dbg)
    *dbg = d;
  else if (d)
    veskdebug_destroy(&d);
  return status == 0;
}

/* print for scripts: consumes its arguments, writes nothing. */
inline int quiet_print(veskvm_t vm) {
  return veskvm_ret0(vm);
}

inline void register_print(veskvm_t vm) {
  veskvm_register_global_function(vm, "print", quiet_print);
}

/* Takes the file library away from a loaded script: fuzzed code would
   otherwise create and truncate files wherever its strings point. */
inline void remove_io(veskvm_t vm) {
  veskvm_pushstr(vm, "io", 1);
  veskvm_pushnil(vm);
  veskvm_gstore(vm);
}

/* Steps a VM while it is ready, at most budget instructions; returns the state. */
inline int run(veskvm_t vm, uint32_t budget) {
  while (budget-- > 0 && vm->state == VESKVM_STATE_READY)
    veskvm_step(vm);
  return vm->state;
}

/* True when text contains needle. */
inline bool contains(const uint8_t *data, size_t size, const std::string &needle) {
  return std::string(reinterpret_cast<const char *>(data), size).find(needle) !=
         std::string::npos;
}

} // namespace vesk_fuzz

#endif
