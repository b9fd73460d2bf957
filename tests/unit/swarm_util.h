/*
 * Helpers for the swarm-communication tests: byte payloads, a VM with an
 * empty program (every library installed), Vesk sources built through
 * veskbuild, and access to globals.
 */
#ifndef VESK_TESTS_SWARM_UTIL_H
#define VESK_TESTS_SWARM_UTIL_H

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "temp_dir.h"
#include "veskharness.h"
#include "veskinmsg.h"
#include "veskmsg.h"
#include "veskneighbors.h"
#include "veskoutmsg.h"
#include "veskpacket.h"
#include "script_build.h"
#include "veskswarm.h"
#include "veskvm.h"
#include "veskvstig.h"

namespace swarm_test {

using Bytes = std::vector<uint8_t>;

inline Bytes bytes_of(veskdarray_t p) {
  return Bytes(p->data, p->data + p->size);
}

inline veskdarray_t payload_of(const Bytes &b) {
  return veskdarray_frombuffer(b.data(), static_cast<uint32_t>(b.size()), 1, nullptr);
}

/* A payload the test owns and destroys. */
struct Payload {
  veskdarray_t p;
  Payload() : p(veskdarray_new(16, 1, nullptr)) {}
  explicit Payload(const Bytes &b) : p(payload_of(b)) {}
  ~Payload() { veskdarray_destroy(&p); }
  Payload(const Payload &) = delete;
  Payload &operator=(const Payload &) = delete;
  Bytes bytes() const { return bytes_of(p); }
};

/* Serialises the next outbound message and drops it from the queue. */
inline Bytes take_first(veskvm_t vm) {
  veskdarray_t p = veskoutmsg_queue_first(vm);
  if (!p) return {};
  Bytes b = bytes_of(p);
  veskdarray_destroy(&p);
  veskoutmsg_queue_next(vm);
  return b;
}

/* Every pending outbound message, in transmission order (the queue empties). */
inline std::vector<Bytes> drain(veskvm_t vm) {
  std::vector<Bytes> out;
  while (veskoutmsg_queue_size(vm) > 0)
    out.push_back(take_first(vm));
  return out;
}

/* Global variable of a VM, or null when the VM has none by that name. */
inline veskobj_t global(veskvm_t vm, const char *name) {
  uint16_t id = veskvm_string_register(vm, name, 1);
  int32_t key = id;
  veskobj_t *o = veskdict_get(vm->gsyms, &key, veskobj_t);
  return o ? *o : nullptr;
}

inline int32_t global_int(veskvm_t vm, const char *name) {
  veskobj_t o = global(vm, name);
  EXPECT_TRUE(o && veskobj_isint(o)) << name << " is not an integer";
  return o && veskobj_isint(o) ? o->i.value : INT32_MIN;
}

inline void set_global_int(veskvm_t vm, const char *name, int32_t v) {
  veskvm_pushstr(vm, name, 1);
  veskvm_pushi(vm, v);
  veskvm_gstore(vm);
}

/* The entry of a string key in stigmergy id of vm, or null. */
inline veskvstig_elem_t vstig_entry(veskvm_t vm, uint16_t id, const char *key) {
  veskvstig_t vs = veskvstig_find(vm, id);
  if (!vs) return nullptr;
  veskobj_t k = veskobj_new(VESKTYPE_STRING);
  k->s.str = key;
  veskvstig_elem_t e = veskvstig_lookup(vs, k);
  veskobj_destroy(&k);
  return e;
}

/* A VM of robot `robot` loaded with an empty program: libraries installed. */
class EmptyVm {
public:
  explicit EmptyVm(uint16_t robot = 1) : vm_(veskvm_new(robot)) {
    static const uint8_t code[] = {0x00, 0x00, VESKVM_INSTR_NOP, VESKVM_INSTR_DONE};
    veskvm_set_bcode(vm_, code, sizeof code);
  }
  ~EmptyVm() { veskvm_destroy(&vm_); }
  EmptyVm(const EmptyVm &) = delete;
  EmptyVm &operator=(const EmptyVm &) = delete;
  veskvm_t vm() const { return vm_; }
  operator veskvm_t() const { return vm_; }

  /* A heap string object (kept reachable on the stack). */
  veskobj_t str(const char *s) {
    veskvm_pushstr(vm_, s, 0);
    return veskvm_stack_at(vm_, 1);
  }
  veskobj_t num(int32_t v) {
    veskvm_pushi(vm_, v);
    return veskvm_stack_at(vm_, 1);
  }

  /* Adds an empty stigmergy table under id, as stigmergy.create does. */
  veskvstig_t add_vstig(uint16_t id) {
    veskvstig_t vs = veskvstig_new();
    veskdict_set(vm_->vstigs, &id, &vs);
    return vs;
  }

private:
  veskvm_t vm_;
};

inline std::string data_path(const std::string &name) {
  return std::string(VESK_SWARM_DATA) + "/" + name;
}

/* Builds a Vesk source file into bytecode (empty on failure, with a test failure). */
inline Bytes compile_file(const std::string &path) {
  vesk_test::BuiltScript script(path);
  EXPECT_TRUE(script.ok()) << "building " << path << ":\n" << script.messages();
  return script.code();
}

/* Builds a source text (saved in a directory of its own). */
inline Bytes compile_source(const std::string &source) {
  TempDir dir("vesk-swarm");
  return compile_file(dir.write("script.vsk", source));
}

/* One VM running a compiled script (top level executed, init called if defined). */
class ScriptVm {
public:
  ScriptVm(const std::string &source, uint16_t robot = 1)
      : code_(compile_source(source)), vm_(veskvm_new(robot)) {
    if (code_.empty()) return;
    veskvm_set_bcode(vm_, code_.data(), static_cast<uint32_t>(code_.size()));
    veskvm_execute_script(vm_);
  }
  ~ScriptVm() { veskvm_destroy(&vm_); }
  ScriptVm(const ScriptVm &) = delete;
  ScriptVm &operator=(const ScriptVm &) = delete;
  veskvm_t vm() const { return vm_; }
  operator veskvm_t() const { return vm_; }
  bool loaded() const { return !code_.empty(); }
  /* Calls a global script function without arguments; returns the state. */
  int call(const char *fn) { return veskvm_function_call(vm_, fn, 0); }
  std::string error() const { return veskvm_strerror(vm_); }

private:
  Bytes code_;
  veskvm_t vm_;
};

/* A harness running one script file on robots with the given ids. */
class Swarm {
public:
  Swarm(const std::string &file, std::vector<uint16_t> ids, uint32_t payload = 256,
        veskharness_setup_funp setup = nullptr, void *params = nullptr)
      : code_(compile_file(data_path(file))),
        h_(veskharness_new(static_cast<uint32_t>(ids.size()), ids.data(), payload)) {
    if (!code_.empty())
      not_ready_ = veskharness_load(h_, code_.data(), static_cast<uint32_t>(code_.size()),
                                    setup, params);
  }
  ~Swarm() { veskharness_destroy(&h_); }
  Swarm(const Swarm &) = delete;
  Swarm &operator=(const Swarm &) = delete;

  bool loaded() const { return !code_.empty() && not_ready_ == 0; }
  veskvm_t vm(uint32_t i) const { return veskharness_vm(h_, i); }
  veskharness_t h() const { return h_; }
  /* Runs n steps; false as soon as a VM stops being ready. */
  bool step(int n = 1) {
    for (int i = 0; i < n; ++i)
      if (veskharness_step(h_) != 0) return false;
    return true;
  }
  /* Every robot hears its predecessor and successor (a line). */
  void line(float spacing = 1.0f) {
    for (uint32_t i = 0; i + 1 < veskharness_size(h_); ++i)
      veskharness_link_both(h_, i, i + 1, spacing);
  }
  void full() {
    for (uint32_t i = 0; i < veskharness_size(h_); ++i)
      for (uint32_t j = i + 1; j < veskharness_size(h_); ++j)
        veskharness_link_both(h_, i, j, 1);
  }

private:
  Bytes code_;
  veskharness_t h_;
  uint32_t not_ready_ = 1;
};

} // namespace swarm_test

#endif
