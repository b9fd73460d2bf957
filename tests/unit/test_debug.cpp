/*
 * Debug information: the two maps, the .vdb file (round trip, exact record
 * layout, truncated and long records), breakpoints, the stepping helpers,
 * the VM dump and the runner's print function.
 */
#include "toolchain_util.h"

#include "vesktools.h"

#include <cstring>
#include <tuple>

using namespace toolchain_test;

namespace {

/* A debug object that is destroyed with the test. */
struct Dbg {
  veskdebug_t d = veskdebug_new();
  ~Dbg() { veskdebug_destroy(&d); }
  operator veskdebug_t() const { return d; }
};

std::string where(veskdebug_t dbg, uint32_t off) {
  veskdebug_entry_t e = veskdebug_info_get_fromoffset(dbg, off);
  if (!e) return "";
  return std::to_string(e->line) + "," + std::to_string(e->col) + "," + e->fname;
}

/* One .vdb record as it is stored. */
Bytes record(uint32_t off, uint64_t line, uint64_t col, const std::string &name) {
  Bytes r = cat({le32(off),
                 le32((uint32_t)line),
                 le32((uint32_t)(line >> 32)),
                 le32((uint32_t)col),
                 le32((uint32_t)(col >> 32)),
                 {uint8_t(name.size()), uint8_t(name.size() >> 8)}});
  r.insert(r.end(), name.begin(), name.end());
  return r;
}

TEST(DebugInfo, OffsetKeepsTheLastPositionAndPositionTheLowestOffset) {
  Dbg a;
  veskdebug_info_set(a, 40, 3, 1, "f.vsk");
  veskdebug_info_set(a, 12, 3, 1, "f.vsk");
  ASSERT_NE(veskdebug_info_get_fromscript(a, 3, 1, "f.vsk"), nullptr);
  EXPECT_EQ(*veskdebug_info_get_fromscript(a, 3, 1, "f.vsk"), 12u);
  EXPECT_EQ(where(a, 40), "3,1,f.vsk");
  EXPECT_EQ(where(a, 12), "3,1,f.vsk");

  Dbg b;
  veskdebug_info_set(b, 12, 3, 1, "f.vsk");
  veskdebug_info_set(b, 40, 3, 1, "f.vsk");
  EXPECT_EQ(*veskdebug_info_get_fromscript(b, 3, 1, "f.vsk"), 12u);
  veskdebug_info_set(b, 12, 9, 9, "g.vsk");
  EXPECT_EQ(where(b, 12), "9,9,g.vsk");
  EXPECT_EQ(veskdict_size(b.d->off2script), 2u);
  /* Positions differing in any one field are distinct. */
  EXPECT_EQ(veskdebug_info_get_fromscript(b, 3, 2, "f.vsk"), nullptr);
  EXPECT_EQ(veskdebug_info_get_fromscript(b, 4, 1, "f.vsk"), nullptr);
  EXPECT_EQ(veskdebug_info_get_fromscript(b, 3, 1, "g.vsk"), nullptr);
}

TEST(DebugInfo, EntryCompareOrdersByFileThenLineThenColumn) {
  veskdebug_entry_t a = veskdebug_entry_new(5, 9, "a");
  veskdebug_entry_t b = veskdebug_entry_new(2, 1, "b");
  veskdebug_entry_t c = veskdebug_entry_new(5, 10, "a");
  veskdebug_entry_t a2 = veskdebug_entry_new(5, 9, "a");
  EXPECT_LT(veskdebug_entrycmp(&a, &b), 0);
  EXPECT_EQ(veskdebug_entrycmp(&a, &c), -1);
  EXPECT_EQ(veskdebug_entrycmp(&c, &a), 1);
  EXPECT_EQ(veskdebug_entrycmp(&a, &a2), 0);
  EXPECT_EQ(veskdebug_entryhash(&a), veskdebug_entryhash(&a2));
  /* The hash is that of the text "file:line:column". */
  const char *text = "a:5:9";
  EXPECT_EQ(veskdebug_entryhash(&a), veskdict_strkeyhash(&text));
  for (veskdebug_entry_t *e : {&a, &b, &c, &a2})
    veskdebug_entry_destroy(e);
  EXPECT_EQ(a, nullptr);
}

/* The text "file:line:column" is hashed as printf would write it, for zero,
   the largest numbers, and names too long for a short buffer. */
TEST(DebugInfo, EntryHashIsThatOfTheFormattedText) {
  const std::string long_name(300, 'x');
  const uint64_t big = UINT64_MAX;
  for (auto [line, col, name] : {std::tuple<uint64_t, uint64_t, std::string>{0, 0, ""},
                                 {1, 10, "dir/main.vsk"},
                                 {big, big, "m.vsk"},
                                 {1234567, 89, long_name}}) {
    veskdebug_entry_t e = veskdebug_entry_new(line, col, name.c_str());
    std::string text = name + ":" + std::to_string(line) + ":" + std::to_string(col);
    const char *p = text.c_str();
    EXPECT_EQ(veskdebug_entryhash(&e), veskdict_strkeyhash(&p)) << text;
    veskdebug_entry_destroy(&e);
  }
}

class DebugFile : public ::testing::Test {
protected:
  TempDir dir;
  std::string path = dir.file("t.vdb");
};

TEST_F(DebugFile, RecordLayoutIsExact) {
  Dbg d;
  veskdebug_info_set(d, 0x01020304, 0x1122334455667788ull, 7, "ab");
  ASSERT_EQ(veskdebug_tofile(path.c_str(), d), 1);
  EXPECT_EQ(read_bytes(path), record(0x01020304, 0x1122334455667788ull, 7, "ab"));
}

TEST_F(DebugFile, RoundTripKeepsEveryEntry) {
  Dbg d;
  for (uint32_t off = 0; off < 500; off += 7)
    veskdebug_info_set(d, off, off / 3 + 1, off % 11,
                       off % 2 ? "odd.vsk" : "dir/even.vsk");
  ASSERT_EQ(veskdebug_tofile(path.c_str(), d), 1);
  Dbg back;
  ASSERT_EQ(veskdebug_fromfile(back, path.c_str()), 1);
  EXPECT_EQ(veskdict_size(back.d->off2script), veskdict_size(d.d->off2script));
  for (uint32_t off = 0; off < 500; ++off)
    EXPECT_EQ(where(back, off), where(d, off)) << off;
  EXPECT_EQ(*veskdebug_info_get_fromscript(back, 5, 3, "dir/even.vsk"), 14u);
}

TEST_F(DebugFile, EmptyObjectWritesAnEmptyFileThatReadsBack) {
  Dbg d;
  ASSERT_EQ(veskdebug_tofile(path.c_str(), d), 1);
  EXPECT_TRUE(read_bytes(path).empty());
  Dbg back;
  EXPECT_EQ(veskdebug_fromfile(back, path.c_str()), 1);
  EXPECT_EQ(veskdict_size(back.d->off2script), 0u);
}

TEST_F(DebugFile, TruncatedLastRecordIsDropped) {
  Bytes two = cat({record(1, 2, 3, "a.vsk"), record(9, 8, 7, "bb.vsk")});
  for (size_t cut = 1; cut < 28; ++cut) { /* inside the second record's header or name */
    write_bytes(path, Bytes(two.begin(), two.end() - (long)cut));
    Dbg d;
    EXPECT_EQ(veskdebug_fromfile(d, path.c_str()), 1) << cut;
    EXPECT_EQ(veskdict_size(d.d->off2script), 1u) << cut;
    EXPECT_EQ(where(d, 1), "2,3,a.vsk");
  }
}

TEST_F(DebugFile, LongNamesReadCorrectly) {
  std::string n100(100, 'x'), n101(101, 'y'), nmax(65535, 'z');
  write_bytes(path, cat({record(1, 1, 1, n100), record(2, 2, 2, n101),
                         record(3, 3, 3, "s"), record(4, 4, 4, nmax)}));
  Dbg d;
  ASSERT_EQ(veskdebug_fromfile(d, path.c_str()), 1);
  EXPECT_EQ(where(d, 1), "1,1," + n100);
  EXPECT_EQ(where(d, 2), "2,2," + n101);
  EXPECT_EQ(where(d, 3), "3,3,s");
  EXPECT_EQ(where(d, 4), "4,4," + nmax);
}

TEST_F(DebugFile, LaterRecordForAnOffsetWinsAndReadingAdds) {
  write_bytes(path, cat({record(5, 1, 1, "old"), record(5, 2, 2, "new")}));
  Dbg d;
  veskdebug_info_set(d, 99, 4, 4, "kept");
  ASSERT_EQ(veskdebug_fromfile(d, path.c_str()), 1);
  EXPECT_EQ(where(d, 5), "2,2,new");
  EXPECT_EQ(where(d, 99), "4,4,kept");
}

TEST_F(DebugFile, UnreadableAndUnwritablePathsFail) {
  Dbg d;
  EXPECT_EQ(veskdebug_fromfile(d, dir.file("missing.vdb").c_str()), 0);
  EXPECT_EQ(veskdebug_fromfile(d, dir.file("").c_str()), 0); /* a directory */
  EXPECT_EQ(veskdebug_tofile(dir.file("no/dir.vdb").c_str(), d), 0);
}

TEST(Breakpoints, StoredOnce) {
  Dbg d;
  veskdebug_breakpoint_set_offset(d, 7);
  veskdebug_breakpoint_set_offset(d, -2);
  veskdebug_breakpoint_set_offset(d, 7);
  EXPECT_EQ(veskdarray_size(d.d->breakpoints), 2);
  EXPECT_EQ(veskdebug_breakpoint_exists(d, 7), 1);
  EXPECT_EQ(veskdebug_breakpoint_exists(d, -2), 1);
  EXPECT_EQ(veskdebug_breakpoint_exists(d, 8), 0);
}

/****************************************/
/* With a VM                             */
/****************************************/

const std::string SEP(60, '=');

/* Assembles a listing and loads it into a fresh VM. */
class WithVM : public ::testing::Test {
protected:
  TempDir dir;
  Bytes code;
  veskdebug_t dbg = nullptr;
  veskvm_t vm = nullptr;
  void load(const std::string &listing) {
    write_file(dir.file("p.vasm"), listing);
    AsmResult r = assemble_file(dir.file("p.vasm"));
    ASSERT_EQ(r.status, 0) << r.err;
    code = r.code;
    std::swap(dbg, r.dbg);
    vm = veskvm_new(1);
    veskvm_set_bcode(vm, code.data(), (uint32_t)code.size());
  }
  std::string dump(uint32_t idx = 1) {
    char *buf = nullptr;
    size_t len = 0;
    FILE *f = open_memstream(&buf, &len);
    veskdebug_stack_dump(vm, idx, f);
    fclose(f);
    std::string s(buf, len);
    free(buf);
    return s;
  }
  void TearDown() override {
    veskvm_destroy(&vm);
    veskdebug_destroy(&dbg);
  }
};

TEST_F(WithVM, DumpOfAnEmptyStack) {
  load("!0\n\tnop\n\tdone\n");
  EXPECT_EQ(dump(),
            SEP +
                "\nstate: ready\terror: 0\ncode size: 4\tpc: 3\nstacks: 1\tcur: 1\n"
                "next instr: done\n" +
                SEP + "\n\n");
}

TEST_F(WithVM, DumpShowsEveryElementFromTheTop) {
  load("!1\n'word\n\tnop\n\tpushnil\n\tpushi -4\n\tpushf 2.5\n\tpushs 0\n\tpusht\n"
       "\tpushcn @f\n\tpushi 9\n\tdone\n@f\n\tret0\n");
  for (int i = 0; i < 6; ++i)
    ASSERT_EQ(veskvm_step(vm), VESKVM_STATE_READY);
  veskvm_pushc(vm, 0, 0);
  int anything = 0;
  veskvm_pushu(vm, &anything);
  EXPECT_EQ(dump(),
            SEP +
                "\nstate: ready\terror: 0\ncode size: 37\tpc: 30\nstacks: 1\tcur: 1\n"
                "next instr: pushi 9\n"
                "\t7\t[TODO] type = 6\n"
                "\t6\t[c-closure] 0\n"
                "\t5\t[n-closure] 36\n"
                "\t4\t[table] 0 elements\n"
                "\t3\t[string] 0:'word'\n"
                "\t2\t[float] 2.500000\n"
                "\t1\t[int] -4\n"
                "\t0\t[nil]\n" +
                SEP + "\n\n");
}

TEST_F(WithVM, DumpOutsideTheCodeOrTheStacksShowsNoInstructionOrElements) {
  load("!0\n\tnop\n\tpushi 1\n\tdone\n");
  veskvm_pushi(vm, 5);
  vm->pc = (int32_t)code.size();
  EXPECT_EQ(dump(2),
            SEP +
                "\nstate: ready\terror: 0\ncode size: 9\tpc: 9\nstacks: 1\tcur: 2\n"
                "next instr: deasm error\n" +
                SEP + "\n\n");
  vm->pc = 3; /* pushi whose argument would run past the end */
  code.resize(6);
  vm->bcode_size = 6;
  EXPECT_NE(dump().find("next instr: deasm error\n\t0\t[int] 5\n"), std::string::npos);
}

TEST_F(WithVM, ContinueStopsAtBreakpointsAndDoesNotStepOffThem) {
  load("!0\n\tnop\n\tpushi 1\n@b\n\tpushi 2\n\tadd\n\tdone\n");
  veskdebug_breakpoint_set_offset(dbg, 8);
  EXPECT_EQ(veskdebug_continue(vm, dbg), VESKVM_STATE_STOPPED);
  EXPECT_EQ(vm->pc, 8);
  EXPECT_EQ(veskvm_stack_size(vm), 1);
  /* Standing on the breakpoint, continuing executes nothing. */
  EXPECT_EQ(veskdebug_continue(vm, dbg), VESKVM_STATE_STOPPED);
  EXPECT_EQ(vm->pc, 8);
  /* Stepping once by hand moves past it. */
  vm->state = VESKVM_STATE_READY;
  ASSERT_EQ(veskvm_step(vm), VESKVM_STATE_READY);
  EXPECT_EQ(veskdebug_continue(vm, dbg), VESKVM_STATE_DONE);
  EXPECT_EQ(veskvm_stack_at(vm, 1)->i.value, 3);
}

TEST_F(WithVM, FunctionCallStopsInsideTheCalleeAndReturnsItsResult) {
  load("!1\n'twice\n\tpushs 0\n\tpushcn @f\n\tgstore\n\tnop\n\tdone\n"
       "@f\n\tlload 1\n@mul\n\tpushi 2\n\tmul\n\tret1\n");
  ASSERT_EQ(veskvm_execute_script(vm), VESKVM_STATE_DONE);
  int32_t mul = 26; /* strings 8 bytes, prologue 11, nop, done, lload 5 */
  veskdebug_breakpoint_set_offset(dbg, mul);
  veskvm_pushi(vm, 21);
  EXPECT_EQ(veskdebug_function_call(vm, "twice", 1, dbg), VESKVM_STATE_STOPPED);
  EXPECT_EQ(vm->pc, mul);
  vm->state = VESKVM_STATE_READY;
  ASSERT_EQ(veskvm_step(vm), VESKVM_STATE_READY);
  veskdarray_clear(dbg->breakpoints, 5);
  EXPECT_EQ(veskdebug_continue(vm, dbg), VESKVM_STATE_DONE);
  EXPECT_EQ(veskvm_stack_at(vm, 1)->i.value, 42);
}

TEST_F(WithVM, FunctionCallOfANonFunctionIsATypeMismatch) {
  load("!0\n\tnop\n\tdone\n");
  ASSERT_EQ(veskvm_execute_script(vm), VESKVM_STATE_DONE);
  EXPECT_EQ(veskdebug_function_call(vm, "nothing", 0, dbg), VESKVM_STATE_ERROR);
  EXPECT_EQ(vm->error, VESKVM_ERROR_TYPE);
  EXPECT_STREQ(veskvm_strerror(vm), "type mismatch: expected closure, got nil");
}

int answer(veskvm_t vm) {
  veskvm_pushi(vm, 42);
  return veskvm_ret1(vm);
}

TEST_F(WithVM, NativeClosureCallRunsNoFurtherInstruction) {
  load("!0\n\tnop\n\tpushi 5\n\tdone\n");
  int32_t pc = vm->pc;
  veskvm_pushc(vm, (int32_t)veskvm_function_register(vm, answer), 0);
  EXPECT_EQ(veskdebug_closure_call(vm, 0, dbg), VESKVM_STATE_READY);
  EXPECT_EQ(vm->pc, pc);
  ASSERT_EQ(veskvm_stack_size(vm), 1);
  EXPECT_EQ(veskvm_stack_at(vm, 1)->i.value, 42);
}

TEST_F(WithVM, PrintWritesEveryArgumentTypeAndANewline) {
  load("!2\n'a\n'print\n\tnop\n\tpushs 1\n\tgload\n\tpushs 0\n\tpushi 1\n\tpushf 2.5\n"
       "\tpushnil\n\tpusht\n\tpushcn 17\n\tdone\n");
  vesktools_register_print(vm);
  for (int i = 0; i < 8; ++i)
    ASSERT_EQ(veskvm_step(vm), VESKVM_STATE_READY);
  veskvm_pushc(vm, 3, 0);
  int data = 0;
  veskvm_pushu(vm, &data);
  char expect_ud[64];
  snprintf(expect_ud, sizeof expect_ud, "[userdata @%p]", (void *)&data);
  testing::internal::CaptureStdout();
  EXPECT_EQ(veskvm_closure_call(vm, 8), VESKVM_STATE_READY);
  EXPECT_EQ(
      testing::internal::GetCapturedStdout(),
      std::string("a12.500000[nil][table with 0 elems][n-closure @17][c-closure @3]") +
          expect_ud + "\n");
  EXPECT_EQ(veskvm_stack_size(vm), 0);
  /* No argument: an empty line. */
  veskvm_pushstr(vm, "print", 1);
  veskvm_gload(vm);
  testing::internal::CaptureStdout();
  EXPECT_EQ(veskvm_closure_call(vm, 0), VESKVM_STATE_READY);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "\n");
}

} // namespace
