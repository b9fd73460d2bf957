/*
 * Helpers shared by the benchmark programs: building a script held in a
 * string into bytecode, through the same in-memory path as `vsk run`.
 */
#ifndef BENCH_UTIL_H
#define BENCH_UTIL_H

#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <vector>

#include "veskbuild.h"

/* The bytecode of a script's text; empty after the compiler's messages. */
inline std::vector<uint8_t> bench_compile(const char *script_text) {
  char path[] = "/tmp/vesk-bench-XXXXXX.vsk";
  int fd = mkstemps(path, 4);
  if (fd < 0) return {};
  FILE *src = fdopen(fd, "w");
  fputs(script_text, src);
  fclose(src);
  uint8_t *bcode = nullptr;
  uint32_t size = 0;
  veskdebug_t dbg = nullptr;
  std::vector<uint8_t> code;
  if (veskbuild_memory(path, &bcode, &size, &dbg)) code.assign(bcode, bcode + size);
  free(bcode);
  veskdebug_destroy(&dbg);
  remove(path);
  return code;
}

#endif
