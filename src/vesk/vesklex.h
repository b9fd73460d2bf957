/*
 * Lexer of Vesk source files: turns a main file and the files it includes
 * into one stream of tokens, each carrying its line, column and the real
 * path of its file. Lexical errors are printed on standard error.
 */
#ifndef VESKLEX_H
#define VESKLEX_H

#include <stdint.h>
#include "veskdefs.h"

VESK_BEGIN_DECLS

/* Token kinds; vesktok_desc[kind] is the name printed in messages. */
enum {
  VESKTOK_ID = 0,     /* identifier */
  VESKTOK_CONST,      /* numeric constant, text as written */
  VESKTOK_STRING,     /* string, decoded text */
  VESKTOK_VAR,        /* var */
  VESKTOK_NIL,        /* nil */
  VESKTOK_IF,         /* if */
  VESKTOK_ELSE,       /* else */
  VESKTOK_FUN,        /* function */
  VESKTOK_RETURN,     /* return */
  VESKTOK_FOR,        /* for */
  VESKTOK_WHILE,      /* while */
  VESKTOK_ANDOR,      /* and, or */
  VESKTOK_NOT,        /* not */
  VESKTOK_ADDSUB,     /* + - */
  VESKTOK_MULDIV,     /* * / */
  VESKTOK_MOD,        /* % */
  VESKTOK_POW,        /* ^ */
  VESKTOK_BLOCKOPEN,  /* { */
  VESKTOK_BLOCKCLOSE, /* } */
  VESKTOK_PAROPEN,    /* ( */
  VESKTOK_PARCLOSE,   /* ) */
  VESKTOK_IDXOPEN,    /* [ */
  VESKTOK_IDXCLOSE,   /* ] */
  VESKTOK_STATEND,    /* ; or line feed */
  VESKTOK_LISTSEP,    /* , */
  VESKTOK_ASSIGN,     /* = */
  VESKTOK_DOT,        /* . */
  VESKTOK_CMP,        /* == != < <= > >= */
  VESKTOK_COUNT
};

VESK_API extern const char *vesktok_desc[VESKTOK_COUNT];

/* One token; the caller of vesklex_nexttok owns it. */
struct vesktok_s {
  int32_t kind;  /* VESKTOK_* */
  char *value;   /* owned text, or NULL for kinds without a value */
  uint64_t line; /* 1 for the first line */
  uint64_t col;  /* characters before the token on its line */
  char *fname;   /* owned real path of the token's file */
};
typedef struct vesktok_s *vesktok_t;

/* One source file being read, loaded whole into memory. */
struct vesklex_file_s {
  uint64_t line; /* current line, from 1 */
  uint64_t col;  /* characters consumed on the current line */
  uint64_t size; /* content length, including the added final line feed */
  uint64_t pos;  /* index of the next character */
  char *buf;     /* content + '\n' + NUL */
  char *fname;   /* owned real path */
};
typedef struct vesklex_file_s *vesklex_file_t;

/* The lexer: a stack of source files, the innermost include on top. */
typedef struct vesklex_s *vesklex_t;

/* Opens the main file; NULL (errno set, nothing printed) if it can't be read. */
VESK_API vesklex_t vesklex_new(const char *path);
VESK_API void vesklex_destroy(vesklex_t *lex);

/* Next token, or NULL. After NULL, vesklex_depth() tells the cases apart:
   0 means the input is exhausted, anything else that an error was printed. */
VESK_API vesktok_t vesklex_nexttok(vesklex_t lex);
/* Number of files on the stack. */
VESK_API uint64_t vesklex_depth(vesklex_t lex);
/* Where the input ended (just after the main file's last character);
   valid once vesklex_nexttok has returned NULL with an empty stack. */
VESK_API void vesklex_endpos(vesklex_t lex, const char **fname, uint64_t *line,
                             uint64_t *col);

VESK_API vesktok_t vesklex_clonetok(const vesktok_t tok);
VESK_API void vesklex_destroytok(vesktok_t *tok);

/* Source file records; vesklex_file_cmp compares real paths. */
VESK_API vesklex_file_t vesklex_file_new(const char *path);
VESK_API void vesklex_file_destroy(vesklex_file_t *file);
VESK_API int vesklex_file_cmp(const vesklex_file_t a, const vesklex_file_t b);

/* Character classes on single bytes. */
VESK_API int vesklex_isspace(int c);
VESK_API int vesklex_isid(int c);
VESK_API int vesklex_isarith(int c);
VESK_API int vesklex_isquote(int c);
VESK_API int vesklex_isnumber(int c);

VESK_END_DECLS

#endif
