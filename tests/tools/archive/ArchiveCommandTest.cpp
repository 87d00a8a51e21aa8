#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>

#include "ArchiveEncoders.h"
#include "CompressorUnit.h"
#include "HuffmanUnit.h"
#include "MAD4MidLevelUnit.h"
#include "RLEUnit.h"
#include "SystemUnit.h"
#include "TestSupport.h"
#include "VgrData.h"

using vgrdata::TBytes;

namespace {

struct TResult {
  int Code;
  std::string Out;
  std::string Err;
};

TResult Archive(std::vector<std::string> args) {
  args.insert(args.begin(), "archive");
  std::ostringstream out, err;
  const int code = vgrdata::Run(args, out, err);
  return {code, out.str(), err.str()};
}

// Data sets that favour different stages.
std::vector<std::pair<std::string, TBytes>> DataSets() {
  Randomize(20240611);
  std::vector<std::pair<std::string, TBytes>> sets;
  TBytes random(3000);
  for (auto& b : random) b = static_cast<uint8_t>(Random(256));
  sets.emplace_back("random", random);
  TBytes runs;
  for (int i = 0; i < 60; ++i) runs.insert(runs.end(), Random(300) + 1, static_cast<uint8_t>(Random(256)));
  sets.emplace_back("runs", runs);
  TBytes low;
  for (int i = 0; i < 80; ++i) low.insert(low.end(), Random(400) + 1, static_cast<uint8_t>(Random(128)));
  sets.emplace_back("runs below 128", low);
  TBytes rgb;
  for (int i = 0; i < 3000; ++i) {
    rgb.push_back(static_cast<uint8_t>(i / 10));
    rgb.push_back(static_cast<uint8_t>(200 - i / 20));
    rgb.push_back(static_cast<uint8_t>(7));
  }
  sets.emplace_back("pixels", rgb);
  std::string text;
  for (int i = 0; i < 400; ++i) text += "The professor builds the creature, piece " + std::to_string(i % 7) + ".\r\n";
  sets.emplace_back("text", TBytes(text.begin(), text.end()));
  TBytes all;
  for (int i = 0; i < 1024; ++i) all.push_back(static_cast<uint8_t>(i * 37));
  sets.emplace_back("every byte", all);
  TBytes acrossBlocks(70000);
  for (std::size_t i = 0; i < acrossBlocks.size(); ++i) acrossBlocks[i] = static_cast<uint8_t>(Random(16) * Random(16));
  sets.emplace_back("two Huffman blocks", acrossBlocks);
  sets.emplace_back("one block exactly", TBytes(65535, 9));
  sets.emplace_back("one byte", TBytes{42});
  sets.emplace_back("empty", TBytes{});
  return sets;
}

TBytes Decode(const TBytes& container) {
  TMemoryStream in(container);
  TCompressor c;
  std::unique_ptr<TMemoryStream> out = c.Decompress(in);
  EXPECT_TRUE(out);
  return out ? out->Data : TBytes{0xEE};
}

class ArchiveTool : public ::testing::Test {
 protected:
  std::string P(const std::string& name) const { return Dir / name; }
  vgrtest::TTempDir Dir;
};

}  // namespace

TEST(ArchiveEncoders, EveryMethodByteRoundTripsThroughTheProgramsDecoder) {
  int methods = 0;
  for (int m = 0; m < 256; ++m) {
    if (!vgrdata::MethodStoresData(static_cast<uint8_t>(m))) continue;
    ++methods;
    for (const auto& [what, data] : DataSets()) {
      std::optional<TBytes> c = vgrdata::EncodeContainer(data, static_cast<uint8_t>(m));
      ASSERT_TRUE(c) << what << " " << m;
      EXPECT_EQ((*c)[0], m);
      ASSERT_EQ(Decode(*c), data) << what << " method " << m;
    }
  }
  EXPECT_EQ(methods, 64);
  EXPECT_EQ(vgrdata::MeaningfulMethods().size(), 56u);
}

TEST(ArchiveEncoders, StagesRoundTripOnTheirOwn) {
  for (const auto& [what, data] : DataSets()) {
    for (int variant : {5, 6}) {
      if (variant == 6 && !vgrdata::AllBelow128(data)) continue;
      TBytes enc = vgrdata::RLEEncode(data, variant);
      TBytes out;
      std::size_t used = 0;
      ASSERT_EQ(RLEDecodeBytes(enc.data(), enc.size(), out, used), TRLEResult::Decoded) << what;
      EXPECT_EQ(used, enc.size());
      EXPECT_EQ(out, data) << what << " variant " << variant;
    }
    TBytes huff = vgrdata::HuffmanEncode(data);
    TBytes out;
    std::size_t used = 0;
    THuffman h;
    ASSERT_TRUE(h.DecodeBytes(huff.data(), huff.size(), out, used)) << what;
    EXPECT_EQ(used, huff.size());
    EXPECT_EQ(out, data) << what;
  }
  // runs compress, the variant for bytes below 128 more so
  TBytes run(1000, 5);
  EXPECT_LT(vgrdata::RLEEncode(run, 6).size(), vgrdata::RLEEncode(run, 5).size());
  EXPECT_LT(vgrdata::RLEEncode(run, 5).size(), 30u);
}

TEST(ArchiveEncoders, MethodsThatStoreNoDataAreRefused) {
  for (uint8_t m : {0x18, 0x28, 0x30, 0x38, 0x58, 0x80, 0xC0}) {
    EXPECT_FALSE(vgrdata::EncodeContainer(TBytes{1, 2, 3}, m)) << int(m);
  }
}

TEST_F(ArchiveTool, PackExtractCheckGiveEveryFileBack) {
  std::filesystem::create_directories(P("stage/font"));
  std::filesystem::create_directories(P("stage/gfx/deep"));
  std::vector<std::pair<std::string, std::string>> files;  // stored name, path
  int i = 0;
  for (const auto& [what, data] : DataSets()) {
    const std::string folder = i % 3 == 0 ? "font/" : i % 3 == 1 ? "gfx/deep/" : "";
    const std::string file = folder + "f" + std::to_string(i++) + ".bin";
    vgrtest::WriteFile(P("stage/" + file), data);
    std::string name = file;
    std::replace(name.begin(), name.end(), '/', '\\');
    files.emplace_back(name, P("stage/" + file));
  }
  TResult r = Archive({"pack", P("out.mad4"), P("stage")});
  ASSERT_EQ(r.Code, 0) << r.Err;
  EXPECT_FALSE(std::filesystem::exists(P("out.mad4.tmp")));
  r = Archive({"check", P("out.mad4")});
  EXPECT_EQ(r.Code, 0) << r.Err;
  EXPECT_NE(r.Out.find(std::to_string(files.size()) + " members, all members intact"), std::string::npos) << r.Out;
  for (const auto& [name, path] : files) {
    // Folders separated as on disk find the same member.
    std::string slashed = name;
    std::replace(slashed.begin(), slashed.end(), '\\', '/');
    for (const std::string& asked : {name, slashed}) {
      std::filesystem::remove(P("x.out"));
      r = Archive({"extract", P("out.mad4"), asked, P("x.out")});
      ASSERT_EQ(r.Code, 0) << asked << r.Err;
      EXPECT_EQ(vgrtest::ReadBinaryFile(P("x.out")), vgrtest::ReadBinaryFile(path)) << asked;
    }
  }
  // the program's own lookup sees the same names
  TMAD4MidLevel a;
  a.Mount(P("out.mad4"), true);
  EXPECT_EQ(a.FileCount(), static_cast<int>(files.size()));
  EXPECT_TRUE(a.FileExists("FONT\\F0.BIN"));
  // pack starts afresh: a second pack of another folder holds only its files
  std::filesystem::create_directories(P("other"));
  vgrtest::WriteFile(P("other/only.txt"), "only");
  ASSERT_EQ(Archive({"pack", P("out.mad4"), P("other")}).Code, 0);
  r = Archive({"list", P("out.mad4")});
  EXPECT_EQ(r.Out, "only.txt\tRAWD\t4\t-\n");
}

TEST_F(ArchiveTool, EmptyFolderPacksIntoTheEmptyArchive) {
  std::filesystem::create_directories(P("empty"));
  ASSERT_EQ(Archive({"pack", P("e.mad4"), P("empty")}).Code, 0);
  EXPECT_EQ(vgrtest::ReadBinaryFile(P("e.mad4")).size(), 20u);
  EXPECT_EQ(Archive({"check", P("e.mad4")}).Code, 0);
  EXPECT_EQ(Archive({"pack", P("e.mad4"), P("missing")}).Code, 1);
}

TEST_F(ArchiveTool, AddRemoveAddThenRemountKeepsEveryMember) {
  ASSERT_EQ(Archive({"create", P("a.mad4")}).Code, 0);
  std::map<std::string, TBytes> expected;
  const std::vector<std::string> methods = {"raw", "auto", "0x40", "0x21", "0x0C", "0x13", "0x65", "0x56"};
  int i = 0;
  for (const auto& [what, data] : DataSets()) {
    const std::string name = "m" + std::to_string(i);
    vgrtest::WriteFile(P("in.bin"), data);
    TResult r = Archive({"add", P("a.mad4"), name, P("in.bin"), "--method", methods[static_cast<std::size_t>(i) % methods.size()]});
    ASSERT_EQ(r.Code, 0) << r.Err;
    expected[name] = data;
    ++i;
  }
  for (const char* gone : {"m1", "m2", "m5"}) {
    ASSERT_EQ(Archive({"remove", P("a.mad4"), gone}).Code, 0);
    expected.erase(gone);
  }
  const TBytes small(40, 'x');
  vgrtest::WriteFile(P("in.bin"), small);
  ASSERT_EQ(Archive({"add", P("a.mad4"), "late", P("in.bin"), "--method", "raw"}).Code, 0);
  expected["late"] = small;
  // replacing a member keeps one entry of that name
  ASSERT_EQ(Archive({"add", P("a.mad4"), "M0", P("in.bin")}).Code, 0);
  expected.erase("m0");
  expected["M0"] = small;
  ASSERT_EQ(Archive({"check", P("a.mad4")}).Code, 0);
  TMAD4MidLevel a;
  a.Mount(P("a.mad4"), true);
  EXPECT_EQ(a.FileCount(), static_cast<int>(expected.size()));
  for (const auto& [name, data] : expected) {
    std::unique_ptr<TMemoryStream> s = a.OpenFile(name);
    ASSERT_TRUE(s) << name;
    EXPECT_EQ(s->Data, data) << name;
  }
  // the freed space was reused: the archive is smaller than every add together
  int nulls = 0;
  for (const TMAD4ChunkData& c : a.Chunks) nulls += c.FourCC == kFourCC_NULL;
  EXPECT_LE(nulls, 3);
}

TEST_F(ArchiveTool, AutoKeepsTheSmallestEncoding) {
  TBytes data;
  for (int i = 0; i < 5000; ++i) data.push_back(static_cast<uint8_t>((i / 50) % 100));
  vgrtest::WriteFile(P("in.bin"), data);
  ASSERT_EQ(Archive({"add", P("a.mad4"), "auto", P("in.bin")}).Code, 0);
  TMAD4MidLevel a;
  a.Mount(P("a.mad4"), true);
  const TMAD4FileData* f = a.GetFileData(a.IndexOfFile("auto"));
  ASSERT_TRUE(f);
  for (uint8_t m : vgrdata::MeaningfulMethods()) EXPECT_LE(f->DataSize, static_cast<int32_t>(vgrdata::EncodeContainer(data, m)->size()));
  EXPECT_LT(f->DataSize, static_cast<int32_t>(data.size()));
  // incompressible data stays a plain copy, which the game can stream in place
  Randomize(5);
  TBytes noise(4000);
  for (auto& b : noise) b = static_cast<uint8_t>(Random(256));
  vgrtest::WriteFile(P("noise.bin"), noise);
  a.Unmount();
  ASSERT_EQ(Archive({"add", P("a.mad4"), "noise", P("noise.bin")}).Code, 0);
  EXPECT_NE(Archive({"list", P("a.mad4")}).Out.find("noise\tRAWD\t4000\t-"), std::string::npos);
  // MP3 music stays plain, so that the game can stream it from the archive
  TBytes silence(3000, 0);
  vgrtest::WriteFile(P("song.mp3"), silence);
  ASSERT_EQ(Archive({"add", P("a.mad4"), "music\\Song.Mp3", P("song.mp3")}).Code, 0);
  EXPECT_NE(Archive({"list", P("a.mad4")}).Out.find("music\\Song.Mp3\tRAWD\t3000\t-"), std::string::npos);
  ASSERT_EQ(Archive({"add", P("a.mad4"), "song.mp3z", P("song.mp3")}).Code, 0);
  EXPECT_NE(Archive({"list", P("a.mad4")}).Out.find("song.mp3z\tCOMP"), std::string::npos);
  // large incompressible members skip the full search and stay plain
  TBytes bigNoise(300000);
  for (auto& b : bigNoise) b = static_cast<uint8_t>(Random(256));
  vgrtest::WriteFile(P("big.bin"), bigNoise);
  ASSERT_EQ(Archive({"add", P("a.mad4"), "big", P("big.bin")}).Code, 0);
  EXPECT_NE(Archive({"list", P("a.mad4")}).Out.find("big\tRAWD\t300000\t-"), std::string::npos);
}

TEST_F(ArchiveTool, LinkVersionAndList) {
  vgrtest::WriteFile(P("a.txt"), "abc");
  ASSERT_EQ(Archive({"add", P("a.mad4"), "a.txt", P("a.txt"), "--method", "0x00"}).Code, 0);
  ASSERT_EQ(Archive({"link", P("a.mad4"), "b.txt", "A.TXT"}).Code, 0);
  EXPECT_EQ(Archive({"link", P("a.mad4"), "c.txt", "b.txt"}).Code, 1);  // not followed by the reader
  EXPECT_EQ(Archive({"link", P("a.mad4"), "c.txt", "none"}).Code, 1);
  ASSERT_EQ(Archive({"version", P("a.mad4"), "1.05", "Build 0063"}).Code, 0);
  ASSERT_EQ(Archive({"version", P("a.mad4"), "1.06", "Build 0064"}).Code, 0);
  TResult r = Archive({"list", P("a.mad4")});
  EXPECT_EQ(r.Out, "a.txt\tCOMP\t8\t0x00\nb.txt\tLINK\t4\t-> a.txt\n*V\tFVER\t16\t1.06 / Build 0064\n");
  ASSERT_EQ(Archive({"extract", P("a.mad4"), "b.txt", P("b.out")}).Code, 0);
  EXPECT_EQ(vgrtest::ReadTextFile(P("b.out")), "abc");
}

TEST_F(ArchiveTool, CheckFindsCorruptMembersAndDamagedChunks) {
  TBytes data(3000);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i % 13);
  vgrtest::WriteFile(P("in.bin"), data);
  ASSERT_EQ(Archive({"add", P("a.mad4"), "z", P("in.bin"), "--method", "0x40"}).Code, 0);
  TBytes good = vgrtest::ReadBinaryFile(P("a.mad4"));
  TBytes corrupt = good;
  corrupt[8 + 8 + 2 + 1 + 3] ^= 0xFF;  // inside the zlib data
  vgrtest::WriteFile(P("a.mad4"), corrupt);
  TResult r = Archive({"check", P("a.mad4")});
  EXPECT_EQ(r.Code, 1);
  EXPECT_NE(r.Err.find("cannot decode z"), std::string::npos);
  EXPECT_EQ(Archive({"extract", P("a.mad4"), "z", P("z.out")}).Code, 1);
  TBytes damaged = good;
  damaged[8 + 4 + 2] = 0x7F;  // the chunk's size runs past the end
  vgrtest::WriteFile(P("a.mad4"), damaged);
  EXPECT_EQ(Archive({"check", P("a.mad4")}).Code, 1);
  EXPECT_EQ(Archive({"add", P("a.mad4"), "y", P("in.bin")}).Code, 1);
  EXPECT_EQ(vgrtest::ReadBinaryFile(P("a.mad4")), damaged);
}

TEST_F(ArchiveTool, ArchiveHeldByAnotherProcessIsNotWritten) {
  ASSERT_EQ(Archive({"create", P("a.mad4")}).Code, 0);
  const int fd = ::open(P("a.mad4").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
  vgrtest::WriteFile(P("in.bin"), "x");
  TResult r = Archive({"add", P("a.mad4"), "x", P("in.bin")});
  EXPECT_EQ(r.Code, 1);
  EXPECT_NE(r.Err.find("in use by another process"), std::string::npos);
  EXPECT_EQ(Archive({"list", P("a.mad4")}).Code, 0);  // reading still works
  ::close(fd);
  EXPECT_EQ(Archive({"add", P("a.mad4"), "x", P("in.bin")}).Code, 0);
}

TEST_F(ArchiveTool, UsageErrors) {
  vgrtest::WriteFile(P("in.bin"), "x");
  struct TCase {
    std::vector<std::string> Args;
    int Code;
  };
  const std::vector<TCase> cases = {
      {{}, 2},
      {{"frobnicate"}, 2},
      {{"add", P("a.mad4"), "x", P("in.bin"), "--method", "0x2C"}, 2},
      {{"add", P("a.mad4"), "x", P("in.bin"), "--method", "fast"}, 2},
      {{"add", P("a.mad4"), "x", P("in.bin"), "--method", "0x100"}, 2},
      {{"add", P("a.mad4"), std::string(256, 'n'), P("in.bin")}, 2},
      {{"add", P("a.mad4"), "x", P("missing.bin")}, 1},
      {{"list", P("nothing.mad4")}, 1},
      {{"extract", P("nothing.mad4"), "x", P("o")}, 1},
      {{"remove"}, 2},
  };
  for (const TCase& c : cases) EXPECT_EQ(Archive(c.Args).Code, c.Code) << (c.Args.empty() ? "" : c.Args[0]);
  // reading a missing archive does not create it
  EXPECT_FALSE(std::filesystem::exists(P("nothing.mad4")));
  EXPECT_EQ(Archive({"--help"}).Code, 0);
}
