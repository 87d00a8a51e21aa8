#include "TestSupport.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>

#include "Logger.h"
#include "ParametersUnit.h"

namespace vgrtest {

TTempDir::TTempDir() {
  std::string templ = (std::filesystem::temp_directory_path() / "vgrtest-XXXXXX").string();
  if (!::mkdtemp(templ.data())) throw std::runtime_error("mkdtemp failed");
  Path_ = templ + "/";
}

TTempDir::~TTempDir() {
  std::error_code ec;
  std::filesystem::remove_all(Path_, ec);
}

// Every test program is built into the program folder, beside the game and
// its tools; the build's cache names the sources it was configured from.
// Both are found at run time, so no object depends on where the tree lies.
std::string BinDir() {
  static const std::string dir = [] {
    if (const char* set = std::getenv("VGR_BIN_DIR"); set && *set) return std::string(set);
    std::error_code failed;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", failed);
    if (failed) throw std::runtime_error("the test program cannot find its own folder");
    return self.parent_path().string();
  }();
  return dir;
}

std::string SourceDir() {
  static const std::string dir = [] {
    if (const char* set = std::getenv("VGR_SOURCE_DIR"); set && *set) return std::string(set);
    const std::string cache = BinDir() + "/../CMakeCache.txt";
    std::ifstream in(cache);
    const std::string key = "CMAKE_HOME_DIRECTORY:INTERNAL=";
    for (std::string line; std::getline(in, line);) {
      if (line.rfind(key, 0) == 0) return line.substr(key.size());
    }
    throw std::runtime_error("no source folder named in " + cache);
  }();
  return dir;
}

std::string ReadTextFile(const std::string& fileName) {
  std::ifstream in(fileName, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

std::vector<uint8_t> ReadBinaryFile(const std::string& fileName) {
  std::string s = ReadTextFile(fileName);
  return std::vector<uint8_t>(s.begin(), s.end());
}

void WriteFile(const std::string& fileName, const std::string& content) {
  std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
  out << content;
}

void WriteFile(const std::string& fileName, const std::vector<uint8_t>& content) {
  std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(content.data()), static_cast<std::streamsize>(content.size()));
}

std::vector<std::string> SplitCRLF(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find("\r\n", start);
    if (end == std::string::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

std::vector<std::string> Matching(const std::vector<std::string>& lines, const std::string& needle) {
  std::vector<std::string> out;
  for (const auto& l : lines)
    if (l.find(needle) != std::string::npos) out.push_back(l);
  return out;
}

struct TScopedLog::Impl {
  std::unique_ptr<TLogger> Logger;
  TLogger* Previous = nullptr;
};

TScopedLog::TScopedLog() : Impl_(std::make_unique<Impl>()) {
  TParameters params({Dir_.Path() + "test"});
  Impl_->Logger = std::make_unique<TLogger>(Dir_.Path() + "test.log", false, &params);
  Impl_->Previous = Log;
  Log = Impl_->Logger.get();
}

TScopedLog::~TScopedLog() {
  Log = Impl_->Previous;
}

std::vector<std::string> TScopedLog::Lines() const { return SplitCRLF(ReadTextFile(FileName())); }

std::string TScopedLog::FileName() const { return Dir_.Path() + "test.log"; }

}  // namespace vgrtest
