// The real program's replays and recordings under hostile conditions: killed
// or stopped while recording, a full disk, a replay that runs out or is no
// file, switches that name the game's own files, standard output gone. Every
// case must end, lose no file that was whole before, and say what went wrong.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "ProgramRun.h"
#include "ReplayUnit.h"
#include "StreamUnit.h"
#include "TestSupport.h"
#include "ZR_SDL.h"

namespace {

using vgrtest::ReadBinaryFile;
using vgrtest::RunProgramWith;
using vgrtest::TRunOptions;
using vgrtest::TTempDir;

const std::string kTour = vgrtest::SourceDir() + "/tests/app/replays/tour-maps-1-to-4.vrp";
const std::string kInterim = vgrtest::SourceDir() + "/tests/app/replays/interim-zararoz.vrp";

bool HaveArchive() { return FileExists(vgrtest::BinDir() + "/Voltigor.mad4"); }

void Copy(const std::string& from, const std::string& to) {
  std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing);
}

// Escape skips the title, Escape again puts the menu's cursor on QUIT,
// Return quits.
std::string QuitScript(const TTempDir& dir) {
  TReplay r;
  r.Header.Seed = 1;
  r.Header.ProgramVersion = "Voltigor V1.05 Build 0063";
  r.Keys = {{0, {{SYM_ESCAPE, true}}}, {1, {{SYM_ESCAPE, false}}}, {3, {{SYM_ESCAPE, true}}},
            {4, {{SYM_ESCAPE, false}}}, {6, {{SYM_RETURN, true}}}};
  r.FrameTotal = 10;
  std::string error;
  EXPECT_TRUE(r.Save(dir / "quit.vrp", error)) << error;
  return dir / "quit.vrp";
}

// Waits (a bounded time) until the recording's temporary holds a replay of
// at least `frames` frames.
bool WaitForFrames(const std::string& part, uint32_t frames) {
  for (int i = 0; i < 1500; ++i) {
    TReplay r;
    std::string error;
    if (r.Load(part, error) && r.FrameTotal >= frames) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

}  // namespace

// Playing a replay back in real time while recording it anew over itself,
// stopped by a termination request: the replay stays whole.
TEST(RecordingSafety, ATerminatedReRecordingLeavesTheReplayWhole) {
  if (!HaveArchive()) GTEST_SKIP() << "the data archive is not built";
  TTempDir dir;
  const std::string replay = dir / "mine.vrp";
  Copy(kTour, replay);
  const std::vector<uint8_t> before = ReadBinaryFile(replay);
  TRunOptions o;
  o.WhileRunning = [&](pid_t pid) {
    EXPECT_TRUE(WaitForFrames(replay + ".part", 120));
    ::kill(pid, SIGTERM);
  };
  const vgrtest::TRun run = RunProgramWith({"-nolog", "-replay", replay, "-record", replay}, o);
  EXPECT_EQ(run.Code, 2) << run.Output;
  EXPECT_EQ(ReadBinaryFile(replay), before);
  EXPECT_FALSE(FileExists(replay + ".part"));
}

// A session killed outright keeps what it recorded up to its last second,
// which plays back to its end (and the timedemo then ends).
TEST(RecordingSafety, AKilledRecordingKeepsItsFramesAsAReplay) {
  if (!HaveArchive()) GTEST_SKIP() << "the data archive is not built";
  TTempDir dir;
  const std::string file = dir / "session.vrp";
  TRunOptions o;
  o.WhileRunning = [&](pid_t pid) {
    EXPECT_TRUE(WaitForFrames(file + ".part", 180));
    ::kill(pid, SIGKILL);
  };
  const vgrtest::TRun run = RunProgramWith({"-nolog", "-record", file}, o);
  EXPECT_EQ(run.Code, 128 + SIGKILL);
  EXPECT_FALSE(FileExists(file));
  TReplay kept;
  std::string error;
  ASSERT_TRUE(kept.Load(file + ".part", error)) << error;
  EXPECT_GE(kept.FrameTotal, 180u);
  const vgrtest::TRun play = RunProgramWith({"-nolog", "-timedemo", "-replay", file + ".part"}, {});
  EXPECT_EQ(play.Code, 0) << play.Output;
  EXPECT_NE(play.Output.find("Timedemo: "), std::string::npos) << play.Output;
}

// Recording anew over a replay on a disk that fills up: the replay stays as
// it was, the frames that fitted are kept beside it, and the player is told.
TEST(RecordingSafety, AFullDiskLeavesTheReplayItWouldReplace) {
  if (!HaveArchive()) GTEST_SKIP() << "the data archive is not built";
  TTempDir dir;
  const std::string target = dir / "old.vrp";
  Copy(kInterim, target);
  const std::vector<uint8_t> before = ReadBinaryFile(target);
  TRunOptions o;
  o.FileSizeLimit = 1500;
  const vgrtest::TRun run = RunProgramWith({"-nolog", "-timedemo", "-replay", kTour, "-record", target}, o);
  EXPECT_EQ(run.Code, 4) << run.Output;
  EXPECT_EQ(ReadBinaryFile(target), before);
  EXPECT_NE(run.Output.find("Voltigor: cannot write the recording " + target + ": File too large; it stops at frame "),
            std::string::npos)
      << run.Output;
  TReplay kept;
  std::string error;
  ASSERT_TRUE(kept.Load(target + ".part", error)) << error;
  EXPECT_GT(kept.FrameTotal, 0u);
}

// A replay cut short ends a timedemo where its keys end, and so does one
// whose frame total claims four billion frames it does not hold.
TEST(RecordingSafety, AReplayThatRunsOutEndsTheTimedemo) {
  if (!HaveArchive()) GTEST_SKIP() << "the data archive is not built";
  TTempDir dir;
  TReplay cut;
  std::string error;
  ASSERT_TRUE(cut.Load(kTour, error)) << error;
  // Cut in the middle of play, as by a kill: the game is still running.
  cut.FrameTotal = 1200;
  std::erase_if(cut.Keys, [](const TReplayKeys& k) { return k.Frame >= 1200; });
  std::erase_if(cut.Checks, [](const TReplayCheck& c) { return c.Frame >= 1200; });
  ASSERT_TRUE(cut.Save(dir / "cut.vrp", error)) << error;
  TReplay empty;
  empty.Header = cut.Header;
  empty.FrameTotal = 0xFFFFFFFF;
  ASSERT_TRUE(empty.Save(dir / "empty.vrp", error)) << error;
  for (const std::string name : {"cut.vrp", "empty.vrp"}) {
    SCOPED_TRACE(name);
    TRunOptions o;
    o.TimeoutSeconds = 60;
    const vgrtest::TRun run = RunProgramWith({"-mainlog", dir / "run.log", "-timedemo", "-replay", dir / name}, o);
    EXPECT_EQ(run.Code, 0) << run.Output;
    EXPECT_NE(run.Output.find("Timedemo: "), std::string::npos) << run.Output;
    const std::string log = vgrtest::ReadTextFile(dir / "run.log");
    EXPECT_NE(log.find(name == "cut.vrp" ? "Replay ran out at frame 1200" : "Replay ran out at frame 60"),
              std::string::npos);
  }
}

// What is not a regular file is refused before anything is read from it: a
// pipe without a writer would hold the program for ever.
TEST(RecordingSafety, AReplayThatIsNoFileIsRefused) {
  if (!HaveArchive()) GTEST_SKIP() << "the data archive is not built";
  TTempDir dir;
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  for (const std::string& name : {dir / "fifo", dir.Path()}) {
    TRunOptions o;
    o.TimeoutSeconds = 30;
    const vgrtest::TRun run = RunProgramWith({"-nolog", "-replay", name}, o);
    EXPECT_EQ(run.Code, 4) << run.Output;
    EXPECT_NE(run.Output.find("Voltigor: Cannot play the replay " + name + ": "), std::string::npos) << run.Output;
  }
}

// Every way a recording cannot be written is told at the start, in one line,
// with exit code 4, before a frame is played.
TEST(RecordingSafety, ARecordingThatCannotBeWrittenIsToldAtTheStart) {
  if (!HaveArchive()) GTEST_SKIP() << "the data archive is not built";
  TTempDir dir;
  const std::string quit = QuitScript(dir);
  std::filesystem::create_directory(dir / "folder");
  struct TCase {
    std::vector<std::string> Args;
    int64_t FileSizeLimit;
    std::string Line;
  };
  const TCase cases[] = {
      {{"-record", dir / "folder"}, -1, "cannot record to " + (dir / "folder") + ": it is a folder"},
      {{"-record", dir / "none/x.vrp"}, -1,
       "cannot record to " + (dir / "none/x.vrp") + ": No such file or directory (" + (dir / "none/x.vrp.part") + ")"},
      {{"-record", "/proc/x.vrp"}, -1, "cannot record to /proc/x.vrp: "},
      {{"-record", dir / "full.vrp"}, 0, "cannot write the recording " + (dir / "full.vrp") + ": File too large"},
      {{"-record"}, -1, "-record needs a file name"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Line);
    std::vector<std::string> args = {"-nolog", "-timedemo", "-replay", quit};
    args.insert(args.end(), c.Args.begin(), c.Args.end());
    TRunOptions o;
    o.FileSizeLimit = c.FileSizeLimit;
    const vgrtest::TRun run = RunProgramWith(args, o);
    EXPECT_EQ(run.Code, 4) << run.Output;
    EXPECT_EQ(run.Output.rfind("Voltigor: " + c.Line, 0), 0u) << run.Output;
    EXPECT_EQ(std::count(run.Output.begin(), run.Output.end(), '\n'), 1) << run.Output;
    // Nothing played: no timedemo figures.
    EXPECT_EQ(run.Output.find("Timedemo: "), std::string::npos) << run.Output;
  }
  EXPECT_FALSE(FileExists(dir / "full.vrp.part"));
}

// The log and a recording are never written over the archive in use, the
// program or the replay being read, by any name that reaches them.
TEST(RecordingSafety, SwitchesNamingTheGamesOwnFilesAreRefused) {
  if (!HaveArchive()) GTEST_SKIP() << "the data archive is not built";
  TTempDir dir;
  const std::string quit = QuitScript(dir);
  // The archive the game would mount: the one in its working folder.
  const std::vector<uint8_t> archive = {'M', 'A', 'D', '4', 8, 0, 0, 0, 'E', 'N', 'D', 'S', 4, 0, 0, 0, 20, 0, 0, 0};
  vgrtest::WriteFile(dir / "Voltigor.mad4", archive);
  ASSERT_EQ(::link((dir / "Voltigor.mad4").c_str(), (dir / "other.name").c_str()), 0);
  Copy(kInterim, dir / "my.vrp");
  const std::vector<uint8_t> replay = ReadBinaryFile(dir / "my.vrp");
  struct TCase {
    std::vector<std::string> Args;
    std::string Line;
  };
  const TCase cases[] = {
      {{"-mainlog", "Voltigor.mad4"}, "-mainlog Voltigor.mad4 is the game's data archive; the log is not written over it"},
      {{"-appendlog", "-mainlog", "other.name"},
       "-mainlog other.name is the game's data archive; the log is not written over it"},
      {{"-mainlog", "my.vrp", "-replay", "my.vrp"},
       "-mainlog my.vrp is the replay being played; the log is not written over it"},
      {{"-mainlog", vgrtest::BinDir() + "/Voltigor"},
       "-mainlog " + vgrtest::BinDir() + "/Voltigor is the program itself; the log is not written over it"},
      {{"-nolog", "-timedemo", "-replay", quit, "-record", "Voltigor.mad4"},
       "-record Voltigor.mad4 is the game's data archive; nothing is recorded over it"},
      {{"-mainlog", "x.log", "-timedemo", "-replay", quit, "-record", "x.log"},
       "-record x.log is the log; nothing is recorded over it"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Line);
    TRunOptions o;
    o.WorkDir = dir.Path();
    const vgrtest::TRun run = RunProgramWith(c.Args, o);
    EXPECT_EQ(run.Code, 4) << run.Output;
    EXPECT_EQ(run.Output, "Voltigor: " + c.Line + " (no log was written)\n");
    EXPECT_EQ(ReadBinaryFile(dir / "Voltigor.mad4"), archive);
    EXPECT_EQ(ReadBinaryFile(dir / "my.vrp"), replay);
  }
}

// Standard output gone (a closed pipe, or no descriptor at all): the
// timedemo still ends normally, and its report lands in no other file.
TEST(RecordingSafety, ATimedemoWithoutStandardOutputEndsNormally) {
  if (!HaveArchive()) GTEST_SKIP() << "the data archive is not built";
  TTempDir dir;
  for (const auto how : {TRunOptions::ReaderGone, TRunOptions::Closed}) {
    TRunOptions o;
    o.Stdout = how;
    const vgrtest::TRun run =
        RunProgramWith({"-mainlog", dir / "run.log", "-timedemo", "-replay", kInterim}, o);
    EXPECT_EQ(run.Code, 0) << run.Output;
    const auto lines = vgrtest::SplitCRLF(vgrtest::ReadTextFile(dir / "run.log"));
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back().rfind("(..system..) Terminating Application. ", 0), 0u) << lines.back();
    for (const std::string& line : lines) EXPECT_NE(line.rfind("Timedemo: ", 0), 0u) << line;
  }
}
