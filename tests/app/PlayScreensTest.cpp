// What the player is shown beyond the rules, on the real data and the real
// program: the map's name in the menu's practice row and as a map starts, the
// place of the next piece, the dots left in Za.Raroz, the tally of a finished
// map, the pause and the question to leave, the mark of the muted sound, and
// the end screens over the HUD line of the game they end. None of it may
// change what a frame computes: a session that pauses and asks records and
// plays back with every check agreeing, and the solved maps play as before.
//
// Golden pictures: see PngGolden.h; rewrite them with
//   VGR_UPDATE_GOLDEN=1 build/bin/app_tests --gtest_filter='PlayScreens*'
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "GAME.h"
#include "PngGolden.h"
#include "ReplayUnit.h"
#include "SystemUnit.h"
#include "TestSupport.h"
#include "VGRGameValues.h"
#include "VGRResourceUnit.h"
#include "Voltigor.h"
#include "ZR_SDL.h"
#include "vcc_Menu.h"

namespace {

const std::string kGoldenDir = vgrtest::SourceDir() + "/tests/app/golden/";
const std::string kSolutionDir = vgrtest::SourceDir() + "/data/replays/";

// The program in this process on a copy of the archive, frames back to back
// on a clock that moves only when it waits; `poll` runs at every frame's
// events with the number of frames shown so far. The session starts with the
// title, or at the menu when the title counts as seen.
int RunProgram(const vgrtest::TTempDir& dir, std::vector<std::string> args, std::function<void(uint32_t)> poll,
               bool title) {
  args.insert(args.begin(), dir / "Voltigor");
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  ShowIntro = title;
  ZaRarozUnlocked = false;
  uint32_t now = 0;
  SetFrameClock([&] { return now; }, [&](uint32_t ms) { now += ms; });
  SetInputScript(std::move(poll));
  int code = -1;
  try {
    code = VoltigorMain(static_cast<int>(argv.size()), argv.data());
  } catch (const THaltRequest& h) {
    code = h.ExitCode;
    RunExitProcs();
  }
  SetInputScript(nullptr);
  SetFrameClock(nullptr, nullptr);
  return code;
}

// Keys tapped in one round of events and let go in the next, as a player
// taps them.
struct TTaps {
  std::vector<int> Held;
  void Press(int sym) {
    PushKeyEvent(sym, true);
    Held.push_back(sym);
  }
  void ReleaseHeld() {
    for (int sym : Held) PushKeyEvent(sym, false);
    Held.clear();
  }
};

// Pictures of the screen taken along a session, compared at the end.
struct TShots {
  std::map<std::string, golden::TPicture> Taken;
  void Take(const std::string& name) {
    if (!Taken.count(name)) Taken[name] = golden::Capture(ScreenImage);
  }
  void Compare(const std::vector<std::string>& names) {
    for (const std::string& name : names) {
      SCOPED_TRACE(name);
      ASSERT_TRUE(Taken.count(name)) << "never taken";
      const std::string diff = golden::Compare(Taken[name], kGoldenDir + name + ".png");
      EXPECT_TRUE(diff.empty()) << diff;
    }
  }
};

class PlayScreens : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists(vgrtest::BinDir() + "/Voltigor.mad4")) GTEST_SKIP() << "the data archive is not built";
    std::filesystem::copy_file(vgrtest::BinDir() + "/Voltigor.mad4", Dir / "Voltigor.mad4");
  }
  vgrtest::TTempDir Dir;
};

// A new game on map 1: the menu names the practice map, the map's name shows
// as it starts and goes after about two seconds, P pauses and P goes on,
// Escape asks and N goes on, Escape in a pause asks and Escape again leaves.
// The recording holds it all and plays back with every check agreeing.
TEST_F(PlayScreens, APausedAndQuestionedSessionRecordsAndPlaysBack) {
  TShots shots;
  bool nameGoneInTime = false, nameUpAtStart = false;
  uint32_t heldPolls = 0;
  auto pixelsAbovePlay = [] {
    const golden::TPicture p = golden::Capture(ScreenImage);
    int lit = 0;
    for (std::size_t i = 0; i < static_cast<std::size_t>(p.Width) * 21 * 3; ++i) lit += p.RGB[i] != 0;
    return lit;
  };
  // Menu calls 0..: Down to the practice row, its picture, Up, Return.
  // Then the game's frames of play (m) and its holds (by events read).
  std::map<int, int> menuKeys = {{2, SYM_DOWN}, {8, SYM_UP}, {12, SYM_RETURN}};
  int menuCall = 0;
  const std::string replay = Dir / "held.vrp";
  TTaps taps;
  auto session = [&](uint32_t) {
    taps.ReleaseHeld();
    auto press = [&](int sym) { taps.Press(sym); };
    if (!GameInPlay) {
      if (Menu && Fonts[0]) {
        if (menuCall == 6) shots.Take("menu-practice-map-name");
        if (menuKeys.count(menuCall)) press(menuKeys[menuCall]);
        ++menuCall;
      }
      return;
    }
    TGame& g = *GameInPlay;
    const uint32_t m = g.MapFrames();
    if (g.Held()) {
      ++heldPolls;
      if (m == 81 && heldPolls == 3) shots.Take("game-paused");
      if (m == 81 && heldPolls == 10) press(SYM_P);
      if (m == 121 && heldPolls == 13) shots.Take("game-leave-question");
      if (m == 121 && heldPolls == 20) press(SYM_N);
      if (m == 201 && heldPolls == 23) press(SYM_ESCAPE);
      if (m == 201 && heldPolls == 26) press(SYM_ESCAPE);
      return;
    }
    if (m == 1) {
      shots.Take("game-map-name-and-next-piece");
      nameUpAtStart = pixelsAbovePlay() > 0;
    }
    if (m == 130) nameGoneInTime = pixelsAbovePlay() == 0;
    if (m == 5) PushKeyEvent(SYM_RIGHT, true);
    if (m == 60) PushKeyEvent(SYM_RIGHT, false);
    if (m == 80) press(SYM_P);
    if (m == 120) press(SYM_ESCAPE);
    if (m == 200) press(SYM_P);
  };
  // Back in the menu after the game: Escape to QUIT, Return.
  bool played = false;
  int calls = 0;
  auto quitAfterGame = [&](uint32_t frame) {
    if (GameInPlay) played = true;
    if (played && !GameInPlay && Menu && Fonts[0]) {
      if (calls == 1) PushKeyEvent(SYM_ESCAPE, true);
      if (calls == 2) PushKeyEvent(SYM_ESCAPE, false);
      if (calls == 4) PushKeyEvent(SYM_RETURN, true);
      ++calls;
      return;
    }
    session(frame);
  };
  ASSERT_EQ(RunProgram(Dir, {"-mainlog", Dir / "record.log", "-record", replay}, quitAfterGame, false), 0);
  EXPECT_TRUE(nameUpAtStart);
  EXPECT_TRUE(nameGoneInTime);
  EXPECT_EQ(heldPolls, 26u);
  const auto log = vgrtest::SplitCRLF(vgrtest::ReadTextFile(Dir / "record.log"));
  EXPECT_EQ(vgrtest::Matching(log, "(GAME, TGame.HoldPlay) Paused").size(), 2u);
  EXPECT_EQ(vgrtest::Matching(log, "(GAME, TGame.HoldPlay) Asked whether to leave").size(), 2u);
  EXPECT_EQ(vgrtest::Matching(log, "(GAME, TGame.HoldPlay) Left the game").size(), 1u);
  shots.Compare({"menu-practice-map-name", "game-map-name-and-next-piece", "game-paused", "game-leave-question"});

  TReplay recorded;
  std::string error;
  ASSERT_TRUE(recorded.Load(replay, error)) << error;
  EXPECT_GE(recorded.Checks.size(), 3u);
  ASSERT_EQ(RunProgram(Dir, {"-mainlog", Dir / "play.log", "-replay", replay}, nullptr, false), 0);
  const auto playLog = vgrtest::SplitCRLF(vgrtest::ReadTextFile(Dir / "play.log"));
  EXPECT_TRUE(vgrtest::Matching(playLog, "{ReplayUnit").empty());
  EXPECT_EQ(vgrtest::Matching(playLog, "Replay played to the end").size(), 1u);
  EXPECT_EQ(vgrtest::Matching(playLog, "(GAME, TGame.HoldPlay) Paused").size(), 2u);
}

// Two solved maps played back: the slot of the next piece blinks where it
// goes, the dots left stand beside the creature in Za.Raroz, and the tally
// is up through the creature's animation, which takes no frame longer.
TEST_F(PlayScreens, TheSolvedMapsShowTheNextPieceTheDotsAndTheTally) {
  struct TCase {
    const char* Replay;
    const char* Playing;  // a picture during play
    const char* Tally;
  };
  for (const TCase& c : {TCase{"01.vrp", "game-next-piece", "game-map-tally"},
                         TCase{"01-zararoz.vrp", "game-zararoz-dots-left", "game-zararoz-tally"}}) {
    SCOPED_TRACE(c.Replay);
    TShots shots;
    uint32_t doneFrames = 0;
    auto watch = [&](uint32_t) {
      if (!GameInPlay) return;
      TGame& g = *GameInPlay;
      if (g.Prof->IsLevelDone()) {
        doneFrames = g.FrameCounter;
        if (g.FrameCounter == 100) shots.Take(c.Tally);
      } else if (g.CurrentMap == 1 && g.MapFrames() >= 400 && (g.MapFrames() / 20) % 2 == 0 &&
                 g.Prof->NextPiece() > 3) {
        shots.Take(c.Playing);
      }
    };
    ASSERT_EQ(RunProgram(Dir, {"-mainlog", Dir / "play.log", "-replay", kSolutionDir + c.Replay}, watch, true), 0);
    // The animation's frames as ever: the next map starts after 128.
    EXPECT_EQ(doneFrames, 128u);
    shots.Compare({c.Playing, c.Tally});
    const std::string log = vgrtest::ReadTextFile(Dir / "play.log");
    EXPECT_NE(log.find("Map 01 completed with 3 spare lives"), std::string::npos);
    EXPECT_EQ(log.find("Replay diverged"), std::string::npos);
  }
}

// Every name fits beside its number: stepping the practice row through all
// 25 maps, nothing is drawn in the last 8 columns of the screen on that row.
TEST_F(PlayScreens, EveryPracticeMapNameFitsOnTheScreen) {
  TReplay script;
  script.Header.LastLevel = 26;
  script.Header.ProgramVersion = "test";
  uint32_t f = 0;
  auto press = [&](int sym) {
    script.Keys.push_back({f, {{static_cast<uint16_t>(sym), true}}});
    script.Keys.push_back({f + 1, {{static_cast<uint16_t>(sym), false}}});
    f += 2;
  };
  press(SYM_ESCAPE);  // the title
  press(SYM_DOWN);
  for (int i = 0; i < 24; ++i) press(SYM_RIGHT);
  press(SYM_ESCAPE);
  press(SYM_RETURN);
  script.FrameTotal = f;
  std::string error;
  ASSERT_TRUE(script.Save(Dir / "steps.vrp", error)) << error;
  std::map<std::string, int> litAtTheEdge;  // by the map offered
  auto look = [&](uint32_t) {
    if (!Menu || !Fonts[0] || Menu->SelectedLine() != 1) return;
    const golden::TPicture p = golden::Capture(ScreenImage);
    int lit = 0;
    for (int y = 180; y < 210; ++y)
      for (int x = 632; x < 640; ++x)
        for (int c = 0; c < 3; ++c) lit += p.RGB[(static_cast<std::size_t>(y) * 640 + x) * 3 + c] != 0;
    litAtTheEdge[Menu->GetOptionValue("sl")] += lit;
  };
  ASSERT_EQ(RunProgram(Dir, {"-mainlog", Dir / "menu.log", "-replay", Dir / "steps.vrp"}, look, true), 0);
  EXPECT_EQ(litAtTheEdge.size(), 25u);
  for (const auto& [map, lit] : litAtTheEdge) EXPECT_EQ(lit, 0) << "map " << map;
}

// The screens at the end of games, with the HUD line they stand over. The
// committed replay whose last life goes on interim map 2 (the HUD says map
// 50, as at the end of every game): the game-over
// prompt, and its last frame, in which Escape leaves it. Then a new game
// played here: F12 on map 1 puts up the mark of the muted sound and takes it
// down again, the skip key runs through to map 50 (the score set to what a
// whole game earns on the way), and the completion scene shows its prompt
// over the creature on its stand, and then its last page.
TEST_F(PlayScreens, EveryEndScreenAfterAGameAndTheMuteMark) {
  TShots shots;
  // An end screen is up when the game has ended: its professor is gone.
  const auto ended = [] { return GameInPlay && !GameInPlay->Prof; };
  uint32_t endPolls = 0;
  golden::TPicture last;
  auto watch = [&](uint32_t) {
    if (!ended()) return;
    if (++endPolls == 1) shots.Take("gameover-after-map-2-prompt");
    last = golden::Capture(ScreenImage);
  };
  ASSERT_EQ(RunProgram(Dir, {"-mainlog", Dir / "end.log", "-replay", vgrtest::SourceDir() + "/tests/app/replays/deaths-to-game-over.vrp"},
                       watch, true),
            0);
  ASSERT_GE(endPolls, 1u);
  shots.Taken["gameover-after-map-2-escape"] = last;
  EXPECT_EQ(vgrtest::ReadTextFile(Dir / "end.log").find("Replay diverged"), std::string::npos);

  constexpr int32_t kWholeGameScore = 1372;
  bool markGone = false, played = false;
  int menuCalls = 0;
  endPolls = 0;
  TTaps taps;
  auto session = [&](uint32_t) {
    taps.ReleaseHeld();
    auto press = [&](int sym) { taps.Press(sym); };
    if (ended()) {
      ++endPolls;
      // The prompt comes at the scene's 301st frame; Space turns to the
      // last page, and Space again leaves it.
      if (endPolls == 301) shots.Take("completion-after-a-game-prompt");
      if (endPolls == 305) press(SYM_SPACE);
      if (endPolls == 310) shots.Take("completion-after-a-game-last-page");
      if (endPolls == 312) press(SYM_SPACE);
      return;
    }
    if (!GameInPlay) {
      if (!Menu || !Fonts[0]) return;
      // NEW GAME; after the game, QUIT.
      if (menuCalls == 2) press(played ? SYM_ESCAPE : SYM_RETURN);
      if (played && menuCalls == 5) press(SYM_RETURN);
      ++menuCalls;
      return;
    }
    if (!played) {
      // The program seeds itself from the clock: the game is seeded here,
      // so that the maps and the scene's monsters come out the same.
      Randomize(7);
      menuCalls = 0;
    }
    played = true;
    TGame& g = *GameInPlay;
    const uint32_t m = g.MapFrames();
    if (g.CurrentMap == 1) {
      if (m == 20) press(SYM_F12);
      if (m == 30) shots.Take("game-muted");
      if (m == 31) press(SYM_F12);
      if (m == 40) {
        const golden::TPicture p = golden::Capture(ScreenImage);
        int lit = 0;
        for (int y = 0; y < 20; ++y)
          for (int x = 600; x < 640; ++x) lit += p.RGB[(static_cast<std::size_t>(y) * 640 + x) * 3] != 0;
        markGone = lit == 0;
      }
      if (m < 50) return;
    }
    // The score is drawn in the frame after it is set, before the last skip.
    if (g.CurrentMap == 49) Score = kWholeGameScore;
    if (m % 2 == 1) press(SYM_KP_PLUS);
  };
  ASSERT_EQ(RunProgram(Dir, {"-mainlog", Dir / "game.log"}, session, false), 0);
  EXPECT_TRUE(played);
  EXPECT_TRUE(markGone);
  EXPECT_GE(endPolls, 312u);
  EXPECT_NE(vgrtest::ReadTextFile(Dir / "game.log").find("Game ended on map 50 with 3 spare lives, score 1372"),
            std::string::npos);
  shots.Compare({"gameover-after-map-2-prompt", "gameover-after-map-2-escape", "game-muted",
                 "completion-after-a-game-prompt", "completion-after-a-game-last-page"});
}

}  // namespace
