/*
 * Compiler of Vesk source files into assembly text: a recursive-descent
 * parser over the lexer's tokens that writes code directly into chunks (one
 * for the main script, one per function), printed after a successful parse.
 */
#ifndef VESKPARSER_H
#define VESKPARSER_H

#include <stdint.h>
#include <stdio.h>
#include "veskdefs.h"

VESK_BEGIN_DECLS

/* Results of the parse functions. */
static const int32_t PARSE_OK = 1;
static const int32_t PARSE_ERROR = 0;

/* Where sym_add puts a new symbol. */
static const int32_t SCOPE_LOCAL = 0;
static const int32_t SCOPE_GLOBAL = 1;
static const int32_t SCOPE_AUTO = 2; /* global at the top level, else local */

/* Symbol type, and the kinds a reference chain can end in. */
static const int32_t TYPE_BASIC = -1;
static const int32_t TYPE_CLOSURE = -2; /* the chain ends in a call */
static const int32_t TYPE_TABLE = -3;   /* the chain ends in a table element */

typedef struct veskparser_s *veskparser_t;

/* Compiler for the command line of vskparse: argv[1] source file, argv[2]
   output file (created, truncated), optional argv[3] string list (.vst).
   NULL on failure, after a message. */
VESK_API veskparser_t veskparser_new(int argc, char **argv);

/* Compiler writing to an open stream, which the caller keeps and closes
   (e.g. a file, stdout, or open_memstream for an in-memory result).
   strlist may be NULL. NULL on failure, after a message. */
VESK_API veskparser_t veskparser_new_stream(const char *source, FILE *out,
                                            const char *strlist);

/* Compiles and, on success, writes the assembly text. PARSE_OK or
   PARSE_ERROR (after at least one message with file, line and column). */
VESK_API int32_t veskparser_parse(veskparser_t p);

/* Frees the compiler and closes the output file it opened. */
VESK_API void veskparser_destroy(veskparser_t *p);

VESK_END_DECLS

#endif
