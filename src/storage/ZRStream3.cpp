#include "ZRStream3.h"

#include "FileWriteHook.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "Logger.h"
#include "MAD4HighLevelUnit.h"
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
  if (WriteHook && !WriteHook(count, std::max<int64_t>(0, Position() + count - Size()))) return 0;
  int64_t total = 0;
  const auto* p = static_cast<const uint8_t*>(buffer);
  while (total < count) {
    ssize_t n = ::write(Fd_, p + total, static_cast<std::size_t>(count - total));
    if (n <= 0) break;
    total += n;
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

namespace {

const char* const kOpenLoc = "ZRStream3, ZROpenStream";
const char* const kInfoLoc = "ZRStream3, ZRGetFileInfo";

// Loose files are opened read-only: the program never writes them, and a
// read-only open also works for write-protected data folders.
std::unique_ptr<TStream> OpenLoose(const std::string& fileName) {
  auto s = std::make_unique<TFileStream>(fileName, fmOpenRead);
  if (!s->IsOpen()) return nullptr;
  return s;
}

int32_t LooseSize(const std::string& fileName) {
  TFileStream s(fileName, fmOpenRead);
  if (!s.IsOpen()) return -1;
  int64_t size = s.Size();
  return size < 0 || size > INT32_MAX ? -1 : static_cast<int32_t>(size);
}

}  // namespace

std::string DiskName(const std::string& name) {
  // Data names are written with "\" between folders; on disk that is "/".
  // A leading "\" meant the data folder's root, not the file system's.
  std::size_t first = name.find_first_not_of('\\');
  std::string out = first == std::string::npos ? std::string() : name.substr(first);
  std::replace(out.begin(), out.end(), '\\', '/');
  return out;
}

std::unique_ptr<TStream> ZROpenStream(const std::string& name) {
  Log->Debug("ZROpenStream('" + name + "')", kOpenLoc);
  std::unique_ptr<TStream> result;
  Log->Debug("Check on disk", kOpenLoc);
  const std::string onDisk = DiskName(name);
  if (FileExists(onDisk)) {
    result = OpenLoose(onDisk);
  } else {
    Log->Debug("Check on disk - beside .EXE", kOpenLoc);
    const std::string beside = ExeFolder() + BareName(name);
    if (FileExists(beside)) {
      result = OpenLoose(beside);
    } else if (MAD4Volumes) {
      bool found = false;
      if (!PathPart(name).empty()) {
        Log->Debug("Check in MAD4 - full path", kOpenLoc);
        found = MAD4Volumes->IsExists(name);
        if (found) result = MAD4Volumes->OpenStream(name);
      }
      if (!found) {
        Log->Debug("Check in MAD4 - filename only", kOpenLoc);
        const std::string bare = BareName(name);
        if (MAD4Volumes->IsExists(bare)) result = MAD4Volumes->OpenStream(bare);
      }
    }
  }
  if (!result) {
    Log->Warning("ZROpenStream failed: " + name, kOpenLoc);
  } else {
    Log->Debug("ZROpenStream successful.", kOpenLoc);
  }
  return result;
}

void ZRGetFileInfo(const std::string& name, TZRFileInfo& info) {
  info = TZRFileInfo{};
  Log->Debug("Check on disk", kInfoLoc);
  const std::string onDisk = DiskName(name);
  if (FileExists(onDisk)) {
    info.FileName = onDisk;
    info.Offset = 0;
    info.Size = LooseSize(onDisk);
    return;
  }
  Log->Debug("Check on disk - beside .EXE", kInfoLoc);
  const std::string beside = ExeFolder() + BareName(name);
  if (FileExists(beside)) {
    info.FileName = beside;
    info.Offset = 0;
    info.Size = LooseSize(beside);
    return;
  }
  if (MAD4Volumes) {
    auto fromArchive = [&info](const std::string& found) {
      std::string fileName = found;
      int32_t start = -1;
      int32_t size = -1;
      bool compressed = false;
      MAD4Volumes->GetFileInfo(fileName, start, size, compressed);
      if (start < 0) return false;
      info.FileName = fileName;
      info.Offset = start;
      info.Size = size;
      info.Compressed = compressed;
      return true;
    };
    if (!PathPart(name).empty()) {
      Log->Debug("Check in MAD4 - full path", kInfoLoc);
      if (MAD4Volumes->IsExists(name) && fromArchive(name)) return;
    }
    Log->Debug("Check in MAD4 - filename only", kInfoLoc);
    const std::string bare = BareName(name);
    if (MAD4Volumes->IsExists(bare) && fromArchive(bare)) return;
  }
  info.FileName.clear();
  info.Offset = -1;
  info.Size = -1;
  info.Compressed = false;
}

void ZRStream3_Startup() { LogUnitVersion("ZRStream3", "1.07"); }
