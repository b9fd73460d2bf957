/*
 * Assembler and disassembler: assembly text (.vasm) to bytecode plus debug
 * information, bytecode back to an annotated listing, and the rendering of
 * one instruction as text.
 */
#ifndef VESKASM_H
#define VESKASM_H

#include <stdint.h>
#include <stdio.h>
#include "veskdebug.h"

VESK_BEGIN_DECLS

/*
 * Assembles the file at path. The debug object is always created and handed
 * out (release it with veskdebug_destroy). Returns 0 with a malloc'ed buffer
 * (release with free), 1 when the file cannot be opened (after perror), 2 on
 * an assembly error (after a message); on an error the buffer is null and the
 * size 0.
 */
VESK_API int vesk_asm(const char *path, uint8_t **bcode, uint32_t *size,
                      veskdebug_t *dbg);

/* The same on a stream open for reading, which stays open; name is the file
 * name used in messages. */
VESK_API int vesk_asm_stream(FILE *in, const char *name, uint8_t **bcode, uint32_t *size,
                             veskdebug_t *dbg);

/*
 * Writes the listing of a bytecode buffer to path, annotated from dbg (which
 * may be null). Returns 0, 1 when the file cannot be created (after perror),
 * 2 on malformed bytecode (after a message; the partial listing stays).
 */
VESK_API int vesk_deasm(const uint8_t *bcode, uint32_t size, veskdebug_t dbg,
                        const char *path);

/*
 * Renders the instruction at offset as a newly allocated text (the caller
 * frees it): 1 on success, 0 when the byte is no opcode. The argument bytes
 * are not bounds-checked: pass only offsets of whole instructions.
 */
VESK_API int vesk_instruction_deasm(const uint8_t *bcode, uint32_t offset, char **text);

VESK_END_DECLS

#endif
