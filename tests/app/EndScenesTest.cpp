// The game-over and completion scenes on the game's own data, headless and
// seeded, with frames that never wait for the clock. Screenshots at fixed
// frames are compared with the PNGs in tests/app/golden (see PngGolden.h for
// the one command that rewrites them).
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <set>
#include <string>

#include "GameArchive.h"
#include "PngGolden.h"
#include "SystemUnit.h"
#include "TestSupport.h"
#include "VGRResourceUnit.h"
#include "Voltigor.h"
#include "ZR_SDL.h"
#include "ZRStream3.h"

namespace {

const std::string kGoldenDir = vgrtest::SourceDir() + "/tests/app/golden/";

class EndScenes : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!FileExists(vgrtest::BinDir() + "/Voltigor.mad4")) GTEST_SKIP() << "the data archive is not built";
    Initialize(640, 400, 32, VF_BACKBUFFER);
    SetFrameRate(60);
    Archive_.Mount();
    if (!ZROpenStream("Zapkin.ini")) GTEST_SKIP() << "the data archive holds no configuration";
    // Made anew, whatever an earlier test left.
    FreeGameData();
    LoadGameData(true);
    ClearKeys();
    // A clock that moves only when Flip waits, and then at once.
    SetFrameClock([this] { return OnTick(); }, [this](uint32_t ms) { Now_ += ms; });
    SetInputScript([this](uint32_t) {
      ++Calls;
      if (Script) Script(Calls);
    });
    FirstFrame_ = FrameCount;
  }
  void TearDown() override {
    SetInputScript(nullptr);
    SetFrameClock(nullptr, nullptr);
    ClearKeys();
    FreeGameData();
    if (ScreenSurface) Finalize();
  }

  // Frames flipped since the test began.
  uint32_t Flips() const { return FrameCount - FirstFrame_; }
  // The screen as shown by the flip with this index (0: the scene's first).
  void CaptureAtFlip(uint32_t index) {
    CaptureAt_ = index;
    Shot = {};
  }

  // Calls of ProcessEvents so far, and the script run at each (1-based).
  uint32_t Calls = 0;
  std::function<void(uint32_t call)> Script;
  golden::TPicture Shot;

 private:
  uint32_t OnTick() {
    // Flip asks the clock after the back buffer reached the screen.
    if (Flips() == CaptureAt_ && Shot.RGB.empty()) Shot = golden::Capture(ScreenImage ? ScreenImage : BackImage);
    return Now_;
  }

  uint32_t Now_ = 0;
  uint32_t FirstFrame_ = 0;
  uint32_t CaptureAt_ = UINT32_MAX;
  vgrtest::TScopedLog Log_;
  vgrtest::TGameArchive Archive_;
};

// Pixels that are not black in rows y1..y2 of a picture, by default the
// back buffer.
int LitPixels(int y1, int y2, const golden::TPicture& p = golden::Capture(BackImage)) {
  int lit = 0;
  for (int y = y1; y <= y2; ++y)
    for (int x = 0; x < p.Width; ++x) {
      const uint8_t* px = &p.RGB[(static_cast<size_t>(y) * p.Width + x) * 3];
      if (px[0] | px[1] | px[2]) ++lit;
    }
  return lit;
}

// The scripted 720 frames cannot be cut short, whatever is held; then Space,
// Return or Escape ends the scene in the frame it is seen.
TEST_F(EndScenes, GameOverPlaysItsFramesThenWaitsForAKey) {
  struct {
    const char* what;
    int heldBefore;  // held all through the scene, 0: none
    int pressed;     // pressed at the fifth prompt frame, 0: none
    uint32_t flips;
  } cases[] = {
      {"space at the fifth prompt frame", 0, SYM_SPACE, 1 + 720 + 5},
      {"return held throughout", SYM_RETURN, 0, 1 + 720 + 1},
      {"escape held throughout", SYM_ESCAPE, 0, 1 + 720 + 1},
      {"return at the fifth prompt frame", 0, SYM_RETURN, 1 + 720 + 5},
  };
  bool first = true, second = false;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const uint32_t start = Flips();
    Calls = 0;
    Script = [&c](uint32_t call) {
      if (call == 5 && c.pressed) KeyState[c.pressed] = true;
    };
    if (c.heldBefore) KeyState[c.heldBefore] = true;
    Randomize(1);
    if (first) CaptureAtFlip(start + 1 + 300);
    // Late in his fall: the professor's last leap ends below the stage, and
    // nothing of him may show outside its frame, above the HUD line.
    if (second) CaptureAtFlip(start + 1 + 560);
    ShowGameOver();
    EXPECT_EQ(Flips() - start, c.flips);
    EXPECT_EQ(Calls, c.flips - 721);
    for (int sym : {SYM_SPACE, SYM_RETURN, SYM_ESCAPE, SYM_LEFT, SYM_RIGHT}) EXPECT_FALSE(KeyState[sym]) << sym;
    if (first) {
      ASSERT_FALSE(Shot.RGB.empty());
      const std::string diff = golden::Compare(Shot, kGoldenDir + "gameover-seed1-frame300.png");
      EXPECT_TRUE(diff.empty()) << diff;
    }
    if (second) {
      ASSERT_FALSE(Shot.RGB.empty());
      EXPECT_EQ(LitPixels(316, 379, Shot), 0);
      const std::string diff = golden::Compare(Shot, kGoldenDir + "gameover-seed1-frame560.png");
      EXPECT_TRUE(diff.empty()) << diff;
    }
    second = first;
    first = false;
  }
}

// The first page waits for Space only. The second page shows the Za.Raroz
// message the first time and "You completed the whole game!" afterwards;
// LastLevel is 26 from then on.
TEST_F(EndScenes, CompletionPagesAndTheUnlockedMode) {
  LastLevel = 5;
  golden::TPicture firstStage;
  for (int run = 0; run < 2; ++run) {
    SCOPED_TRACE(run == 0 ? "first completion" : "second completion");
    const uint32_t start = Flips();
    Calls = 0;
    int lineTwo = -1, lineFour = -1, wholeGame = -1;
    golden::TPicture page2;
    Script = [&](uint32_t call) {
      // Return and Escape held over the first page change nothing.
      if (call < 150) KeyState[SYM_RETURN] = KeyState[SYM_ESCAPE] = true;
      if (call == 150) KeyState[SYM_SPACE] = true;
      if (call == 153) {
        EXPECT_FALSE(KeyState[SYM_SPACE]);
        page2 = golden::Capture(BackImage);
        lineTwo = LitPixels(60, 90);
        lineFour = LitPixels(200, 230);
        wholeGame = LitPixels(160, 190);
      }
      if (call == 155) KeyState[SYM_SPACE] = true;
    };
    Randomize(7);
    CaptureAtFlip(start + 1 + 120);
    ShowCompletion();
    ASSERT_FALSE(Shot.RGB.empty());
    EXPECT_EQ(Flips() - start, 1u + 150 + 5);
    EXPECT_EQ(LastLevel, 26);
    EXPECT_FALSE(KeyState[SYM_SPACE]);
    EXPECT_GT(wholeGame, 0);
    if (run == 0) {
      EXPECT_GT(lineTwo, 0);
      EXPECT_GT(lineFour, 0);
      firstStage = Shot;
      std::string diff = golden::Compare(Shot, kGoldenDir + "completion-seed7-frame120.png");
      EXPECT_TRUE(diff.empty()) << diff;
      diff = golden::Compare(page2, kGoldenDir + "completion-zararoz-page.png");
      EXPECT_TRUE(diff.empty()) << diff;
    } else {
      // Same seed, same scene: everything drawn the first time (professor
      // included) is drawn again.
      EXPECT_EQ(Shot.Checksum(), firstStage.Checksum());
      EXPECT_EQ(lineTwo, 0);
      EXPECT_EQ(lineFour, 0);
      const std::string diff = golden::Compare(page2, kGoldenDir + "completion-whole-game-page.png");
      EXPECT_TRUE(diff.empty()) << diff;
    }
  }
}

// The completion scene's four monsters are always of four different kinds,
// and every kind of 1..20 comes up.
TEST(EndSceneMonsters, CompletionKindsAreAllDifferent) {
  std::set<int> seen;
  for (uint32_t seed = 0; seed < 5000; ++seed) {
    Randomize(seed);
    const std::array<uint8_t, 4> kinds = CompletionMonsterKinds();
    const std::set<uint8_t> distinct(kinds.begin(), kinds.end());
    ASSERT_EQ(distinct.size(), 4u) << "seed " << seed;
    for (uint8_t k : kinds) {
      ASSERT_GE(k, 1);
      ASSERT_LE(k, 20);
      seen.insert(k);
    }
  }
  EXPECT_EQ(seen.size(), 20u);
}

}  // namespace
