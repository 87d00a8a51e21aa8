#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "../../assets/PictureFixtures.h"
#include "RawPictureUnit.h"
#include "TestSupport.h"
#include "ToolTestSupport.h"
#include "VgrData.h"
#include "ZRStream3.h"

using namespace picfix;

namespace {

using vgrtest::Vgr;

TRawPicture ReadBack(const std::string& bmp) {
  TRawPicture p;
  TFileStream f(bmp, fmOpenRead);
  EXPECT_TRUE(f.IsOpen()) << bmp;
  if (f.IsOpen()) p.ReadBMP(f);
  return p;
}

Bytes Sized(uint16_t w, uint16_t h, const Bytes& body) {
  Bytes b;
  Put16(b, w);
  Put16(b, h);
  return Cat({b, body});
}

// A 2 by 2 picture in every format the game reads; its top-left pixel.
struct TFormatCase {
  const char* file;
  Bytes data;
  uint32_t topLeft;
};

std::vector<TFormatCase> FormatCases() {
  TGAHeader tga;
  tga.Width = 2;
  tga.Height = 2;
  tga.Descriptor = 0;
  TGAHeader rle = tga;
  rle.Type = 10;
  Bytes cel = {0x19, 0x91, 2, 0, 2, 0};
  cel.resize(32, 0);
  Bytes celPal(768, 0);
  celPal[3] = 63;
  Bytes mi = {'M', 'I', 0, 1, '2', '4', 0, 0, 2, 0, 2, 0};
  Bytes mator = Chunk("MATR", Cat({Chunk("MAIN", U32s({1, 2})), Chunk("PALE", U32s({2, 0x0000FF, 0xFF0000})),
                                   Chunk("FRAM", U16s({1, 0})), Chunk("FRAM", U16s({0, 1}))}));
  return {
      {"p.tga", MakeTGA(tga, {}, Cat({BGR(1), BGR(2), BGR(0x0A0B0C), BGR(4)})), 0x0A0B0C},
      {"rle.tga", MakeTGA(rle, {}, Cat({Bytes{0x81}, BGR(0x111111), Bytes{0x81}, BGR(0x222222)})), 0x222222},
      {"p.bmp", MakeBMP(2, 2, 4, 0, std::vector<uint32_t>(16, 0x00FF00), Bytes{0x12, 0, 0, 0, 0x34, 0, 0, 0}),
       0x00FF00},
      {"rle8.bmp", MakeBMP(2, 2, 8, 1, {0x123456, 0x654321}, Bytes{2, 0, 0, 0, 2, 1, 0, 1}, 2), 0x654321},
      {"p.cel", Cat({cel, celPal, Bytes{1, 0, 0, 0}}), 0xFC0000},
      {"p.mi", Cat({mi, Bytes{9, 8, 7, 0, 0, 0, 0, 0, 0, 0, 0, 0}}), 0x090807},
      {"p.kep", Sized(2, 2, Bytes{3, 0, 0, 0}), 0xF02814},
      {"p.k16", Sized(2, 2, U16s({0x07E0, 0, 0, 0})), 0x00FC00},
      {"p.gsd", Sized(2, 2, Bytes{0x33, 0, 0, 0}), 0x333333},
      {"p.mator", mator, 0x0000FF},  // blue lies in bits 16-23
  };
}

TEST(PictureCommand, ConvertsEveryFormatToBMP) {
  vgrtest::TTempDir dir;
  for (const auto& c : FormatCases()) {
    vgrtest::WriteFile(dir / c.file, c.data);
    const std::string bmp = dir / (std::string(c.file) + ".bmp");
    const vgrtest::TToolResult r = Vgr({"picture", dir / c.file, bmp});
    ASSERT_EQ(r.code, 0) << c.file << r.err;
    EXPECT_EQ(r.err, "") << c.file;
    TRawPicture direct;
    ASSERT_TRUE(ReadPictureFile(direct, dir / c.file));
    const TRawPicture back = ReadBack(bmp);
    EXPECT_EQ(back.Width, direct.Width) << c.file;
    EXPECT_EQ(back.Height, direct.Height) << c.file;
    EXPECT_EQ(back.Pixels, direct.Pixels) << c.file;
    EXPECT_EQ(Px(back, 0, 0), c.topLeft) << c.file;
    EXPECT_NE(r.out.find("size: " + std::to_string(direct.Width) + "x" + std::to_string(direct.Height) + "\n"),
              std::string::npos)
        << r.out;
  }
}

// Four 16 by 16 frames side by side, frame f filled with colour 0x10 * (f + 1).
Bytes FourFrameStrip(Bytes id) {
  TGAHeader h;
  h.Width = 64;
  h.Height = 16;
  Bytes body;
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 64; ++x) {
      Bytes p = BGR(static_cast<uint32_t>(0x10 * (x / 16 + 1)) << (x % 16 == 0 ? 8 : 0));
      body.insert(body.end(), p.begin(), p.end());
    }
  return MakeTGA(h, std::move(id), body);
}

TEST(PictureCommand, AttributesFrameSelectionAndTransformation) {
  vgrtest::TTempDir dir;
  vgrtest::WriteFile(dir / "strip.tga", FourFrameStrip({0x04, 0x60}));
  const std::string bmp = dir / "out.bmp";
  struct {
    const char* suffix;
    int32_t width;
    std::string frames;
    std::string flags;
    uint32_t left;  // top-left pixel
  } cases[] = {
      {"", 64, "frames: 4 (animated)", "flags: colour-keyed, random start", 0x1000},
      {"[2]", 16, "frames: 1\n", "flags: colour-keyed\n", 0x3000},
      {"[1..2]", 32, "frames: 2 (animated)", "flags: colour-keyed\n", 0x2000},
      {"[x]", 64, "frames: 4 (animated)", "random start", 0x1000},
      {"[2..]", 16, "frames: 1\n", "flags: colour-keyed\n", 0x3000},
      {":H", 64, "frames: 4 (animated)", "random start", 0x10},
      {"[3]:H", 16, "frames: 1\n", "colour-keyed", 0x40},
  };
  for (const auto& c : cases) {
    const vgrtest::TToolResult r = Vgr({"picture", dir / "strip.tga" + c.suffix, bmp});
    ASSERT_EQ(r.code, 0) << c.suffix << r.err;
    EXPECT_NE(r.out.find("attribute type: 1\n"), std::string::npos) << c.suffix << r.out;
    EXPECT_NE(r.out.find(c.frames), std::string::npos) << c.suffix << r.out;
    EXPECT_NE(r.out.find(c.flags), std::string::npos) << c.suffix << r.out;
    const TRawPicture back = ReadBack(bmp);
    EXPECT_EQ(back.Width, c.width) << c.suffix;
    EXPECT_EQ(back.Height, 16) << c.suffix;
    EXPECT_EQ(Px(back, 0, 0), c.left) << c.suffix;
  }
  // A long block shows its attribute bytes and start frame.
  Bytes id(16, 0);
  id[0] = 4;
  id[2] = 7;
  id[3] = 9;
  id[4] = 2;
  vgrtest::WriteFile(dir / "long.tga", FourFrameStrip(id));
  const vgrtest::TToolResult r = Vgr({"picture", dir / "long.tga", bmp});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("attribute type: 2\nframes: 4 (animated)\nflags: none\nattribute A: 7\nattribute B: 9\n"
                       "start frame: 2\n"),
            std::string::npos)
      << r.out;
}

TEST(PictureCommand, Failures) {
  vgrtest::TTempDir dir;
  vgrtest::WriteFile(dir / "strip.tga", FourFrameStrip({0x04, 0x00}));
  TGAHeader h;
  h.Width = 2;
  h.Height = 2;
  vgrtest::WriteFile(dir / "cut.tga", MakeTGA(h, {}, Bytes(5, 0)));
  struct {
    std::vector<std::string> args;
    int code;
    std::string err;
  } cases[] = {
      {{"picture", dir / "x.png", dir / "o.bmp"}, 1, "Unknown file extension! (PNG)"},
      {{"picture", dir / "noext", dir / "o.bmp"}, 1, "Unknown file extension! ()"},
      {{"picture", dir / "cut.tga", dir / "o.bmp"}, 1, "[RawPictureUnit, TRawPicture.ReadTGA] Unexpected end of file!"},
      {{"picture", dir / "gone.tga", dir / "o.bmp"}, 1, "File not found: "},
      {{"picture", dir / "strip.tga[4]", dir / "o.bmp"}, 1, "frame selection outside the 4 frames"},
      {{"picture", dir / "strip.tga", dir / "no/such/folder/o.bmp"}, 1, "cannot write"},
      {{"picture", dir / "strip.tga:Q", dir / "o.bmp"}, 0, "Unknown transformation command (Q)"},
      {{"picture", dir / "strip.tga"}, 2, "usage: vgrdata picture"},
      {{"picture", dir / "strip.tga", dir / "o.bmp", "--frames"}, 2, "unknown option"},
      {{"picture", dir / "strip.tga", dir / "o.bmp", "--archive", dir / "none.mad4"}, 1, "no archive"},
  };
  for (const auto& c : cases) {
    const vgrtest::TToolResult r = Vgr(c.args);
    EXPECT_EQ(r.code, c.code) << c.args[1];
    EXPECT_NE(r.err.find(c.err), std::string::npos) << c.args[1] << ": " << r.err;
  }
}

TEST(PictureCommand, ReadsFromAnArchive) {
  vgrtest::TTempDir dir;
  const std::string archive = dir / "pics.mad4";
  const std::string name = "vgrtest_archived_picture.gsd";
  vgrtest::WriteFile(dir / "src.gsd", Sized(2, 1, Bytes{0x11, 0x22}));
  ASSERT_EQ(Vgr({"archive", "create", archive}).code, 0);
  const vgrtest::TToolResult added = Vgr({"archive", "add", archive, name, dir / "src.gsd"});
  ASSERT_EQ(added.code, 0) << added.err;
  const vgrtest::TToolResult r = Vgr({"picture", name + ":H", dir / "o.bmp", "--archive", archive});
  ASSERT_EQ(r.code, 0) << r.err;
  const TRawPicture back = ReadBack(dir / "o.bmp");
  EXPECT_EQ(AllPx(back), (std::vector<uint32_t>{0x222222, 0x111111}));
  // Without the archive the name is found nowhere.
  EXPECT_EQ(Vgr({"picture", name, dir / "o.bmp"}).code, 1);
  // A file that is not an archive is refused.
  EXPECT_EQ(Vgr({"picture", name, dir / "o.bmp", "--archive", dir / "src.gsd"}).code, 1);
}

}  // namespace
