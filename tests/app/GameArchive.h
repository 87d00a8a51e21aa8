#pragma once
// The built archive as the lookup's volume set, for the tests that play on
// the game's own data (they load it with LoadGameData, as the program does).
#include "MAD4HighLevelUnit.h"
#include "TestSupport.h"

namespace vgrtest {

// Mounts the archive read-only in place of the volume set in use; that set
// is the lookup's again when this goes.
class TGameArchive {
 public:
  TGameArchive() = default;
  ~TGameArchive() {
    if (Active_) MAD4Volumes = Previous_;
  }
  TGameArchive(const TGameArchive&) = delete;
  TGameArchive& operator=(const TGameArchive&) = delete;

  void Mount() {
    Previous_ = MAD4Volumes;
    Volumes_.Mount(vgrtest::BinDir() + "/Voltigor.mad4", 100, true);
    MAD4Volumes = &Volumes_;
    Active_ = true;
  }

 private:
  TMAD4HighLevel Volumes_;
  TMAD4HighLevel* Previous_ = nullptr;
  bool Active_ = false;
};

}  // namespace vgrtest
