#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../platform/ImageFixtures.h"
#include "RawPictureUnit.h"
#include "SpriteUnit.h"
#include "TestSupport.h"
#include "ZR_SDL.h"

using namespace imgfix;

namespace {

// Colour of frame f of the test strips.
uint32_t FrameRGB(int f) { return 0x200000u * static_cast<uint32_t>(f + 1) + 0x10; }

// A strip of `frames` 4 by 3 frames with a long attribute block.
TImagePtr Strip(int frames, uint8_t flags, uint8_t attrA, uint8_t attrB, uint16_t start = 0) {
  TRawPicture p(4 * frames, 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4 * frames; ++x) {
      const uint32_t c = FrameRGB(x / 4);
      uint8_t* px = p.PixelAt(x, y);
      px[0] = static_cast<uint8_t>(c);
      px[1] = static_cast<uint8_t>(c >> 8);
      px[2] = static_cast<uint8_t>(c >> 16);
    }
  p.SetExtraType(etLong);
  const uint8_t block[6] = {static_cast<uint8_t>(frames), flags, attrA, attrB, static_cast<uint8_t>(start),
                            static_cast<uint8_t>(start >> 8)};
  for (int i = 0; i < 6; ++i) p.SetExtraByte(i, block[i]);
  return CreateImageFromRawPicture(p);
}

class Sprites : public ::testing::Test {
 protected:
  void SetUp() override {
    Target_ = CreateImageWH(40, 30);
    SpriteTarget = Target_.get();
  }
  void TearDown() override { SpriteTarget = nullptr; }

  // The frame each of `draws` draws shows, read from the target.
  std::vector<int> Frames(TSprite& s, int draws) {
    std::vector<int> out;
    for (int i = 0; i < draws; ++i) {
      s.Draw();
      const uint32_t c = ImagePx(Target_.get(), s.X + 1, s.Y + 1);
      int f = -1;
      for (int k = 0; k < 8; ++k)
        if (FrameRGB(k) == c) f = k;
      out.push_back(f);
    }
    return out;
  }

  vgrtest::TScopedLog Log_;
  TDisplay Display_;
  TImagePtr Target_;
};

TEST_F(Sprites, CreationTakesTheImagesAttributes) {
  TImagePtr strip = Strip(3, AttrFlagB | AttrFlagC, 2, 1, 2);
  TSprite s(5, 6, strip.get());
  EXPECT_EQ(s.Target, Target_.get());
  EXPECT_EQ(s.X, 5);
  EXPECT_EQ(s.Y, 6);
  EXPECT_TRUE(s.Animated);
  EXPECT_EQ(s.FrameCount, 3);
  EXPECT_EQ(s.FrameWidth, 4);
  EXPECT_EQ(s.CurrentFrame, 2);
  EXPECT_TRUE(s.Looping);
  EXPECT_TRUE(s.Paused);
  EXPECT_EQ(s.FrameDelay, 2);
  EXPECT_EQ(s.HoldCount, 1);
  EXPECT_EQ(s.DelayCounter, -1);
  EXPECT_EQ(s.HoldCounter, -1);
  EXPECT_FALSE(s.Reverse || s.Hidden || s.Finished);
  EXPECT_TRUE(s.Visible);
  EXPECT_EQ(s.Background, nullptr);

  TImagePtr single = CreateImageWH(7, 5);
  SpriteTarget = nullptr;
  TSprite plain(0, 0, single.get());
  EXPECT_EQ(plain.Target, BackImage);  // no sprite target: the back buffer
  EXPECT_FALSE(plain.Animated);
  EXPECT_EQ(plain.FrameWidth, 7);
  EXPECT_EQ(plain.CurrentFrame, 0);
}

TEST_F(Sprites, FrameDelays) {
  struct {
    uint8_t delay;
    std::vector<int> frames;
  } cases[] = {
      {0, {0, 1, 2, 0, 1, 2, 0}},
      {3, {0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.delay);
    TImagePtr strip = Strip(3, AttrFlagB, c.delay, 0);
    TSprite s(2, 2, strip.get());
    EXPECT_EQ(Frames(s, static_cast<int>(c.frames.size())), c.frames);
  }
}

TEST_F(Sprites, HoldCountsLoopingAndReverse) {
  struct {
    const char* name;
    uint8_t flags, delay, hold;
    uint16_t start;
    bool reverse;
    std::vector<int> frames;
    bool finished;
  } cases[] = {
      {"hold 0", AttrFlagB, 0, 0, 0, false, {0, 1, 2, 0, 1, 2}, false},
      {"hold 2", AttrFlagB, 0, 2, 0, false, {0, 1, 2, 2, 2, 0, 1, 2, 2, 2, 0}, false},
      {"hold 1, delay 1", AttrFlagB, 1, 1, 0, false, {0, 0, 1, 1, 2, 2, 2, 2, 0}, false},
      {"not looping", 0, 0, 5, 0, false, {0, 1, 2, 2, 2, 2}, true},
      {"reverse", AttrFlagB, 0, 0, 2, true, {2, 1, 0, 2, 1, 0, 2}, false},
      {"reverse, not looping", 0, 0, 0, 2, true, {2, 1, 0, 0}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TImagePtr strip = Strip(3, c.flags, c.delay, c.hold, c.start);
    TSprite s(3, 4, strip.get());
    s.Reverse = c.reverse;
    EXPECT_EQ(Frames(s, static_cast<int>(c.frames.size())), c.frames);
    EXPECT_EQ(s.Finished, c.finished);
  }
  // Finished is set by the draw that ends the last frame's period, not earlier.
  TImagePtr strip = Strip(2, 0, 0, 0);
  TSprite s(0, 0, strip.get());
  s.Draw();
  EXPECT_FALSE(s.Finished);
  s.Draw();
  EXPECT_TRUE(s.Finished);
  EXPECT_EQ(s.CurrentFrame, 1);
}

TEST_F(Sprites, PausedSpritesDrawButNeverAdvance) {
  TImagePtr strip = Strip(3, AttrFlagB | AttrFlagC, 0, 0, 1);
  TSprite s(1, 1, strip.get());
  EXPECT_EQ(Frames(s, 5), (std::vector<int>{1, 1, 1, 1, 1}));
  EXPECT_EQ(s.DelayCounter, -1);
  s.Paused = false;
  EXPECT_EQ(Frames(s, 3), (std::vector<int>{1, 2, 0}));
}

TEST_F(Sprites, EraseFromBackgroundOrBlack) {
  TImagePtr strip = Strip(3, AttrFlagB, 0, 0);
  TSprite s(10, 12, strip.get());
  ImageBar(Target_.get(), 0, 0, 39, 29, 0, 0xFF, 0);
  s.Draw();
  s.Erase();
  // Without a background: the frame's rectangle (4 by 3) becomes black.
  for (int y = 11; y <= 15; ++y)
    for (int x = 9; x <= 14; ++x) {
      const bool inside = x >= 10 && x <= 13 && y >= 12 && y <= 14;
      EXPECT_EQ(ImagePx(Target_.get(), x, y), inside ? 0u : 0x00FF00u) << x << "," << y;
    }
  // With one: the matching piece of the background comes back.
  TImagePtr background = CreateImageWH(30, 20);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 30; ++x) ImageBar(background.get(), x, y, x, y, static_cast<uint8_t>(x), static_cast<uint8_t>(y), 7);
  s.SetBackground(background.get(), 5, 6);
  s.Draw();
  s.Erase();
  for (int y = 12; y <= 14; ++y)
    for (int x = 10; x <= 13; ++x)
      EXPECT_EQ(ImagePx(Target_.get(), x, y), (static_cast<uint32_t>(x - 5) << 16) | (static_cast<uint32_t>(y - 6) << 8) | 7u);
  EXPECT_EQ(ImagePx(Target_.get(), 14, 12), 0x00FF00u);
}

TEST_F(Sprites, HiddenAndInvisibleSpritesNeitherDrawNorErase) {
  TImagePtr single = CreateImageWH(3, 3);
  ImageBar(single.get(), 0, 0, 2, 2, 0xFF, 0xFF, 0xFF);
  TSprite s(0, 0, single.get());
  ImageBar(Target_.get(), 0, 0, 39, 29, 0x11, 0x22, 0x33);
  s.Hide();
  s.Draw();
  s.Erase();
  EXPECT_EQ(ImagePx(Target_.get(), 1, 1), 0x112233u);
  s.Show();
  s.Visible = false;
  s.Draw();
  s.Erase();
  EXPECT_EQ(ImagePx(Target_.get(), 1, 1), 0x112233u);
  s.Visible = true;
  s.Draw();
  EXPECT_EQ(ImagePx(Target_.get(), 1, 1), 0xFFFFFFu);
  s.Erase();
  EXPECT_EQ(ImagePx(Target_.get(), 1, 1), 0u);
}

TEST_F(Sprites, PositionAndImageChanges) {
  TImagePtr strip = Strip(3, AttrFlagB, 0, 0);
  TSprite s(1, 2, strip.get());
  s.MoveBy(3, -1);
  EXPECT_EQ(s.X, 4);
  EXPECT_EQ(s.Y, 1);
  s.SetPosition(-7, 9);
  EXPECT_EQ(s.X, -7);
  EXPECT_EQ(s.Y, 9);
  // A single picture of the frame width is one frame; a longer strip more.
  TImagePtr single = CreateImageWH(4, 3);
  s.SetImage(single.get());
  EXPECT_EQ(s.FrameCount, 1);
  EXPECT_EQ(s.FrameWidth, 4);
  TImagePtr longer = Strip(5, 0, 0, 0);
  s.SetImage(longer.get());
  EXPECT_EQ(s.FrameCount, 5);
  // A sprite made without a picture takes the new picture's width.
  TSprite empty(0, 0, nullptr);
  empty.Draw();
  empty.Erase();
  empty.SetImage(single.get());
  EXPECT_EQ(empty.FrameWidth, 4);
  EXPECT_EQ(empty.FrameCount, 1);
}

}  // namespace
