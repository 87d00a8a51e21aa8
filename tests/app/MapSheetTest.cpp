// Every map of a game as it is played: the first frame of maps 1 to 49, drawn
// by the game from the data archive's own pack, at half size on one contact
// sheet that is compared with tests/app/golden/maps-contact-sheet.png (see
// PngGolden.h for the one command that rewrites it). Whoever changes a map,
// a tile or the way the playfield is drawn looks at the sheet again.
#include <gtest/gtest.h>

#include <string>

#include "GAME.h"
#include "GameArchive.h"
#include "PngGolden.h"
#include "SystemUnit.h"
#include "TestSupport.h"
#include "VGRGameValues.h"
#include "VGRResourceUnit.h"
#include "Voltigor.h"
#include "ZR_SDL.h"
#include "ZRStream3.h"

namespace {

const std::string kGoldenDir = vgrtest::SourceDir() + "/tests/app/golden/";

// The play area (62, 22)-(577, 377), every second pixel of every second row.
constexpr int kAreaX = 62, kAreaY = 22, kCellW = 258, kCellH = 178, kGap = 2, kColumns = 7, kMaps = 49;

TEST(MapSheet, EveryMapAsPlayedMatchesTheContactSheet) {
  if (!FileExists(vgrtest::BinDir() + "/Voltigor.mad4")) GTEST_SKIP() << "the data archive is not built";
  vgrtest::TScopedLog log;
  Initialize(640, 400, 32, VF_BACKBUFFER);
  SetFrameRate(60);
  UnpacedFrames = true;
  vgrtest::TGameArchive archive;
  archive.Mount();
  if (!ZROpenStream("Zapkin.ini")) GTEST_SKIP() << "the data archive holds no configuration";
  FreeGameData();
  LoadGameData(false);
  GameOverScreen = [] {};
  CompletionScreen = [] {};

  golden::TPicture sheet;
  sheet.Width = kColumns * (kCellW + kGap) - kGap;
  sheet.Height = (kMaps + kColumns - 1) / kColumns * (kCellH + kGap) - kGap;
  sheet.RGB.assign(static_cast<size_t>(sheet.Width) * sheet.Height * 3, 0);
  for (int map = 1; map <= kMaps; ++map) {
    SCOPED_TRACE(map);
    golden::TPicture shot;
    uint32_t frame = 0;
    SetInputScript([&](uint32_t) {
      if (frame++ == 0 && GameInPlay) shot = golden::Capture(ScreenImage);
      KeyState[SYM_ESCAPE] = true;
    });
    StartMap = map;
    LastLevel = 26;
    MrRobotMode = false;
    ClearKeys();
    Randomize(77 + static_cast<uint32_t>(map));
    PlayGame();
    ClearKeys();
    ASSERT_EQ(shot.Width, 640);
    const int left = (map - 1) % kColumns * (kCellW + kGap), top = (map - 1) / kColumns * (kCellH + kGap);
    for (int y = 0; y < kCellH; ++y) {
      for (int x = 0; x < kCellW; ++x) {
        const size_t from = (static_cast<size_t>(kAreaY + 2 * y) * shot.Width + kAreaX + 2 * x) * 3;
        const size_t to = (static_cast<size_t>(top + y) * sheet.Width + left + x) * 3;
        for (int c = 0; c < 3; ++c) sheet.RGB[to + c] = shot.RGB[from + c];
      }
    }
  }
  SetInputScript(nullptr);
  GameOverScreen = [] { ShowGameOver(); };
  CompletionScreen = [] { ShowCompletion(); };
  UnpacedFrames = false;
  FreeGameData();
  Finalize();

  const std::string diff = golden::Compare(sheet, kGoldenDir + "maps-contact-sheet.png");
  EXPECT_TRUE(diff.empty()) << diff;
}

}  // namespace
