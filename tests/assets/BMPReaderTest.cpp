#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "PictureFixtures.h"
#include "RawPictureUnit.h"
#include "TestSupport.h"
#include "ZRStream3.h"

using namespace picfix;

namespace {

std::vector<std::string> Warnings(const vgrtest::TScopedLog& log) {
  std::vector<std::string> out;
  for (const auto& l : log.Lines()) {
    if (!l.empty() && l[0] == '[') out.push_back(l);
  }
  return out;
}

struct TDecoded {
  TRawPicture Picture;
  std::vector<std::string> Warnings;
};

// Decodes into a picture that already holds a 1 by 1 picture, so that an
// untouched picture can be told from a failed load.
TDecoded DecodeBMP(const Bytes& file, bool fresh = false) {
  TDecoded d;
  if (!fresh) {
    d.Picture.SetSize(1, 1);
    d.Picture.Pixels = {1, 2, 3};
  }
  vgrtest::TScopedLog log;
  TMemoryStream s(file);
  d.Picture.ReadBMP(s);
  d.Warnings = Warnings(log);
  return d;
}

const std::string kLoc = "[RawPictureUnit, TRawPicture.ReadBMP] ";

TEST(ReadBMP, PalettedAndTrueColourRows) {
  const std::vector<uint32_t> pal16 = {0x000000, 0x111111, 0x222222, 0x333333, 0x444444, 0x555555,
                                       0x666666, 0x777777, 0x888888, 0x999999, 0xAAAAAA, 0xBBBBBB,
                                       0xCCCCCC, 0xDDDDDD, 0xEEEEEE, 0xFFFFFF};
  struct {
    const char* name;
    Bytes file;
    int32_t width, height;
    std::vector<uint32_t> expected;
  } cases[] = {
      // Rows are stored bottom up; each padded to four bytes.
      {"1 bit, most significant bit first", MakeBMP(10, 2, 1, 0, {0x0000FF, 0xFF0000},
                                                    Bytes{0xFF, 0xC0, 0, 0, 0x80, 0x40, 0, 0}),
       10, 2,
       {0xFF0000, 0x0000FF, 0x0000FF, 0x0000FF, 0x0000FF, 0x0000FF, 0x0000FF, 0x0000FF, 0x0000FF, 0xFF0000,
        0xFF0000, 0xFF0000, 0xFF0000, 0xFF0000, 0xFF0000, 0xFF0000, 0xFF0000, 0xFF0000, 0xFF0000, 0xFF0000}},
      {"4 bit, high nibble first", MakeBMP(3, 1, 4, 0, pal16, Bytes{0x21, 0xF0, 0, 0}), 3, 1,
       {0x222222, 0x111111, 0xFFFFFF}},
      {"8 bit with three colours used", MakeBMP(3, 2, 8, 0, {0x010101, 0x020202, 0x030303},
                                                Bytes{2, 1, 0, 0xAA, 0, 0, 1, 0xAA}, 3),
       3, 2, {0x010101, 0x010101, 0x020202, 0x030303, 0x020202, 0x010101}},
      {"8 bit, index beyond the palette is black", MakeBMP(1, 1, 8, 0, {0x0A0A0A}, Bytes{5, 0, 0, 0}, 1), 1, 1,
       {0x000000}},
      {"24 bit", MakeBMP(2, 2, 24, 0, {}, Cat({BGR(1), BGR(2), {0, 0}, BGR(3), BGR(4), {0, 0}})), 2, 2,
       {3, 4, 1, 2}},
      {"24 bit, data behind a gap", MakeBMP(1, 1, 24, 0, {}, Cat({BGR(0xABCDEF), {0}}), 0, 60), 1, 1,
       {0xABCDEF}},
      {"8 bit, data behind a gap", MakeBMP(2, 1, 8, 0, {0x0A0B0C, 0x0D0E0F}, Bytes{1, 0, 0, 0}, 2, 80), 2, 1,
       {0x0D0E0F, 0x0A0B0C}},
      {"last row without its padding", MakeBMP(1, 1, 24, 0, {}, BGR(0x0F0F0F)), 1, 1, {0x0F0F0F}},
  };
  for (const auto& c : cases) {
    auto d = DecodeBMP(c.file);
    ASSERT_EQ(d.Picture.Width, c.width) << c.name;
    ASSERT_EQ(d.Picture.Height, c.height) << c.name;
    EXPECT_EQ(AllPx(d.Picture), c.expected) << c.name;
    EXPECT_TRUE(d.Warnings.empty()) << c.name;
    EXPECT_EQ(d.Picture.ExtraType, etNone) << c.name;
  }
}

TEST(ReadBMP, RunLengthEightBit) {
  const std::vector<uint32_t> pal = {0x000000, 0x110000, 0x002200, 0x000033, 0x444444};
  // A 6 by 3 picture. Bottom row: run of 2 (colour 1), absolute run of 3
  // (odd: one padding byte), end of line. Middle row: delta 2 right, run of
  // 1 (colour 4), delta one up and one right. Top row after the delta: run
  // of 9 that runs off the right edge, end of picture.
  const Bytes rle = {2, 1,  0, 3, 2, 3, 4, 0xEE, 0, 0,      // row 2 (bottom)
                     0, 2, 2, 0, 1, 4, 0, 2, 1, 1,        // row 1, then up to row 0
                     9, 3, 0, 1};
  auto d = DecodeBMP(MakeBMP(6, 3, 8, 1, pal, rle, 5));
  ASSERT_EQ(d.Picture.Width, 6);
  ASSERT_EQ(d.Picture.Height, 3);
  const uint32_t K = 0, R = 0x110000, G = 0x002200, B = 0x000033, W = 0x444444;
  EXPECT_EQ(AllPx(d.Picture), (std::vector<uint32_t>{K, K, K, K, B, B,  // x from 4 on
                                                     K, K, W, K, K, K,  //
                                                     R, R, G, B, W, K}));
  EXPECT_TRUE(d.Warnings.empty());

  // An even absolute run has no padding byte; data may end once every row is done.
  d = DecodeBMP(MakeBMP(2, 1, 8, 1, pal, Bytes{0, 4, 1, 2, 3, 4, 0, 0}, 5));
  ASSERT_EQ(d.Picture.Width, 2);
  EXPECT_EQ(AllPx(d.Picture), (std::vector<uint32_t>{R, G}));
  EXPECT_TRUE(d.Warnings.empty());
}

TEST(ReadBMP, RejectedAndDamagedFiles) {
  Bytes notBM = MakeBMP(1, 1, 24, 0, {}, BGR(1));
  notBM[0] = 'X';
  Bytes v4 = MakeBMP(1, 1, 24, 0, {}, BGR(1), 0, 0, 108);
  struct {
    const char* name;
    Bytes file;
    std::string warning;
    bool unchanged;
  } cases[] = {
      {"not BM", notBM, "Not a .BMP file!", true},
      {"empty", {}, "Not a .BMP file!", true},
      {"version 4 header", v4, "Only Windows V3 BMP header supported!", true},
      {"16 bits", MakeBMP(1, 1, 16, 0, {}, Bytes(4, 0)), "Unsupported BMP format! (16 bits, compression 0)", false},
      {"RLE4", MakeBMP(1, 1, 4, 2, std::vector<uint32_t>(16, 0), Bytes(4, 0)),
       "Unsupported BMP format! (4 bits, compression 2)", false},
      {"top-down rows", MakeBMP(1, -1, 24, 0, {}, Bytes(4, 0)), "Unsupported picture size! (1x-1)", false},
      {"zero width", MakeBMP(0, 1, 24, 0, {}, {}), "Unsupported picture size! (0x1)", false},
      {"too high", MakeBMP(1, 16385, 8, 0, {0}, {}, 1), "Picture too large! (1x16385)", false},
      {"row too long", MakeBMP(5462, 1, 24, 0, {}, {}), "Row too long! (16388 bytes)", false},
      {"palette too large", MakeBMP(1, 1, 8, 0, {}, Bytes(2000, 0), 300), "Palette too large! (300 entries)", false},
      {"rows missing", MakeBMP(2, 2, 24, 0, {}, Bytes(8, 0)), "Unexpected end of file!", false},
      {"data offset beyond the file", MakeBMP(1, 1, 24, 0, {}, {}, 0, 5000), "Unexpected end of file!", false},
      {"RLE8 without end", MakeBMP(2, 2, 8, 1, {0}, Bytes{2, 0, 0, 0}, 1), "Unexpected end of file!", false},
      {"RLE8 absolute run cut", MakeBMP(4, 1, 8, 1, {0}, Bytes{0, 4, 0, 0}, 1), "Unexpected end of file!", false},
  };
  for (const auto& c : cases) {
    auto d = DecodeBMP(c.file);
    EXPECT_EQ(d.Warnings, (std::vector<std::string>{kLoc + c.warning})) << c.name;
    if (c.unchanged) {
      EXPECT_EQ(d.Picture.Width, 1) << c.name;
      EXPECT_EQ(d.Picture.Pixels, (Bytes{1, 2, 3})) << c.name;
    } else {
      EXPECT_EQ(d.Picture.Width, 0) << c.name;
    }
  }
  // The widest 24-bit row that fits.
  auto d = DecodeBMP(MakeBMP(5461, 1, 24, 0, {}, Bytes(16384, 7)));
  EXPECT_EQ(d.Picture.Width, 5461);
  EXPECT_TRUE(d.Warnings.empty());
}

TEST(ReadBMP, TruncatedAtEveryOffset) {
  const std::vector<uint32_t> pal16(16, 0x123456);
  const Bytes files[] = {
      MakeBMP(4, 2, 24, 0, {}, Bytes(24, 9)),
      MakeBMP(8, 2, 4, 0, pal16, Bytes{0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF}),
      MakeBMP(4, 2, 8, 1, {1, 2, 3}, Bytes{4, 1, 0, 0, 0, 3, 1, 2, 0, 0, 1, 2, 0, 1}, 3),
  };
  for (const Bytes& file : files) {
    ASSERT_EQ(DecodeBMP(file).Picture.Width, file[28] == 24 ? 4 : file[28] == 4 ? 8 : 4);
    for (size_t n = 0; n < file.size(); ++n) {
      auto d = DecodeBMP(Bytes(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(n)), true);
      EXPECT_EQ(d.Picture.Width, 0) << n;
      EXPECT_EQ(d.Warnings.size(), 1u) << n;
    }
  }
}

}  // namespace

namespace {

TEST(WriteBMP24, RoundTripsThroughTheReader) {
  for (auto [w, h] : {std::pair<int32_t, int32_t>{1, 1}, {3, 2}, {4, 3}, {5, 1}}) {
    TRawPicture p(w, h);
    for (size_t i = 0; i < p.Pixels.size(); ++i) p.Pixels[i] = static_cast<uint8_t>(i * 7 + 1);
    TMemoryStream s;
    ASSERT_TRUE(WriteBMP24(p, s));
    const int64_t rowPadded = (w * 3 + 3) / 4 * 4;
    EXPECT_EQ(s.Size(), 54 + rowPadded * h);
    s.SetPosition(0);
    TRawPicture q;
    q.ReadBMP(s);
    EXPECT_EQ(q.Width, w);
    EXPECT_EQ(q.Height, h);
    EXPECT_EQ(q.Pixels, p.Pixels);
  }
  TRawPicture empty;
  TMemoryStream s;
  EXPECT_FALSE(WriteBMP24(empty, s));
}

}  // namespace
