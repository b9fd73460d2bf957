/*
 * A minimal host of the Vesk VM. It builds the bytecode of this script in
 * memory (string table, prologue, main part and one function):
 *
 *   function fact(n) { if (n <= 1) return 1; return n * fact(n - 1); }
 *   print("fact(10) = ", fact(10))
 *
 * registers a native print, runs the main part to its end, then calls the
 * script function fact by name from the host and prints what it returned.
 */
#include <cstdio>
#include <vector>

#include "bcode_builder.h"
#include "veskvm.h"

namespace {

/* print(...): writes its arguments side by side, then a newline. */
int host_print(veskvm_t vm) {
  for (uint32_t i = 1; i <= static_cast<uint32_t>(veskvm_lnum(vm)); ++i) {
    veskobj_t o = veskvm_lsym(vm, i);
    switch (veskobj_type(o)) {
    case VESKTYPE_INT:
      printf("%d", o->i.value);
      break;
    case VESKTYPE_FLOAT:
      printf("%f", static_cast<double>(o->f.value));
      break;
    case VESKTYPE_STRING:
      fputs(o->s.str, stdout);
      break;
    default:
      printf("[%s]", vesktype_desc[veskobj_type(o)]);
      break;
    }
  }
  putchar('\n');
  return veskvm_ret0(vm);
}

std::vector<uint8_t> script() {
  using I = veskvm_instr;
  BcodeBuilder b;
  b.fun("fact", "fact").op(I::VESKVM_INSTR_NOP);
  b.gload("print").pushs("fact(10) = ").gload("fact").pushi(10).call(1).call(2);
  b.op(I::VESKVM_INSTR_DONE);
  b.label("fact")
      .lload(1)
      .pushi(1)
      .op(I::VESKVM_INSTR_LTE)
      .op(I::VESKVM_INSTR_JUMPZ, "rec");
  b.pushi(1).op(I::VESKVM_INSTR_RET1);
  b.label("rec").lload(1).gload("fact").lload(1).pushi(1).op(I::VESKVM_INSTR_SUB).call(1);
  b.op(I::VESKVM_INSTR_MUL).op(I::VESKVM_INSTR_RET1);
  return b.build();
}

int fail(veskvm_t vm) {
  fprintf(stderr, "error at bytecode offset %d: %s\n", veskvm_error_offset(vm),
          veskvm_strerror(vm));
  return 1;
}

} // namespace

int main() {
  std::vector<uint8_t> code = script(); /* must outlive the VM */
  veskvm_t vm = veskvm_new(1);
  int status = 0;
  if (veskvm_set_bcode(vm, code.data(), static_cast<uint32_t>(code.size())) !=
      VESKVM_STATE_READY) {
    status = fail(vm);
  } else {
    veskvm_register_global_function(vm, "print", host_print);
    if (veskvm_execute_script(vm) != VESKVM_STATE_DONE) {
      status = fail(vm);
    } else {
      veskvm_pushi(vm, 12);
      if (veskvm_function_call(vm, "fact", 1) != VESKVM_STATE_READY) {
        status = fail(vm);
      } else {
        printf("host called fact(12) = %d\n", veskvm_stack_at(vm, 1)->i.value);
        veskvm_pop(vm); /* the result stays on the stack until the host pops it */
      }
    }
  }
  veskvm_destroy(&vm);
  return status;
}
