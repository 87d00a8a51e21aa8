// The title sequence, the main menu and the main loop, driven headless on the
// real data: frames run back to back on a clock that moves only when the
// program waits, and keys arrive as events at chosen calls of ProcessEvents.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "BASS.h"
#include "MusicCollectionUnit.h"
#include "PlaylistUnit.h"
#include "PngGolden.h"
#include "ReplayUnit.h"
#include "SystemUnit.h"
#include "TestSupport.h"
#include "VGRGameValues.h"
#include "VGRResourceUnit.h"
#include "Voltigor.h"
#include "ZRFonts.h"
#include "ZR_SDL.h"
#include "vcc_Menu.h"

namespace {

// Calls of ProcessEvents the whole title sequence takes: the first look for
// Escape, then the waits of 216, 432 and 216 frames.
constexpr int kTitleCalls = 1 + 216 + 432 + 216;

struct TKeyAt {
  int Segment;  // which run of calls (see TScriptedInput)
  int Call;     // call within that run, from 0
  int Sym;
};

// Feeds keys to the program at chosen calls of ProcessEvents. The calls are
// counted in segments: a new segment starts whenever the screen changes
// between the menu and anything else (title, game), and after a key that
// confirms a menu row. A key is pressed at its call and released at the next.
class TScriptedInput {
 public:
  explicit TScriptedInput(std::vector<TKeyAt> keys) : Keys_(std::move(keys)) {
    SetInputScript([this](uint32_t) { OnCall(); });
  }
  ~TScriptedInput() { SetInputScript(nullptr); }

  std::function<void(int segment, int call)> Observe;
  std::vector<int> SegmentCalls;
  std::vector<bool> SegmentIsMenu;

 private:
  void OnCall() {
    if (++Total_ > 20000) throw std::runtime_error("the screen never returned");
    const bool menu = Fonts[0] != nullptr;
    if (SegmentCalls.empty() || menu != SegmentIsMenu.back() || Confirmed_) {
      SegmentCalls.push_back(0);
      SegmentIsMenu.push_back(menu);
      Confirmed_ = false;
    }
    const int segment = static_cast<int>(SegmentCalls.size()) - 1;
    const int call = SegmentCalls.back()++;
    for (int sym : Held_) PushKeyEvent(sym, false);
    Held_.clear();
    for (const TKeyAt& k : Keys_) {
      if (k.Segment != segment || k.Call != call) continue;
      PushKeyEvent(k.Sym, true);
      Held_.push_back(k.Sym);
      if (menu && (k.Sym == SYM_RETURN || k.Sym == SYM_SPACE)) Confirmed_ = true;
    }
    if (Observe) Observe(segment, call);
  }

  std::vector<TKeyAt> Keys_;
  std::vector<int> Held_;
  bool Confirmed_ = false;
  int Total_ = 0;
};

std::string Joined(const std::vector<std::string>& items) {
  std::string s;
  for (const auto& i : items) s += (s.empty() ? "" : ",") + i;
  return s;
}

// The whole program brought up once on a copy of the data archive, with a
// clock that moves only when the program waits.
class MainMenuScreen : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!std::filesystem::exists(vgrtest::BinDir() + "/Voltigor.mad4")) return;
    Dir_ = new vgrtest::TTempDir;
    std::filesystem::copy_file(vgrtest::BinDir() + "/Voltigor.mad4", *Dir_ / "Voltigor.mad4");
    SetFrameClock([] { return Now_; }, [](uint32_t ms) { Now_ += ms; });
    std::vector<std::string> args = {*Dir_ / "Voltigor", "-mainlog", *Dir_ / "menu.log"};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    StartUnits(static_cast<int>(argv.size()), argv.data());
    LoadProgram();
    Ready_ = true;
  }
  static void TearDownTestSuite() {
    if (Ready_) {
      StopProgram();
      RunExitProcs();
    }
    SetFrameClock(nullptr, nullptr);
    delete Dir_;
    Dir_ = nullptr;
    Ready_ = false;
  }
  void SetUp() override {
    if (!Ready_) GTEST_SKIP() << "the data archive is not built";
    ASSERT_TRUE(AudioReady) << "the menu music is checked through the audio library";
    ASSERT_NE(MenuSong(), nullptr) << "no song in the playlist \"Menu\"";
  }

  static TMusicCollectionItem* MenuSong() {
    TPlayList* list = PlayLists->Find("Menu");
    return list ? MusicCollection->Find(list->CurrentSong()) : nullptr;
  }
  // The song is loaded only while it plays.
  static uint32_t MenuMusicHandle() {
    TMusicCollectionItem* item = MenuSong();
    return item && item->Music ? item->Music->fMusic : 0;
  }
  static bool MenuMusicPlaying() { return BASS_ChannelIsActive(MenuMusicHandle()) == BASS_ACTIVE_PLAYING; }
  static int LogCount(const std::string& text) {
    const auto lines = vgrtest::SplitCRLF(vgrtest::ReadTextFile(*Dir_ / "menu.log"));
    return static_cast<int>(vgrtest::Matching(lines, text).size());
  }
  static int MusicStarts() { return LogCount("(MusicUnit, TMusic.Play) BASS: Music started."); }

  static inline vgrtest::TTempDir* Dir_ = nullptr;
  static inline bool Ready_ = false;
  static inline uint32_t Now_ = 0;
};

struct TMenuCase {
  const char* What;
  int32_t LastLevel;
  bool Unlocked;      // the game was completed in this run
  bool RobotBefore;   // the mode chosen when the menu was left last time
  bool Intro;         // the title sequence has not been shown yet
  uint8_t Previous;
  int TitleEscapeAt;  // call of the title sequence (from 1) that brings Escape; 0 none
  std::vector<std::pair<int, int>> MenuKeys;  // (menu frame, key)
  // What the screen shows and returns.
  int TitleCalls;
  int32_t CursorAtStart;  // Lines index under the cursor on the first frame
  const char* Practice;   // the practice starts offered
  const char* Modes;      // the modes offered
  uint8_t Choice;
  int32_t StartMap;
  bool Robot;
  int MusicStarted;       // times the menu music was started
  bool PlayingInMenu;     // the music plays on the menu's first frame
  bool PlayingAfter;      // and still after the menu returned
};

const char* const kAllStarts =
    "1,3,5,7,9,11,13,15,17,19,21,23,25,27,29,31,33,35,37,39,41,43,45,47,49";

constexpr int U = SYM_UP, D = SYM_DOWN, L = SYM_LEFT, R = SYM_RIGHT, RET = SYM_RETURN, SPC = SYM_SPACE,
              ESC = SYM_ESCAPE;

std::vector<std::pair<int, int>> Presses(std::vector<int> keys) {
  std::vector<std::pair<int, int>> out;
  for (std::size_t i = 0; i < keys.size(); ++i) out.emplace_back(static_cast<int>(i), keys[i]);
  return out;
}

TEST_F(MainMenuScreen, TitleMenuRowsAndChoices) {
  std::vector<int> right26 = {D};
  right26.insert(right26.end(), 26, R);
  right26.push_back(RET);
  const TMenuCase cases[] = {
      {"title shown whole, then NEW GAME", 1, false, true, true, 0, 0, Presses({RET}),
       kTitleCalls, 0, "1", "NORMAL", 0, 1, false, 1, true, false},
      {"Escape at the first look skips the title; MODE keeps the music", 1, false, true, true, 0, 1,
       Presses({D, D, RET}), 1, 0, "1", "NORMAL", 2, 1, false, 1, true, true},
      {"after MODE: no title, no music start, cursor on MODE", 1, false, true, true, 2, 0, Presses({SPC}),
       0, 2, "1", "NORMAL", 2, 1, false, 0, true, true},
      {"Escape on the first held frame of presents", 2, false, true, true, 0, 2, Presses({RET}),
       2, 0, "1,3", "NORMAL", 0, 1, false, 1, true, false},
      {"Escape on the last frame of presents", 2, false, true, true, 0, 217, Presses({RET}),
       217, 0, "1,3", "NORMAL", 0, 1, false, 1, true, false},
      {"Escape while the credits show", 2, false, true, true, 0, 218, Presses({RET}),
       218, 0, "1,3", "NORMAL", 0, 1, false, 1, true, false},
      {"Escape in the last wait of the title", 2, false, true, true, 0, kTitleCalls, Presses({RET}),
       kTitleCalls, 0, "1,3", "NORMAL", 0, 1, false, 1, true, false},
      {"LastLevel 1: one start, Right stays on it", 1, false, true, false, 0, 0, Presses({D, R, RET}),
       0, 0, "1", "NORMAL", 1, 1, false, 1, true, false},
      {"LastLevel 26: 25 starts, 26 steps right wrap to 3", 26, false, true, false, 0, 0, Presses(right26),
       0, 0, kAllStarts, "NORMAL", 1, 3, false, 1, true, false},
      {"Left from the first start wraps to 49; Space confirms", 26, false, true, false, 0, 0, Presses({D, L, SPC}),
       0, 0, kAllStarts, "NORMAL", 1, 49, false, 1, true, false},
      {"Escape moves to QUIT, Return quits", 3, false, true, false, 0, 0, Presses({ESC, RET}),
       0, 0, "1,3,5", "NORMAL", 3, 1, false, 1, true, false},
      {"the cursor starts on the row returned last; Escape, Space quits", 3, false, true, false, 1, 0,
       Presses({ESC, SPC}), 0, 1, "1,3,5", "NORMAL", 3, 1, false, 1, true, false},
      {"LastLevel 26 at start-up is no completion: NORMAL only", 26, false, true, false, 0, 0, Presses({D, D, R, RET}),
       0, 0, kAllStarts, "NORMAL", 2, 1, false, 1, true, true},
      {"the mode chosen last stays chosen through MODE", 26, true, true, false, 2, 0, Presses({RET}),
       0, 2, kAllStarts, "NORMAL,ZA.RAROZ", 2, 1, true, 0, true, true},
      {"and can be set back to NORMAL", 26, true, true, false, 2, 0, Presses({L, RET}),
       0, 2, kAllStarts, "NORMAL,ZA.RAROZ", 2, 1, false, 0, true, true},
      {"after a completion Za.Raroz is offered and taken into a new game", 26, true, false, false, 2, 0,
       Presses({R, U, U, RET}), 0, 2, kAllStarts, "NORMAL,ZA.RAROZ", 0, 1, true, 0, true, false},
      {"a practice start in the Za.Raroz mode", 3, true, false, false, 0, 0, Presses({D, D, R, U, R, R, RET}),
       0, 0, "1,3,5", "NORMAL,ZA.RAROZ", 1, 5, true, 1, true, false},
  };
  for (const TMenuCase& c : cases) {
    SCOPED_TRACE(c.What);
    LastLevel = c.LastLevel;
    ZaRarozUnlocked = c.Unlocked;
    ShowIntro = c.Intro;
    StartMap = -1;
    MrRobotMode = c.RobotBefore;
    const int menuSegment = c.Intro && c.Previous != 2 ? 1 : 0;
    std::vector<TKeyAt> keys;
    if (c.TitleEscapeAt > 0) keys.push_back({0, c.TitleEscapeAt - 1, ESC});
    for (auto [frame, sym] : c.MenuKeys) keys.push_back({menuSegment, frame, sym});
    TScriptedInput input(keys);
    int32_t cursorAtStart = -1;
    bool playingInMenu = false;
    input.Observe = [&](int segment, int call) {
      if (segment == menuSegment && call == 0) {
        cursorAtStart = Menu->SelectedLine();
        playingInMenu = MenuMusicPlaying();
      }
    };
    const int startsBefore = MusicStarts();

    const uint8_t choice = MainMenu(c.Previous);

    ASSERT_EQ(input.SegmentCalls.size(), static_cast<std::size_t>(menuSegment + 1));
    EXPECT_EQ(menuSegment ? input.SegmentCalls[0] : 0, c.TitleCalls);
    EXPECT_TRUE(input.SegmentIsMenu.back());
    // After MODE the title is not shown, whatever the flag says.
    EXPECT_EQ(ShowIntro, c.Intro && c.Previous == 2);
    EXPECT_EQ(cursorAtStart, c.CursorAtStart);
    ASSERT_EQ(Menu->Lines.size(), 4u);
    EXPECT_EQ(Joined(Menu->Lines[1].Captions), c.Practice);
    EXPECT_EQ(Menu->Lines[1].Captions, Menu->Lines[1].Values);
    EXPECT_EQ(Joined(Menu->Lines[2].Captions), c.Modes);
    EXPECT_EQ(choice, c.Choice);
    EXPECT_EQ(StartMap, c.StartMap);
    EXPECT_EQ(MrRobotMode, c.Robot);
    EXPECT_EQ(MusicStarts() - startsBefore, c.MusicStarted);
    EXPECT_EQ(playingInMenu, c.PlayingInMenu);
    EXPECT_EQ(MenuMusicPlaying(), c.PlayingAfter);
    // Everything the screen loaded is gone again; Return and Space are released.
    EXPECT_EQ(Fonts[0], nullptr);
    EXPECT_EQ(Fonts[1], nullptr);
    EXPECT_EQ(InfoFont, nullptr);
    EXPECT_FALSE(KeyState[SYM_RETURN] || KeyState[SYM_SPACE] || KeyState[SYM_ESCAPE]);
  }
  ZaRarozUnlocked = false;
}

// The title's three held pictures (which the real window's tests also
// compare with, tests/scripts/window-under-xvfb.sh) and the menu at the start
// of the bar's swing and 40 frames into it (its lowest point). Rewrite with
//   VGR_UPDATE_GOLDEN=1 build/bin/app_tests --gtest_filter='MainMenuScreen.Golden*'
TEST_F(MainMenuScreen, GoldenTitleAndMenu) {
  LastLevel = 26;
  ZaRarozUnlocked = false;
  ShowIntro = true;
  TScriptedInput input({{1, 41, SYM_RETURN}});
  std::vector<std::pair<std::string, golden::TPicture>> shots;
  input.Observe = [&](int segment, int call) {
    // Each picture is on the screen from the first call of the wait after it.
    if (segment == 0 && call == 1) shots.emplace_back("title-presents", golden::Capture(ScreenImage));
    if (segment == 0 && call == 1 + 216) shots.emplace_back("title-credits", golden::Capture(ScreenImage));
    if (segment == 0 && call == 1 + 216 + 432) shots.emplace_back("title-inlay", golden::Capture(ScreenImage));
    if (segment == 1 && call == 0) shots.emplace_back("menu-frame0", golden::Capture(ScreenImage));
    if (segment == 1 && call == 40) shots.emplace_back("menu-frame40", golden::Capture(ScreenImage));
  };
  EXPECT_EQ(MainMenu(0), 0);
  ASSERT_EQ(shots.size(), 5u);
  for (const auto& [name, picture] : shots) {
    EXPECT_EQ(golden::Compare(picture, vgrtest::SourceDir() + "/tests/app/golden/" + name + ".png"), "");
  }
  // The bar has swung down by 20 rows.
  EXPECT_NE(shots[3].second.Checksum(), shots[4].second.Checksum());
}

// The main loop: NEW GAME runs a game, Escape in the game comes back to the
// menu, MODE brings the menu straight back, QUIT ends the loop.
TEST_F(MainMenuScreen, MainLoopHandsTheChoiceBackAndForth) {
  LastLevel = 1;
  ShowIntro = true;
  TScriptedInput input({
      {0, 0, SYM_ESCAPE},                                        // title skipped
      {1, 0, SYM_RETURN},                                        // NEW GAME
      {2, 5, SYM_ESCAPE}, {2, 8, SYM_Y},                         // the game left
      {3, 0, SYM_DOWN}, {3, 1, SYM_DOWN}, {3, 2, SYM_RETURN},    // MODE
      {4, 0, SYM_ESCAPE}, {4, 1, SYM_RETURN},                    // QUIT
  });
  std::vector<int32_t> cursorAtStart;
  std::vector<bool> playing;  // the menu music, on the first call of each segment
  input.Observe = [&](int segment, int call) {
    if (call != 0) return;
    playing.push_back(MenuMusicPlaying());
    if (input.SegmentIsMenu[static_cast<std::size_t>(segment)]) cursorAtStart.push_back(Menu->SelectedLine());
  };

  RunMainLoop();

  EXPECT_EQ(MenuChoice, 3);
  EXPECT_EQ(input.SegmentIsMenu, (std::vector<bool>{false, true, false, true, true}));
  EXPECT_EQ(cursorAtStart, (std::vector<int32_t>{0, 0, 2}));
  // Silent in the title before "presents" and in the game; playing in every menu.
  EXPECT_EQ(playing, (std::vector<bool>{false, true, false, true, true}));
  EXPECT_FALSE(MenuMusicPlaying());
}

// A replay holds the whole session from the title on: recorded while the
// title is skipped, a game is started from the menu, played, left and the
// program quit, it plays back to its end on its own keys. A replay that
// started only with the game would leave the played-back program waiting in
// the title and the menu, and the playback would run out of frames.
TEST(ProgramSession, ARecordingFromTheTitleOnPlaysBackToTheEnd) {
  if (!std::filesystem::exists(vgrtest::BinDir() + "/Voltigor.mad4")) GTEST_SKIP() << "the data archive is not built";
  vgrtest::TTempDir dir;
  std::filesystem::copy_file(vgrtest::BinDir() + "/Voltigor.mad4", dir / "Voltigor.mad4");
  const std::string replay = dir / "session.vgrreplay";
  uint32_t now = 0;
  SetFrameClock([&] { return now; }, [&](uint32_t ms) { now += ms; });
  auto run = [&](std::vector<std::string> args) {
    // Each run is a fresh process as far as the title is concerned.
    ShowIntro = true;
    ZaRarozUnlocked = false;
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    int code = -1;
    try {
      code = VoltigorMain(static_cast<int>(argv.size()), argv.data());
    } catch (const THaltRequest& h) {
      code = h.ExitCode;
      RunExitProcs();
    }
    return code;
  };
  {
    TScriptedInput input({
        {0, 0, SYM_ESCAPE},                                             // title skipped
        {1, 2, SYM_RETURN},                                             // NEW GAME
        {2, 5, SYM_RIGHT}, {2, 20, SYM_RIGHT}, {2, 30, SYM_SPACE},      // a little play
        {2, 40, SYM_LEFT}, {2, 150, SYM_ESCAPE}, {2, 153, SYM_Y},       // the game left
        {3, 0, SYM_ESCAPE}, {3, 1, SYM_RETURN},                         // QUIT
    });
    EXPECT_EQ(run({dir / "Voltigor", "-mainlog", dir / "record.log", "-record", replay}), 0);
    EXPECT_EQ(input.SegmentIsMenu, (std::vector<bool>{false, true, false, true}));
  }
  TReplay recorded;
  std::string error;
  ASSERT_TRUE(recorded.Load(replay, error)) << error;
  EXPECT_GT(recorded.FrameTotal, 150u);
  EXPECT_GE(recorded.Checks.size(), 2u) << "the game's frames are checked";

  const int code = run({dir / "Voltigor", "-mainlog", dir / "play.log", "-replay", replay});
  SetFrameClock(nullptr, nullptr);
  EXPECT_EQ(code, 0);
  const auto lines = vgrtest::SplitCRLF(vgrtest::ReadTextFile(dir / "play.log"));
  EXPECT_TRUE(vgrtest::Matching(lines, "{ReplayUnit").empty());
  const auto recordedLines = vgrtest::SplitCRLF(vgrtest::ReadTextFile(dir / "record.log"));
  EXPECT_EQ(vgrtest::Matching(lines, "BASS: Music started.").size(),
            vgrtest::Matching(recordedLines, "BASS: Music started.").size());
}

// A replay in the Za.Raroz mode (a bare key script: title skipped, NEW GAME,
// the game left, QUIT) finds the mode offered and chosen in the menu.
TEST(ProgramSession, AReplayInTheZaRarozModeFindsItChosenInTheMenu) {
  if (!std::filesystem::exists(vgrtest::BinDir() + "/Voltigor.mad4")) GTEST_SKIP() << "the data archive is not built";
  vgrtest::TTempDir dir;
  std::filesystem::copy_file(vgrtest::BinDir() + "/Voltigor.mad4", dir / "Voltigor.mad4");
  TReplay script;
  script.Header.Seed = 7;
  script.Header.Mode = true;
  script.Header.ProgramVersion = "Voltigor V1.05 Build 0063";
  for (auto [frame, sym] : std::vector<std::pair<uint32_t, int>>{{0, SYM_ESCAPE}, {2, SYM_RETURN}, {40, SYM_ESCAPE},
                                                                  {42, SYM_Y}, {44, SYM_ESCAPE}, {46, SYM_RETURN}}) {
    script.Keys.push_back({frame, {{static_cast<uint16_t>(sym), true}}});
    if (frame < 46) script.Keys.push_back({frame + 1, {{static_cast<uint16_t>(sym), false}}});
  }
  script.FrameTotal = 47;  // the Return of frame 46 quits
  std::string error;
  ASSERT_TRUE(script.Save(dir / "zararoz.vgrreplay", error)) << error;
  ShowIntro = true;
  ZaRarozUnlocked = false;
  MrRobotMode = false;
  uint32_t now = 0;
  SetFrameClock([&] { return now; }, [&](uint32_t ms) { now += ms; });
  std::vector<std::string> args = {dir / "Voltigor", "-mainlog", dir / "play.log",  //
                                   "-replay", dir / "zararoz.vgrreplay"};
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  const int code = VoltigorMain(static_cast<int>(argv.size()), argv.data());
  SetFrameClock(nullptr, nullptr);
  EXPECT_EQ(code, 0);
  // The menu was left for the last time with the mode row still on ZA.RAROZ.
  EXPECT_TRUE(MrRobotMode);
  ZaRarozUnlocked = false;
  MrRobotMode = false;
}

}  // namespace
