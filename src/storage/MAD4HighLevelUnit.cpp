#include "MAD4HighLevelUnit.h"

#include <cstdio>

#include "Logger.h"

TMAD4HighLevel* MAD4Volumes = nullptr;

namespace {

std::unique_ptr<TMAD4HighLevel> Instance;

// An empty name finds nothing; one leading "\" is dropped.
bool Normalise(const std::string& name, std::string& out) {
  if (name.empty()) return false;
  out = name[0] == '\\' ? name.substr(1) : name;
  return true;
}

std::string PadLeft(const std::string& s, std::size_t width) {
  return s.size() >= width ? s : std::string(width - s.size(), ' ') + s;
}

}  // namespace

TMAD4HighLevel::TMAD4HighLevel() = default;

TMAD4HighLevel::~TMAD4HighLevel() {
  for (TMAD4VolumeData& v : Volumes) {
    if (v.Archive) v.Archive->Unmount();
  }
}

void TMAD4HighLevel::Mount(const std::string& fileName, int32_t priority, bool readOnly) {
  TMAD4VolumeData volume;
  volume.FileName = fileName;
  volume.Priority = priority;
  volume.Archive = std::make_unique<TMAD4MidLevel>();
  volume.Archive->Mount(fileName, readOnly);
  // The chunk layer's own lines are filtered out of the program's log; this
  // one tells why nothing will be written.
  if (!readOnly && volume.Archive->Mounted && volume.Archive->ReadOnly()) {
    Log->Warning("Archive mounted read-only! (" + fileName + ")", "MAD4HighLevelUnit, TMAD4HighLevel.Mount");
  }
  // Every lookup in such a volume fails; the log says why once, here.
  if (!volume.Archive->Mounted) {
    Log->Error("Volume not mounted, nothing will be read from it! (" + fileName + ")",
               "MAD4HighLevelUnit, TMAD4HighLevel.Mount");
  } else if (volume.Archive->FileCount() == 0) {
    Log->Warning("Volume holds no files! (" + fileName + ")", "MAD4HighLevelUnit, TMAD4HighLevel.Mount");
  }
  std::size_t index = 0;
  while (index < Volumes.size() && Volumes[index].Priority > priority) ++index;
  Volumes.insert(Volumes.begin() + static_cast<std::ptrdiff_t>(index), std::move(volume));
  ListVolumes();
}

std::unique_ptr<TMemoryStream> TMAD4HighLevel::OpenStream(const std::string& name) {
  std::string n;
  if (!Normalise(name, n)) return nullptr;
  for (TMAD4VolumeData& v : Volumes) {
    if (v.Archive->FileExists(n)) return v.Archive->OpenFile(n);
  }
  return nullptr;
}

bool TMAD4HighLevel::IsExists(const std::string& name) const {
  std::string n;
  if (!Normalise(name, n)) return false;
  Log->Debug("Looking for " + n, "MAD4HighLevelUnit, TMAD4HighLevel.IsExists");
  for (const TMAD4VolumeData& v : Volumes) {
    if (v.Archive->FileExists(n)) return true;
  }
  return false;
}

void TMAD4HighLevel::GetFileInfo(std::string& name, int32_t& start, int32_t& size, bool& compressed) const {
  std::string n;
  if (!Normalise(name, n)) {
    start = -1;
    return;
  }
  for (const TMAD4VolumeData& v : Volumes) {
    if (v.Archive->FileExists(n)) {
      v.Archive->GetFileInfo(n, start, size, compressed);
      name = n;
      return;
    }
  }
  start = -1;
}

void TMAD4HighLevel::ListVolumes() const {
  Log->WriteLine("----== MAD4 High Level - Volume listing ==----");
  Log->WriteLine("Number of volumes mounted: " + std::to_string(Volumes.size()));
  int number = 1;
  for (const TMAD4VolumeData& v : Volumes) {
    Log->WriteLine(PadLeft(std::to_string(number++), 3) + ". (" + PadLeft(std::to_string(v.Priority), 3) + ") " +
                   v.FileName);
  }
  Log->WriteLine("- -- --- --- Volume listing ends. --- --- -- -");
}

std::string LocateArchive(const std::string& name) {
  if (FileExists(name)) return name;
  const std::string beside = ExeFolder() + BareName(name);
  if (ExeFolder().empty()) return name;
  // A missing archive is created beside the program, not in whatever folder
  // the game was started from: an empty archive left in a working folder
  // would otherwise shadow the real one on every later start from there.
  return beside;
}

void MAD4HighLevelUnit_Startup() {
  LogUnitVersion("MAD4HighLevelUnit", "1.03");
  Instance = std::make_unique<TMAD4HighLevel>();
  MAD4Volumes = Instance.get();
}

void MAD4HighLevelUnit_Shutdown() {
  MAD4Volumes = nullptr;
  Instance.reset();
}
