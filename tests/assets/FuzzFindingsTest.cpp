// Inputs the fuzzers found, kept as cases: each once made the program
// allocate far beyond its limits or run for seconds. The same inputs are
// replayed from fuzz/corpus/ by the fuzz targets.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "PictureFixtures.h"
#include "RAWTRANSFORM.h"
#include "RawPictureUnit.h"
#include "TestSupport.h"
#include "ZRStream3.h"

using namespace picfix;

namespace {

bool Logged(const vgrtest::TScopedLog& log, const std::string& text) {
  for (const auto& l : log.Lines())
    if (l.find(text) != std::string::npos) return true;
  return false;
}

TEST(FuzzFindings, RunLengthBMPClaimingAHugePictureIsRefusedBeforeAllocation) {
  // A few bytes of 8-bit run-length data claim a picture of sides within the
  // limit, whose pixels would still take more than 64 MiB.
  struct {
    int32_t width, height;
    bool loads;
  } cases[] = {{16384, 16384, false}, {7937, 13107, false}, {8192, 2731, false}, {300, 200, true}};
  for (const auto& c : cases) {
    vgrtest::TScopedLog log;
    const Bytes file = MakeBMP(c.width, c.height, 8, 1, {0, 0xFFFFFF}, Bytes{2, 1, 0, 1}, 2);
    TMemoryStream s(file);
    TRawPicture p;
    p.ReadBMP(s);
    EXPECT_EQ(p.Width, c.loads ? c.width : 0) << c.width << "x" << c.height;
    EXPECT_EQ(p.Pixels.size(), c.loads ? static_cast<size_t>(c.width) * c.height * 3 : 0u);
    EXPECT_EQ(Logged(log, "Picture too large!"), !c.loads) << c.width << "x" << c.height;
  }
}

TEST(FuzzFindings, SetSizeRefusesMoreThan64MiBOfPixels) {
  TRawPicture p(4, 4);
  EXPECT_FALSE(p.SetSize(8192, 2731));  // 67,117,056 bytes
  EXPECT_EQ(p.Width, 0);
  EXPECT_TRUE(p.Pixels.empty());
  EXPECT_TRUE(p.SetSize(16, 8));
  EXPECT_EQ(p.Pixels.size(), 16u * 8 * 3);
}

TEST(FuzzFindings, DoublingStopsAtTheSizeLimit) {
  // A name with a row of "D"s doubles a small picture until a limit stops it:
  // a side past 16384, or pixels past 64 MiB (4096 by 2731 doubled would take
  // 134,234,112 bytes). A refused step leaves the picture as it was.
  struct {
    int32_t width, height;
  } cases[] = {{8193, 2}, {2, 8193}, {4096, 2731}};
  for (const auto& c : cases) {
    vgrtest::TScopedLog log;
    TRawPicture p(c.width, c.height);
    p.PixelAt(c.width - 1, c.height - 1)[2] = 0xAB;
    EXPECT_FALSE(TransformRawImage(p, 'D')) << c.width << "x" << c.height;
    EXPECT_EQ(p.Width, c.width);
    EXPECT_EQ(p.Height, c.height);
    EXPECT_EQ(p.PixelAt(c.width - 1, c.height - 1)[2], 0xAB);
    EXPECT_TRUE(Logged(log, "Picture too large to double!"));
  }
}

TEST(FuzzFindings, ALoweredPixelLimitHoldsForReadingAndDoubling) {
  // The fuzz targets lower the limit; every path that sizes a picture obeys it.
  const int64_t previous = SetMaxPictureBytes(64 * 64 * 3);
  EXPECT_EQ(previous, int64_t{64} << 20);
  {
    vgrtest::TScopedLog log;
    TRawPicture p;
    EXPECT_TRUE(p.SetSize(64, 64));
    EXPECT_FALSE(p.SetSize(65, 64));
    TMemoryStream s(MakeBMP(65, 64, 8, 1, {0, 0xFFFFFF}, Bytes{2, 1, 0, 1}, 2));
    p.ReadBMP(s);
    EXPECT_EQ(p.Width, 0);
    EXPECT_TRUE(Logged(log, "Picture too large! (65x64)"));
    TRawPicture q(40, 40);
    EXPECT_FALSE(TransformRawImage(q, 'D'));
    EXPECT_EQ(q.Width, 40);
    EXPECT_TRUE(Logged(log, "Picture too large to double!"));
  }
  EXPECT_EQ(SetMaxPictureBytes(previous), 64 * 64 * 3);
  TRawPicture big;
  EXPECT_TRUE(big.SetSize(1000, 1000));
}

TEST(FuzzFindings, DoublingCopiesEveryPixelIntoATwoByTwoBlock) {
  TRawPicture p(3, 2);
  for (int32_t y = 0; y < 2; ++y)
    for (int32_t x = 0; x < 3; ++x) p.PixelAt(x, y)[0] = static_cast<uint8_t>(10 * y + x);
  ASSERT_TRUE(TransformRawImage(p, 'D'));
  ASSERT_EQ(p.Width, 6);
  ASSERT_EQ(p.Height, 4);
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 6; ++x) EXPECT_EQ(p.PixelAt(x, y)[0], 10 * (y / 2) + x / 2) << x << "," << y;
}

TEST(FuzzFindings, DoublingAPictureWithoutColumnsOrRows) {
  struct {
    int32_t width, height;
  } cases[] = {{0, 5}, {5, 0}, {0, 0}};
  for (const auto& c : cases) {
    TRawPicture p(c.width, c.height);
    EXPECT_TRUE(TransformRawImage(p, 'D')) << c.width << "x" << c.height;
    EXPECT_EQ(p.Width, c.width * 2);
    EXPECT_EQ(p.Height, c.height * 2);
    EXPECT_TRUE(p.Pixels.empty());
  }
}

}  // namespace
