#include "ZRStream3.h"

#include "Logger.h"
#include "MAD4HighLevelUnit.h"

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

namespace {

// The one lookup order: the name as a file on disk, the bare name beside the
// program, then in the mounted archives by full path (only when the name has
// one) and by bare name. `loose` is offered each existing file, `member` each
// archive name that exists; the first to accept ends the walk. False when
// nothing accepted.
template <class TLoose, class TMember>
bool LookUp(const std::string& name, const char* loc, TLoose loose, TMember member) {
  Log->Debug("Check on disk", loc);
  const std::string onDisk = DiskName(name);
  if (FileExists(onDisk)) return loose(onDisk);
  Log->Debug("Check on disk - beside .EXE", loc);
  const std::string beside = ExeFolder() + BareName(name);
  if (FileExists(beside)) return loose(beside);
  if (!MAD4Volumes) return false;
  if (!PathPart(name).empty()) {
    Log->Debug("Check in MAD4 - full path", loc);
    if (MAD4Volumes->IsExists(name) && member(name)) return true;
  }
  Log->Debug("Check in MAD4 - filename only", loc);
  const std::string bare = BareName(name);
  return MAD4Volumes->IsExists(bare) && member(bare);
}

}  // namespace

std::unique_ptr<TStream> ZROpenStream(const std::string& name) {
  Log->Debug("ZROpenStream('" + name + "')", kOpenLoc);
  std::unique_ptr<TStream> result;
  LookUp(
      name, kOpenLoc,
      [&result](const std::string& file) {
        result = OpenLoose(file);
        return true;
      },
      [&result](const std::string& member) {
        result = MAD4Volumes->OpenStream(member);
        return true;
      });
  if (!result) {
    Log->Warning("ZROpenStream failed: " + name, kOpenLoc);
  } else {
    Log->Debug("ZROpenStream successful.", kOpenLoc);
  }
  return result;
}

void ZRGetFileInfo(const std::string& name, TZRFileInfo& info) {
  info = TZRFileInfo{};
  const bool found = LookUp(
      name, kInfoLoc,
      [&info](const std::string& file) {
        info.FileName = file;
        info.Offset = 0;
        info.Size = LooseSize(file);
        return true;
      },
      [&info](const std::string& member) {
        std::string fileName = member;
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
      });
  if (!found) info = TZRFileInfo{};
}

void ZRStream3_Startup() { LogUnitVersion("ZRStream3", "1.07"); }
