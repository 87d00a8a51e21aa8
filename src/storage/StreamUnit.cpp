#include "StreamUnit.h"

#include "FileWriteHook.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "ParametersUnit.h"

int64_t TStream::Size() {
  int64_t pos = Position();
  int64_t end = Seek(0, soEnd);
  Seek(pos, soBeginning);
  return end;
}

uint8_t TStream::ReadU8(bool* ok) {
  uint8_t b = 0;
  bool good = ReadBuffer(&b, 1);
  if (ok) *ok = good;
  return good ? b : 0;
}

uint16_t TStream::ReadU16(bool* ok) {
  uint8_t b[2] = {};
  bool good = ReadBuffer(b, 2);
  if (ok) *ok = good;
  return good ? static_cast<uint16_t>(b[0] | (b[1] << 8)) : 0;
}

uint32_t TStream::ReadU32(bool* ok) {
  uint8_t b[4] = {};
  bool good = ReadBuffer(b, 4);
  if (ok) *ok = good;
  return good ? (static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
                 (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24))
              : 0;
}

bool TStream::WriteU16(uint16_t v) {
  uint8_t b[2] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)};
  return WriteBuffer(b, 2);
}

bool TStream::WriteU32(uint32_t v) {
  uint8_t b[4] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
                  static_cast<uint8_t>(v >> 24)};
  return WriteBuffer(b, 4);
}

std::vector<uint8_t> TStream::ReadAll() {
  std::vector<uint8_t> out;
  int64_t remaining = Size() - Position();
  if (remaining > 0) out.reserve(static_cast<std::size_t>(remaining));
  uint8_t buf[65536];
  for (;;) {
    int64_t n = Read(buf, sizeof buf);
    if (n <= 0) break;
    out.insert(out.end(), buf, buf + n);
  }
  return out;
}

int64_t TMemoryStream::Read(void* buffer, int64_t count) {
  if (count <= 0 || Pos_ >= Size()) return 0;
  int64_t n = std::min(count, Size() - Pos_);
  std::memcpy(buffer, Data.data() + Pos_, static_cast<std::size_t>(n));
  Pos_ += n;
  return n;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  if (Pos_ + count > Size()) Data.resize(static_cast<std::size_t>(Pos_ + count));
  std::memcpy(Data.data() + Pos_, buffer, static_cast<std::size_t>(count));
  Pos_ += count;
  return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
  int64_t base = origin == soBeginning ? 0 : origin == soCurrent ? Pos_ : Size();
  if (base + offset < 0) return -1;
  Pos_ = base + offset;
  return Pos_;
}

TFileStream::TFileStream(const std::string& fileName, TFileMode mode) : FileName_(fileName) {
  int flags = O_CLOEXEC;
  switch (mode) {
    case fmOpenRead: flags |= O_RDONLY; break;
    case fmOpenReadWrite: flags |= O_RDWR; break;
    case fmCreate: flags |= O_RDWR | O_CREAT | O_TRUNC; break;
  }
  Fd_ = ::open(fileName.c_str(), flags, 0644);
}

TFileStream::~TFileStream() {
  if (Fd_ >= 0) ::close(Fd_);
}

int64_t TFileStream::Read(void* buffer, int64_t count) {
  if (Fd_ < 0 || count <= 0) return 0;
  int64_t total = 0;
  auto* p = static_cast<uint8_t*>(buffer);
  while (total < count) {
    ssize_t n = ::read(Fd_, p + total, static_cast<std::size_t>(count - total));
    if (n <= 0) break;
    total += n;
  }
  return total;
}

namespace {
TFileWriteHook WriteHook = nullptr;
}  // namespace

void SetFileWriteHook(TFileWriteHook hook) { WriteHook = hook; }

int64_t TFileStream::Write(const void* buffer, int64_t count) {
  if (Fd_ < 0 || count <= 0) return 0;
  // Large writes go out in blocks, each offered to the hook: a process
  // killed during a write of many megabytes has written part of it, and a
  // disk fills up part way through, which is what a test must be able to
  // stop it at.
  constexpr int64_t kBlock = int64_t{1} << 20;
  int64_t total = 0;
  const auto* p = static_cast<const uint8_t*>(buffer);
  while (total < count) {
    const int64_t block = std::min(kBlock, count - total);
    if (WriteHook && !WriteHook(block, std::max<int64_t>(0, Position() + block - Size()))) break;
    int64_t done = 0;
    while (done < block) {
      ssize_t n = ::write(Fd_, p + total + done, static_cast<std::size_t>(block - done));
      if (n <= 0) break;
      done += n;
    }
    total += done;
    if (done < block) break;
  }
  return total;
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
  if (Fd_ < 0) return -1;
  int whence = origin == soBeginning ? SEEK_SET : origin == soCurrent ? SEEK_CUR : SEEK_END;
  off_t r = ::lseek(Fd_, static_cast<off_t>(offset), whence);
  return r < 0 ? -1 : static_cast<int64_t>(r);
}

int64_t TFileStream::Size() {
  struct stat st {};
  if (Fd_ < 0 || ::fstat(Fd_, &st) != 0) return -1;
  return static_cast<int64_t>(st.st_size);
}

bool TFileStream::Truncate() {
  int64_t pos = Position();
  if (WriteHook && !WriteHook(0, std::max<int64_t>(0, pos - Size()))) return false;
  return Fd_ >= 0 && pos >= 0 && ::ftruncate(Fd_, static_cast<off_t>(pos)) == 0;
}

bool TFileStream::Flush() { return Fd_ >= 0 && ::fsync(Fd_) == 0; }

bool FileExists(const std::string& fileName) {
  struct stat st {};
  return !fileName.empty() && ::stat(fileName.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

void RemoveStaleTemporaries(const std::string& fileName, const std::string& tag) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path target(fileName);
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  const std::string prefix = target.filename().string() + tag;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.compare(0, prefix.size(), prefix) != 0) continue;
    const std::string rest = name.substr(prefix.size());
    bool stale = rest.empty();  // the single name earlier versions used
    if (rest.size() > 1 && rest[0] == '.' && rest.find_first_not_of("0123456789", 1) == std::string::npos &&
        rest.size() < 12) {
      const long pid = std::stol(rest.substr(1));
      stale = pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
    }
    if (stale) fs::remove(it->path(), ec);
  }
}

std::string PathPart(const std::string& name) {
  std::size_t p = name.find_last_of("\\/:");
  return p == std::string::npos ? std::string() : name.substr(0, p + 1);
}

std::string BareName(const std::string& name) {
  std::size_t p = name.find_last_of("\\/:");
  return p == std::string::npos ? name : name.substr(p + 1);
}

std::string ExeFolder() {
  if (!Parameters || Parameters->Args.empty()) return "";
  const std::string& self = Parameters->Args[0];
  std::size_t p = self.find_last_of('/');
  return p == std::string::npos ? std::string() : self.substr(0, p + 1);
}

std::string DiskName(const std::string& name) {
  // Data names are written with "\" between folders; on disk that is "/".
  // A leading "\" meant the data folder's root, not the file system's.
  std::size_t first = name.find_first_not_of('\\');
  std::string out = first == std::string::npos ? std::string() : name.substr(first);
  std::replace(out.begin(), out.end(), '\\', '/');
  return out;
}
