#include "ToolScopes.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "Logger.h"
#include "MAD4HighLevelUnit.h"
#include "ParametersUnit.h"
#include "StreamUnit.h"
#include "ToolFiles.h"
#include "ZR_SDL.h"

namespace vgrdata {

std::string LookupPlaces(const std::string& archive) {
  std::error_code ec;
  const std::string here = "the current folder (" + std::filesystem::current_path(ec).string() + ")";
  if (!archive.empty()) return here + " or the archive " + archive;
  return here + "; the game keeps it in its archive: pass --archive PATH (the data build writes "
                "bin/Voltigor.mad4 in the build folder)";
}

TCollectedLog::TCollectedLog() {
  std::string templ = (std::filesystem::temp_directory_path() / "vgrdata-XXXXXX").string();
  if (::mkdtemp(templ.data()) == nullptr) return;
  Dir_ = templ + "/";
  TParameters params({Dir_ + "vgrdata"});
  Logger_ = std::make_unique<TLogger>(Dir_ + "tool.log", false, &params);
  Logger_->SetLevels("SWE");
  Previous_ = Log;
  Log = Logger_.get();
}

TCollectedLog::~TCollectedLog() {
  if (Logger_) Log = Previous_;
  Logger_.reset();
  std::error_code ec;
  if (!Dir_.empty()) std::filesystem::remove_all(Dir_, ec);
}

std::vector<std::string> TCollectedLog::Complaints(bool missingNames) const {
  std::vector<std::string> lines;
  if (!Logger_) return lines;
  std::ifstream in(Dir_ + "tool.log", std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    const bool complaint = line[0] == '[' || line[0] == '{';
    const bool missing =
        missingNames && (line.find("not found") != std::string::npos || line.find("failed") != std::string::npos);
    if (complaint || missing) lines.push_back(line);
  }
  return lines;
}

TMountedArchive::TMountedArchive() = default;

TMountedArchive::~TMountedArchive() {
  if (Active_) MAD4Volumes = Previous_;
}

bool TMountedArchive::Mount(const std::string& fileName) {
  // Even a read-only mount creates an archive that is not there.
  if (!FileExists(fileName)) return false;
  NoteInputFile(fileName);
  Volumes_ = std::make_unique<TMAD4HighLevel>();
  Volumes_->Mount(fileName, 100, true);
  if (Volumes_->Volumes.empty() || !Volumes_->Volumes.back().Archive ||
      !Volumes_->Volumes.back().Archive->Mounted) {
    return false;
  }
  Previous_ = MAD4Volumes;
  MAD4Volumes = Volumes_.get();
  Active_ = true;
  return true;
}

THiddenDisplay::THiddenDisplay() {
  if (ScreenSurface) return;
  ::setenv("SDL_VIDEODRIVER", "dummy", 1);
  ::setenv("SDL_AUDIODRIVER", "dummy", 0);
  Initialize(640, 400, 32, VF_BACKBUFFER);
  Opened_ = true;
}

THiddenDisplay::~THiddenDisplay() {
  if (Opened_) Finalize();
}

}  // namespace vgrdata
