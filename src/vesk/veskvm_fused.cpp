/*
 * The pre-decoded form of a VM's bytecode: which instruction sequences the
 * run loops execute as one operation. Built when the bytecode is loaded, in
 * two passes: the first finds the instruction starts and every address an
 * instruction names (jump targets, function and lambda entries), the second
 * gives each instruction start the shape of the sequence beginning there.
 * Nothing here runs code; the sequences are executed in veskvm_exec.cpp.
 */
#include <cstdlib>
#include <vector>

#include "veskbytes.h"
#include "veskfatal.h"
#include "veskvm_internal.h"

namespace {

const uint8_t START = 1;  /* an instruction starts here and fits in the code */
const uint8_t TARGET = 2; /* some instruction names this address */
const uint32_t ARG_LEN = 5;

bool has_arg(uint8_t op) {
  return op >= VESKVM_INSTR_ARGFIRST && op <= VESKVM_INSTR_LAST;
}

bool names_address(uint8_t op) {
  return op == VESKVM_INSTR_JUMP || op == VESKVM_INSTR_JUMPZ ||
         op == VESKVM_INSTR_JUMPNZ || op == VESKVM_INSTR_PUSHCN ||
         op == VESKVM_INSTR_PUSHL;
}

bool is_binary(uint8_t op) {
  return op >= VESKVM_INSTR_ADD && op <= VESKVM_INSTR_LTE && op != VESKVM_INSTR_POW &&
         op != VESKVM_INSTR_UNM && op != VESKVM_INSTR_AND && op != VESKVM_INSTR_OR &&
         op != VESKVM_INSTR_NOT;
}

class Decoder {
public:
  Decoder(const uint8_t *code, uint32_t size) : code_(code), size_(size), flags_(size) {}

  /* Instruction starts from start on, as single steps would meet them when
     running straight through, and the addresses instructions name. An
     instruction "fits" when the byte after it is still code, as the program
     counter checks demand; only those take part in sequences. */
  void scan(uint32_t start) {
    for (uint32_t p = start; p < size_;) {
      uint8_t op = code_[p];
      uint32_t len = has_arg(op) ? ARG_LEN : 1;
      if (static_cast<uint64_t>(p) + len < size_) {
        flags_[p] |= START;
        if (names_address(op)) {
          int32_t target = static_cast<int32_t>(vesk_get_le32(code_ + p + 1));
          if (target >= 0 && static_cast<uint32_t>(target) < size_)
            flags_[target] |= TARGET;
        }
      }
      p += len;
    }
  }

  uint8_t shape_at(uint32_t p) const {
    if (!(flags_[p] & START)) return VESKVM_FUSED_NONE;
    uint8_t op = code_[p];
    uint8_t next = follows(p, ARG_LEN) ? code_[p + ARG_LEN] : 0xFF;
    if (op == VESKVM_INSTR_PUSHS && next == VESKVM_INSTR_GLOAD) return VESKVM_FUSED_GLOAD;
    if (op == VESKVM_INSTR_PUSHS && next == VESKVM_INSTR_TGET) return VESKVM_FUSED_TGET;
    if (op == VESKVM_INSTR_PUSHI &&
        (next == VESKVM_INSTR_CALLC || next == VESKVM_INSTR_CALLS))
      return VESKVM_FUSED_CALL;
    uint8_t shape = binary_shape(p);
    if (shape != VESKVM_FUSED_NONE) return shape;
    if (op == VESKVM_INSTR_LLOAD) return VESKVM_FUSED_LLOAD;
    if (op == VESKVM_INSTR_JUMP) return VESKVM_FUSED_JUMP;
    return VESKVM_FUSED_NONE;
  }

  bool is_target(uint32_t p) const { return flags_[p] & TARGET; }

private:
  /* An instruction that fits starts at p + len and is not a target: a
     sequence may continue into it. */
  bool follows(uint32_t p, uint32_t len) const {
    uint64_t q = static_cast<uint64_t>(p) + len;
    return q < size_ && flags_[q] == START;
  }

  static int operand(uint8_t op) {
    if (op == VESKVM_INSTR_LLOAD) return VESKVM_OPERAND_LOCAL;
    if (op == VESKVM_INSTR_PUSHI) return VESKVM_OPERAND_CONST;
    return VESKVM_OPERAND_STACK;
  }

  /* [a] [b] op [sink]; op alone too, as a link of a chain. */
  uint8_t binary_shape(uint32_t p) const {
    int a = VESKVM_OPERAND_STACK, b = VESKVM_OPERAND_STACK;
    uint32_t q = p;
    int first = operand(code_[p]);
    if (first != VESKVM_OPERAND_STACK && follows(p, ARG_LEN)) {
      int second = operand(code_[p + ARG_LEN]);
      if (second != VESKVM_OPERAND_STACK && follows(p + ARG_LEN, ARG_LEN) &&
          is_binary(code_[p + 2 * ARG_LEN])) {
        a = first;
        b = second;
        q = p + 2 * ARG_LEN;
      } else if (is_binary(code_[p + ARG_LEN])) {
        b = first;
        q = p + ARG_LEN;
      } else {
        return VESKVM_FUSED_NONE;
      }
    } else if (!is_binary(code_[p])) {
      return VESKVM_FUSED_NONE;
    }
    int sink = follows(q, 1) ? sink_of(code_[q + 1]) : VESKVM_SINK_PUSH;
    return static_cast<uint8_t>(VESKVM_FUSED_BINARY | a << 4 | b << 2 | sink);
  }

  static int sink_of(uint8_t op) {
    if (op == VESKVM_INSTR_LSTORE) return VESKVM_SINK_LSTORE;
    if (op == VESKVM_INSTR_JUMPZ) return VESKVM_SINK_JUMPZ;
    if (op == VESKVM_INSTR_JUMPNZ) return VESKVM_SINK_JUMPNZ;
    return VESKVM_SINK_PUSH;
  }

  const uint8_t *code_;
  uint32_t size_;
  std::vector<uint8_t> flags_;
};

} // namespace

void veskvm_fused_free(veskvm_t vm) {
  if (!vm->fused) return;
  free(vm->fused->shape);
  free(vm->fused);
  vm->fused = nullptr;
}

void veskvm_fused_build(veskvm_t vm, uint32_t start) {
  veskvm_fused_free(vm);
  if (!vm->bcode || vm->bcode_size == 0) return;
  auto *f = static_cast<veskvm_fused_s *>(malloc(sizeof(veskvm_fused_s)));
  uint8_t *shape = static_cast<uint8_t *>(calloc(vm->bcode_size, 1));
  if (!f || !shape) vesk_fatal("[FATAL] Can't allocate the decoded code.\n");
  Decoder d(vm->bcode, vm->bcode_size);
  d.scan(start);
  for (uint32_t p = start; p < vm->bcode_size; ++p)
    shape[p] =
        static_cast<uint8_t>(d.shape_at(p) | (d.is_target(p) ? VESKVM_FUSED_TARGET : 0));
  f->bcode = vm->bcode;
  f->size = vm->bcode_size;
  f->shape = shape;
  vm->fused = f;
}
