#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "ImageFixtures.h"
#include "Logger.h"
#include "RawPictureUnit.h"
#include "SystemUnit.h"
#include "TestSupport.h"
#include "ZR_SDL.h"

using namespace imgfix;

namespace {

class ImageLoad : public ::testing::Test {
 protected:
  vgrtest::TScopedLog Log_;
  TDisplay Display_;
  TInFolder Folder_;
  // A 4-frame strip of 16 by 16 frames, colour-keyed, frames advance.
  void WriteStrip(const std::string& name = "strip.tga") {
    vgrtest::WriteFile(Folder_ / name, MakeStrip(4, 16, 16, {0x04, 0x40}));
  }
};

TEST_F(ImageLoad, FrameSelectionsOnAFourFrameStrip) {
  WriteStrip();
  struct {
    const char* name;
    int width;
    bool animated;
    int frameCount;
    int firstFrame;  // frame whose colour is at the image's second column
  } cases[] = {
      {"strip.tga[2]", 16, false, 0, 2},    // one frame, no longer a strip
      {"strip.tga[1..2]", 32, true, 2, 1},  // a shorter strip
      {"strip.tga[x]", 64, true, 4, 0},     // not a number: the whole strip
      {"strip.tga[2..]", 16, false, 0, 2},  // no last frame: frame 2 only
      {"strip.tga[0..3]", 64, true, 4, 0},
      {"strip.tga[3]", 16, false, 0, 3},
      {"str[1..2]ip.tga", 32, true, 2, 1},  // the selection may stand anywhere
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TImagePtr image = LoadImage(c.name);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(ImageWidth(image.get()), c.width);
    EXPECT_EQ(ImageHeight(image.get()), 16);
    EXPECT_EQ(image->Animated, c.animated);
    if (c.animated) {
      EXPECT_EQ(image->FrameCount, c.frameCount);
    }
    EXPECT_EQ(image->StartFrame, 0u);
    EXPECT_TRUE(image->ColorKeyed);
    EXPECT_EQ(ImagePx(image.get(), 1, 0), FrameColour(c.firstFrame));
    EXPECT_EQ(ImagePx(image.get(), 0, 0), 0u);
    if (c.width > 16) {
      EXPECT_EQ(ImagePx(image.get(), 17, 5), FrameColour(c.firstFrame + 1));
    }
  }
}

TEST_F(ImageLoad, SelectionsOutsideTheStripGiveNothing) {
  WriteStrip();
  for (const char* name : {"strip.tga[4]", "strip.tga[1..4]", "strip.tga[3..9]"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(LoadImage(name), nullptr);
  }
  // A number too long to be a frame number reads as none: the whole strip.
  TImagePtr whole = LoadImage("strip.tga[99999999999]");
  ASSERT_NE(whole, nullptr);
  EXPECT_EQ(ImageWidth(whole.get()), 64);
  // The debug line of the clipping is still written for a refused selection.
  EXPECT_FALSE(Containing(Log_.Lines(), "After clipping (1 - 4)...").empty());
}

TEST_F(ImageLoad, SelectionOnASinglePictureIsIgnored) {
  vgrtest::WriteFile(Folder_ / "one.tga", MakeTGA24(8, 4, [](int x, int) { return x < 4 ? 0xFF0000u : 0x00FF00u; }));
  TImagePtr image = LoadImage("one.tga[1]");
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(ImageWidth(image.get()), 8);
  EXPECT_FALSE(image->Animated);
  EXPECT_FALSE(image->ColorKeyed);
  EXPECT_EQ(ImagePx(image.get(), 0, 0), 0xFF0000u);
  EXPECT_EQ(ImagePx(image.get(), 7, 3), 0x00FF00u);
  EXPECT_FALSE(Containing(Log_.Lines(), "<ZR_SDL, LoadImage> No clipping.").empty());
}

TEST_F(ImageLoad, TransformationAfterAColonAndDriveLetters) {
  // Left half red, right half green; "H" mirrors it left to right.
  const Bytes pic = MakeTGA24(4, 2, [](int x, int) { return x < 2 ? 0xFF0000u : 0x00FF00u; });
  vgrtest::WriteFile(Folder_ / "pic.tga", pic);
  vgrtest::WriteFile(Folder_ / "C:pic.tga", pic);
  vgrtest::WriteFile(Folder_ / "ab:pic.tga", pic);

  TImagePtr mirrored = LoadImage("pic.tga:H");
  ASSERT_NE(mirrored, nullptr);
  EXPECT_EQ(ImagePx(mirrored.get(), 0, 0), 0x00FF00u);
  EXPECT_EQ(ImagePx(mirrored.get(), 3, 1), 0xFF0000u);

  // The same through the BMP reader: a 2 by 1 picture, red then green.
  Bytes bmpBody = picfix::Cat({picfix::BGR(0xFF0000), picfix::BGR(0x00FF00), Bytes{0, 0}});
  vgrtest::WriteFile(Folder_ / "pic.bmp", picfix::MakeBMP(2, 1, 24, 0, {}, bmpBody));
  TImagePtr bmp = LoadImage("pic.bmp:H");
  ASSERT_NE(bmp, nullptr);
  EXPECT_EQ(ImagePx(bmp.get(), 0, 0), 0x00FF00u);
  EXPECT_EQ(ImagePx(bmp.get(), 1, 0), 0xFF0000u);

  // A colon in position 2 belongs to a drive letter: the whole text is the file.
  TImagePtr drive = LoadImage("C:pic.tga");
  ASSERT_NE(drive, nullptr);
  EXPECT_EQ(ImagePx(drive.get(), 0, 0), 0xFF0000u);

  // From position 3 on it starts a transformation: "ab" is the file name,
  // which has no extension.
  EXPECT_EQ(LoadImage("ab:pic.tga"), nullptr);
  EXPECT_FALSE(Containing(Log_.Lines(), "{ZR_SDL, LoadImage} Unknown file extension! ()").empty());
}

TEST_F(ImageLoad, UnknownExtensionsAreErrors) {
  vgrtest::WriteFile(Folder_ / "pic.png", MakeTGA24(2, 2, [](int, int) { return 0xFFFFFFu; }));
  vgrtest::WriteFile(Folder_ / "noext", MakeTGA24(2, 2, [](int, int) { return 0xFFFFFFu; }));
  EXPECT_EQ(LoadImage("pic.png"), nullptr);
  EXPECT_EQ(LoadImage("noext"), nullptr);
  const auto lines = Log_.Lines();
  EXPECT_EQ(Containing(lines, "{ZR_SDL, LoadImage} Unknown file extension! (PNG)").size(), 1u);
  EXPECT_EQ(Containing(lines, "{ZR_SDL, LoadImage} Unknown file extension! ()").size(), 1u);
  EXPECT_TRUE(Containing(lines, "After loading...").empty());
}

TEST_F(ImageLoad, MissingOrDamagedFilesGiveNothing) {
  Bytes damaged = MakeTGA24(4, 4, [](int, int) { return 0x808080u; });
  damaged.resize(damaged.size() - 5);
  vgrtest::WriteFile(Folder_ / "short.tga", damaged);
  EXPECT_EQ(LoadImage("absent.tga"), nullptr);
  EXPECT_EQ(LoadImage("short.tga[1]:H"), nullptr);
  EXPECT_TRUE(Containing(Log_.Lines(), "Load ok.").empty());
}

TEST_F(ImageLoad, DebugLinesOfASuccessfulLoad) {
  WriteStrip();
  ASSERT_NE(LoadImage("strip.tga[1..2]:V"), nullptr);
  std::vector<std::string> debug;
  for (const auto& l : Log_.Lines())
    if (l.rfind("<ZR_SDL, ", 0) == 0) debug.push_back(l);
  const std::vector<std::string> expected = {
      "<ZR_SDL, LoadImage> LoadImage(strip.tga[1..2]:V)",
      "<ZR_SDL, LoadImage> Before loading...",
      "<ZR_SDL, LoadImage> After loading...",
      "<ZR_SDL, LoadImage> Load ok. (64x16)",
      "<ZR_SDL, LoadImage> After transforming rawpicture.",
      "<ZR_SDL, CreateImageFromRawPicture> 64, 16, 1",
      "<ZR_SDL, LoadImage> After converting to image...",
      "<ZR_SDL, LoadImage> After clipping (1 - 2)...",
  };
  EXPECT_EQ(debug, expected);
}

TEST(ImageFromPicture, AttributeBlocks) {
  vgrtest::TScopedLog log;
  TDisplay display;
  struct {
    const char* name;
    int32_t type;
    Bytes block;
    bool animated, keyed, flagB, flagC;
    int32_t frames;
    uint32_t attrA, attrB, start;
  } cases[] = {
      {"none", etNone, {}, false, false, false, false, 0, 0, 0, 0},
      {"short, 2 frames, plain", etShort, {0x02, 0x00}, true, false, false, false, 2, 0, 0, 0},
      {"short, flags B and C", etShort, {0x02, 0x90}, true, false, true, true, 2, 0, 0, 0},
      {"short, 0 frames", etShort, {0x00, 0x40}, false, true, false, false, 0, 0, 0, 0},
      {"short, 12-bit count", etShort, {0x01, 0x01}, true, false, false, false, 257, 0, 0, 0},
      {"short, high nibble: 3,845 frames", etShort, {0x05, 0x0F}, true, false, false, false, 3845, 0, 0, 0},
      {"long", etLong, {0x04, 0x50, 3, 2, 0x02, 0x00}, true, true, true, false, 4, 3, 2, 2},
      {"long, start over 255", etLong, {0x04, 0x00, 0, 0, 0x01, 0x01}, true, false, false, false, 4, 0, 0, 257},
      {"extended", etExtended, {0x04, 0x40}, false, false, false, false, 0, 0, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TRawPicture p(16, 4);
    p.SetExtraType(c.type);
    for (size_t i = 0; i < c.block.size(); ++i) p.SetExtraByte(static_cast<int32_t>(i), c.block[i]);
    TImagePtr image = CreateImageFromRawPicture(p);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->Animated, c.animated);
    EXPECT_EQ(image->ColorKeyed, c.keyed);
    EXPECT_EQ(image->FlagB, c.flagB);
    EXPECT_EQ(image->FlagC, c.flagC);
    EXPECT_EQ(image->FrameCount, c.frames);
    EXPECT_EQ(image->AttrA, c.attrA);
    EXPECT_EQ(image->AttrB, c.attrB);
    EXPECT_EQ(image->StartFrame, c.start);
    EXPECT_EQ(p.Width, 16);  // the picture stays the caller's, untouched
  }
}

TEST(ImageFromPicture, RandomStartFrameCoversTheStrip) {
  vgrtest::TScopedLog log;
  TDisplay display;
  TRawPicture p(64, 16);
  p.SetExtraType(etShort);
  p.SetExtraByte(0, 0x04);
  p.SetExtraByte(1, 0x60);
  std::set<uint32_t> seen;
  Randomize(1234);
  for (int i = 0; i < 64; ++i) {
    TImagePtr image = CreateImageFromRawPicture(p);
    ASSERT_NE(image, nullptr);
    EXPECT_TRUE(image->Animated);
    EXPECT_EQ(image->FrameCount, 4);
    EXPECT_TRUE(image->ColorKeyed);
    EXPECT_LT(image->StartFrame, 4u);
    seen.insert(image->StartFrame);
  }
  EXPECT_EQ(seen.size(), 4u);
  // A long block with the random bit ignores its stored start frame.
  TRawPicture q(64, 16);
  q.SetExtraType(etLong);
  q.SetExtraByte(0, 0x04);
  q.SetExtraByte(1, 0x20);
  q.SetExtraByte(4, 200);
  Randomize(99);
  for (int i = 0; i < 16; ++i) EXPECT_LT(CreateImageFromRawPicture(q)->StartFrame, 4u);
}

TEST(ImageFromPicture, PixelsAndEmptyPictures) {
  vgrtest::TScopedLog log;
  TDisplay display;
  TRawPicture p(3, 2);
  const uint32_t colours[6] = {0xFF0000, 0x00FF00, 0x0000FF, 0x123456, 0xFFFFFF, 0x000000};
  for (int i = 0; i < 6; ++i) {
    uint8_t* px = p.PixelAt(i % 3, i / 3);
    px[0] = static_cast<uint8_t>(colours[i]);
    px[1] = static_cast<uint8_t>(colours[i] >> 8);
    px[2] = static_cast<uint8_t>(colours[i] >> 16);
  }
  TImagePtr image = CreateImageFromRawPicture(p);
  ASSERT_NE(image, nullptr);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(ImagePx(image.get(), i % 3, i / 3), colours[i]) << i;
  EXPECT_EQ(GetPixel(image->Surface, 2, 1), 0u);  // black is pixel value 0

  TRawPicture empty;
  EXPECT_EQ(CreateImageFromRawPicture(empty), nullptr);
  TRawPicture lying(4, 4);
  lying.Pixels.resize(10);  // fewer pixels than the size says
  EXPECT_EQ(CreateImageFromRawPicture(lying), nullptr);
}

TEST(ExtractFrames, RangesAndAttributes) {
  vgrtest::TScopedLog log;
  TDisplay display;
  TRawPicture p(64, 8);
  p.SetExtraType(etLong);
  const uint8_t block[6] = {0x04, 0xD0, 5, 6, 3, 0};  // flags B, C, keyed; start frame 3
  for (int i = 0; i < 6; ++i) p.SetExtraByte(i, block[i]);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 64; ++x) p.PixelAt(x, y)[1] = static_cast<uint8_t>(x / 16 * 50 + 10);
  TImagePtr strip = CreateImageFromRawPicture(p);
  ASSERT_NE(strip, nullptr);
  ASSERT_EQ(strip->StartFrame, 3u);

  TImagePtr two = ExtractFrames(strip.get(), 2, 3);
  ASSERT_NE(two, nullptr);
  EXPECT_EQ(ImageWidth(two.get()), 32);
  EXPECT_TRUE(two->Animated);
  EXPECT_EQ(two->FrameCount, 2);
  EXPECT_TRUE(two->FlagB && two->FlagC && two->ColorKeyed);
  EXPECT_EQ(two->AttrA, 5u);
  EXPECT_EQ(two->AttrB, 6u);
  EXPECT_EQ(two->StartFrame, 0u);
  EXPECT_EQ(ImagePx(two.get(), 0, 0) >> 8 & 0xFF, 110u);

  TImagePtr one = ExtractFrame(strip.get(), 1);
  ASSERT_NE(one, nullptr);
  EXPECT_EQ(ImageWidth(one.get()), 16);
  EXPECT_FALSE(one->Animated);
  EXPECT_TRUE(one->ColorKeyed);
  EXPECT_FALSE(one->FlagB);
  EXPECT_EQ(ImagePx(one.get(), 15, 7) >> 8 & 0xFF, 60u);

  const std::pair<int, int> refused[] = {{-1, 0}, {0, 4}, {3, 2}, {4, 4}};
  for (auto [a, b] : refused) EXPECT_EQ(ExtractFrames(strip.get(), a, b), nullptr) << a << ".." << b;
  EXPECT_EQ(ExtractFrame(strip.get(), 4), nullptr);
  EXPECT_EQ(ExtractFrame(strip.get(), -1), nullptr);
  EXPECT_EQ(ExtractFrame(nullptr, 0), nullptr);

  // More frames than columns: no frame has a width, nothing to cut.
  TRawPicture narrow(8, 8);
  narrow.SetExtraType(etShort);
  narrow.SetExtraByte(0, 20);
  TImagePtr n = CreateImageFromRawPicture(narrow);
  ASSERT_NE(n, nullptr);
  EXPECT_EQ(ExtractFrame(n.get(), 3), nullptr);
  EXPECT_EQ(ExtractFrames(n.get(), 0, 19), nullptr);
}

}  // namespace
