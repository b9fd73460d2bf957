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

/* What an observer of a compilation is told (for checkers such as veskcheck):
   every declaration, and every use of a variable's name as the compiler
   resolves it, with the position of the name. */
enum {
  VESKPARSER_SEEN_DECLARE = 0, /* a parameter, a var or a named function */
  VESKPARSER_SEEN_READ,        /* the variable's value is used */
  VESKPARSER_SEEN_WRITE,       /* "name = value" */
  VESKPARSER_SEEN_CALL,        /* "name(arguments)", besides its READ */
  /* Scopes, for debuggers that name the slots of a call frame: a function
     or lambda starts (depth: its nesting, 1 for a named function or a
     lambda of the top level, whose slot 0 is self) or ends, and a block of
     a function ends (slot: the first frame index it frees). */
  VESKPARSER_SEEN_FUNCTION_BEGIN,
  VESKPARSER_SEEN_FUNCTION_END,
  VESKPARSER_SEEN_BLOCK_END
};
enum {
  VESKPARSER_DECL_PARAMETER = 0,
  VESKPARSER_DECL_VAR,
  VESKPARSER_DECL_FUNCTION /* a named function */
};

typedef struct veskparser_seen_s {
  int32_t what;     /* VESKPARSER_SEEN_* */
  int32_t decl;     /* VESKPARSER_DECL_* for a declaration, else -1 */
  const char *name; /* valid during the call only, like fname */
  int32_t global;   /* 1 for a global, 0 for a local */
  int64_t symbol;   /* a local's declaration number (unique), -1 for a global */
  int32_t symdepth; /* function nesting where the local was declared */
  int32_t depth;    /* nesting here: 0 top level, 1 in a function, +1 per lambda */
  /* A call's argument count; a named function's parameter count, or that
     of the lambda a var is initialised with (exactly that lambda); else -1. */
  int64_t count;
  const char *fname;
  uint64_t line; /* from 1 */
  uint64_t col;  /* characters before the name on its line */
  int64_t slot;  /* a local's frame index (see BLOCK_END), -1 for a global */
} veskparser_seen_t;

typedef void (*veskparser_observer_t)(const veskparser_seen_t *seen, void *data);

/* Calls fun with data for everything the next veskparser_parse sees; the
   compiler's output does not change. */
VESK_API void veskparser_observe(veskparser_t p, veskparser_observer_t fun, void *data);

/* Frees the compiler and closes the output file it opened. */
VESK_API void veskparser_destroy(veskparser_t *p);

VESK_END_DECLS

#endif
