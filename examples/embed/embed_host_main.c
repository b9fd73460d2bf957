/*
 * Embedding Vesk in a C program: loads a compiled script (FILE.vo, made with
 * `vsk build FILE.vsk`), gives it the native function sense, runs its top
 * level, then calls its function step three times from the host.
 */
#include <stdio.h>
#include <stdlib.h>

#include "veskvm.h"

/* sense(robot): a made-up range reading that depends on the robot. */
static int sense(veskvm_t vm) {
  if (veskvm_lnum_assert(vm, 1) != VESKVM_STATE_READY) return vm->state;
  veskobj_t robot = veskvm_lsym(vm, 1);
  if (veskobj_type(robot) != VESKTYPE_INT)
    return veskvm_type_error(vm, VESKTYPE_INT, robot);
  veskvm_pushi(vm, 100 + 10 * robot->i.value);
  return veskvm_ret1(vm);
}

/* Reads a whole file into a malloc'ed buffer; NULL on failure. */
static uint8_t *load(const char *path, uint32_t *size) {
  FILE *f = fopen(path, "rb");
  if (!f) {
    perror(path);
    return NULL;
  }
  uint8_t *buf = NULL;
  long n = fseek(f, 0, SEEK_END) == 0 ? ftell(f) : -1;
  if (n > 0 && fseek(f, 0, SEEK_SET) == 0 && (buf = malloc((size_t)n)) != NULL &&
      fread(buf, 1, (size_t)n, f) != (size_t)n) {
    free(buf);
    buf = NULL;
  }
  fclose(f);
  if (!buf) fprintf(stderr, "%s: cannot read the bytecode\n", path);
  *size = (uint32_t)n;
  return buf;
}

static int run(veskvm_t vm) {
  if (veskvm_execute_script(vm) != VESKVM_STATE_DONE) return 1;
  for (int32_t speed = 5; speed <= 15; speed += 5) {
    veskvm_pushi(vm, speed);
    if (veskvm_function_call(vm, "step", 1) != VESKVM_STATE_READY) return 1;
    veskobj_t left = veskvm_stack_at(vm, 1);
    if (!left || veskobj_type(left) != VESKTYPE_INT) return 1;
    printf("step(%d) -> %d\n", speed, left->i.value);
    veskvm_pop(vm);
  }
  return 0;
}

int main(int argc, char **argv) {
  if (argc != 2) {
    fprintf(stderr, "Usage: %s FILE.vo\n", argv[0]);
    return 2;
  }
  uint32_t size;
  uint8_t *bcode = load(argv[1], &size); /* must outlive the VM */
  if (!bcode) return 1;
  veskvm_t vm = veskvm_new(7);
  int status = 1;
  if (veskvm_set_bcode(vm, bcode, size) == VESKVM_STATE_READY &&
      veskvm_register_global_function(vm, "sense", sense) == VESKVM_STATE_READY)
    status = run(vm);
  if (status) fprintf(stderr, "%s: %s\n", argv[1], veskvm_strerror(vm));
  veskvm_destroy(&vm);
  free(bcode);
  return status;
}
