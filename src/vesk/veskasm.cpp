/*
 * Assembler and disassembler. The assembler reads a listing line by line,
 * appends opcodes and little-endian arguments to a growing buffer, records
 * source annotations in a debug object and patches label references once
 * the whole file is read. The disassembler writes a buffer back as text.
 */
#include "veskasm.h"

#include <stdlib.h>
#include <string.h>

#include <string>

#include "veskbytes.h"
#include "veskfatal.h"

#define ASM_BUCKETS 100
#define BCODE_START_CAP 256
#define ARG_SIZE 4

/* True for an opcode that carries a 4-byte argument. */
static bool has_argument(unsigned op) {
  return op >= VESKVM_INSTR_ARGFIRST && op <= VESKVM_INSTR_LAST;
}

/* The white space the listing format knows (the C locale's isspace set). */
static bool is_space(char c) {
  return c && strchr(" \t\n\v\f\r", c) != nullptr;
}

static char *skip_space(char *p) {
  while (is_space(*p))
    ++p;
  return p;
}

static void trim_right(char *p) {
  size_t n = strlen(p);
  while (n > 0 && is_space(p[n - 1]))
    p[--n] = '\0';
}

/* Splits at the first of seps like strsep: returns the field, moves *rest past the
 * separator (null when there was none). */
static char *split(char **rest, const char *seps) {
  char *field = *rest;
  if (!field) return nullptr;
  char *sep = strpbrk(field, seps);
  if (sep) {
    *sep = '\0';
    *rest = sep + 1;
  } else {
    *rest = nullptr;
  }
  return field;
}

/****************************************/
/* Dictionary callbacks                  */
/****************************************/

/* Label table: owned name text -> offset. */
static void strkeydstryf(const void *key, void *data, void *params) {
  (void)params;
  free(*(char **)key);
  free((void *)key);
  free(data);
}

/* Reference table: argument offset -> owned label name. */
static void strdatadstryf(const void *key, void *data, void *params) {
  (void)params;
  free(*(char **)data);
  free((void *)key);
  free(data);
}

static char *copy_text(const char *s) {
  char *c = strdup(s);
  if (!c) vesk_fatal("[FATAL] Can't allocate assembler text.\n");
  return c;
}

/****************************************/
/* Assembler                             */
/****************************************/

namespace {

/* Working state of one assembly run. */
struct Assembler {
  const char *path;
  FILE *in = nullptr;     /* not owned */
  uint8_t *buf = nullptr; /* output bytecode */
  uint32_t size = 0;      /* also the current offset */
  uint32_t cap = 0;
  veskdict_t labels = nullptr; /* name -> offset */
  veskdict_t refs = nullptr;   /* argument offset -> label name */
  size_t lineno = 0;
  veskdebug_t dbg = nullptr;
  int status = 0; /* first label error */

  explicit Assembler(const char *p) : path(p) {}
  ~Assembler() {
    free(buf);
    if (labels) veskdict_destroy(&labels);
    if (refs) veskdict_destroy(&refs);
  }

  /* Makes room for n more bytes and returns where they go, or null when the
   * bytecode would outgrow its 32-bit size. */
  uint8_t *reserve(uint32_t n) {
    if (n > UINT32_MAX - size) return nullptr;
    if (size + n >= cap) {
      uint64_t ncap = cap;
      while (size + n >= ncap)
        ncap *= 2;
      if (ncap > UINT32_MAX) ncap = UINT32_MAX;
      uint8_t *nbuf = (uint8_t *)realloc(buf, ncap);
      if (!nbuf) vesk_fatal("[FATAL] Can't grow the bytecode buffer.\n");
      buf = nbuf;
      cap = (uint32_t)ncap;
    }
    uint8_t *at = buf + size;
    size += n;
    return at;
  }

  int error(const char *fmt, const char *arg = nullptr);
  int write_bytes(const void *data, uint32_t n);
  int string_line(const char *text, size_t len, bool escaped);
  int count_line(const char *text);
  int annotation(const char *text);
  int label_line(char *text);
  int instruction_line(char *text);
  int line(char *text, size_t len);
  int run();
};

} // namespace

/* Prints "ERROR: path:line <message>" and returns the assembly-error status. */
int Assembler::error(const char *fmt, const char *arg) {
  fprintf(stderr, "ERROR: %s:%zu ", path, lineno);
  fprintf(stderr, fmt, arg);
  fputc('\n', stderr);
  return 2;
}

int Assembler::write_bytes(const void *data, uint32_t n) {
  uint8_t *at = reserve(n);
  if (!at) return error("bytecode larger than 4 GiB");
  memcpy(at, data, n);
  return 0;
}

/* A string constant: raw after a quote, or with \n, \r and \\ escapes after a
 * double quote. It is stored with its NUL terminator. */
int Assembler::string_line(const char *text, size_t len, bool escaped) {
  /* The text ends at the line's newline; it cannot hold a NUL of its own. */
  if (len > 0 && text[len - 1] == '\n') --len;
  len = strnlen(text, len);
  std::string s;
  for (size_t i = 0; i < len; ++i) {
    if (!escaped || text[i] != '\\') {
      s += text[i];
    } else if (i + 1 < len &&
               (text[i + 1] == 'n' || text[i + 1] == 'r' || text[i + 1] == '\\')) {
      ++i;
      s += text[i] == 'n' ? '\n' : (text[i] == 'r' ? '\r' : '\\');
    } else {
      std::string seq(text + i, i + 1 < len ? 2 : 1);
      return error("bad escape \"%s\" in string", seq.c_str());
    }
  }
  return write_bytes(s.c_str(), (uint32_t)s.size() + 1);
}

int Assembler::count_line(const char *text) {
  uint8_t bytes[2];
  long n = strtol(text, nullptr, 10);
  bytes[0] = (uint8_t)n;
  bytes[1] = (uint8_t)(n >> 8);
  return write_bytes(bytes, 2);
}

/* Records "line,column,file" for the current offset. */
int Assembler::annotation(const char *text) {
  if (!*text) return 0;
  std::string copy(text);
  char *rest = copy.data();
  char *line = split(&rest, ",");
  char *col = split(&rest, ",");
  char *file = split(&rest, ",\n");
  if (!col || !file)
    return error("malformed source annotation \"%s\" (line,column,file)", text);
  veskdebug_info_set(dbg, size, (uint64_t)strtol(line, nullptr, 10),
                     (uint64_t)strtol(col, nullptr, 10), file);
  return 0;
}

int Assembler::label_line(char *text) {
  char *rest = text;
  char *name = split(&rest, "|");
  trim_right(name);
  char *copy = copy_text(name);
  veskdict_set(labels, &copy, &size);
  return rest ? annotation(rest) : 0;
}

/* Reads a numeric argument into bits; false when the text is a label reference
 * (always for jumps; otherwise when nothing of it parses as a number). */
static bool parse_number(unsigned op, const char *arg, uint32_t *bits) {
  char *end = nullptr;
  if (op >= VESKVM_INSTR_JUMP) return false;
  if (op == VESKVM_INSTR_PUSHF) {
    float f = strtof(arg, &end);
    if (f == 0 && end == arg) return false;
    memcpy(bits, &f, sizeof(f));
    return true;
  }
  unsigned long v = strtoul(arg, &end, 10);
  if (v == 0 && end == arg) return false;
  *bits = (uint32_t)v;
  return true;
}

int Assembler::instruction_line(char *text) {
  char *rest = text;
  char *instr = split(&rest, "|");
  if (rest) {
    int r = annotation(rest);
    if (r) return r;
  }
  char *mnemonic = split(&instr, " \t\n");
  char *arg = split(&instr, " \t\n");
  unsigned op = 0;
  while (op <= VESKVM_INSTR_LAST && strcmp(mnemonic, veskvm_instr_desc[op]) != 0)
    ++op;
  if (op > VESKVM_INSTR_LAST) return error("unknown instruction \"%s\"", mnemonic);
  uint8_t opcode = (uint8_t)op;
  if (int r = write_bytes(&opcode, 1)) return r;
  if (!has_argument(op)) {
    if (arg && *arg)
      fprintf(stderr, "WARNING: %s:%zu ignored argument \"%s\"\n", path, lineno, arg);
    return 0;
  }
  if (!arg || !*arg) return error("missing argument");
  /* A label reference keeps the bytes zero until the labels are substituted. */
  uint32_t bits = 0;
  uint32_t at = size;
  if (!parse_number(op, arg, &bits)) {
    char *copy = copy_text(arg);
    veskdict_set(refs, &at, &copy);
  }
  uint8_t bytes[ARG_SIZE];
  vesk_put_le(bytes, bits, 4);
  return write_bytes(bytes, ARG_SIZE);
}

int Assembler::line(char *text, size_t len) {
  ++lineno;
  char *p = skip_space(text);
  if (*p == '\'' || *p == '"')
    return string_line(p + 1, len - (size_t)(p + 1 - text), *p == '"');
  trim_right(p);
  switch (*p) {
  case '\0':
  case '#':
    return 0;
  case '!':
    return count_line(p + 1);
  case '@':
    return label_line(p);
  default:
    return instruction_line(p);
  }
}

/* Walking callback of the label substitution: params is the Assembler. */
static void substitute_label(const void *key, void *data, void *params) {
  Assembler *a = (Assembler *)params;
  if (a->status) return;
  uint32_t at = *(const uint32_t *)key;
  char *name = *(char **)data;
  uint32_t *off = veskdict_get(a->labels, &name, uint32_t);
  if (!off) {
    fprintf(stderr, "ERROR: %s: unknown label \"%s\"\n", a->path, name);
    a->status = 2;
  } else if (*off >= a->size) {
    fprintf(stderr, "ERROR: %s: label \"%s\" at %d is beyond the bytecode size %u\n",
            a->path, name, (int)*off, a->size);
    a->status = 2;
  } else {
    vesk_put_le(a->buf + at, *off, 4);
  }
}

/* Assembles the open input; the caller has set up `in`. */
int Assembler::run() {
  labels = veskdict_new(ASM_BUCKETS, sizeof(char *), sizeof(uint32_t),
                        veskdict_strkeyhash, veskdict_strkeycmp, strkeydstryf);
  refs = veskdict_new(ASM_BUCKETS, sizeof(uint32_t), sizeof(char *),
                      veskdict_uint32keyhash, veskdict_uint32keycmp, strdatadstryf);
  buf = (uint8_t *)malloc(BCODE_START_CAP);
  if (!buf) vesk_fatal("[FATAL] Can't allocate the bytecode buffer.\n");
  cap = BCODE_START_CAP;
  char *text = nullptr;
  size_t textcap = 0;
  ssize_t len;
  int r = 0;
  while (!r && (len = getline(&text, &textcap, in)) >= 0)
    r = line(text, (size_t)len);
  free(text);
  if (r) return r;
  if (ferror(in)) {
    perror(path);
    return 1;
  }
  veskdict_foreach(refs, substitute_label, this);
  return status;
}

int vesk_asm_stream(FILE *in, const char *name, uint8_t **bcode, uint32_t *size,
                    veskdebug_t *dbg) {
  *dbg = veskdebug_new();
  *bcode = nullptr;
  *size = 0;
  Assembler a(name);
  a.dbg = *dbg;
  a.in = in;
  int r = a.run();
  if (r == 0) {
    *bcode = a.buf;
    *size = a.size;
    a.buf = nullptr;
  }
  return r;
}

int vesk_asm(const char *path, uint8_t **bcode, uint32_t *size, veskdebug_t *dbg) {
  FILE *in = fopen(path, "r");
  if (!in) {
    *dbg = veskdebug_new();
    *bcode = nullptr;
    *size = 0;
    perror(path);
    return 1;
  }
  int r = vesk_asm_stream(in, path, bcode, size, dbg);
  fclose(in);
  return r;
}

/****************************************/
/* Disassembler                          */
/****************************************/

int vesk_instruction_deasm(const uint8_t *bcode, uint32_t offset, char **text) {
  unsigned op = bcode[offset];
  if (op > VESKVM_INSTR_LAST) return 0;
  int n;
  if (!has_argument(op)) {
    n = asprintf(text, "%s", veskvm_instr_desc[op]);
  } else {
    uint32_t bits = vesk_get_le32(bcode + offset + 1);
    if (op == VESKVM_INSTR_PUSHF) {
      float f;
      memcpy(&f, &bits, sizeof(f));
      n = asprintf(text, "%s %f", veskvm_instr_desc[op], (double)f);
    } else {
      n = asprintf(text, "%s %d", veskvm_instr_desc[op], (int32_t)bits);
    }
  }
  if (n < 0) {
    *text = nullptr;
    return 0;
  }
  return 1;
}

/* A string constant as a listing line: raw, or escaped when it spans lines. */
static void write_string_line(FILE *out, const char *s) {
  if (!strpbrk(s, "\n\r")) {
    fprintf(out, "'%s\n", s);
    return;
  }
  fputc('"', out);
  for (; *s; ++s) {
    if (*s == '\n')
      fputs("\\n", out);
    else if (*s == '\r')
      fputs("\\r", out);
    else if (*s == '\\')
      fputs("\\\\", out);
    else
      fputc(*s, out);
  }
  fputc('\n', out);
}

/* Writes the string table; returns the offset of the first instruction, or 0
 * after reporting strings missing from the buffer. */
static uint32_t write_strings(const uint8_t *bcode, uint32_t size, const char *path,
                              FILE *out) {
  unsigned count = vesk_get_le16(bcode);
  fprintf(out, "!%u\n", count);
  uint32_t pos = 2;
  unsigned done = 0;
  for (; done < count && pos < size; ++done) {
    const uint8_t *nul = (const uint8_t *)memchr(bcode + pos, 0, size - pos);
    if (!nul) break; /* unterminated: counts as missing */
    write_string_line(out, (const char *)bcode + pos);
    pos = (uint32_t)(nul - bcode) + 1;
  }
  if (done < count) {
    fprintf(stderr,
            "ERROR: %s: scanning string went up to end of file (%ld still to parse)\n",
            path, (long)(count - done));
    return 0;
  }
  return pos;
}

/* Writes one instruction line; false after reporting a malformed instruction. */
static bool write_instruction(const uint8_t *bcode, uint32_t size, uint32_t pos,
                              veskdebug_t dbg, const char *path, FILE *out) {
  unsigned op = bcode[pos];
  if (op > VESKVM_INSTR_LAST) {
    fprintf(stderr, "ERROR: %s: unknown opcode %u at %u\n", path, op, pos);
    return false;
  }
  fprintf(out, "%u:\t%s", pos, veskvm_instr_desc[op]);
  if (has_argument(op)) {
    if ((uint64_t)pos + ARG_SIZE >= size) {
      fprintf(stderr,
              "ERROR: %s: not enough bytes in bytecode for argument of %s at %u\n", path,
              veskvm_instr_desc[op], pos);
      return false;
    }
    uint32_t bits = vesk_get_le32(bcode + pos + 1);
    if (op == VESKVM_INSTR_PUSHF) {
      float f;
      memcpy(&f, &bits, sizeof(f));
      fprintf(out, " %f", (double)f);
    } else {
      fprintf(out, " %d", (int32_t)bits);
    }
  }
  veskdebug_entry_t e = veskdebug_info_get_fromoffset(dbg, pos);
  if (e)
    fprintf(out, "\t|%lu,%lu,%s", (unsigned long)e->line, (unsigned long)e->col,
            e->fname);
  fputc('\n', out);
  return true;
}

/* Disassembles into an open stream: 0, or 2 on malformed bytecode. */
static int deasm_to(const uint8_t *bcode, uint32_t size, veskdebug_t dbg,
                    const char *path, FILE *out) {
  if (size == 0) return 0; /* the empty listing assembles to the empty buffer */
  if (size < 2) {
    fprintf(stderr, "ERROR: %s: bytecode of %u byte has no string count\n", path, size);
    return 2;
  }
  uint32_t pos = write_strings(bcode, size, path, out);
  if (!pos) return 2;
  for (; pos < size; pos += has_argument(bcode[pos]) ? 1 + ARG_SIZE : 1)
    if (!write_instruction(bcode, size, pos, dbg, path, out)) return 2;
  return 0;
}

int vesk_deasm(const uint8_t *bcode, uint32_t size, veskdebug_t dbg, const char *path) {
  FILE *out = fopen(path, "w");
  if (!out) {
    perror(path);
    return 1;
  }
  int r = deasm_to(bcode, size, dbg, path, out);
  if (ferror(out) | (fclose(out) != 0)) {
    perror(path);
    return 1;
  }
  return r;
}
