#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "../../platform/ImageFixtures.h"
#include "RawPictureUnit.h"
#include "TestSupport.h"
#include "ToolTestSupport.h"
#include "VgrData.h"
#include "ZRStream3.h"

using namespace imgfix;

namespace {

using vgrtest::Vgr;

TRawPicture ReadBack(const std::string& bmp) {
  TRawPicture p;
  TFileStream f(bmp, fmOpenRead);
  if (f.IsOpen()) p.ReadBMP(f);
  return p;
}

TEST(PictureMaskCommand, KeyedFramesShowMagentaAndTheirMask) {
  vgrtest::TTempDir dir;
  // Keyed strip: every frame has a black pixel at its top left.
  vgrtest::WriteFile(dir / "strip.tga", MakeStrip(4, 16, 16, {0x04, 0x40}));
  const vgrtest::TToolResult r = Vgr({"picture", dir / "strip.tga[1..2]", dir / "o.bmp", "--mask", dir / "m.txt"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("size: 32x16\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("frames: 2 (animated)\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("transparent pixels shown as magenta"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("mask: " + (dir / "m.txt") + " (32x16, 510 solid)\n"), std::string::npos) << r.out;
  const TRawPicture back = ReadBack(dir / "o.bmp");
  ASSERT_EQ(back.Width, 32);
  EXPECT_EQ(picfix::Px(back, 0, 0), 0xFF00FFu);
  EXPECT_EQ(picfix::Px(back, 16, 0), 0xFF00FFu);
  EXPECT_EQ(picfix::Px(back, 1, 0), FrameColour(1));
  EXPECT_EQ(picfix::Px(back, 31, 15), FrameColour(2));
  std::vector<std::string> lines;
  std::istringstream in(vgrtest::ReadTextFile(dir / "m.txt"));
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  ASSERT_EQ(lines.size(), 16u);
  EXPECT_EQ(lines[0], "." + std::string(15, 'X') + "." + std::string(15, 'X'));
  for (size_t y = 1; y < 16; ++y) EXPECT_EQ(lines[y], std::string(32, 'X')) << y;
}

TEST(PictureMaskCommand, UnkeyedBlackStaysBlack) {
  vgrtest::TTempDir dir;
  vgrtest::WriteFile(dir / "p.tga", MakeTGA24(3, 1, [](int x, int) { return x == 1 ? 0u : 0x00FF00u; }));
  const vgrtest::TToolResult r = Vgr({"picture", dir / "p.tga", dir / "o.bmp", "--mask", dir / "m.txt"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out.find("magenta"), std::string::npos);
  EXPECT_EQ(picfix::AllPx(ReadBack(dir / "o.bmp")), (std::vector<uint32_t>{0x00FF00, 0, 0x00FF00}));
  EXPECT_EQ(vgrtest::ReadTextFile(dir / "m.txt"), "X.X\n");
  // A mask that cannot be written fails the command.
  const vgrtest::TToolResult bad = Vgr({"picture", dir / "p.tga", dir / "o.bmp", "--mask", dir / "no/such/m.txt"});
  EXPECT_EQ(bad.code, 1);
  EXPECT_NE(bad.err.find("cannot write"), std::string::npos) << bad.err;
}

}  // namespace
