/*
 * Test helper for the standard libraries: a VM loaded with an empty program
 * (so every library is installed) whose library functions are called from
 * C++ exactly as a script calls them, through the closures stored in the
 * global tables; and a one-line rendering of a call's outcome.
 */
#ifndef STDLIB_VM_H
#define STDLIB_VM_H

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "veskvm.h"

namespace stdlib_test {

/* Argument marker for nil. */
struct Nil {};

class LibVm {
public:
  LibVm() : vm_(veskvm_new(1)) {
    /* No strings, an empty prologue (nop), then done. */
    static const uint8_t code[] = {0x00, 0x00, VESKVM_INSTR_NOP, VESKVM_INSTR_DONE};
    veskvm_set_bcode(vm_, code, sizeof code);
  }
  ~LibVm() { veskvm_destroy(&vm_); }
  LibVm(const LibVm &) = delete;
  LibVm &operator=(const LibVm &) = delete;

  veskvm_t vm() const { return vm_; }
  int state() const { return vm_->state; }
  bool ok() const { return vm_->state == VESKVM_STATE_READY; }
  std::string error() const { return veskvm_strerror(vm_); }

  /* Calls lib.fn(args...) and returns the VM state. */
  template <typename... A> int call(const char *lib, const char *fn, A... args) {
    push_member(lib, fn);
    base_ = veskvm_stack_size(vm_) - 1;
    (push(args), ...);
    return veskvm_closure_call(vm_, sizeof...(A));
  }

  /* Calls lib.fn(args...) and pops its value: null when it failed or returned none. */
  template <typename... A> veskobj_t eval(const char *lib, const char *fn, A... args) {
    if (call(lib, fn, args...) != VESKVM_STATE_READY) return nullptr;
    veskobj_t r = result();
    if (r) veskvm_pop(vm_); /* no collection runs until the next step */
    return r;
  }

  /* The value the last call returned, or null when it returned none. */
  veskobj_t result() const {
    return veskvm_stack_size(vm_) > base_ ? veskvm_stack_at(vm_, 1) : nullptr;
  }

  /* Pushes lib.key (a global table's member) and returns it. */
  veskobj_t push_member(const char *lib, const char *key) {
    veskvm_pushstr(vm_, lib, 1);
    veskvm_gload(vm_);
    veskvm_pushstr(vm_, key, 1);
    veskvm_tget(vm_);
    return veskvm_stack_at(vm_, 1);
  }

  /* Pushes table[key] for the table object t and returns it. */
  veskobj_t push_field(veskobj_t t, const char *key) {
    veskvm_push(vm_, t);
    veskvm_pushstr(vm_, key, 1);
    veskvm_tget(vm_);
    return veskvm_stack_at(vm_, 1);
  }

  /* Pushes a new object of the given type and returns it. */
  veskobj_t push_new(uint16_t type) {
    veskvm_push(vm_, veskheap_newobj(vm_->heap, type));
    return veskvm_stack_at(vm_, 1);
  }

  void push(int v) { veskvm_pushi(vm_, v); }
  void push(double v) { veskvm_pushf(vm_, (float)v); }
  void push(const char *s) { veskvm_pushstr(vm_, s, 0); }
  void push(const std::string &s) { veskvm_pushstr(vm_, s.c_str(), 0); }
  void push(Nil) { veskvm_pushnil(vm_); }
  void push(veskobj_t o) { veskvm_push(vm_, o); }

private:
  veskvm_t vm_;
  int64_t base_ = 0;
};

/* A value as "type text" (floats with all their digits), or "none" for no value. */
inline std::string show(veskobj_t o) {
  if (!o) return "none";
  char num[64];
  switch (veskobj_type(o)) {
  case VESKTYPE_INT:
    snprintf(num, sizeof num, "integer %d", o->i.value);
    return num;
  case VESKTYPE_FLOAT:
    snprintf(num, sizeof num, "float %.9g", (double)o->f.value);
    return num;
  case VESKTYPE_STRING:
    return std::string("string '") + o->s.str + "'";
  default:
    return vesktype_desc[veskobj_type(o)];
  }
}

/* Outcome of lib.fn(args...) on a fresh VM: its value, or "error CODE: message". */
template <typename... A> std::string outcome(const char *lib, const char *fn, A... args) {
  LibVm v;
  if (v.call(lib, fn, args...) != VESKVM_STATE_READY)
    return "error " + std::to_string(v.vm()->error) + ": " + v.error();
  return show(v.result());
}

} // namespace stdlib_test

#endif
