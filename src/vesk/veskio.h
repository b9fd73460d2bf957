/*
 * File library of Vesk scripts: the global table "io" with line-oriented
 * access to the host's files (open, close, size, per-line callback, writing
 * values as text lines) and the fields "errno" and "error_message", which
 * show the system's error indicator after every file operation.
 */
#ifndef VESKIO_H
#define VESKIO_H

#include <stdint.h>
#include "veskvm.h"

VESK_BEGIN_DECLS

/*
 * Builds the "io" table and stores it as a global, clears the system error
 * indicator and sets the error fields (errno 0, "No error"). Returns the state.
 */
VESK_API int veskio_register(veskvm_t vm);

/*
 * Sets io.errno and io.error_message from the system's error number. Leaves
 * the VM stack as it found it.
 */
VESK_API void veskio_update_error(veskvm_t vm);

/* Closes every stream the VM's scripts left open (called when the VM goes away). */
VESK_API void veskio_release(veskvm_t vm);

/* Number of streams the VM's scripts currently have open. */
VESK_API uint32_t veskio_open_streams(veskvm_t vm);

VESK_END_DECLS

#endif
