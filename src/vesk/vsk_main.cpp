/*
 * vsk: the one-step front end. `vsk run FILE.vsk` compiles, assembles and
 * runs a script in memory; `vsk build FILE.vsk` writes FILE.vasm, FILE.vo and
 * FILE.vdb next to the source. Both go through the same library code as
 * vskparse, vskasm and vskrun, with their messages and exit statuses.
 * `vsk check FILE.vsk` prints the static checker's warnings (status 1 when
 * there are any, 2 when the script does not compile).
 */
#include "veskbuild.h"
#include "veskcheck.h"
#include "vesktools.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static void usage(const char *prog) {
  fprintf(stderr,
          "Usage:\n\t%s run [--trace] <file.vsk>\n\t%s build <file.vsk>\n"
          "\t%s check <file.vsk>\n\n",
          prog, prog, prog);
}

static int unrecognized(const char *prog, const char *what, const char *arg) {
  fprintf(stderr, "error: %s: unrecognized %s '%s'\n", prog, what, arg);
  usage(prog);
  return 1;
}

static int run(const char *source, int trace) {
  uint8_t *bcode = NULL;
  uint32_t size = 0;
  veskdebug_t dbg = NULL;
  int status = 1;
  if (veskbuild_memory(source, &bcode, &size, &dbg))
    status = vesktools_run(source, bcode, size, dbg, trace);
  free(bcode);
  veskdebug_destroy(&dbg);
  return status;
}

/* Exit status 0 when clean, 1 with warnings, 2 when the script does not compile. */
static int check(const char *source) {
  int warnings = veskcheck_file(source, stdout);
  return warnings < 0 ? 2 : warnings > 0 ? 1 : 0;
}

int main(int argc, char **argv) {
  const char *prog = argc > 0 && argv[0] ? argv[0] : "vsk";
  if (argc < 3 || argc > 4) {
    usage(prog);
    return 0;
  }
  if (strcmp(argv[1], "run") == 0) {
    if (argc == 4 && strcmp(argv[2], "--trace") != 0)
      return unrecognized(prog, "option", argv[2]);
    return run(argv[argc - 1], argc == 4);
  }
  if (strcmp(argv[1], "build") == 0) {
    if (argc == 4) return unrecognized(prog, "option", argv[2]);
    return veskbuild_files(argv[2]);
  }
  if (strcmp(argv[1], "check") == 0) {
    if (argc == 4) return unrecognized(prog, "option", argv[2]) + 1;
    return check(argv[2]);
  }
  return unrecognized(prog, "command", argv[1]);
}
