// Every way the real program ends on a fault tells the player on standard
// error, in one line, what went wrong and where the log is (or that there is
// none), and ends with the fault's exit code.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "ProgramRun.h"
#include "TestSupport.h"

using vgrtest::ReadTextFile;
using vgrtest::SplitCRLF;
using vgrtest::TTempDir;
using vgrtest::WriteFile;

namespace {

// An archive with its header and trailer and nothing in between, as the
// program creates a missing one.
std::vector<uint8_t> EmptyArchive() {
  return {'M', 'A', 'D', '4', 8, 0, 0, 0, 'E', 'N', 'D', 'S', 4, 0, 0, 0, 20, 0, 0, 0};
}

struct TFatalCase {
  const char* What;
  std::string Archive;   // "Voltigor.mad4" in the working folder: "" none, "empty", "no bytes", or these bytes
  std::string Monsters;  // a loose "monsters.txt" with "objects.lst" beside it; "" none
  std::string Args;      // LOG stands for the log's path, DIR for the working folder
  std::string Video;     // SDL_VIDEODRIVER
  int ExitCode;
  std::string Line;  // the one line on standard error, LOG and DIR as above
  int64_t FileSizeLimit = -1;  // bytes a file may grow to, as on a disk that fills up
};

// Where the stored name "objects.lst" first appears in the archive: cut
// there, the member is lost with everything behind it.
std::size_t ObjectsOffset(const std::vector<uint8_t>& archive) {
  const std::string name = "objects.lst";
  const auto at = std::search(archive.begin(), archive.end(), name.begin(), name.end());
  return at == archive.end() ? archive.size() / 2 : static_cast<std::size_t>(at - archive.begin());
}

std::string Expand(std::string text, const std::string& dir, const std::string& log) {
  for (std::size_t at; (at = text.find("LOG")) != std::string::npos;) text.replace(at, 3, log);
  for (std::size_t at; (at = text.find("DIR")) != std::string::npos;) text.replace(at, 3, dir);
  return text;
}

}  // namespace

TEST(VoltigorProgram, EveryFatalExitSaysWhyInOneLine) {
  const std::string noObjects = "the object definitions cannot be used: Object definitions not found! (objects.lst)";
  const TFatalCase cases[] = {
      {"foreign archive", "only text, no archive", "", "-mainlog LOG", "dummy", 3,
       "Voltigor: cannot open the data archive Voltigor.mad4; then " + noObjects + " (see LOG)"},
      {"empty file, no log", "no bytes", "", "-nolog", "dummy", 3,
       "Voltigor: cannot open the data archive Voltigor.mad4; then " + noObjects + " (no log was written)"},
      {"empty archive, log not writable", "empty", "", "-mainlog DIR/none/x.log", "dummy", 3,
       "Voltigor: no log could be written: DIR/none/x.log: No such file or directory\n"
       "Voltigor: the data archive Voltigor.mad4 holds no files; then " + noObjects +
           " (no log: DIR/none/x.log could not be written)"},
      {"log on a full disk", "only text, no archive", "", "-mainlog LOG", "dummy", 3,
       "Voltigor: writing the log LOG failed (File too large); it is incomplete\n"
       "Voltigor: cannot open the data archive Voltigor.mad4; then " + noObjects + " (see LOG, incomplete: File too large)",
       1024},
      {"log on a disk already full", "only text, no archive", "", "-mainlog LOG", "dummy", 3,
       "Voltigor: writing the log LOG failed (File too large); it is incomplete\n"
       "Voltigor: cannot open the data archive Voltigor.mad4; then " + noObjects +
           " (no log: LOG could not be written (File too large))",
       0},
      {"archive cut short", "cut", "", "-mainlog LOG", "dummy", 3,
       "Voltigor: the data archive Voltigor.mad4 is damaged; then " + noObjects + " (see LOG)"},
      {"malformed monster", "", "MONS00a,1,0\n", "-mainlog LOG", "dummy", 0,
       "Voltigor: malformed monster definition in monsters.txt, line 1 (see LOG)"},
      {"replay missing", "", "", "-replay DIR/none.vrp -mainlog LOG", "dummy", 4,
       "Voltigor: Cannot play the replay DIR/none.vrp: cannot open DIR/none.vrp (see LOG)"},
      {"no video driver", "", "", "-mainlog LOG", "nosuchdriver", 1,
       "Voltigor: cannot open the game's window: Could not initialize SDL : nosuchdriver not available (see LOG)"},
  };
  for (const TFatalCase& c : cases) {
    SCOPED_TRACE(c.What);
    TTempDir dir;
    const std::string log = dir / "fatal.log";
    if (c.Archive == "empty") {
      WriteFile(dir / "Voltigor.mad4", EmptyArchive());
    } else if (c.Archive == "cut") {
      // The real archive cut short before the member the start-up reads first.
      std::vector<uint8_t> whole = vgrtest::ReadBinaryFile(vgrtest::BinDir() + "/Voltigor.mad4");
      whole.resize(ObjectsOffset(whole));
      WriteFile(dir / "Voltigor.mad4", whole);
    } else if (c.Archive == "no bytes") {
      WriteFile(dir / "Voltigor.mad4", std::string());
    } else if (!c.Archive.empty()) {
      WriteFile(dir / "Voltigor.mad4", c.Archive);
    }
    if (!c.Monsters.empty()) {
      WriteFile(dir / "objects.lst", ">1\n!END\n");
      WriteFile(dir / "monsters.txt", c.Monsters);
    }
    std::vector<std::string> args;
    std::string expanded = Expand(c.Args, dir.Path(), log);
    for (std::size_t from = 0, to; from <= expanded.size(); from = to + 1) {
      to = std::min(expanded.find(' ', from), expanded.size());
      args.push_back(expanded.substr(from, to - from));
    }
    vgrtest::TRunOptions o;
    o.WorkDir = dir.Path();
    o.VideoDriver = c.Video;
    o.Stdout = vgrtest::TRunOptions::Discarded;
    o.FileSizeLimit = c.FileSizeLimit;
    const vgrtest::TRun run = vgrtest::RunProgramWith(args, o);
    EXPECT_EQ(run.Code, c.ExitCode);
    EXPECT_EQ(run.Output, Expand(c.Line, dir.Path(), log) + "\n");
    if (c.FileSizeLimit >= 0) continue;
    if (c.Args.find("LOG") != std::string::npos) {
      // The log has the closing line as well.
      const auto lines = SplitCRLF(ReadTextFile(log));
      ASSERT_FALSE(lines.empty());
      EXPECT_EQ(lines.back().rfind("(..system..) Terminating Application. ", 0), 0u) << lines.back();
    }
  }
}
