/*
 * Assembler and disassembler: listings assembled byte for byte, every error
 * and warning text, and bytecode written back as annotated listings.
 */
#include "toolchain_util.h"

#include <algorithm>
#include <cstring>

using namespace toolchain_test;

namespace {

/* Opcodes used below, by mnemonic. */
enum : uint8_t {
  NOP = 0,
  DONE = 1,
  POP = 4,
  RET0 = 5,
  ADD = 7,
  GSTORE = 24,
  PUSHF = 30,
  PUSHI = 31,
  PUSHS = 32,
  PUSHCN = 33,
  JUMP = 38,
  JUMPZ = 39
};

class Asm : public ::testing::Test {
protected:
  TempDir dir;
  std::string src = dir.file("t.vasm");
  AsmResult assemble(const std::string &text) {
    write_file(src, text);
    return assemble_file(src);
  }
  /* Source position recorded for an offset, as "line,col,file", or "" if none. */
  static std::string at(veskdebug_t dbg, uint32_t off) {
    veskdebug_entry_t e = veskdebug_info_get_fromoffset(dbg, off);
    if (!e) return "";
    return std::to_string(e->line) + "," + std::to_string(e->col) + "," + e->fname;
  }
};

TEST_F(Asm, CompilerListingAssemblesByteForByte) {
  AsmResult r = assemble("!2\n"
                         "'x\n"
                         "'hello world\n"
                         "\tpushs 0\t|1,0,a.vsk\n"
                         "\tpushcn @__label_1\t|1,0,a.vsk\n"
                         "\tgstore\t|1,4,a.vsk\n"
                         "\tnop\n"
                         "\n"
                         "@__label_0\n"
                         "\tpushs 1\t|3,6,a.vsk\n"
                         "\tpushi 2\t|3,10,a.vsk\n"
                         "\tdone\n"
                         "\n"
                         "@__label_1\n"
                         "\tret0\t|2,0,a.vsk\n");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  Bytes strings = {2,   0,   'x', 0,   'h', 'e', 'l', 'l',
                   'o', ' ', 'w', 'o', 'r', 'l', 'd', 0};
  Bytes expect = cat({strings,
                      {PUSHS},
                      le32(0),
                      {PUSHCN},
                      le32(39),
                      {GSTORE, NOP},
                      {PUSHS},
                      le32(1),
                      {PUSHI},
                      le32(2),
                      {DONE, RET0}});
  EXPECT_EQ(r.code, expect);
  EXPECT_EQ(at(r.dbg, 16), "1,0,a.vsk");
  EXPECT_EQ(at(r.dbg, 21), "1,0,a.vsk");
  EXPECT_EQ(at(r.dbg, 26), "1,4,a.vsk");
  EXPECT_EQ(at(r.dbg, 27), ""); /* nop has no annotation */
  EXPECT_EQ(at(r.dbg, 33), "3,10,a.vsk");
  EXPECT_EQ(at(r.dbg, 39), "2,0,a.vsk");
  uint32_t *first = veskdebug_info_get_fromscript(r.dbg, 1, 0, "a.vsk");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(*first, 16u);
}

TEST_F(Asm, BlankAndCommentLinesOnlyGiveAnEmptyBuffer) {
  AsmResult r = assemble("# a comment\n\n   \t\n  # indented comment\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(r.code.empty());
  EXPECT_EQ(r.err, "");
}

TEST_F(Asm, StringLinesAreRawUpToTheNewline) {
  AsmResult r = assemble("'\n"        /* empty string */
                         "'a b  \n"   /* trailing blanks kept */
                         "  'x\\ny\n" /* leading white space skipped, backslash raw */
                         "'last");    /* no final newline: nothing is cut */
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.code, (Bytes{0, 'a', ' ', 'b', ' ', ' ', 0, 'x', '\\', 'n', 'y', 0, 'l',
                           'a', 's', 't', 0}));
}

TEST_F(Asm, EscapedStringLinesDecodeLineBreaksAndBackslashes) {
  AsmResult r = assemble("\"a\\nb\\r\\\\c \n\"\n");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.code, (Bytes{'a', '\n', 'b', '\r', '\\', 'c', ' ', 0, 0}));
}

TEST_F(Asm, EscapedStringWithUnknownEscapeIsAnError) {
  AsmResult r = assemble("!1\n\"tab\\there\n");
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(r.code.empty());
  EXPECT_EQ(r.err, "ERROR: " + src + ":2 bad escape \"\\t\" in string\n");
  r = assemble("\"dangling\\\n");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "ERROR: " + src + ":1 bad escape \"\\\" in string\n");
}

TEST_F(Asm, StringCountTakesTheLow16BitsLittleEndian) {
  EXPECT_EQ(assemble("!300\n").code, (Bytes{0x2C, 0x01}));
  EXPECT_EQ(assemble("! 65537 \n").code, (Bytes{0x01, 0x00}));
  EXPECT_EQ(assemble("!-1\n").code, (Bytes{0xFF, 0xFF}));
}

TEST_F(Asm, IntegerArguments) {
  AsmResult r = assemble("\tpushi -1\n\tpushi 0\n\tpushi 4294967297\n\tpushi 12ab\n"
                         "\tpushi -3\n\tlload 7\n");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.code, cat({{PUSHI},
                         le32(0xFFFFFFFF),
                         {PUSHI},
                         le32(0),
                         {PUSHI},
                         le32(1),
                         {PUSHI},
                         le32(12),
                         {PUSHI},
                         le32(0xFFFFFFFD),
                         {36},
                         le32(7)}));
}

TEST_F(Asm, FloatArguments) {
  AsmResult r = assemble("\tpushf 2.5\n\tpushf 0\n\tpushf -1e2x\n");
  ASSERT_EQ(r.status, 0) << r.err;
  float vals[] = {2.5f, 0.0f, -100.0f};
  Bytes expect;
  for (float f : vals) {
    uint32_t bits;
    memcpy(&bits, &f, 4);
    expect = cat({expect, {PUSHF}, le32(bits)});
  }
  EXPECT_EQ(r.code, expect);
}

TEST_F(Asm, LabelReferencesResolveToOffsetsUnderAnyArgumentKind) {
  AsmResult r = assemble("@start\n\tnop\n@mid |9,9,m.vsk\n\tjumpz @end\n\tpushf @mid\n"
                         "\tpushi @start\n@end\n\tdone\n");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.code,
            cat({{NOP, JUMPZ}, le32(16), {PUSHF}, le32(1), {PUSHI}, le32(0), {DONE}}));
  EXPECT_EQ(at(r.dbg, 1), "9,9,m.vsk");
}

TEST_F(Asm, LaterLabelDefinitionWins) {
  AsmResult r = assemble("@L\n\tnop\n@L\n\tjump @L\n");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.code, cat({{NOP, JUMP}, le32(1)}));
}

TEST_F(Asm, ReferenceToAWordWithoutAtIsAnUnknownLabel) {
  AsmResult r = assemble("@x\n\tpushi x\n");
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(r.code.empty());
  EXPECT_EQ(r.err, "ERROR: " + src + ": unknown label \"x\"\n");
}

TEST_F(Asm, JumpToABareNumberIsALabelReference) {
  AsmResult r = assemble("\tnop\n\tjump 0\n");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "ERROR: " + src + ": unknown label \"0\"\n");
}

TEST_F(Asm, LabelAtTheEndIsBeyondTheBytecode) {
  AsmResult r = assemble("\tjump @end\n@end\n");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err,
            "ERROR: " + src + ": label \"@end\" at 5 is beyond the bytecode size 5\n");
}

TEST_F(Asm, OnlyTheFirstLabelErrorIsReported) {
  AsmResult r = assemble("\tjump @a\n\tjump @b\n\tjump @c\n");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  EXPECT_EQ(r.err.rfind("ERROR: " + src + ": unknown label \"@", 0), 0u) << r.err;
}

TEST_F(Asm, ArgumentOfAnArgumentlessInstructionIsDroppedWithAWarning) {
  AsmResult r = assemble("\n\tadd 5\n\tpop extra words\t|1,2,f\n");
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(r.code, (Bytes{ADD, POP}));
  EXPECT_EQ(r.err, "WARNING: " + src +
                       ":2 ignored argument \"5\"\n"
                       "WARNING: " +
                       src + ":3 ignored argument \"extra\"\n");
}

TEST_F(Asm, MissingArgument) {
  for (const char *line : {"\tpushi\n", "\tpushi  5\n", "\tjump\t|1,1,f\n"}) {
    AsmResult r = assemble(std::string("\tnop\n") + line);
    EXPECT_EQ(r.status, 2) << line;
    EXPECT_TRUE(r.code.empty());
    EXPECT_EQ(r.err, "ERROR: " + src + ":2 missing argument\n") << line;
  }
}

TEST_F(Asm, UnknownInstructionIsCaseSensitive) {
  AsmResult r = assemble("# header\n\tPUSHI 1\n");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "ERROR: " + src + ":2 unknown instruction \"PUSHI\"\n");
}

TEST_F(Asm, EveryMnemonicAssemblesToItsOpcode) {
  /* Label @L follows the nop at offset 0; every argument is 1 (or @L). */
  std::string text;
  Bytes expect;
  for (unsigned op = 0; op <= VESKVM_INSTR_LAST; ++op) {
    text += std::string("\t") + veskvm_instr_desc[op];
    expect.push_back((uint8_t)op);
    if (op >= PUSHF) {
      text += op >= JUMP ? " @L" : " 1";
      float one = 1.0f;
      uint32_t bits = 1;
      if (op == PUSHF) memcpy(&bits, &one, 4);
      Bytes arg = le32(bits);
      expect.insert(expect.end(), arg.begin(), arg.end());
    }
    text += op == 0 ? "\n@L\n" : "\n";
  }
  AsmResult r = assemble(text);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.code, expect);
}

TEST_F(Asm, AnnotationsAcceptAnyWhiteSpaceAndWindowsLineEnds) {
  AsmResult r = assemble("  pushi 7 |4,2,w.vsk\r\n@L|5,3,w.vsk  \r\n\tdone\r\n");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.code, cat({{PUSHI}, le32(7), {DONE}}));
  EXPECT_EQ(at(r.dbg, 0), "4,2,w.vsk");
  EXPECT_EQ(at(r.dbg, 5), "5,3,w.vsk");
}

TEST_F(Asm, InstructionAnnotationOverridesItsLabels) {
  AsmResult r = assemble("\tnop\n@L |5,1,f.vsk\n\tdone |6,2,f.vsk\n");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(at(r.dbg, 1), "6,2,f.vsk");
  /* Both positions still lead to the offset. */
  ASSERT_NE(veskdebug_info_get_fromscript(r.dbg, 5, 1, "f.vsk"), nullptr);
  EXPECT_EQ(*veskdebug_info_get_fromscript(r.dbg, 5, 1, "f.vsk"), 1u);
}

TEST_F(Asm, AnnotationFileNameStopsAtAComma) {
  AsmResult r = assemble("\tdone\t|3,4,a,b.vsk\n");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(at(r.dbg, 0), "3,4,a");
}

TEST_F(Asm, AnnotationWithFewerThanThreeFieldsIsRejected) {
  for (const char *ann : {"7", "7,3"}) {
    AsmResult r = assemble(std::string("\tnop\n\tdone |") + ann + "\n");
    EXPECT_EQ(r.status, 2) << ann;
    EXPECT_TRUE(r.code.empty());
    EXPECT_EQ(r.err, "ERROR: " + src + ":2 malformed source annotation \"" + ann +
                         "\" (line,column,file)\n");
  }
  AsmResult r = assemble("@L |1\n");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "ERROR: " + src +
                       ":1 malformed source annotation \"1\" (line,column,file)\n");
}

TEST_F(Asm, EmptyAnnotationIsIgnored) {
  AsmResult r = assemble("\tdone |\n");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(at(r.dbg, 0), "");
}

TEST_F(Asm, VeryLongLinesAndLargeOutputs) {
  std::string big(100000, 'z');
  std::string text = "!1\n'" + big + "\n";
  for (int i = 0; i < 2000; ++i)
    text += "\tpushi " + std::to_string(i) + "\n";
  AsmResult r = assemble(text);
  ASSERT_EQ(r.status, 0) << r.err;
  ASSERT_EQ(r.code.size(), 2 + big.size() + 1 + 2000 * 5);
  EXPECT_EQ(r.code[2 + big.size()], 0);
  size_t last = r.code.size() - 5;
  EXPECT_EQ(Bytes(r.code.begin() + last, r.code.end()), cat({{PUSHI}, le32(1999)}));
}

TEST_F(Asm, MissingInputReportsThePathAndStillHandsOutTheDebugObject) {
  AsmResult r = assemble_file(dir.file("nope.vasm"));
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(r.code.empty());
  EXPECT_EQ(r.err, dir.file("nope.vasm") + ": No such file or directory\n");
  EXPECT_NE(r.dbg, nullptr);
}

TEST_F(Asm, DirectoryAsInputIsAReadError) {
  AsmResult r = assemble_file(dir.file(""));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Is a directory"), std::string::npos) << r.err;
}

/****************************************/
/* Disassembler                          */
/****************************************/

class Deasm : public Asm {
protected:
  std::string out = dir.file("out.vasm");
  int status = -1;
  std::string err;
  std::string listing(const Bytes &code, veskdebug_t dbg = nullptr) {
    testing::internal::CaptureStderr();
    status = vesk_deasm(code.data(), (uint32_t)code.size(), dbg, out.c_str());
    err = testing::internal::GetCapturedStderr();
    return read_file(out);
  }
};

TEST_F(Deasm, ListingShowsOffsetsArgumentsAndAnnotations) {
  AsmResult r =
      assemble("!2\n'x\n'two words\n\tpushs 1\t|1,0,a.vsk\n\tpushf 2.5\t|1,6,a.vsk\n"
               "\tpushi -7\n\tadd\t|1,9,a.vsk\n\tjump @L\n@L\n\tdone\t|2,0,b.vsk\n");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(listing(r.code, r.dbg), "!2\n'x\n'two words\n"
                                    "14:\tpushs 1\t|1,0,a.vsk\n"
                                    "19:\tpushf 2.500000\t|1,6,a.vsk\n"
                                    "24:\tpushi -7\n"
                                    "29:\tadd\t|1,9,a.vsk\n"
                                    "30:\tjump 35\n"
                                    "35:\tdone\t|2,0,b.vsk\n");
  EXPECT_EQ(status, 0);
  EXPECT_EQ(err, "");
}

TEST_F(Deasm, StringsWithLineBreaksUseTheEscapedForm) {
  AsmResult r = assemble("!3\n\"a\\nb\\\\\n'c\\d\n\"\\r\n\tdone\n");
  ASSERT_EQ(r.status, 0) << r.err;
  std::string text = listing(r.code);
  EXPECT_EQ(text, "!3\n\"a\\nb\\\\\n'c\\d\n\"\\r\n13:\tdone\n");
  EXPECT_EQ(status, 0);
  /* The string section of the listing assembles to the same strings. */
  write_file(src, text.substr(0, text.find("13:")) + "\tdone\n");
  EXPECT_EQ(assemble_file(src).code, r.code);
}

TEST_F(Deasm, ArgumentEndingAtTheEndOfTheBufferIsAccepted) {
  EXPECT_EQ(listing(cat({{0, 0, PUSHI}, le32(5)})), "!0\n2:\tpushi 5\n");
  EXPECT_EQ(status, 0);
}

TEST_F(Deasm, TruncatedArgument) {
  Bytes code = {0, 0, NOP, PUSHI, 1, 0, 0};
  EXPECT_EQ(listing(code), "!0\n2:\tnop\n3:\tpushi");
  EXPECT_EQ(status, 2);
  EXPECT_EQ(err, "ERROR: " + out +
                     ": not enough bytes in bytecode for argument of pushi at 3\n");
}

TEST_F(Deasm, UnknownOpcode) {
  EXPECT_EQ(listing({0, 0, DONE, 41}), "!0\n2:\tdone\n");
  EXPECT_EQ(status, 2);
  EXPECT_EQ(err, "ERROR: " + out + ": unknown opcode 41 at 3\n");
}

TEST_F(Deasm, StringCountBeyondTheStringsPresent) {
  EXPECT_EQ(listing({5, 0, 'a', 0, 'b', 0}), "!5\n'a\n'b\n");
  EXPECT_EQ(status, 2);
  EXPECT_EQ(err, "ERROR: " + out +
                     ": scanning string went up to end of file (3 still to parse)\n");
}

TEST_F(Deasm, UnterminatedLastStringIsMissingNotOverread) {
  EXPECT_EQ(listing({2, 0, 'a', 0, 'b', 'c'}), "!2\n'a\n");
  EXPECT_EQ(status, 2);
  EXPECT_EQ(err, "ERROR: " + out +
                     ": scanning string went up to end of file (1 still to parse)\n");
}

TEST_F(Deasm, BuffersTooShortForTheStringCount) {
  EXPECT_EQ(listing({}), "");
  EXPECT_EQ(status, 0);
  EXPECT_EQ(listing({7}), "");
  EXPECT_EQ(status, 2);
  EXPECT_EQ(err, "ERROR: " + out + ": bytecode of 1 byte has no string count\n");
}

TEST_F(Deasm, UncreatableOutput) {
  out = dir.file("no/such/dir.vasm");
  listing({0, 0, DONE});
  EXPECT_EQ(status, 1);
  EXPECT_EQ(err, out + ": No such file or directory\n");
}

TEST(InstructionDeasm, RendersMnemonicAndArgument) {
  Bytes code = cat({{DONE, PUSHF},
                    le32(0x40200000),
                    {PUSHI},
                    le32(0xFFFFFFF6),
                    {JUMP},
                    le32(12),
                    {41}});
  char *text = nullptr;
  ASSERT_EQ(vesk_instruction_deasm(code.data(), 0, &text), 1);
  EXPECT_STREQ(text, "done");
  free(text);
  ASSERT_EQ(vesk_instruction_deasm(code.data(), 1, &text), 1);
  EXPECT_STREQ(text, "pushf 2.500000");
  free(text);
  ASSERT_EQ(vesk_instruction_deasm(code.data(), 6, &text), 1);
  EXPECT_STREQ(text, "pushi -10");
  free(text);
  ASSERT_EQ(vesk_instruction_deasm(code.data(), 11, &text), 1);
  EXPECT_STREQ(text, "jump 12");
  free(text);
  text = nullptr;
  EXPECT_EQ(vesk_instruction_deasm(code.data(), 16, &text), 0);
  EXPECT_EQ(text, nullptr);
}

} // namespace
