/*
 * vskparse: compiles a Vesk source file (and the files it includes) into
 * assembly text. Exit status 0 on success or after the usage text, 1 when
 * a file can't be opened or the compilation fails.
 */
#include "veskparser.h"

#include <cstdio>

int main(int argc, char **argv) {
  if (argc < 3 || argc > 4) {
    fprintf(stderr, "Usage:\n\t%s <infile.vsk> <outfile.vasm> [stringlist.vst]\n\n",
            argc > 0 && argv[0] ? argv[0] : "vskparse");
    return 0;
  }
  veskparser_t p = veskparser_new(argc, argv);
  if (!p) return 1;
  int32_t result = veskparser_parse(p);
  veskparser_destroy(&p);
  return result == PARSE_OK ? 0 : 1;
}
