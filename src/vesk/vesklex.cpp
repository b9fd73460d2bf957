/*
 * Lexer of Vesk source files. Each file is read whole into memory (with a
 * line feed appended, so the last line always ends), and include directives
 * push the included file on a stack so the compiler sees one token stream.
 */
#include "vesklex.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "veskfatal.h"

const char *vesktok_desc[VESKTOK_COUNT] = {"identifier", "numeric constant",
                                           "string",     "variable",
                                           "nil",        "if",
                                           "else",       "function",
                                           "return",     "for",
                                           "while",      "and/or",
                                           "not",        "+ or -",
                                           "* or /",     "%",
                                           "^",          "{",
                                           "}",          "(",
                                           ")",          "[",
                                           "]",          "; or newline",
                                           ",",          "=",
                                           ".",          "== != < <= > >="};

/* Paths of this many bytes or more are refused. */
static const size_t MAX_PATH_LEN = 4096;

struct vesklex_s {
  std::vector<vesklex_file_t> files; /* include stack, current file last */
  std::string endfname;              /* where the main file ended */
  uint64_t endline = 1;
  uint64_t endcol = 0;
};

namespace {

struct Keyword {
  const char *text;
  int32_t kind;
};

const Keyword KEYWORDS[] = {
    {"var", VESKTOK_VAR},   {"nil", VESKTOK_NIL},      {"if", VESKTOK_IF},
    {"else", VESKTOK_ELSE}, {"function", VESKTOK_FUN}, {"return", VESKTOK_RETURN},
    {"for", VESKTOK_FOR},   {"while", VESKTOK_WHILE},  {"and", VESKTOK_ANDOR},
    {"or", VESKTOK_ANDOR},  {"not", VESKTOK_NOT},
};

/* Allocation failures are fatal, as everywhere in the tool chain. */
void *xcalloc(size_t size) {
  void *r = calloc(1, size);
  if (!r) vesk_fatal("[FATAL] out of memory\n");
  return r;
}

char *dupstr(const std::string &s) {
  char *r = static_cast<char *>(xcalloc(s.size() + 1));
  memcpy(r, s.data(), s.size());
  r[s.size()] = '\0';
  return r;
}

bool isletter(int c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool isdigit_ascii(int c) {
  return c >= '0' && c <= '9';
}

/* Opens path for binary reading; on failure, tries each directory of
   VESK_INCLUDE_PATH. Returns the stream and the name that opened. */
FILE *open_source(const char *path, std::string &opened) {
  FILE *f = fopen(path, "rb");
  if (f) {
    opened = path;
    return f;
  }
  int first_errno = errno;
  const char *inc = getenv("VESK_INCLUDE_PATH");
  if (inc) {
    std::string dirs(inc);
    size_t start = 0;
    while (start <= dirs.size()) {
      size_t end = dirs.find(':', start);
      if (end == std::string::npos) end = dirs.size();
      std::string dir = dirs.substr(start, end - start);
      start = end + 1;
      if (dir.empty()) continue;
      std::string cand = dir + (dir.back() == '/' ? "" : "/") + path;
      if (cand.size() >= MAX_PATH_LEN) continue;
      f = fopen(cand.c_str(), "rb");
      if (f) {
        opened = cand;
        return f;
      }
    }
  }
  errno = first_errno;
  return nullptr;
}

/* Reads the whole stream; false on a read error. */
bool read_all(FILE *f, std::string &out) {
  char chunk[8192];
  size_t n;
  while ((n = fread(chunk, 1, sizeof chunk, f)) > 0)
    out.append(chunk, n);
  return !ferror(f);
}

void print_error(const vesklex_file_t f, uint64_t col, const char *what) {
  fprintf(stderr, "%s:%lu:%lu: Syntax error: %s\n", f->fname, (unsigned long)f->line,
          (unsigned long)col, what);
}

vesktok_t make_token(const vesklex_file_t f, int32_t kind, const std::string *value,
                     uint64_t line, uint64_t col) {
  vesktok_t t = static_cast<vesktok_t>(xcalloc(sizeof *t));
  t->kind = kind;
  t->value = value ? dupstr(*value) : nullptr;
  t->line = line;
  t->col = col;
  t->fname = dupstr(f->fname);
  return t;
}

/* Advances over n characters of the current line. */
void consume(vesklex_file_t f, uint64_t n) {
  f->pos += n;
  f->col += n;
}

/* Handles an include directive at the current position (the 7 letters of
   "include" not yet consumed). Returns false after printing an error. */
bool read_include(vesklex_t lex, vesklex_file_t f) {
  consume(f, 7);
  while (f->pos < f->size && vesklex_isspace(f->buf[f->pos]))
    consume(f, 1);
  if (f->pos >= f->size || !vesklex_isquote(f->buf[f->pos])) {
    print_error(f, f->col, "expected string after include");
    return false;
  }
  char q = f->buf[f->pos];
  consume(f, 1);
  uint64_t start = f->pos;
  while (f->pos < f->size && f->buf[f->pos] != q && f->buf[f->pos] != '\n')
    consume(f, 1);
  if (f->pos >= f->size || f->buf[f->pos] != q) {
    print_error(f, f->col, "expected end of string");
    return false;
  }
  std::string path(f->buf + start, f->pos - start);
  consume(f, 1);
  vesklex_file_t nf = vesklex_file_new(path.c_str());
  if (!nf) {
    fprintf(stderr, "%s:%lu:%lu: Can't read '%s'\n", f->fname, (unsigned long)f->line,
            (unsigned long)f->col, path.c_str());
    return false;
  }
  /* A file already being read (this one or one including it) is skipped:
     this is what stops recursive inclusion. */
  for (vesklex_file_t open : lex->files) {
    if (vesklex_file_cmp(open, nf) == 0) {
      vesklex_file_destroy(&nf);
      return true;
    }
  }
  lex->files.push_back(nf);
  return true;
}

bool at_include(const vesklex_file_t f) {
  if (f->size - f->pos < 7 || memcmp(f->buf + f->pos, "include", 7) != 0) return false;
  /* Only the whole word: "included" is an identifier. */
  return f->pos + 7 >= f->size || !vesklex_isid(f->buf[f->pos + 7]);
}

/* Reads a quoted string starting at the current position. A backslash
   escapes the character after it: \n is a line feed, \t a tab, anything
   else stands for itself. */
vesktok_t read_string(vesklex_file_t f, uint64_t tokcol) {
  char q = f->buf[f->pos];
  uint64_t i = f->pos + 1;
  std::string value;
  for (;;) {
    if (i >= f->size || f->buf[i] == '\n' ||
        (f->buf[i] == '\\' && (i + 1 >= f->size || f->buf[i + 1] == '\n'))) {
      print_error(f, tokcol, "string closing quote not found");
      return nullptr;
    }
    char c = f->buf[i];
    if (c == q) break;
    if (c == '\\') {
      char e = f->buf[i + 1];
      value += e == 'n' ? '\n' : e == 't' ? '\t' : e;
      i += 2;
    } else {
      value += c;
      ++i;
    }
  }
  consume(f, i + 1 - f->pos);
  return make_token(f, VESKTOK_STRING, &value, f->line, tokcol);
}

/* Reads a word (identifier or keyword) or a number: first character taken,
   then as long as `more` accepts the next one. */
std::string read_while(vesklex_file_t f, int (*more)(int)) {
  uint64_t start = f->pos;
  consume(f, 1);
  while (f->pos < f->size && more(f->buf[f->pos]))
    consume(f, 1);
  return std::string(f->buf + start, f->pos - start);
}

int32_t single_char_kind(char c) {
  switch (c) {
  case ';':
    return VESKTOK_STATEND;
  case '(':
    return VESKTOK_PAROPEN;
  case ')':
    return VESKTOK_PARCLOSE;
  case '[':
    return VESKTOK_IDXOPEN;
  case ']':
    return VESKTOK_IDXCLOSE;
  case '{':
    return VESKTOK_BLOCKOPEN;
  case '}':
    return VESKTOK_BLOCKCLOSE;
  case ',':
    return VESKTOK_LISTSEP;
  case '.':
    return VESKTOK_DOT;
  default:
    return -1;
  }
}

int32_t arith_kind(char c) {
  switch (c) {
  case '+':
  case '-':
    return VESKTOK_ADDSUB;
  case '*':
  case '/':
    return VESKTOK_MULDIV;
  case '%':
    return VESKTOK_MOD;
  default:
    return VESKTOK_POW;
  }
}

/* Reads one token at the current position (blanks, comments and includes
   already handled). nullptr after printing an error. */
vesktok_t read_token(vesklex_file_t f) {
  uint64_t tokcol = f->col;
  uint64_t line = f->line;
  char c = f->buf[f->pos];
  if (c == '\n') {
    consume(f, 1);
    ++f->line;
    f->col = 0;
    return make_token(f, VESKTOK_STATEND, nullptr, line, tokcol);
  }
  int32_t k = single_char_kind(c);
  if (k >= 0) {
    consume(f, 1);
    return make_token(f, k, nullptr, line, tokcol);
  }
  if (isdigit_ascii(c)) {
    std::string text = read_while(f, vesklex_isnumber);
    return make_token(f, VESKTOK_CONST, &text, line, tokcol);
  }
  if (isletter(c)) {
    std::string text = read_while(f, vesklex_isid);
    int32_t kind = VESKTOK_ID;
    for (const Keyword &kw : KEYWORDS)
      if (text == kw.text) kind = kw.kind;
    return make_token(f, kind, &text, line, tokcol);
  }
  char next = f->pos + 1 < f->size ? f->buf[f->pos + 1] : '\0';
  if (c == '=' || c == '!' || c == '<' || c == '>') {
    if (c == '=' && next != '=') {
      consume(f, 1);
      return make_token(f, VESKTOK_ASSIGN, nullptr, line, tokcol);
    }
    if (c == '!' && next != '=') {
      print_error(f, tokcol, "expected '=' after '!'");
      return nullptr;
    }
    std::string text(1, c);
    if (next == '=') text += '=';
    consume(f, text.size());
    return make_token(f, VESKTOK_CMP, &text, line, tokcol);
  }
  if (vesklex_isarith(c)) {
    std::string text(1, c);
    consume(f, 1);
    return make_token(f, arith_kind(c), &text, line, tokcol);
  }
  if (vesklex_isquote(c)) return read_string(f, tokcol);
  unsigned u = (unsigned char)c;
  fprintf(stderr,
          "%s:%lu:%lu: Syntax error: unknown character '%c' (octal: %o; hex: %x)\n",
          f->fname, (unsigned long)f->line, (unsigned long)tokcol, (int)u, u, u);
  return nullptr;
}

} // namespace

int vesklex_isspace(int c) {
  return c == ' ' || c == '\t' || c == '\r';
}
int vesklex_isid(int c) {
  return isletter(c) || isdigit_ascii(c) || c == '_';
}
int vesklex_isarith(int c) {
  return c == '+' || c == '-' || c == '*' || c == '/' || c == '%' || c == '^';
}
int vesklex_isquote(int c) {
  return c == '\'' || c == '"';
}
int vesklex_isnumber(int c) {
  return isdigit_ascii(c) || c == '.';
}

vesklex_file_t vesklex_file_new(const char *path) {
  if (!path || strlen(path) >= MAX_PATH_LEN) {
    errno = ENAMETOOLONG;
    return nullptr;
  }
  std::string opened;
  FILE *fp = open_source(path, opened);
  if (!fp) return nullptr;
  std::string content;
  char *real = realpath(opened.c_str(), nullptr);
  bool ok = real && read_all(fp, content);
  int err = errno;
  fclose(fp);
  if (!ok) {
    free(real);
    errno = err;
    return nullptr;
  }
  vesklex_file_t f = static_cast<vesklex_file_t>(xcalloc(sizeof *f));
  content += '\n';
  f->buf = dupstr(content);
  f->size = content.size();
  f->line = 1;
  f->fname = real;
  return f;
}

void vesklex_file_destroy(vesklex_file_t *file) {
  if (!file || !*file) return;
  free((*file)->buf);
  free((*file)->fname);
  free(*file);
  *file = nullptr;
}

int vesklex_file_cmp(const vesklex_file_t a, const vesklex_file_t b) {
  return strcmp(a->fname, b->fname);
}

vesklex_t vesklex_new(const char *path) {
  vesklex_file_t f = vesklex_file_new(path);
  if (!f) return nullptr;
  vesklex_t lex = new vesklex_s;
  lex->files.reserve(10);
  lex->files.push_back(f);
  lex->endfname = f->fname;
  return lex;
}

void vesklex_destroy(vesklex_t *lex) {
  if (!lex || !*lex) return;
  for (vesklex_file_t f : (*lex)->files)
    vesklex_file_destroy(&f);
  delete *lex;
  *lex = nullptr;
}

uint64_t vesklex_depth(vesklex_t lex) {
  return lex->files.size();
}

void vesklex_endpos(vesklex_t lex, const char **fname, uint64_t *line, uint64_t *col) {
  *fname = lex->endfname.c_str();
  *line = lex->endline;
  *col = lex->endcol;
}

/* The input ends where the main file's added line feed stands: remember
   that position when reaching it. */
static void mark_end(vesklex_t lex, const vesklex_file_t f) {
  if (lex->files.size() != 1 || f->pos + 1 != f->size) return;
  lex->endline = f->line;
  lex->endcol = f->col;
}

vesktok_t vesklex_nexttok(vesklex_t lex) {
  while (!lex->files.empty()) {
    vesklex_file_t f = lex->files.back();
    while (f->pos < f->size && vesklex_isspace(f->buf[f->pos]))
      consume(f, 1);
    mark_end(lex, f);
    if (f->pos >= f->size) {
      vesklex_file_destroy(&f);
      lex->files.pop_back();
      continue;
    }
    if (f->buf[f->pos] == '#') {
      /* A comment swallows its line feed: no line-end token for its line. */
      while (f->pos < f->size && f->buf[f->pos] != '\n')
        consume(f, 1);
      mark_end(lex, f);
      if (f->pos < f->size) {
        ++f->pos;
        ++f->line;
        f->col = 0;
      }
      continue;
    }
    if (at_include(f)) {
      if (!read_include(lex, f)) return nullptr;
      continue;
    }
    return read_token(f);
  }
  return nullptr;
}

vesktok_t vesklex_clonetok(const vesktok_t tok) {
  if (!tok) return nullptr;
  vesktok_t t = static_cast<vesktok_t>(xcalloc(sizeof *t));
  *t = *tok;
  t->value = tok->value ? dupstr(tok->value) : nullptr;
  t->fname = tok->fname ? dupstr(tok->fname) : nullptr;
  return t;
}

void vesklex_destroytok(vesktok_t *tok) {
  if (!tok || !*tok) return;
  free((*tok)->value);
  free((*tok)->fname);
  free(*tok);
  *tok = nullptr;
}
