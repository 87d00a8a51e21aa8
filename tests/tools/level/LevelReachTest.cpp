// Pieces drawn here, each finishable or not in each game mode for a reason of
// its own: `level check` must find exactly the unfinishable ones and say why
// by cell, and `level solve` must prove those before any search and find a
// way through all the others.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "../../app/ProgramRun.h"
#include "GAME.h"
#include "LevelSolve.h"
#include "ReplayUnit.h"
#include "SystemUnit.h"
#include "TestSupport.h"
#include "ToolTestSupport.h"
#include "Voltigor.h"
#include "XMapUnit.h"
#include "ZR_SDL.h"
#include "ZRStream3.h"

namespace {

using vgrtest::Vgr;

// A construction piece in the characters of data/objects.lst: "!" stone,
// "2" trapdoor, ";" spring, "." ice, "0" transporter, "*" live wire, "3".."9"
// pieces 1..7, "<" the exit door. The professor starts on column 4 of row 4.
struct TDraft {
  std::vector<std::string> Rows = std::vector<std::string>(22, std::string(32, ' '));
  std::string DotLine = std::string(176, '0');
  // The five monster records: "." or row, left, right, start column, speed, number.
  std::vector<std::string> MonsterLines = std::vector<std::string>(5, ".");

  TDraft& Floor(int row, int from, int to, char ch = '!') {
    for (int c = from; c <= to; ++c) Rows[static_cast<std::size_t>(row)][static_cast<std::size_t>(c)] = ch;
    return *this;
  }
  TDraft& Put(int column, int row, char ch) { return Floor(row, column, column, ch); }
  TDraft& Text(int column, int row, const std::string& text) {
    Rows[static_cast<std::size_t>(row)].replace(static_cast<std::size_t>(column), text.size(), text);
    return *this;
  }
  TDraft& Dot(int column, int row) {
    const int cell = row * 32 + column;
    char& digit = DotLine[static_cast<std::size_t>(cell / 4)];
    const int value = (digit <= '9' ? digit - '0' : digit - 'A' + 10) | (8 >> (cell % 4));
    digit = static_cast<char>(value < 10 ? '0' + value : 'A' + value - 10);
    return *this;
  }

  std::string Write(const std::string& file) const {
    TXMap m;
    m.Grow(32, 22);
    for (int y = 0; y < 22; ++y) {
      for (int x = 0; x < 32; ++x) m.SetPhysicalTile(x, y, static_cast<uint8_t>(Rows[std::size_t(y)][std::size_t(x)]));
    }
    m.ExtraLines = {"29"};
    m.ExtraLines.insert(m.ExtraLines.end(), MonsterLines.begin(), MonsterLines.end());
    m.ExtraLines.push_back(DotLine);
    EXPECT_EQ(m.Save(file, 'T'), 'T');
    return file;
  }
};

// The start ledge runs on to the exit door, the seven pieces on it.
TDraft Corridor() {
  TDraft d;
  d.Floor(4, 3, 23).Put(24, 4, '<').Text(6, 4, "3456789");
  return d;
}

// A room walled on every side, columns 10..16 and rows 10..14.
TDraft& ClosedRoom(TDraft& d) {
  return d.Floor(10, 10, 16).Floor(14, 10, 16).Floor(11, 10, 10).Floor(12, 10, 10).Floor(13, 10, 10).Put(16, 11, '!')
      .Put(16, 12, '!').Put(16, 13, '!');
}

struct TCase {
  const char* Name;
  TDraft Piece;
  // For each mode (normal, Za.Raroz): empty when finishable, else what the
  // proof must say.
  std::string Normal;
  std::string ZaRaroz;
  bool Human = false;  // also solved in the --human mode
};

std::vector<TCase> Cases() {
  std::vector<TCase> cases;
  {
    TDraft d = Corridor();
    d.Dot(5, 4).Dot(14, 4).Dot(20, 4);
    cases.push_back({"corridor", d, "", "", true});
  }
  {
    // Piece 5 shut in a room; the dots lie outside.
    TDraft d = Corridor();
    ClosedRoom(d).Put(10, 4, '!').Put(13, 14, '7').Dot(5, 4).Dot(20, 4);
    cases.push_back({"piece shut in", d,
                     "piece 5 at column 13, row 14 cannot be reached: no move leads into the closed room around it", ""});
  }
  {
    TDraft d = Corridor();
    ClosedRoom(d).Dot(5, 4).Dot(13, 14);
    cases.push_back({"dot shut in", d, "",
                     "the dot at column 13, row 14 cannot be reached: no move leads into the closed room around it"});
  }
  {
    // The pieces lie under a trapdoor with no way back up to the exit.
    TDraft d;
    d.Floor(4, 3, 23).Put(24, 4, '<').Put(8, 4, '2').Floor(8, 3, 24).Text(10, 8, "3456789").Dot(5, 4).Dot(12, 4);
    cases.push_back({"trapdoor of no return", d,
                     "the exit at column 24, row 4 cannot be reached after piece 7: every way to piece 7 passes a "
                     "one-way move after which it cannot, such as the trapdoor at column 8, row 4",
                     ""});
  }
  {
    // The same with a spring that leads back.
    TDraft d;
    d.Floor(4, 3, 23).Put(24, 4, '<').Put(8, 4, '2').Floor(8, 3, 24).Text(10, 8, "3456789").Put(20, 8, ';');
    d.Dot(5, 4).Dot(18, 8);
    cases.push_back({"spring home", d, "", "", true});
  }
  {
    // Dots left and right of a trapdoor on a ledge that cannot be reached
    // again: they must be eaten before the drop.
    TDraft d;
    d.Floor(4, 3, 12).Put(10, 4, '2').Floor(2, 13, 13).Floor(3, 13, 13).Floor(4, 22, 23).Put(24, 4, '<');
    d.Floor(8, 3, 24).Text(5, 8, "3456789").Put(22, 8, ';');
    d.Dot(3, 4).Dot(6, 4).Dot(12, 4).Dot(16, 8);
    cases.push_back({"dots before the drop", d, "", ""});
  }
  {
    // One dot far along the ledge, four just under the trapdoor beside the
    // start: the far one first, or never.
    TDraft d;
    d.Floor(4, 3, 20).Put(6, 4, '2').Floor(2, 21, 21).Floor(3, 21, 21).Floor(4, 21, 23).Put(24, 4, '<');
    d.Floor(8, 3, 24).Text(12, 8, "3456789").Put(23, 8, ';');
    d.Dot(19, 4).Dot(5, 8).Dot(7, 8).Dot(9, 8).Dot(11, 8);
    cases.push_back({"far dot before the trapdoor", d, "", ""});
  }
  {
    // Two pits, each with a dot, each left only downwards: one dot or the
    // other, never both.
    TDraft d;
    d.Floor(4, 3, 16).Put(5, 4, '2').Put(12, 4, '2').Floor(2, 17, 17).Floor(3, 17, 17).Put(24, 4, '<');
    d.Floor(8, 3, 8).Floor(8, 10, 16).Floor(12, 0, 24).Text(3, 12, "3456789").Put(22, 12, ';');
    d.Floor(8, 19, 24).Put(24, 8, ';');
    d.Dot(4, 8).Dot(14, 8).Dot(8, 4);
    cases.push_back({"two pits", d, "", "cannot both be eaten: after either the other cannot be reached"});
  }
  {
    // A dot in the middle of an ice run: he slides over it either way.
    TDraft d;
    d.Floor(4, 3, 23).Put(24, 4, '<').Floor(4, 10, 14, '.').Text(16, 4, "3456789").Dot(5, 4).Dot(12, 4);
    cases.push_back({"dot on the ice", d, "",
                     "the dot at column 12, row 4 cannot be reached: no move ends with him standing on it"});
  }
  {
    // A transporter over a gap, one way only: the dots behind him first.
    TDraft d;
    d.Floor(4, 3, 11).Put(11, 4, '0').Floor(4, 13, 23).Put(24, 4, '<').Text(15, 4, "3456789");
    d.Dot(3, 4).Dot(7, 4).Dot(18, 4);
    cases.push_back({"transporter over a gap", d, "", ""});
  }
  {
    // The pieces lie on the ground, a fall of seventeen rows below.
    TDraft d;
    d.Floor(4, 4, 23).Put(24, 4, '<').Floor(21, 0, 31).Text(3, 21, "3456789").Dot(10, 4).Dot(20, 4);
    cases.push_back({"fatal fall", d,
                     "piece 1 at column 3, row 21 cannot be reached: no move leads into the closed room around it", ""});
  }
  {
    TDraft d = Corridor();
    d.Put(15, 4, '*').Put(5, 4, '*').Dot(5, 4).Dot(20, 4);
    cases.push_back({"live wires", d, "", ""});
  }
  {
    // Slime floors that move him on every second frame, an ice run into a
    // spring, pieces on ledges reached by springs: a person's keys, each
    // allowed to come late, find no way through by searching alone.
    TDraft d;
    d.Rows = {"",
              "",
              "",
              "",
              "   !!!!!11111111!3!  '''<",
              "",
              "                     &",
              "                     &",
              "          !41111111!! ;!!",
              "",
              "                          >",
              "",
              "  !511111!!!!         !;1119",
              "",
              "        E",
              "",
              "!!!!!11111111111!!6!!   !;!!8",
              "",
              "            DD",
              "",
              "!!!!!!!!!!!!!!!!!!!!!!1111;117!!",
              "!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!"};
    for (std::string& row : d.Rows) row.resize(32, ' ');
    d.DotLine = "000000000000000000000000000000000AAAA200000000000000000000000000002AA2000000000000000000000000"
                "000AA800A00000000000000000000000000002A828000000000000000000000000000002A800000000";
    cases.push_back({"slime works", d, "", "", true});
  }
  {
    TDraft d = Corridor();
    d.Put(23, 2, '!').Put(23, 3, '!').Dot(5, 4);
    const std::string walled =
        "the exit at column 24, row 4 cannot be reached: no move leads into the closed room around it";
    cases.push_back({"exit walled in", d, walled, walled});
  }
  return cases;
}

// The [reach] lines of `level check`, of one mode.
std::vector<std::string> ReachLines(const std::string& err, bool zaRaroz) {
  std::vector<std::string> found;
  std::istringstream lines(err);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.find("[reach]") == std::string::npos) continue;
    if ((line.find("in the Za.Raroz mode, ") != std::string::npos) == zaRaroz) found.push_back(line);
  }
  return found;
}

TEST(LevelReach, CheckFindsEveryUnfinishablePieceAndSaysWhy) {
  vgrtest::TTempDir dir;
  const std::string objects = vgrtest::SourceDir() + "/data/objects.lst";
  for (const TCase& c : Cases()) {
    SCOPED_TRACE(c.Name);
    const vgrtest::TToolResult r = Vgr({"level", "check", c.Piece.Write(dir / "01.mpp"), "--objects", objects});
    for (const bool zaRaroz : {false, true}) {
      const std::string& want = zaRaroz ? c.ZaRaroz : c.Normal;
      const std::vector<std::string> lines = ReachLines(r.err, zaRaroz);
      if (want.empty()) {
        EXPECT_TRUE(lines.empty()) << (zaRaroz ? "Za.Raroz" : "normal") << ":\n" << r.err;
      } else {
        ASSERT_FALSE(lines.empty()) << (zaRaroz ? "Za.Raroz" : "normal") << ":\n" << r.err;
        EXPECT_NE(lines[0].find(want), std::string::npos) << lines[0];
      }
    }
    const bool any = !c.Normal.empty() || !c.ZaRaroz.empty();
    EXPECT_EQ(r.code != 0, any) << r.err;
  }
}

// The whole solver on the same pieces, as a modder runs it: a proof with its
// reason for the unfinishable ones, a route for the others.
TEST(LevelReach, SolverProvesOrFinishesEveryPiece) {
  const std::string archive = vgrtest::BinDir() + "/Voltigor.mad4";
  if (!FileExists(archive) || !FileExists(vgrtest::BinDir() + "/vgrdata")) {
    GTEST_SKIP() << "the data archive or the data tool is not built";
  }
  vgrtest::TTempDir dir;
  for (const TCase& c : Cases()) {
    SCOPED_TRACE(c.Name);
    const std::string pack = dir / "Zapkin.mpk";
    ASSERT_EQ(Vgr({"pack", "build", pack, c.Piece.Write(dir / "01.mpp")}).code, 0);
    for (const bool zaRaroz : {false, true}) {
      SCOPED_TRACE(zaRaroz ? "Za.Raroz" : "normal");
      const std::string& want = zaRaroz ? c.ZaRaroz : c.Normal;
      std::vector<std::string> args = {"level", "solve", pack, "1", "--data", archive, "-o", dir / "keys.vrp"};
      if (zaRaroz) args.push_back("--zararoz");
      const vgrtest::TRun run = vgrtest::RunBinary(vgrtest::BinDir() + "/vgrdata", args, dir / "solve.txt");
      if (want.empty()) {
        EXPECT_EQ(run.Code, 0) << run.Output;
        EXPECT_NE(run.Output.find("finished (budget "), std::string::npos) << run.Output;
        // As a person plays it: each key change may come late, and the route
        // says by how much.
        if (c.Human) {
          args.push_back("--human");
          const vgrtest::TRun human = vgrtest::RunBinary(vgrtest::BinDir() + "/vgrdata", args, dir / "human.txt");
          EXPECT_EQ(human.Code, 0) << human.Output;
          const std::size_t at = human.Output.find(", slack ");
          ASSERT_NE(at, std::string::npos) << human.Output;
          EXPECT_GE(std::stoi(human.Output.substr(at + 8)), 4) << human.Output;
        }
      } else {
        EXPECT_EQ(run.Code, 1) << run.Output;
        EXPECT_NE(run.Output.find("map 1 cannot be finished, proved before any search"), std::string::npos)
            << run.Output;
        EXPECT_NE(run.Output.find(want), std::string::npos) << run.Output;
      }
    }
  }
}

bool HaveSolver() { return FileExists(vgrtest::BinDir() + "/Voltigor.mad4") && FileExists(vgrtest::BinDir() + "/vgrdata"); }

// Under the trapdoor a slow monster patrols the lower corridor: dropped when
// he first stands on the trapdoor he lands on it, so the way through waits
// there until it has gone by. A search that counted two visits to the same
// place as one, whatever their time, could never wait and would find no way.
TDraft MonsterUnderTheTrapdoor() {
  TDraft d;
  d.Floor(4, 3, 23).Put(24, 4, '<').Put(8, 4, '2').Floor(8, 3, 24).Text(10, 8, "3456789").Put(20, 8, ';');
  d.MonsterLines[0] = "7,3,12,8,2,1";
  return d;
}

TEST(LevelSolve, WaitsOutAMonsterBeforeTheDrop) {
  if (!HaveSolver()) GTEST_SKIP() << "the data archive or the data tool is not built";
  vgrtest::TTempDir dir;
  const std::string pack = dir / "Zapkin.mpk";
  ASSERT_EQ(Vgr({"pack", "build", pack, MonsterUnderTheTrapdoor().Write(dir / "01.mpp")}).code, 0);
  const vgrtest::TRun run = vgrtest::RunBinary(
      vgrtest::BinDir() + "/vgrdata", {"level", "solve", pack, "1", "--data", vgrtest::BinDir() + "/Voltigor.mad4", "-o", dir / "keys.vrp"},
      dir / "solve.txt");
  EXPECT_EQ(run.Code, 0) << run.Output;
  EXPECT_NE(run.Output.find("finished (budget "), std::string::npos) << run.Output;
}

// The frame of the map in which the professor reaches the exit while the
// program plays `replay`, in a fork of this process (so that it starts
// untouched, as a new process would; `result` carries the answer back); -1
// when he never does.
int32_t ExitFramePlayed(const std::string& replay, const std::string& result) {
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    std::vector<std::string> args = {"Voltigor", "-nolog", "-timedemo", "-replay", replay};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    int32_t reached = -1;
    uint32_t frames = 0;
    // Runs as the frame's events are taken, after the professor's move:
    // in the map's frame n, n - 1 frames have been counted.
    SetInputScript([&](uint32_t) {
      if (++frames > 20000) throw std::runtime_error("the program runs on");
      if (!GameInPlay) return;
      GameInPlay->Present = false;
      if (reached < 0 && GameInPlay->Prof->IsLevelDone()) reached = static_cast<int32_t>(GameInPlay->MapFrames()) + 1;
    });
    try {
      VoltigorMain(static_cast<int>(argv.size()), argv.data());
    } catch (...) {
    }
    std::ofstream(result) << reached << "\n";
    std::fflush(nullptr);
    std::_Exit(0);
  }
  int status = 0;
  if (pid < 0 || ::waitpid(pid, &status, 0) != pid) return -2;
  std::ifstream in(result);
  int32_t reached = -2;
  in >> reached;
  return reached;
}

// The replay the solver writes holds the keys of the game's frame n with
// the events of the frame before it, so the program, playing it, reaches the
// exit in the very frame of the map in which the search did.
TEST(LevelSolve, ItsReplayReachesTheExitInTheFrameTheSearchDid) {
  if (!HaveSolver()) GTEST_SKIP() << "the data archive or the data tool is not built";
  vgrtest::TTempDir dir;
  const vgrtest::TRun run = vgrtest::RunBinary(
      vgrtest::BinDir() + "/vgrdata", {"level", "solve", vgrtest::BinDir() + "/Voltigor.mad4", "1", "-o", dir / "keys.vrp"},
      dir / "solve.txt");
  ASSERT_EQ(run.Code, 0) << run.Output;
  const std::size_t at = run.Output.find("map 01: ");
  ASSERT_NE(at, std::string::npos) << run.Output;
  const int32_t searched = std::stoi(run.Output.substr(at + 8));
  EXPECT_EQ(ExitFramePlayed(dir / "keys.vrp", dir / "exit-frame.txt"), searched) << run.Output;
}

// The search is deterministic, so the routes it finds for the shipped maps
// are those the maps table in data/maps/README.md shows (its "Route"
// column, found with the same seed): a change to the search that finds
// other routes, better or worse, shows here and the table is printed anew.
// Two quick maps on which a search that forgot what he still has to collect
// goes another way.
TEST(LevelSolve, FindsTheRoutesTheMapsTableShows) {
  if (!HaveSolver()) GTEST_SKIP() << "the data archive or the data tool is not built";
  const std::string table = vgrtest::ReadTextFile(vgrtest::SourceDir() + "/data/maps/README.md");
  vgrtest::TTempDir dir;
  for (const int map : {5, 11}) {
    SCOPED_TRACE("map " + std::to_string(map));
    char row[32];
    std::snprintf(row, sizeof row, "| %02d | %d | ", (map + 1) / 2, map);
    const std::size_t at = table.find(row);
    ASSERT_NE(at, std::string::npos) << row;
    const int shown = std::stoi(table.substr(at + std::strlen(row)));
    // No time bound: a slow machine (or the sanitizers) must not cut the
    // search short of the route the table shows.
    const vgrtest::TRun run = vgrtest::RunBinary(vgrtest::BinDir() + "/vgrdata",
                                                 {"level", "solve", vgrtest::BinDir() + "/Voltigor.mad4", std::to_string(map),
                                                  "--seed", "20261208", "--seconds", "100000", "-o", dir / "keys.vrp"},
                                                 dir / "solve.txt");
    ASSERT_EQ(run.Code, 0) << run.Output;
    char found[32];
    std::snprintf(found, sizeof found, "map %02d: ", map);
    const std::size_t line = run.Output.find(found);
    ASSERT_NE(line, std::string::npos) << run.Output;
    EXPECT_EQ(std::stoi(run.Output.substr(line + std::strlen(found))), shown) << run.Output;
  }
}

// The replay the solver writes holds every key of the route on its frame:
// read back as the program reads it (a frame's keys come with the events of
// the frame before, the game's first frame follows the round that releases
// Return), it gives the route's keys frame for frame, so that a route that
// needs a key on one frame and not the next plays as it was found.
TEST(LevelSolve, WrittenReplayHoldsEachKeyOnItsFrame) {
  using namespace vgrdata;
  vgrtest::TTempDir dir;
  TSessionPlan plan;
  plan.Seed = 5;
  plan.StartMap = 7;
  // Changes one frame apart, fire held over walks, all three at once.
  const std::vector<std::pair<uint8_t, int>> runs = {
      {0, 1}, {kKeyRight, 1}, {0, 1}, {kKeyRight | kKeyFire, 12}, {kKeyFire, 2}, {0, 30},
      {kKeyLeft, 17}, {kKeyLeft | kKeyRight | kKeyFire, 1}, {kKeyRight, 9}, {0, 4}};
  for (const auto& [keys, frames] : runs) plan.GameKeys.insert(plan.GameKeys.end(), static_cast<std::size_t>(frames), keys);
  std::string error;
  ASSERT_TRUE(WriteSessionReplay(plan, dir / "keys.vrp", error)) << error;
  TReplay r;
  ASSERT_TRUE(r.Load(dir / "keys.vrp", error)) << error;
  EXPECT_EQ(r.Header.StartMap, 7);

  uint32_t game = 0;
  for (const TReplayKeys& k : r.Keys) {
    for (const TKeyChange& c : k.Changes) {
      if (c.Sym == SYM_RETURN && !c.Down && game == 0) game = k.Frame;
    }
  }
  ASSERT_GT(game, 0u);
  uint8_t held = 0;
  std::size_t next = 0;
  std::vector<uint8_t> played;
  for (std::size_t i = 0; i < plan.GameKeys.size(); ++i) {
    // The events of replay frame game + i - 1 set the keys of game frame i.
    while (next < r.Keys.size() && r.Keys[next].Frame + 1 <= game + i) {
      if (r.Keys[next].Frame >= game) {
        for (const TKeyChange& c : r.Keys[next].Changes) {
          const uint8_t bit = c.Sym == SYM_LEFT ? kKeyLeft : c.Sym == SYM_RIGHT ? kKeyRight : c.Sym == SYM_SPACE ? kKeyFire : 0;
          held = c.Down ? (held | bit) : (held & ~bit);
        }
      }
      ++next;
    }
    played.push_back(held);
  }
  EXPECT_EQ(played, plan.GameKeys);
}

}  // namespace
