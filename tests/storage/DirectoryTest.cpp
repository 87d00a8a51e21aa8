#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <zlib.h>

#include "Logger.h"
#include "MAD4HighLevelUnit.h"
#include "StorageTestSupport.h"

using namespace storagetest;

namespace {

TBytes Stored(const TBytes& data) {
  TBytes c{0x00, 0, 0, 0, 0};
  c.insert(c.end(), data.begin(), data.end());
  return c;
}

TBytes Deflated(const TBytes& data) {
  uLongf size = compressBound(static_cast<uLong>(data.size()));
  TBytes out(size + 1);
  out[0] = 0x40;
  EXPECT_EQ(compress(out.data() + 1, &size, data.data(), static_cast<uLong>(data.size())), Z_OK);
  out.resize(size + 1);
  return out;
}

TBytes Link(const std::string& name, uint32_t target) {
  TBytes rel;
  PutU32(rel, target);
  return Chunk("LINK", Named(name, rel));
}

TBytes Version(const std::string& a, const std::string& b) {
  TBytes v{static_cast<uint8_t>(a.size())};
  v.insert(v.end(), a.begin(), a.end());
  v.push_back(static_cast<uint8_t>(b.size()));
  v.insert(v.end(), b.begin(), b.end());
  return Chunk("FVER", v);
}

class Directory : public ::testing::Test {
 protected:
  std::string Make(const std::string& name, const std::vector<TBytes>& chunks) {
    vgrtest::WriteFile(Dir / name, Archive(chunks));
    return Dir / name;
  }
  static TBytes Open(TMAD4HighLevel& v, const std::string& name, bool* found = nullptr) {
    std::unique_ptr<TMemoryStream> s = v.OpenStream(name);
    if (found) *found = s != nullptr;
    if (!s) return {};
    EXPECT_EQ(s->Position(), 0);
    return s->Data;
  }

  vgrtest::TTempDir Dir;
  vgrtest::TScopedLog Log;
};

}  // namespace

TEST_F(Directory, NamesMatchWithoutLetterCaseAndWithoutALeadingBackslash) {
  TMAD4HighLevel v;
  v.Mount(Make("a.mad4", {Chunk("RAWD", Named("GFX\\LOGO.PCX", Bytes("logo")))}), 100, true);
  struct TCase {
    const char* Name;
    bool Found;
  };
  const std::vector<TCase> cases = {
      {"GFX\\LOGO.PCX", true}, {"gfx\\logo.pcx", true}, {"\\gfx\\logo.pcx", true}, {"gfx/logo.pcx", false},
      {"\\\\gfx\\logo.pcx", false}, {"logo.pcx", false}, {"", false},
  };
  for (const TCase& c : cases) {
    bool found = false;
    TBytes data = Open(v, c.Name, &found);
    EXPECT_EQ(found, c.Found) << c.Name;
    EXPECT_EQ(v.IsExists(c.Name), c.Found) << c.Name;
    if (c.Found) {
      EXPECT_EQ(data, Bytes("logo")) << c.Name;
    }
  }
  EXPECT_TRUE(AnyLineContains(Log.Lines(), "<MAD4HighLevelUnit, TMAD4HighLevel.IsExists> Looking for gfx\\logo.pcx"));
}

TEST_F(Directory, HigherPriorityAnswersAndAmongEqualsTheLaterMount) {
  const std::string a = Make("a.mad4", {Chunk("RAWD", Named("a.txt", Bytes("from a")))});
  const std::string b = Make("b.mad4", {Chunk("RAWD", Named("a.txt", Bytes("from b")))});
  struct TCase {
    int32_t First, Second;
    const char* Expected;
  };
  for (const TCase& c : std::vector<TCase>{{100, 50, "from a"}, {50, 100, "from b"}, {70, 70, "from b"}}) {
    TMAD4HighLevel v;
    v.Mount(a, c.First, true);
    v.Mount(b, c.Second, true);
    EXPECT_EQ(Open(v, "A.TXT"), Bytes(c.Expected)) << c.First << "/" << c.Second;
  }
}

TEST_F(Directory, FirstVolumeWithTheNameAnswersEvenWithNothing) {
  TBytes broken{0x40, 1, 2, 3};
  TMAD4HighLevel v;
  v.Mount(Make("good.mad4", {Chunk("COMP", Named("a.txt", Stored(Bytes("fine"))))}), 10, true);
  v.Mount(Make("bad.mad4", {Chunk("COMP", Named("a.txt", broken))}), 20, true);
  bool found = true;
  Open(v, "a.txt", &found);
  EXPECT_FALSE(found);
  EXPECT_TRUE(v.IsExists("a.txt"));
  EXPECT_TRUE(AnyLineContains(Log.Lines(), "{MAD4MidLevelUnit, TMAD4MidLevel.OpenFile} Corrupt compressed file! (a.txt)"));
}

TEST_F(Directory, LinksAreFollowedOneStep) {
  // a.txt at 8 (RAWD of 1+5+3 bytes -> next chunk at 25)
  std::vector<TBytes> chunks = {Chunk("RAWD", Named("a.txt", Bytes("abc"))), Link("b.txt", 8), Link("c.txt", 25),
                                Link("d.txt", 9999), Chunk("COMP", Named("z.txt", Deflated(Bytes("zzz"))))};
  TMAD4HighLevel v;
  v.Mount(Make("l.mad4", chunks), 100, true);
  EXPECT_EQ(Open(v, "b.txt"), Bytes("abc"));
  bool found = true;
  Open(v, "c.txt", &found);  // a link to a link
  EXPECT_FALSE(found);
  Open(v, "d.txt", &found);  // a link to nothing
  EXPECT_FALSE(found);
  std::string name = "b.txt";
  int32_t start = 0, size = 0;
  bool compressed = true;
  v.GetFileInfo(name, start, size, compressed);
  EXPECT_EQ(name, Dir / "l.mad4");
  EXPECT_EQ(size, 4);
  EXPECT_FALSE(compressed);
  EXPECT_EQ(start, 25 + 8 + 6);
}

TEST_F(Directory, LinkPositionsAreRelativeToTheArchiveStart) {
  TBytes file(500, 0x11);
  TBytes inner = Archive({Chunk("RAWD", Named("a.txt", Bytes("abc"))), Link("b.txt", 8)});
  file.insert(file.end(), inner.begin(), inner.end());
  vgrtest::WriteFile(Dir / "p.mad4", file);
  TMAD4HighLevel v;
  v.Mount(Dir / "p.mad4", 1, true);
  EXPECT_EQ(Open(v, "b.txt"), Bytes("abc"));
}

TEST_F(Directory, VersionRecordIsAnEntryThatDoesNotOpen) {
  TMAD4HighLevel v;
  v.Mount(Make("v.mad4", {Version("1.05", "Build 0063")}), 100, true);
  EXPECT_TRUE(v.IsExists("*V"));
  bool found = true;
  Open(v, "*V", &found);
  EXPECT_FALSE(found);
  const TMAD4MidLevel& a = *v.Volumes[0].Archive;
  EXPECT_EQ(a.VersionText1, "1.05");
  EXPECT_EQ(a.VersionText2, "Build 0063");
  ASSERT_EQ(a.FileCount(), 1);
  EXPECT_EQ(a.GetFileData(0)->DataStart, 8);
  EXPECT_EQ(a.GetFileData(0)->DataSize, 4 + 10 + 2);
}

TEST_F(Directory, StoredAndCompressedMembers) {
  TBytes big(70000);
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<uint8_t>(i % 97);
  TMAD4HighLevel v;
  v.Mount(Make("m.mad4", {Chunk("RAWD", Named("empty", {})), Chunk("COMP", Named("big", Deflated(big))),
                          Chunk("RAWD", Named("dup", Bytes("first"))), Chunk("RAWD", Named("DUP", Bytes("second")))}),
          100, true);
  bool found = false;
  EXPECT_TRUE(Open(v, "empty", &found).empty());
  EXPECT_TRUE(found);
  EXPECT_EQ(Open(v, "BIG"), big);
  EXPECT_EQ(Open(v, "Dup"), Bytes("first"));
  std::string name = "big";
  int32_t start = 0, size = 0;
  bool compressed = false;
  v.GetFileInfo(name, start, size, compressed);
  EXPECT_TRUE(compressed);
  EXPECT_EQ(start, 8 + 8 + 1 + 5 + 8 + 1 + 3);
  name = "missing";
  start = 7;
  size = 7;
  v.GetFileInfo(name, start, size, compressed);
  EXPECT_EQ(start, -1);
  EXPECT_EQ(size, 7);
  EXPECT_EQ(name, "missing");
}

TEST_F(Directory, EntriesThatDoNotFitTheirChunksAreSkipped) {
  TBytes longName{200, 'x', 'y'};
  TBytes shortLink = Named("l", {1, 2});
  TBytes badVersion{3, 'a', 'b', 'c', 9, 'd'};
  TMAD4HighLevel v;
  v.Mount(Make("h.mad4", {Chunk("RAWD", {}), Chunk("COMP", longName), Chunk("LINK", shortLink), Chunk("FVER", badVersion),
                          Chunk("RAWD", Named("ok", Bytes("ok")))}),
          1, true);
  const TMAD4MidLevel& a = *v.Volumes[0].Archive;
  ASSERT_EQ(a.FileCount(), 1);
  EXPECT_EQ(a.GetFileData(0)->Name, "ok");
  EXPECT_EQ(Open(v, "ok"), Bytes("ok"));
  EXPECT_EQ(CountLinesContaining(Log.Lines(), "{MAD4MidLevelUnit, TMAD4MidLevel.Mount}"), 4);
}

// A process with room for one more file handle mounts an archive of many
// members in either mode and opens them: the mount reads every name through
// the archive's one open file.
TEST_F(Directory, MountingOpensTheFileOnce) {
  const std::string a = Make("m.mad4", {Chunk("RAWD", Named("a", Bytes("one"))), Chunk("COMP", Named("b", Stored(Bytes("two")))),
                                        Link("c", 8), Version("v1", "v2"), Chunk("RAWD", Named("d", Bytes("four")))});
  for (const bool readOnly : {true, false}) {
    auto mountAndOpen = [&] {
      TMAD4MidLevel m;
      m.Mount(a, readOnly);
      std::unique_ptr<TMemoryStream> b = m.OpenFile("B");
      std::unique_ptr<TMemoryStream> c = m.OpenFile("c");
      return m.FileCount() == 5 && m.VersionText2 == "v2" && b && b->Data == Bytes("two") && c && c->Data == Bytes("one") &&
             m.GetFileData(4)->DataSize == 4;
    };
    EXPECT_EXIT(
        {
          // Once with handles to spare: the sanitizers' runtime takes handles
          // of its own the first time it checks a type.
          if (!mountAndOpen()) std::_Exit(2);
          // Descriptors are handed out lowest first: below this limit only
          // the lowest free one is left.
          const int next = ::open("/dev/null", O_RDONLY);
          ::close(next);
          struct rlimit limit {};
          ::getrlimit(RLIMIT_NOFILE, &limit);
          limit.rlim_cur = static_cast<rlim_t>(next) + 1;
          if (next < 0 || ::setrlimit(RLIMIT_NOFILE, &limit) != 0) std::_Exit(3);
          std::_Exit(mountAndOpen() ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "")
        << (readOnly ? "read-only" : "read/write");
  }
}

TEST_F(Directory, VolumeWithBadMagicStaysListedWithoutEntries) {
  vgrtest::WriteFile(Dir / "junk.mad4", Bytes("not an archive, only text"));
  TMAD4HighLevel v;
  v.Mount(Dir / "junk.mad4", 100, false);
  ASSERT_EQ(v.Volumes.size(), 1u);
  EXPECT_EQ(v.Volumes[0].Archive->Status, 2);
  EXPECT_FALSE(v.IsExists("anything"));
  EXPECT_EQ(vgrtest::ReadTextFile(Dir / "junk.mad4"), "not an archive, only text");
}

TEST_F(Directory, VolumeListing) {
  TMAD4HighLevel v;
  const std::string a = Make("a.mad4", {});
  v.Mount(a, 100, true);
  std::vector<std::string> lines = Log.Lines();
  const std::vector<std::string> expected = {
      "----== MAD4 High Level - Volume listing ==----",
      "Number of volumes mounted: 1",
      "  1. (100) " + a,
      "- -- --- --- Volume listing ends. --- --- -- -",
  };
  auto at = std::search(lines.begin(), lines.end(), expected.begin(), expected.end());
  EXPECT_NE(at, lines.end());
  v.Mount(a, 5, true);
  v.Mount(a, 1000, true);
  lines = Log.Lines();
  EXPECT_TRUE(AnyLineContains(lines, "Number of volumes mounted: 3"));
  EXPECT_TRUE(AnyLineContains(lines, "  1. (1000) " + a));
  EXPECT_TRUE(AnyLineContains(lines, "  3. (  5) " + a));
}

TEST_F(Directory, DestroyingTheVolumeSetUnmountsReadWriteVolumes) {
  const std::string a = Make("w.mad4", {Chunk("RAWD", Named("x", Bytes("1"))), NullChunk(1), NullChunk(2)});
  {
    TMAD4HighLevel v;
    v.Mount(a, 100, false);
  }
  TMAD4LowLevel check;
  check.Mount(a, true);
  ASSERT_EQ(check.ChunkCount(), 3);
  EXPECT_EQ(check.GetChunk(1)->Size, 11);
}

TEST_F(Directory, SecondReadWriteMountIsReadOnlyWithAWarningThatPassesTheProgramsFilters) {
  const std::string a = Make("x.mad4", {Chunk("RAWD", Named("x", Bytes("1")))});
  ::Log->Filters = {"*", "-MAD4LowLevel*"};
  TMAD4HighLevel first;
  first.Mount(a, 100, false);
  TMAD4HighLevel second;
  second.Mount(a, 100, false);
  EXPECT_FALSE(first.Volumes[0].Archive->ReadOnly());
  EXPECT_TRUE(second.Volumes[0].Archive->ReadOnly());
  EXPECT_EQ(Open(second, "x"), Bytes("1"));
  std::vector<std::string> lines = Log.Lines();
  EXPECT_EQ(CountLinesContaining(lines, "[MAD4HighLevelUnit, TMAD4HighLevel.Mount] Archive mounted read-only! (" + a + ")"), 1);
  EXPECT_FALSE(AnyLineContains(lines, "MAD4LowLevelUnit"));
}
