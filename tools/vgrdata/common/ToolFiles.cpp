#include "ToolFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace vgrdata {

namespace {

std::string Reason(int error) { return std::strerror(error); }

std::vector<std::pair<dev_t, ino_t>>& Inputs() {
  static std::vector<std::pair<dev_t, ino_t>> inputs;
  return inputs;
}

}  // namespace

void NoteInputFile(const std::string& name) {
  struct stat st {};
  if (::stat(name.c_str(), &st) == 0 && S_ISREG(st.st_mode)) Inputs().emplace_back(st.st_dev, st.st_ino);
}

void ForgetInputFiles() { Inputs().clear(); }

void RequireNotAnInput(const std::string& output) {
  struct stat st {};
  if (::stat(output.c_str(), &st) != 0) return;
  for (const auto& [dev, ino] : Inputs()) {
    if (st.st_dev == dev && st.st_ino == ino)
      throw TFileProblem(output + " is a file this command reads; it is not overwritten");
  }
}

void RequireInputFile(const std::string& name) {
  struct stat st {};
  if (::stat(name.c_str(), &st) != 0) {
    if (errno == ENOENT) throw TFileProblem(name + " does not exist");
    throw TFileProblem("cannot read " + name + ": " + Reason(errno));
  }
  if (S_ISDIR(st.st_mode)) throw TFileProblem(name + " is a folder, not a file");
  // A pipe or a device would hold the command in a read that never ends.
  if (!S_ISREG(st.st_mode)) throw TFileProblem(name + " is not a regular file");
  Inputs().emplace_back(st.st_dev, st.st_ino);
}

std::vector<uint8_t> ReadInputFile(const std::string& name) {
  RequireInputFile(name);
  const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw TFileProblem("cannot read " + name + ": " + Reason(errno));
  std::vector<uint8_t> data;
  uint8_t block[65536];
  for (;;) {
    const ssize_t n = ::read(fd, block, sizeof block);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int error = errno;
      ::close(fd);
      throw TFileProblem("cannot read " + name + ": " + Reason(error));
    }
    if (n == 0) break;
    data.insert(data.end(), block, block + n);
  }
  ::close(fd);
  return data;
}

void WriteOutputFile(const std::string& name, const std::vector<uint8_t>& data) {
  RequireNotAnInput(name);
  struct stat st {};
  const bool existed = ::stat(name.c_str(), &st) == 0;
  if (existed && S_ISDIR(st.st_mode)) throw TFileProblem(name + " is a folder, not a file");
  const bool removable = !existed || S_ISREG(st.st_mode);
  const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) throw TFileProblem("cannot write " + name + ": " + Reason(errno));
  int error = 0;
  std::size_t done = 0;
  while (done < data.size() && error == 0) {
    const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) error = n < 0 ? errno : ENOSPC;
    else done += static_cast<std::size_t>(n);
  }
  // Some file systems report a full disk only when the file is closed.
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error != 0) {
    if (removable) ::unlink(name.c_str());
    throw TFileProblem("cannot write " + name + ": " + Reason(error));
  }
}

TOutputGuard::TOutputGuard(std::string name) : Name_(std::move(name)) {
  struct stat st {};
  Existed_ = ::lstat(Name_.c_str(), &st) == 0;
}

TOutputGuard::~TOutputGuard() {
  // Only a file the command created itself: an existing device or link is
  // left alone, and so is an existing file the command did not get to.
  struct stat st {};
  if (!Keep_ && !Existed_ && ::lstat(Name_.c_str(), &st) == 0 && S_ISREG(st.st_mode)) ::unlink(Name_.c_str());
}

}  // namespace vgrdata
