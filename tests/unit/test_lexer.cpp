/*
 * Lexer tests: token kinds, values and positions, comments, line ends,
 * escapes, include directives (also through VESK_INCLUDE_PATH and
 * recursive ones) and the texts of lexical errors.
 */
#include "vesklex.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "temp_dir.h"

namespace {

struct Tok {
  int kind;
  std::string value; /* "<none>" when the token has no value */
  uint64_t line, col;
  std::string fname;
};

/* Everything the lexer yields for a file, plus its stderr and whether the
   stream ended in an error. */
struct Lexed {
  std::vector<Tok> toks;
  std::string err;
  bool failed = false;
};

Lexed lex_file(const std::string &path) {
  Lexed r;
  vesklex_t lex = vesklex_new(path.c_str());
  EXPECT_NE(lex, nullptr) << path;
  if (!lex) return r;
  testing::internal::CaptureStderr();
  while (vesktok_t t = vesklex_nexttok(lex)) {
    r.toks.push_back(
        {t->kind, t->value ? t->value : "<none>", t->line, t->col, t->fname});
    vesklex_destroytok(&t);
  }
  r.err = testing::internal::GetCapturedStderr();
  r.failed = vesklex_depth(lex) != 0;
  vesklex_destroy(&lex);
  EXPECT_EQ(lex, nullptr);
  return r;
}

Lexed lex_text(const TempDir &dir, const std::string &text) {
  return lex_file(dir.write("src.vsk", text));
}

std::vector<int> kinds(const Lexed &l) {
  std::vector<int> k;
  for (const Tok &t : l.toks)
    k.push_back(t.kind);
  return k;
}

std::vector<std::string> values(const Lexed &l) {
  std::vector<std::string> v;
  for (const Tok &t : l.toks)
    v.push_back(t.value);
  return v;
}

TEST(Lexer, KindsAndValuesOfEveryToken) {
  TempDir d;
  Lexed l = lex_text(d, "var nil if else function return for while and or not x_1\n"
                        "+ - * / % ^ { } ( ) [ ] ; , = . == != < <= > >= 12.5 'q'\n");
  ASSERT_FALSE(l.failed) << l.err;
  std::vector<int> want = {
      VESKTOK_VAR,        VESKTOK_NIL,     VESKTOK_IF,       VESKTOK_ELSE,
      VESKTOK_FUN,        VESKTOK_RETURN,  VESKTOK_FOR,      VESKTOK_WHILE,
      VESKTOK_ANDOR,      VESKTOK_ANDOR,   VESKTOK_NOT,      VESKTOK_ID,
      VESKTOK_STATEND,    VESKTOK_ADDSUB,  VESKTOK_ADDSUB,   VESKTOK_MULDIV,
      VESKTOK_MULDIV,     VESKTOK_MOD,     VESKTOK_POW,      VESKTOK_BLOCKOPEN,
      VESKTOK_BLOCKCLOSE, VESKTOK_PAROPEN, VESKTOK_PARCLOSE, VESKTOK_IDXOPEN,
      VESKTOK_IDXCLOSE,   VESKTOK_STATEND, VESKTOK_LISTSEP,  VESKTOK_ASSIGN,
      VESKTOK_DOT,        VESKTOK_CMP,     VESKTOK_CMP,      VESKTOK_CMP,
      VESKTOK_CMP,        VESKTOK_CMP,     VESKTOK_CMP,      VESKTOK_CONST,
      VESKTOK_STRING,     VESKTOK_STATEND, VESKTOK_STATEND};
  EXPECT_EQ(kinds(l), want);
  std::vector<std::string> vals = {
      "var",    "nil",    "if",     "else",   "function", "return", "for",    "while",
      "and",    "or",     "not",    "x_1",    "<none>",   "+",      "-",      "*",
      "/",      "%",      "^",      "<none>", "<none>",   "<none>", "<none>", "<none>",
      "<none>", "<none>", "<none>", "<none>", "<none>",   "==",     "!=",     "<",
      "<=",     ">",      ">=",     "12.5",   "q",        "<none>", "<none>"};
  EXPECT_EQ(values(l), vals);
}

TEST(Lexer, KeywordsAreCaseSensitiveAndWhole) {
  TempDir d;
  Lexed l = lex_text(d, "Var iff nil_ fortune\n");
  ASSERT_EQ(l.toks.size(), 6u); /* the file's line feed and the added one */
  for (int i = 0; i < 4; ++i)
    EXPECT_EQ(l.toks[i].kind, VESKTOK_ID) << i;
}

TEST(Lexer, ColumnsLinesAndFileNames) {
  TempDir d;
  Lexed l = lex_text(d, "a = 1\n\tfoo(bar)\n");
  ASSERT_EQ(l.toks.size(), 10u);
  uint64_t want[][2] = {{1, 0}, {1, 2}, {1, 4}, {1, 5}, {2, 1},
                        {2, 4}, {2, 5}, {2, 8}, {2, 9}};
  for (int i = 0; i < 9; ++i) {
    EXPECT_EQ(l.toks[i].line, want[i][0]) << i;
    EXPECT_EQ(l.toks[i].col, want[i][1]) << i;
  }
  EXPECT_EQ(l.toks[0].fname, d.path() + "/src.vsk");
}

TEST(Lexer, LastLineWithoutLineFeedStillEnds) {
  TempDir d;
  Lexed l = lex_text(d, "x");
  EXPECT_EQ(kinds(l), (std::vector<int>{VESKTOK_ID, VESKTOK_STATEND}));
  EXPECT_EQ(l.toks[1].col, 1u);
}

TEST(Lexer, CommentSwallowsItsLineEnd) {
  TempDir d;
  Lexed l = lex_text(d, "a # note\n# whole line\nb\n");
  ASSERT_EQ(l.toks.size(), 4u);
  EXPECT_EQ(l.toks[0].value, "a");
  EXPECT_EQ(l.toks[1].value, "b");
  EXPECT_EQ(l.toks[1].line, 3u);
  EXPECT_EQ(l.toks[2].kind, VESKTOK_STATEND);
}

TEST(Lexer, EndPositionAfterATrailingComment) {
  TempDir d;
  vesklex_t lex = vesklex_new(d.write("e.vsk", "x\n  # last").c_str());
  while (vesktok_t t = vesklex_nexttok(lex))
    vesklex_destroytok(&t);
  const char *f;
  uint64_t line, col;
  vesklex_endpos(lex, &f, &line, &col);
  EXPECT_EQ(line, 2u);
  EXPECT_EQ(col, 8u);
  vesklex_destroy(&lex);
}

TEST(Lexer, OnlyCommentsGiveNoToken) {
  TempDir d;
  Lexed l = lex_text(d, "# one\n# two");
  EXPECT_TRUE(l.toks.empty());
  EXPECT_FALSE(l.failed);
}

TEST(Lexer, WindowsLineEnds) {
  TempDir d;
  Lexed l = lex_text(d, "a\r\nb\r\n");
  EXPECT_EQ(kinds(l), (std::vector<int>{VESKTOK_ID, VESKTOK_STATEND, VESKTOK_ID,
                                        VESKTOK_STATEND, VESKTOK_STATEND}));
  EXPECT_EQ(l.toks[1].col, 2u);
  EXPECT_EQ(l.toks[2].line, 2u);
  EXPECT_EQ(l.toks[2].col, 0u);
}

TEST(Lexer, NumbersKeepTheirTextAndSignsAreOperators) {
  TempDir d;
  Lexed l = lex_text(d, "7. 1.2.3 -5 0\n");
  EXPECT_EQ(values(l),
            (std::vector<std::string>{"7.", "1.2.3", "-", "5", "0", "<none>", "<none>"}));
  EXPECT_EQ(l.toks[2].kind, VESKTOK_ADDSUB);
  EXPECT_EQ(l.toks[3].kind, VESKTOK_CONST);
}

TEST(Lexer, EqualsSignAloneIsAssignment) {
  TempDir d;
  Lexed l = lex_text(d, "a=b==c\n");
  EXPECT_EQ(kinds(l),
            (std::vector<int>{VESKTOK_ID, VESKTOK_ASSIGN, VESKTOK_ID, VESKTOK_CMP,
                              VESKTOK_ID, VESKTOK_STATEND, VESKTOK_STATEND}));
}

TEST(Lexer, StringEscapes) {
  TempDir d;
  Lexed l = lex_text(d, "'it\\'s' \"a\\\\\" \"a\\nb\" 'x\\ty' \"q\\\"\" 'd\\z' \"\"\n");
  ASSERT_FALSE(l.failed) << l.err;
  EXPECT_EQ(values(l), (std::vector<std::string>{"it's", "a\\", "a\nb", "x\ty", "q\"",
                                                 "dz", "", "<none>", "<none>"}));
  EXPECT_EQ(l.toks[1].col, 8u);
}

TEST(Lexer, EscapedBackslashBeforeQuoteEndsTheString) {
  TempDir d;
  /* \\ is one backslash, so the following quote closes the string. */
  Lexed l = lex_text(d, "'a\\\\' b\n");
  ASSERT_FALSE(l.failed) << l.err;
  EXPECT_EQ(values(l), (std::vector<std::string>{"a\\", "b", "<none>", "<none>"}));
}

TEST(Lexer, OtherQuoteInsideString) {
  TempDir d;
  Lexed l = lex_text(d, "\"it's\" 'say \"hi\"'\n");
  EXPECT_EQ(values(l),
            (std::vector<std::string>{"it's", "say \"hi\"", "<none>", "<none>"}));
}

TEST(Lexer, StringWithLineFeedFailsAtItsStart) {
  TempDir d;
  Lexed l = lex_text(d, "x = 'abc\ndef'\n");
  EXPECT_TRUE(l.failed);
  EXPECT_EQ(l.toks.size(), 2u);
  EXPECT_EQ(l.err,
            d.path() + "/src.vsk:1:4: Syntax error: string closing quote not found\n");
}

TEST(Lexer, BackslashBeforeLineFeedDoesNotContinueString) {
  TempDir d;
  Lexed l = lex_text(d, "'abc\\\n'\n");
  EXPECT_TRUE(l.failed);
  EXPECT_EQ(l.err,
            d.path() + "/src.vsk:1:0: Syntax error: string closing quote not found\n");
}

TEST(Lexer, ExclamationWithoutEquals) {
  TempDir d;
  Lexed l = lex_text(d, "a ! b\n");
  EXPECT_TRUE(l.failed);
  EXPECT_EQ(l.err, d.path() + "/src.vsk:1:2: Syntax error: expected '=' after '!'\n");
}

TEST(Lexer, UnknownCharacters) {
  TempDir d;
  Lexed l = lex_text(d, "a1_b _c\n");
  EXPECT_TRUE(l.failed);
  ASSERT_EQ(l.toks.size(), 1u);
  EXPECT_EQ(l.toks[0].value, "a1_b");
  EXPECT_EQ(l.err, d.path() +
                       "/src.vsk:1:5: Syntax error: unknown character '_' (octal: 137; "
                       "hex: 5f)\n");
  Lexed hi = lex_text(d, "\xe9");
  EXPECT_TRUE(hi.failed);
  EXPECT_EQ(hi.err, d.path() +
                        "/src.vsk:1:0: Syntax error: unknown character '\xe9' (octal: "
                        "351; hex: e9)\n");
}

TEST(Lexer, MissingMainFileGivesNoLexer) {
  TempDir d;
  EXPECT_EQ(vesklex_new((d.path() + "/none.vsk").c_str()), nullptr);
  EXPECT_EQ(vesklex_new(std::string(5000, 'a').c_str()), nullptr);
  EXPECT_EQ(vesklex_new(d.path().c_str()), nullptr); /* a directory */
}

TEST(Lexer, EndPositionAfterTheLastCharacter) {
  TempDir d;
  vesklex_t lex = vesklex_new(d.write("e.vsk", "ab\ncd").c_str());
  ASSERT_NE(lex, nullptr);
  while (vesktok_t t = vesklex_nexttok(lex))
    vesklex_destroytok(&t);
  const char *f;
  uint64_t line, col;
  vesklex_endpos(lex, &f, &line, &col);
  EXPECT_EQ(std::string(f), d.path() + "/e.vsk");
  EXPECT_EQ(line, 2u);
  EXPECT_EQ(col, 2u);
  vesklex_destroy(&lex);
}

TEST(Lexer, CloneCopiesEverything) {
  TempDir d;
  vesklex_t lex = vesklex_new(d.write("c.vsk", "  name\n").c_str());
  vesktok_t t = vesklex_nexttok(lex);
  vesktok_t c = vesklex_clonetok(t);
  ASSERT_NE(c, nullptr);
  EXPECT_NE(c->value, t->value);
  EXPECT_STREQ(c->value, "name");
  EXPECT_STREQ(c->fname, t->fname);
  EXPECT_EQ(c->col, 2u);
  EXPECT_EQ(c->line, 1u);
  vesklex_destroytok(&t);
  EXPECT_EQ(t, nullptr);
  vesktok_t nl = vesklex_nexttok(lex);
  vesktok_t nlc = vesklex_clonetok(nl);
  EXPECT_EQ(nlc->value, nullptr);
  vesklex_destroytok(&nl);
  vesklex_destroytok(&nlc);
  vesklex_destroytok(&c);
  vesklex_destroy(&lex);
}

/* ---------- includes ---------- */

TEST(LexerInclude, TokensOfTheIncludedFileComeInPlace) {
  TempDir d;
  std::string lib = d.write("lib.vsk", "b");
  Lexed l = lex_text(d, "a include '" + lib + "' c\n");
  ASSERT_FALSE(l.failed) << l.err;
  EXPECT_EQ(values(l),
            (std::vector<std::string>{"a", "b", "<none>", "c", "<none>", "<none>"}));
  EXPECT_EQ(l.toks[1].fname, lib);
  EXPECT_EQ(l.toks[3].fname, d.path() + "/src.vsk");
  EXPECT_EQ(l.toks[3].col, 13 + lib.size());
}

TEST(LexerInclude, RelativeToTheWorkingDirectoryThenIncludePath) {
  TempDir d;
  TempDir lib;
  lib.write("m.vsk", "fromlib\n");
  std::string inc = "/nonexistent::" + lib.path() + "/";
  setenv("VESK_INCLUDE_PATH", inc.c_str(), 1);
  Lexed l = lex_text(d, "include \"m.vsk\"\n");
  unsetenv("VESK_INCLUDE_PATH");
  ASSERT_FALSE(l.failed) << l.err;
  ASSERT_GE(l.toks.size(), 1u);
  EXPECT_EQ(l.toks[0].value, "fromlib");
  EXPECT_EQ(l.toks[0].fname, lib.path() + "/m.vsk");
}

TEST(LexerInclude, FileIncludedTwiceInARowIsReadTwice) {
  TempDir d;
  d.write("x.vsk", "x");
  Lexed l = lex_file(d.write("main.vsk", "include '" + d.path() + "/x.vsk'\ninclude '" +
                                             d.path() + "/x.vsk'\n"));
  ASSERT_FALSE(l.failed) << l.err;
  EXPECT_EQ(values(l), (std::vector<std::string>{"x", "<none>", "<none>", "x", "<none>",
                                                 "<none>", "<none>"}));
}

TEST(LexerInclude, RecursiveIncludesAreIgnored) {
  TempDir d;
  std::string a = d.path() + "/a.vsk", b = d.path() + "/b.vsk";
  d.write("a.vsk", "A1 include '" + b + "' A2 include '" + a + "' A3");
  d.write("b.vsk", "B1 include '" + a + "' B2");
  Lexed l = lex_file(a);
  ASSERT_FALSE(l.failed) << l.err;
  EXPECT_EQ(values(l),
            (std::vector<std::string>{"A1", "B1", "B2", "<none>", "A2", "A3", "<none>"}));
}

TEST(LexerInclude, IncludeIsAWholeWord) {
  TempDir d;
  Lexed l = lex_text(d, "included includes\n");
  ASSERT_FALSE(l.failed) << l.err;
  EXPECT_EQ(values(l),
            (std::vector<std::string>{"included", "includes", "<none>", "<none>"}));
}

TEST(LexerInclude, Errors) {
  TempDir d;
  std::string src = d.path() + "/src.vsk";
  Lexed noquote = lex_text(d, "include x\n");
  EXPECT_TRUE(noquote.failed);
  EXPECT_EQ(noquote.err, src + ":1:8: Syntax error: expected string after include\n");
  Lexed open = lex_text(d, "include 'abc\n");
  EXPECT_TRUE(open.failed);
  EXPECT_EQ(open.err, src + ":1:12: Syntax error: expected end of string\n");
  Lexed missing = lex_text(d, "  include 'nope.vsk'\n");
  EXPECT_TRUE(missing.failed);
  EXPECT_EQ(missing.err, src + ":1:20: Can't read 'nope.vsk'\n");
  Lexed ateof = lex_file(d.write("eof.vsk", "include"));
  EXPECT_TRUE(ateof.failed);
  EXPECT_EQ(ateof.err,
            d.path() + "/eof.vsk:1:7: Syntax error: expected string after include\n");
}

TEST(LexerInclude, ErrorInsideIncludedFileNamesThatFile) {
  TempDir d;
  std::string bad = d.write("bad.vsk", "\n  @");
  Lexed l = lex_text(d, "include '" + bad + "'\n");
  EXPECT_TRUE(l.failed);
  EXPECT_EQ(l.err, d.path() +
                       "/bad.vsk:2:2: Syntax error: unknown character '@' (octal: 100; "
                       "hex: 40)\n");
}

} // namespace
