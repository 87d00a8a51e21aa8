// Replays fuzz inputs without libFuzzer: every file named on the command line,
// and every file inside a folder named there, goes through the target once.
// A crash or sanitizer report fails the run, as it would under the fuzzer.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) __attribute__((weak));

namespace fs = std::filesystem;

static bool RunFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "cannot read %s\n", path.string().c_str());
    return false;
  }
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
  return true;
}

int main(int argc, char** argv) {
  if (LLVMFuzzerInitialize) LLVMFuzzerInitialize(&argc, &argv);
  int files = 0;
  bool ok = true;
  for (int i = 1; i < argc; ++i) {
    const fs::path arg(argv[i]);
    std::vector<fs::path> inputs;
    if (fs::is_directory(arg)) {
      for (const auto& e : fs::recursive_directory_iterator(arg))
        if (e.is_regular_file()) inputs.push_back(e.path());
      std::sort(inputs.begin(), inputs.end());
    } else {
      inputs.push_back(arg);
    }
    for (const fs::path& p : inputs) {
      ok = RunFile(p) && ok;
      ++files;
    }
  }
  std::printf("replayed %d input(s)\n", files);
  // An empty corpus means the seeds were never made: that is a failure too.
  return ok && files > 0 ? 0 : 1;
}
