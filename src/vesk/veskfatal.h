/*
 * Failed allocations in the runtime and the tool chain: running out of memory
 * is not recoverable, so the process stops with a message on the standard
 * error. Each module passes its own message text.
 */
#ifndef VESKFATAL_H
#define VESKFATAL_H

#include <stdio.h>
#include <stdlib.h>

/* Writes msg (as it is, newline included) to the standard error and aborts. */
[[noreturn]] inline void vesk_fatal(const char *msg) {
  fputs(msg, stderr);
  abort();
}

/* p itself, unless it is null (a failed allocation): then stops with msg. */
inline void *vesk_checked(void *p, const char *msg) {
  if (!p) vesk_fatal(msg);
  return p;
}

#endif
