/*
 * Fuzz target: debug-information files through the reader, then the
 * lookups, breakpoints and writer on what was read.
 */
#include "fuzz_util.h"

#include "veskdebug.h"

using namespace vesk_fuzz;

/* Looks every recorded offset up in both directions. */
static void walk(const void *key, void *data, void *params) {
  veskdebug_t dbg = static_cast<veskdebug_t>(params);
  uint32_t off = *static_cast<const uint32_t *>(key);
  veskdebug_entry_t e = *static_cast<veskdebug_entry_t *>(data);
  if (!veskdebug_info_get_fromscript(dbg, e->line, e->col, e->fname)) {
    fprintf(stderr, "position of offset %u not found\n", off);
    abort();
  }
  veskdebug_breakpoint_set_offset(dbg, static_cast<int32_t>(off));
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::string path = scratch_file(".vdb", data, size);
  veskdebug_t dbg = veskdebug_new();
  veskdebug_fromfile(dbg, path.c_str());
  veskdict_foreach(dbg->off2script, walk, dbg);
  veskdebug_tofile("/dev/null", dbg);
  veskdebug_destroy(&dbg);
  return 0;
}
