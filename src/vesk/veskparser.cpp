/*
 * Vesk compiler: recursive descent with one token of lookahead, emitting
 * assembly text straight into chunks (the main script, then one chunk per
 * function or lambda). Nothing is written until the whole source has been
 * parsed; the first error ends the compilation.
 *
 * Output layout: the string count and the string table, a prologue that
 * stores every named function's closure into its global, "nop", then every
 * chunk under its label. Each instruction is annotated with the source
 * position of the lookahead token at the moment it was produced.
 */
#include "veskparser.h"

#include "vesklex.h"

#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

/* A symbol: a global (pos = string id of its name) or a local of the
   function being compiled (pos = index in the call frame). */
struct Sym {
  int64_t pos;
  int32_t type;
  int32_t global;
  int64_t decl = -1; /* a local's declaration number, for an observer */
  int32_t depth = 0; /* function nesting where a local was declared */
};

/* Symbols of the top level (the global table) or of one function. */
struct SymTable {
  std::unordered_map<std::string, Sym> syms;
  std::vector<std::string> added; /* names in the order they entered */
  int64_t nextlocal = 0;          /* frame index the next local receives */
};

/* Code of the main script or of one function, lambda or closure maker. */
struct Chunk {
  uint32_t label;
  std::string code;
  bool named = false; /* a named function: its closure is bound by the prologue */
  Sym sym{};
};

/* What a reference chain ends in: a variable (its position and global
   flag), a table element (TYPE_TABLE) or a call (TYPE_CLOSURE). */
struct RefInfo {
  int32_t ref;
  int32_t global;
};

/* A source position, kept for an observer after its token is gone. */
struct Where {
  std::string fname;
  uint64_t line = 0, col = 0;
  bool operator==(const Where &) const = default;
};

/* Where the last lambda began and where its body ended (both empty unless
   observed), with its parameter count: tells an observer whether a var's
   value is exactly a lambda. */
struct LambdaSpan {
  Where start, end;
  int64_t arity = -1;
};

/* Deeper nesting than this is refused, so that no input can exhaust the
   stack of the recursive descent. */
const int MAX_NESTING = 1000;

/* Distinct strings that 16-bit identifiers and a 16-bit count can hold. */
const size_t MAX_STRINGS = 65535;

/* Longest piece of a string-list line that becomes one string. */
const size_t MAX_LIST_PIECE = 1023;

} // namespace

struct veskparser_s {
  std::string outpath;
  FILE *out = nullptr;
  bool ownsout = false;
  vesklex_t lex = nullptr;
  vesktok_t tok = nullptr; /* lookahead; nullptr at end of input */
  std::vector<std::unique_ptr<Chunk>> chunks;
  Chunk *chunk = nullptr;
  std::vector<SymTable> tables; /* [0] global, back() innermost function */
  std::unordered_map<std::string, uint16_t> strings;
  std::vector<std::string> strorder; /* texts by identifier */
  bool strings_full = false;
  vesktok_t full_at = nullptr; /* where the string table overflowed */
  uint32_t labels = 0;
  int nesting = 0;
  veskparser_observer_t observer = nullptr;
  void *observer_data = nullptr;
  int64_t decls = 0; /* locals declared so far */
  LambdaSpan last_lambda{};
  /* The next operand's value is already on the stack: a parenthesised
     term at the start of a comparison turned out to be arithmetic. */
  bool operand_ready = false;
};

using P = veskparser_t;

namespace {

/* ---------- messages ---------- */

void vmessage(P p, const vesktok_t at, const char *fmt, va_list ap) {
  const char *fname;
  uint64_t line, col;
  if (at) {
    fname = at->fname;
    line = at->line;
    col = at->col;
  } else {
    vesklex_endpos(p->lex, &fname, &line, &col);
  }
  fprintf(stderr, "%s:%lu:%lu: ", fname, (unsigned long)line, (unsigned long)col);
  vfprintf(stderr, fmt, ap);
  fputc('\n', stderr);
}

/* Prints a message at the token (or at the end of input) and fails. */
__attribute__((format(printf, 3, 4))) int32_t error_at(P p, const vesktok_t at,
                                                       const char *fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  vmessage(p, at, fmt, ap);
  va_end(ap);
  return PARSE_ERROR;
}

/* Failure because no token is left: after a lexical error the lexer has
   already spoken; otherwise the input ended in the middle of a construct. */
int32_t fail_eof(P p) {
  if (vesklex_depth(p->lex) > 0) return PARSE_ERROR;
  return error_at(p, nullptr, "Syntax error: unexpected end of input");
}

/* ---------- tokens ---------- */

int kind(P p) {
  return p->tok ? p->tok->kind : -1;
}

/* Replaces the lookahead with the next token; false after a lexical error.
   At the end of input the lookahead becomes nullptr and this succeeds. */
bool advance(P p) {
  vesklex_destroytok(&p->tok);
  p->tok = vesklex_nexttok(p->lex);
  return p->tok || vesklex_depth(p->lex) == 0;
}

int32_t match(P p, int k) {
  if (!p->tok) return fail_eof(p);
  if (p->tok->kind == k) return PARSE_OK;
  return error_at(p, p->tok, "Syntax error: expected %s, found %s", vesktok_desc[k],
                  vesktok_desc[p->tok->kind]);
}

/* match + advance, the most common pair. */
int32_t expect(P p, int k) {
  if (!match(p, k)) return PARSE_ERROR;
  return advance(p) ? PARSE_OK : PARSE_ERROR;
}

bool skip_lines(P p) {
  while (kind(p) == VESKTOK_STATEND)
    if (!advance(p)) return false;
  return true;
}

/* Bounds the recursion depth while it is alive. */
struct Nesting {
  P p;
  explicit Nesting(P parser) : p(parser) { ++p->nesting; }
  ~Nesting() { --p->nesting; }
  bool too_deep() const {
    if (p->nesting <= MAX_NESTING) return false;
    error_at(p, p->tok, "Syntax error: nesting too deep");
    return true;
  }
};

/* ---------- observing ---------- */

/* Position of the lookahead (or of the end of input); empty unless the
   compilation is observed, so that plain compilations copy nothing. */
Where where(P p) {
  if (!p->observer) return {};
  if (p->tok) return {p->tok->fname, p->tok->line, p->tok->col};
  const char *fname;
  uint64_t line, col;
  vesklex_endpos(p->lex, &fname, &line, &col);
  return {fname, line, col};
}

/* Tells the observer, if any, that a symbol was declared, read, written or
   called at a position. */
void observe(P p, int32_t what, int32_t decl, const std::string &name, const Sym &s,
             int64_t count, const Where &at) {
  if (!p->observer) return;
  veskparser_seen_t seen{what,
                         decl,
                         name.c_str(),
                         s.global,
                         s.global ? -1 : s.decl,
                         s.depth,
                         (int32_t)p->tables.size() - 1,
                         count,
                         at.fname.c_str(),
                         at.line,
                         at.col,
                         s.global ? -1 : s.pos};
  p->observer(&seen, p->observer_data);
}

/* Tells the observer, if any, that a scope begins or ends here; slot as
   for VESKPARSER_SEEN_BLOCK_END. */
void observe_scope(P p, int32_t what, int64_t slot) {
  if (!p->observer) return;
  Sym s{slot, TYPE_BASIC, 0};
  observe(p, what, -1, "", s, -1, where(p));
}

/* ---------- strings ---------- */

/* Identifier of a text, registering it on first use (0, 1, 2, ...). */
uint16_t string_add(P p, const std::string &text) {
  auto it = p->strings.find(text);
  if (it != p->strings.end()) return it->second;
  if (p->strorder.size() >= MAX_STRINGS) {
    if (!p->strings_full && p->tok) p->full_at = vesklex_clonetok(p->tok);
    p->strings_full = true;
    return 0;
  }
  uint16_t id = (uint16_t)p->strorder.size();
  p->strings.emplace(text, id);
  p->strorder.push_back(text);
  return id;
}

/* ---------- symbols ---------- */

const Sym *sym_lookup(P p, const std::string &name) {
  for (auto t = p->tables.rbegin(); t != p->tables.rend(); ++t) {
    auto it = t->syms.find(name);
    if (it != t->syms.end()) return &it->second;
  }
  return nullptr;
}

void table_put(SymTable &t, const std::string &name, const Sym &s) {
  if (t.syms.insert_or_assign(name, s).second) t.added.push_back(name);
}

Sym sym_add(P p, const std::string &name, int32_t scope) {
  if (scope == SCOPE_AUTO) scope = p->tables.size() == 1 ? SCOPE_GLOBAL : SCOPE_LOCAL;
  Sym s{0, TYPE_BASIC, scope == SCOPE_GLOBAL};
  if (s.global) {
    s.pos = string_add(p, name);
    table_put(p->tables.front(), name, s);
  } else {
    s.pos = p->tables.back().nextlocal++;
    s.decl = p->decls++;
    s.depth = (int32_t)p->tables.size() - 1;
    table_put(p->tables.back(), name, s);
  }
  return s;
}

/* Scope of a block: what the current table looked like on entry. */
struct BlockMark {
  size_t added;
  int64_t nextlocal;
};

BlockMark block_enter(P p) {
  SymTable &t = p->tables.back();
  return {t.added.size(), t.nextlocal};
}

/* Forgets the names declared inside the block. In a function the block's
   local indices become free again for later locals. */
void block_leave(P p, const BlockMark &m) {
  SymTable &t = p->tables.back();
  if (p->tables.size() > 1) observe_scope(p, VESKPARSER_SEEN_BLOCK_END, m.nextlocal);
  if (p->tables.size() == 1) {
    for (size_t i = m.added; i < t.added.size(); ++i)
      t.syms.erase(t.added[i]);
    t.added.resize(m.added);
    return;
  }
  for (auto it = t.syms.begin(); it != t.syms.end();)
    it = it->second.pos >= m.nextlocal ? t.syms.erase(it) : std::next(it);
  t.nextlocal = m.nextlocal;
}

/* ---------- chunks and emission ---------- */

void chunk_addcode(Chunk *c, const std::string &text, const vesktok_t tok) {
  c->code += text;
  if (tok) {
    char buf[64];
    snprintf(buf, sizeof buf, "\t|%lu,%lu,", (unsigned long)tok->line,
             (unsigned long)tok->col);
    c->code += buf;
    c->code += tok->fname;
  }
  c->code += '\n';
}

__attribute__((format(printf, 2, 3))) void emit(P p, const char *fmt, ...) {
  char buf[128];
  va_list ap;
  va_start(ap, fmt);
  vsnprintf(buf, sizeof buf, fmt, ap);
  va_end(ap);
  chunk_addcode(p->chunk, buf, p->tok);
}

void emit_label(P p, uint32_t label) {
  emit(p, "@__label_%u", label);
}

/* Creates a chunk, appends it to the list and makes it current; returns the
   chunk that was current before. */
Chunk *chunk_begin(P p, uint32_t label, const Sym *sym) {
  auto c = std::make_unique<Chunk>();
  c->label = label;
  if (sym) {
    c->named = true;
    c->sym = *sym;
  }
  Chunk *prev = p->chunk;
  p->chunk = c.get();
  p->chunks.push_back(std::move(c));
  return prev;
}

void emit_number(P p, const char *sign, const char *text) {
  emit(p, strchr(text, '.') ? "\tpushf %s%s" : "\tpushi %s%s", sign, text);
}

/* ---------- grammar ---------- */

int32_t parse_statlist(P p);
int32_t parse_stat(P p);
int32_t parse_block(P p);
int32_t parse_condition(P p);
int32_t parse_expression(P p);
int32_t parse_power(P p);
int32_t parse_idref(P p, int assign, RefInfo *info);

/* Parameter names, each the next local of the current table; *count
   receives how many there are. */
int32_t parse_idlist(P p, int64_t *count) {
  *count = 0;
  if (kind(p) == VESKTOK_PARCLOSE) return PARSE_OK;
  std::set<std::string> seen;
  for (;;) {
    if (!match(p, VESKTOK_ID)) return PARSE_ERROR;
    std::string name = p->tok->value;
    if (!seen.insert(name).second)
      return error_at(p, p->tok, "Duplicated symbol '%s'", name.c_str());
    /* Every parameter gets its own frame slot, even when it shadows a
       global or a local of an enclosing function. */
    Sym s = sym_add(p, name, SCOPE_LOCAL);
    observe(p, VESKPARSER_SEEN_DECLARE, VESKPARSER_DECL_PARAMETER, name, s, -1, where(p));
    ++*count;
    if (!advance(p)) return PARSE_ERROR;
    if (kind(p) != VESKTOK_LISTSEP) return PARSE_OK;
    if (!advance(p)) return PARSE_ERROR;
  }
}

/* Function body shared by named functions and lambdas: the parameter list
   after "(" (*arity receives its length), the block, and the final "ret0". */
int32_t parse_funbody(P p, int64_t *arity) {
  if (!parse_idlist(p, arity) || !expect(p, VESKTOK_PARCLOSE) || !parse_block(p))
    return PARSE_ERROR;
  emit(p, "\tret0");
  return PARSE_OK;
}

/* Lambda: "function ( parameters ) block" as a value.
 *
 * At the top level no call is active, so the closure's frame starts with
 * self alone. Inside a function the closure captures the enclosing frame,
 * whose size at run time depends on the arguments passed and on locals of
 * blocks already left; so the closure is made by a small maker function
 * that receives exactly the K visible locals as arguments (self last, then
 * moved to slot 0). The lambda's frame is then always those K values plus
 * one spare slot, and its parameters start at K + 1. */
int32_t parse_lambda(P p) {
  bool toplevel = p->tables.size() == 1;
  LambdaSpan span;
  span.start = where(p);
  uint32_t label = p->labels;
  if (toplevel) emit(p, "\tpushl @__label_%u", label);
  if (!expect(p, VESKTOK_FUN)) return PARSE_ERROR;
  Chunk *prev = chunk_begin(p, label, nullptr);
  ++p->labels;
  if (!expect(p, VESKTOK_PAROPEN)) return PARSE_ERROR;
  int64_t captured = p->tables.back().nextlocal;
  if (toplevel) {
    p->tables.emplace_back();
    sym_add(p, "self", SCOPE_LOCAL);
  } else {
    SymTable inner;
    inner.syms = p->tables.back().syms;
    inner.nextlocal = captured + 1;
    p->tables.push_back(std::move(inner));
  }
  observe_scope(p, VESKPARSER_SEEN_FUNCTION_BEGIN, -1);
  if (!parse_funbody(p, &span.arity)) return PARSE_ERROR;
  p->tables.pop_back();
  observe_scope(p, VESKPARSER_SEEN_FUNCTION_END, -1);
  span.end = where(p);
  p->last_lambda = span;
  if (toplevel) {
    p->chunk = prev;
    return PARSE_OK;
  }
  uint32_t maker = p->labels++;
  chunk_begin(p, maker, nullptr);
  emit(p, "\tlload %ld", (long)captured);
  emit(p, "\tlstore 0");
  emit(p, "\tpushl @__label_%u", label);
  emit(p, "\tret1");
  p->chunk = prev;
  emit(p, "\tpushcn @__label_%u", maker);
  for (int64_t i = 1; i < captured; ++i)
    emit(p, "\tlload %ld", (long)i);
  emit(p, "\tlload 0");
  emit(p, "\tpushi %ld", (long)captured);
  emit(p, "\tcallc");
  return PARSE_OK;
}

/* "{ .key = expression, ... }": a new table with its elements. */
int32_t parse_table(P p) {
  if (!advance(p) || !skip_lines(p)) return PARSE_ERROR;
  if (kind(p) != VESKTOK_DOT && kind(p) != VESKTOK_BLOCKCLOSE) {
    if (!p->tok) return fail_eof(p);
    return error_at(p, p->tok, "Syntax error: expected .id = expression or }, found %s",
                    vesktok_desc[p->tok->kind]);
  }
  emit(p, "\tpusht");
  while (kind(p) == VESKTOK_DOT) {
    emit(p, "\tdup");
    if (!advance(p)) return PARSE_ERROR;
    if (kind(p) == VESKTOK_ID) {
      emit(p, "\tpushs %u", string_add(p, p->tok->value));
    } else if (kind(p) == VESKTOK_CONST) {
      emit_number(p, "", p->tok->value);
    } else {
      if (!p->tok) return fail_eof(p);
      return error_at(p, p->tok,
                      "Syntax error: expected id or numeric constant, found %s",
                      vesktok_desc[p->tok->kind]);
    }
    if (!advance(p) || !expect(p, VESKTOK_ASSIGN) || !parse_expression(p))
      return PARSE_ERROR;
    emit(p, "\ttput");
    if (!skip_lines(p)) return PARSE_ERROR;
    if (kind(p) != VESKTOK_LISTSEP) break;
    if (!advance(p) || !skip_lines(p) || !match(p, VESKTOK_DOT)) return PARSE_ERROR;
  }
  return expect(p, VESKTOK_BLOCKCLOSE);
}

int32_t parse_operand(P p) {
  if (p->operand_ready) {
    p->operand_ready = false;
    return PARSE_OK;
  }
  switch (kind(p)) {
  case VESKTOK_FUN:
    return parse_lambda(p);
  case VESKTOK_NIL:
    emit(p, "\tpushnil");
    return advance(p) ? PARSE_OK : PARSE_ERROR;
  case VESKTOK_CONST:
    emit_number(p, "", p->tok->value);
    return advance(p) ? PARSE_OK : PARSE_ERROR;
  case VESKTOK_STRING:
    emit(p, "\tpushs %u", string_add(p, p->tok->value));
    return advance(p) ? PARSE_OK : PARSE_ERROR;
  case VESKTOK_PAROPEN:
    if (!advance(p) || !parse_expression(p)) return PARSE_ERROR;
    return expect(p, VESKTOK_PARCLOSE);
  case VESKTOK_ADDSUB: {
    /* A sign directly before a constant belongs to the constant. */
    std::string sign = p->tok->value;
    if (!advance(p)) return PARSE_ERROR;
    if (kind(p) == VESKTOK_CONST) {
      emit_number(p, sign.c_str(), p->tok->value);
      return advance(p) ? PARSE_OK : PARSE_ERROR;
    }
    if (!parse_power(p)) return PARSE_ERROR;
    if (sign == "-") emit(p, "\tunm");
    return PARSE_OK;
  }
  default: {
    RefInfo info;
    return parse_idref(p, 0, &info);
  }
  }
}

int32_t parse_powerrest(P p) {
  if (kind(p) != VESKTOK_POW) return PARSE_OK;
  if (!advance(p) || !parse_power(p)) return PARSE_ERROR;
  emit(p, "\tpow");
  return PARSE_OK;
}

int32_t parse_power(P p) {
  Nesting n(p);
  if (n.too_deep() || !parse_operand(p)) return PARSE_ERROR;
  return parse_powerrest(p);
}

int32_t parse_modulo(P p) {
  if (!parse_power(p)) return PARSE_ERROR;
  while (kind(p) == VESKTOK_MOD) {
    if (!advance(p) || !parse_power(p)) return PARSE_ERROR;
    emit(p, "\tmod");
  }
  return PARSE_OK;
}

int32_t parse_product(P p) {
  if (!parse_modulo(p)) return PARSE_ERROR;
  while (kind(p) == VESKTOK_MULDIV) {
    bool mul = p->tok->value[0] == '*';
    if (!advance(p) || !parse_modulo(p)) return PARSE_ERROR;
    emit(p, mul ? "\tmul" : "\tdiv");
  }
  return PARSE_OK;
}

int32_t parse_expression(P p) {
  Nesting n(p);
  if (n.too_deep()) return PARSE_ERROR;
  if (kind(p) == VESKTOK_BLOCKOPEN) return parse_table(p);
  if (!parse_product(p)) return PARSE_ERROR;
  while (kind(p) == VESKTOK_ADDSUB) {
    bool add = p->tok->value[0] == '+';
    if (!advance(p) || !parse_product(p)) return PARSE_ERROR;
    emit(p, add ? "\tadd" : "\tsub");
  }
  return PARSE_OK;
}

const char *cmp_mnemonic(const char *op) {
  static const char *const OPS[][2] = {{"==", "eq"},  {"!=", "neq"}, {"<", "lt"},
                                       {"<=", "lte"}, {">", "gt"},   {">=", "gte"}};
  for (const auto &o : OPS)
    if (strcmp(op, o[0]) == 0) return o[1];
  return "eq"; /* the lexer produces no other comparison */
}

bool is_operator(int k) {
  return k == VESKTOK_ADDSUB || k == VESKTOK_MULDIV || k == VESKTOK_MOD ||
         k == VESKTOK_POW || k == VESKTOK_CMP;
}

/* A comparison whose first operand has been compiled already (or is
   compiled now, when none is ready): the rest of the expression and an
   optional comparison operator with its second expression. *plain tells
   whether no comparison operator followed. */
int32_t parse_comparisonrest(P p, bool *plain) {
  *plain = true;
  if (!parse_expression(p)) return PARSE_ERROR;
  if (kind(p) != VESKTOK_CMP) return PARSE_OK;
  *plain = false;
  const char *mnemonic = cmp_mnemonic(p->tok->value);
  if (!advance(p) || !parse_expression(p)) return PARSE_ERROR;
  emit(p, "\t%s", mnemonic);
  return PARSE_OK;
}

int32_t parse_condition_plain(P p, bool *plain);
int32_t parse_comparison(P p);

/* "(" at the start of a comparison opens a condition. When that condition
   was a plain arithmetic term and an operator follows the ")", as in
   "(a + b) % 4 == 0", the term is the first operand of a longer comparison:
   its code is already what the operand would have produced, so parsing
   resumes after it. */
int32_t parse_parenthesised(P p, bool *plain) {
  if (!advance(p) || !parse_condition_plain(p, plain) || !expect(p, VESKTOK_PARCLOSE))
    return PARSE_ERROR;
  if (!*plain || !is_operator(kind(p))) return PARSE_OK;
  p->operand_ready = true;
  return parse_comparisonrest(p, plain);
}

int32_t parse_comparison_plain(P p, bool *plain) {
  Nesting n(p);
  if (n.too_deep()) return PARSE_ERROR;
  if (kind(p) == VESKTOK_PAROPEN) return parse_parenthesised(p, plain);
  if (kind(p) == VESKTOK_NOT) {
    *plain = false;
    if (!advance(p) || !parse_comparison(p)) return PARSE_ERROR;
    emit(p, "\tnot");
    return PARSE_OK;
  }
  return parse_comparisonrest(p, plain);
}

int32_t parse_comparison(P p) {
  bool plain;
  return parse_comparison_plain(p, &plain);
}

/* A condition; *plain tells whether it was a single arithmetic term, with
   neither comparison nor "not", "and" or "or". */
int32_t parse_condition_plain(P p, bool *plain) {
  Nesting n(p);
  if (n.too_deep() || !parse_comparison_plain(p, plain)) return PARSE_ERROR;
  while (kind(p) == VESKTOK_ANDOR) {
    *plain = false;
    std::string op = p->tok->value;
    if (!advance(p) || !parse_comparison(p)) return PARSE_ERROR;
    emit(p, "\t%s", op.c_str());
  }
  return PARSE_OK;
}

int32_t parse_condition(P p) {
  bool plain;
  return parse_condition_plain(p, &plain);
}

/* Call arguments: conditions separated by commas, line ends allowed
   around them. */
int32_t parse_conditionlist(P p, int32_t *count) {
  *count = 0;
  if (!skip_lines(p)) return PARSE_ERROR;
  if (kind(p) == VESKTOK_PARCLOSE) return PARSE_OK;
  if (!parse_condition(p) || !skip_lines(p)) return PARSE_ERROR;
  for (*count = 1; kind(p) == VESKTOK_LISTSEP; ++*count)
    if (!advance(p) || !skip_lines(p) || !parse_condition(p) || !skip_lines(p))
      return PARSE_ERROR;
  return PARSE_OK;
}

/* Loads the pending last element of a reference chain. */
void materialize(P p, const RefInfo &r) {
  if (r.ref == TYPE_TABLE)
    emit(p, "\ttget");
  else if (r.ref == TYPE_CLOSURE)
    emit(p, "\tcallc");
  else if (r.global) {
    emit(p, "\tpushs %d", r.ref);
    emit(p, "\tgload");
  } else
    emit(p, "\tlload %d", r.ref);
}

/* name { .member | [key] | (arguments) }. In assignment form the last
   element stays pending (unless it is a call) for the caller to store. */
int32_t parse_idref(P p, int assign, RefInfo *info) {
  if (!match(p, VESKTOK_ID)) return PARSE_ERROR;
  std::string name = p->tok->value;
  const Sym *found = sym_lookup(p, name);
  /* A free name denotes a global, looked up by name at run time. */
  Sym s = found ? *found : sym_add(p, name, SCOPE_GLOBAL);
  *info = {(int32_t)s.pos, s.global};
  Where at = where(p);
  if (!advance(p)) return PARSE_ERROR;
  bool bare = true; /* nothing follows the name yet */
  for (;; bare = false) {
    int k = kind(p);
    if (k != VESKTOK_DOT && k != VESKTOK_IDXOPEN && k != VESKTOK_PAROPEN) break;
    if (bare) observe(p, VESKPARSER_SEEN_READ, -1, name, s, -1, at);
    materialize(p, *info);
    info->global = 0;
    if (!advance(p)) return PARSE_ERROR;
    if (k == VESKTOK_DOT) {
      info->ref = TYPE_TABLE;
      if (!match(p, VESKTOK_ID)) return PARSE_ERROR;
      emit(p, "\tpushs %u", string_add(p, p->tok->value));
      if (!advance(p)) return PARSE_ERROR;
    } else if (k == VESKTOK_IDXOPEN) {
      info->ref = TYPE_TABLE;
      if (!parse_expression(p) || !expect(p, VESKTOK_IDXCLOSE)) return PARSE_ERROR;
    } else {
      info->ref = TYPE_CLOSURE;
      int32_t count;
      if (!parse_conditionlist(p, &count) || !expect(p, VESKTOK_PARCLOSE))
        return PARSE_ERROR;
      emit(p, "\tpushi %d", count);
      if (bare) observe(p, VESKPARSER_SEEN_CALL, -1, name, s, count, at);
    }
  }
  if (bare)
    observe(p, assign ? VESKPARSER_SEEN_WRITE : VESKPARSER_SEEN_READ, -1, name, s, -1,
            at);
  if (!assign || info->ref == TYPE_CLOSURE) materialize(p, *info);
  return PARSE_OK;
}

/* "= expression" after a reference chain in assignment form: stores the
   value into the variable or table element the chain ends in. */
int32_t parse_assignrest(P p, const RefInfo &r) {
  if (!match(p, VESKTOK_ASSIGN)) return PARSE_ERROR;
  if (r.ref == TYPE_CLOSURE)
    return error_at(p, p->tok, "Syntax error: can't have a function call as lvalue");
  bool table = r.ref == TYPE_TABLE;
  if (!table && r.global) emit(p, "\tpushs %d", r.ref);
  if (!advance(p) || !parse_expression(p)) return PARSE_ERROR;
  if (table)
    emit(p, "\ttput");
  else if (r.global)
    emit(p, "\tgstore");
  else
    emit(p, "\tlstore %d", r.ref);
  return PARSE_OK;
}

int32_t parse_assignment(P p) {
  RefInfo r;
  if (!parse_idref(p, 1, &r)) return PARSE_ERROR;
  return parse_assignrest(p, r);
}

int32_t parse_block(P p) {
  if (!expect(p, VESKTOK_BLOCKOPEN)) return PARSE_ERROR;
  if (kind(p) == VESKTOK_BLOCKCLOSE) return advance(p) ? PARSE_OK : PARSE_ERROR;
  BlockMark mark = block_enter(p);
  if (!parse_statlist(p) || !expect(p, VESKTOK_BLOCKCLOSE)) return PARSE_ERROR;
  block_leave(p, mark);
  return PARSE_OK;
}

int32_t parse_blockstat(P p) {
  if (kind(p) == VESKTOK_BLOCKOPEN) return parse_block(p);
  if (!skip_lines(p)) return PARSE_ERROR;
  if (!p->tok) return fail_eof(p);
  return parse_stat(p);
}

int32_t parse_var(P p) {
  if (!advance(p) || !match(p, VESKTOK_ID)) return PARSE_ERROR;
  std::string name = p->tok->value;
  if (sym_lookup(p, name))
    return error_at(p, p->tok, "Duplicated symbol '%s'", name.c_str());
  bool global = p->tables.size() == 1;
  Sym s{};
  if (global) {
    s = sym_add(p, name, SCOPE_GLOBAL);
    emit(p, "\tpushs %ld", (long)s.pos);
  }
  Where at = where(p);
  if (!advance(p)) return PARSE_ERROR;
  int64_t arity = -1; /* the value's, when it is exactly a lambda */
  if (kind(p) == VESKTOK_ASSIGN) {
    if (!advance(p)) return PARSE_ERROR;
    Where value = where(p);
    if (!parse_expression(p)) return PARSE_ERROR;
    if (p->last_lambda.start == value && p->last_lambda.end == where(p))
      arity = p->last_lambda.arity;
  } else {
    emit(p, "\tpushnil");
  }
  if (global) {
    emit(p, "\tgstore");
  } else {
    /* A local becomes visible only after its initial value, so the value
       (a lambda in particular) sees the frame as it is before the store. */
    s = sym_add(p, name, SCOPE_LOCAL);
    emit(p, "\tlstore %ld", (long)s.pos);
  }
  observe(p, VESKPARSER_SEEN_DECLARE, VESKPARSER_DECL_VAR, name, s, arity, at);
  return PARSE_OK;
}

/* Named function: a global bound by the prologue before the script runs. */
int32_t parse_fun(P p) {
  if (p->tables.size() > 1)
    return error_at(p, p->tok,
                    "Syntax error: a function inside a function can't have a name; "
                    "write 'var name = function (...) { ... }'");
  if (!advance(p) || !match(p, VESKTOK_ID)) return PARSE_ERROR;
  std::string name = p->tok->value;
  Where at = where(p);
  Sym s = sym_add(p, name, SCOPE_GLOBAL);
  Chunk *prev = chunk_begin(p, p->labels++, &s);
  if (!advance(p) || !expect(p, VESKTOK_PAROPEN)) return PARSE_ERROR;
  p->tables.emplace_back();
  sym_add(p, "self", SCOPE_LOCAL);
  observe_scope(p, VESKPARSER_SEEN_FUNCTION_BEGIN, -1);
  int64_t arity;
  if (!parse_funbody(p, &arity)) return PARSE_ERROR;
  p->tables.pop_back();
  observe_scope(p, VESKPARSER_SEEN_FUNCTION_END, -1);
  p->chunk = prev;
  observe(p, VESKPARSER_SEEN_DECLARE, VESKPARSER_DECL_FUNCTION, name, s, arity, at);
  return PARSE_OK;
}

int32_t parse_if(P p) {
  uint32_t l1 = p->labels, l2 = p->labels + 1;
  p->labels += 2;
  if (!advance(p) || !expect(p, VESKTOK_PAROPEN) || !parse_condition(p) ||
      !expect(p, VESKTOK_PARCLOSE))
    return PARSE_ERROR;
  emit(p, "\tjumpz @__label_%u", l1);
  if (!parse_blockstat(p) || !skip_lines(p)) return PARSE_ERROR;
  if (kind(p) != VESKTOK_ELSE) {
    emit_label(p, l1);
    return PARSE_OK;
  }
  if (!advance(p)) return PARSE_ERROR;
  emit(p, "\tjump @__label_%u", l2);
  emit_label(p, l1);
  if (!parse_blockstat(p)) return PARSE_ERROR;
  emit_label(p, l2);
  return PARSE_OK;
}

int32_t parse_while(P p) {
  uint32_t l1 = p->labels, l2 = p->labels + 1;
  p->labels += 2;
  if (!advance(p) || !expect(p, VESKTOK_PAROPEN)) return PARSE_ERROR;
  emit_label(p, l1);
  if (!parse_condition(p) || !expect(p, VESKTOK_PARCLOSE)) return PARSE_ERROR;
  emit(p, "\tjumpz @__label_%u", l2);
  if (!parse_blockstat(p)) return PARSE_ERROR;
  emit(p, "\tjump @__label_%u", l1);
  emit_label(p, l2);
  return PARSE_OK;
}

/* for (init, condition, step) block: init once, then the condition before
   every pass, the body, and the step. The step is written before the body
   in the source, so its code is held back until the body is compiled. */
int32_t parse_for(P p) {
  uint32_t l1 = p->labels, l2 = p->labels + 1;
  p->labels += 2;
  if (!advance(p) || !expect(p, VESKTOK_PAROPEN) || !parse_assignment(p) ||
      !expect(p, VESKTOK_LISTSEP))
    return PARSE_ERROR;
  emit_label(p, l1);
  if (!parse_condition(p) || !expect(p, VESKTOK_LISTSEP)) return PARSE_ERROR;
  emit(p, "\tjumpz @__label_%u", l2);
  Chunk *c = p->chunk;
  size_t mark = c->code.size();
  if (!parse_assignment(p)) return PARSE_ERROR;
  std::string step = c->code.substr(mark);
  c->code.resize(mark);
  if (!expect(p, VESKTOK_PARCLOSE) || !parse_block(p)) return PARSE_ERROR;
  c->code += step;
  emit(p, "\tjump @__label_%u", l1);
  emit_label(p, l2);
  return PARSE_OK;
}

int32_t parse_command(P p) {
  if (kind(p) == VESKTOK_RETURN) {
    if (!advance(p)) return PARSE_ERROR;
    int k = kind(p);
    if (k == -1 || k == VESKTOK_STATEND || k == VESKTOK_BLOCKCLOSE) {
      emit(p, "\tret0");
      return PARSE_OK;
    }
    if (!parse_condition(p)) return PARSE_ERROR;
    emit(p, "\tret1");
    return PARSE_OK;
  }
  RefInfo r;
  if (!parse_idref(p, 1, &r)) return PARSE_ERROR;
  if (kind(p) == VESKTOK_ASSIGN) return parse_assignrest(p, r);
  if (r.ref == TYPE_CLOSURE) return PARSE_OK;
  if (!p->tok) return fail_eof(p);
  return error_at(p, p->tok, "Syntax error: expected function call or assignment");
}

int32_t parse_stat(P p) {
  Nesting n(p);
  if (n.too_deep()) return PARSE_ERROR;
  switch (kind(p)) {
  case -1:
    return fail_eof(p);
  case VESKTOK_STATEND:
  case VESKTOK_BLOCKCLOSE:
    return PARSE_OK;
  case VESKTOK_VAR:
    return parse_var(p);
  case VESKTOK_FUN:
    return parse_fun(p);
  case VESKTOK_IF:
    return parse_if(p);
  case VESKTOK_FOR:
    return parse_for(p);
  case VESKTOK_WHILE:
    return parse_while(p);
  default:
    return parse_command(p);
  }
}

/* Statements up to a "}" or the end of input; none needs a separator. */
int32_t parse_statlist(P p) {
  if (!parse_stat(p)) return PARSE_ERROR;
  while (p->tok && p->tok->kind != VESKTOK_BLOCKCLOSE) {
    if (!skip_lines(p)) return PARSE_ERROR;
    if (p->tok && !parse_stat(p)) return PARSE_ERROR;
  }
  return PARSE_OK;
}

int32_t parse_script(P p) {
  if (!advance(p)) return PARSE_ERROR;
  if (!p->tok) return fail_eof(p);
  p->tables.emplace_back();
  chunk_begin(p, p->labels++, nullptr);
  if (!parse_statlist(p)) return PARSE_ERROR;
  if (p->tok) return error_at(p, p->tok, "Syntax error: '}' without a matching '{'");
  emit(p, "\n@__exitpoint");
  emit(p, "\tdone");
  return PARSE_OK;
}

/* ---------- output ---------- */

/* A text with line breaks goes on a '"' line with \n, \r and \\ escaped;
   any other text on a raw '\'' line. */
void write_string(FILE *out, const std::string &s) {
  if (s.find_first_of("\n\r") == std::string::npos) {
    fprintf(out, "'%s\n", s.c_str());
    return;
  }
  std::string esc = "\"";
  for (char c : s) {
    if (c == '\n')
      esc += "\\n";
    else if (c == '\r')
      esc += "\\r";
    else if (c == '\\')
      esc += "\\\\";
    else
      esc += c;
  }
  fprintf(out, "%s\n", esc.c_str());
}

void write_output(P p) {
  FILE *out = p->out;
  fprintf(out, "!%u\n", (unsigned)p->strorder.size());
  for (const std::string &s : p->strorder)
    write_string(out, s);
  fputc('\n', out);
  for (const auto &c : p->chunks) {
    if (!c->named) continue;
    if (c->sym.global)
      fprintf(out, "\tpushs %ld\n\tpushcn @__label_%u\n\tgstore\n", (long)c->sym.pos,
              c->label);
    else
      fprintf(out, "\tpushcn @__label_%u\n\tlstore %ld\n", c->label, (long)c->sym.pos);
  }
  fputs("\tnop\n", out);
  for (const auto &c : p->chunks)
    fprintf(out, "\n@__label_%u\n%s", c->label, c->code.c_str());
}

/* Registers the lines of a string list, in order; long lines are cut into
   pieces of MAX_LIST_PIECE characters. */
bool load_strlist(P p, const char *path) {
  FILE *f = fopen(path, "r");
  if (!f) {
    perror(path);
    return false;
  }
  char *line = nullptr;
  size_t cap = 0;
  ssize_t n;
  while ((n = getline(&line, &cap, f)) >= 0) {
    std::string s(line, (size_t)n);
    if (!s.empty() && s.back() == '\n') s.pop_back();
    size_t at = 0;
    do {
      string_add(p, s.substr(at, MAX_LIST_PIECE));
      at += MAX_LIST_PIECE;
    } while (at < s.size());
  }
  free(line);
  bool ok = !ferror(f);
  if (!ok) perror(path);
  fclose(f);
  if (ok && p->strings_full) {
    fprintf(stderr, "%s: more than %zu distinct strings\n", path, MAX_STRINGS);
    return false;
  }
  return ok;
}

veskparser_t parser_create(const char *source) {
  vesklex_t lex = vesklex_new(source);
  if (!lex) {
    perror(source);
    return nullptr;
  }
  veskparser_t p = new veskparser_s;
  p->lex = lex;
  p->chunks.reserve(1);
  p->tables.reserve(10);
  return p;
}

} // namespace

veskparser_t veskparser_new(int argc, char **argv) {
  if (argc != 3 && argc != 4) {
    fprintf(stderr, "veskparser_new(): expected 3 or 4 arguments, got %d\n", argc);
    return nullptr;
  }
  veskparser_t p = parser_create(argv[1]);
  if (!p) return nullptr;
  p->outpath = argv[2];
  p->out = fopen(argv[2], "w");
  p->ownsout = p->out != nullptr;
  if (!p->out) perror(argv[2]);
  if (!p->out || (argc == 4 && !load_strlist(p, argv[3]))) {
    veskparser_destroy(&p);
    return nullptr;
  }
  return p;
}

veskparser_t veskparser_new_stream(const char *source, FILE *out, const char *strlist) {
  if (!out) {
    fprintf(stderr, "veskparser_new_stream(): no output stream\n");
    return nullptr;
  }
  veskparser_t p = parser_create(source);
  if (!p) return nullptr;
  p->outpath = "output";
  p->out = out;
  if (strlist && !load_strlist(p, strlist)) veskparser_destroy(&p);
  return p;
}

int32_t veskparser_parse(veskparser_t p) {
  if (!parse_script(p)) return PARSE_ERROR;
  if (p->strings_full)
    return error_at(p, p->full_at, "Syntax error: more than %zu distinct strings",
                    MAX_STRINGS);
  write_output(p);
  if (fflush(p->out) != 0 || ferror(p->out)) {
    perror(p->outpath.c_str());
    return PARSE_ERROR;
  }
  return PARSE_OK;
}

void veskparser_observe(veskparser_t p, veskparser_observer_t fun, void *data) {
  p->observer = fun;
  p->observer_data = data;
}

void veskparser_destroy(veskparser_t *p) {
  if (!p || !*p) return;
  veskparser_t q = *p;
  if (q->ownsout && fclose(q->out) != 0) perror(q->outpath.c_str());
  vesklex_destroy(&q->lex);
  vesklex_destroytok(&q->tok);
  vesklex_destroytok(&q->full_at);
  delete q;
  *p = nullptr;
}
