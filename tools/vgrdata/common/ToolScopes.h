#pragma once
// Scopes a data-tool command runs in: the program's units expect a run log,
// a volume set and (for surfaces) an open display, as they have in the game.

#include <memory>
#include <string>
#include <vector>

class TLogger;
class TMAD4HighLevel;

namespace vgrdata {

// The readers report through the run log; while a command runs, a log in a
// scratch folder collects their lines so that the tool can show them.
class TCollectedLog {
 public:
  TCollectedLog();
  ~TCollectedLog();
  TCollectedLog(const TCollectedLog&) = delete;
  TCollectedLog& operator=(const TCollectedLog&) = delete;

  // Warning and error lines written so far; with `missingNames`, also the
  // status lines that report a name not found or a load that failed.
  std::vector<std::string> Complaints(bool missingNames = false) const;

 private:
  std::string Dir_;
  std::unique_ptr<TLogger> Logger_;
  TLogger* Previous_ = nullptr;
};

// Makes an archive the lookup's volume set for the command's duration.
class TMountedArchive {
 public:
  TMountedArchive();
  ~TMountedArchive();
  TMountedArchive(const TMountedArchive&) = delete;
  TMountedArchive& operator=(const TMountedArchive&) = delete;
  // Read-only; false when the archive cannot be mounted or is not there
  // (a missing one is never created).
  bool Mount(const std::string& fileName);

 private:
  std::unique_ptr<TMAD4HighLevel> Volumes_;
  TMAD4HighLevel* Previous_ = nullptr;
  bool Active_ = false;
};

// Where a command's lookup looked for a name it did not find, for messages
// "X was not found in ...": the current folder and the archive given with
// --archive (empty: none), or else how to give the game's archive.
std::string LookupPlaces(const std::string& archive);

// Surfaces and fonts take the display's format, so a display must be open:
// an invisible one, unless one is open already.
class THiddenDisplay {
 public:
  THiddenDisplay();
  ~THiddenDisplay();
  THiddenDisplay(const THiddenDisplay&) = delete;
  THiddenDisplay& operator=(const THiddenDisplay&) = delete;

 private:
  bool Opened_ = false;
};

}  // namespace vgrdata
