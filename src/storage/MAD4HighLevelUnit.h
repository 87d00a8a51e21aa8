#pragma once
// The set of mounted archives ("volumes"), each with a priority: names are
// looked up in the volume with the highest priority first, and among equal
// priorities in the one mounted last.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "MAD4MidLevelUnit.h"

struct TMAD4VolumeData {
  std::string FileName;
  int32_t Priority = 0;
  std::unique_ptr<TMAD4MidLevel> Archive;
};

class TMAD4HighLevel {
 public:
  TMAD4HighLevel();
  // Unmounts every volume (read/write ones rewrite their trailers).
  ~TMAD4HighLevel();
  TMAD4HighLevel(const TMAD4HighLevel&) = delete;
  TMAD4HighLevel& operator=(const TMAD4HighLevel&) = delete;

  // The volume is added whatever the outcome of the mount.
  void Mount(const std::string& fileName, int32_t priority, bool readOnly);
  // The first volume that has the name answers, even with nothing.
  std::unique_ptr<TMemoryStream> OpenStream(const std::string& name);
  bool IsExists(const std::string& name) const;
  void GetFileInfo(std::string& name, int32_t& start, int32_t& size, bool& compressed) const;
  void ListVolumes() const;

  std::vector<TMAD4VolumeData> Volumes;
};

// The program-wide volume set, made at start-up.
extern TMAD4HighLevel* MAD4Volumes;

// Where the program's archive lies: the name itself when that file exists in
// the working folder, else the same file beside the program (mounting it
// creates it there when it does not exist either).
std::string LocateArchive(const std::string& name);

void MAD4HighLevelUnit_Startup();
void MAD4HighLevelUnit_Shutdown();
