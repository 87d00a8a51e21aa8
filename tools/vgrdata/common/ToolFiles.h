#pragma once
// The files a command reads and writes. A file that cannot be used ends the
// command: the problem is thrown and the tool's top level prints it and
// exits 1, so that no command reports success over a missing or empty output.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace vgrdata {

struct TFileProblem : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Throws "X is a folder, not a file", "X does not exist" or "X is not a
// regular file" unless `name` is a regular file.
void RequireInputFile(const std::string& name);
// The whole regular file.
std::vector<uint8_t> ReadInputFile(const std::string& name);
// The files the running command reads, by identity (device and inode, so
// under any name or link): RequireInputFile notes each one. An output that
// is one of them would destroy what is being read, and is refused by
// RequireNotAnInput ("X is a file this command reads; it is not
// overwritten"), which WriteOutputFile asks first.
void NoteInputFile(const std::string& name);
void ForgetInputFiles();
void RequireNotAnInput(const std::string& output);
// Writes the whole file and checks every write and the close; a failed
// output is removed (unless it is a device such as /dev/full) before the
// problem is thrown.
void WriteOutputFile(const std::string& name, const std::vector<uint8_t>& data);
// Removes the output `name` when the command fails after creating it:
// declared before the output is written, dismissed on success.
class TOutputGuard {
 public:
  explicit TOutputGuard(std::string name);
  ~TOutputGuard();
  TOutputGuard(const TOutputGuard&) = delete;
  TOutputGuard& operator=(const TOutputGuard&) = delete;
  void Keep() { Keep_ = true; }

 private:
  std::string Name_;
  bool Existed_ = false;
  bool Keep_ = false;
};

}  // namespace vgrdata
