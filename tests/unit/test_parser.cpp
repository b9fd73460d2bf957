/*
 * Compiler tests: the assembly text produced for small sources (layout,
 * annotations, label numbering, string table order, code of statements and
 * expressions, closures) and the messages of failing compilations.
 */
#include "veskparser.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "temp_dir.h"

namespace {

struct Compiled {
  bool ok = false;
  std::string out; /* assembly text */
  std::string err; /* standard error */
};

/* Compiles `source` (written to dir/s.vsk) into memory. */
Compiled compile(const TempDir &dir, const std::string &source,
                 const char *strlist = nullptr) {
  Compiled c;
  std::string src = dir.write("s.vsk", source);
  char *buf = nullptr;
  size_t len = 0;
  FILE *out = open_memstream(&buf, &len);
  testing::internal::CaptureStderr();
  veskparser_t p = veskparser_new_stream(src.c_str(), out, strlist);
  if (p) {
    c.ok = veskparser_parse(p) == PARSE_OK;
    veskparser_destroy(&p);
    EXPECT_EQ(p, nullptr);
  }
  c.err = testing::internal::GetCapturedStderr();
  fclose(out);
  c.out.assign(buf, len);
  free(buf);
  return c;
}

/* The lines of a text, annotations ("\t|line,col,file") removed. */
std::vector<std::string> plain_lines(const std::string &text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    size_t bar = line.find("\t|");
    lines.push_back(bar == std::string::npos ? line : line.substr(0, bar));
  }
  return lines;
}

/* A chunk starts with its label on a line of its own after a blank line. */
bool chunk_head(const std::vector<std::string> &lines, size_t i) {
  return i > 0 && lines[i - 1].empty() && lines[i].rfind("@__label_", 0) == 0;
}

/* Instructions of the chunk under label n, without annotations. */
std::vector<std::string> chunk(const std::string &out, unsigned n) {
  std::vector<std::string> all = plain_lines(out), code;
  std::string head = "@__label_" + std::to_string(n);
  size_t i = 0;
  while (i < all.size() && !(chunk_head(all, i) && all[i] == head))
    ++i;
  for (++i; i < all.size() && !chunk_head(all, i); ++i)
    if (!all[i].empty()) code.push_back(all[i]);
  return code;
}

/* Main script code, without the exit point. */
std::vector<std::string> main_code(const std::string &out) {
  std::vector<std::string> c = chunk(out, 0);
  if (c.size() >= 2 && c[c.size() - 2] == "@__exitpoint") c.resize(c.size() - 2);
  return c;
}

using Lines = std::vector<std::string>;

/* ---------- layout ---------- */

TEST(ParserOutput, CompleteListingOfAnAssignment) {
  TempDir d;
  Compiled c = compile(d, "x = 1\n");
  ASSERT_TRUE(c.ok) << c.err;
  std::string f = d.path() + "/s.vsk";
  EXPECT_EQ(c.out, "!1\n'x\n\n\tnop\n\n@__label_0\n"
                   "\tpushs 0\t|1,2," +
                       f +
                       "\n"
                       "\tpushi 1\t|1,4," +
                       f +
                       "\n"
                       "\tgstore\t|1,5," +
                       f +
                       "\n"
                       "\n@__exitpoint\n\tdone\n");
  EXPECT_EQ(c.err, "");
}

TEST(ParserOutput, PrologueBindsNamedFunctionsAndLabelsAreNumberedInOrder) {
  TempDir d;
  Compiled c = compile(d, "if (a) b()\nfunction f(x) { return x }\nf(1)\n");
  ASSERT_TRUE(c.ok) << c.err;
  Lines all = plain_lines(c.out);
  /* strings: a, b, f */
  Lines head(all.begin(), all.begin() + 9);
  EXPECT_EQ(head, (Lines{"!3", "'a", "'b", "'f", "", "\tpushs 2", "\tpushcn @__label_3",
                         "\tgstore", "\tnop"}));
  EXPECT_EQ(main_code(c.out),
            (Lines{"\tpushs 0", "\tgload", "\tjumpz @__label_1", "\tpushs 1", "\tgload",
                   "\tpushi 0", "\tcallc", "@__label_1", "\tpushs 2", "\tgload",
                   "\tpushi 1", "\tpushi 1", "\tcallc"}));
  EXPECT_EQ(chunk(c.out, 3), (Lines{"\tlload 1", "\tret1", "\tret0"}));
}

TEST(ParserOutput, FunctionCalledBeforeItsDefinition) {
  TempDir d;
  Compiled c = compile(d, "g()\nfunction g() { }\n");
  ASSERT_TRUE(c.ok) << c.err;
  EXPECT_EQ(main_code(c.out), (Lines{"\tpushs 0", "\tgload", "\tpushi 0", "\tcallc"}));
  EXPECT_NE(c.out.find("\tpushs 0\n\tpushcn @__label_1\n\tgstore\n\tnop\n"),
            std::string::npos);
}

TEST(ParserOutput, StringTableOrderWithAList) {
  TempDir d;
  std::string vst = d.write("l.vst", "hello\n\nlisted\n");
  Compiled c = compile(d, "print(\"listed\", 'new', \"hello\")\n", vst.c_str());
  ASSERT_TRUE(c.ok) << c.err;
  Lines all = plain_lines(c.out);
  EXPECT_EQ(Lines(all.begin(), all.begin() + 7),
            (Lines{"!5", "'hello", "'", "'listed", "'print", "'new", ""}));
  EXPECT_EQ(main_code(c.out), (Lines{"\tpushs 3", "\tgload", "\tpushs 2", "\tpushs 4",
                                     "\tpushs 0", "\tpushi 3", "\tcallc"}));
}

TEST(ParserOutput, LongStringListLinesAreSplit) {
  TempDir d;
  std::string exact(1023, 'a'), longer(1030, 'b');
  std::string vst = d.write("l.vst", exact + "\n" + longer + "\n");
  Compiled c = compile(d, "x = 1\n", vst.c_str());
  ASSERT_TRUE(c.ok) << c.err;
  Lines all = plain_lines(c.out);
  EXPECT_EQ(all[0], "!4");
  EXPECT_EQ(all[1], "'" + exact);
  EXPECT_EQ(all[2], "'" + std::string(1023, 'b'));
  EXPECT_EQ(all[3], "'bbbbbbb");
  EXPECT_EQ(all[4], "'x");
}

TEST(ParserOutput, MissingStringListFails) {
  TempDir d;
  Compiled c = compile(d, "x = 1\n", (d.path() + "/no.vst").c_str());
  EXPECT_FALSE(c.ok);
  EXPECT_EQ(c.err, d.path() + "/no.vst: No such file or directory\n");
}

TEST(ParserOutput, StringsWithLineBreaksUseTheEscapedForm) {
  TempDir d;
  std::string vst = d.write("l.vst", "cr\r\n");
  Compiled c = compile(d, "x = 'a\\nb\\\\c' y = 'p\\\\q'\n", vst.c_str());
  ASSERT_TRUE(c.ok) << c.err;
  Lines all = plain_lines(c.out);
  EXPECT_EQ(Lines(all.begin(), all.begin() + 6),
            (Lines{"!5", "\"cr\\r", "'x", "\"a\\nb\\\\c", "'y", "'p\\q"}));
}

TEST(ParserOutput, AnnotationsNameTheIncludedFile) {
  TempDir d;
  std::string lib = d.write("lib.vsk", "y = 2\n");
  Compiled c = compile(d, "include '" + lib + "'\nx = 1\n");
  ASSERT_TRUE(c.ok) << c.err;
  EXPECT_NE(c.out.find("\tpushi 2\t|1,4," + lib + "\n"), std::string::npos);
  EXPECT_NE(c.out.find("\tpushi 1\t|2,4," + d.path() + "/s.vsk\n"), std::string::npos);
}

TEST(ParserOutput, TrailingCommentAtEndOfFile) {
  TempDir d;
  Compiled c = compile(d, "x = 1 # done");
  ASSERT_TRUE(c.ok) << c.err;
  /* Nothing follows the constant, so the store has no annotation. */
  EXPECT_NE(c.out.find("\tgstore\n\n@__exitpoint\n\tdone\n"), std::string::npos);
}

/* ---------- statements ---------- */

TEST(ParserStatements, IfElseOnSeparateLinesAndAsLastStatement) {
  TempDir d;
  Compiled c = compile(d, "if (a) {\n x = 1\n}\n\nelse\n x = 2\n\n\n");
  ASSERT_TRUE(c.ok) << c.err;
  EXPECT_EQ(main_code(c.out),
            (Lines{"\tpushs 0", "\tgload", "\tjumpz @__label_1", "\tpushs 1", "\tpushi 1",
                   "\tgstore", "\tjump @__label_2", "@__label_1", "\tpushs 1",
                   "\tpushi 2", "\tgstore", "@__label_2"}));
}

TEST(ParserStatements, WhileLoop) {
  TempDir d;
  Compiled c = compile(d, "while (n > 0) n = n - 1\n");
  ASSERT_TRUE(c.ok) << c.err;
  EXPECT_EQ(main_code(c.out),
            (Lines{"@__label_1", "\tpushs 0", "\tgload", "\tpushi 0", "\tgt",
                   "\tjumpz @__label_2", "\tpushs 0", "\tpushs 0", "\tgload", "\tpushi 1",
                   "\tsub", "\tgstore", "\tjump @__label_1", "@__label_2"}));
}

TEST(ParserStatements, ForLoopTestsBeforeEveryPassAndStepsAfterTheBody) {
  TempDir d;
  Compiled c = compile(d, "function f(n) {\n"
                          "  var i = 0\n"
                          "  for (i = 0, i < n, i = i + 1) { g(i) }\n"
                          "}\n");
  ASSERT_TRUE(c.ok) << c.err;
  EXPECT_EQ(
      chunk(c.out, 1),
      (Lines{
          "\tpushi 0",          "\tlstore 2", /* var i */
          "\tpushi 0",          "\tlstore 2", /* i = 0 */
          "@__label_2",         "\tlload 2",  "\tlload 1", "\tlt",
          "\tjumpz @__label_3", "\tpushs 1",  "\tgload",   "\tlload 2",
          "\tpushi 1",          "\tcallc",                               /* g(i) */
          "\tlload 2",          "\tpushi 1",  "\tadd",     "\tlstore 2", /* i = i + 1 */
          "\tjump @__label_2",  "@__label_3", "\tret0"}));
}

TEST(ParserStatements, ForLoopOverATableElement) {
  TempDir d;
  Compiled c = compile(d, "for (t.i = 0, t.i < 2, t.i = t.i + 1) { }\n");
  ASSERT_TRUE(c.ok) << c.err;
  Lines code = main_code(c.out);
  Lines step = {"\tpushs 0", "\tgload",   "\tpushs 1",        "\tpushs 0",
                "\tgload",   "\tpushs 1", "\ttget",           "\tpushi 1",
                "\tadd",     "\ttput",    "\tjump @__label_1"};
  ASSERT_GE(code.size(), step.size() + 1);
  EXPECT_EQ(Lines(code.end() - step.size() - 1, code.end() - 1), step);
}

TEST(ParserStatements, ReturnForms) {
  TempDir d;
  Compiled c = compile(d, "function f(a) { if (a) return\n return a and not a }\n");
  ASSERT_TRUE(c.ok) << c.err;
  EXPECT_EQ(chunk(c.out, 1),
            (Lines{"\tlload 1", "\tjumpz @__label_2", "\tret0", "@__label_2", "\tlload 1",
                   "\tlload 1", "\tnot", "\tand", "\tret1", "\tret0"}));
}

TEST(ParserStatements, TwoStatementsOnOneLine) {
  TempDir d;
  Compiled c = compile(d, "a = 1 b = 2; c = 3\n");
  ASSERT_TRUE(c.ok) << c.err;
  EXPECT_EQ(main_code(c.out).size(), 9u);
}

TEST(ParserStatements, MethodCallAndMemberAssignment) {
  TempDir d;
  Compiled c = compile(d, "t.m(y)\na.b = v\na.b[i] = 1\n");
  ASSERT_TRUE(c.ok) << c.err;
  EXPECT_EQ(
      main_code(c.out),
      (Lines{"\tpushs 0", "\tgload", "\tpushs 1", "\ttget",  "\tpushs 2", "\tgload",
             "\tpushi 1", "\tcallc", "\tpushs 3", "\tgload", "\tpushs 4", "\tpushs 5",
             "\tgload",   "\ttput",  "\tpushs 3", "\tgload", "\tpushs 4", "\ttget",
             "\tpushs 6", "\tgload", "\tpushi 1", "\ttput"}));
}

TEST(ParserStatements, CallArgumentsOverSeveralLines) {
  TempDir d;
  Compiled c = compile(d, "f(\n  1,\n  2\n)\n");
  ASSERT_TRUE(c.ok) << c.err;
  EXPECT_EQ(main_code(c.out), (Lines{"\tpushs 0", "\tgload", "\tpushi 1", "\tpushi 2",
                                     "\tpushi 2", "\tcallc"}));
}

/* ---------- symbols and scopes ---------- */

TEST(ParserSymbols, LocalsParametersAndSelf) {
  TempDir d;
  Compiled c = compile(d, "function f(a, b) { var c = self\n c = a\n g = b }\n");
  ASSERT_TRUE(c.ok) << c.err;
  EXPECT_EQ(chunk(c.out, 1), (Lines{"\tlload 0", "\tlstore 3", "\tlload 1", "\tlstore 3",
                                    "\tpushs 1", "\tlload 2", "\tgstore", "\tret0"}));
}

TEST(ParserSymbols, BlockLocalsReleaseTheirIndices) {
  TempDir d;
  Compiled c = compile(d, "function f() { if (1) { var a = 1 } var b = 2 }\n");
  ASSERT_TRUE(c.ok) << c.err;
  Lines code = chunk(c.out, 1);
  ASSERT_EQ(code.size(), 8u);
  EXPECT_EQ(code[3], "\tlstore 1");
  EXPECT_EQ(code[6], "\tlstore 1");
}

TEST(ParserSymbols, TopLevelBlockForgetsOnlyItsOwnNames) {
  TempDir d;
  Compiled ok = compile(d, "var a = 1\nif (1) { var b = 2 }\nvar b = 3\n");
  EXPECT_TRUE(ok.ok) << ok.err;
  /* 'later' has a higher string id than the number of names known when
     the block starts, but it was declared outside the block. */
  Compiled dup = compile(d, "s = 'p'\nvar later\nwhile (1) { s = 2 }\nvar later\n");
  EXPECT_FALSE(dup.ok);
  EXPECT_EQ(dup.err, d.path() + "/s.vsk:4:4: Duplicated symbol 'later'\n");
  Compiled kept = compile(d, "var p = 1\nif (1) { q = 2 }\nvar p\n");
  EXPECT_FALSE(kept.ok);
}

TEST(ParserSymbols, DuplicatedSymbols) {
  TempDir d;
  std::string f = d.path() + "/s.vsk";
  Compiled used = compile(d, "print(x)\nvar x = 1\n");
  EXPECT_FALSE(used.ok);
  EXPECT_EQ(used.err, f + ":2:4: Duplicated symbol 'x'\n");
  Compiled global = compile(d, "var g\nfunction f() { var g }\n");
  EXPECT_EQ(global.err, f + ":2:19: Duplicated symbol 'g'\n");
  Compiled param = compile(d, "function f(a) { var a }\n");
  EXPECT_EQ(param.err, f + ":1:20: Duplicated symbol 'a'\n");
  Compiled twice = compile(d, "function f(a, a) { }\n");
  EXPECT_EQ(twice.err, f + ":1:14: Duplicated symbol 'a'\n");
}

TEST(ParserSymbols, FreeNamesAreGlobals) {
  TempDir d;
  Compiled c = compile(d, "function f() { return undeclared }\n");
  ASSERT_TRUE(c.ok) << c.err;
  EXPECT_EQ(chunk(c.out, 1), (Lines{"\tpushs 1", "\tgload", "\tret1", "\tret0"}));
}

TEST(ParserSymbols, NamedFunctionInsideAFunctionIsRejected) {
  TempDir d;
  Compiled c = compile(d, "function f() {\n  function g() { }\n}\n");
  EXPECT_FALSE(c.ok);
  EXPECT_EQ(c.err,
            d.path() +
                "/s.vsk:2:2: Syntax error: a function inside a function can't have "
                "a name; write 'var name = function (...) { ... }'\n");
  EXPECT_EQ(c.out, "");
}

/* ---------- expressions ---------- */

TEST(ParserExpressions, PrecedenceAndAssociativity) {
  TempDir d;
  Compiled c = compile(d, "x = 1 * 2 % 3\ny = 2 ^ 3 ^ 2\nz = 1 - 2 - 3\n");
  ASSERT_TRUE(c.ok) << c.err;
  EXPECT_EQ(
      main_code(c.out),
      (Lines{"\tpushs 0", "\tpushi 1", "\tpushi 2", "\tpushi 3", "\tmod",     "\tmul",
             "\tgstore",  "\tpushs 1", "\tpushi 2", "\tpushi 3", "\tpushi 2", "\tpow",
             "\tpow",     "\tgstore",  "\tpushs 2", "\tpushi 1", "\tpushi 2", "\tsub",
             "\tpushi 3", "\tsub",     "\tgstore"}));
}

TEST(ParserExpressions, SignsAndNumbers) {
  TempDir d;
  Compiled c = compile(d, "x = -2 ^ 2\ny = -a ^ 2\nz = +1.5 + 1.2.3 + 4.\nw = -(a)\n");
  ASSERT_TRUE(c.ok) << c.err;
  EXPECT_EQ(
      main_code(c.out),
      (Lines{"\tpushs 0", "\tpushi -2", "\tpushi 2", "\tpow",        "\tgstore",
             "\tpushs 1", "\tpushs 2",  "\tgload",   "\tpushi 2",    "\tpow",
             "\tunm",     "\tgstore",   "\tpushs 3", "\tpushf +1.5", "\tpushf 1.2.3",
             "\tadd",     "\tpushf 4.", "\tadd",     "\tgstore",     "\tpushs 4",
             "\tpushs 2", "\tgload",    "\tunm",     "\tgstore"}));
}

TEST(ParserExpressions, ConditionsAndComparisons) {
  TempDir d;
  Compiled c = compile(d, "if (a == 1 or not (b != nil) and c <= 2) x()\n"
                          "while (a < 1 and a > 0 or a >= 5) x()\n");
  ASSERT_TRUE(c.ok) << c.err;
  Lines code = main_code(c.out);
  Lines first(code.begin(), code.begin() + 15);
  EXPECT_EQ(first, (Lines{"\tpushs 0", "\tgload", "\tpushi 1", "\teq", "\tpushs 1",
                          "\tgload", "\tpushnil", "\tneq", "\tnot", "\tor", "\tpushs 2",
                          "\tgload", "\tpushi 2", "\tlte", "\tand"}));
  EXPECT_NE(std::find(code.begin(), code.end(), "\tgte"), code.end());
  EXPECT_NE(std::find(code.begin(), code.end(), "\tlt"), code.end());
  EXPECT_NE(std::find(code.begin(), code.end(), "\tgt"), code.end());
}

/* A condition, argument or returned value may start with a parenthesised
   arithmetic term followed by an operator: the term's code is what it
   would be inside an expression, and the rest of the condition follows. */
TEST(ParserExpressions, ConditionsStartingWithAParenthesisedTerm) {
  TempDir d;
  Compiled c = compile(d, "f((a + b) % 4)\n"
                          "if ((a + b) * 2 > c) x()\n"
                          "if ((a > 1) and not (b)) x()\n"
                          "return ((a)) ^ 2 - 1 != (b)\n");
  ASSERT_TRUE(c.ok) << c.err;
  Lines code = main_code(c.out);
  /* strings: f 0, a 1, b 2, c 3, x 4 */
  Lines expected{"\tpushs 0", "\tgload", "\tpushs 1", "\tgload", "\tpushs 2", "\tgload",
                 "\tadd", "\tpushi 4", "\tmod", "\tpushi 1", "\tcallc",
                 /* if ((a + b) * 2 > c) */
                 "\tpushs 1", "\tgload", "\tpushs 2", "\tgload", "\tadd", "\tpushi 2",
                 "\tmul", "\tpushs 3", "\tgload", "\tgt", "\tjumpz @__label_1"};
  ASSERT_GE(code.size(), expected.size());
  EXPECT_EQ(Lines(code.begin(), code.begin() + expected.size()), expected);
  auto second =
      std::find(code.begin() + expected.size(), code.end(), "\tjumpz @__label_3");
  ASSERT_NE(second, code.end());
  EXPECT_EQ(Lines(second - 8, second + 1),
            (Lines{"\tpushs 1", "\tgload", "\tpushi 1", "\tgt", "\tpushs 2", "\tgload",
                   "\tnot", "\tand", "\tjumpz @__label_3"}));
  auto ret = std::find(code.begin(), code.end(), "\tret1");
  ASSERT_NE(ret, code.end());
  EXPECT_EQ(Lines(ret - 9, ret + 1),
            (Lines{"\tpushs 1", "\tgload", "\tpushi 2", "\tpow", "\tpushi 1", "\tsub",
                   "\tpushs 2", "\tgload", "\tneq", "\tret1"}));
}

TEST(ParserExpressions, TableConstructors) {
  TempDir d;
  Compiled c = compile(d, "t = {\n  .a = 1,\n  .2 = {},\n  .3.5 = 's'\n}\n");
  ASSERT_TRUE(c.ok) << c.err;
  EXPECT_EQ(main_code(c.out),
            (Lines{"\tpushs 0", "\tpusht", "\tdup", "\tpushs 1", "\tpushi 1", "\ttput",
                   "\tdup", "\tpushi 2", "\tpusht", "\ttput", "\tdup", "\tpushf 3.5",
                   "\tpushs 2", "\ttput", "\tgstore"}));
}

TEST(ParserExpressions, IndexingAndCallsInValues) {
  TempDir d;
  Compiled c = compile(d, "x = a.b[i](1)[2]\n");
  ASSERT_TRUE(c.ok) << c.err;
  EXPECT_EQ(main_code(c.out),
            (Lines{"\tpushs 0", "\tpushs 1", "\tgload", "\tpushs 2", "\ttget",
                   "\tpushs 3", "\tgload", "\ttget", "\tpushi 1", "\tpushi 1", "\tcallc",
                   "\tpushi 2", "\ttget", "\tgstore"}));
}

/* ---------- lambdas ---------- */

TEST(ParserLambdas, TopLevelLambdaStartsAFreshFrame) {
  TempDir d;
  Compiled c = compile(d, "t = { .f = function (x) { return self.v + x } }\n");
  ASSERT_TRUE(c.ok) << c.err;
  EXPECT_EQ(main_code(c.out), (Lines{"\tpushs 0", "\tpusht", "\tdup", "\tpushs 1",
                                     "\tpushl @__label_1", "\ttput", "\tgstore"}));
  EXPECT_EQ(chunk(c.out, 1), (Lines{"\tlload 0", "\tpushs 2", "\ttget", "\tlload 1",
                                    "\tadd", "\tret1", "\tret0"}));
}

TEST(ParserLambdas, LambdaInAFunctionGetsExactlyTheVisibleLocals) {
  TempDir d;
  Compiled c = compile(d, "function f(a) {\n"
                          "  if (a) { var tmp = 1 }\n"
                          "  var b = 2\n"
                          "  var g = function (x) { var y = x + a + b\n return y }\n"
                          "  return g(3)\n"
                          "}\n");
  ASSERT_TRUE(c.ok) << c.err;
  /* Chunks: 1 f, 4 the lambda, 5 its maker. The enclosing frame has self,
     a and b visible (3 locals); the maker gets them as arguments, self
     last, and moves self into slot 0. */
  Lines f = chunk(c.out, 1);
  Lines make = {"\tpushcn @__label_5", "\tlload 1", "\tlload 2", "\tlload 0",
                "\tpushi 3",           "\tcallc",   "\tlstore 3"};
  ASSERT_GE(f.size(), 14u);
  EXPECT_EQ(Lines(f.begin() + 7, f.begin() + 14), make);
  EXPECT_EQ(chunk(c.out, 5),
            (Lines{"\tlload 3", "\tlstore 0", "\tpushl @__label_4", "\tret1"}));
  /* Parameter x lives after the captured locals and the spare slot. */
  EXPECT_EQ(chunk(c.out, 4),
            (Lines{"\tlload 4", "\tlload 1", "\tadd", "\tlload 2", "\tadd", "\tlstore 5",
                   "\tlload 5", "\tret1", "\tret0"}));
}

TEST(ParserLambdas, ParameterShadowsAnEnclosingLocal) {
  TempDir d;
  Compiled c = compile(d, "function f(x) { return function (x) { return x } }\n");
  ASSERT_TRUE(c.ok) << c.err;
  EXPECT_EQ(chunk(c.out, 2), (Lines{"\tlload 3", "\tret1", "\tret0"}));
}

TEST(ParserLambdas, NestedLambdas) {
  TempDir d;
  Compiled c = compile(d, "h = function (a) { return function (b) { return a + b } }\n");
  ASSERT_TRUE(c.ok) << c.err;
  /* Outer lambda: self 0, a 1. Inner: captures 2, spare 2, b 3. */
  EXPECT_EQ(chunk(c.out, 1), (Lines{"\tpushcn @__label_3", "\tlload 1", "\tlload 0",
                                    "\tpushi 2", "\tcallc", "\tret1", "\tret0"}));
  EXPECT_EQ(chunk(c.out, 2),
            (Lines{"\tlload 1", "\tlload 3", "\tadd", "\tret1", "\tret0"}));
}

/* ---------- errors ---------- */

struct ErrorCase {
  const char *source;
  const char *message; /* after "<file>:" */
};

class ParserErrors : public testing::TestWithParam<ErrorCase> {};

TEST_P(ParserErrors, FailWithTheExactMessageAndWriteNothing) {
  TempDir d;
  Compiled c = compile(d, GetParam().source);
  EXPECT_FALSE(c.ok);
  EXPECT_EQ(c.err, d.path() + "/s.vsk:" + GetParam().message + "\n");
  EXPECT_EQ(c.out, "");
}

INSTANTIATE_TEST_SUITE_P(
    Messages, ParserErrors,
    testing::Values(
        ErrorCase{"x = (1\n", "1:6: Syntax error: expected ), found ; or newline"},
        ErrorCase{"x = 1 == 2\n",
                  "1:6: Syntax error: expected identifier, found == != < <= > >="},
        ErrorCase{"if ((1 > 2) * 3) x()\n",
                  "1:12: Syntax error: expected ), found * or /"},
        ErrorCase{"f((1 and 2) + 3)\n", "1:12: Syntax error: expected ), found + or -"},
        ErrorCase{"f(not (1) + 2 == 3 < 4)\n",
                  "1:19: Syntax error: expected ), found == != < <= > >="},
        ErrorCase{"f() = 1\n", "1:4: Syntax error: can't have a function call as lvalue"},
        ErrorCase{"a.b\n", "1:3: Syntax error: expected function call or assignment"},
        ErrorCase{"t = { a = 1 }\n",
                  "1:6: Syntax error: expected .id = expression or }, found identifier"},
        ErrorCase{"t = { .'a' = 1 }\n",
                  "1:7: Syntax error: expected id or numeric constant, found string"},
        ErrorCase{"t = { .a = 1, }\n", "1:14: Syntax error: expected ., found }"},
        ErrorCase{"x = 1\n}\ny = 2\n", "2:0: Syntax error: '}' without a matching '{'"},
        ErrorCase{"x = 1 !\n", "1:6: Syntax error: expected '=' after '!'"},
        ErrorCase{"function f( { }\n",
                  "1:12: Syntax error: expected identifier, found {"},
        ErrorCase{"for (i = 0; i < 2, i = i + 1) { }\n",
                  "1:10: Syntax error: expected ,, found ; or newline"},
        ErrorCase{"for (f() = 0, 1, i = 1) { }\n",
                  "1:9: Syntax error: can't have a function call as lvalue"},
        ErrorCase{"f(\n", "2:0: Syntax error: unexpected end of input"},
        ErrorCase{"if (a)\n\n", "3:0: Syntax error: unexpected end of input"},
        ErrorCase{"function f() {\n  x = 1\n",
                  "3:0: Syntax error: unexpected end of input"},
        ErrorCase{"# only a comment", "1:16: Syntax error: unexpected end of input"}));

TEST(ParserErrorsMore, LexicalErrorRightAfterACompleteStatementFails) {
  TempDir d;
  Compiled c = compile(d, "x = 1\n_y = 2\n");
  EXPECT_FALSE(c.ok);
  EXPECT_EQ(c.err, d.path() + "/s.vsk:2:0: Syntax error: unknown character '_' (octal: "
                              "137; hex: 5f)\n");
}

TEST(ParserErrorsMore, LexicalErrorAfterATrailingComment) {
  TempDir d;
  Compiled c = compile(d, "x = 1 # fine\n@\n");
  EXPECT_FALSE(c.ok);
  EXPECT_NE(c.err.find("2:0: Syntax error: unknown character '@'"), std::string::npos);
}

TEST(ParserErrorsMore, DeepNestingIsRefusedNotCrashing) {
  TempDir d;
  std::string deep = "x = " + std::string(100000, '(') + "1" + std::string(100000, ')');
  Compiled c = compile(d, deep + "\n");
  EXPECT_FALSE(c.ok);
  EXPECT_NE(c.err.find("Syntax error: nesting too deep"), std::string::npos);
  Compiled fine =
      compile(d, "x = " + std::string(100, '(') + "1" + std::string(100, ')'));
  EXPECT_TRUE(fine.ok) << fine.err;
}

TEST(ParserErrorsMore, TooManyDistinctStrings) {
  TempDir d;
  std::string list;
  for (int i = 0; i < 65534; ++i)
    list += std::to_string(i) + "\n";
  std::string vst = d.write("big.vst", list);
  Compiled fits = compile(d, "x = 1\n", vst.c_str()); /* 65535 strings */
  EXPECT_TRUE(fits.ok) << fits.err;
  EXPECT_EQ(fits.out.rfind("!65535\n", 0), 0u);
  Compiled over = compile(d, "x = 'one more'\n", vst.c_str());
  EXPECT_FALSE(over.ok);
  EXPECT_EQ(over.err,
            d.path() + "/s.vsk:1:4: Syntax error: more than 65535 distinct strings\n");
}

TEST(ParserErrorsMore, MissingSourceFile) {
  TempDir d;
  testing::internal::CaptureStderr();
  veskparser_t p =
      veskparser_new_stream((d.path() + "/none.vsk").c_str(), stdout, nullptr);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(p, nullptr);
  EXPECT_EQ(err, d.path() + "/none.vsk: No such file or directory\n");
}

/* ---------- the command-line interface ---------- */

TEST(ParserCommandLine, WrongArgumentCount) {
  char a0[] = "vskparse";
  char *argv[] = {a0, nullptr};
  testing::internal::CaptureStderr();
  EXPECT_EQ(veskparser_new(1, argv), nullptr);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "veskparser_new(): expected 3 or 4 arguments, got 1\n");
}

TEST(ParserCommandLine, OutputFileIsEmptyAfterAFailureAndWrittenOnSuccess) {
  TempDir d;
  std::string src = d.write("a.vsk", "x = \n");
  std::string out = d.path() + "/a.vasm";
  std::string a0 = "vskparse";
  char *argv[] = {a0.data(), src.data(), out.data(), nullptr};
  testing::internal::CaptureStderr();
  veskparser_t p = veskparser_new(3, argv);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(veskparser_parse(p), PARSE_ERROR);
  veskparser_destroy(&p);
  testing::internal::GetCapturedStderr();
  std::ifstream failed(out);
  ASSERT_TRUE(failed.good());
  EXPECT_EQ(failed.peek(), EOF);

  d.write("a.vsk", "x = 1\n");
  p = veskparser_new(3, argv);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(veskparser_parse(p), PARSE_OK);
  veskparser_destroy(&p);
  std::ifstream written(out);
  std::string first;
  std::getline(written, first);
  EXPECT_EQ(first, "!1");
}

TEST(ParserCommandLine, UncreatableOutput) {
  TempDir d;
  std::string src = d.write("a.vsk", "x = 1\n");
  std::string out = d.path() + "/no/dir.vasm";
  std::string a0 = "vskparse";
  char *argv[] = {a0.data(), src.data(), out.data(), nullptr};
  testing::internal::CaptureStderr();
  EXPECT_EQ(veskparser_new(3, argv), nullptr);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            out + ": No such file or directory\n");
}

} // namespace
