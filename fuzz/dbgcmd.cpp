/*
 * Fuzz target: debugger command lines, read as vskdbg reads standard input,
 * over a fixed program with calls, callbacks of natives and globals to
 * watch; the commands resume and restart it at stops nested inside
 * callbacks and at the top level.
 */
#include "fuzz_util.h"

#include "veskbuild.h"
#include "veskdbgcli.h"

using namespace vesk_fuzz;

static const char program[] = "best = nil\n"
                              "t = {.a = 3, .b = {.c = 4}}\n"
                              "function keep(k, v) {\n"
                              "  var w = v\n"
                              "  if (best == nil) best = w\n"
                              "}\n"
                              "function sum(n) {\n"
                              "  var s = 0\n"
                              "  while (n > 0) {\n"
                              "    s = s + n\n"
                              "    n = n - 1\n"
                              "  }\n"
                              "  return s\n"
                              "}\n"
                              "foreach(t, keep)\n"
                              "var m = map(t, function(k, v) { return k })\n"
                              "print(sum(4), m.a)\n";

/* The program, built once; its source stays for the debugger to name locals. */
static bool build(uint8_t **code, uint32_t *size, veskdebug_t *dbg) {
  static std::string path = scratch_file(
      ".vsk", reinterpret_cast<const uint8_t *>(program), sizeof program - 1);
  char *messages = nullptr;
  bool ok = veskbuild_memory_named(path.c_str(), nullptr, code, size, dbg, &messages);
  free(messages);
  return ok;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static uint8_t *code = nullptr;
  static uint32_t code_size = 0;
  static veskdebug_t dbg = nullptr;
  if (!code && !build(&code, &code_size, &dbg)) abort();
  if (size == 0) return 0; /* fmemopen refuses an empty buffer */
  FILE *in = fmemopen(const_cast<uint8_t *>(data), size, "r");
  FILE *sink = fopen("/dev/null", "w");
  if (!in || !sink) abort();
  veskdbgcli_t s = veskdbgcli_new("fuzz", code, code_size, dbg, sink, sink);
  veskdbgcli_repl(s, in, 0);
  veskdbgcli_destroy(&s);
  fclose(in);
  fclose(sink);
  return 0;
}
