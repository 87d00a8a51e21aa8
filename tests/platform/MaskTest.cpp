#include <gtest/gtest.h>
#include <SDL.h>

#include <string>
#include <vector>

#include "ImageFixtures.h"
#include "RawPictureUnit.h"
#include "SystemUnit.h"
#include "TestSupport.h"
#include "ZR_SDL.h"

using namespace imgfix;

namespace {

class Masks : public ::testing::Test {
 protected:
  vgrtest::TScopedLog Log_;
  TDisplay Display_;

  // An image made the way pictures become images, from colours per pixel.
  TImagePtr Make(int w, int h, const std::function<uint32_t(int, int)>& colour, bool keyed) {
    TRawPicture p(w, h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const uint32_t c = colour(x, y);
        uint8_t* px = p.PixelAt(x, y);
        px[0] = static_cast<uint8_t>(c);
        px[1] = static_cast<uint8_t>(c >> 8);
        px[2] = static_cast<uint8_t>(c >> 16);
      }
    if (keyed) {
      p.SetExtraType(etShort);
      p.SetExtraByte(0, 1);
      p.SetExtraByte(1, AttrColorKeyed);
    }
    return CreateImageFromRawPicture(p);
  }
};

TEST_F(Masks, ColourKeyedImageHasHolesWhereItIsBlack) {
  TImagePtr image = Make(5, 2, [](int x, int y) { return (x == 3 && y == 0) || (x == 0 && y == 1) ? 0u : 0x40C0FFu; },
                         true);
  ASSERT_NE(image, nullptr);
  ASSERT_TRUE(image->ColorKeyed);
  TMaskPtr mask = CreateMaskFromImage(image.get());
  ASSERT_NE(mask, nullptr);
  EXPECT_EQ(mask->Width, 5);
  EXPECT_EQ(mask->Height, 2);
  const std::vector<uint8_t> expected = {1, 1, 1, 0, 1, 0, 1, 1, 1, 1};
  EXPECT_EQ(mask->Data, expected);
}

TEST_F(Masks, WhiteAndAlmostBlackPixelsAreSolid) {
  TImagePtr white = Make(2, 2, [](int, int) { return 0xFFFFFFu; }, false);
  TMaskPtr mask = CreateMaskFromImage(white.get());
  ASSERT_NE(mask, nullptr);
  EXPECT_EQ(mask->Data, std::vector<uint8_t>(4, 1));
  // Only pixel value 0 is empty: the darkest blue still counts.
  TImagePtr dark = Make(3, 1, [](int x, int) { return x == 1 ? 0x000001u : 0u; }, false);
  EXPECT_EQ(CreateMaskFromImage(dark.get())->Data, (std::vector<uint8_t>{0, 1, 0}));
}

TEST_F(Masks, StripMaskCoversAllFramesAndNothingGivesNothing) {
  TImagePtr strip = Make(12, 3, [](int x, int y) { return x % 4 == y ? 0xFF00FFu : 0u; }, true);
  ASSERT_NE(strip, nullptr);
  TMaskPtr mask = CreateMaskFromImage(strip.get());
  ASSERT_NE(mask, nullptr);
  ASSERT_EQ(mask->Data.size(), 36u);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 12; ++x) EXPECT_EQ(mask->Data[static_cast<size_t>(y * 12 + x)], x % 4 == y ? 1 : 0);
  EXPECT_EQ(CreateMaskFromImage(nullptr), nullptr);
  TImage bare;
  EXPECT_EQ(CreateMaskFromImage(&bare), nullptr);
}

// Colour-keyed images are stored run-length encoded where that draws faster;
// either way black must stay transparent and the pixels must not change.
TEST_F(Masks, ColourKeyKeepsBlackTransparentWhateverTheEncoding) {
  struct {
    const char* name;
    std::function<uint32_t(int, int)> colour;
  } cases[] = {
      {"blob", [](int x, int y) { return (x - 8) * (x - 8) + (y - 8) * (y - 8) < 40 ? 0x3366CCu : 0u; }},
      {"dither", [](int x, int y) { return (x + y) % 3 != 0 ? 0xCC6633u : 0u; }},
      {"solid", [](int, int) { return 0x010101u; }},
      {"empty", [](int, int) { return 0u; }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TImagePtr keyed = Make(16, 16, c.colour, true);
    ASSERT_NE(keyed, nullptr);
    TImagePtr target = CreateImageWH(20, 20);
    ImageBar(target.get(), 0, 0, 19, 19, 0x80, 0x80, 0x80);
    PutImageOnImage(target.get(), 2, 2, keyed.get());
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 16; ++x) {
        const uint32_t want = c.colour(x, y) == 0 ? 0x808080u : c.colour(x, y);
        ASSERT_EQ(ImagePx(target.get(), x + 2, y + 2), want) << x << "," << y;
      }
    // The image's own pixels read back unchanged, as does its mask.
    TMaskPtr mask = CreateMaskFromImage(keyed.get());
    ASSERT_NE(mask, nullptr);
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 16; ++x) {
        EXPECT_EQ(ImagePx(keyed.get(), x, y), c.colour(x, y));
        EXPECT_EQ(mask->Data[static_cast<size_t>(y * 16 + x)], c.colour(x, y) != 0 ? 1 : 0);
      }
    EXPECT_NE(keyed->Surface->flags & SDL_SRCCOLORKEY, 0u);
    EXPECT_EQ(keyed->Surface->format->colorkey, 0u);
    // Switching the key off makes black draw again.
    SetImageColorKey(keyed.get(), false);
    PutImageOnImage(target.get(), 2, 2, keyed.get());
    EXPECT_EQ(ImagePx(target.get(), 2, 2), c.colour(0, 0));
    EXPECT_FALSE(keyed->ColorKeyed);
    // And on again.
    SetImageColorKeyRLE(keyed.get());
    ImageBar(target.get(), 0, 0, 19, 19, 0x80, 0x80, 0x80);
    PutImageOnImage(target.get(), 2, 2, keyed.get());
    EXPECT_EQ(ImagePx(target.get(), 2, 2), c.colour(0, 0) == 0 ? 0x808080u : c.colour(0, 0));
    EXPECT_TRUE(keyed->ColorKeyed);
  }
}

TEST_F(Masks, ExtractedFramesKeepTheirTransparency) {
  TImagePtr strip = Make(32, 4, [](int x, int y) { return x % 16 < 8 && y < 2 ? 0xFFFF00u : 0u; }, true);
  ASSERT_NE(strip, nullptr);
  strip->Animated = true;
  strip->FrameCount = 2;
  TImagePtr frame = ExtractFrame(strip.get(), 1);
  ASSERT_NE(frame, nullptr);
  TImagePtr target = CreateImageWH(16, 4);
  ImageBar(target.get(), 0, 0, 15, 3, 0, 0, 0xFF);
  PutImageOnImage(target.get(), 0, 0, frame.get());
  EXPECT_EQ(ImagePx(target.get(), 0, 0), 0xFFFF00u);
  EXPECT_EQ(ImagePx(target.get(), 12, 0), 0x0000FFu);
  EXPECT_EQ(ImagePx(target.get(), 0, 3), 0x0000FFu);
}

}  // namespace

// Making masks of a keyed picture (as every sprite and the collections do,
// once per game) leaves it drawing as before, however often it happens.
TEST_F(Masks, KeyedImageStillDrawsAfterItsMasksAreMade) {
  const auto colour = [](int x, int y) { return x >= 2 && x < 14 && y >= 1 ? 0x3366CCu : 0u; };
  TImagePtr keyed = Make(16, 16, colour, true);
  ASSERT_NE(keyed, nullptr);
  TImagePtr target = CreateImageWH(16, 16);
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    TMaskPtr mask = CreateMaskFromImage(keyed.get());
    ASSERT_NE(mask, nullptr);
    EXPECT_EQ(mask->Data[static_cast<size_t>(5 * 16 + 5)], 1);
    EXPECT_EQ(mask->Data[0], 0);
    ImageBar(target.get(), 0, 0, 15, 15, 0x80, 0x80, 0x80);
    PutImageOnImage(target.get(), 0, 0, keyed.get());
    EXPECT_EQ(ImagePx(target.get(), 5, 5), 0x3366CCu);
    EXPECT_EQ(ImagePx(target.get(), 0, 0), 0x808080u);
  }
}
