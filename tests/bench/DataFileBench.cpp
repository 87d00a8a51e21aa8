// Loading hostile configuration files of 16 MB, the largest a data file is
// expected to be: every one must load in well under a second. Both are read
// from a loose file through the lookup, as the game reads Zapkin.ini.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "ZRINIFile.h"

namespace {

constexpr std::size_t kSize = 16u << 20;

std::string WriteScratch(const std::string& name, const std::string& text) {
  std::string templ = (std::filesystem::temp_directory_path() / "vgrbench-XXXXXX").string();
  if (!::mkdtemp(templ.data())) std::abort();
  const std::string file = templ + "/" + name;
  std::FILE* f = std::fopen(file.c_str(), "wb");
  if (!f || std::fwrite(text.data(), 1, text.size(), f) != text.size() || std::fclose(f) != 0) std::abort();
  return file;
}

// Distinct sections of one line each: about a million of them.
void BM_IniOfManySections16MB(benchmark::State& state) {
  std::string text;
  for (int i = 0; text.size() < kSize; ++i) text += "[S" + std::to_string(i) + "]\nK=" + std::to_string(i) + "\n";
  const std::string file = WriteScratch("many.ini", text);
  for (auto _ : state) {
    TIniFile ini(file, true);
    benchmark::DoNotOptimize(ini.Sections.size());
  }
  std::filesystem::remove_all(std::filesystem::path(file).parent_path());
}
BENCHMARK(BM_IniOfManySections16MB)->Unit(benchmark::kMillisecond)->Iterations(3);

// One line of 16 MB: cut while it is read, the file refused.
void BM_IniOfOneLine16MB(benchmark::State& state) {
  const std::string file = WriteScratch("line.ini", "[A]\nK=" + std::string(kSize, 'v') + "\n");
  for (auto _ : state) {
    TIniFile ini(file, true);
    benchmark::DoNotOptimize(ini.Sections.size());
  }
  std::filesystem::remove_all(std::filesystem::path(file).parent_path());
}
BENCHMARK(BM_IniOfOneLine16MB)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
