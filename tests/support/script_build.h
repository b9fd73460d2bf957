/*
 * Building Vesk scripts in tests, through veskbuild as the tools build them:
 * in memory, keeping the compiler's and assembler's messages, or into the
 * .vasm, .vo and .vdb files beside the source as `vsk build` writes them.
 */
#ifndef VESK_TEST_SCRIPT_BUILD_H
#define VESK_TEST_SCRIPT_BUILD_H

#include <cstdint>
#include <string>
#include <vector>

#include "veskdebug.h"

namespace vesk_test {

/* A script built in memory: its bytecode and debug object, or the messages
 * that say why it did not build. */
class BuiltScript {
public:
  explicit BuiltScript(const std::string &source_path);
  ~BuiltScript();
  BuiltScript(const BuiltScript &) = delete;
  BuiltScript &operator=(const BuiltScript &) = delete;

  bool ok() const { return ok_; }
  const std::vector<uint8_t> &code() const { return code_; }
  /* The compiler's and assembler's messages (empty for a clean build). */
  const std::string &messages() const { return messages_; }
  /* Hands the debug object over to the caller (null when there is none). */
  veskdebug_t release_debug();

private:
  bool ok_ = false;
  std::vector<uint8_t> code_;
  std::string messages_;
  veskdebug_t dbg_ = nullptr;
};

/* Builds source_path into the .vasm, .vo and .vdb files beside it; the
 * messages of a failed build are on standard error. True when it built. */
bool BuildFiles(const std::string &source_path);

} // namespace vesk_test

#endif
