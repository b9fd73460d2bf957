/*
 * Console runner: the part of vskrun that the vsk front end shares. Loads
 * files, gives the script a print function, steps the VM (optionally
 * tracing) and reports the end of the run with the failing source position.
 */
#include "vesktools.h"
#include "veskasm.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

/* Writes the whole buffer, repeating partial writes; false after perror. */
static bool write_all(int fd, const uint8_t *buf, uint32_t size, const char *path) {
  uint32_t done = 0;
  while (done < size) {
    ssize_t n = write(fd, buf + done, size - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      perror(path);
      return false;
    }
    done += (uint32_t)n;
  }
  return true;
}

int vesktools_assemble_files(const char *vasm, const char *vo, const char *vdb) {
  /* The bytecode file is emptied first, so a failed assembly leaves no stale
   * code behind; without it there is nothing worth assembling. */
  int fd = open(vo, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) {
    perror(vo);
    return 1;
  }
  uint8_t *bcode = nullptr;
  uint32_t size = 0;
  veskdebug_t dbg = nullptr;
  int status = vesk_asm(vasm, &bcode, &size, &dbg) ? 1 : 0;
  if (status == 0 && !write_all(fd, bcode, size, vo)) status = 1;
  if (close(fd) != 0 && status == 0) {
    perror(vo);
    status = 1;
  }
  if (status == 0 && !veskdebug_tofile(vdb, dbg)) {
    perror(vdb);
    status = 1;
  }
  free(bcode);
  veskdebug_destroy(&dbg);
  return status;
}

int vesktools_load(const char *path, uint8_t **buf, uint32_t *size) {
  *buf = nullptr;
  *size = 0;
  FILE *f = fopen(path, "rb");
  if (!f) {
    perror(path);
    return 0;
  }
  long len = -1;
  if (fseek(f, 0, SEEK_END) == 0) len = ftell(f);
  if (len < 0 || fseek(f, 0, SEEK_SET) != 0) {
    perror(path);
    fclose(f);
    return 0;
  }
  if ((unsigned long)len > UINT32_MAX) {
    fprintf(stderr, "%s: file too large\n", path);
    fclose(f);
    return 0;
  }
  /* One spare byte: a zero-length file still gets a buffer. */
  *buf = (uint8_t *)malloc((size_t)len + 1);
  if (!*buf) {
    perror(path);
    fclose(f);
    return 0;
  }
  size_t got = 0;
  while (got < (size_t)len) {
    size_t n = fread(*buf + got, 1, (size_t)len - got, f);
    if (n == 0) {
      /* A directory or a file that shrank: report and keep what arrived. */
      if (!ferror(f)) errno = EIO;
      perror(path);
      break;
    }
    got += n;
  }
  fclose(f);
  *size = (uint32_t)got;
  return 1;
}

veskdebug_t vesktools_load_debug(const char *path) {
  veskdebug_t dbg = veskdebug_new();
  if (!veskdebug_fromfile(dbg, path)) perror(path);
  return dbg;
}

int vesktools_print(veskvm_t vm) {
  int64_t n = veskvm_lnum(vm);
  for (int64_t i = 1; i <= n; ++i) {
    veskobj_t o = veskvm_checkarg(vm, (uint32_t)i);
    if (!o) return vm->state;
    veskobj_print(stdout, o, VESKOBJ_PRINT_TEXT);
    veskvm_pop(vm);
  }
  putchar('\n');
  return veskvm_ret0(vm);
}

void vesktools_register_print(veskvm_t vm) {
  veskvm_pushs(vm, veskstrman_register(vm->strings, "print", 1));
  uint32_t fid = veskvm_function_register(vm, vesktools_print);
  veskvm_pushc(vm, (int32_t)fid, 0);
  veskvm_gstore(vm);
}

/* Reports a run that did not reach "done", at the instruction that failed. */
static void report_failure(const char *name, veskvm_t vm, veskdebug_t dbg) {
  int32_t off = veskvm_error_offset(vm);
  veskdebug_entry_t e =
      off >= 0 ? veskdebug_info_get_fromoffset(dbg, (uint32_t)off) : nullptr;
  if (e)
    fprintf(stderr, "%s: execution terminated abnormally at %s:%lu:%lu : %s\n\n", name,
            e->fname, (unsigned long)e->line, (unsigned long)e->col, veskvm_strerror(vm));
  else
    fprintf(stderr, "%s: execution terminated abnormally at bytecode offset %d: %s\n\n",
            name, off, veskvm_strerror(vm));
}

int vesktools_run(const char *name, const uint8_t *bcode, uint32_t size, veskdebug_t dbg,
                   int trace) {
  veskvm_t vm = veskvm_new(1);
  veskvm_set_bcode(vm, bcode, size);
  vesktools_register_print(vm);
  if (trace) {
    do {
      veskdebug_stack_dump(vm, 1, stdout);
    } while (veskvm_step(vm) == VESKVM_STATE_READY);
    veskdebug_stack_dump(vm, 1, stdout);
  } else {
    veskvm_execute_script(vm);
  }
  int status = 0;
  if (vm->state == VESKVM_STATE_DONE) {
    printf("%s: execution terminated correctly\n\n", name);
  } else {
    fflush(stdout);
    report_failure(name, vm, dbg);
    status = 1;
  }
  fflush(stdout);
  veskvm_destroy(&vm);
  return status;
}
