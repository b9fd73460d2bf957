/*
 * Fuzz target: the string library's conversions and slicing on arbitrary
 * text. The input is split at its first zero byte (the rest is a second
 * string); two bytes of it also serve as substring bounds. Checks that an
 * integer read from text survives tostring and toint unchanged.
 */
#include "fuzz_util.h"

#include <cstring>

using namespace vesk_fuzz;

namespace {

const uint8_t EMPTY_PROGRAM[] = {0x00, 0x00, VESKVM_INSTR_NOP, VESKVM_INSTR_DONE};

/* Calls string.<fn> with the objects on top of the stack as arguments and
   returns its result (left on the stack), or null when it left none. */
veskobj_t call(veskvm_t vm, const char *fn, uint32_t argc) {
  veskvm_pushstr(vm, "string", 1);
  veskvm_gload(vm);
  veskvm_pushstr(vm, fn, 1);
  veskvm_tget(vm);
  if (vm->state != VESKVM_STATE_READY) return nullptr;
  /* Move the function below its arguments. */
  veskobj_t *top = &veskdarray_last(vm->stack, veskobj_t);
  veskobj_t f = *top;
  memmove(top - argc + 1, top - argc, argc * sizeof(veskobj_t));
  *(top - argc) = f;
  int64_t before = veskvm_stack_size(vm) - argc - 1;
  if (veskvm_closure_call(vm, argc) != VESKVM_STATE_READY) return nullptr;
  return veskvm_stack_size(vm) > before ? veskvm_stack_at(vm, 1) : nullptr;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::string text(reinterpret_cast<const char *>(data), size);
  size_t cut = text.find('\0');
  std::string a = text.substr(0, cut);
  std::string b = cut == std::string::npos ? std::string() : text.substr(cut + 1);
  b = b.substr(0, b.find('\0'));
  int32_t from = size > 0 ? static_cast<int8_t>(data[0]) : 0;
  int32_t to = size > 1 ? static_cast<int8_t>(data[size - 1]) : 0;

  veskvm_t vm = veskvm_new(1);
  veskvm_set_bcode(vm, EMPTY_PROGRAM, sizeof EMPTY_PROGRAM);

  veskvm_pushstr(vm, a.c_str(), 0);
  veskobj_t n = call(vm, "toint", 1);
  if (n && veskobj_isint(n)) {
    int32_t value = n->i.value;
    veskobj_t s = call(vm, "tostring", 1);
    veskobj_t back = s && veskobj_isstring(s) ? call(vm, "toint", 1) : nullptr;
    if (!back || !veskobj_isint(back) || back->i.value != value) {
      fprintf(stderr, "toint(tostring(%d)) differs\n", value);
      abort();
    }
  }
  veskvm_pushstr(vm, a.c_str(), 0);
  veskobj_t f = call(vm, "tofloat", 1);
  if (f) call(vm, "tostring", 1);
  veskvm_pushstr(vm, a.c_str(), 0);
  call(vm, "length", 1);
  veskvm_pushstr(vm, b.c_str(), 0);
  veskvm_pushi(vm, from);
  veskvm_pushi(vm, to);
  call(vm, "sub", 3);
  veskvm_pushstr(vm, a.c_str(), 0);
  veskvm_pushstr(vm, b.c_str(), 0);
  veskobj_t both = call(vm, "concat", 2);
  if (both && veskobj_isstring(both) && strlen(both->s.str) != a.size() + b.size()) {
    fprintf(stderr, "concat lost characters\n");
    abort();
  }
  veskvm_destroy(&vm);
  return 0;
}
