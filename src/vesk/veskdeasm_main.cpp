/*
 * vskdeasm: writes a bytecode file as a listing annotated from its debug file.
 */
#include "veskasm.h"
#include "vesktools.h"

#include <stdio.h>
#include <stdlib.h>

int main(int argc, char **argv) {
  if (argc != 4) {
    const char *prog = argc > 0 && argv[0] ? argv[0] : "vskdeasm";
    fprintf(stderr, "Usage:\n\t%s <bytecodefile.vo> <debugfile.vdb> <outfile.vasm>\n\n",
            prog);
    return 0;
  }
  uint8_t *bcode = nullptr;
  uint32_t size = 0;
  if (!vesktools_load(argv[1], &bcode, &size)) return 1;
  /* Without debug information the listing simply has no annotations. */
  veskdebug_t dbg = vesktools_load_debug(argv[2]);
  int status = vesk_deasm(bcode, size, dbg, argv[3]);
  free(bcode);
  veskdebug_destroy(&dbg);
  return status;
}
