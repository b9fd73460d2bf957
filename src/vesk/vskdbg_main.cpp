/*
 * vskdbg: the interactive console debugger. Debugs a bytecode file with its
 * debug file, or a source file compiled and assembled in memory, reading its
 * commands from standard input (a prompt is shown only on a terminal, so
 * that scripted sessions print nothing but their results).
 */
#include "veskbuild.h"
#include "veskdbgcli.h"
#include "vesktools.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

static void usage(const char *prog) {
  fprintf(stderr, "Usage:\n\t%s <file.vo> <file.vdb>\n\t%s <file.vsk>\n\n", prog, prog);
}

int main(int argc, char **argv) {
  const char *prog = argc > 0 && argv[0] ? argv[0] : "vskdbg";
  if (argc < 2 || argc > 3) {
    usage(prog);
    return 0;
  }
  const char *name = argv[1];
  uint8_t *bcode = NULL;
  uint32_t size = 0;
  veskdebug_t dbg = NULL;
  bool loaded;
  if (argc == 3) {
    loaded = vesktools_load(name, &bcode, &size);
    if (loaded) dbg = vesktools_load_debug(argv[2]);
  } else {
    loaded = veskbuild_memory(name, &bcode, &size, &dbg);
  }
  int status = 1;
  if (loaded) {
    veskdbgcli_t s = veskdbgcli_new(name, bcode, size, dbg, stdout, stderr);
    status = veskdbgcli_repl(s, stdin, isatty(STDIN_FILENO));
    veskdbgcli_destroy(&s);
  }
  free(bcode);
  veskdebug_destroy(&dbg);
  return status;
}
