// A window losing the focus mid-game holds the game; neither the recording
// made across the pause nor a playback paused elsewhere notices.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "VGRResourceUnit.h"
#include "Voltigor.h"
#include "ZRWindowUnit.h"
#include "ZR_SDL.h"

using vgrtest::ReadTextFile;
using vgrtest::SplitCRLF;
using vgrtest::TTempDir;

namespace {

// Runs the program in this process, frames back to back on a clock that
// moves only when the program waits. `keys` runs at each frame's events,
// `paused` at each period of a pause.
int RunProgram(std::vector<std::string> args, std::function<void(uint32_t)> keys,
               std::function<void(uint32_t)> paused) {
  args.insert(args.begin(), "Voltigor");
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  // The title holds its pictures on waits of their own, which the input
  // script's frame numbers (counted in shown frames) do not see: the session
  // starts at the menu, as a second menu call of a run does.
  ShowIntro = false;
  uint32_t now = 0;
  SetFrameClock([&] { return now; }, [&](uint32_t ms) { now += ms; });
  SetInputScript(std::move(keys));
  SetPauseScript(std::move(paused));
  const int code = VoltigorMain(static_cast<int>(argv.size()), argv.data());
  SetPauseScript(nullptr);
  SetInputScript(nullptr);
  SetFrameClock(nullptr, nullptr);
  return code;
}

// Focus away at frame `away`; while paused, `during` runs at period 0 and
// the focus comes back at period 3.
struct TPauseAt {
  uint32_t Away;
  std::function<void()> During;
  uint32_t Periods = 0;
  uint32_t Pauses = 0;
  void Frame(uint32_t frame) {
    if (frame == Away) PushFocusEvent(false);
  }
  void Period(uint32_t period) {
    Periods += 1;
    if (period == 0) {
      Pauses += 1;
      // The game shows its frame with the line over the playfield.
      EXPECT_FALSE(WindowHasFocus());
      if (During) During();
    }
    if (period == 3) PushFocusEvent(true);
  }
};

size_t CountLines(const std::string& log, const std::string& line) {
  auto lines = SplitCRLF(ReadTextFile(log));
  return static_cast<size_t>(std::count(lines.begin(), lines.end(), line));
}

}  // namespace

TEST(PauseAndReplay, AFocusLossNeitherChangesTheRecordingNorThePlayback) {
  TTempDir dir;
  const std::string replay = dir / "paused.vgr";
  const std::string recordLog = dir / "record.log";
  // Start a NEW GAME from the menu, walk right, lose the
  // focus, change keys while away (they wait in the queue), come back, jump
  // and walk left, leave the game with Escape and QUIT from the menu.
  constexpr uint32_t g = 10;  // the game's first frames
  TPauseAt recordPause{g + 40, [] {
                         PushKeyEvent(SYM_RIGHT, false);
                         PushKeyEvent(SYM_SPACE, true);
                       }};
  const int recorded = RunProgram(
      {"-record", replay, "-mainlog", recordLog},
      [&](uint32_t frame) {
        recordPause.Frame(frame);
        if (frame == 7) PushKeyEvent(SYM_RETURN, true);
        if (frame == 8) PushKeyEvent(SYM_RETURN, false);
        if (frame == g + 5) PushKeyEvent(SYM_RIGHT, true);
        if (frame == g + 60) PushKeyEvent(SYM_SPACE, false);
        if (frame == g + 70) PushKeyEvent(SYM_LEFT, true);
        if (frame == g + 110) PushKeyEvent(SYM_LEFT, false);
        if (frame >= g + 200 && frame < g + 250 && frame % 4 == 0) PushKeyEvent(SYM_ESCAPE, frame % 8 == 0);
        if (frame == g + 260) PushKeyEvent(SYM_RETURN, true);
        // Never wait for ever: the program quits long before this.
        if (frame > g + 2000) PushQuitEvent();
      },
      [&](uint32_t period) { recordPause.Period(period); });
  EXPECT_EQ(recorded, 0);
  EXPECT_EQ(recordPause.Pauses, 1u);
  EXPECT_EQ(recordPause.Periods, 4u);
  EXPECT_EQ(CountLines(recordLog, "(ZR_SDL, WaitForFocus) Paused"), 1u);
  EXPECT_EQ(CountLines(recordLog, "(ZR_SDL, WaitForFocus) Resumed"), 1u);

  // Played back with a pause somewhere else: every checksum still matches
  // (a divergence ends the program with code 4).
  const std::string playLog = dir / "play.log";
  TPauseAt playPause{g + 90, nullptr};
  const int played = RunProgram({"-replay", replay, "-mainlog", playLog},
                                [&](uint32_t frame) { playPause.Frame(frame); },
                                [&](uint32_t period) { playPause.Period(period); });
  EXPECT_EQ(played, 0) << ReadTextFile(playLog);
  EXPECT_EQ(playPause.Pauses, 1u);
  EXPECT_EQ(CountLines(playLog, "(ZR_SDL, WaitForFocus) Resumed"), 1u);
}
