/*
 * A fresh directory under /tmp for one test, with its real path (sources
 * compiled from it report that path), removed at the end of the test.
 */
#ifndef VESK_TEST_TEMP_DIR_H
#define VESK_TEST_TEMP_DIR_H

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

class TempDir {
public:
  explicit TempDir(const std::string &prefix = "vesk-test") {
    std::string tmpl = "/tmp/" + prefix + "-XXXXXX";
    const char *d = mkdtemp(tmpl.data());
    EXPECT_NE(d, nullptr);
    char *real = realpath(tmpl.c_str(), nullptr);
    path_ = real ? real : tmpl;
    free(real);
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir &) = delete;
  TempDir &operator=(const TempDir &) = delete;

  /* Writes a file in the directory and returns its path. */
  std::string write(const std::string &name, const std::string &content) const {
    std::string p = path_ + "/" + name;
    std::ofstream(p, std::ios::binary) << content;
    return p;
  }
  const std::string &path() const { return path_; }

private:
  std::string path_;
};

#endif
