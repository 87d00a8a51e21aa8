// Every command of the data tool on inputs it cannot use and outputs it
// cannot write: it must fail with a message naming the file (never end by an
// uncaught exception, never report success), and leave no output behind.
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "ToolScopes.h"
#include "ToolTestSupport.h"
#include "FileWriteHook.h"
#include "XMapUnit.h"
#include "ZRStream3.h"

namespace {

using vgrtest::Vgr;

std::vector<std::string> Filled(std::vector<std::string> args, const std::string& in, const std::string& out) {
  for (std::string& a : args) {
    if (a == "IN") a = in;
    if (a == "OUT") a = out;
  }
  return args;
}

struct TFixture {
  vgrtest::TTempDir Dir;
  std::string Archive, Map, Pack, Recipe;
  TFixture() {
    Archive = Dir / "good.mad4";
    vgrtest::WriteFile(Dir / "member.txt", std::string("hello"));
    EXPECT_EQ(Vgr({"archive", "add", Archive, "member.txt", Dir / "member.txt"}).code, 0);
    TXMap m;
    m.Grow(3, 2);
    m.ExtraLines = {"12", ".", "."};
    Map = Dir / "01.mpp";
    EXPECT_EQ(m.Save(Map, 'T'), 'T');
    Pack = Dir / "good.mpk";
    EXPECT_EQ(Vgr({"pack", "build", Pack, Map}).code, 0);
    Recipe = Dir / "beep.sfx";
    vgrtest::WriteFile(Recipe, std::string("length 0.1\nlayer\n wave square\n freq 880\nend\n"));
    ::mkdir((Dir / "folder").c_str(), 0755);
    vgrtest::WriteFile(Dir / "empty.bin", std::string());
  }
};

// One line of every subcommand. IN stands for the input that the first test
// makes bad (lines without it read good files only), OUT for an output.
struct TRow {
  std::vector<std::string> Args;
  bool EmptyIsFine = false;    // an empty file is a valid input here
  bool MissingIsFine = false;  // a missing file is created here
};

std::vector<TRow> EverySubcommand(const TFixture& f) {
  return {
      {{"archive", "create", "OUT"}},
      {{"archive", "add", f.Archive, "x.bin", "IN"}, true},
      {{"archive", "add", "IN", "x.bin", f.Dir / "member.txt"}, false, true},
      {{"archive", "link", f.Archive, "y.txt", "member.txt"}},
      {{"archive", "version", f.Archive, "one", "two"}},
      {{"archive", "list", "IN"}},
      {{"archive", "check", "IN"}},
      {{"archive", "extract", "IN", "member.txt", "OUT"}},
      {{"archive", "remove", "IN", "member.txt"}},
      {{"archive", "pack", "OUT", f.Dir / "folder"}},
      {{"map", "show", "IN"}},
      {{"map", "convert", "IN", "OUT", "A"}},
      {{"pack", "build", "OUT", "IN"}},
      {{"pack", "build", "OUT", "--chain", "IN", f.Map}, true},
      {{"pack", "list", "IN"}},
      {{"pack", "extract", "IN", "01.mpp", "OUT"}},
      {{"sound", "IN", "OUT"}},
      {{"sound", "stats", "IN"}},
      {{"music", "build", "IN", "OUT"}},
      {{"music", "render", f.Recipe, "OUT", "5"}},
      {{"music", "mp3", f.Recipe, "OUT"}},
      {{"music", "measure", f.Recipe}},
      {{"picture", f.Map, "OUT"}},
      {{"icon", f.Map, "OUT", "--size", "16"}},
      {{"font", "build", "OUT", "--face", f.Map, "--size", "8"}},
      {{"font", "info", "IN"}},
      {{"font", "render", "IN", "HI", "OUT"}},
      {{"font", "sheet", "IN", "OUT"}},
      {{"art", "list", "IN"}},
      {{"art", "build", f.Dir / "art", "IN"}},
      {{"art", "sheet", "OUT"}},
      {{"art", "playfield", "OUT"}},
      {{"level", "check", f.Map}},
      {{"level", "solve", "IN", "1", "-o", "OUT"}},
  };
}

TEST(ToolFailures, EveryCommandRefusesFoldersMissingAndEmptyInputs) {
  TFixture f;
  const std::vector<TRow> rows = EverySubcommand(f);
  const std::string out = f.Dir / "out.bin";
  for (const TRow& row : rows) {
    if (std::find(row.Args.begin(), row.Args.end(), "IN") == row.Args.end()) continue;
    for (const std::string kind : {"folder", "missing.bin", "empty.bin"}) {
      if ((kind == "empty.bin" && row.EmptyIsFine) || (kind == "missing.bin" && row.MissingIsFine)) continue;
      const std::string in = f.Dir / kind;
      const std::vector<std::string> args = Filled(row.Args, in, out);
      std::string line;
      for (const std::string& a : args) line += a + " ";
      const vgrtest::TToolResult r = Vgr(args);
      EXPECT_EQ(r.code, 1) << line << "\n" << r.err;
      EXPECT_NE(r.err.find(kind == "empty.bin" ? std::string() : in), std::string::npos)
          << line << ": the message does not name the file\n" << r.err;
      if (kind == "folder") {
        EXPECT_NE(r.err.find("is a folder, not a file"), std::string::npos) << line << "\n" << r.err;
      }
      EXPECT_FALSE(::FileExists(out)) << line << ": an output was left behind";
      ::unlink(out.c_str());
      if (kind == "missing.bin") {
        EXPECT_FALSE(::FileExists(in)) << line << ": the missing input was created";
      }
    }
  }
}

// "--help" after any subcommand line shows the command's usage on standard
// output and does nothing else; an option the subcommand does not know is
// named, with the usage, and exits 2. Unknown subcommands and modes are named
// too, and data that is not found is named with where it was looked for.
TEST(ToolFailures, EverySubcommandHelpsAndNamesWhatIsWrong) {
  TFixture f;
  const std::string out = f.Dir / "out.bin";
  for (const TRow& row : EverySubcommand(f)) {
    std::vector<std::string> args = Filled(row.Args, f.Map, out);
    std::string line;
    for (const std::string& a : args) line += a + " ";
    const std::string usage = "usage: vgrdata " + args[0];
    args.push_back("--help");
    vgrtest::TToolResult r = Vgr(args);
    EXPECT_EQ(r.code, 0) << line << "--help\n" << r.err;
    EXPECT_EQ(r.out.rfind(usage, 0), 0u) << line << "--help: no usage on standard output\n" << r.out;
    EXPECT_EQ(r.err, "") << line << "--help";
    args.back() = "--frobnicate";
    r = Vgr(args);
    EXPECT_EQ(r.code, 2) << line << "--frobnicate\n" << r.err;
    EXPECT_NE(r.err.find("unknown option '--frobnicate'"), std::string::npos) << line << "\n" << r.err;
    EXPECT_NE(r.err.find(usage), std::string::npos) << line << "--frobnicate: no usage\n" << r.err;
    EXPECT_FALSE(std::filesystem::exists(out)) << line << ": an output was written";
    EXPECT_FALSE(std::filesystem::exists("--help")) << line << ": \"--help\" was taken for a file";
  }

  // Art sources of which one stamps a picture of another, with their palette.
  const std::string art = f.Dir / "artsrc/";
  ::mkdir(art.c_str(), 0755);
  vgrtest::WriteFile(art + "lab.pal", std::string("r ff0000 red\n"));
  vgrtest::WriteFile(art + "big.art", std::string("picture Big 4x4 out=big.tga\n  stamp Dot 1 1\nend\n"));
  vgrtest::WriteFile(art + "dot.art", std::string("picture Dot 2x2\n  rect 0 0 1 1 red\nend\n"));
  vgrtest::WriteFile(f.Dir / "garbage.zrr", std::string("no font at all, only words"));
  struct TCase {
    std::vector<std::string> Args;
    int Code;
    std::vector<std::string> Named;
  };
  const std::string here = "the current folder (" + f.Dir.Path().substr(0, f.Dir.Path().size() - 1) + ")";
  const std::vector<TCase> cases = {
      {{"frobnicate"}, 2, {"unknown command 'frobnicate'"}},
      {{"archive", "frobnicate", f.Archive}, 2, {"unknown subcommand 'frobnicate'"}},
      {{"music", "frobnicate", f.Recipe, out}, 2, {"unknown subcommand 'frobnicate'"}},
      {{"map", "frobnicate", f.Map}, 2, {"unknown subcommand 'frobnicate'"}},
      {{"pack", "frobnicate", f.Pack}, 2, {"unknown subcommand 'frobnicate'"}},
      {{"font", "frobnicate", f.Map}, 2, {"unknown subcommand 'frobnicate'"}},
      {{"art", "frobnicate", out}, 2, {"unknown subcommand 'frobnicate'"}},
      {{"level", "frobnicate", f.Map}, 2, {"unknown subcommand 'frobnicate'"}},
      {{"map", "convert", f.Map, out, "Q"}, 2, {"unknown format 'Q'"}},
      {{"pack", "build", out, "--format", "zip", f.Map}, 2, {"unknown format 'zip'"}},
      {{"music", "render", f.Recipe, out, "soon"}, 2, {"not 'soon'"}},
      {{"font", "render", "font\\hamp.zrr", "HI", out}, 1,
       {"font\\hamp.zrr was not found in " + here, "pass --archive PATH"}},
      {{"font", "info", "font\\hamp.zrr", "--archive", f.Archive}, 1, {here, "or the archive " + f.Archive}},
      {{"font", "sheet", f.Dir / "garbage.zrr", out}, 1, {"garbage.zrr is not a font"}},
      {{"art", "sheet", out}, 1, {"(Zapkin.ini and objects.lst) was not found in " + here, "pass --archive PATH"}},
      {{"art", "playfield", out, "--archive", f.Archive}, 1, {"or the archive " + f.Archive}},
      {{"art", "build", f.Dir / "drawn", art + "big.art"}, 1, {"no palette (.pal) given: add " + art + "lab.pal"}},
      {{"art", "build", f.Dir / "drawn", art + "lab.pal", art + "big.art"}, 1,
       {"big.art:2: no picture named Dot; " + art + "dot.art draws it: add that file"}},
      {{"art", "list", art + "lab.pal", art + "big.art"}, 1, {"no picture named Dot; " + art + "dot.art draws it"}},
  };
  // The data the game needs is looked for in the current folder first.
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(f.Dir.Path());
  for (const TCase& c : cases) {
    std::string line;
    for (const std::string& a : c.Args) line += a + " ";
    const vgrtest::TToolResult r = Vgr(c.Args);
    EXPECT_EQ(r.code, c.Code) << line << "\n" << r.err;
    for (const std::string& named : c.Named) EXPECT_NE(r.err.find(named), std::string::npos) << line << "\n" << r.err;
    EXPECT_FALSE(std::filesystem::exists(out)) << line << ": an output was written";
  }
  std::filesystem::current_path(before);
  // With the sources complete, they draw.
  EXPECT_EQ(Vgr({"art", "build", f.Dir / "drawn", art + "lab.pal", art + "big.art", art + "dot.art"}).code, 0);
}

TEST(ToolFailures, UnwritableOutputsFailAndLeaveNothing) {
  TFixture f;
  ASSERT_EQ(::mkfifo((f.Dir / "pipe").c_str(), 0644), 0);
  const std::vector<std::vector<std::string>> rows = {
      {"archive", "extract", f.Archive, "member.txt", "OUT"},
      {"map", "convert", f.Map, "OUT", "T"},
      {"pack", "build", "OUT", f.Map},
      {"pack", "extract", f.Pack, "01.mpp", "OUT"},
      {"sound", f.Recipe, "OUT"},
      {"archive", "create", "OUT"},
      {"archive", "pack", "OUT", f.Dir / "folder"},
  };
  for (const auto& row : rows) {
    for (const std::string& out : {std::string("/dev/full"), f.Dir / "no/such/folder/out.bin", f.Dir / "folder",
                                  f.Dir / "pipe"}) {
      // Writing into a pipe nobody reads would hang; only the archive
      // commands, which must refuse it, are given one.
      const bool archive = row[0] == "archive" && (row[1] == "create" || row[1] == "pack");
      if (out == f.Dir / "pipe" && !archive) continue;
      // Replacing /dev/full is what the archive commands must not do: their
      // refusal of other files that are not regular is shown by the pipe.
      if (out == "/dev/full" && archive) continue;
      const std::vector<std::string> args = Filled(row, "", out);
      std::string line;
      for (const std::string& a : args) line += a + " ";
      const vgrtest::TToolResult r = Vgr(args);
      EXPECT_EQ(r.code, 1) << line << "\n" << r.err;
      EXPECT_NE(r.err.find(out), std::string::npos) << line << ": the message does not name the output\n" << r.err;
      EXPECT_EQ(r.err.find("not an archive"), std::string::npos) << line << "\n" << r.err;
      EXPECT_EQ(r.err.find("no format"), std::string::npos) << line << "\n" << r.err;
      // The archive commands build a temporary beside the output: the
      // message names the output the user gave.
      EXPECT_EQ(r.err.find(".tmp"), std::string::npos) << line << "\n" << r.err;
      struct stat st {};
      if (out == f.Dir / "pipe") {
        EXPECT_TRUE(::lstat(out.c_str(), &st) == 0 && S_ISFIFO(st.st_mode)) << line;
      }
      if (out == f.Dir / "folder") {
        EXPECT_TRUE(::lstat(out.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) << line;
      }
    }
  }
  // No temporaries are left beside the outputs.
  for (const auto& e : std::filesystem::directory_iterator(f.Dir.Path())) {
    const std::string name = e.path().filename().string();
    EXPECT_TRUE(name.find(".tmp") == std::string::npos && name.find(".new") == std::string::npos) << name << " left";
  }
}

// A disk with this many bytes left: a file stream write that would grow a
// file past them fails, as a full disk fails it.
int64_t RoomLeft = 0;
bool FullDisk(int64_t, int64_t growth) {
  if (growth > RoomLeft) return false;
  RoomLeft -= growth;
  return true;
}

TEST(ToolFailures, FullDiskNamesTheArchiveAndKeepsWhatWasThere) {
  TFixture f;
  ::mkdir((f.Dir / "stage").c_str(), 0755);
  std::vector<uint8_t> noise(6000);
  uint32_t x = 12345;
  for (uint8_t& b : noise) b = static_cast<uint8_t>((x = x * 1103515245u + 12345u) >> 24);
  vgrtest::WriteFile(f.Dir / "stage/noise.bin", noise);
  const std::string fresh = f.Dir / "fresh.mad4";
  const std::vector<uint8_t> before = vgrtest::ReadBinaryFile(f.Archive);
  struct TCase {
    std::vector<std::string> Args;
    std::string Named;
    int64_t Room;
  };
  const std::vector<TCase> cases = {
      {{"archive", "create", fresh}, fresh, 0},
      {{"archive", "pack", fresh, f.Dir / "stage"}, fresh, 100},
      {{"archive", "pack", f.Archive, f.Dir / "stage"}, f.Archive, 100},
      {{"archive", "add", f.Archive, "noise.bin", f.Dir / "stage/noise.bin", "--method", "raw"}, f.Archive, 100},
  };
  for (const TCase& c : cases) {
    RoomLeft = c.Room;
    SetFileWriteHook(FullDisk);
    const vgrtest::TToolResult r = Vgr(c.Args);
    SetFileWriteHook(nullptr);
    EXPECT_EQ(r.code, 1) << c.Args[1] << "\n" << r.err;
    EXPECT_NE(r.err.find(c.Named + " ("), std::string::npos) << c.Args[1] << ": the archive is not named\n" << r.err;
    EXPECT_NE(r.err.find("the disk is full"), std::string::npos) << c.Args[1] << "\n" << r.err;
    EXPECT_EQ(r.err.find(".tmp"), std::string::npos) << c.Args[1] << "\n" << r.err;
    EXPECT_FALSE(::FileExists(fresh)) << c.Args[1];
    EXPECT_EQ(vgrtest::ReadBinaryFile(f.Archive), before) << c.Args[1] << " changed the archive";
  }
  const vgrtest::TToolResult list = Vgr({"archive", "list", f.Archive});
  EXPECT_EQ(list.out, "member.txt\tRAWD\t5\t-\n");
  for (const auto& e : std::filesystem::directory_iterator(f.Dir.Path())) {
    EXPECT_EQ(e.path().filename().string().find(".tmp"), std::string::npos) << e.path() << " left";
  }
}

TEST(ToolFailures, ArchiveInUseIsNotReplaced) {
  TFixture f;
  const std::vector<uint8_t> before = vgrtest::ReadBinaryFile(f.Archive);
  const int held = ::open(f.Archive.c_str(), O_RDWR);
  ASSERT_GE(held, 0);
  ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);  // as the running game holds it
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"archive", "create", f.Archive}, {"archive", "pack", f.Archive, f.Dir / "folder"},
        {"archive", "add", f.Archive, "y.txt", f.Dir / "member.txt"}}) {
    const vgrtest::TToolResult r = Vgr(args);
    EXPECT_EQ(r.code, 1) << args[1] << "\n" << r.err;
    EXPECT_NE(r.err.find("in use"), std::string::npos) << args[1] << "\n" << r.err;
    EXPECT_EQ(vgrtest::ReadBinaryFile(f.Archive), before) << args[1] << " changed the archive";
  }
  ::close(held);
}

// The archive layer creates a missing archive even for a read-only mount; the
// tool's mount says no instead, so no command makes an archive it only reads.
TEST(ToolFailures, MissingArchiveIsNotMountedNorCreated) {
  vgrtest::TTempDir dir;
  vgrdata::TMountedArchive mounted;
  EXPECT_FALSE(mounted.Mount(dir / "missing.mad4"));
  EXPECT_FALSE(::FileExists(dir / "missing.mad4"));
}

}  // namespace
