// End to end: the real program, headless, read through its log.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <sstream>
#include <thread>

#include "Logger.h"
#include "SystemUnit.h"
#include "TestSupport.h"
#include "Voltigor.h"
#include "ZR_SDL.h"

extern char** environ;

using vgrtest::ReadTextFile;
using vgrtest::SplitCRLF;
using vgrtest::TTempDir;

namespace {

// Every unit's version line in start-up order; a log lists a subsequence of
// this (units not built yet write nothing).
const std::vector<std::string> kVersionOrder = {
    "Logger, version 1.11",          "StackUnit, version 1.01",       "Lists, version 3.03",
    "ZRToolbox, version 3.26",       "MAD4LowLevelUnit, version 1.06", "MyZStreamUnit, version 1.01",
    "RLEUnit, version 1.22",         "HuffmanUnit, version 1.03",     "CodingUnit, version 1.07",
    "CompressorUnit, version 1.20",  "MAD4MidLevelUnit, version 1.08", "MAD4HighLevelUnit, version 1.03",
    "ZRStream3, version 1.07",       "RawPictureReaderFASTUnit, version 1.00", "RawPictureUnit, version 1.13",
    "ZRINIFile, version 2.07",       "LexerUnit, version 1.10",       "ZR_SDL, version 1.86",
    "ZRFonts, version 2.29",         "MusicUnit, version 1.00",       "MusicCollectionUnit, version 1.54",
    "WaveUnit, version 1.00",        "WaveCollectionUnit, version 1.52", "ImageCollectionUnit, version 2.05",
    "PlaylistUnit, version 1.00",    "ScrollUnit, version 2.03",      "SetupCommandUnit, version 1.05",
    "VisualComponentUnit, version 1.05", "vcc_Menu, version 2.06",   "SpriteUnit, version 3.11",
    "CollisionCheckerUnit, version 2.00", "XMapUnit, version 1.85",   "SPackUnit, version 1.00",
    "XMapChainUnit, version 1.03",   "XMapPackUnit, version 3.05",
};

void ExpectWellFormedLog(const std::vector<std::string>& lines) {
  ASSERT_GE(lines.size(), 6u);
  EXPECT_EQ(lines[0].rfind("(..system..) Starting Application. ", 0), 0u) << lines[0];
  EXPECT_EQ(lines[1], "(..system..) (Status) [Warning] {Error} <Debug>");
  EXPECT_EQ(lines[2], "(uses) Logger, version 1.11");
  EXPECT_EQ(lines.back().rfind("(..system..) Terminating Application. ", 0), 0u) << lines.back();

  // Version lines come first, in start-up order, then the program's own line.
  std::size_t i = 2, next = 0;
  for (; i < lines.size() && lines[i].rfind("(uses) ", 0) == 0; ++i) {
    const std::string v = lines[i].substr(7);
    auto it = std::find(kVersionOrder.begin() + static_cast<long>(next), kVersionOrder.end(), v);
    ASSERT_NE(it, kVersionOrder.end()) << "out of order or unknown: " << v;
    next = static_cast<std::size_t>(it - kVersionOrder.begin()) + 1;
  }
  ASSERT_LT(i, lines.size());
  EXPECT_EQ(lines[i], "(Voltigor) Voltigor V1.05 Build 0063");
  for (const char* core : {"(uses) StackUnit, version 1.01", "(uses) Lists, version 3.03",
                           "(uses) ZRStream3, version 1.07", "(uses) ZR_SDL, version 1.86"}) {
    EXPECT_NE(std::find(lines.begin(), lines.end(), core), lines.end()) << core;
  }
  // The traces of steps 10 to 12, in order.
  auto t1 = std::find(lines.begin(), lines.end(), "< Trace >1");
  auto t2 = std::find(lines.begin(), lines.end(), "< Trace >2");
  ASSERT_NE(t1, lines.end());
  ASSERT_NE(t2, lines.end());
  EXPECT_LT(t1, t2);
  auto last = std::find_if(t1, t2, [](const std::string& l) { return l.rfind("< Trace >Last level: ", 0) == 0; });
  EXPECT_NE(last, t2) << "no Last level trace between traces 1 and 2";
}

struct TChild {
  pid_t Pid = -1;
  int Wait() {
    int status = 0;
    ::waitpid(Pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
};

TChild Spawn(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  TChild c;
  ::setenv("SDL_VIDEODRIVER", "dummy", 1);
  ::setenv("SDL_AUDIODRIVER", "dummy", 1);
  EXPECT_EQ(::posix_spawn(&c.Pid, argv[0], nullptr, nullptr, argv.data(), environ), 0);
  return c;
}

bool WaitForLine(const std::string& file, const std::string& line, int timeoutMs) {
  for (int waited = 0; waited < timeoutMs; waited += 20) {
    auto lines = SplitCRLF(ReadTextFile(file));
    if (std::find(lines.begin(), lines.end(), line) != lines.end()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

}  // namespace

TEST(VoltigorProgram, WindowCloseExitsWith2AndStillWritesTheClosingLine) {
  TTempDir dir;
  const std::string log = dir / "e2e.log";
  TChild child = Spawn({vgrtest::BinDir() + "/Voltigor", "-mainlog", log});
  // The menu loop is running once the start-up traces are written.
  ASSERT_TRUE(WaitForLine(log, "< Trace >2", 20000));
  // SDL turns a termination request into the same quit event a window close sends.
  ::kill(child.Pid, SIGTERM);
  EXPECT_EQ(child.Wait(), 2);
  ExpectWellFormedLog(SplitCRLF(ReadTextFile(log)));
}

// A hang-up (the terminal that started the game closed) ends it as a
// termination request does, through the finalisations: the log's closing line
// is written and the archive closed.
TEST(VoltigorProgram, HangUpExitsWith2AndStillWritesTheClosingLine) {
  TTempDir dir;
  const std::string log = dir / "hup.log";
  TChild child = Spawn({vgrtest::BinDir() + "/Voltigor", "-mainlog", log});
  ASSERT_TRUE(WaitForLine(log, "< Trace >2", 20000));
  ::kill(child.Pid, SIGHUP);
  EXPECT_EQ(child.Wait(), 2);
  const auto lines = SplitCRLF(ReadTextFile(log));
  ExpectWellFormedLog(lines);
  EXPECT_NE(std::find(lines.begin(), lines.end(), "(ZR_SDL, ProcessEvents) Hang-up received, ending"), lines.end());
}

namespace {

// Runs the program in this process until frame 3 ends it with exit(1), the
// way Xlib does from inside the event pump when the X server goes away.
[[noreturn]] void ExitInsideTheThirdFrame(const std::string& log) {
  std::vector<std::string> args = {"Voltigor", "-mainlog", log};
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  uint32_t now = 0;
  SetFrameClock([&] { return now; }, [&](uint32_t ms) { now += ms; });
  SetInputScript([](uint32_t frame) {
    if (frame == 3) std::exit(1);
  });
  VoltigorMain(static_cast<int>(argv.size()), argv.data());
  std::exit(0);  // the program ended without the exit: the test fails on the code
}

}  // namespace

// The program-wide objects must still be taken down in order, not by exit's
// destructors, which once aborted in a freed logger.
TEST(VoltigorInProcessDeathTest, AnExitFromInsideAFrameStillWritesTheClosingLine) {
  TTempDir dir;
  const std::string log = dir / "exit.log";
  EXPECT_EXIT(ExitInsideTheThirdFrame(log), ::testing::ExitedWithCode(1), "");
  ExpectWellFormedLog(SplitCRLF(ReadTextFile(log)));
}

TEST(VoltigorProgram, HelpAndVersionNeedNoDisplay) {
  TTempDir dir;
  const std::string out = dir / "out.txt";
  const std::string cmd = (vgrtest::BinDir() + "/Voltigor --version > ") + out;
  EXPECT_EQ(std::system(cmd.c_str()), 0);
  EXPECT_EQ(ReadTextFile(out), "Voltigor V1.05 Build 0063\n");
}

// The help and the README's table of controls name the same keys: every key
// of the table's first column ("Keypad + / Keypad −" is two) is in --help.
TEST(VoltigorProgram, HelpNamesEveryKeyOfTheReadmesControls) {
  TTempDir dir;
  const std::string out = dir / "help.txt";
  ASSERT_EQ(std::system((vgrtest::BinDir() + "/Voltigor --help > " + out).c_str()), 0);
  auto folded = [](std::string s) {
    // The README writes the minus sign, the help the plain hyphen.
    for (std::size_t at; (at = s.find("\xE2\x88\x92")) != std::string::npos;) s.replace(at, 3, "-");
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
  };
  const std::string help = folded(ReadTextFile(out));
  std::vector<std::string> readme;
  std::istringstream text(ReadTextFile(vgrtest::SourceDir() + "/README.md"));
  for (std::string l; std::getline(text, l);) readme.push_back(l);
  auto line = std::find(readme.begin(), readme.end(), "## Controls");
  ASSERT_NE(line, readme.end());
  std::vector<std::string> keys;
  for (++line; line != readme.end() && line->rfind("## ", 0) != 0; ++line) {
    // Rows of the table, past its header and rule.
    if (line->rfind("| ", 0) != 0 || *line == "| Key | Action |" || line->rfind("| ---", 0) == 0) continue;
    const std::string cell = line->substr(2, line->find(" |", 2) - 2);
    for (std::size_t from = 0;;) {
      const std::size_t slash = cell.find(" / ", from);
      keys.push_back(cell.substr(from, slash == std::string::npos ? std::string::npos : slash - from));
      if (slash == std::string::npos) break;
      from = slash + 3;
    }
  }
  EXPECT_GE(keys.size(), 8u);
  for (const std::string& key : keys) EXPECT_NE(help.find(folded(key)), std::string::npos) << key;
  // Nothing in the help promises a jump of the professor's own.
  EXPECT_EQ(help.find("jumps"), std::string::npos);
}

TEST(VoltigorInProcess, QuitEndsNormallyWithFinalisationsRun) {
  TTempDir dir;
  const std::string log = dir / "inproc.log";
  std::vector<std::string> args = {"Voltigor", "fullScreen", "-mainlog", log};
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  // Frames run back to back: the clock moves only when Flip waits.
  uint32_t now = 0;
  SetFrameClock([&] { return now; }, [&](uint32_t ms) { now += ms; });
  // Escape skips the title and then moves the cursor to QUIT; Return quits.
  uint32_t pressed = 0;
  SetInputScript([&](uint32_t frame) {
    if (frame < 3 || frame == pressed) return;
    pressed = frame;
    if (frame == 3 || frame == 5) PushKeyEvent(SYM_ESCAPE, true);
    if (frame == 7) PushKeyEvent(SYM_RETURN, true);
  });
  const int code = VoltigorMain(static_cast<int>(argv.size()), argv.data());
  SetInputScript(nullptr);
  SetFrameClock(nullptr, nullptr);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(PendingExitProcs(), 0u);
  auto lines = SplitCRLF(ReadTextFile(log));
  ExpectWellFormedLog(lines);
  // Frames were flipped, so the statistics line is there, before the closing line.
  auto avg = std::find_if(lines.begin(), lines.end(), [](const std::string& l) {
    return l.rfind("(ZR_SDL, Finalize) ZR_SDL: Average ms remaining in each frame: ", 0) == 0;
  });
  EXPECT_NE(avg, lines.end());
}
