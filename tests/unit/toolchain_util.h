/*
 * Helpers for the assembler and debug-information tests: whole-file reads
 * and writes (in a TempDir per test), and a vesk_asm wrapper that keeps
 * what the assembler printed.
 */
#ifndef TOOLCHAIN_UTIL_H
#define TOOLCHAIN_UTIL_H

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "temp_dir.h"
#include "veskasm.h"

namespace toolchain_test {

using Bytes = std::vector<uint8_t>;

inline void write_file(const std::string &path, const std::string &text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

inline void write_bytes(const std::string &path, const Bytes &b) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char *>(b.data()), (std::streamsize)b.size());
}

inline std::string read_file(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

inline Bytes read_bytes(const std::string &path) {
  std::string s = read_file(path);
  return Bytes(s.begin(), s.end());
}

/* Outcome of one assembly run. */
struct AsmResult {
  int status = -1;
  Bytes code;
  std::string err; /* everything printed on standard error */
  veskdebug_t dbg = nullptr;
  AsmResult() = default;
  AsmResult(const AsmResult &) = delete;
  AsmResult(AsmResult &&o) noexcept
      : status(o.status), code(std::move(o.code)), err(std::move(o.err)), dbg(o.dbg) {
    o.dbg = nullptr;
  }
  AsmResult &operator=(AsmResult &&o) noexcept {
    std::swap(status, o.status);
    std::swap(code, o.code);
    std::swap(err, o.err);
    std::swap(dbg, o.dbg);
    return *this;
  }
  ~AsmResult() { veskdebug_destroy(&dbg); }
};

inline AsmResult assemble_file(const std::string &path) {
  AsmResult r;
  uint8_t *buf = reinterpret_cast<uint8_t *>(1); /* must be overwritten */
  uint32_t size = 12345;
  testing::internal::CaptureStderr();
  r.status = vesk_asm(path.c_str(), &buf, &size, &r.dbg);
  r.err = testing::internal::GetCapturedStderr();
  if (buf)
    r.code.assign(buf, buf + size);
  else
    EXPECT_EQ(size, 0u);
  free(buf);
  return r;
}

/* Little-endian 32-bit value as four bytes. */
inline Bytes le32(uint32_t v) {
  return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
}

inline Bytes cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes &p : parts)
    out.insert(out.end(), p.begin(), p.end());
  return out;
}

} // namespace toolchain_test

#endif
