/*
 * Little-endian fields, the byte order of the bytecode (string count,
 * instruction arguments) and of the debug-information file: readers and a
 * writer shared by the VM, the assembler and the debug information.
 */
#ifndef VESKBYTES_H
#define VESKBYTES_H

#include <stdint.h>

/* The 16-bit field at p. */
inline uint16_t vesk_get_le16(const uint8_t *p) {
  return static_cast<uint16_t>(static_cast<uint32_t>(p[0]) |
                               (static_cast<uint32_t>(p[1]) << 8));
}

/* The 32-bit field at p (written out so that the compiler makes it one load). */
inline uint32_t vesk_get_le32(const uint8_t *p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

/* The n-byte field at p, n from 1 to 8. */
inline uint64_t vesk_get_le(const uint8_t *p, int n) {
  uint64_t v = 0;
  for (int i = n - 1; i >= 0; --i)
    v = (v << 8) | p[i];
  return v;
}

/* Writes the low n bytes of v at p, n from 1 to 8. */
inline void vesk_put_le(uint8_t *p, uint64_t v, int n) {
  for (int i = 0; i < n; ++i)
    p[i] = static_cast<uint8_t>(v >> (8 * i));
}

#endif
