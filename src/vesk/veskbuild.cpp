/*
 * Building a script in memory: the compiler writes its listing into a memory
 * stream, which the assembler then reads back as it would read a .vasm file.
 */
#include "veskbuild.h"
#include "veskasm.h"
#include "veskparser.h"

#include <stdio.h>
#include <stdlib.h>

#include <string>

/* Compiles source into a malloc'ed listing; false after the compiler's messages. */
static bool compile_listing(const char *source, char **text, size_t *len) {
  FILE *out = open_memstream(text, len);
  if (!out) {
    perror(source);
    return false;
  }
  veskparser_t p = veskparser_new_stream(source, out, NULL);
  bool ok = p && veskparser_parse(p) == PARSE_OK;
  veskparser_destroy(&p);
  fclose(out);
  return ok;
}

/* The name the assembler reports: the listing vskparse would have written. */
static std::string listing_name(const char *source) {
  std::string name(source);
  if (name.size() > 4 && name.compare(name.size() - 4, 4, ".vsk") == 0)
    name.resize(name.size() - 4);
  return name + ".vasm";
}

int veskbuild_memory(const char *source, uint8_t **bcode, uint32_t *size,
                     veskdebug_t *dbg) {
  char *text = NULL;
  size_t len = 0;
  *bcode = NULL;
  *size = 0;
  *dbg = NULL;
  bool ok = compile_listing(source, &text, &len);
  FILE *in = ok && len ? fmemopen(text, len, "r") : NULL;
  if (in) {
    ok = vesk_asm_stream(in, listing_name(source).c_str(), bcode, size, dbg) == 0;
    fclose(in);
  } else if (ok) {
    fprintf(stderr, "%s: empty assembly listing\n", source);
    ok = false;
  }
  free(text);
  return ok ? 1 : 0;
}
