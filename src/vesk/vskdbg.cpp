/*
 * vskdbg: the interactive console debugger. Debugs a bytecode file with its
 * debug file, or a source file compiled and assembled in memory, reading its
 * commands from standard input (a prompt is shown only on a terminal, so
 * that scripted sessions print nothing but their results).
 */
#include "veskasm.h"
#include "veskdbgcli.h"
#include "veskparser.h"
#include "veskrunner.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>

static void usage(const char *prog) {
  fprintf(stderr, "Usage:\n\t%s <file.vo> <file.vdb>\n\t%s <file.vsk>\n\n", prog, prog);
}

/*
 * Compiles a source file and assembles the listing without touching the
 * disk. On success returns true with the bytecode (release with free) and the
 * debug object; on failure the compiler or assembler has reported why.
 */
static bool build_in_memory(const char *source, uint8_t **bcode, uint32_t *size,
                            veskdebug_t *dbg) {
  char *text = NULL;
  size_t len = 0;
  FILE *listing = open_memstream(&text, &len);
  if (!listing) {
    perror(source);
    return false;
  }
  veskparser_t p = veskparser_new_stream(source, listing, NULL);
  bool ok = p && veskparser_parse(p) == PARSE_OK;
  veskparser_destroy(&p);
  fclose(listing);
  FILE *in = ok && len ? fmemopen(text, len, "r") : NULL;
  if (ok && in) {
    /* The assembler names the listing it would have read from a file. */
    std::string name(source);
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".vsk") == 0)
      name.resize(name.size() - 4);
    ok = vesk_asm_stream(in, (name + ".vasm").c_str(), bcode, size, dbg) == 0;
    fclose(in);
  } else if (ok) {
    fprintf(stderr, "%s: empty assembly listing\n", source);
    ok = false;
  }
  free(text);
  return ok;
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
    loaded = veskrunner_load(name, &bcode, &size);
    if (loaded) dbg = veskrunner_load_debug(argv[2]);
  } else {
    loaded = build_in_memory(name, &bcode, &size, &dbg);
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
