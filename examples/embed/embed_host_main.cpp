/*
 * Embedding Vesk in a C++ program: like embed_host_main.c, but it loads the files
 * with the debug library, so that a script error is reported at its source
 * position. After two good calls it calls step with a string, which the
 * script cannot add to a number.
 */
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "vesktools.h"
#include "veskvm.h"

namespace {

/* sense(robot): a made-up range reading that depends on the robot. */
int sense(veskvm_t vm) {
  if (veskvm_lnum_assert(vm, 1) != VESKVM_STATE_READY) return vm->state;
  veskobj_t robot = veskvm_lsym(vm, 1);
  if (veskobj_type(robot) != VESKTYPE_INT)
    return veskvm_type_error(vm, VESKTYPE_INT, robot);
  veskvm_pushi(vm, 100 + 10 * robot->i.value);
  return veskvm_ret1(vm);
}

/* Owners that release the C resources on every path out of main. */
struct VmDeleter {
  void operator()(veskvm_s *vm) const { veskvm_destroy(&vm); }
};
struct DebugDeleter {
  void operator()(veskdebug_s *dbg) const { veskdebug_destroy(&dbg); }
};
using Vm = std::unique_ptr<veskvm_s, VmDeleter>;
using Debug = std::unique_ptr<veskdebug_s, DebugDeleter>;
using Buffer = std::unique_ptr<uint8_t, decltype(&free)>;

std::string basename(const char *path) {
  std::string s(path);
  return s.substr(s.find_last_of('/') + 1);
}

/* Prints the VM's error with the source position of the failing instruction. */
int report(veskvm_t vm, veskdebug_t dbg) {
  int32_t off = veskvm_error_offset(vm);
  veskdebug_entry_t at = off >= 0 ? veskdebug_info_get_fromoffset(dbg, off) : nullptr;
  if (at)
    std::printf("error at %s:%lu:%lu: %s\n", basename(at->fname).c_str(),
                static_cast<unsigned long>(at->line), static_cast<unsigned long>(at->col),
                veskvm_strerror(vm));
  else
    std::printf("error: %s\n", veskvm_strerror(vm));
  return 1;
}

} // namespace

int main(int argc, char **argv) {
  if (argc != 3) {
    std::fprintf(stderr, "Usage: %s FILE.vo FILE.vdb\n", argv[0]);
    return 2;
  }
  uint8_t *raw = nullptr;
  uint32_t size = 0;
  if (!vesktools_load(argv[1], &raw, &size)) return 1;
  Buffer bcode(raw, &free); /* must outlive the VM, so it is declared first */
  Debug dbg(vesktools_load_debug(argv[2]));
  Vm vm(veskvm_new(7));
  if (veskvm_set_bcode(vm.get(), bcode.get(), size) != VESKVM_STATE_READY ||
      veskvm_register_global_function(vm.get(), "sense", sense) != VESKVM_STATE_READY ||
      veskvm_execute_script(vm.get()) != VESKVM_STATE_DONE)
    return report(vm.get(), dbg.get());
  const std::string text = "fast";
  for (int call = 1; call <= 3; ++call) {
    if (call < 3)
      veskvm_pushi(vm.get(), 20 * call);
    else
      veskvm_pushstr(vm.get(), text.c_str(), 0);
    if (veskvm_function_call(vm.get(), "step", 1) != VESKVM_STATE_READY)
      return report(vm.get(), dbg.get());
    veskobj_t left = veskvm_stack_at(vm.get(), 1);
    if (!left || veskobj_type(left) != VESKTYPE_INT) return report(vm.get(), dbg.get());
    std::printf("call %d: %d metres left\n", call, left->i.value);
    veskvm_pop(vm.get());
  }
  return 0;
}
