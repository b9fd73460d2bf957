/*
 * A minimal host of the Vesk VM: compiles a script in memory (fact.vsk
 * beside this file, or the script given as argument), registers a native
 * print, runs the script's top level to its end, then calls the script
 * function fact by name from the host and prints what it returned.
 *
 *   vesk_host_example examples/host/fact.vsk
 */
#include <cstdio>
#include <cstdlib>

#include "veskbuild.h"
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

int fail(veskvm_t vm) {
  fprintf(stderr, "error at bytecode offset %d: %s\n", veskvm_error_offset(vm),
          veskvm_strerror(vm));
  return 1;
}

} // namespace

int main(int argc, char **argv) {
  uint8_t *code = nullptr; /* must outlive the VM */
  uint32_t size = 0;
  veskdebug_t dbg = nullptr;
  if (!veskbuild_memory(argc > 1 ? argv[1] : "fact.vsk", &code, &size, &dbg)) {
    if (dbg) veskdebug_destroy(&dbg);
    return 1; /* the compiler has said why */
  }
  veskvm_t vm = veskvm_new(1);
  int status = 0;
  if (veskvm_set_bcode(vm, code, size) != VESKVM_STATE_READY) {
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
  veskdebug_destroy(&dbg);
  free(code);
  return status;
}
