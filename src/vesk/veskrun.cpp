/*
 * vskrun: runs a bytecode file on the console with a print function,
 * optionally dumping the VM before every instruction.
 */
#include "vesktools.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static void usage(const char *prog) {
  fprintf(stderr, "Usage:\n\t%s [--trace] <file.vo> <file.vdb>\n\n", prog);
}

int main(int argc, char **argv) {
  const char *prog = argc > 0 && argv[0] ? argv[0] : "vskrun";
  if (argc < 3 || argc > 4) {
    usage(prog);
    return 0;
  }
  int trace = argc == 4;
  if (trace && strcmp(argv[1], "--trace") != 0) {
    fprintf(stderr, "error: %s: unrecognized option '%s'\n", prog, argv[1]);
    usage(prog);
    return 1;
  }
  const char *bcode_path = argv[argc - 2];
  uint8_t *bcode = nullptr;
  uint32_t size = 0;
  if (!vesktools_load(bcode_path, &bcode, &size)) return 1;
  veskdebug_t dbg = vesktools_load_debug(argv[argc - 1]);
  int status = vesktools_run(bcode_path, bcode, size, dbg, trace);
  free(bcode);
  veskdebug_destroy(&dbg);
  return status;
}
