#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "PictureFixtures.h"
#include "RAWTRANSFORM.h"
#include "RawPictureUnit.h"
#include "TestSupport.h"

using namespace picfix;

namespace {

// A picture whose pixel (x, y) has the colour 0x0000yx (as hex digits).
TRawPicture Numbered(int32_t w, int32_t h) {
  TRawPicture p(w, h);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      uint8_t* c = p.PixelAt(x, y);
      c[0] = static_cast<uint8_t>(y * 16 + x);
      c[1] = 0;
      c[2] = 0;
    }
  return p;
}

std::vector<std::string> LinesStartingWith(const vgrtest::TScopedLog& log, char first) {
  std::vector<std::string> out;
  for (const auto& l : log.Lines()) {
    if (!l.empty() && l[0] == first) out.push_back(l);
  }
  return out;
}

TEST(Transform, SingleCommands) {
  struct {
    const char* commands;
    int32_t w, h;
    int32_t outW, outH;
    std::vector<uint32_t> expected;
  } cases[] = {
      {"H", 3, 1, 3, 1, {0x02, 0x01, 0x00}},
      {"V", 1, 3, 1, 3, {0x20, 0x10, 0x00}},
      {"R", 2, 1, 1, 2, {0x00, 0x01}},
      {"r", 2, 1, 1, 2, {0x01, 0x00}},
      // 3 by 2 quarter turns: rows 00 01 02 / 10 11 12.
      {"R", 3, 2, 2, 3, {0x10, 0x00, 0x11, 0x01, 0x12, 0x02}},
      {"r", 3, 2, 2, 3, {0x02, 0x12, 0x01, 0x11, 0x00, 0x10}},
      {"I", 2, 1, 2, 1, {0xFFFFFF, 0xFFFFFE}},
      {"D", 2, 1, 4, 2, {0x00, 0x00, 0x01, 0x01, 0x00, 0x00, 0x01, 0x01}},
      {"DH", 2, 1, 4, 2, {0x01, 0x01, 0x00, 0x00, 0x01, 0x01, 0x00, 0x00}},
      {"HD", 2, 1, 4, 2, {0x01, 0x01, 0x00, 0x00, 0x01, 0x01, 0x00, 0x00}},
      {"HV", 2, 2, 2, 2, {0x11, 0x10, 0x01, 0x00}},
      {"RV", 2, 1, 1, 2, {0x01, 0x00}},
  };
  for (const auto& c : cases) {
    TRawPicture p = Numbered(c.w, c.h);
    p.MultiTransform(c.commands);
    ASSERT_EQ(p.Width, c.outW) << c.commands;
    ASSERT_EQ(p.Height, c.outH) << c.commands;
    EXPECT_EQ(AllPx(p), c.expected) << c.commands;
  }
  TRawPicture p = Numbered(3, 2);
  p.MultiTransform("DD");
  EXPECT_EQ(p.Width, 12);
  EXPECT_EQ(p.Height, 8);
  EXPECT_EQ(Px(p, 11, 7), 0x12u);
}

TEST(Transform, Identities) {
  for (const char* commands : {"HH", "VV", "II", "RRRR", "rrrr", "Rr", "rR", "HVHV", "RRHV", ""}) {
    TRawPicture p = Numbered(3, 2);
    p.SetExtraType(etShort);
    p.SetExtraByte(0, 1);
    p.SetExtraByte(1, 0x40);
    const TRawPicture before = Numbered(3, 2);
    p.MultiTransform(commands);
    EXPECT_EQ(p.Width, 3) << commands;
    EXPECT_EQ(p.Height, 2) << commands;
    EXPECT_EQ(p.Pixels, before.Pixels) << commands;
    EXPECT_EQ(p.Extra, (Bytes{1, 0x40})) << commands << ": attributes untouched";
  }
}

// A strip of four 2 by 2 frames; frame f has colour 0x0f0yx at (x, y).
TRawPicture Strip(int32_t frames, int32_t fw, int32_t h) {
  TRawPicture p(frames * fw, h);
  for (int32_t f = 0; f < frames; ++f)
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < fw; ++x) {
        uint8_t* c = p.PixelAt(f * fw + x, y);
        c[0] = static_cast<uint8_t>(y * 16 + x);
        c[1] = static_cast<uint8_t>(f);
        c[2] = 0;
      }
  p.SetExtraType(etShort);
  p.SetExtraByte(0, static_cast<uint8_t>(frames));
  return p;
}

TEST(Transform, AnimatedPicturesFrameByFrame) {
  TRawPicture p = Strip(4, 2, 2);
  p.MultiTransform("H");
  for (int f = 0; f < 4; ++f) {
    EXPECT_EQ(Px(p, f * 2, 0), static_cast<uint32_t>(f << 8 | 0x01)) << f;
    EXPECT_EQ(Px(p, f * 2 + 1, 1), static_cast<uint32_t>(f << 8 | 0x10)) << f;
  }
  // Square frames rotate in place.
  p = Strip(3, 2, 2);
  p.MultiTransform("R");
  for (int f = 0; f < 3; ++f) {
    EXPECT_EQ(Px(p, f * 2, 0), static_cast<uint32_t>(f << 8 | 0x10)) << f;
    EXPECT_EQ(Px(p, f * 2 + 1, 0), static_cast<uint32_t>(f << 8 | 0x00)) << f;
  }
  // "D" doubles the whole strip at the end; every frame becomes twice as wide.
  p = Strip(2, 2, 1);
  p.MultiTransform("DH");
  ASSERT_EQ(p.Width, 8);
  ASSERT_EQ(p.Height, 2);
  EXPECT_EQ(AllPx(p), (std::vector<uint32_t>{0x001, 0x001, 0x000, 0x000, 0x101, 0x101, 0x100, 0x100,  //
                                             0x001, 0x001, 0x000, 0x000, 0x101, 0x101, 0x100, 0x100}));
  EXPECT_EQ(p.FrameCount(), 2);
  // The long block carries the frame count too.
  p = Strip(2, 2, 1);
  p.SetExtraType(etLong);
  p.SetExtraByte(0, 2);
  p.MultiTransform("H");
  EXPECT_EQ(AllPx(p), (std::vector<uint32_t>{0x001, 0x000, 0x101, 0x100}));
}

TEST(Transform, NotSquareFramesSkipRotationWithAWarning) {
  vgrtest::TScopedLog log;
  TRawPicture p = Strip(2, 3, 2);
  p.MultiTransform("RHr");
  EXPECT_EQ(p.Width, 6);
  EXPECT_EQ(p.Height, 2);
  EXPECT_EQ(Px(p, 0, 0), 0x002u) << "H still runs";
  EXPECT_EQ(Px(p, 3, 1), 0x112u);
  EXPECT_EQ(LinesStartingWith(log, '['),
            (std::vector<std::string>{"[RawPictureUnit, TRawPicture.MultiTransform] Rotation skipped, the frames "
                                      "are not square! (3x2)"}));
}

TEST(Transform, FrameCountZeroIsOnePicture) {
  TRawPicture p = Numbered(3, 1);
  p.SetExtraType(etShort);
  p.MultiTransform("H");
  EXPECT_EQ(AllPx(p), (std::vector<uint32_t>{0x02, 0x01, 0x00}));
}

TEST(Transform, MessagesInTheRunLog) {
  {
    vgrtest::TScopedLog log;
    TRawPicture p = Numbered(2, 1);
    p.MultiTransform("   ");
    EXPECT_EQ(LinesStartingWith(log, '<'),
              (std::vector<std::string>{"<RawPictureUnit, TRawPicture.MultiTransform> No transformation needed."}));
    EXPECT_EQ(AllPx(p), (std::vector<uint32_t>{0x00, 0x01}));
  }
  {
    vgrtest::TScopedLog log;
    TRawPicture p = Numbered(2, 1);
    p.MultiTransform("HXD ");
    const std::string m = "<RawPictureUnit, TRawPicture.MultiTransform> ";
    const std::string e = "<RawPictureUnit, TRawPicture.MultiTransformEx> ";
    EXPECT_EQ(LinesStartingWith(log, '<'),
              (std::vector<std::string>{m + "Starting...", m + "Transformation string: HXD ", m + "Size: 2x1",
                                        m + "Not animated.", e + "[1/3] H", e + "[2/3] X", e + "[3/3]  ",
                                        e + "Finished."}));
    EXPECT_EQ(LinesStartingWith(log, '['),
              (std::vector<std::string>{"[RAWTRANSFORM, TransformRawImage] Unknown transformation command (X)",
                                        "[RAWTRANSFORM, TransformRawImage] Unknown transformation command ( )"}));
    EXPECT_EQ(p.Width, 4);
  }
  {
    vgrtest::TScopedLog log;
    TRawPicture p = Strip(2, 1, 1);
    p.MultiTransform("V");
    const auto debug = LinesStartingWith(log, '<');
    const std::string m = "<RawPictureUnit, TRawPicture.MultiTransform> ";
    const std::vector<std::string> head = {m + "Starting...",   m + "Transformation string: V", m + "Size: 2x1",
                                           m + "Animated.",     m + "Framecount: 2",            m + "Framewidth: 1",
                                           m + "Processing frame 1.", m + "->Single",          m + "Transforming"};
    ASSERT_GE(debug.size(), head.size());
    EXPECT_EQ(std::vector<std::string>(debug.begin(), debug.begin() + static_cast<std::ptrdiff_t>(head.size())), head);
    EXPECT_NE(std::find(debug.begin(), debug.end(), m + "Processing frame 2."), debug.end());
    EXPECT_NE(std::find(debug.begin(), debug.end(), m + "Single->"), debug.end());
  }
}

TEST(Transform, LongStringsGiveWhatEachLetterInTurnGives) {
  // Names apply their letters gathered into one turn, mirror and inversion;
  // the result must be that of every letter applied in order.
  uint32_t seed = 2024;
  const std::string letters = "HVRrIDHVRrI";
  for (int round = 0; round < 300; ++round) {
    seed = seed * 134775813u + 1;
    const int32_t w = 1 + static_cast<int32_t>(seed >> 28), h = 1 + static_cast<int32_t>((seed >> 24) & 7);
    std::string commands;
    for (int i = 0, n = static_cast<int>((seed >> 16) & 15); i < n; ++i) {
      seed = seed * 134775813u + 1;
      commands += letters[(seed >> 20) % letters.size()];
    }
    TRawPicture gathered = Numbered(w, h);
    gathered.MultiTransformEx(commands);
    TRawPicture stepwise = Numbered(w, h);
    for (char c : commands) TransformRawImage(stepwise, c);
    ASSERT_EQ(gathered.Width, stepwise.Width) << commands << " on " << w << "x" << h;
    ASSERT_EQ(gathered.Height, stepwise.Height) << commands;
    EXPECT_EQ(gathered.Pixels, stepwise.Pixels) << commands << " on " << w << "x" << h;
  }
}

TEST(Transform, DoublingStopsAtTheSizeLimit) {
  vgrtest::TScopedLog log;
  TRawPicture p = Numbered(5000, 1);
  p.MultiTransform("DD");
  EXPECT_EQ(p.Width, 10000);
  EXPECT_EQ(p.Height, 2);
  EXPECT_EQ(LinesStartingWith(log, '[').size(), 1u);
  EXPECT_FALSE(TransformRawImage(p, 'D'));
  EXPECT_TRUE(TransformRawImage(p, 'H'));
  EXPECT_FALSE(TransformRawImage(p, 'x'));
}

TEST(Transform, EmptyPicturesAreHarmless) {
  TRawPicture p;
  p.MultiTransform("HVRrID");
  EXPECT_EQ(p.Width, 0);
  EXPECT_EQ(p.Height, 0);
  TRawPicture q = Strip(5, 1, 1);
  q.SetExtraByte(0, 9);  // more frames than columns
  q.MultiTransform("H");
  EXPECT_EQ(q.Width, 5);
}

}  // namespace
