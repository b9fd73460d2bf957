/*
 * Tests of what the debugger knows about a program's state: local names by
 * scope from the compiler's symbol tables, values and member expressions,
 * and a session attached to a VM that a host runs, stopping inside a
 * callback of a native.
 */
#include "toolchain_util.h"

#include "script_build.h"
#include "veskbuild.h"
#include "veskdbgcli.h"
#include "veskdbgexpr.h"
#include "veskdbgsyms.h"
#include "vesktools.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

using namespace toolchain_test;

namespace {

/* The locals visible at LINE:COL of the file, as "slot:name" words. */
std::string visible(veskdbgsyms_t syms, const std::string &file, uint64_t line,
                    uint64_t col) {
  veskdbgsyms_local_t out[16];
  uint32_t n = veskdbgsyms_visible(syms, file.c_str(), line, col, out, 16);
  std::string text;
  for (uint32_t i = 0; i < n && i < 16; ++i)
    text += (text.empty() ? "" : " ") + std::to_string(out[i].slot) + ":" + out[i].name;
  return text;
}

std::string real(const std::string &path) {
  char *r = realpath(path.c_str(), nullptr);
  std::string p = r ? r : "";
  free(r);
  return p;
}

TEST(DebuggerSymbols, LocalsFollowBlocksLambdasAndShadowing) {
  TempDir dir;
  std::string path = dir.write("scopes.vsk", "function f(a) {\n"
                                             "  var x = 1\n"
                                             "  if (a > 0) {\n"
                                             "    var y = 2\n"
                                             "    print(y)\n"
                                             "  }\n"
                                             "  var z = 3\n"
                                             "  var g = function(b) {\n"
                                             "    var w = b\n"
                                             "    return w + z\n"
                                             "  }\n"
                                             "  return g(a)\n"
                                             "}\n"
                                             "var top = f(1)\n");
  veskdbgsyms_t syms = veskdbgsyms_new();
  uint8_t *code = nullptr;
  uint32_t size = 0;
  veskdebug_t dbg = nullptr;
  char *messages = nullptr;
  ASSERT_TRUE(veskbuild_observed(path.c_str(), veskdbgsyms_observe, syms, &code, &size,
                                 &dbg, &messages))
      << messages;
  std::string file = real(path);
  EXPECT_EQ(visible(syms, file, 5, 4), "0:self 1:a 2:x 3:y");
  /* y's block has ended: z takes its slot. */
  EXPECT_EQ(visible(syms, file, 8, 2), "0:self 1:a 2:x 3:z");
  /* In the lambda: the captured locals in their slots, then its parameter
     after the spare slot and its own local. */
  EXPECT_EQ(visible(syms, file, 10, 4), "0:self 1:a 2:x 3:z 5:b 6:w");
  EXPECT_EQ(visible(syms, file, 12, 2), "0:self 1:a 2:x 3:z 4:g");
  EXPECT_EQ(visible(syms, file, 14, 4), "");
  EXPECT_EQ(visible(syms, "/elsewhere.vsk", 5, 4), "");
  free(code);
  free(messages);
  veskdebug_destroy(&dbg);
  veskdbgsyms_destroy(&syms);
}

/* A script saved as name, built, and run to the end of its top level in a
   VM of the test's own. */
class Program {
public:
  Program(const std::string &name, const std::string &source) : path_(dir_.file(name)) {
    vesk_test::BuiltScript script(dir_.write(name, source));
    EXPECT_TRUE(script.ok()) << script.messages();
    code_ = script.code();
    dbg_ = script.release_debug();
    vm_ = veskvm_new(7);
    veskvm_set_bcode(vm_, code_.data(), (uint32_t)code_.size());
    vesktools_register_print(vm_);
    EXPECT_EQ(veskvm_execute_script(vm_), VESKVM_STATE_DONE) << veskvm_strerror(vm_);
  }
  ~Program() {
    veskvm_destroy(&vm_);
    veskdebug_destroy(&dbg_);
  }
  veskvm_t vm() { return vm_; }
  std::string path() { return real(path_); }

protected:
  TempDir dir_;
  std::string path_;
  Bytes code_;
  veskdebug_t dbg_ = nullptr;
  veskvm_t vm_ = nullptr;
};

/* A finished program, for value checks. */
class Finished : public Program {
public:
  explicit Finished(const std::string &source) : Program("v.vsk", source) {}
  /* The value of expr at the top level, or "error: TEXT". */
  std::string print(const std::string &expr, int depth = 3) {
    char *error = nullptr;
    veskobj_t o = veskdbgexpr_eval(vm_, dbg_, nullptr, 0, expr.c_str(), &error);
    if (!o) {
      std::string e = std::string("error: ") + error;
      free(error);
      return e;
    }
    char *text = veskdbgexpr_format(vm_, dbg_, o, depth);
    std::string t = text;
    free(text);
    return t;
  }
};

TEST(DebuggerValues, TablesShowTheirEntriesInOrderDownToADepth) {
  Finished p("var best = {.team = 2, .pos = {.x = 1.5, .y = -2}}\n"
             "var list = {}\n"
             "list[10] = \"ten\"\n"
             "list[2] = \"two\"\n"
             "list[\"with space\"] = nil\n"
             "list[\"b\"] = 1\n"
             "var big = {}\n"
             "var i = 0\n"
             "while (i < 50) {\n"
             "  big[i] = i\n"
             "  i = i + 1\n"
             "}\n");
  EXPECT_EQ(p.print("best"), "{pos = {x = 1.500000, y = -2}, team = 2}");
  EXPECT_EQ(p.print("best", 1), "{pos = [table with 2 elems], team = 2}");
  EXPECT_EQ(p.print("best.team"), "2");
  EXPECT_EQ(p.print("best . pos.y"), "-2");
  EXPECT_EQ(p.print("list"), "{[2] = \"two\", [10] = \"ten\", b = 1}");
  EXPECT_EQ(p.print("list[10]"), "\"ten\"");
  EXPECT_EQ(p.print("list[\"b\"]"), "1");
  std::string shown = p.print("big");
  EXPECT_NE(shown.find("[39] = 39, ...}"), std::string::npos) << shown;
  EXPECT_EQ(shown.find("[40]"), std::string::npos) << shown;

  EXPECT_EQ(p.print("nothere"),
            "error: no variable 'nothere' here (neither a local of this frame nor a "
            "global)");
  EXPECT_EQ(p.print("best.team.x"), "error: best.team is not a table");
  EXPECT_EQ(p.print("best.colour"), "error: best.colour does not exist");
  EXPECT_EQ(p.print("list[3]"), "error: list[3] does not exist");
  for (const char *bad : {"best.", "best[", "best[x]", "best[\"open]", "3", "best..x"})
    EXPECT_EQ(p.print(bad).rfind("error: bad expression", 0), 0u) << bad;
}

/* Command lines handed out one by one, as a terminal would. */
struct Script {
  std::vector<std::string> lines;
  size_t next = 0;
  static int read(void *data, char *line, size_t size) {
    auto *s = static_cast<Script *>(data);
    if (s->next == s->lines.size()) return 0;
    snprintf(line, size, "%s", s->lines[s->next++].c_str());
    return 1;
  }
};

/* A host that runs a script's step() the way a robot's controller does,
   with a debugger attached. */
class Host : public Program {
public:
  explicit Host(const std::string &source) : Program("robot.vsk", source) {
    out_ = open_memstream(&outbuf_, &outlen_);
    s_ = veskdbgcli_attach("robot", vm_, dbg_, Script::read, &commands, out_, out_);
  }
  ~Host() {
    veskdbgcli_destroy(&s_);
    fclose(out_);
    free(outbuf_);
  }
  int step() { return veskvm_function_call(vm_, "step", 0); }
  std::string out() {
    fflush(out_);
    return std::string(outbuf_, outlen_);
  }
  veskdbgcli_t session() { return s_; }
  Script commands;

private:
  char *outbuf_ = nullptr;
  size_t outlen_ = 0;
  FILE *out_ = nullptr;
  veskdbgcli_t s_ = nullptr;
};

const char *robot_program = "total = 0\n"
                            "function step() {\n"
                            "  var seen = {.a = 1, .b = 2}\n"
                            "  foreach(seen, function(k, v) {\n"
                            "    total = total + v\n"
                            "  })\n"
                            "}\n";

TEST(DebuggerAttach, StopsInsideACallbackWhileTheHostWaits) {
  Host h(robot_program);
  EXPECT_EQ(veskdbgcli_execute(h.session(), "break 5"), 1);
  h.commands.lines = {"backtrace", "locals", "print seen.b", "run", "delete", "continue"};
  EXPECT_EQ(h.step(), VESKVM_STATE_READY);
  std::string file = h.path();
  EXPECT_EQ(h.out(), "Breakpoint 1 set at " + file +
                         ":5:10\n"
                         "Breakpoint 1 at " +
                         file +
                         ":5:10\n"
                         "5\t    total = total + v\n"
                         "#0  " +
                         file +
                         ":5:10\n"
                         "#1  " +
                         file +
                         ":6:4\n"
                         "#2  " +
                         file +
                         ":6:4\n"
                         "#3  called by the host\n"
                         "self = nil\n"
                         "seen = {a = 1, b = 2}\n"
                         "k = \"a\"\n"
                         "v = 1\n"
                         "seen.b = 2\n"
                         "the host runs this program; 'continue' lets it run on\n"
                         "Deleted every breakpoint and watchpoint\n");
  /* The callback ran for both entries after the stop. */
  EXPECT_EQ(veskdbgexpr_global(h.vm(), "total")->i.value, 3);
}

TEST(DebuggerAttach, QuitAndTheEndOfInputLetTheProgramRunOn) {
  Host h(robot_program);
  veskdbgcli_interrupt(h.session());
  h.commands.lines = {"next", "quit", "next"};
  EXPECT_EQ(h.step(), VESKVM_STATE_READY);
  EXPECT_TRUE(veskdbgcli_quitted(h.session()));
  EXPECT_EQ(h.vm()->hook, nullptr);
  EXPECT_EQ(h.commands.next, 2u) << "read past quit";
  EXPECT_EQ(veskdbgexpr_global(h.vm(), "total")->i.value, 3);

  Host e(robot_program);
  veskdbgcli_interrupt(e.session());
  EXPECT_EQ(e.step(), VESKVM_STATE_READY);
  EXPECT_FALSE(veskdbgcli_quitted(e.session()));
  EXPECT_EQ(e.vm()->hook, nullptr);
  EXPECT_EQ(e.step(), VESKVM_STATE_READY);
  EXPECT_EQ(veskdbgexpr_global(e.vm(), "total")->i.value, 6);
}

} // namespace
