// A collision mask made from a run-length encoded picture that has already
// been drawn must leave the picture drawable: a second professor made in the
// same run (a second game, or the end scenes after a game) builds its masks
// from the same collection pictures the first one drew.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "ZR_SDL.h"

namespace {

int LitPixels(int x0, int y0, int w, int h) {
  int lit = 0;
  LockSurface(BackSurface);
  for (int y = y0; y < y0 + h; ++y)
    for (int x = x0; x < x0 + w; ++x)
      if (GetPixel(BackSurface, x, y) != 0) ++lit;
  UnlockSurface(BackSurface);
  return lit;
}

TEST(MaskAfterBlit, AnEncodedPictureStillDrawsAfterItsMaskIsMade) {
  vgrtest::TScopedLog log;
  Initialize(640, 400, 32, VF_BACKBUFFER);
  // Long opaque runs, so the picture is stored run-length encoded.
  TImagePtr picture = CreateImageWH(20, 32);
  ImageBar(picture.get(), 2, 0, 17, 31, 200, 180, 160);
  ImageBar(picture.get(), 8, 10, 11, 20, 0, 0, 0);
  SetImageColorKeyRLE(picture.get());
  const int lit = 16 * 32 - 4 * 11;
  Bar(0, 0, 639, 399, 0, 0, 0);
  TMaskPtr first = CreateMaskFromImage(picture.get());
  PutImage(100, 100, picture.get());
  EXPECT_EQ(LitPixels(100, 100, 20, 32), lit);
  for (int round = 0; round < 2; ++round) {
    TMaskPtr again = CreateMaskFromImage(picture.get());
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->Data, first->Data);
    PutImage(200 + 40 * round, 100, picture.get());
    EXPECT_EQ(LitPixels(200 + 40 * round, 100, 20, 32), lit) << "round " << round;
  }
  int set = 0;
  for (uint8_t b : first->Data) set += b;
  EXPECT_EQ(set, lit);
  picture.reset();
  Finalize();
}

}  // namespace
