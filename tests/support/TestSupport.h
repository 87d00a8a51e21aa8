#pragma once
// Helpers shared by the test suites: scratch folders, file I/O, and a halt
// that throws instead of ending the test process.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vgrtest {

// A fresh empty folder under the system's temporary folder, removed when the
// object goes away. Path() ends with "/".
class TTempDir {
 public:
  TTempDir();
  ~TTempDir();
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;
  const std::string& Path() const { return Path_; }
  std::string operator/(const std::string& name) const { return Path_ + name; }

 private:
  std::string Path_;
};

// The build's program folder (build/bin) and the top of the source tree,
// without a closing "/", found at run time (VGR_BIN_DIR and VGR_SOURCE_DIR in
// the environment win), so that no test object depends on where the tree
// lies and a compiler cache filled from one clone serves another.
std::string BinDir();
std::string SourceDir();

std::string ReadTextFile(const std::string& fileName);
std::vector<uint8_t> ReadBinaryFile(const std::string& fileName);
void WriteFile(const std::string& fileName, const std::string& content);
void WriteFile(const std::string& fileName, const std::vector<uint8_t>& content);
// Lines of a CR LF text, without their line ends.
std::vector<std::string> SplitCRLF(const std::string& text);
// The lines that contain `needle`, in order.
std::vector<std::string> Matching(const std::vector<std::string>& lines, const std::string& needle);

// Opens a log for the test in a temporary file (all levels on, no filters)
// and restores the disabled log when it goes away.
class TScopedLog {
 public:
  TScopedLog();
  ~TScopedLog();
  // Every line written so far.
  std::vector<std::string> Lines() const;
  std::string FileName() const;

 private:
  TTempDir Dir_;
  struct Impl;
  std::unique_ptr<Impl> Impl_;
};

}  // namespace vgrtest
