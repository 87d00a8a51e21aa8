// The archive as the program meets it: mount a file of any content, list its
// directory and open every stored file. A read/write mount and unmount (which
// rewrites the trailer and merges free space) must leave every stored file
// that read back before reading back the same.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "MAD4HighLevelUnit.h"
#include "MAD4MidLevelUnit.h"

namespace {

// Name -> contents of every stored file that opens (first entry of a name wins).
std::map<std::string, std::vector<uint8_t>> ReadAllFiles(TMAD4MidLevel& archive) {
  std::map<std::string, std::vector<uint8_t>> out;
  for (int i = 0; i < archive.FileCount(); ++i) {
    const TMAD4FileData* entry = archive.GetFileData(i);
    if (!entry || archive.IndexOfFile(entry->Name) != i) continue;
    std::string name = entry->Name;
    int32_t start = 0, size = 0;
    bool compressed = false;
    archive.GetFileInfo(name, start, size, compressed);
    if (auto s = archive.OpenFile(entry->Name)) out[entry->Name] = s->Data;
  }
  return out;
}

// What the file system rather than the input decides, once: a link to
// nothing, a folder, and an archive another mount holds locked.
void MountOddFiles() {
  const std::string dangling = fuzz::Scratch("dangling.mad4");
  const std::string folder = fuzz::Scratch("folder.mad4");
  const std::string locked = fuzz::Scratch("locked.mad4");
  ::unlink(dangling.c_str());
  if (::symlink(fuzz::Scratch("nowhere").c_str(), dangling.c_str()) != 0) fuzz::Fail("cannot make a link");
  ::mkdir(folder.c_str(), 0755);
  // An empty archive: header and trailer.
  const uint8_t empty[] = {'M', 'A', 'D', '4', 8, 0, 0, 0, 'E', 'N', 'D', 'S', 4, 0, 0, 0, 20, 0, 0, 0};
  fuzz::WriteScratch("locked.mad4", empty, sizeof empty);
  for (const std::string& n : {dangling, folder}) {
    TMAD4MidLevel archive;
    archive.Mount(n, false);
    if (archive.Mounted) fuzz::Fail("mounted " + n);
  }
  TMAD4MidLevel holder, second;
  holder.Mount(locked, false);
  second.Mount(locked, false);
  if (!holder.Mounted || holder.ReadOnly() || !second.Mounted || !second.ReadOnly()) {
    fuzz::Fail("a locked archive is not mounted read-only beside its holder");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Start();
  static const bool odd = (MountOddFiles(), true);
  (void)odd;
  const std::string name = "mount.mad4";
  fuzz::WriteScratch(name, data, size);
  std::map<std::string, std::vector<uint8_t>> before;
  bool damaged = true;
  {
    TMAD4MidLevel archive;
    archive.Mount(fuzz::Scratch(name), true);
    before = ReadAllFiles(archive);
    damaged = !archive.Mounted || archive.Damaged();
  }
  {
    // The volume set's name handling over the same file.
    TMAD4HighLevel volumes;
    volumes.Mount(fuzz::Scratch(name), 100, true);
    for (const auto& [n, bytes] : before) {
      if (n.empty()) continue;  // "\\" alone normalises to no name at all
      auto s = volumes.OpenStream("\\" + n);
      if (!s || s->Data != bytes) fuzz::Fail("volume set disagrees with the archive on " + n);
      if (!volumes.IsExists("\\" + n)) fuzz::Fail("volume set opens but does not list " + n);
      std::string info = "\\" + n;
      int32_t start = 0, length = 0;
      bool compressed = false;
      volumes.GetFileInfo(info, start, length, compressed);
    }
    volumes.ListVolumes();
  }
  if (!damaged) {
    {
      TMAD4MidLevel archive;
      archive.Mount(fuzz::Scratch(name), false);
    }
    TMAD4MidLevel archive;
    archive.Mount(fuzz::Scratch(name), true);
    const auto after = ReadAllFiles(archive);
    for (const auto& [n, bytes] : before) {
      auto it = after.find(n);
      if (it == after.end() || it->second != bytes) fuzz::Fail("unmount lost or changed " + n);
    }
  }
  fuzz::RemoveScratch(name);
  return 0;
}
