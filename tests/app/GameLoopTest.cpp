// The game loop on the game's own data, headless and seeded, driven through
// the real PlayGame with the keys of each frame put into KeyState and frames
// that never wait for the clock. Two level pieces are the tests' own, made
// here and served as a loose "Zapkin.mpk" in front of the archive: a
// laboratory whose floor breaks off after three pieces, and one where all
// seven pieces lie in a row before the exit. The interim piece is the game's.
//
// Golden first frames: see PngGolden.h; rewrite them with
//   VGR_UPDATE_GOLDEN=1 build/bin/app_tests --gtest_filter='GameLoop*'
// The committed replays in tests/app/replays are played by the real program;
// the same command records them again from their key scripts.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>

#include "GAME.h"
#include "GameArchive.h"
#include "ImageCollectionUnit.h"
#include "PlaylistUnit.h"
#include "PngGolden.h"
#include "ReplayUnit.h"
#include "VGRResourceUnit.h"
#include "SystemUnit.h"
#include "TestSupport.h"
#include "VGRGameValues.h"
#include "Voltigor.h"
#include "XMapPackUnit.h"
#include "ZR_SDL.h"
#include "ZRStream3.h"

extern char** environ;

namespace {

const std::string kGoldenDir = vgrtest::SourceDir() + "/tests/app/golden/";
const std::string kReplayDir = vgrtest::SourceDir() + "/tests/app/replays/";

// A laboratory piece: the floor of row 4 (where the professor stands at the
// start, feet in column 5) from column 1 to 32 as `floor` gives it, one
// monster patrolling row 8 far from the floor, and a floor at the bottom.
std::string LabPiece(const std::string& floor) {
  std::string text = "MAPT\nWI32\nHE22\nMNtest\nAUtests\n";
  for (int row = 0; row < 22; ++row) {
    std::string cells(32, ' ');
    if (row == 4) cells = floor;
    if (row == 21) cells = std::string(32, '!');
    text += "MP" + cells + "\n";
  }
  text += "EX0\nEX8,20,30,22,2,3\nEX.\nEX.\nEX.\nEX.\nXX\n";
  return text;
}

std::vector<uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

std::vector<uint8_t> ReadBytes(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Map columns 1..32 become string positions 0..31. Pieces 1..7 are the
// characters '3' to '9'; '/' is ice; the exit is laid at column 25 by the
// level map itself, behind the ceiling's wall, so the ice carries him there.
std::string PiecesThenGap() {
  std::string f(32, '!');
  f[7 - 1] = '3';
  f[8 - 1] = '4';
  f[9 - 1] = '5';
  f[10 - 1] = '6';
  f[11 - 1] = ' ';
  return f;
}
std::string AllPiecesThenExit() {
  std::string f(32, '!');
  for (int p = 0; p < 7; ++p) f[static_cast<size_t>(7 + p - 1)] = static_cast<char>('3' + p);
  f[23 - 1] = '/';
  f[24 - 1] = '/';
  return f;
}

struct TEnd {
  uint8_t Map = 0;
  int32_t Lives = 0;
  int32_t Score = 0;
  int GameOvers = 0;
  int Completions = 0;
  int32_t LastLevel = 0;
  int32_t HighScore = 0;
  uint32_t Frames = 0;
};

class GameLoop : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!FileExists(vgrtest::BinDir() + "/Voltigor.mad4")) GTEST_SKIP() << "the data archive is not built";
    Initialize(640, 400, 32, VF_BACKBUFFER);
    SetFrameRate(60);
    UnpacedFrames = true;
    Archive_.Mount();
    if (!ZROpenStream("Zapkin.ini")) GTEST_SKIP() << "the data archive holds no configuration";
    // The tests' pack, found first as a loose file in the working folder.
    TXMapPack pack;
    pack.AddEntry("01.mpp", "", Bytes(LabPiece(PiecesThenGap())));
    // Maps 3, 5 and 7 too, for the games that skip through them.
    for (const char* piece : {"02.mpp", "03.mpp", "04.mpp"}) pack.AddEntry(piece, "", Bytes(LabPiece(PiecesThenGap())));
    pack.AddEntry("25.mpp", "", Bytes(LabPiece(AllPiecesThenExit())));
    for (const char* real : {"26.mpp", "27.mpp"}) {
      pack.AddEntry(real, "", ReadBytes((vgrtest::SourceDir() + "/data/maps/") + real));
    }
    TMemoryStream out;
    ASSERT_TRUE(pack.SaveMPCK(out));
    OldDir_ = std::filesystem::current_path();
    std::filesystem::current_path(Dir_.Path());
    std::ofstream(Dir_ / "Zapkin.mpk", std::ios::binary)
        .write(reinterpret_cast<const char*>(out.Data.data()), static_cast<std::streamsize>(out.Data.size()));

    // Made anew, whatever an earlier test left; a headless game plays no music.
    FreeGameData();
    LoadGameData(false);
    ClearKeys();
    GameOverScreen = [this] { ++End.GameOvers; };
    CompletionScreen = [this] { ++End.Completions; };
    SetInputScript([this](uint32_t) {
      // Every game here ends in a few thousand frames; one that goes on
      // fails rather than spins.
      if (Frame > kFrameLimit) throw std::runtime_error("the game did not end in " + std::to_string(kFrameLimit) + " frames");
      if (GameInPlay && Script) Script(Frame, *GameInPlay);
      ++Frame;
    });
  }
  void TearDown() override {
    SetInputScript(nullptr);
    SetReplayFailureHandler(nullptr);
    StopReplay();
    GameOverScreen = [] { ShowGameOver(); };
    CompletionScreen = [] { ShowCompletion(); };
    UnpacedFrames = false;
    ClearKeys();
    FreeGameData();
    if (!OldDir_.empty()) std::filesystem::current_path(OldDir_);
    if (ScreenSurface) Finalize();
  }

  // One whole game from `startMap`, seeded; `script` runs at every frame's
  // ProcessEvents with the frame's number (0 first) and the game.
  TEnd Play(int startMap, int32_t lastLevel, std::function<void(uint32_t, TGame&)> script, uint32_t seed = 1) {
    End = {};
    Frame = 0;
    Script = std::move(script);
    StartMap = startMap;
    LastLevel = lastLevel;
    HighScore = 5;
    MrRobotMode = false;
    ClearKeys();
    Randomize(seed);
    PlayGame();
    ClearKeys();
    End.Frames = Frame;
    End.Score = Score;
    End.LastLevel = LastLevel;
    End.HighScore = HighScore;
    return End;
  }

  // The next game's map and lives, taken as the game ends.
  std::function<void(uint32_t, TGame&)> Watch(std::function<void(uint32_t, TGame&)> keys) {
    return [this, keys](uint32_t f, TGame& g) {
      keys(f, g);
      End.Map = g.CurrentMap;
      End.Lives = g.Lives;
    };
  }

  static constexpr uint32_t kFrameLimit = 50000;
  TEnd End;
  uint32_t Frame = 0;
  std::function<void(uint32_t, TGame&)> Script;
  vgrtest::TTempDir Dir_;

 private:
  vgrtest::TScopedLog Log_;
  vgrtest::TGameArchive Archive_;
  std::filesystem::path OldDir_;
};

void Hold(int sym, bool down = true) { KeyState[sym] = down; }

// How many lit pixels of the w x h part of `strip` at (srcX, 0) are not
// shown on `screen` at (x, y); black is see-through and not counted. `lit`
// gets the number of lit pixels. Pictures are captured before the game draws
// them: the SDL layer draws nothing more from a keyed picture that is locked
// after it has been drawn.
int HiddenPixels(const golden::TPicture& screen, const golden::TPicture& strip, int srcX, int w, int h, int x, int y,
                 int* lit = nullptr) {
  int hidden = 0, shown = 0;
  for (int py = 0; py < h; ++py) {
    for (int px = 0; px < w; ++px) {
      const uint8_t* want = &strip.RGB[(static_cast<size_t>(py) * strip.Width + srcX + px) * 3];
      const uint8_t* got = &screen.RGB[(static_cast<size_t>(y + py) * screen.Width + x + px) * 3];
      if ((want[0] | want[1] | want[2]) == 0) continue;
      ++shown;
      if (!std::equal(want, want + 3, got)) ++hidden;
    }
  }
  if (lit) *lit = shown;
  return hidden;
}

// The game's rules as whole games: how each ends, with its lives, score,
// end screens and unlocked practice levels.
TEST_F(GameLoop, WholeGamesEndAsTheRulesSay) {
  struct TCase {
    const char* Name;
    int StartMap;
    int32_t LastLevel;
    std::function<void(uint32_t, TGame&)> Keys;
    uint8_t EndMap;  // 0: a skip key ended the game; then the frames count
    uint32_t Frames;  // 0: not counted
    int32_t Lives;    // during the last map
    int32_t Score;
    int GameOvers;
    int Completions;
    int32_t LastLevelAfter;
    int32_t HighScore;
  };
  auto right = [](uint32_t, TGame&) { Hold(SYM_RIGHT); };
  const TCase cases[] = {
      // Seven pieces worth 1 to 7, the ice, the exit, the creature's 128
      // frames, then map 50: a practice game ends without the completion
      // screen and unlocks nothing.
      {"practice 49 completed", 49, 3, right, 50, 0, 3, 28, 0, 0, 3, 28},
      // A game begun at map 1 reaching map 50 shows the completion screen,
      // also when a skip key took it there.
      {"keypad minus on map 1", 1, 1,
       [](uint32_t f, TGame&) { Hold(SYM_KP_MINUS, f == 5); }, 0, 6, 3, 0, 0, 1, 25, 5},
      {"keypad plus on map 49", 49, 2,
       [](uint32_t f, TGame&) { Hold(SYM_KP_PLUS, f == 5); }, 0, 6, 3, 0, 0, 0, 2, 5},
      // Walking right: pieces 1 to 4 (1+2+3+4), the gap, a fall too far;
      // each restart walks into the gap again. The fourth death ends it. A
      // life ends when the death leap has landed, not when it starts: the
      // frames count every leap whole.
      {"four deaths", 1, 1, right, 1, 1177, 0, 10, 1, 0, 1, 10},
      // A game from map 1 left on map 2 or 3 offers the level of that map:
      // map n belongs to level (n + 1) / 2.
      {"escape on map 2", 1, 1,
       [](uint32_t f, TGame&) {
         Hold(SYM_KP_PLUS, f == 5);
         Hold(SYM_ESCAPE, f >= 20);
       },
       2, 0, 3, 0, 0, 0, 1, 5},
      {"escape on map 3", 1, 1,
       [](uint32_t f, TGame&) {
         Hold(SYM_KP_PLUS, f == 5 || f == 20);
         Hold(SYM_ESCAPE, f >= 40);
       },
       3, 0, 3, 0, 0, 0, 2, 5},
      // Escape after three pieces: no game-over screen, the high score kept.
      {"escape", 1, 1,
       [](uint32_t f, TGame& g) {
         Hold(SYM_RIGHT);
         if (g.Prof->NextPiece() == 4) Hold(SYM_ESCAPE);
         (void)f;
       },
       1, 0, 3, 6, 0, 0, 1, 6},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const TEnd e = Play(c.StartMap, c.LastLevel, Watch(c.Keys));
    if (c.EndMap != 0) {
      EXPECT_EQ(e.Map, c.EndMap);
    }
    if (c.Frames != 0) {
      EXPECT_EQ(e.Frames, c.Frames);
    }
    EXPECT_EQ(e.Lives, c.Lives);
    EXPECT_EQ(e.Score, c.Score);
    EXPECT_EQ(e.GameOvers, c.GameOvers);
    EXPECT_EQ(e.Completions, c.Completions);
    EXPECT_EQ(e.LastLevel, c.LastLevelAfter);
    EXPECT_EQ(e.HighScore, c.HighScore);
  }
}

// A death after pieces 1 to 3: the map starts again with them mounted, the
// meter empty, the next piece worth 1, and the music not started again.
// With no life left the lives picture shows its cell 0.
TEST_F(GameLoop, ADeathRestartsTheMapWithThePiecesKept) {
  struct TSeen {
    uint8_t NextPiece = 0;
    uint16_t MeterValue = 1, MeterTicks = 1;
    uint32_t MusicStarts = 0;
    int32_t Score = -1;
  };
  std::optional<TSeen> afterDeath;
  int32_t scoreAfterPiece4 = -1;
  // Cell n of the strip on the screen: its lit pixels, black being see-through.
  int cellZeroMatches = -1, cellOneMatches = -1, litInCellZero = 0;
  PImage lives = ImageCollection->FindImage("LifeNumber");
  ASSERT_NE(lives, nullptr);
  const TEnd e = Play(1, 1, [&](uint32_t, TGame& g) {
    // Stop short of piece 4 on the first life: die in the gap's place by
    // walking on only once piece 3 is in and the meter has moved.
    Hold(SYM_RIGHT);
    if (g.Lives == 3 && g.Prof->NextPiece() == 4 && g.Prof->IsAlive()) g.Prof->Die();
    if (g.Lives == 2 && !afterDeath) {
      afterDeath = TSeen{g.Prof->NextPiece(), g.MeterValue, g.MeterTicks, g.MusicStarts, Score};
    }
    if (g.Lives == 2 && g.Prof->NextPiece() == 5 && scoreAfterPiece4 < 0) scoreAfterPiece4 = Score;
    if (g.Lives == 0 && g.FrameCounter == 0 && cellZeroMatches < 0) {
      const golden::TPicture screen = golden::Capture(BackImage);
      const golden::TPicture strip = golden::Capture(lives);
      auto matches = [&](int cell, int& lit) {
        int same = 0;
        lit = 0;
        for (int y = 0; y < 20; ++y)
          for (int x = 0; x < 16; ++x) {
            const uint8_t* want = &strip.RGB[(static_cast<size_t>(y) * strip.Width + 16 * cell + x) * 3];
            const uint8_t* got = &screen.RGB[(static_cast<size_t>(54 + y) * screen.Width + 80 + x) * 3];
            if ((want[0] | want[1] | want[2]) == 0) continue;
            ++lit;
            if (std::equal(want, want + 3, got)) ++same;
          }
        return same;
      };
      int litInCellOne = 0;
      cellZeroMatches = matches(0, litInCellZero);
      cellOneMatches = matches(1, litInCellOne);
    }
  });
  ASSERT_TRUE(afterDeath.has_value());
  EXPECT_EQ(afterDeath->NextPiece, 4);
  EXPECT_EQ(afterDeath->MeterValue, 0);
  EXPECT_EQ(afterDeath->MeterTicks, 0);
  EXPECT_EQ(afterDeath->MusicStarts, 1u);
  EXPECT_EQ(afterDeath->Score, 6);
  EXPECT_EQ(scoreAfterPiece4, 7);
  EXPECT_GT(litInCellZero, 20);
  EXPECT_EQ(cellZeroMatches, litInCellZero);
  EXPECT_LT(cellOneMatches, litInCellZero);
  EXPECT_EQ(e.GameOvers, 1);
}

// Standing still on a construction map, the meter kills the professor after
// 184 steps of 81 frames; never before.
TEST_F(GameLoop, TheMeterKillsAfter184Times81Frames) {
  uint32_t diedAt = 0;
  Play(1, 1, [&](uint32_t f, TGame& g) {
    if (!g.Prof->IsAlive() && diedAt == 0) diedAt = f;
    if (diedAt != 0) Hold(SYM_ESCAPE);
  });
  // ProcessEvents of frame f (0-based) runs after that frame's death tests;
  // the death comes in the death tests of frame 14904, the first after the
  // 14904th meter tick.
  EXPECT_EQ(diedAt, 184u * 81u);
}

// The first frame of a construction map and of an interim map.
TEST_F(GameLoop, FirstFramesMatchTheGoldenPictures) {
  for (int map : {1, 2}) {
    SCOPED_TRACE(map);
    golden::TPicture shot;
    Play(map, 1, [&](uint32_t f, TGame&) {
      if (f == 0) shot = golden::Capture(ScreenImage);
      Hold(SYM_ESCAPE);
    }, 77);
    const std::string diff =
        golden::Compare(shot, kGoldenDir + (map == 1 ? "game-construction-first-frame.png" : "game-interim-first-frame.png"));
    EXPECT_TRUE(diff.empty()) << diff;
  }
}

// The boulder comes out of the ceiling beside the "ACME" sign and rolls
// along the top past the creature's box: the box and its sign stay in front
// of it. Frames 2 to 22, every fourth, the corner around the box side by side.
TEST_F(GameLoop, TheBoulderRollsOutBehindTheCreaturesBox) {
  constexpr int kX = 96, kY = 22, kW = 112, kH = 40, kShots = 6;
  golden::TPicture strip;
  strip.Width = kShots * kW;
  strip.Height = kH;
  strip.RGB.assign(static_cast<size_t>(strip.Width) * strip.Height * 3, 0);
  int taken = 0;
  Play(2, 1, [&](uint32_t f, TGame&) {
    if (f >= 2 && (f - 2) % 4 == 0 && taken < kShots) {
      const golden::TPicture shot = golden::Capture(ScreenImage);
      for (int y = 0; y < kH; ++y) {
        const size_t from = (static_cast<size_t>(kY + y) * shot.Width + kX) * 3;
        const size_t to = (static_cast<size_t>(y) * strip.Width + taken * kW) * 3;
        std::copy_n(shot.RGB.begin() + static_cast<std::ptrdiff_t>(from), kW * 3, strip.RGB.begin() + static_cast<std::ptrdiff_t>(to));
      }
      ++taken;
    }
    Hold(SYM_ESCAPE, taken == kShots);
  }, 77);
  ASSERT_EQ(taken, kShots);
  const std::string diff = golden::Compare(strip, kGoldenDir + "game-interim-boulder-behind-box.png");
  EXPECT_TRUE(diff.empty()) << diff;
}

// A saved logic state put back makes the same future: the same checks after
// the same frames.
TEST_F(GameLoop, ARestoredStatePlaysTheSameFuture) {
  std::optional<TGameLogic> saved;
  std::vector<TReplayChecks> first, second;
  Play(2, 1, [&](uint32_t f, TGame& g) {
    Hold(SYM_RIGHT, (f / 50) % 2 == 0);
    Hold(SYM_LEFT, (f / 50) % 2 == 1);
    if (f == 100) saved = g.SaveLogic();
    if (f > 100 && f <= 400) first.push_back(g.Checks());
    if (f == 400) {
      // The next interim map's dressing draws from the generator: a restored
      // state must take it back to where it was.
      Random(1000);
      g.RestoreLogic(*saved);
      Hold(SYM_RIGHT, true);
      Hold(SYM_LEFT, false);
    }
    if (f > 400 && f <= 700) second.push_back(g.Checks());
    // Held from here on: Escape asks, and held on the next frame it leaves.
    if (f >= 700) Hold(SYM_ESCAPE);
  });
  ASSERT_EQ(first.size(), 300u);
  EXPECT_NE(first.front(), first.back());
  EXPECT_EQ(first, second);
}

// A session recorded frame by frame plays back with the same checks; one key
// moved by a frame makes the playback stop at the next check, naming it.
TEST_F(GameLoop, RecordedSessionsPlayBackAndAlteredOnesDiverge) {
  const std::string file = Dir_ / "session.vrp";
  // Through the window's queue, as a player's keys come.
  auto keys = [](uint32_t f, TGame&) {
    if (f == 10) PushKeyEvent(SYM_RIGHT, true);
    if (f == 150) PushKeyEvent(SYM_SPACE, true);
    if (f == 160) PushKeyEvent(SYM_SPACE, false);
    if (f == 200) PushKeyEvent(SYM_RIGHT, false);
    if (f == 200) PushKeyEvent(SYM_LEFT, true);
    if (f == 420) PushKeyEvent(SYM_LEFT, false);
    if (f == 500) PushKeyEvent(SYM_ESCAPE, true);
    if (f == 503) PushKeyEvent(SYM_Y, true);
  };
  TReplayHeader h;
  h.Seed = 9;
  h.StartMap = 2;
  h.ProgramVersion = "test";
  StartRecording(file, h);
  Play(2, 1, keys, 9);
  ASSERT_TRUE(StopReplay());
  TReplay recorded;
  std::string error;
  ASSERT_TRUE(recorded.Load(file, error)) << error;
  ASSERT_GE(recorded.Checks.size(), 8u);

  StartPlayback(recorded);
  const TEnd again = Play(2, 1, nullptr, 9);
  EXPECT_TRUE(StopReplay());
  EXPECT_EQ(again.Frames, recorded.FrameTotal);

  std::string failure;
  SetReplayFailureHandler([&](const std::string& line) {
    failure = line;
    throw std::runtime_error(line);
  });
  TReplay altered = recorded;
  for (TReplayKeys& k : altered.Keys) {
    if (k.Frame == 200) k.Frame = 201;  // the turn left one frame late
  }
  StartPlayback(altered);
  EXPECT_THROW(Play(2, 1, nullptr, 9), std::runtime_error);
  EXPECT_EQ(failure.rfind("Replay diverged at frame 240: ", 0), 0u) << failure;
  EXPECT_NE(failure.find("professor"), std::string::npos) << failure;
}

// A pause, the question to leave answered "no" in each way, and then "yes":
// a game played with them computes in every frame of play what the same game
// without them computes, and nothing moves while they are up. The recording
// holds the pause key and the answers, and plays back with every check.
TEST_F(GameLoop, PausesAndQuestionsHoldThePlayWithoutChangingAFrame) {
  struct TSession {
    bool Holds = false;  // pauses and questions along the way
    std::map<uint32_t, TReplayChecks> Checks;  // by frame of play, at its events
    uint32_t HoldsSeen = 0;
    uint32_t Poll = 0;  // events read in the hold now up
    TReplayChecks HeldAt;
    bool Frozen = true;
  };
  // Keys come through the window's queue, so that a recording sees them.
  auto script = [](TSession& s) {
    return [&s](uint32_t, TGame& g) {
      const uint32_t m = g.MapFrames();
      if (g.Held()) {
        if (s.Poll == 0) {
          s.HoldsSeen += 1;
          s.HeldAt = g.Checks();
        } else if (!(g.Checks() == s.HeldAt)) {
          s.Frozen = false;
        }
        s.Poll += 1;
        // The answers, by the frame of play held and the events read since.
        const auto at = [&](uint32_t poll, int sym, bool down) {
          if (s.Poll == poll) PushKeyEvent(sym, down);
        };
        switch (m) {
          case 101:  // P again goes on
            at(2, SYM_P, false);
            at(20, SYM_P, true);
            break;
          case 251:  // N goes on
            at(2, SYM_ESCAPE, false);
            at(20, SYM_N, true);
            break;
          case 300:  // a move goes on, and is made
            at(2, SYM_ESCAPE, false);
            at(20, SYM_RIGHT, true);
            break;
          case 351:  // Escape in a pause asks; N goes on
            at(2, SYM_P, false);
            at(10, SYM_ESCAPE, true);
            at(12, SYM_ESCAPE, false);
            at(20, SYM_N, true);
            break;
          case 601:  // Y leaves
            at(2, SYM_ESCAPE, false);
            at(20, SYM_Y, true);
            break;
          default:
            ADD_FAILURE() << "held at frame of play " << m;
            at(1, SYM_Y, true);
        }
        return;
      }
      s.Poll = 0;
      s.Checks[m] = g.Checks();
      // The keys of play, the same in both games: in the game with the
      // questions the move that answers the one at 300 brings Right.
      if (m == 10) PushKeyEvent(SYM_RIGHT, true);
      if (m == 40) PushKeyEvent(SYM_RIGHT, false);
      if (m == 40) PushKeyEvent(SYM_LEFT, true);
      if (m == 160) PushKeyEvent(SYM_LEFT, false);
      if (m == 299 && !s.Holds) PushKeyEvent(SYM_RIGHT, true);
      if (m == 330) PushKeyEvent(SYM_RIGHT, false);
      if (m == 600) PushKeyEvent(SYM_ESCAPE, true);
      if (!s.Holds) return;
      if (m == 100 || m == 350) PushKeyEvent(SYM_P, true);
      if (m == 250 || m == 299) PushKeyEvent(SYM_ESCAPE, true);
      if (m == 103 || m == 253 || m == 353) {
        PushKeyEvent(SYM_P, false);
        PushKeyEvent(SYM_N, false);
      }
    };
  };
  TSession plain;
  Play(1, 1, script(plain), 3);
  EXPECT_EQ(plain.HoldsSeen, 1u);  // the question at the end

  const std::string file = Dir_ / "held.vrp";
  TReplayHeader h;
  h.Seed = 3;
  h.ProgramVersion = "test";
  StartRecording(file, h);
  TSession held;
  held.Holds = true;
  const TEnd e = Play(1, 1, script(held), 3);
  ASSERT_TRUE(StopReplay());
  EXPECT_EQ(held.HoldsSeen, 5u);
  EXPECT_TRUE(held.Frozen);
  ASSERT_EQ(held.Checks.size(), 601u);
  EXPECT_EQ(held.Checks.rbegin()->first, 600u);
  EXPECT_TRUE(held.Checks == plain.Checks);
  EXPECT_NE(held.Checks.at(100), held.Checks.at(600));
  EXPECT_EQ(e.GameOvers, 0);

  TReplay recorded;
  std::string error;
  ASSERT_TRUE(recorded.Load(file, error)) << error;
  EXPECT_EQ(recorded.Header.FormatVersion, TReplayHeader::PauseVersion);
  std::set<uint16_t> keys;
  for (const TReplayKeys& k : recorded.Keys)
    for (const TKeyChange& c : k.Changes) keys.insert(c.Sym);
  for (int sym : {SYM_P, SYM_N, SYM_Y, SYM_ESCAPE}) EXPECT_EQ(keys.count(static_cast<uint16_t>(sym)), 1u) << sym;
  // Played back with every check compared: the pauses and questions come
  // again from the recorded keys, and the game ends where it ended.
  std::string failure;
  SetReplayFailureHandler([&](const std::string& line) {
    failure = line;
    throw std::runtime_error(line);
  });
  StartPlayback(recorded);
  EXPECT_NO_THROW(Play(1, 1, nullptr, 3));
  EXPECT_TRUE(StopReplay());
  EXPECT_EQ(failure, "");
}

// The pictures that show the game's counters: the TNT's fuse burns down in
// five pictures and stays on the last from the end animation's count 24 on;
// the meter shows picture k + 1 once k times 23 steps are done.
TEST_F(GameLoop, TheFuseAndTheMeterShowTheirPictures) {
  PImage tntImage = ImageCollection->FindImage("TNT Anim");
  ASSERT_NE(tntImage, nullptr);
  const golden::TPicture tnt = golden::Capture(tntImage);
  std::vector<golden::TPicture> meters;
  for (int k = 2; k <= 8; ++k) {
    PImage meter = ImageCollection->FindImage("Meter" + std::to_string(k));
    ASSERT_NE(meter, nullptr);
    meters.push_back(golden::Capture(meter));
  }
  // The end animation's counter is set by hand in an ordinary frame, where
  // nothing but the fuse reads it and the professor stands far from it.
  std::vector<int> fuse;  // hidden pixels of the last picture, drawn at counts 24..40
  uint32_t count = 24;
  Play(1, 1, [&](uint32_t f, TGame& g) {
    if (f > 0 && fuse.size() < 17) fuse.push_back(HiddenPixels(golden::Capture(ScreenImage), tnt, 40, 10, 16, g.TNTX, g.TNTY));
    g.FrameCounter = count++;
    Hold(SYM_ESCAPE, fuse.size() == 17);
  });
  EXPECT_EQ(fuse, std::vector<int>(17, 0));

  // The meter's picture k + 1 is drawn in the frame whose step makes it
  // k * 23; the next frame shows it whole.
  std::vector<int> shown;
  Play(1, 1, [&](uint32_t, TGame& g) {
    if (g.MeterTicks == 0 && g.MeterValue % 23 == 0 && g.MeterValue > 0 && g.Prof->IsAlive() &&
        shown.size() < g.MeterValue / 23u) {
      const golden::TPicture& meter = meters[g.MeterValue / 23u - 1];
      int lit = 0;
      shown.push_back(HiddenPixels(golden::Capture(BackImage), meter, 0, meter.Width, meter.Height, 392, 26, &lit));
      EXPECT_GT(lit, 10);
    }
    if (!g.Prof->IsAlive()) Hold(SYM_ESCAPE);
  });
  EXPECT_EQ(shown, std::vector<int>(7, 0));
}

// Each level plays the next song of its playlist: construction maps from
// "Constructing", interim maps from "Interim", starting over at the end.
TEST_F(GameLoop, EachLevelPlaysTheNextSongOfItsList) {
  std::vector<std::string> songs;
  Play(1, 1, [&](uint32_t f, TGame& g) {
    if (songs.size() < g.CurrentMap) {
      TPlayList* list = PlayLists->Find(g.Interim ? "Interim" : "Constructing");
      songs.push_back(list ? list->CurrentSong() : "");
    }
    Hold(SYM_KP_PLUS, f % 10 == 5 && g.CurrentMap < 8);
    Hold(SYM_ESCAPE, g.CurrentMap == 8);
  });
  EXPECT_EQ(songs, (std::vector<std::string>{"Laboratory", "Boulder Run", "Bubbling Retorts", "Rolling Thunder",
                                             "Midnight Experiment", "Runaway", "Sparks and Coils", "Boulder Run"}));
}

// On an interim map the pipe at the lower right kills once he is past
// x 528 on the lowest floor, and so does the boulder's arrow at the ceiling,
// also while the boulder itself falls far from him.
TEST_F(GameLoop, ThePipeAndTheArrowKill) {
  struct TSeen {
    bool AliveAt528 = false, DeadAt529 = false, ArrowKilled = false;
  } seen;
  int step = 0;
  Play(2, 1, [&](uint32_t, TGame& g) {
    TProf& p = *g.Prof;
    switch (step) {
      case 0:  // stand at x 528 on the lowest floor
        p.X = 528;
        p.Y = 328;
        ++step;
        break;
      case 1:
        seen.AliveAt528 = p.IsAlive() && p.X == 528;
        p.X = 529;
        ++step;
        break;
      case 2:
        seen.DeadAt529 = !p.IsAlive();
        ++step;
        break;
      case 3:  // the next life: wait for the boulder to fall, then touch its arrow
        if (g.Lives == 2 && p.IsAlive() && g.Boulder->State == TBoulder::bsFalling && g.Boulder->Y > 200) {
          p.X = g.Boulder->TargetX + 16;
          p.Y = 20;
          ++step;
        }
        break;
      case 4:
        seen.ArrowKilled = !p.IsAlive();
        ++step;
        break;
      default:
        Hold(SYM_ESCAPE);
    }
  });
  EXPECT_TRUE(seen.AliveAt528);
  EXPECT_TRUE(seen.DeadAt529);
  EXPECT_TRUE(seen.ArrowKilled);
  EXPECT_EQ(step, 5);
}

}  // namespace
