/*
 * Regression tests for faults the fuzz targets found: each test feeds the
 * input that used to crash, hang or leak and checks the sound behaviour.
 */
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "veskvm.h"

namespace {

using Bytes = std::vector<uint8_t>;

/* Instruction with a 4-byte little-endian argument. */
void emit(Bytes &code, uint8_t op, int32_t arg) {
  code.push_back(op);
  for (int i = 0; i < 4; ++i)
    code.push_back(static_cast<uint8_t>(static_cast<uint32_t>(arg) >> (8 * i)));
}

/* A VM loaded with code; destroyed with the fixture. */
class Loaded {
public:
  explicit Loaded(const Bytes &code) : code_(code), vm_(veskvm_new(1)) {
    state_ = veskvm_set_bcode(vm_, code_.data(), static_cast<uint32_t>(code_.size()));
  }
  ~Loaded() { veskvm_destroy(&vm_); }
  int state() const { return state_; }
  veskvm_t vm() const { return vm_; }

private:
  Bytes code_;
  veskvm_t vm_;
  int state_;
};

/* The prologue (code before the first nop) used to run without limit:
   bytecode jumping back before its nop hung veskvm_set_bcode forever. */
TEST(PrologueRegression, BackwardJumpBeforeNopIsAnError) {
  Bytes code = {0x00, 0x00}; /* no strings */
  emit(code, VESKVM_INSTR_JUMP, 2);
  code.push_back(VESKVM_INSTR_DONE);
  Loaded l(code);
  EXPECT_EQ(l.state(), VESKVM_STATE_ERROR);
  EXPECT_EQ(l.vm()->error, VESKVM_ERROR_PC);
  EXPECT_NE(std::string(veskvm_strerror(l.vm())).find("prologue"), std::string::npos);
}

TEST(PrologueRegression, LoopThroughConditionalJumpIsAnError) {
  Bytes code = {0x00, 0x00};
  emit(code, VESKVM_INSTR_PUSHI, 1);
  emit(code, VESKVM_INSTR_JUMPNZ, 2); /* always taken: back to the push */
  code.push_back(VESKVM_INSTR_NOP);
  code.push_back(VESKVM_INSTR_DONE);
  Loaded l(code);
  EXPECT_EQ(l.state(), VESKVM_STATE_ERROR);
  EXPECT_EQ(l.vm()->error, VESKVM_ERROR_PC);
}

/* The limit must not touch real prologues: a forward jump over junk to
   the nop, then a global function binding, still loads. */
TEST(PrologueRegression, ForwardPrologueStillLoads) {
  Bytes code = {0x01, 0x00, 'f', 0x00}; /* string 0: "f" */
  emit(code, VESKVM_INSTR_JUMP, 10);    /* offset 4, over the junk byte */
  code.push_back(0xff);                 /* offset 9 */
  emit(code, VESKVM_INSTR_PUSHS, 0);    /* offset 10 */
  emit(code, VESKVM_INSTR_PUSHCN, 27);  /* the function at offset 27 */
  code.push_back(VESKVM_INSTR_GSTORE);  /* 20 */
  code.push_back(VESKVM_INSTR_NOP);     /* 21 */
  emit(code, VESKVM_INSTR_JUMP, 28);    /* 22: skip the body */
  code.push_back(VESKVM_INSTR_RET0);    /* 27 */
  code.push_back(VESKVM_INSTR_DONE);    /* 28 */
  Loaded l(code);
  ASSERT_EQ(l.state(), VESKVM_STATE_READY) << veskvm_strerror(l.vm());
  EXPECT_EQ(l.vm()->pc, 22);
  EXPECT_EQ(veskvm_function_call(l.vm(), "f", 0), VESKVM_STATE_READY);
}

} // namespace
