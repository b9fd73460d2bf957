/*
 * A fresh directory under the system's temporary directory for one test (or,
 * through TestProgramDir, for a whole test program), given by its real path
 * (sources compiled from it report that path) and removed with everything
 * in it at the end.
 */
#ifndef VESK_TEST_TEMP_DIR_H
#define VESK_TEST_TEMP_DIR_H

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

class TempDir {
public:
  explicit TempDir(const std::string &prefix = "vesk-test") {
    std::string tmpl =
        (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
    if (mkdtemp(tmpl.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
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

  const std::string &path() const { return path_; }
  /* The path of a file in the directory. */
  std::string file(const std::string &name) const { return path_ + "/" + name; }
  /* Writes a file in the directory and returns its path. */
  std::string write(const std::string &name, const std::string &content) const {
    std::string p = file(name);
    std::ofstream(p, std::ios::binary) << content;
    return p;
  }

private:
  std::string path_;
};

/* One directory for the whole test program, removed when it exits. */
inline const TempDir &TestProgramDir() {
  static const TempDir dir("vesk-tests");
  return dir;
}

#endif
