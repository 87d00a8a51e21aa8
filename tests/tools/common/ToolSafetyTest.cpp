// The data tool never costs what it works on: an archive add killed at any
// moment, a pack stopped by a signal, an output that is one of the command's
// inputs, a disk that fills up. And what it prints of the data cannot act on
// the terminal or flood it.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "RawPictureUnit.h"
#include "StreamUnit.h"
#include "TestSupport.h"
#include "ToolTestSupport.h"
#include "VgrData.h"
#include "XMapUnit.h"

namespace {

using TBytes = std::vector<uint8_t>;
using vgrtest::Vgr;
constexpr std::size_t kMiB = std::size_t{1} << 20;

TBytes Noise(std::size_t n, uint32_t seed) {
  TBytes b(n);
  for (uint8_t& c : b) c = static_cast<uint8_t>((seed = seed * 1103515245u + 12345u) >> 24);
  return b;
}

// The tool in a child process, which the test may stop with a signal.
pid_t Spawn(const std::vector<std::string>& args) {
  const pid_t child = ::fork();
  if (child == 0) {
    std::ostringstream out, err;
    ::_exit(vgrdata::Run(args, out, err));
  }
  return child;
}

std::string Line(const std::vector<std::string>& args) {
  std::string line;
  for (const std::string& a : args) line += a + " ";
  return line;
}

// Nothing in the text but printable ASCII, line feeds and tabs.
::testing::AssertionResult Printable(const std::string& text) {
  for (const unsigned char c : text) {
    if ((c < 0x20 && c != '\n' && c != '\t') || c >= 0x7F)
      return ::testing::AssertionFailure() << "raw byte " << static_cast<int>(c) << " in:\n" << text;
  }
  return ::testing::AssertionSuccess();
}

// `archive add` of a member of megabytes that replaces one, killed at moments
// spread over the time it takes: the archive checks whole, the member is the
// old one or the new one, the others are untouched, and it takes new members.
TEST(ToolSafety, ArchiveAddKilledAtAnyMomentLeavesTheArchiveWhole) {
  vgrtest::TTempDir dir;
  const std::string archive = dir / "k.mad4";
  const TBytes small = Noise(5000, 1), oldBig = Noise(12 * kMiB, 2), newBig = Noise(16 * kMiB + 3, 3);
  vgrtest::WriteFile(dir / "small.bin", small);
  vgrtest::WriteFile(dir / "old.bin", oldBig);
  vgrtest::WriteFile(dir / "new.bin", newBig);
  ASSERT_EQ(Vgr({"archive", "add", archive, "first.bin", dir / "small.bin", "--method", "raw"}).code, 0);
  ASSERT_EQ(Vgr({"archive", "add", archive, "big.bin", dir / "old.bin", "--method", "raw"}).code, 0);
  ASSERT_EQ(Vgr({"archive", "add", archive, "last.bin", dir / "small.bin", "--method", "raw"}).code, 0);
  const TBytes start = vgrtest::ReadBinaryFile(archive);
  const std::vector<std::string> add = {"archive", "add", archive, "big.bin", dir / "new.bin", "--method", "raw"};

  // How long the add takes uninterrupted.
  vgrtest::WriteFile(archive, start);
  const auto t0 = std::chrono::steady_clock::now();
  ASSERT_EQ(Vgr(add).code, 0);
  const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();

  int interrupted = 0;
  for (const double at : {0.0, 0.1, 0.2, 0.3, 0.45, 0.6, 0.75, 0.9, 1.1}) {
    const std::string where = "killed at " + std::to_string(at) + " of " + std::to_string(took) + " s";
    vgrtest::WriteFile(archive, start);
    const pid_t child = Spawn(add);
    ASSERT_GT(child, 0);
    std::this_thread::sleep_for(std::chrono::duration<double>(at * took));
    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    if (WIFSIGNALED(status)) ++interrupted;

    const vgrtest::TToolResult check = Vgr({"archive", "check", archive});
    EXPECT_EQ(check.code, 0) << where << "\n" << check.err;
    for (const auto& [name, bytes] : {std::pair<std::string, const TBytes*>{"first.bin", &small}, {"last.bin", &small}}) {
      ASSERT_EQ(Vgr({"archive", "extract", archive, name, dir / "out.bin"}).code, 0) << where;
      EXPECT_TRUE(vgrtest::ReadBinaryFile(dir / "out.bin") == *bytes) << where << ": " << name;
    }
    ASSERT_EQ(Vgr({"archive", "extract", archive, "big.bin", dir / "out.bin"}).code, 0) << where;
    const TBytes big = vgrtest::ReadBinaryFile(dir / "out.bin");
    EXPECT_TRUE(big == oldBig || big == newBig) << where << ": big.bin is neither the old nor the new member";
    // Still writable: the next add and remove go through.
    const vgrtest::TToolResult again = Vgr({"archive", "add", archive, "next.bin", dir / "small.bin"});
    EXPECT_EQ(again.code, 0) << where << "\n" << again.err;
    EXPECT_EQ(Vgr({"archive", "remove", archive, "first.bin"}).code, 0) << where;
    EXPECT_EQ(Vgr({"archive", "check", archive}).code, 0) << where;
  }
  EXPECT_GT(interrupted, 0) << "no kill landed while the add ran";
  std::printf("[ kill     ] %d of 9 kills stopped an add of %.2f s\n", interrupted, took);
}

// `archive pack` stopped by TERM or HUP removes its temporary and ends by
// that signal; after a KILL, which cannot be caught, the next command that
// writes the archive removes it, and keeps one of a process that still runs.
TEST(ToolSafety, ArchivePackStoppedBySignalsLeavesNoTemporary) {
  vgrtest::TTempDir dir;
  ::mkdir((dir / "folder").c_str(), 0755);
  std::string text;
  for (int i = 0; i < 12000; ++i) text += "The professor builds the creature, piece " + std::to_string(i % 7) + ".\n";
  for (const char* name : {"a.txt", "b.txt", "c.txt", "d.txt"}) vgrtest::WriteFile(dir / (std::string("folder/") + name), text);
  const std::string target = dir / "p.mad4";
  vgrtest::WriteFile(dir / "member.txt", std::string("hello"));
  ASSERT_EQ(Vgr({"archive", "add", target, "member.txt", dir / "member.txt"}).code, 0);
  const TBytes before = vgrtest::ReadBinaryFile(target);
  const std::string alive = target + ".tmp." + std::to_string(::getppid());
  vgrtest::WriteFile(alive, std::string("another pack at work"));

  for (const int sig : {SIGTERM, SIGHUP, SIGKILL}) {
    const std::string where = "signal " + std::to_string(sig);
    const pid_t child = Spawn({"archive", "pack", target, dir / "folder"});
    ASSERT_GT(child, 0);
    const std::string temp = target + ".tmp." + std::to_string(child);
    for (int i = 0; i < 2000 && !FileExists(temp); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_TRUE(FileExists(temp)) << where << ": the pack made no temporary";
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    ::kill(child, sig);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << where << ": the pack ended otherwise";
    EXPECT_EQ(vgrtest::ReadBinaryFile(target), before) << where << ": the archive changed";
    if (sig != SIGKILL) {
      EXPECT_FALSE(std::filesystem::exists(temp)) << where << ": " << temp << " left";
      continue;
    }
    ASSERT_TRUE(std::filesystem::exists(temp));
    EXPECT_EQ(Vgr({"archive", "add", target, "more.txt", dir / "member.txt"}).code, 0);
    EXPECT_FALSE(std::filesystem::exists(temp)) << temp << " of a killed pack is not removed";
  }
  EXPECT_TRUE(std::filesystem::exists(alive)) << "the temporary of a running process was removed";
  // A pack that runs through replaces the archive and leaves nothing either.
  ::unlink(alive.c_str());
  ASSERT_EQ(Vgr({"archive", "pack", target, dir / "folder"}).code, 0);
  for (const auto& e : std::filesystem::directory_iterator(dir.Path()))
    EXPECT_EQ(e.path().filename().string().find(".tmp"), std::string::npos) << e.path() << " left";
}

// An output that is a file the command reads (by its own name, a hard link or
// a symbolic link) is refused in one line, and nothing is written.
TEST(ToolSafety, OutputThatIsAnInputIsRefused) {
  vgrtest::TTempDir dir;
  const std::string archive = dir / "a.mad4";
  vgrtest::WriteFile(dir / "member.txt", std::string("hello"));
  ASSERT_EQ(Vgr({"archive", "add", archive, "member.txt", dir / "member.txt"}).code, 0);
  ASSERT_EQ(::link(archive.c_str(), (dir / "hard.mad4").c_str()), 0);
  ASSERT_EQ(::symlink(archive.c_str(), (dir / "soft.mad4").c_str()), 0);
  TXMap m;
  m.Grow(3, 2);
  const std::string map = dir / "01.mpp";
  ASSERT_EQ(m.Save(map, 'T'), 'T');
  const std::string pack = dir / "z.mpk";
  ASSERT_EQ(Vgr({"pack", "build", pack, map}).code, 0);
  const std::vector<std::vector<std::string>> rows = {
      {"archive", "extract", archive, "member.txt", archive},
      {"archive", "extract", archive, "member.txt", dir / "hard.mad4"},
      {"level", "solve", archive, "1", "-o", archive},
      {"level", "solve", pack, "1", "--data", archive, "-o", dir / "soft.mad4"},
      {"level", "solve", pack, "1", "--data", archive, "-o", pack},
      {"pack", "extract", pack, "01.mpp", pack},
      {"map", "convert", map, map, "B"},
  };
  for (const auto& args : rows) {
    const TBytes a = vgrtest::ReadBinaryFile(archive), p = vgrtest::ReadBinaryFile(pack),
                 t = vgrtest::ReadBinaryFile(map);
    const vgrtest::TToolResult r = Vgr(args);
    EXPECT_EQ(r.code, 1) << Line(args) << "\n" << r.err;
    EXPECT_NE(r.err.find(args[args.size() - (args[1] == "convert" ? 2 : 1)] +
                         " is a file this command reads; it is not overwritten\n"),
              std::string::npos)
        << Line(args) << "\n" << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << Line(args) << "\n" << r.err;
    EXPECT_TRUE(vgrtest::ReadBinaryFile(archive) == a && vgrtest::ReadBinaryFile(pack) == p &&
                vgrtest::ReadBinaryFile(map) == t)
        << Line(args) << ": an input changed";
  }
  // Another name is written as before.
  EXPECT_EQ(Vgr({"archive", "extract", archive, "member.txt", dir / "out.txt"}).code, 0);
}

// A disk that fills up while the icon is written: exit 1 naming the file, and
// no file left, whether it existed before or not.
TEST(ToolSafety, IconOnAFullDiskFailsAndLeavesNothing) {
  vgrtest::TTempDir dir;
  TRawPicture dot(8, 8);
  for (int32_t y = 2; y < 6; ++y)
    for (int32_t x = 2; x < 6; ++x) dot.PixelAt(x, y)[2] = 255;
  TMemoryStream bmp;
  ASSERT_TRUE(WriteBMP24(dot, bmp));
  vgrtest::WriteFile(dir / "dot.bmp", bmp.Data);
  const std::filesystem::path old = std::filesystem::current_path();
  std::filesystem::current_path(dir.Path());
  const std::vector<std::string> icon = {"icon", "dot.bmp", "dot.png", "--size", "64"};
  for (const bool existed : {false, true}) {
    if (existed) vgrtest::WriteFile(dir / "dot.png", std::string("an older icon"));
    const vgrtest::TToolResult r = vgrtest::VgrOnFullDisk(icon, 40);
    EXPECT_EQ(r.code, 1) << r.err;
    EXPECT_NE(r.err.find("cannot write dot.png"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "dot.png")) << "a partial icon was left";
  }
  EXPECT_EQ(Vgr(icon).code, 0);
  std::filesystem::current_path(old);
  EXPECT_GT(vgrtest::ReadBinaryFile(dir / "dot.png").size(), 40u);
}

// Names with terminal control bytes (an escape that retitles the terminal, a
// bell) are shown escaped by every listing; a piece of 20000 extra rows draws
// its complaint once, with the count.
TEST(ToolSafety, ListingsEscapeControlBytesAndTellRepeatsOnce) {
  vgrtest::TTempDir dir;
  const std::string data = vgrtest::SourceDir() + "/data/";
  const std::string hostile = "01\x1B]0;owned\x07.mpp";
  std::string piece(vgrtest::ReadTextFile(data + "maps/01.mpp"));
  const std::size_t at = piece.find("EX");  // behind the 22 rows
  std::string rows;
  for (int i = 0; i < 20000; ++i) rows += "MP\r\n";
  piece.insert(at, rows);
  vgrtest::WriteFile(dir / hostile, piece);
  const std::string archive = dir / "a.mad4", pack = dir / "z.mpk";
  ASSERT_EQ(Vgr({"archive", "add", archive, hostile, dir / hostile}).code, 0);
  ASSERT_EQ(Vgr({"pack", "build", pack, dir / hostile}).code, 0);
  const std::string escaped = "01\\x1B]0;owned\\x07.mpp";
  struct TRow {
    std::vector<std::string> Args;
    bool ToErr;
  };
  const std::vector<TRow> rowsOfCommands = {
      {{"archive", "list", archive}, false},
      {{"pack", "list", pack}, false},
      {{"level", "check", dir / hostile, "--objects", data + "objects.lst"}, true},
      {{"level", "check", pack, "--objects", data + "objects.lst"}, true},
  };
  for (const TRow& row : rowsOfCommands) {
    const vgrtest::TToolResult r = Vgr(row.Args);
    const std::string& shown = row.ToErr ? r.err : r.out;
    EXPECT_TRUE(Printable(r.out + r.err)) << Line(row.Args);
    EXPECT_NE(shown.find(escaped), std::string::npos) << Line(row.Args) << "\n" << shown;
    if (row.Args[0] == "level") {
      std::size_t complaints = 0;
      for (std::size_t p = 0; (p = r.err.find("Too many map lines", p)) != std::string::npos; ++p) ++complaints;
      EXPECT_EQ(complaints, 1u) << Line(row.Args);
      EXPECT_NE(r.err.find("Too many map lines in MAPT mode. (20000 lines ignored)"), std::string::npos)
          << Line(row.Args) << "\n" << r.err.substr(0, 2000);
    }
  }
}

// `level solve --help` shows the solver's own usage; a map whose piece the
// pack does not hold is named as such, not searched for a way through.
TEST(ToolSafety, LevelSolveHelpsItselfAndNamesAMissingPiece) {
  for (const std::vector<std::string>& args : {std::vector<std::string>{"level", "solve", "--help"},
                                               {"level", "solve", "A.mad4", "3", "-o", "x.vrp", "--help"}}) {
    const vgrtest::TToolResult help = Vgr(args);
    EXPECT_EQ(help.code, 0) << Line(args);
    EXPECT_EQ(help.out.rfind("usage: vgrdata level solve ARCHIVE|PACK MAP", 0), 0u) << Line(args) << "\n" << help.out;
    EXPECT_EQ(help.out.find("check PACK|PIECE"), std::string::npos) << Line(args) << ": the level help instead";
  }
  const std::string archive = vgrtest::BinDir() + "/Voltigor.mad4";
  if (!FileExists(archive)) GTEST_SKIP() << "the data archive is not built";
  vgrtest::TTempDir dir;
  const std::string pack = dir / "one.mpk";
  ASSERT_EQ(Vgr({"pack", "build", pack, vgrtest::SourceDir() + "/data/maps/01.mpp"}).code, 0);
  const vgrtest::TToolResult r = Vgr({"level", "solve", pack, "3", "--data", archive, "-o", dir / "keys.vrp"});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "vgrdata level solve: " + pack + " holds no 02.mpp, the piece of map 3\n");
  EXPECT_FALSE(std::filesystem::exists(dir / "keys.vrp"));
}

}  // namespace
