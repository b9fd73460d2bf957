/*
 * Tests of the vskdbg command interpreter: breakpoint locations resolved
 * through the debug information, line stepping into and over calls,
 * continuing past breakpoints, inspection after errors, globals, command
 * parsing and the prompt.
 */
#include "toolchain_util.h"

#include "script_build.h"
#include "veskdbgcli.h"

#include <cstdio>
#include <cstdlib>
#include <string>

using namespace toolchain_test;

namespace {

/* A session whose output and diagnostics are collected in memory. */
class Session {
public:
  /* Over hand-made debug information and no code (enough for breakpoints). */
  explicit Session(veskdebug_t dbg) : dbg_(dbg) { open(); }

  /* Over a program compiled from source text saved as name in a scratch dir. */
  Session(const std::string &name, const std::string &source) {
    vesk_test::BuiltScript script(dir_.write(name, source));
    EXPECT_TRUE(script.ok()) << "does not compile:\n" << source << script.messages();
    code_ = script.code();
    dbg_ = script.release_debug();
    open();
  }

  ~Session() {
    veskdbgcli_destroy(&s_);
    fclose(out_);
    fclose(err_);
    free(outbuf_);
    free(errbuf_);
    veskdebug_destroy(&dbg_);
  }

  /* Runs one command line; its output is then in out() and err(). */
  int cmd(const std::string &line) {
    outpos_ = pos(out_);
    errpos_ = pos(err_);
    return veskdbgcli_execute(s_, line.c_str());
  }
  std::string out() { return since(out_, outbuf_, outpos_); }
  std::string err() { return since(err_, errbuf_, errpos_); }

  /* Reads commands from text as vskdbg reads standard input. */
  int repl(const std::string &text, int prompt) {
    outpos_ = pos(out_);
    errpos_ = pos(err_);
    FILE *in = fmemopen((void *)text.data(), text.size(), "r");
    int status = veskdbgcli_repl(s_, in, prompt);
    fclose(in);
    return status;
  }

  veskvm_t vm() { return veskdbgcli_vm(s_); }
  veskdebug_t dbg() { return dbg_; }
  int64_t depth() { return (int64_t)veskdarray_size(vm()->stacks); }
  /* Source line of the program counter, 0 when it has none. */
  uint64_t line() {
    veskdebug_entry_t e = veskdebug_info_get_fromoffset(dbg_, (uint32_t)vm()->pc);
    return e ? e->line : 0;
  }
  /* Path under which the compiled source was recorded. */
  std::string path(const std::string &name) {
    char *real = realpath(dir_.file(name).c_str(), nullptr);
    std::string p = real ? real : "";
    free(real);
    return p;
  }

private:
  void open() {
    out_ = open_memstream(&outbuf_, &outlen_);
    err_ = open_memstream(&errbuf_, &errlen_);
    s_ = veskdbgcli_new("prog", code_.data(), (uint32_t)code_.size(), dbg_, out_, err_);
  }
  static size_t pos(FILE *f) {
    fflush(f);
    return (size_t)ftell(f);
  }
  static std::string since(FILE *f, char *&buf, size_t from) {
    size_t end = pos(f);
    return std::string(buf + from, end - from);
  }

  TempDir dir_;
  Bytes code_;
  veskdebug_t dbg_ = nullptr;
  char *outbuf_ = nullptr, *errbuf_ = nullptr;
  size_t outlen_ = 0, errlen_ = 0, outpos_ = 0, errpos_ = 0;
  FILE *out_ = nullptr, *err_ = nullptr;
  veskdbgcli_t s_ = nullptr;
};

/* Debug information naming three files, two of them with the same base name. */
veskdebug_t three_files() {
  veskdebug_t dbg = veskdebug_new();
  veskdebug_info_set(dbg, 10, 3, 4, "/p/a/robot.vsk");
  veskdebug_info_set(dbg, 6, 3, 9, "/p/a/robot.vsk");
  veskdebug_info_set(dbg, 20, 5, 0, "/p/b/robot.vsk");
  veskdebug_info_set(dbg, 30, 7, 2, "/p/lib/util.vsk");
  return dbg;
}

TEST(DebuggerBreak, LocationsNameFilesByTrailingPathComponents) {
  Session s(three_files());
  s.cmd("break util.vsk:7");
  EXPECT_EQ(s.out(), "Breakpoint 1 set at /p/lib/util.vsk:7:2\n");
  EXPECT_TRUE(veskdebug_breakpoint_exists(s.dbg(), 30));

  /* The line's first instruction is its lowest offset, whatever the column. */
  s.cmd("break a/robot.vsk:3");
  EXPECT_EQ(s.out(), "Breakpoint 2 set at /p/a/robot.vsk:3:9\n");
  EXPECT_TRUE(veskdebug_breakpoint_exists(s.dbg(), 6));
  EXPECT_FALSE(veskdebug_breakpoint_exists(s.dbg(), 10));

  s.cmd("b /p/b/robot.vsk:5");
  EXPECT_EQ(s.out(), "Breakpoint 3 set at /p/b/robot.vsk:5:0\n");
  s.cmd("break lib/util.vsk:7");
  EXPECT_EQ(s.out(), "Breakpoint 1 already set at /p/lib/util.vsk:7:2\n");
  EXPECT_EQ(veskdarray_size(s.dbg()->breakpoints), 3u);
}

TEST(DebuggerBreak, BadLocationsAreRefusedWithTheReason) {
  Session s(three_files());
  s.cmd("break robot.vsk:3");
  EXPECT_EQ(s.err(), "ambiguous file name 'robot.vsk': /p/a/robot.vsk, /p/b/robot.vsk\n");
  /* A name matches only from a directory boundary. */
  s.cmd("break obot.vsk:3");
  EXPECT_EQ(s.err(), "no code at obot.vsk:3: unknown source file\n");
  s.cmd("break a/robot.vsk:4");
  EXPECT_EQ(s.err(), "no code at a/robot.vsk:4\n");
  s.cmd("break 7");
  EXPECT_EQ(s.err(), "several source files: use FILE:LINE\n");
  for (const char *bad : {"break util.vsk:", "break :7", "break util.vsk:-7",
                          "break util.vsk:0", "break util.vsk:7x"}) {
    s.cmd(bad);
    EXPECT_NE(s.err().find("bad breakpoint location"), std::string::npos) << bad;
  }
  EXPECT_EQ(veskdarray_size(s.dbg()->breakpoints), 0u);
}

const char *inc_program = "function inc(v) {\n"
                          "  var w = v + 1\n"
                          "  return w\n"
                          "}\n"
                          "var a = inc(1)\n"
                          "var b = inc(a)\n"
                          "var c = a + b\n";

TEST(DebuggerStep, StepEntersCallsAndNextStaysInTheFrame) {
  Session s("inc.vsk", inc_program);
  s.cmd("break 5");
  s.cmd("run");
  EXPECT_EQ(s.vm()->state, VESKVM_STATE_STOPPED);
  EXPECT_EQ(s.line(), 5u);
  EXPECT_EQ(s.out().rfind("Breakpoint 1 at " + s.path("inc.vsk") + ":5:", 0), 0u);

  s.cmd("step");
  EXPECT_EQ(s.depth(), 2);
  EXPECT_EQ(s.line(), 2u);
  EXPECT_EQ(s.out(), "Stopped at " + s.path("inc.vsk") + ":2:12\n2\t  var w = v + 1\n");
  s.cmd("next");
  EXPECT_EQ(s.line(), 3u);
  /* Back in the caller the rest of line 5 runs; the stop is on line 6. */
  s.cmd("next");
  EXPECT_EQ(s.depth(), 1);
  EXPECT_EQ(s.line(), 6u);
  s.cmd("next");
  EXPECT_EQ(s.depth(), 1);
  EXPECT_EQ(s.line(), 7u);
  EXPECT_EQ(s.vm()->state, VESKVM_STATE_STOPPED);
  s.cmd("step");
  EXPECT_EQ(s.vm()->state, VESKVM_STATE_DONE);
  EXPECT_EQ(s.out(), "prog: execution terminated correctly\n");
  s.cmd("next");
  EXPECT_EQ(s.err(), "the program has finished; use 'run' to start it again\n");
}

TEST(DebuggerStep, StepStopsInACalleeThatStartsOnTheCallersLine) {
  Session s("one.vsk", "function f(n) { if (n > 0) { return f(n - 1) } return n }\n"
                       "f(2)\n");
  s.cmd("break 2");
  s.cmd("run");
  for (int64_t d = 2; d <= 4; ++d) {
    s.cmd("step");
    EXPECT_EQ(s.depth(), d);
    EXPECT_EQ(s.line(), 1u);
  }
  /* Every return lands on line 1 of a caller until main's own line 2. */
  s.cmd("next");
  EXPECT_EQ(s.vm()->state, VESKVM_STATE_DONE);
}

TEST(DebuggerStep, NextStopsAtABreakpointInsideACall) {
  Session s("inc.vsk", inc_program);
  s.cmd("break 6");
  s.cmd("break 3");
  s.cmd("run");
  EXPECT_EQ(s.line(), 3u);
  s.cmd("continue");
  EXPECT_EQ(s.line(), 6u);
  s.cmd("next");
  EXPECT_EQ(s.depth(), 2);
  EXPECT_EQ(s.vm()->state, VESKVM_STATE_STOPPED);
  EXPECT_EQ(s.out().rfind("Breakpoint 2 at ", 0), 0u);
}

TEST(DebuggerContinue, LeavesTheBreakpointItStandsOn) {
  Session s("loop.vsk", "var i = 0\n"
                        "while (i < 3) {\n"
                        "  i = i + 1\n"
                        "}\n");
  s.cmd("break 3");
  s.cmd("run");
  for (int hit = 1; hit <= 3; ++hit) {
    ASSERT_EQ(s.vm()->state, VESKVM_STATE_STOPPED) << "hit " << hit;
    s.cmd("globals");
    EXPECT_EQ(s.out(), "i = " + std::to_string(hit - 1) + "\n");
    s.cmd("continue");
  }
  EXPECT_EQ(s.vm()->state, VESKVM_STATE_DONE);
  EXPECT_EQ(s.out(), "prog: execution terminated correctly\n");
}

TEST(DebuggerBacktrace, ShowsEveryFrameOfARecursion) {
  Session s("down.vsk", "function down(n) {\n"
                        "  if (n == 0) {\n"
                        "    return 0\n"
                        "  }\n"
                        "  return down(n - 1)\n"
                        "}\n"
                        "down(3)\n");
  s.cmd("break 3");
  s.cmd("run");
  ASSERT_EQ(s.depth(), 5);
  s.cmd("bt");
  std::string file = s.path("down.vsk");
  std::string bt = s.out();
  EXPECT_EQ(bt.rfind("#0  " + file + ":3:", 0), 0u) << bt;
  for (int k = 1; k <= 3; ++k)
    EXPECT_NE(bt.find("#" + std::to_string(k) + "  " + file + ":5:"), std::string::npos)
        << bt;
  EXPECT_NE(bt.find("#4  " + file + ":7:"), std::string::npos) << bt;
  EXPECT_EQ(bt.find("#5"), std::string::npos) << bt;
  /* Each return lands inside the line of its call: next goes all the way out. */
  s.cmd("next");
  EXPECT_EQ(s.vm()->state, VESKVM_STATE_DONE);
}

TEST(DebuggerError, TheFailedProgramStaysForInspection) {
  Session s("fail.vsk", "var t = {.a = 1}\n"
                        "t.f()\n");
  s.cmd("run");
  EXPECT_EQ(s.vm()->state, VESKVM_STATE_ERROR);
  std::string file = s.path("fail.vsk");
  EXPECT_EQ(s.err().rfind("prog: execution terminated abnormally at " + file + ":2:", 0),
            0u);
  s.cmd("backtrace");
  EXPECT_EQ(s.out().rfind("#0  " + file + ":2:", 0), 0u);
  s.cmd("info stack");
  EXPECT_NE(s.out().find("state: error"), std::string::npos);
  s.cmd("continue");
  EXPECT_EQ(s.err(), "the program ended with an error; use 'run' to start it again\n");
  s.cmd("globals");
  EXPECT_EQ(s.out(), "t = [table with 1 elems]\n");
  /* run starts over, and fails the same way. */
  s.cmd("run");
  EXPECT_EQ(s.out(), "");
  EXPECT_NE(s.err().find("abnormally at " + file + ":2:"), std::string::npos);
}

TEST(DebuggerGlobals, HidesTheHostsGlobalsUnlessReplaced) {
  Session s("g.vsk", "function f() {\n"
                     "  return 1\n"
                     "}\n"
                     "var speed = 4\n"
                     "math = \"mine\"\n");
  s.cmd("globals");
  EXPECT_EQ(s.err(), "the program is not running; use 'run' to start it\n");
  s.cmd("run");
  s.cmd("globals");
  std::string g = s.out();
  EXPECT_EQ(g.rfind("f = [n-closure @", 0), 0u) << g;
  EXPECT_NE(g.find(" at " + s.path("g.vsk") + ":2:"), std::string::npos) << g;
  EXPECT_NE(g.find("\nmath = \"mine\"\nspeed = 4\n"), std::string::npos) << g;
  EXPECT_EQ(g.find("print"), std::string::npos) << g;
  s.cmd("globals all");
  g = s.out();
  EXPECT_NE(g.find("id = 1\n"), std::string::npos) << g;
  EXPECT_NE(g.find("print = [c-closure @"), std::string::npos) << g;
}

TEST(DebuggerCommands, ParsesWordsAliasesCommentsAndQuit) {
  Session s("inc.vsk", inc_program);
  EXPECT_EQ(s.cmd("  # a comment"), 1);
  EXPECT_EQ(s.out() + s.err(), "");
  EXPECT_EQ(s.cmd("\thelp \t next \r\n"), 1);
  EXPECT_NE(s.out().find("next"), std::string::npos);
  EXPECT_EQ(s.err(), "");
  EXPECT_EQ(s.cmd("nxt"), 1);
  /* The known commands are listed, so that a typo needs no second try. */
  EXPECT_EQ(s.err().rfind("unknown command 'nxt'; the commands are: break, watch, ", 0),
            0u);
  EXPECT_NE(s.err().find(", next, finish, print, "), std::string::npos);
  EXPECT_EQ(s.cmd("step now"), 1);
  EXPECT_EQ(s.err(), "'step' takes no argument\n");
  EXPECT_EQ(s.cmd("r"), 1);
  EXPECT_EQ(s.vm()->state, VESKVM_STATE_DONE);
  EXPECT_EQ(s.cmd("quit"), 0);
  EXPECT_EQ(s.cmd(" q "), 0);
}

TEST(DebuggerRepl, PromptsOnlyWhenAskedAndStopsAtQuit) {
  Session s("inc.vsk", inc_program);
  EXPECT_EQ(s.repl("help quit\nquit\nhelp\n", 1), 0);
  std::string out = s.out();
  EXPECT_EQ(out.rfind("(vskdbg) ", 0), 0u);
  EXPECT_EQ(out.find("(vskdbg) ", 9 + out.find("(vskdbg) ", 9)), std::string::npos)
      << out;
  EXPECT_EQ(out.find("Commands"), std::string::npos) << "read past quit: " << out;

  EXPECT_EQ(s.repl("run\nbacktrace", 0), 0);
  out = s.out();
  EXPECT_EQ(out.find("(vskdbg)"), std::string::npos);
  EXPECT_NE(out.find("execution terminated correctly"), std::string::npos);
  /* After the end there is no call stack to show. */
  EXPECT_NE(s.err().find("no stack: the program has ended"), std::string::npos) << out;
}

} // namespace
