// Start-up with object or monster definitions the game cannot run with: the
// program ends with a clear error line, the unit finalisations run and the
// log is closed.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "SystemUnit.h"
#include "TestSupport.h"
#include "VGRResourceTypesUnit.h"
#include "Voltigor.h"
#include "ZR_SDL.h"

namespace {

struct TCase {
  const char* what;
  std::string objects;   // loose "objects.lst" in the working folder; none when empty
  std::string monsters;  // loose "monsters.txt"
  int exitCode;
  std::string error;
};

TEST(StartupData, UnusableDefinitionsEndTheStartUp) {
  const TCase cases[] = {
      {"no !END", ">1\n#S,1\n", "MONS01a,1,0\n", DataErrorExitCode,
       "{ResourceUnit, TResources.Create} No \"!END\" line in objects.lst! (line 2)"},
      {"number", ">1\n%1,a\n!END\n", "MONS01a,1,0\n", DataErrorExitCode,
       "{ResourceUnit, TResources.Create} Number expected in objects.lst, line 2! (a)"},
      {"monster 00", ">1\n!END\n", "MONS00a,1,0\n", 0, "{ResourceUnit, TResources.Create} Monster definition error! (Line:1)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    vgrtest::TTempDir dir;
    char buf[4096];
    const std::string old = getcwd(buf, sizeof buf) ? buf : "/";
    ASSERT_EQ(chdir(dir.Path().c_str()), 0);
    // Loose files come before the archive beside the program.
    vgrtest::WriteFile(dir / "objects.lst", c.objects);
    vgrtest::WriteFile(dir / "monsters.txt", c.monsters);
    const std::string log = dir / "start.log";
    std::vector<std::string> args = {"Voltigor", "-mainlog", log};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    int code = -1;
    try {
      VoltigorMain(static_cast<int>(argv.size()), argv.data());
    } catch (const THaltRequest& h) {
      code = h.ExitCode;
    }
    // The display stays open when the process would have ended here.
    if (ScreenSurface) Finalize();
    Resources.reset();
    EXPECT_EQ(chdir(old.c_str()), 0);

    EXPECT_EQ(code, c.exitCode);
    EXPECT_EQ(PendingExitProcs(), 0u);
    const auto lines = vgrtest::SplitCRLF(vgrtest::ReadTextFile(log));
    EXPECT_NE(std::find(lines.begin(), lines.end(), c.error), lines.end());
    // The music of the next start-up step was never loaded.
    EXPECT_EQ(std::find_if(lines.begin(), lines.end(),
                           [](const std::string& l) { return l.find("TMusic.Create") != std::string::npos; }),
              lines.end());
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back().rfind("(..system..) Terminating Application. ", 0), 0u) << lines.back();
  }
}

}  // namespace
