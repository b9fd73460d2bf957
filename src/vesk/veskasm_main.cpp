/*
 * vskasm: assembles a listing into a bytecode file and a debug file.
 */
#include "vesktools.h"

#include <stdio.h>

int main(int argc, char **argv) {
  if (argc != 4) {
    const char *prog = argc > 0 && argv[0] ? argv[0] : "vskasm";
    fprintf(stderr, "Usage:\n\t%s <asmfile.vasm> <bytecodefile.vo> <debugfile.vdbg>\n\n",
            prog);
    return 0;
  }
  return vesktools_assemble_files(argv[1], argv[2], argv[3]);
}
