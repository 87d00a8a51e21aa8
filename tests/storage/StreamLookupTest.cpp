#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "MAD4HighLevelUnit.h"
#include "ParametersUnit.h"
#include "StorageTestSupport.h"
#include "ZRStream3.h"

using namespace storagetest;

namespace {

// Works in a scratch folder ("work/") with the program in "exe/" and an
// archive mounted in the program-wide volume set.
class Lookup : public ::testing::Test {
 protected:
  void SetUp() override {
    OldCwd_ = std::filesystem::current_path();
    std::filesystem::create_directories(Dir / "work");
    std::filesystem::create_directories(Dir / "exe");
    std::filesystem::current_path(Dir / "work");
    OldParameters_ = std::move(Parameters);
    Parameters = std::make_unique<TParameters>(TStringArray{Dir / "exe/prog"});
    OldVolumes_ = MAD4Volumes;
    MAD4Volumes = &Volumes;
  }
  void TearDown() override {
    MAD4Volumes = OldVolumes_;
    Parameters = std::move(OldParameters_);
    std::filesystem::current_path(OldCwd_);
  }
  void MountArchive(const std::vector<TBytes>& chunks) {
    vgrtest::WriteFile(Dir / "data.mad4", Archive(chunks));
    Volumes.Mount(Dir / "data.mad4", 100, true);
  }
  static TBytes Contents(std::unique_ptr<TStream> s) {
    EXPECT_TRUE(s);
    if (!s) return {};
    EXPECT_EQ(s->Position(), 0);
    return s->ReadAll();
  }
  // The debug lines of the lookup itself, in order.
  std::vector<std::string> Steps(const std::string& location) const {
    std::vector<std::string> out;
    for (const std::string& l : Log.Lines()) {
      if (l.rfind("<" + location + "> Check", 0) == 0) out.push_back(l.substr(location.size() + 3));
    }
    return out;
  }

  vgrtest::TTempDir Dir;
  vgrtest::TScopedLog Log;
  TMAD4HighLevel Volumes;

 private:
  std::filesystem::path OldCwd_;
  std::unique_ptr<TParameters> OldParameters_;
  TMAD4HighLevel* OldVolumes_ = nullptr;
};

const std::string kOpen = "ZRStream3, ZROpenStream";
const std::string kInfo = "ZRStream3, ZRGetFileInfo";

}  // namespace

TEST_F(Lookup, LooseFileIsPreferredToTheArchivedOne) {
  MountArchive({Chunk("RAWD", Named("gfx\\logo.pcx", Bytes("archived")))});
  std::filesystem::create_directories("gfx");
  vgrtest::WriteFile("gfx/logo.pcx", "loose");
  EXPECT_EQ(Contents(ZROpenStream("gfx\\logo.pcx")), Bytes("loose"));
  EXPECT_EQ(Steps(kOpen), (std::vector<std::string>{"Check on disk"}));
  EXPECT_TRUE(AnyLineContains(Log.Lines(), "ZROpenStream successful."));
}

TEST_F(Lookup, BesideTheProgramOnlyTheBareNameCounts) {
  MountArchive({Chunk("RAWD", Named("gfx\\logo.pcx", Bytes("archived")))});
  vgrtest::WriteFile(Dir / "exe/logo.pcx", "beside");
  EXPECT_EQ(Contents(ZROpenStream("gfx\\logo.pcx")), Bytes("beside"));
  EXPECT_EQ(Steps(kOpen), (std::vector<std::string>{"Check on disk", "Check on disk - beside .EXE"}));
}

TEST_F(Lookup, ArchiveSteps) {
  MountArchive({Chunk("RAWD", Named("gfx\\logo.pcx", Bytes("full"))), Chunk("RAWD", Named("LOGO.PCX", Bytes("bare"))),
                Chunk("RAWD", Named("other.pcx", Bytes("other")))});
  struct TCase {
    const char* Name;
    const char* Expected;
    std::vector<std::string> Steps;
  };
  const std::vector<std::string> disk = {"Check on disk", "Check on disk - beside .EXE"};
  auto with = [&](std::vector<std::string> more) {
    std::vector<std::string> s = disk;
    s.insert(s.end(), more.begin(), more.end());
    return s;
  };
  const std::vector<TCase> cases = {
      {"GFX\\Logo.pcx", "full", with({"Check in MAD4 - full path"})},
      {"pics\\logo.pcx", "bare", with({"Check in MAD4 - full path", "Check in MAD4 - filename only"})},
      {"logo.pcx", "bare", with({"Check in MAD4 - filename only"})},
      {"x:other.pcx", "other", with({"Check in MAD4 - full path", "Check in MAD4 - filename only"})},
  };
  for (const TCase& c : cases) {
    vgrtest::TScopedLog log;
    EXPECT_EQ(Contents(ZROpenStream(c.Name)), Bytes(c.Expected)) << c.Name;
    std::vector<std::string> steps;
    for (const std::string& l : log.Lines()) {
      if (l.rfind("<" + kOpen + "> Check", 0) == 0) steps.push_back(l.substr(kOpen.size() + 3));
    }
    EXPECT_EQ(steps, c.Steps) << c.Name;
    EXPECT_EQ(CountLinesContaining(log.Lines(), "Looking for "), static_cast<int>(c.Steps.size()) - 2) << c.Name;
  }
}

TEST_F(Lookup, NameFoundNowhereLogsOneWarning) {
  MountArchive({});
  EXPECT_EQ(ZROpenStream("font\\missing.zrr"), nullptr);
  std::vector<std::string> lines = Log.Lines();
  EXPECT_EQ(CountLinesContaining(lines, "[ZRStream3, ZROpenStream]"), 1);
  EXPECT_TRUE(AnyLineContains(lines, "[ZRStream3, ZROpenStream] ZROpenStream failed: font\\missing.zrr"));
  EXPECT_TRUE(AnyLineContains(lines, "<ZRStream3, ZROpenStream> ZROpenStream('font\\missing.zrr')"));
}

TEST_F(Lookup, CorruptArchivedMemberIsAFileThatIsNotThere) {
  MountArchive({Chunk("COMP", Named("bad.bin", TBytes{0x40, 0, 0}))});
  EXPECT_EQ(ZROpenStream("bad.bin"), nullptr);
  EXPECT_TRUE(AnyLineContains(Log.Lines(), "ZROpenStream failed: bad.bin"));
}

TEST_F(Lookup, BackslashSeparatesFoldersOnDisk) {
  std::filesystem::create_directories("font/sub");
  vgrtest::WriteFile("font/sub/hamp.zrr", "font");
  EXPECT_EQ(Contents(ZROpenStream("font\\sub\\hamp.zrr")), Bytes("font"));
  EXPECT_EQ(Contents(ZROpenStream("\\font\\sub\\hamp.zrr")), Bytes("font"));
  EXPECT_EQ(Contents(ZROpenStream("font/sub/hamp.zrr")), Bytes("font"));
  EXPECT_EQ(DiskName("\\a\\b.c"), "a/b.c");
}

TEST_F(Lookup, LooseFilesAreOpenedReadOnly) {
  vgrtest::WriteFile("locked.txt", "keep");
  ::chmod("locked.txt", 0444);
  std::unique_ptr<TStream> s = ZROpenStream("locked.txt");
  ASSERT_TRUE(s);
  EXPECT_EQ(s->Write("xx", 2), 0);
  s.reset();
  EXPECT_EQ(vgrtest::ReadTextFile("locked.txt"), "keep");
}

// A file's size follows what was written and cut, and asking for it leaves
// the position where it was.
TEST_F(Lookup, FileSizeFollowsWritesAndKeepsThePosition) {
  TFileStream f("sized.bin", fmCreate);
  ASSERT_TRUE(f.IsOpen());
  EXPECT_EQ(f.Size(), 0);
  EXPECT_EQ(f.Write("abcdef", 6), 6);
  f.Seek(2, soBeginning);
  EXPECT_EQ(f.Size(), 6);
  EXPECT_EQ(f.Position(), 2);
  EXPECT_TRUE(f.Truncate());
  EXPECT_EQ(f.Size(), 2);
  TFileStream missing("not-there.bin", fmOpenRead);
  EXPECT_EQ(missing.Size(), -1);
}

TEST_F(Lookup, FileInfo) {
  MountArchive({Chunk("RAWD", Named("music\\song.mp3", Bytes("ID3 data"))),
                Chunk("COMP", Named("packed.bin", TBytes{0, 0, 0, 0, 0, 'z'}))});
  vgrtest::WriteFile("loose.txt", "12345");
  vgrtest::WriteFile(Dir / "exe/near.txt", "123");
  struct TCase {
    const char* Name;
    std::string FileName;
    int32_t Offset, Size;
    bool Compressed;
  };
  const std::vector<TCase> cases = {
      {"loose.txt", "loose.txt", 0, 5, false},
      {"sub\\near.txt", Dir / "exe/near.txt", 0, 3, false},
      {"MUSIC\\SONG.MP3", Dir / "data.mad4", 8 + 8 + 1 + 14, 8, false},
      {"tunes\\song.mp3", "", -1, -1, false},
      {"song.mp3", "", -1, -1, false},
      {"packed.bin", Dir / "data.mad4", 8 + 8 + 15 + 8 + 8 + 1 + 10, 6, true},
      {"nowhere", "", -1, -1, false},
  };
  for (const TCase& c : cases) {
    TZRFileInfo info;
    info.Compressed = true;
    ZRGetFileInfo(c.Name, info);
    EXPECT_EQ(info.FileName, c.FileName) << c.Name;
    EXPECT_EQ(info.Offset, c.Offset) << c.Name;
    EXPECT_EQ(info.Size, c.Size) << c.Name;
    EXPECT_EQ(info.Compressed, c.Compressed) << c.Name;
  }
  EXPECT_EQ(CountLinesContaining(Log.Lines(), "[" + kInfo + "]"), 0);
  EXPECT_TRUE(AnyLineContains(Log.Lines(), "<" + kInfo + "> Check in MAD4 - full path"));
  // The stored bytes can be read straight from the archive file.
  TZRFileInfo info;
  ZRGetFileInfo("music\\song.mp3", info);
  TBytes file = vgrtest::ReadBinaryFile(info.FileName);
  EXPECT_EQ(TBytes(file.begin() + info.Offset, file.begin() + info.Offset + info.Size), Bytes("ID3 data"));
}

TEST_F(Lookup, ArchiveBesideTheProgramIsFoundFromAnyFolder) {
  // Neither exists: the new archive goes beside the program.
  EXPECT_EQ(LocateArchive("Voltigor.mad4"), Dir / "exe/Voltigor.mad4");
  vgrtest::WriteFile(Dir / "exe/Voltigor.mad4", Archive({}));
  EXPECT_EQ(LocateArchive("Voltigor.mad4"), Dir / "exe/Voltigor.mad4");
  vgrtest::WriteFile("Voltigor.mad4", Archive({}));
  EXPECT_EQ(LocateArchive("Voltigor.mad4"), "Voltigor.mad4");
}
