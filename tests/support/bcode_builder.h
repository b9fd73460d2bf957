/*
 * Builds bytecode buffers for tests: a string table, instructions with their
 * arguments, and labels resolved to absolute code addresses.
 *
 *   BcodeBuilder b;
 *   b.fun("f", "f_body").op(VESKVM_INSTR_NOP);       // prologue: f is global
 *   b.pushi(2).pushi(3).op(VESKVM_INSTR_ADD).op(VESKVM_INSTR_DONE);
 *   b.label("f_body").lload(1).op(VESKVM_INSTR_RET1);
 *   std::vector<uint8_t> code = b.build();
 *
 * Addresses count from the start of the buffer, string table included; the
 * builder knows the table's size only when it builds, so label references are
 * patched then. offset(label) gives a label's address after build().
 */
#ifndef VESK_TESTS_BCODE_BUILDER_H
#define VESK_TESTS_BCODE_BUILDER_H

#include <cstdint>
#include <cstring>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "veskvm.h"

class BcodeBuilder {
public:
  /* Id of a string in the table, adding it on first use. */
  uint16_t str(const std::string &s) {
    for (size_t i = 0; i < strings_.size(); ++i)
      if (strings_[i] == s) return static_cast<uint16_t>(i);
    strings_.push_back(s);
    return static_cast<uint16_t>(strings_.size() - 1);
  }

  /* An instruction without argument. */
  BcodeBuilder &op(uint8_t opcode) {
    code_.push_back(opcode);
    return *this;
  }

  /* An instruction with a 32-bit argument. */
  BcodeBuilder &op(uint8_t opcode, int32_t arg) {
    code_.push_back(opcode);
    put32(static_cast<uint32_t>(arg));
    return *this;
  }

  /* An instruction whose argument is the address of a label. */
  BcodeBuilder &op(uint8_t opcode, const std::string &label) {
    code_.push_back(opcode);
    fixups_.emplace_back(code_.size(), label);
    put32(0);
    return *this;
  }

  BcodeBuilder &pushi(int32_t v) { return op(VESKVM_INSTR_PUSHI, v); }
  BcodeBuilder &pushf(float v) {
    uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return op(VESKVM_INSTR_PUSHF, static_cast<int32_t>(bits));
  }
  BcodeBuilder &pushs(const std::string &s) { return op(VESKVM_INSTR_PUSHS, str(s)); }
  BcodeBuilder &lload(int32_t i) { return op(VESKVM_INSTR_LLOAD, i); }
  BcodeBuilder &lstore(int32_t i) { return op(VESKVM_INSTR_LSTORE, i); }
  BcodeBuilder &gload(const std::string &name) {
    return pushs(name).op(VESKVM_INSTR_GLOAD);
  }
  /* Prologue entry binding global name to the script function at label. */
  BcodeBuilder &fun(const std::string &name, const std::string &label) {
    return pushs(name).op(VESKVM_INSTR_PUSHCN, label).op(VESKVM_INSTR_GSTORE);
  }
  /* Calls the closure below n arguments already pushed. */
  BcodeBuilder &call(int32_t n) { return pushi(n).op(VESKVM_INSTR_CALLC); }

  BcodeBuilder &label(const std::string &name) {
    labels_[name] = code_.size();
    return *this;
  }

  /* Raw bytes, e.g. a truncated instruction. */
  BcodeBuilder &raw(std::initializer_list<uint8_t> bytes) {
    code_.insert(code_.end(), bytes);
    return *this;
  }

  /* Overrides the string count written in the header (default: the table's). */
  BcodeBuilder &declared_strings(uint16_t n) {
    declared_ = n;
    has_declared_ = true;
    return *this;
  }

  /* Code size so far, relative to the start of the instructions. */
  size_t code_size() const { return code_.size(); }

  std::vector<uint8_t> build() {
    std::vector<uint8_t> out;
    uint16_t n = has_declared_ ? declared_ : static_cast<uint16_t>(strings_.size());
    out.push_back(static_cast<uint8_t>(n & 0xFF));
    out.push_back(static_cast<uint8_t>(n >> 8));
    for (const auto &s : strings_) {
      out.insert(out.end(), s.begin(), s.end());
      out.push_back(0);
    }
    header_ = out.size();
    std::vector<uint8_t> code = code_;
    for (const auto &[pos, name] : fixups_) {
      uint32_t a = static_cast<uint32_t>(offset(name));
      for (int i = 0; i < 4; ++i)
        code[pos + i] = static_cast<uint8_t>(a >> (8 * i));
    }
    out.insert(out.end(), code.begin(), code.end());
    return out;
  }

  /* Absolute address of a label (valid after build()). */
  int32_t offset(const std::string &name) const {
    auto it = labels_.find(name);
    if (it == labels_.end()) throw std::runtime_error("unknown label " + name);
    return static_cast<int32_t>(header_ + it->second);
  }

  /* Absolute address of the instruction at code position pos (after build()). */
  int32_t at(size_t pos) const { return static_cast<int32_t>(header_ + pos); }

private:
  void put32(uint32_t v) {
    for (int i = 0; i < 4; ++i)
      code_.push_back(static_cast<uint8_t>(v >> (8 * i)));
  }

  std::vector<std::string> strings_;
  std::vector<uint8_t> code_;
  std::map<std::string, size_t> labels_;
  std::vector<std::pair<size_t, std::string>> fixups_;
  size_t header_ = 0;
  uint16_t declared_ = 0;
  bool has_declared_ = false;
};

#endif
