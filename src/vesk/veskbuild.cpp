/*
 * Building a script: the compiler writes its listing into a memory stream,
 * which the assembler then reads back as it would read a .vasm file; or both
 * go through the files vskparse and vskasm would write. Callers that show the
 * messages themselves (the editor, the tests) capture standard error, where
 * the compiler and the assembler write them.
 */
#include "veskbuild.h"
#include "veskasm.h"
#include "veskparser.h"
#include "vesktools.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>

/* Compiles source into a malloc'ed listing; false after the compiler's messages. */
static bool compile_listing(const char *source, char **text, size_t *len,
                            veskparser_observer_t observer, void *data) {
  FILE *out = open_memstream(text, len);
  if (!out) {
    perror(source);
    return false;
  }
  veskparser_t p = veskparser_new_stream(source, out, NULL);
  if (p && observer) veskparser_observe(p, observer, data);
  bool ok = p && veskparser_parse(p) == PARSE_OK;
  veskparser_destroy(&p);
  fclose(out);
  return ok;
}

/* The source path without its .vsk extension: the stem of the files vsk build writes. */
static std::string stem(const char *source) {
  std::string name(source);
  if (name.size() > 4 && name.compare(name.size() - 4, 4, ".vsk") == 0)
    name.resize(name.size() - 4);
  return name;
}

/* Compiles and assembles; the empty-listing message names the listing when
 * the caller named it, else the source. */
static bool build(const char *source, const char *listing, uint8_t **bcode,
                  uint32_t *size, veskdebug_t *dbg, veskparser_observer_t observer,
                  void *data) {
  char *text = NULL;
  size_t len = 0;
  bool ok = compile_listing(source, &text, &len, observer, data);
  FILE *in = ok && len ? fmemopen(text, len, "r") : NULL;
  if (in) {
    const std::string name = listing ? listing : stem(source) + ".vasm";
    ok = vesk_asm_stream(in, name.c_str(), bcode, size, dbg) == 0;
    fclose(in);
  } else if (ok) {
    fprintf(stderr, "%s: empty assembly listing\n", listing ? listing : source);
    ok = false;
  }
  free(text);
  return ok;
}

/* Builds with the messages kept when messages is not NULL. */
static int build_kept(const char *source, const char *listing, uint8_t **bcode,
                      uint32_t *size, veskdebug_t *dbg, char **messages,
                      veskparser_observer_t observer, void *data) {
  *bcode = NULL;
  *size = 0;
  *dbg = NULL;
  veskbuild_capture_t capture = messages ? veskbuild_capture_start() : NULL;
  bool ok = build(source, listing, bcode, size, dbg, observer, data);
  if (messages) {
    *messages = veskbuild_capture_finish(&capture);
    if (!*messages) *messages = strdup("");
  }
  return ok ? 1 : 0;
}

int veskbuild_memory_named(const char *source, const char *listing, uint8_t **bcode,
                           uint32_t *size, veskdebug_t *dbg, char **messages) {
  return build_kept(source, listing, bcode, size, dbg, messages, NULL, NULL);
}

int veskbuild_observed(const char *source, veskparser_observer_t observer, void *data,
                       uint8_t **bcode, uint32_t *size, veskdebug_t *dbg,
                       char **messages) {
  return build_kept(source, NULL, bcode, size, dbg, messages, observer, data);
}

int veskbuild_memory(const char *source, uint8_t **bcode, uint32_t *size,
                     veskdebug_t *dbg) {
  return veskbuild_memory_named(source, NULL, bcode, size, dbg, NULL);
}

int veskbuild_files(const char *source) {
  std::string base = stem(source);
  std::string vasm = base + ".vasm", vo = base + ".vo", vdb = base + ".vdb";
  char *argv[] = {(char *)"veskbuild", (char *)source, vasm.data(), NULL};
  veskparser_t p = veskparser_new(3, argv);
  if (!p) return 1;
  int32_t parsed = veskparser_parse(p);
  veskparser_destroy(&p);
  if (parsed != PARSE_OK) return 1;
  return vesktools_assemble_files(vasm.c_str(), vo.c_str(), vdb.c_str());
}

int veskbuild_write(const char *vo, const char *vdb, const uint8_t *bcode, uint32_t size,
                    veskdebug_t dbg) {
  FILE *f = fopen(vo, "wb");
  if (!f) return 1;
  bool written = fwrite(bcode, 1, size, f) == size;
  if (fclose(f) != 0 || !written) return 1;
  return veskdebug_tofile(vdb, dbg) ? 0 : 2;
}

struct veskbuild_capture_s {
  FILE *file; /* where standard error goes meanwhile */
  int saved;  /* the descriptor standard error had */
};

veskbuild_capture_t veskbuild_capture_start(void) {
  fflush(stderr);
  FILE *file = tmpfile();
  if (!file) return NULL;
  int saved = dup(STDERR_FILENO);
  if (saved >= 0 && dup2(fileno(file), STDERR_FILENO) < 0) {
    close(saved);
    saved = -1;
  }
  if (saved < 0) {
    fclose(file);
    return NULL;
  }
  veskbuild_capture_t capture = (veskbuild_capture_t)malloc(sizeof *capture);
  if (!capture) {
    dup2(saved, STDERR_FILENO);
    close(saved);
    fclose(file);
    return NULL;
  }
  capture->file = file;
  capture->saved = saved;
  return capture;
}

/* The whole content of a file from its start, as a malloc'ed string. */
static char *read_back(FILE *file) {
  char *text = NULL;
  size_t len = 0;
  FILE *out = open_memstream(&text, &len);
  if (!out) return NULL;
  rewind(file);
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, file)) > 0;)
    fwrite(buffer, 1, n, out);
  fclose(out);
  return text;
}

char *veskbuild_capture_finish(veskbuild_capture_t *capture) {
  if (!capture || !*capture) return NULL;
  fflush(stderr);
  dup2((*capture)->saved, STDERR_FILENO);
  close((*capture)->saved);
  char *text = read_back((*capture)->file);
  fclose((*capture)->file);
  free(*capture);
  *capture = NULL;
  return text;
}
