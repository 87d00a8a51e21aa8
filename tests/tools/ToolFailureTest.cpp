// Every command of the data tool on inputs it cannot use and outputs it
// cannot write: it must fail with a message naming the file (never end by an
// uncaught exception, never report success), and leave no output behind.
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "ToolTestSupport.h"
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

TEST(ToolFailures, EveryCommandRefusesFoldersMissingAndEmptyInputs) {
  TFixture f;
  struct TRow {
    std::vector<std::string> Args;  // IN: the bad input, OUT: an output
    bool EmptyIsFine;               // an empty file is a valid input here
    bool MissingIsFine = false;     // a missing file is created here
  };
  const std::vector<TRow> rows = {
      {{"archive", "add", f.Archive, "x.bin", "IN"}, true},
      {{"archive", "add", "IN", "x.bin", f.Dir / "member.txt"}, false, true},
      {{"archive", "list", "IN"}, false},
      {{"archive", "check", "IN"}, false},
      {{"archive", "extract", "IN", "member.txt", "OUT"}, false},
      {{"archive", "remove", "IN", "member.txt"}, false},
      {{"map", "show", "IN"}, false},
      {{"map", "convert", "IN", "OUT", "A"}, false},
      {{"pack", "build", "OUT", "IN"}, false},
      {{"pack", "build", "OUT", "--chain", "IN", f.Map}, true},
      {{"pack", "list", "IN"}, false},
      {{"pack", "extract", "IN", "01.mpp", "OUT"}, false},
      {{"sound", "IN", "OUT"}, false},
      {{"sound", "stats", "IN"}, false},
      {{"music", "build", "IN", "OUT"}, false},
      {{"font", "info", "IN"}, false},
      {{"font", "render", "IN", "HI", "OUT"}, false},
      {{"font", "sheet", "IN", "OUT"}, false},
      {{"art", "list", "IN"}, false},
      {{"art", "build", f.Dir / "art", "IN"}, false},
  };
  const std::string out = f.Dir / "out.bin";
  for (const TRow& row : rows) {
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

}  // namespace
