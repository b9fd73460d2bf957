/*
 * Building Vesk scripts in tests through veskbuild.
 */
#include "script_build.h"

#include "veskbuild.h"

#include <cstdlib>

namespace vesk_test {

BuiltScript::BuiltScript(const std::string &source_path) {
  uint8_t *bcode = nullptr;
  uint32_t size = 0;
  char *messages = nullptr;
  ok_ = veskbuild_memory_named(source_path.c_str(), nullptr, &bcode, &size, &dbg_,
                               &messages) != 0;
  if (ok_) code_.assign(bcode, bcode + size);
  if (messages != nullptr) messages_ = messages;
  free(messages);
  free(bcode);
}

BuiltScript::~BuiltScript() {
  veskdebug_destroy(&dbg_);
}

veskdebug_t BuiltScript::release_debug() {
  veskdebug_t dbg = dbg_;
  dbg_ = nullptr;
  return dbg;
}

bool BuildFiles(const std::string &source_path) {
  return veskbuild_files(source_path.c_str()) == 0;
}

} // namespace vesk_test
