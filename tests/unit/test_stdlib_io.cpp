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
#include "veskio.h"

using namespace stdlib_test;

namespace {

/* A fresh directory under the system's temporary directory, removed afterwards. */
class ScratchDir {
public:
  ScratchDir() {
    std::string tmpl =
        (std::filesystem::temp_directory_path() / "vesk-io-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
    dir_ = tmpl;
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  std::string path(const std::string &name) const { return (dir_ / name).string(); }

private:
  std::filesystem::path dir_;
};

void write_file(const std::string &path, const std::string &text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::string read_file(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

/* A native closure pushed on the VM's stack and returned. */
veskobj_t native(LibVm &v, veskvm_funp fun) {
  veskvm_pushc(v.vm(), (int32_t)veskvm_function_register(v.vm(), fun), 0);
  return veskvm_stack_at(v.vm(), 1);
}

/* t[key] = value. */
template <typename T> void set_field(LibVm &v, veskobj_t t, const char *key, T value) {
  veskvm_push(v.vm(), t);
  veskvm_pushstr(v.vm(), key, 1);
  v.push(value);
  veskvm_tput(v.vm());
}

/*
 * Callbacks for io.fforeach. They record what they see here; "file" is the
 * global holding the file table being walked.
 */
std::vector<std::string> lines_seen;
std::vector<int32_t> sizes_seen;

/* Calls io.fn(file) from inside a native function. */
void call_io_on_file(veskvm_t vm, const char *fn) {
  veskvm_pushstr(vm, "io", 1);
  veskvm_gload(vm);
  veskvm_pushstr(vm, fn, 1);
  veskvm_tget(vm);
  veskvm_pushstr(vm, "file", 1);
  veskvm_gload(vm);
  veskvm_closure_call(vm, 1);
}

bool record_line(veskvm_t vm) {
  if (veskvm_lnum_assert(vm, 1) != VESKVM_STATE_READY) return false;
  veskvm_lload(vm, 1);
  veskobj_t line = veskvm_stack_at(vm, 1);
  lines_seen.push_back(veskobj_isstring(line) ? line->s.str : "<not a string>");
  return true;
}

int collect(veskvm_t vm) {
  return record_line(vm) ? veskvm_ret0(vm) : vm->state;
}

/* Records the line, then the file's size, then returns a value io.fforeach drops. */
int collect_and_size(veskvm_t vm) {
  if (!record_line(vm)) return vm->state;
  call_io_on_file(vm, "fsize");
  veskobj_t size = veskvm_stack_at(vm, 1);
  if (vm->state == VESKVM_STATE_READY && veskobj_isint(size))
    sizes_seen.push_back(size->i.value);
  veskvm_pushi(vm, 99);
  return veskvm_ret1(vm);
}

int collect_and_close(veskvm_t vm) {
  if (!record_line(vm)) return vm->state;
  call_io_on_file(vm, "fclose");
  return vm->state == VESKVM_STATE_READY ? veskvm_ret0(vm) : vm->state;
}

int collect_and_fail(veskvm_t vm) {
  if (!record_line(vm)) return vm->state;
  veskvm_seterror(vm, VESKVM_ERROR_TYPE, "callback failed on '%s'",
                  lines_seen.back().c_str());
  return vm->state;
}

class IoLib : public ::testing::Test {
protected:
  void SetUp() override {
    lines_seen.clear();
    sizes_seen.clear();
  }

  /* io.fopen(path, mode), also stored as the global "file". */
  veskobj_t open(LibVm &v, const std::string &path, const char *mode) {
    veskobj_t f = v.eval("io", "fopen", path, mode);
    if (f) v.set_global("file", f);
    return f;
  }

  int32_t io_errno(LibVm &v) {
    veskobj_t e = v.push_member("io", "errno");
    return veskobj_isint(e) ? e->i.value : -12345;
  }

  std::string io_message(LibVm &v) {
    veskobj_t m = v.push_member("io", "error_message");
    return veskobj_isstring(m) ? m->s.str : "<not a string>";
  }

  ScratchDir dir;
};

} // namespace

TEST_F(IoLib, ErrorFieldsAreClearRightAfterStart) {
  errno = EINVAL; /* left over from anything the host did before */
  LibVm v;
  EXPECT_EQ(io_errno(v), 0);
  EXPECT_EQ(io_message(v), "No error");
}

TEST_F(IoLib, FailedOpenGivesNilAndTheSystemError) {
  LibVm v;
  expect_nil(v.eval("io", "fopen", dir.path("missing.txt"), "r"));
  EXPECT_EQ(io_errno(v), ENOENT);
  EXPECT_EQ(io_message(v), strerror(ENOENT));
  expect_nil(v.eval("io", "fopen", dir.path("x.txt"), "nonsense"));
  EXPECT_EQ(io_errno(v), EINVAL);
  EXPECT_TRUE(v.ok());
}

TEST_F(IoLib, OpenReturnsAFileTable) {
  LibVm v;
  std::string path = dir.path("a.txt");
  veskobj_t f = open(v, path, "w");
  ASSERT_TRUE(f && veskobj_istable(f)) << v.error();
  EXPECT_TRUE(veskobj_isuserdata(v.push_field(f, "handle")));
  expect_string(v.push_field(f, "name"), path);
  EXPECT_EQ(veskio_open_streams(v.vm()), 1u);
  EXPECT_EQ(v.eval("io", "fclose", f), nullptr);
  EXPECT_TRUE(v.ok()) << v.error();
  EXPECT_EQ(veskio_open_streams(v.vm()), 0u);
  /* The table keeps its fields after closing. */
  expect_string(v.push_field(f, "name"), path);
}

TEST_F(IoLib, OpenChecksItsArguments) {
  LibVm a;
  a.call("io", "fopen", dir.path("a.txt"));
  EXPECT_EQ(a.error(), "wrong number of local variables: expected 2 parameters, got 1");
  LibVm b;
  b.call("io", "fopen", 3, "r");
  EXPECT_EQ(b.error(), "type mismatch: expected string, got integer");
  LibVm c;
  c.call("io", "fopen", dir.path("a.txt"), Nil{});
  EXPECT_EQ(c.error(), "type mismatch: expected string, got nil");
}

TEST_F(IoLib, WriteFormatsMixedValuesOnOneLine) {
  LibVm v;
  std::string path = dir.path("out.txt");
  veskobj_t f = open(v, path, "w");
  ASSERT_NE(f, nullptr);
  v.eval("io", "fwrite", f, 1, 2.5, "x");
  v.eval("io", "fwrite", f, -7);
  v.eval("io", "fclose", f);
  ASSERT_TRUE(v.ok()) << v.error();
  EXPECT_EQ(read_file(path), "12.500000x\n-7\n");
}

TEST_F(IoLib, WriteFormatsEveryValueType) {
  LibVm v;
  std::string path = dir.path("types.txt");
  veskobj_t f = open(v, path, "w");
  ASSERT_NE(f, nullptr);
  veskvm_t vm = v.vm();
  veskvm_push(vm, veskheap_newobj(vm->heap, VESKTYPE_TABLE));
  veskobj_t t = veskvm_stack_at(vm, 1);
  set_field(v, t, "a", 1);
  set_field(v, t, "b", 2);
  veskvm_pushc(vm, 41, 1);
  veskobj_t script_fn = veskvm_stack_at(vm, 1);
  veskvm_pushc(vm, 3, 0);
  veskobj_t native_fn = veskvm_stack_at(vm, 1);
  veskvm_pushu(vm, (void *)0x1234);
  veskobj_t user = veskvm_stack_at(vm, 1);
  v.eval("io", "fwrite", f, Nil{}, t, script_fn, native_fn, user, "s", 0.1);
  v.eval("io", "fclose", f);
  ASSERT_TRUE(v.ok()) << v.error();
  EXPECT_EQ(read_file(path), "[nil][table with 2 elems][n-closure @41][c-closure @3]"
                             "[userdata @0x1234]s0.100000\n");
}

TEST_F(IoLib, WriteChecksItsArguments) {
  LibVm a;
  veskobj_t f = open(a, dir.path("w.txt"), "w");
  a.call("io", "fwrite", f);
  EXPECT_EQ(a.vm()->error, VESKVM_ERROR_LNUM);
  EXPECT_EQ(a.error(),
            "wrong number of local variables: expected at least 2 parameters, got 1");
  LibVm b;
  b.call("io", "fwrite", "w.txt", "text");
  EXPECT_EQ(b.error(), "type mismatch: expected table, got string");
}

TEST_F(IoLib, FailedWriteStopsWithoutLineFeed) {
  LibVm v;
  std::string path = dir.path("ro.txt");
  write_file(path, "keep\n");
  veskobj_t f = open(v, path, "r");
  ASSERT_NE(f, nullptr);
  v.eval("io", "fwrite", f, "more", 1);
  EXPECT_TRUE(v.ok()) << v.error(); /* a file-system failure is not a VM error */
  EXPECT_EQ(io_errno(v), EBADF);
  v.eval("io", "fclose", f);
  EXPECT_EQ(read_file(path), "keep\n");
}

TEST_F(IoLib, ForeachDeliversEveryLineWithoutItsLineFeed) {
  LibVm v;
  std::string path = dir.path("lines.txt");
  write_file(path, "one\ntwo\n\nthree\r\nlast without feed");
  veskobj_t f = open(v, path, "r");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(v.eval("io", "fforeach", f, native(v, collect)), nullptr);
  EXPECT_TRUE(v.ok()) << v.error();
  EXPECT_EQ(lines_seen,
            (std::vector<std::string>{"one", "two", "", "three\r", "last without feed"}));
  /* At the end of the file a second walk sees nothing. */
  v.eval("io", "fforeach", f, native(v, collect));
  EXPECT_EQ(lines_seen.size(), 5u);
}

TEST_F(IoLib, ForeachWantsAClosure) {
  LibVm v;
  std::string path = dir.path("l.txt");
  write_file(path, "x\n");
  veskobj_t f = open(v, path, "r");
  v.call("io", "fforeach", f, 12);
  EXPECT_EQ(v.error(), "type mismatch: expected closure, got integer");
  EXPECT_TRUE(lines_seen.empty());
}

TEST_F(IoLib, SizeLeavesTheReadingPositionAlone) {
  LibVm v;
  std::string path = dir.path("sized.txt");
  write_file(path, "alpha\nbeta\ngamma\n");
  veskobj_t f = open(v, path, "r");
  ASSERT_NE(f, nullptr);
  expect_int(v.eval("io", "fsize", f), 17);
  v.eval("io", "fforeach", f, native(v, collect_and_size));
  ASSERT_TRUE(v.ok()) << v.error();
  /* Every line still arrives although fsize ran between the reads. */
  EXPECT_EQ(lines_seen, (std::vector<std::string>{"alpha", "beta", "gamma"}));
  EXPECT_EQ(sizes_seen, (std::vector<int32_t>{17, 17, 17}));
}

TEST_F(IoLib, SizeCountsBufferedWrites) {
  LibVm v;
  veskobj_t f = open(v, dir.path("grow.txt"), "w");
  expect_int(v.eval("io", "fsize", f), 0);
  v.eval("io", "fwrite", f, "abc");
  expect_int(v.eval("io", "fsize", f), 4);
  v.eval("io", "fwrite", f, "de");
  expect_int(v.eval("io", "fsize", f), 7);
}

TEST_F(IoLib, SizeBeyondTheIntegerRangeIsAnError) {
  std::string path = dir.path("huge.bin");
  write_file(path, "");
  /* Sparse: takes no space on the disk. */
  ASSERT_EQ(truncate(path.c_str(), 3LL << 30), 0);
  LibVm v;
  veskobj_t f = open(v, path, "r");
  ASSERT_NE(f, nullptr);
  v.call("io", "fsize", f);
  EXPECT_EQ(v.state(), VESKVM_STATE_ERROR);
  EXPECT_EQ(v.error(), "type mismatch: io.fsize: file '" + path +
                           "' has 3221225472 bytes, more than an integer holds");
}

TEST_F(IoLib, ClosingTwiceIsCaught) {
  LibVm v;
  std::string path = dir.path("twice.txt");
  veskobj_t f = open(v, path, "w");
  v.eval("io", "fclose", f);
  ASSERT_TRUE(v.ok());
  v.call("io", "fclose", f);
  EXPECT_EQ(v.state(), VESKVM_STATE_ERROR);
  EXPECT_EQ(v.error(), "type mismatch: io.fclose: file '" + path + "' is already closed");
}

TEST_F(IoLib, EveryFunctionRejectsAClosedFile) {
  const char *const uses[] = {"fsize", "fwrite", "fforeach"};
  for (const char *use : uses) {
    SCOPED_TRACE(use);
    LibVm v;
    std::string path = dir.path("closed.txt");
    veskobj_t f = open(v, path, "w");
    v.eval("io", "fclose", f);
    if (std::string(use) == "fsize")
      v.call("io", use, f);
    else if (std::string(use) == "fwrite")
      v.call("io", use, f, "text");
    else
      v.call("io", use, f, native(v, collect));
    EXPECT_EQ(v.error(), "type mismatch: io." + std::string(use) + ": file '" + path +
                             "' is already closed");
  }
}

TEST_F(IoLib, MissingOrForeignHandlesAreCaught) {
  LibVm a;
  veskvm_push(a.vm(), veskheap_newobj(a.vm()->heap, VESKTYPE_TABLE));
  a.call("io", "fclose", veskvm_stack_at(a.vm(), 1));
  EXPECT_EQ(a.error(), "type mismatch: io.fclose: file '?' has no handle");

  LibVm b;
  veskobj_t f = open(b, dir.path("f.txt"), "w");
  set_field(b, f, "handle", 5);
  b.call("io", "fwrite", f, 1);
  EXPECT_EQ(b.error(), "type mismatch: io.fwrite: file '" + dir.path("f.txt") +
                           "' has a handle that io.fopen did not make");

  LibVm c;
  veskobj_t g = open(c, dir.path("g.txt"), "w");
  veskvm_pushu(c.vm(), (void *)&c);
  veskobj_t foreign = veskvm_stack_at(c.vm(), 1);
  set_field(c, g, "handle", foreign);
  c.call("io", "fsize", g);
  EXPECT_EQ(c.state(), VESKVM_STATE_ERROR);
  EXPECT_NE(c.error().find("did not make"), std::string::npos) << c.error();

  LibVm d;
  d.call("io", "fclose", 5);
  EXPECT_EQ(d.error(), "type mismatch: expected table, got integer");
}

TEST_F(IoLib, CallbackThatClosesTheFileEndsTheWalk) {
  LibVm v;
  std::string path = dir.path("c.txt");
  write_file(path, "first\nsecond\nthird\n");
  veskobj_t f = open(v, path, "r");
  v.eval("io", "fforeach", f, native(v, collect_and_close));
  EXPECT_TRUE(v.ok()) << v.error();
  EXPECT_EQ(lines_seen, std::vector<std::string>{"first"});
  EXPECT_EQ(veskio_open_streams(v.vm()), 0u);
}

TEST_F(IoLib, FailingCallbackStopsTheWalkAndItsErrorStands) {
  LibVm v;
  std::string path = dir.path("e.txt");
  write_file(path, "first\nsecond\n");
  veskobj_t f = open(v, path, "r");
  v.call("io", "fforeach", f, native(v, collect_and_fail));
  EXPECT_EQ(v.state(), VESKVM_STATE_ERROR);
  EXPECT_EQ(v.error(), "type mismatch: callback failed on 'first'");
  EXPECT_EQ(lines_seen, std::vector<std::string>{"first"});
}

TEST_F(IoLib, StreamsLeftOpenAreClosedWithTheVm) {
  std::string path = dir.path("flushed.txt");
  {
    LibVm v;
    veskobj_t f = open(v, path, "w");
    open(v, dir.path("other.txt"), "w");
    open(v, dir.path("third.txt"), "w");
    v.eval("io", "fwrite", f, "buffered");
    EXPECT_EQ(veskio_open_streams(v.vm()), 3u);
    EXPECT_EQ(read_file(path), ""); /* still in the stream's buffer */
  }
  /* Destroying the VM closed (and so flushed) the stream. */
  EXPECT_EQ(read_file(path), "buffered\n");
}

TEST_F(IoLib, ReleaseInvalidatesEveryHandle) {
  LibVm v;
  veskobj_t f = open(v, dir.path("r.txt"), "w");
  veskio_release(v.vm());
  EXPECT_EQ(veskio_open_streams(v.vm()), 0u);
  v.call("io", "fwrite", f, "late");
  EXPECT_EQ(v.state(), VESKVM_STATE_ERROR);
}
