#include <gtest/gtest.h>
#include <sys/file.h>
#include <fcntl.h>
#include <unistd.h>

#include "Logger.h"
#include "ParametersUnit.h"
#include "TestSupport.h"
#include <algorithm>
#include <filesystem>

using vgrtest::ReadTextFile;
using vgrtest::SplitCRLF;
using vgrtest::TTempDir;
using vgrtest::WriteFile;

namespace {

std::unique_ptr<TLogger> OpenLog(const TTempDir& dir, const std::string& exe, std::vector<std::string> args,
                                 const std::string& fileName = "", bool append = false) {
  args.insert(args.begin(), dir.Path() + exe);
  TParameters params(args);
  return std::make_unique<TLogger>(fileName, append, &params);
}

}  // namespace

TEST(Parameters, IndexOfIsCaseInsensitiveAndSearchesTheProgramPath) {
  TParameters p({"/opt/game/Voltigor", "FullScreen", "-mainlog", "x.txt"});
  EXPECT_EQ(p.IndexOf("fullscreen"), 1);
  EXPECT_EQ(p.IndexOf("-MAINLOG"), 2);
  EXPECT_EQ(p.IndexOf("/opt/game/voltigor"), 0);
  EXPECT_EQ(p.IndexOf("missing"), -1);
  EXPECT_EQ(p.ValueAfter("-mainlog"), "x.txt");
  EXPECT_EQ(p.ValueAfter("x.txt"), "");  // last entry has nothing after it
  EXPECT_EQ(p.ValueAfter("missing"), "");
}

TEST(Logger, LogNameRules) {
  struct Case {
    const char* exe;
    std::vector<std::string> args;
    std::string expected;  // relative to the temp dir
  };
  TTempDir dir;
  const std::vector<Case> cases = {
      {"a.b.exe", {}, "a.log"},
      {"Voltigor", {}, "Voltigor.log"},
      {"game", {"-mainlog", dir / "other.txt"}, "other.txt"},
      {"game", {"/MAINLOG", dir / "slash.txt", "-mainlog", dir / "dash.txt"}, "slash.txt"},
      {"game", {"-mainlog"}, "game.log"},  // nothing after the switch: default name
      {"game", {"-mainlog", dir / "other.txt", "-safelog"}, "run.log"},
      {"game", {"/SafeLog"}, "run.log"},
  };
  for (const Case& c : cases) {
    auto log = OpenLog(dir, c.exe, c.args);
    EXPECT_TRUE(log->Enabled()) << c.exe;
    EXPECT_EQ(log->FileName(), dir / c.expected) << c.exe;
  }
}

TEST(Logger, NoLogCreatesNothingAndIgnoresEverything) {
  TTempDir dir;
  auto log = OpenLog(dir, "game", {"/NOLOG"});
  EXPECT_FALSE(log->Enabled());
  log->Filters.push_back("*");
  log->Status("hello", "X");
  log->Error("boom", "X");
  log->Trace("t");
  EXPECT_FALSE(std::filesystem::exists(dir / "game.log"));
}

TEST(Logger, AppendVersusTruncate) {
  TTempDir dir;
  // Append with no file: created.
  {
    auto log = OpenLog(dir, "game", {"-appendlog"});
    log->Trace("first");
  }
  EXPECT_EQ(ReadTextFile(dir / "game.log"), "< Trace >first\r\n");
  {
    auto log = OpenLog(dir, "game", {}, "", /*append=*/true);
    log->Trace("second");
  }
  EXPECT_EQ(ReadTextFile(dir / "game.log"), "< Trace >first\r\n< Trace >second\r\n");
  {
    auto log = OpenLog(dir, "game", {});
    log->Trace("third");
  }
  EXPECT_EQ(ReadTextFile(dir / "game.log"), "< Trace >third\r\n");
}

TEST(Logger, LogHeldByAnotherInstanceStaysDisabledAndUntouched) {
  TTempDir dir;
  WriteFile(dir / "game.log", std::string("other instance\r\n"));
  int fd = ::open((dir / "game.log").c_str(), O_WRONLY);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
  {
    auto log = OpenLog(dir, "game", {});
    EXPECT_FALSE(log->Enabled());
    log->Status("x", "y");
  }
  ::close(fd);
  EXPECT_EQ(ReadTextFile(dir / "game.log"), "other instance\r\n");
}

TEST(Logger, LineFormatsAndLevels) {
  TTempDir dir;
  auto log = OpenLog(dir, "game", {});
  log->Status("s", "U, T.M");
  log->Warning("w", "U, T.M");
  log->Error("e", "U, T.M");
  log->Debug("d", "U, T.M");
  log->Trace("x");
  log->TraceNumber(-12);
  log->WriteLine("plain");
  log->SetLevels("swe");  // lower case counts; D is off
  log->Debug("hidden", "U");
  log->Status("shown", "U");
  log->SetLevels("");  // everything off but traces
  log->Error("hidden", "U");
  log->Trace("still");
  log->SetLevels("D?x");
  log->Debug("only debug", "U");
  log->Status("hidden", "U");
  EXPECT_EQ(SplitCRLF(ReadTextFile(dir / "game.log")),
            (std::vector<std::string>{"(U, T.M) s", "[U, T.M] w", "{U, T.M} e", "<U, T.M> d", "< Trace >x",
                                      "< Trace >-12", "plain", "(U) shown", "< Trace >still", "<U> only debug"}));
}

TEST(Logger, MatchPatternStarRules) {
  struct Case {
    const char* pattern;
    const char* text;
    bool match;
  };
  const Case cases[] = {
      {"*", "", true},
      {"*", "anything", true},
      {"", "anything", true},
      {"MAD4LowLevel*", "MAD4LowLevelUnit, TMAD4LowLevel.Mount", true},
      {"mad4lowlevel*", "MAD4LOWLEVELUNIT", true},
      {"MAD4LowLevel*", "MAD4LowLevel", false},  // the star stands for at least one character
      {"MAD4LowLevel*", "MAD4LowLevelX", true},
      {"*.Load", "XMapUnit, TXMap.Load", true},
      {"*.Load", ".Load", false},
      {"*.Load", "X.Save", false},
      {"*.Load", "*.Load", true},  // the failed suffix test falls back to equality
      {"a*b", "axxb", false},      // a middle star is an ordinary character
      {"a*b", "A*B", true},
      {"exact", "EXACT", true},
      {"exact", "exactly", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TLogger::MatchPattern(c.pattern, c.text), c.match) << c.pattern << " vs " << c.text;
  }
}

TEST(Logger, FiltersIncludeThenExclude) {
  TTempDir dir;
  auto log = OpenLog(dir, "game", {});
  log->Filters = {"*", "-ImageCollection*"};
  EXPECT_FALSE(log->IsLogged("ImageCollectionUnit, TImageCollection.Load"));
  EXPECT_TRUE(log->IsLogged("XMapUnit, TXMap.Load"));
  log->Status("dropped", "ImageCollectionUnit, TImageCollection.Load");
  log->Warning("dropped", "ImageCollectionUnit, TImageCollection.Load");
  log->Status("kept", "XMapUnit, TXMap.Load");
  log->Error("errors pass", "ImageCollectionUnit, TImageCollection.Load");
  EXPECT_EQ(SplitCRLF(ReadTextFile(dir / "game.log")),
            (std::vector<std::string>{"(XMapUnit, TXMap.Load) kept",
                                      "{ImageCollectionUnit, TImageCollection.Load} errors pass"}));

  // Only exclusions: nothing is included, so only errors and traces remain.
  log->Filters = {"-MAD4LowLevel*"};
  EXPECT_FALSE(log->IsLogged("XMapUnit, TXMap.Load"));
  EXPECT_FALSE(log->IsLogged("MAD4LowLevelUnit, X"));
  log->Filters.clear();
  EXPECT_TRUE(log->IsLogged("anything"));
  log->Filters = {"XMap*", "Sprite*", "-XMapUnit, TXMap.Save"};
  EXPECT_TRUE(log->IsLogged("SpriteUnit, TSprite.Draw"));
  EXPECT_FALSE(log->IsLogged("XMapUnit, TXMap.Save"));
  EXPECT_FALSE(log->IsLogged("Other"));
}

TEST(Logger, StartupWritesStartLegendAndVersionThenClosingLine) {
  TTempDir dir;
  auto saved = std::move(Parameters);
  Parameters = std::make_unique<TParameters>(TStringArray{dir / "prog"});
  Logger_Startup();
  LogUnitVersion("StackUnit", "1.01");
  Logger_Shutdown();
  Parameters = std::move(saved);
  auto lines = SplitCRLF(ReadTextFile(dir / "prog.log"));
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0].rfind("(..system..) Starting Application. ", 0), 0u);
  EXPECT_EQ(lines[1], "(..system..) (Status) [Warning] {Error} <Debug>");
  EXPECT_EQ(lines[2], "(uses) Logger, version 1.11");
  EXPECT_EQ(lines[3], "(uses) StackUnit, version 1.01");
  EXPECT_EQ(lines[4].rfind("(..system..) Terminating Application. ", 0), 0u);
  // After shutdown the global log is the disabled one again.
  EXPECT_FALSE(Log->Enabled());
}

// A program folder that cannot take the log sends it to the player's state
// folder; a log the player named never moves.
TEST(Logger, UnwritableProgramFolderMovesTheLogToTheStateFolder) {
  TTempDir dir;
  const std::string oldXdg = std::getenv("XDG_STATE_HOME") ? std::getenv("XDG_STATE_HOME") : "";
  const std::string oldHome = std::getenv("HOME") ? std::getenv("HOME") : "";
  struct Case {
    const char* xdg;   // null: unset
    std::vector<std::string> args;
    std::string expected;  // "" : no log
    bool relocated;
  };
  const std::vector<Case> cases = {
      {"state", {}, dir / "state/voltigor/Voltigor.log", true},
      {nullptr, {}, dir / "home/.local/state/voltigor/Voltigor.log", true},
      {"state", {"-safelog"}, dir / "state/voltigor/run.log", true},
      {"relative", {}, dir / "home/.local/state/voltigor/Voltigor.log", true},  // not absolute: ignored
      {"state", {"-mainlog", dir / "missing/named.log"}, "", false},
  };
  ::setenv("HOME", (dir / "home").c_str(), 1);
  for (const Case& c : cases) {
    if (c.xdg) {
      ::setenv("XDG_STATE_HOME", c.xdg[0] == 'r' ? c.xdg : (dir / c.xdg).c_str(), 1);
    } else {
      ::unsetenv("XDG_STATE_HOME");
    }
    // The program's folder does not exist, so nothing can be written beside it.
    auto log = OpenLog(dir, "missing/Voltigor", c.args);
    EXPECT_EQ(log->Enabled(), !c.expected.empty()) << c.expected;
    EXPECT_EQ(log->Relocated(), c.relocated) << c.expected;
    if (c.expected.empty()) continue;
    EXPECT_EQ(log->FileName(), c.expected);
    log->Trace("here");
    log.reset();
    EXPECT_EQ(ReadTextFile(c.expected), "< Trace >here\r\n");
  }
  // A writable program folder keeps its log.
  auto beside = OpenLog(dir, "Voltigor", {});
  EXPECT_FALSE(beside->Relocated());
  EXPECT_EQ(beside->FileName(), dir / "Voltigor.log");
  ::setenv("HOME", oldHome.c_str(), 1);
  if (oldXdg.empty()) {
    ::unsetenv("XDG_STATE_HOME");
  } else {
    ::setenv("XDG_STATE_HOME", oldXdg.c_str(), 1);
  }
}

// An installed game whose log has nowhere to go (no HOME, a state folder
// that cannot be made) says so once on standard error; a log that opened on
// a full disk says so at its first failed line and keeps that for the fatal
// line to tell.
TEST(Logger, ALogThatCannotBeWrittenIsToldOnce) {
  const std::string oldXdg = std::getenv("XDG_STATE_HOME") ? std::getenv("XDG_STATE_HOME") : "";
  const std::string oldHome = std::getenv("HOME") ? std::getenv("HOME") : "";
  struct Case {
    const char* xdg;   // null: unset
    const char* home;  // null: unset
    std::vector<std::string> args;
    std::string said;  // the start of what standard error gets
  };
  const std::vector<Case> cases = {
      {nullptr, nullptr, {},
       "Voltigor: no log could be written: /proc/none/Voltigor.log: No such file or directory; no state folder "
       "(neither XDG_STATE_HOME nor HOME is set)\n"},
      // /proc takes no new folder, whoever asks.
      {"/proc", nullptr, {}, "Voltigor: no log could be written: /proc/none/Voltigor.log: No such file or directory; /proc/voltigor: "},
      {nullptr, nullptr, {"-appendlog", "-mainlog", "/dev/full"},
       "Voltigor: writing the log /dev/full failed (No space left on device); it is incomplete\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.said);
    c.xdg ? ::setenv("XDG_STATE_HOME", c.xdg, 1) : ::unsetenv("XDG_STATE_HOME");
    c.home ? ::setenv("HOME", c.home, 1) : ::unsetenv("HOME");
    auto saved = std::move(Parameters);
    std::vector<std::string> args = {"/proc/none/Voltigor"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    Parameters = std::make_unique<TParameters>(args);
    testing::internal::CaptureStderr();
    Logger_Startup();
    LogUnitVersion("StackUnit", "1.01");
    const bool full = !Log->WriteFailure().empty();
    const int64_t lines = Log->LinesWritten();
    Logger_Shutdown();
    const std::string said = testing::internal::GetCapturedStderr();
    Parameters = std::move(saved);
    EXPECT_EQ(said.rfind(c.said, 0), 0u) << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_EQ(full, c.args.size() > 1);
    EXPECT_EQ(lines, 0);
  }
  ::setenv("HOME", oldHome.c_str(), 1);
  oldXdg.empty() ? ::unsetenv("XDG_STATE_HOME") : ::setenv("XDG_STATE_HOME", oldXdg.c_str(), 1);
}

// Whatever a message holds, the file gets printable ASCII lines, each ended by
// its own CR LF only: a line feed in a name cannot forge a line, a terminal
// escape sequence cannot act on whoever reads the log.
TEST(Logger, EveryLineIsWrittenEscaped) {
  TTempDir dir;
  auto log = OpenLog(dir, "game", {});
  log->Status(std::string("a\nb\r\0c", 6), "U\t1");
  log->Warning("\x1b[2J", "U");
  log->Error("caf\xc3\xa9 \x7f~ \\x", "U");
  log->Debug(std::string(1, '\xff'), "U");
  log->Trace("\r\n");
  log->WriteLine(" !~");
  EXPECT_EQ(ReadTextFile(dir / "game.log"),
            "(U\\x091) a\\x0Ab\\x0D\\x00c\r\n"
            "[U] \\x1B[2J\r\n"
            "{U} caf\\xC3\\xA9 \\x7F~ \\x\r\n"
            "<U> \\xFF\r\n"
            "< Trace >\\x0D\\x0A\r\n"
            " !~\r\n");
}
