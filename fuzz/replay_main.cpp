/*
 * Replays fuzz inputs without libFuzzer: a main that feeds every file of
 * the directories (or files) on its command line to a target's
 * LLVMFuzzerTestOneInput. Built with the ordinary compiler, it lets CTest
 * check the seed corpora and the inputs of past findings on every build,
 * the sanitizer build included. A fault aborts, which fails the test.
 */
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int *argc, char ***argv);

namespace fs = std::filesystem;

static void replay(const fs::path &file) {
  std::ifstream in(file, std::ios::binary);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                             std::istreambuf_iterator<char>());
  /* Its own allocation, so that reads past the end are past an allocation. */
  std::vector<uint8_t> copy(bytes);
  LLVMFuzzerTestOneInput(copy.data(), copy.size());
}

int main(int argc, char **argv) {
  if (LLVMFuzzerInitialize) LLVMFuzzerInitialize(&argc, &argv);
  unsigned n = 0;
  for (int i = 1; i < argc; ++i) {
    fs::path p(argv[i]);
    if (!fs::exists(p)) continue; /* a target may have no past findings */
    std::vector<fs::path> files;
    if (fs::is_directory(p)) {
      for (const auto &e : fs::directory_iterator(p))
        if (e.is_regular_file()) files.push_back(e.path());
    } else {
      files.push_back(p);
    }
    std::sort(files.begin(), files.end());
    for (const auto &f : files) {
      replay(f);
      ++n;
    }
  }
  printf("replayed %u inputs\n", n);
  return n > 0 ? 0 : 1;
}
