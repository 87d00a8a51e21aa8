// The committed solutions in data/replays: every construction map in both
// modes is finished without a life lost, and the whole game from map 1
// reaches the completion screen. A change to a map, to the professor, the
// monsters or their pictures that breaks a route fails here;
// scripts/solve-maps.sh finds the routes again and rewrites the files (see
// data/replays/README.md).
//
// Each replay is its own test, so that a parallel ctest spreads them over the
// cores. The program plays them in a fork of the test with the frames of play
// left unshown, as the level solver plays: copying a frame to the window costs
// nine tenths of a frame's time and decides nothing. One of them goes through
// the built program as a player starts it, window copies and all.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "GAME.h"
#include "ProgramRun.h"
#include "ReplayUnit.h"
#include "SystemUnit.h"
#include "TestSupport.h"
#include "Voltigor.h"
#include "ZR_SDL.h"
#include "ZRStream3.h"

namespace {

const std::string kSolutionDir = vgrtest::SourceDir() + "/data/replays/";

int Count(const std::string& text, const std::string& what) {
  int n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

struct TSolution {
  std::string File;
  int Map;  // the map finished; 0 for the whole game
  bool ThroughTheProgram = false;
};

std::vector<TSolution> Solutions() {
  std::vector<TSolution> all;
  for (int piece = 1; piece <= 25; ++piece) {
    char name[24];
    std::snprintf(name, sizeof name, "%02d", piece);
    all.push_back({std::string(name) + ".vrp", 2 * piece - 1, piece == 1});
    all.push_back({std::string(name) + "-zararoz.vrp", 2 * piece - 1});
  }
  // The whole game joins the table once a seed is found whose interim maps
  // the solver finishes one and all (see data/replays/README.md).
  if (FileExists(kSolutionDir + "game.vrp")) all.push_back({"game.vrp", 0});
  return all;
}

// The program's exit code. It runs in a fork of this process, so that every
// replay starts from the same untouched state, as a new process would, and
// the leak check of a sanitizer build still runs as it ends. A program that
// goes on `frameLimit` frames fails instead of spinning.
int PlayInAFork(const std::string& replay, const std::string& log, uint32_t frameLimit) {
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    std::vector<std::string> args = {"Voltigor", "-mainlog", log, "-timedemo", "-replay", replay};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    // Every frame of play runs, drawn into the back buffer, without its
    // copy to the window; the title, the menu and the end screens still
    // show theirs.
    uint32_t frames = 0;
    SetInputScript([&frames, frameLimit](uint32_t) {
      if (++frames > frameLimit) {
        throw std::runtime_error("the program still runs after " + std::to_string(frameLimit) + " frames");
      }
      if (GameInPlay) GameInPlay->Present = false;
    });
    int code = 3;
    try {
      code = VoltigorMain(static_cast<int>(argv.size()), argv.data());
    } catch (const THaltRequest& h) {
      code = h.ExitCode;
    } catch (...) {
    }
    std::fflush(nullptr);
    std::exit(code);
  }
  int status = 0;
  if (pid < 0 || ::waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

class SolvedMap : public ::testing::TestWithParam<TSolution> {};

TEST_P(SolvedMap, FinishedWithoutALifeLost) {
  if (!FileExists(vgrtest::BinDir() + "/Voltigor.mad4")) GTEST_SKIP() << "the data archive is not built";
  const TSolution& c = GetParam();
  const std::string file = kSolutionDir + c.File;
  TReplay replay;
  std::string error;
  ASSERT_TRUE(replay.Load(file, error)) << error;
  ASSERT_FALSE(replay.Checks.empty()) << "a key script without checksums";
  vgrtest::TTempDir dir;
  const std::string log = dir / "run.log";
  std::string output;
  int code = -1;
  if (c.ThroughTheProgram) {
    const vgrtest::TRun run = vgrtest::RunProgram({"-mainlog", log, "-timedemo", "-replay", file}, dir / "out.txt");
    code = run.Code;
    output = run.Output;
  } else {
    // Out of keys, the replay holds Escape: the program quits in a few frames.
    code = PlayInAFork(file, log, replay.FrameTotal + 2000);
  }
  const std::string text = vgrtest::ReadTextFile(log);
  EXPECT_EQ(code, 0) << output << text;
  EXPECT_EQ(text.find("Replay diverged"), std::string::npos) << text;
  EXPECT_NE(text.find("Timedemo: "), std::string::npos) << "the replay was not played to its end\n" << text;
  if (c.Map != 0) {
    char line[48];
    std::snprintf(line, sizeof line, "Map %02d completed with 3 spare lives", c.Map);
    EXPECT_EQ(Count(text, "completed with"), 1) << text;
    EXPECT_NE(text.find(line), std::string::npos) << text;
  } else {
    // Every map of the game in one go, all lives kept; map 50 ends a game
    // begun at map 1 with the completion screen.
    EXPECT_EQ(Count(text, "completed with 3 spare lives"), 49) << text;
    EXPECT_EQ(Count(text, "completed with"), 49) << text;
    EXPECT_NE(text.find("Game ended on map 50 with 3 spare lives"), std::string::npos) << text;
    EXPECT_EQ(replay.Header.StartMap, 1);
  }
}

std::string SolutionName(const ::testing::TestParamInfo<TSolution>& info) {
  std::string name = info.param.File.substr(0, info.param.File.find('.'));
  for (char& ch : name) {
    if (ch == '-') ch = '_';
  }
  return name;
}

INSTANTIATE_TEST_SUITE_P(Committed, SolvedMap, ::testing::ValuesIn(Solutions()), SolutionName);

// The solver on two early maps, one in each mode: its key script finishes
// the map when the program plays it, and the program's recording of it plays
// back with every checksum agreeing.
TEST(SolvedMaps, TheSolversRoutesPlayBackClean) {
  if (!FileExists(vgrtest::BinDir() + "/Voltigor.mad4") || !FileExists(vgrtest::BinDir() + "/vgrdata")) {
    GTEST_SKIP() << "the data archive or the data tool is not built";
  }
  vgrtest::TTempDir dir;
  struct TCase {
    const char* Map;
    bool ZaRaroz;
    const char* Line;
  };
  for (const TCase& c : {TCase{"1", false, "Map 01 completed with 3 spare lives"},
                         TCase{"3", true, "Map 03 completed with 3 spare lives"}}) {
    SCOPED_TRACE(c.Map);
    std::vector<std::string> args = {"level", "solve", vgrtest::BinDir() + "/Voltigor.mad4", c.Map, "-o", dir / "keys.vrp"};
    if (c.ZaRaroz) args.push_back("--zararoz");
    const vgrtest::TRun solve = vgrtest::RunBinary(vgrtest::BinDir() + "/vgrdata", args, dir / "solve.txt");
    ASSERT_EQ(solve.Code, 0) << solve.Output;
    EXPECT_NE(solve.Output.find(" frames, meter "), std::string::npos) << solve.Output;
    TReplay keys;
    std::string error;
    ASSERT_TRUE(keys.Load(dir / "keys.vrp", error)) << error;
    EXPECT_TRUE(keys.Checks.empty());
    EXPECT_EQ(keys.Header.Mode, c.ZaRaroz);

    // Watched as it is, the key script plays the map and quits cleanly.
    const vgrtest::TRun watch = vgrtest::RunProgram(
        {"-mainlog", dir / "watch.log", "-timedemo", "-replay", dir / "keys.vrp"}, dir / "watch.txt");
    EXPECT_EQ(watch.Code, 0) << watch.Output;
    EXPECT_NE(vgrtest::ReadTextFile(dir / "watch.log").find(c.Line), std::string::npos);

    const vgrtest::TRun record = vgrtest::RunProgram(
        {"-mainlog", dir / "record.log", "-timedemo", "-replay", dir / "keys.vrp", "-record", dir / "solved.vrp"},
        dir / "record.txt");
    EXPECT_EQ(record.Code, 0) << record.Output;
    EXPECT_NE(vgrtest::ReadTextFile(dir / "record.log").find(c.Line), std::string::npos)
        << vgrtest::ReadTextFile(dir / "record.log");

    const vgrtest::TRun play = vgrtest::RunProgram(
        {"-mainlog", dir / "play.log", "-timedemo", "-replay", dir / "solved.vrp"}, dir / "play.txt");
    EXPECT_EQ(play.Code, 0) << play.Output;
    const std::string log = vgrtest::ReadTextFile(dir / "play.log");
    EXPECT_NE(log.find(c.Line), std::string::npos) << log;
    EXPECT_NE(log.find("Replay played to the end"), std::string::npos) << log;
  }
}

}  // namespace
