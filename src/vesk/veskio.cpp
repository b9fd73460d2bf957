/*
 * The "io" library of Vesk scripts, on the standard buffered streams.
 *
 * A file table's "handle" does not hold the stream itself but a ticket: a
 * per-VM serial number under which the VM's stream registry keeps the open
 * stream. Tickets are never reused, so a handle whose stream was closed (or a
 * userdata some other code made) is recognised instead of being dereferenced,
 * and the streams a script forgets are closed when its VM goes away.
 */
#include "veskio.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <sys/types.h>

#include <mutex>
#include <string>
#include <unordered_map>

namespace {

/* The open streams of one VM, by ticket. */
struct StreamRegistry {
  uintptr_t next_ticket = 1;
  std::unordered_map<uintptr_t, FILE *> open;
};

/* VMs share nothing, but may live in different threads: the map is locked. */
std::mutex registries_lock;
std::unordered_map<const veskvm_s *, StreamRegistry> registries;

uintptr_t stream_add(veskvm_t vm, FILE *f) {
  std::lock_guard<std::mutex> hold(registries_lock);
  StreamRegistry &reg = registries[vm];
  uintptr_t ticket = reg.next_ticket++;
  reg.open[ticket] = f;
  return ticket;
}

/* What a ticket stands for in a VM. */
enum class TicketState { OPEN, CLOSED, UNKNOWN };

TicketState stream_lookup(veskvm_t vm, uintptr_t ticket, FILE **f) {
  std::lock_guard<std::mutex> hold(registries_lock);
  auto reg = registries.find(vm);
  if (reg == registries.end() || ticket == 0 || ticket >= reg->second.next_ticket)
    return TicketState::UNKNOWN;
  auto it = reg->second.open.find(ticket);
  if (it == reg->second.open.end()) return TicketState::CLOSED;
  *f = it->second;
  return TicketState::OPEN;
}

void stream_forget(veskvm_t vm, uintptr_t ticket) {
  std::lock_guard<std::mutex> hold(registries_lock);
  auto reg = registries.find(vm);
  if (reg != registries.end()) reg->second.open.erase(ticket);
}

bool ready(veskvm_t vm) {
  return vm->state == VESKVM_STATE_READY;
}

/* With a table on top: pushes table[key] and returns it (the table stays below). */
veskobj_t get_field(veskvm_t vm, const char *key) {
  veskvm_dup(vm);
  veskvm_pushstr(vm, key, 1);
  veskvm_tget(vm);
  return veskvm_stack_at(vm, 1);
}

/* With a table on top: table[key] = what push_value pushes (the table stays). */
template <typename F> void put_field(veskvm_t vm, const char *key, F push_value) {
  veskvm_dup(vm);
  veskvm_pushstr(vm, key, 1);
  push_value();
  veskvm_tput(vm);
}

/* io.errno and io.error_message from the error number err. */
void set_error_fields(veskvm_t vm, int err) {
  if (!ready(vm)) return;
  veskvm_pushstr(vm, "io", 1);
  veskvm_gload(vm);
  if (veskobj_istable(veskvm_stack_at(vm, 1))) {
    put_field(vm, "errno", [&] { veskvm_pushi(vm, err); });
    put_field(vm, "error_message",
              [&] { veskvm_pushstr(vm, err ? strerror(err) : "No error", 0); });
  }
  veskvm_pop(vm);
}

/* The name of the file table on top, for messages. */
std::string file_name(veskvm_t vm) {
  veskobj_t name = get_field(vm, "name");
  std::string out = veskobj_isstring(name) ? name->s.str : "?";
  veskvm_pop(vm);
  return out;
}

/*
 * The open stream of the file table given as argument 1. A handle that is
 * missing, foreign or closed raises a VM error naming the function fname.
 */
FILE *file_arg(veskvm_t vm, const char *fname, uintptr_t *ticket) {
  if (!veskvm_checktable(vm, 1)) return nullptr;
  veskobj_t handle = get_field(vm, "handle");
  veskvm_pop(vm); /* the file table still holds it */
  const char *problem = "has a handle that io.fopen did not make";
  if (veskobj_isnil(handle)) {
    problem = "has no handle";
  } else if (veskobj_isuserdata(handle)) {
    FILE *f = nullptr;
    *ticket = (uintptr_t)handle->u.value;
    TicketState state = stream_lookup(vm, *ticket, &f);
    if (state == TicketState::OPEN) return f;
    if (state == TicketState::CLOSED) problem = "is already closed";
  }
  veskvm_seterror(vm, VESKVM_ERROR_TYPE, "%s: file '%s' %s", fname, file_name(vm).c_str(),
                  problem);
  return nullptr;
}

int io_fopen(veskvm_t vm) {
  if (!veskvm_checknargs(vm, 2)) return vm->state;
  const char *path = veskvm_checkstring(vm, 1);
  const char *mode = path ? veskvm_checkstring(vm, 2) : nullptr;
  if (!mode) return vm->state;
  FILE *f = fopen(path, mode);
  int err = errno;
  set_error_fields(vm, err);
  if (!f) {
    veskvm_pushnil(vm);
    return veskvm_ret1(vm);
  }
  uintptr_t ticket = stream_add(vm, f);
  veskvm_push(vm, veskheap_newobj(vm->heap, VESKTYPE_TABLE));
  put_field(vm, "handle", [&] { veskvm_pushu(vm, (void *)ticket); });
  put_field(vm, "name", [&] { veskvm_lload(vm, 1); });
  return veskvm_ret1(vm);
}

int io_fclose(veskvm_t vm) {
  uintptr_t ticket;
  if (!veskvm_checknargs(vm, 1)) return vm->state;
  FILE *f = file_arg(vm, "io.fclose", &ticket);
  if (!f) return vm->state;
  stream_forget(vm, ticket);
  fclose(f);
  set_error_fields(vm, errno);
  return veskvm_ret0(vm);
}

int io_fsize(veskvm_t vm) {
  uintptr_t ticket;
  if (!veskvm_checknargs(vm, 1)) return vm->state;
  FILE *f = file_arg(vm, "io.fsize", &ticket);
  if (!f) return vm->state;
  off_t size = -1;
  off_t pos = ftello(f);
  if (pos >= 0 && fseeko(f, 0, SEEK_END) == 0) {
    size = ftello(f);
    fseeko(f, pos, SEEK_SET);
  }
  set_error_fields(vm, errno);
  if (size > (off_t)INT32_MAX) {
    veskvm_seterror(vm, VESKVM_ERROR_TYPE,
                    "io.fsize: file '%s' has %lld bytes, more than an integer holds",
                    file_name(vm).c_str(), (long long)size);
    return vm->state;
  }
  veskvm_pushi(vm, (int32_t)size);
  return veskvm_ret1(vm);
}

/* Calls f (argument 2) with one line as its argument and discards what it returns. */
void call_with_line(veskvm_t vm, const char *line) {
  int64_t depth = veskvm_stack_size(vm);
  veskvm_lload(vm, 2);
  veskvm_pushstr(vm, line, 0);
  if (veskvm_closure_call(vm, 1) != VESKVM_STATE_READY) return;
  while (veskvm_stack_size(vm) > depth)
    veskvm_pop(vm);
}

int io_fforeach(veskvm_t vm) {
  uintptr_t ticket;
  if (!veskvm_checknargs(vm, 2)) return vm->state;
  FILE *f = file_arg(vm, "io.fforeach", &ticket);
  if (!f || !veskvm_checkclosure(vm, 2)) return vm->state;
  char *line = nullptr;
  size_t cap = 0;
  ssize_t len;
  while ((len = getline(&line, &cap, f)) >= 0) {
    if (len > 0 && line[len - 1] == '\n') line[len - 1] = '\0';
    call_with_line(vm, line);
    /* The callback may have failed, or closed this very file. */
    if (!ready(vm) || stream_lookup(vm, ticket, &f) != TicketState::OPEN) break;
  }
  int err = errno;
  free(line);
  if (!ready(vm)) return vm->state;
  set_error_fields(vm, err);
  return veskvm_ret0(vm);
}

int io_fwrite(veskvm_t vm) {
  uintptr_t ticket;
  int64_t n = veskvm_lnum(vm);
  if (!veskvm_checkminargs(vm, 2)) return vm->state;
  FILE *f = file_arg(vm, "io.fwrite", &ticket);
  if (!f) return vm->state;
  bool ok = true;
  for (int64_t i = 2; ok && i <= n; ++i) {
    veskobj_t v = veskvm_checkarg(vm, (uint32_t)i);
    if (!v) return vm->state;
    ok = veskobj_print(f, v, VESKOBJ_PRINT_TEXT) >= 0;
    veskvm_pop(vm);
  }
  if (ok) fputc('\n', f);
  set_error_fields(vm, errno);
  return veskvm_ret0(vm);
}

struct NamedFunction {
  const char *name;
  veskvm_funp fun;
};

const NamedFunction IO_FUNCTIONS[] = {{"fopen", io_fopen},
                                      {"fclose", io_fclose},
                                      {"fsize", io_fsize},
                                      {"fforeach", io_fforeach},
                                      {"fwrite", io_fwrite}};

} // namespace

int veskio_register(veskvm_t vm) {
  veskvm_pushstr(vm, "io", 1);
  veskvm_push(vm, veskheap_newobj(vm->heap, VESKTYPE_TABLE));
  for (const NamedFunction &f : IO_FUNCTIONS)
    veskvm_table_put_function(vm, f.name, f.fun);
  veskvm_gstore(vm);
  errno = 0;
  veskio_update_error(vm);
  return vm->state;
}

void veskio_update_error(veskvm_t vm) {
  set_error_fields(vm, errno);
}

void veskio_release(veskvm_t vm) {
  std::lock_guard<std::mutex> hold(registries_lock);
  auto reg = registries.find(vm);
  if (reg == registries.end()) return;
  for (auto &entry : reg->second.open)
    fclose(entry.second);
  registries.erase(reg);
}

uint32_t veskio_open_streams(veskvm_t vm) {
  std::lock_guard<std::mutex> hold(registries_lock);
  auto reg = registries.find(vm);
  return reg == registries.end() ? 0 : (uint32_t)reg->second.open.size();
}
