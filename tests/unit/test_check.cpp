/*
 * The static checker on small scripts: each kind of warning, the scripts
 * that look alike but must not warn (includes, functions, assignments after
 * use, table members, method calls, parameters, loops, lambdas at the top
 * level, nested lambdas), silencing comments and failing compilations.
 */
#include "veskcheck.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "temp_dir.h"

namespace {

struct Checked {
  int result = 0;
  std::vector<std::string> lines; /* warnings, "line:column: text" for s.vsk */
};

/* Checks `source` written as dir/s.vsk; positions in s.vsk lose the path. */
Checked check(const TempDir &dir, const std::string &source) {
  std::string path = dir.write("s.vsk", source);
  char *buf = nullptr;
  size_t len = 0;
  FILE *out = open_memstream(&buf, &len);
  testing::internal::CaptureStderr();
  Checked c;
  c.result = veskcheck_file(path.c_str(), out);
  testing::internal::GetCapturedStderr();
  fclose(out);
  std::istringstream text(std::string(buf, len));
  free(buf);
  for (std::string line; std::getline(text, line);)
    c.lines.push_back(line.rfind(path + ":", 0) == 0 ? line.substr(path.size() + 1)
                                                     : line);
  if (c.result >= 0) {
    EXPECT_EQ(c.result, (int)c.lines.size());
  }
  return c;
}

Checked check(const std::string &source) {
  TempDir dir;
  return check(dir, source);
}

using Lines = std::vector<std::string>;

/* The script compiles and the checker has nothing to say. */
void expect_clean(const char *source) {
  Checked c = check(source);
  EXPECT_EQ(c.result, 0) << source;
  EXPECT_EQ(c.lines, Lines{}) << source;
}

const char NEVER_ASSIGNED[] =
    " is read but never assigned anywhere: it is nil (misspelled?)";

} // namespace

/* ---------- names never assigned ---------- */

TEST(CheckUnassigned, MisspelledNameWarnsAtEveryRead) {
  EXPECT_EQ(check("var speed = 1\nprint(sped)\nvar x = sped + speed\n").lines,
            (Lines{std::string("2:6: warning: 'sped'") + NEVER_ASSIGNED,
                   std::string("3:8: warning: 'sped'") + NEVER_ASSIGNED}));
}

TEST(CheckUnassigned, TrueAndFalseGetAHint) {
  const std::string hint =
      " is read but never assigned anywhere: it is nil (Vesk has no true and false: "
      "write 1 and 0)";
  EXPECT_EQ(check("var ok = true\nif (ok == false) print(1)\n").lines,
            (Lines{"1:9: warning: 'true'" + hint, "2:10: warning: 'false'" + hint}));
}

TEST(CheckUnassigned, NamesAssignedAnywhereDoNotWarn) {
  const char *scripts[] = {
      /* assigned inside a function, read at the top level */
      "function init() { seen = 1 }\nprint(seen)\n",
      /* assigned after its first use */
      "function step() { print(later) }\nlater = 2\n",
      /* named functions, called before their definition */
      "print(f())\nfunction f() { return 1 }\n",
      /* a loop's variable, at the top level and in a function */
      "for (i = 0, i < 3, i = i + 1) { print(i) }\n"
      "function g() { for (j = 0, j < 2, j = j + 1) { print(j) } }\n",
      /* a lambda at the top level assigns a global */
      "var set = function(v) { level = v }\nset(3)\nprint(level)\n",
      /* built-ins of the console runner and of the robots */
      "print(math.pi, id, size({}))\nlog(proximity, soc)\nset_wheels(1, 1)\n",
  };
  for (const char *source : scripts)
    expect_clean(source);
}

TEST(CheckUnassigned, TableMembersAndMethodsAreNotVariables) {
  expect_clean(
      "var robot = {.x = 0}\nrobot.move = function(dx) { self.x = self.x + dx }\n"
      "robot.move(3)\nprint(robot.x, robot[\"y\"], robot.report)\n");
}

TEST(CheckUnassigned, AssignmentInAnIncludeCounts) {
  TempDir dir;
  dir.write("lib.vsk", "function setup() { ready = 1 }\n");
  EXPECT_EQ(check(dir, "include \"" + dir.path() + "/lib.vsk\"\nsetup()\nprint(ready)\n")
                .result,
            0);
}

TEST(CheckUnassigned, WarningsInAnIncludeCarryItsPath) {
  TempDir dir;
  std::string lib = dir.write("lib.vsk", "function show() { print(colour) }\n");
  Checked c = check(dir, "include \"" + lib + "\"\nshow()\n");
  EXPECT_EQ(c.lines, Lines{lib + ":1:24: warning: 'colour'" + NEVER_ASSIGNED});
}

/* ---------- assignments to captured locals ---------- */

const char CAPTURED[] =
    " changes only this lambda's copy of the enclosing function's local "
    "(share a table to change it)";

TEST(CheckCaptured, LambdaInAFunctionAssigningAnEnclosingLocal) {
  Checked c = check("function sum(t) {\n  var total = 0\n"
                    "  foreach(t, function(k, v) { total = total + v })\n"
                    "  return total\n}\nprint(sum({.a = 1}))\n");
  EXPECT_EQ(c.lines,
            Lines{std::string("3:30: warning: assignment to 'total'") + CAPTURED});
}

TEST(CheckCaptured, NestedLambdasAssigningOuterLocalsAndParameters) {
  /* make is a lambda at the top level: its own locals are captured by the
     lambdas made inside it. count there is a local, so the top level's
     count is another name, never assigned. */
  Checked c = check("var make = function(n) {\n  var count = 0\n  return function() {\n"
                    "    n = 1\n    var inner = 0\n    return function() { inner = 2 }\n"
                    "  }\n}\nmake(1)\nprint(count)\n");
  EXPECT_EQ(c.lines,
            (Lines{"2:6: warning: local variable 'count' is never read",
                   std::string("4:4: warning: assignment to 'n'") + CAPTURED,
                   "5:8: warning: local variable 'inner' is never read",
                   std::string("6:24: warning: assignment to 'inner'") + CAPTURED,
                   std::string("10:6: warning: 'count'") + NEVER_ASSIGNED}));
}

TEST(CheckCaptured, OwnLocalsGlobalsAndCapturedTablesDoNotWarn) {
  expect_clean("function counter() {\n  var state = {.count = 0}\n"
               "  return function(step) {\n    var next = state.count + step\n"
               "    step = 0\n    state.count = next\n    total = next + step\n"
               "    return total\n  }\n}\nprint(counter()(1))\n");
}

/* ---------- calls with a wrong number of arguments ---------- */

TEST(CheckArity, NamedFunctionsCalledWithTooFewOrTooMany) {
  Checked c = check("function first(a, b) { return a }\nprint(first(1))\n"
                    "print(first(1, 2))\nprint(first(1, 2, 3))\nfunction none() { }\n"
                    "none(4)\n");
  EXPECT_EQ(c.lines,
            (Lines{"2:6: warning: 'first' takes 2 arguments but is called with 1: "
                   "reading a missing parameter is a run-time error",
                   "4:6: warning: 'first' takes 2 arguments but is called with 3: "
                   "the extra arguments are ignored",
                   "6:0: warning: 'none' takes 0 arguments but is called with 1: "
                   "the extra arguments are ignored"}));
}

TEST(CheckArity, VarsHoldingExactlyALambda) {
  Checked c = check("var sq = function(x) { return x * x }\nprint(sq())\n"
                    "function f() {\n  var add = function(a, b) { return a + b }\n"
                    "  return add(1)\n}\nprint(f())\n");
  EXPECT_EQ(c.lines, (Lines{"2:6: warning: 'sq' takes 1 argument but is called with 0: "
                            "reading a missing parameter is a run-time error",
                            "5:9: warning: 'add' takes 2 arguments but is called with 1: "
                            "reading a missing parameter is a run-time error"}));
}

TEST(CheckArity, CallsWhoseTargetIsNotKnownDoNotWarn) {
  const char *scripts[] = {
      /* method calls pass self besides the arguments */
      "function m(a) { return a }\nvar t = {.m = m}\nprint(t.m(1), t.m(1, 2))\n",
      /* the variable is assigned again */
      "var f = function(a) { return a }\nf = function() { return 0 }\nprint(f())\n",
      /* the value is more than a lambda */
      "var g = {.h = function(a) { return a }}\nvar k = g.h\nprint(k())\n",
      /* a parameter shadows the function's name */
      "function p(a, b) { return a }\nfunction q(p) { return p() }\nprint(q(p))\n",
      /* a built-in replaces a script's function of the same name */
      "function log(a, b) { }\nlog(1)\n",
  };
  for (const char *source : scripts)
    expect_clean(source);
}

/* ---------- locals never read ---------- */

TEST(CheckUnused, LocalsNeverReadWarnParametersAndGlobalsDoNot) {
  Checked c = check("var top = 1\nfunction f(a, b) {\n  var unused = 1\n"
                    "  var written = 2\n  written = 3\n  var seen = 4\n"
                    "  return function(k) { return seen }\n}\nprint(f)\n");
  EXPECT_EQ(c.lines, (Lines{"3:6: warning: local variable 'unused' is never read",
                            "4:6: warning: local variable 'written' is never read"}));
}

/* ---------- silencing, failures ---------- */

TEST(CheckSilencing, CommentSilencesItsLineOnly) {
  Checked c = check("print(a)  # check: ignore\nprint(b) # fine\n"
                    "print(\"# check: ignore\", c)\nprint(d) #check: ignore (legacy)\n");
  EXPECT_EQ(c.lines, (Lines{std::string("2:6: warning: 'b'") + NEVER_ASSIGNED,
                            std::string("3:25: warning: 'c'") + NEVER_ASSIGNED}));
}

TEST(CheckFailure, ScriptThatDoesNotCompile) {
  TempDir dir;
  EXPECT_EQ(check(dir, "var = 1\n").result, -1);
  EXPECT_EQ(check(dir, "function f( {\n").result, -1);
  testing::internal::CaptureStderr();
  EXPECT_EQ(veskcheck_file((dir.path() + "/missing.vsk").c_str(), stdout), -1);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("missing.vsk"),
            std::string::npos);
}
