// The committed replays in tests/app/replays, played back by the real program
// on the real data: every checksum must agree with the recording, so a change
// to the game's logic shows up as the first frame where the two part.
//
// When such a change is intended, record them again from their key scripts
// (made below) and commit the new files:
//   VGR_UPDATE_GOLDEN=1 build/bin/app_tests --gtest_filter='CommittedReplays*'
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "ProgramRun.h"
#include "ReplayUnit.h"
#include "SystemUnit.h"
#include "TestSupport.h"
#include "ZR_SDL.h"
#include "ZRStream3.h"

namespace {

const std::string kReplayDir = vgrtest::SourceDir() + "/tests/app/replays/";

using vgrtest::RunProgram;
using vgrtest::TRun;

// Key scripts: presses and releases by frame, no checks.
struct TScript {
  const char* Name;
  uint8_t StartMap;
  bool Mode;
  uint32_t Seed;
  std::function<void(TReplay&)> Keys;
};

void Press(TReplay& r, uint32_t frame, int sym, bool down) {
  auto at = std::lower_bound(r.Keys.begin(), r.Keys.end(), frame,
                             [](const TReplayKeys& k, uint32_t f) { return k.Frame < f; });
  if (at == r.Keys.end() || at->Frame != frame) at = r.Keys.insert(at, {frame, {}});
  at->Changes.push_back({static_cast<uint16_t>(sym), down});
}

// Walks the professor to and fro, jumping now and then, from `from` to `to`.
void Wander(TReplay& r, uint32_t from, uint32_t to) {
  bool right = true;
  for (uint32_t f = from; f < to; f += 90) {
    Press(r, f, right ? SYM_RIGHT : SYM_LEFT, true);
    Press(r, f + 40, SYM_SPACE, true);
    Press(r, f + 43, SYM_SPACE, false);
    Press(r, f + 89, right ? SYM_RIGHT : SYM_LEFT, false);
    right = !right;
  }
}

void Skip(TReplay& r, uint32_t frame) {
  Press(r, frame, SYM_KP_PLUS, true);
  Press(r, frame + 1, SYM_KP_PLUS, false);
}

// A session runs from the title on: Escape skips the title and Return
// starts a NEW GAME (in the mode the header names). The game's own frames
// follow from kGameStart.
constexpr uint32_t kGameStart = 10;
// The frame, from kGameStart, by which the fourth life is lost.
constexpr uint32_t kDeathsEnd = 1300;
void StartNewGame(TReplay& r) {
  Press(r, 0, SYM_ESCAPE, true);
  Press(r, 1, SYM_ESCAPE, false);
  Press(r, 2, SYM_RETURN, true);
  Press(r, 3, SYM_RETURN, false);
}

// Escape at `frame` asks whether to leave the game and Y leaves it; in the
// menu Escape moves the cursor to QUIT and Return quits.
void LeaveAndQuit(TReplay& r, uint32_t frame) {
  Press(r, frame, SYM_ESCAPE, true);
  Press(r, frame + 2, SYM_ESCAPE, false);
  Press(r, frame + 4, SYM_Y, true);
  Press(r, frame + 5, SYM_Y, false);
  Press(r, frame + 30, SYM_ESCAPE, true);
  Press(r, frame + 31, SYM_ESCAPE, false);
  Press(r, frame + 34, SYM_RETURN, true);
  r.FrameTotal = frame + 40;
}

// Walks right in strides from `from` to `to`: pressed for 190 frames of every
// 200, so each new life walks off again.
void Stride(TReplay& r, uint32_t from, uint32_t to) {
  for (uint32_t f = from; f < to; f += 200) {
    Press(r, f, SYM_RIGHT, true);
    Press(r, f + 190, SYM_RIGHT, false);
  }
}

const TScript kScripts[] = {
    // Construction and interim maps, monsters and the boulder: a tour over
    // maps 1 to 4 by the skip key, long enough for the timedemo.
    {"tour-maps-1-to-4", 1, false, 20261208,
     [](TReplay& r) {
       const uint32_t g = kGameStart;
       StartNewGame(r);
       Press(r, g + 30, SYM_RIGHT, true);
       Press(r, g + 100, SYM_RIGHT, false);
       Skip(r, g + 150);
       Wander(r, g + 160, g + 1600);
       Skip(r, g + 1700);
       Wander(r, g + 1710, g + 2000);
       Skip(r, g + 2010);
       Wander(r, g + 2020, g + 3400);
       LeaveAndQuit(r, g + 3420);
     }},
    // An interim map in the Za.Raroz mode: map 1 skipped at once.
    {"interim-zararoz", 1, true, 7,
     [](TReplay& r) {
       const uint32_t g = kGameStart;
       StartNewGame(r);
       Skip(r, g + 5);
       Wander(r, g + 15, g + 900);
       LeaveAndQuit(r, g + 910);
     }},
    // Deaths to the game over: on interim map 2 the professor walks right,
    // life after life, into the pipe, the boulder or its arrow; the game-over
    // scene is cut short by Escape, then the menu quits.
    {"deaths-to-game-over", 1, false, 11,
     [](TReplay& r) {
       const uint32_t g = kGameStart;
       StartNewGame(r);
       Skip(r, g + 5);
       Stride(r, g + 15, g + kDeathsEnd);
       Press(r, g + kDeathsEnd + 100, SYM_ESCAPE, true);
       Press(r, g + kDeathsEnd + 101, SYM_ESCAPE, false);
       Press(r, g + kDeathsEnd + 130, SYM_ESCAPE, true);
       Press(r, g + kDeathsEnd + 131, SYM_ESCAPE, false);
       Press(r, g + kDeathsEnd + 134, SYM_RETURN, true);
       r.FrameTotal = g + kDeathsEnd + 140;
     }},
};

TEST(CommittedReplays, PlayBackWithEveryChecksumAgreeing) {
  if (!FileExists(vgrtest::BinDir() + "/Voltigor.mad4")) GTEST_SKIP() << "the data archive is not built";
  vgrtest::TTempDir dir;
  const bool update = std::getenv("VGR_UPDATE_GOLDEN") != nullptr;
  for (const TScript& s : kScripts) {
    SCOPED_TRACE(s.Name);
    const std::string file = kReplayDir + s.Name + ".vrp";
    if (update) {
      TReplay script;
      script.Header.Seed = s.Seed;
      script.Header.StartMap = s.StartMap;
      script.Header.Mode = s.Mode;
      script.Header.LastLevel = 1;
      // The scripts leave a game with one Escape, as replays did before the
      // leave question: the first format plays without it.
      script.Header.FormatVersion = 1;
      script.Header.ProgramVersion = "Voltigor V1.05 Build 0063";
      s.Keys(script);
      std::string error;
      ASSERT_TRUE(script.Save(dir / "script.vrp", error)) << error;
      const TRun rec = RunProgram({"-nolog", "-timedemo", "-replay", dir / "script.vrp", "-record", file},
                                  dir / "record.txt");
      ASSERT_EQ(rec.Code, 0) << rec.Output;
    }
    TReplay recorded;
    std::string error;
    ASSERT_TRUE(recorded.Load(file, error)) << error;
    EXPECT_GE(recorded.Checks.size(), recorded.FrameTotal / 60 / 2) << "too few frames of play";

    const TRun play = RunProgram({"-nolog", "-timedemo", "-replay", file}, dir / "play.txt");
    EXPECT_EQ(play.Code, 0) << play.Output;
    // The timedemo times the frames of play, not those of the title and menu.
    EXPECT_NE(play.Output.find("Timedemo: "), std::string::npos) << play.Output;
    std::printf("%s: %s", s.Name, play.Output.c_str());

    // The same replay with one arrow press dropped, late in the session
    // where he walks on an interim map (on the empty construction maps he
    // only falls): the first check after it must stop the program, naming
    // that check's frame.
    TReplay altered = recorded;
    std::size_t k = 0;
    while (k < altered.Keys.size() &&
           (altered.Keys[k].Frame < recorded.FrameTotal * 2 / 3 || !altered.Keys[k].Changes[0].Down ||
            (altered.Keys[k].Changes[0].Sym != SYM_LEFT && altered.Keys[k].Changes[0].Sym != SYM_RIGHT))) {
      ++k;
    }
    ASSERT_LT(k, altered.Keys.size());
    const uint32_t dropped = altered.Keys[k].Frame;
    altered.Keys[k].Changes.erase(altered.Keys[k].Changes.begin());
    if (altered.Keys[k].Changes.empty()) altered.Keys.erase(altered.Keys.begin() + static_cast<long>(k));
    ASSERT_TRUE(altered.Save(dir / "altered.vrp", error)) << error;
    const uint32_t nextCheck = (dropped / 60 + 1) * 60;
    const TRun bad = RunProgram({"-nolog", "-timedemo", "-replay", dir / "altered.vrp"}, dir / "bad.txt");
    EXPECT_EQ(bad.Code, 4) << bad.Output;
    EXPECT_NE(bad.Output.find("Replay diverged at frame "), std::string::npos) << bad.Output;
    EXPECT_NE(bad.Output.find("Replay diverged at frame " + std::to_string(nextCheck) + ": "), std::string::npos)
        << bad.Output;
  }
}

// Damaged replay files end the program at once with a clear line and exit
// code 4, before anything is played.
TEST(CommittedReplays, ADamagedFileIsRefusedWithItsReason) {
  if (!FileExists(vgrtest::BinDir() + "/Voltigor.mad4")) GTEST_SKIP() << "the data archive is not built";
  vgrtest::TTempDir dir;
  std::ofstream(dir / "cut.vrp", std::ios::binary) << "VGRREPLY\x01";
  const TRun run = RunProgram({"-nolog", "-replay", dir / "cut.vrp"}, dir / "out.txt");
  EXPECT_EQ(run.Code, 4);
  EXPECT_NE(run.Output.find("Cannot play the replay " + (dir / "cut.vrp") + ": truncated header at byte 8"),
            std::string::npos)
      << run.Output;
}

}  // namespace
