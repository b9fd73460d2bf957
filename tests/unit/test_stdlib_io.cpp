/*
 * Tests of the "io" library inside a scratch directory: opening, the error
 * fields, writing every value type, reading lines through a callback, sizes,
 * and the handling of closed, missing and foreign file handles.
 */
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "stdlib_vm.h"
#include "temp_dir.h"
#include "veskio.h"

using namespace stdlib_test;

namespace {

/*
 * The io.fforeach callback used here: records each line, then does what the
 * current test asks with the file held by the global "file".
 */
enum class OnLine { RECORD, SIZE, CLOSE, FAIL };
OnLine on_line_action;
std::vector<std::string> lines_seen;
std::vector<std::string> sizes_seen;

/* Calls io.fn(file) from inside a native function; leaves its value on the stack. */
void call_io_on_file(veskvm_t vm, const char *fn) {
  veskvm_pushstr(vm, "io", 1);
  veskvm_gload(vm);
  veskvm_pushstr(vm, fn, 1);
  veskvm_tget(vm);
  veskvm_pushstr(vm, "file", 1);
  veskvm_gload(vm);
  veskvm_closure_call(vm, 1);
}

int on_line(veskvm_t vm) {
  veskvm_lload(vm, 1);
  lines_seen.push_back(show(veskvm_stack_at(vm, 1)));
  if (on_line_action == OnLine::SIZE) {
    call_io_on_file(vm, "fsize");
    sizes_seen.push_back(show(veskvm_stack_at(vm, 1)));
  } else if (on_line_action == OnLine::CLOSE) {
    call_io_on_file(vm, "fclose");
  } else if (on_line_action == OnLine::FAIL) {
    veskvm_seterror(vm, VESKVM_ERROR_TYPE, "callback failed at %s",
                    lines_seen.back().c_str());
  }
  if (vm->state != VESKVM_STATE_READY) return vm->state;
  veskvm_pushi(vm, 99); /* a value io.fforeach must drop */
  return veskvm_ret1(vm);
}

class IoLib : public ::testing::Test {
protected:
  IoLib() : dir_("vesk-io") {
    lines_seen.clear();
    sizes_seen.clear();
    on_line_action = OnLine::RECORD;
  }

  std::string path(const char *name) const { return dir_.file(name); }

  /* A file with the given text, its path returned. */
  std::string make_file(const char *name, const std::string &text) {
    std::ofstream(path(name), std::ios::binary) << text;
    return path(name);
  }

  std::string read_file(const std::string &p) {
    std::ostringstream out;
    out << std::ifstream(p, std::ios::binary).rdbuf();
    return out.str();
  }

  /* io.fopen(p, mode), also stored as the global "file". */
  veskobj_t open(LibVm &v, const std::string &p, const char *mode) {
    veskobj_t f = v.eval("io", "fopen", p, mode);
    veskvm_pushstr(v.vm(), "file", 1);
    v.push(f);
    veskvm_gstore(v.vm());
    return f;
  }

  /* io.fforeach(file, on_line) */
  void foreach_line(LibVm &v, veskobj_t f) {
    veskvm_pushc(v.vm(), (int32_t)veskvm_function_register(v.vm(), on_line), 0);
    v.call("io", "fforeach", f, veskvm_stack_at(v.vm(), 1));
  }

  /* "errno message" as the io table shows them. */
  std::string error_fields(LibVm &v) {
    return show(v.push_member("io", "errno")) + " " +
           show(v.push_member("io", "error_message"));
  }

  static void set_field(LibVm &v, veskobj_t t, const char *key, veskobj_t value) {
    v.push(t);
    veskvm_pushstr(v.vm(), key, 1);
    v.push(value);
    veskvm_tput(v.vm());
  }

  TempDir dir_;
};

} // namespace

TEST_F(IoLib, ErrorFieldsFollowTheLastOperation) {
  errno = EINVAL; /* left over from whatever the host did before */
  LibVm v;
  EXPECT_EQ(error_fields(v), "integer 0 string 'No error'");
  EXPECT_EQ(show(v.eval("io", "fopen", path("missing.txt"), "r")), "nil");
  EXPECT_EQ(error_fields(v),
            "integer " + std::to_string(ENOENT) + " string '" + strerror(ENOENT) + "'");
  EXPECT_EQ(show(v.eval("io", "fopen", path("x.txt"), "nonsense")), "nil");
  EXPECT_EQ(show(v.push_member("io", "errno")), "integer " + std::to_string(EINVAL));
  EXPECT_TRUE(v.ok()) << v.error();
}

TEST_F(IoLib, OpenGivesAFileTableThatOutlivesItsStream) {
  LibVm v;
  veskobj_t f = open(v, path("a.txt"), "w");
  ASSERT_TRUE(f && veskobj_istable(f)) << v.error();
  EXPECT_EQ(show(v.push_field(f, "handle")), "userdata");
  EXPECT_EQ(show(v.push_field(f, "name")), "string '" + path("a.txt") + "'");
  EXPECT_EQ(veskio_open_streams(v.vm()), 1u);
  EXPECT_EQ(v.eval("io", "fclose", f), nullptr);
  EXPECT_EQ(veskio_open_streams(v.vm()), 0u);
  EXPECT_EQ(show(v.push_field(f, "name")), "string '" + path("a.txt") + "'");
  EXPECT_TRUE(v.ok()) << v.error();
}

TEST_F(IoLib, WriteFormatsEveryValueType) {
  LibVm v;
  veskobj_t f = open(v, path("out.txt"), "w");
  veskobj_t t = v.push_new(VESKTYPE_TABLE);
  set_field(v, t, "a", t);
  set_field(v, t, "b", f);
  veskvm_pushc(v.vm(), 41, 1);
  veskobj_t script_fn = veskvm_stack_at(v.vm(), 1);
  veskvm_pushc(v.vm(), 3, 0);
  veskobj_t native_fn = veskvm_stack_at(v.vm(), 1);
  veskvm_pushu(v.vm(), (void *)0x1234);
  veskobj_t user = veskvm_stack_at(v.vm(), 1);
  v.eval("io", "fwrite", f, 1, 2.5, "x");
  v.eval("io", "fwrite", f, Nil{}, t, script_fn, native_fn, user, "s", -7);
  v.eval("io", "fclose", f);
  ASSERT_TRUE(v.ok()) << v.error();
  EXPECT_EQ(read_file(path("out.txt")),
            "12.500000x\n[nil][table with 2 elems][n-closure @41]"
            "[c-closure @3][userdata @0x1234]s-7\n");
}

TEST_F(IoLib, FailedWriteStopsWithoutLineFeed) {
  LibVm v;
  veskobj_t f = open(v, make_file("ro.txt", "keep\n"), "r");
  v.eval("io", "fwrite", f, "more", 1);
  EXPECT_TRUE(v.ok()) << v.error(); /* a file-system failure is not a VM error */
  EXPECT_EQ(show(v.push_member("io", "errno")), "integer " + std::to_string(EBADF));
  v.eval("io", "fclose", f);
  EXPECT_EQ(read_file(path("ro.txt")), "keep\n");
}

TEST_F(IoLib, ForeachDeliversEveryLineWithoutItsLineFeed) {
  LibVm v;
  veskobj_t f = open(v, make_file("l.txt", "one\n\nthree\r\nlast without feed"), "r");
  foreach_line(v, f);
  EXPECT_TRUE(v.ok()) << v.error();
  EXPECT_EQ(lines_seen,
            (std::vector<std::string>{"string 'one'", "string ''", "string 'three\r'",
                                      "string 'last without feed'"}));
  foreach_line(v, f); /* at the end of the file: nothing more */
  EXPECT_EQ(lines_seen.size(), 4u);
}

TEST_F(IoLib, SizeLeavesTheReadingPositionAlone) {
  LibVm v;
  veskobj_t f = open(v, make_file("s.txt", "alpha\nbeta\ngamma\n"), "r");
  on_line_action = OnLine::SIZE;
  foreach_line(v, f);
  ASSERT_TRUE(v.ok()) << v.error();
  EXPECT_EQ(lines_seen, (std::vector<std::string>{"string 'alpha'", "string 'beta'",
                                                  "string 'gamma'"}));
  EXPECT_EQ(sizes_seen, std::vector<std::string>(3, "integer 17"));
  /* Buffered writes count. */
  veskobj_t g = open(v, path("grow.txt"), "w");
  EXPECT_EQ(show(v.eval("io", "fsize", g)), "integer 0");
  v.eval("io", "fwrite", g, "abc");
  EXPECT_EQ(show(v.eval("io", "fsize", g)), "integer 4");
}

TEST_F(IoLib, SizeBeyondTheIntegerRangeIsAnError) {
  std::string huge = make_file("huge.bin", "");
  ASSERT_EQ(truncate(huge.c_str(), 3LL << 30), 0); /* sparse: no disk space used */
  LibVm v;
  v.call("io", "fsize", open(v, huge, "r"));
  EXPECT_EQ(v.error(), "type mismatch: io.fsize: file '" + huge +
                           "' has 3221225472 bytes, more than an integer holds");
}

TEST_F(IoLib, ClosedMissingAndForeignHandlesAreCaught) {
  for (const char *fn : {"fclose", "fsize", "fwrite", "fforeach"}) {
    LibVm v;
    veskobj_t f = open(v, path("c.txt"), "w");
    v.eval("io", "fclose", f);
    if (std::string(fn) == "fforeach")
      foreach_line(v, f);
    else if (std::string(fn) == "fwrite")
      v.call("io", fn, f, 1);
    else
      v.call("io", fn, f);
    EXPECT_EQ(v.error(), "type mismatch: io." + std::string(fn) + ": file '" +
                             path("c.txt") + "' is already closed");
  }
  LibVm a;
  a.call("io", "fclose", a.push_new(VESKTYPE_TABLE));
  EXPECT_EQ(a.error(), "type mismatch: io.fclose: file '?' has no handle");
  for (uint16_t type : {VESKTYPE_USERDATA, VESKTYPE_INT}) {
    LibVm b;
    veskobj_t f = open(b, path("f.txt"), "w");
    set_field(b, f, "handle", b.push_new(type)); /* a null pointer or the integer 0 */
    b.call("io", "fwrite", f, 1);
    EXPECT_EQ(b.error(), "type mismatch: io.fwrite: file '" + path("f.txt") +
                             "' has a handle that io.fopen did not make");
  }
}

TEST_F(IoLib, CallbackThatClosesTheFileEndsTheWalk) {
  LibVm v;
  veskobj_t f = open(v, make_file("c.txt", "first\nsecond\n"), "r");
  on_line_action = OnLine::CLOSE;
  foreach_line(v, f);
  EXPECT_TRUE(v.ok()) << v.error();
  EXPECT_EQ(lines_seen, std::vector<std::string>{"string 'first'"});
  EXPECT_EQ(veskio_open_streams(v.vm()), 0u);
}

TEST_F(IoLib, FailingCallbackStopsTheWalkAndItsErrorStands) {
  LibVm v;
  veskobj_t f = open(v, make_file("e.txt", "first\nsecond\n"), "r");
  on_line_action = OnLine::FAIL;
  foreach_line(v, f);
  EXPECT_EQ(v.error(), "type mismatch: callback failed at string 'first'");
  EXPECT_EQ(lines_seen.size(), 1u);
}

TEST_F(IoLib, StreamsLeftOpenAreClosedWithTheVm) {
  {
    LibVm v;
    v.eval("io", "fwrite", open(v, path("flushed.txt"), "w"), "buffered");
    open(v, path("other.txt"), "w");
    EXPECT_EQ(veskio_open_streams(v.vm()), 2u);
    EXPECT_EQ(read_file(path("flushed.txt")), ""); /* still in the stream's buffer */
  }
  EXPECT_EQ(read_file(path("flushed.txt")), "buffered\n");
  LibVm w;
  veskobj_t f = open(w, path("r.txt"), "w");
  veskio_release(w.vm());
  w.call("io", "fwrite", f, "late");
  EXPECT_EQ(w.state(), VESKVM_STATE_ERROR);
}

TEST_F(IoLib, ArgumentErrors) {
  const std::string count = "error 3: wrong number of local variables: expected ";
  const std::string type = "error 6: type mismatch: expected ";
  EXPECT_EQ(outcome("io", "fopen", "a.txt"), count + "2 parameters, got 1");
  EXPECT_EQ(outcome("io", "fopen", 3, "r"), type + "string, got integer");
  EXPECT_EQ(outcome("io", "fopen", "a.txt", Nil{}), type + "string, got nil");
  EXPECT_EQ(outcome("io", "fclose", 5), type + "table, got integer");
  EXPECT_EQ(outcome("io", "fsize"), count + "1 parameters, got 0");
  EXPECT_EQ(outcome("io", "fwrite", "a.txt", "text"), type + "table, got string");
  LibVm v;
  veskobj_t f = open(v, make_file("x.txt", "x\n"), "r");
  v.call("io", "fwrite", f);
  EXPECT_EQ(v.error(),
            "wrong number of local variables: expected at least 2 parameters, got 1");
  LibVm w;
  w.call("io", "fforeach", open(w, path("x.txt"), "r"), 12);
  EXPECT_EQ(w.error(), "type mismatch: expected closure, got integer");
  EXPECT_TRUE(lines_seen.empty());
}
