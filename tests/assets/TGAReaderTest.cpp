#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "PictureFixtures.h"
#include "RawPictureUnit.h"
#include "TestSupport.h"
#include "ZRStream3.h"

using namespace picfix;

namespace {

struct TDecoded {
  TRawPicture Picture;
  std::string StdOut;
  std::vector<std::string> Warnings;
};

TDecoded DecodeTGA(const Bytes& file) {
  TDecoded d;
  vgrtest::TScopedLog log;
  TMemoryStream s(file);
  testing::internal::CaptureStdout();
  d.Picture.ReadTGA(s);
  d.StdOut = testing::internal::GetCapturedStdout();
  for (const auto& l : log.Lines()) {
    if (!l.empty() && l[0] == '[') d.Warnings.push_back(l);
  }
  return d;
}

// Pixels of a 3 by 2 picture, rows top to bottom.
const std::vector<uint32_t> kTop = {0x102030, 0x405060, 0x708090};
const std::vector<uint32_t> kBottom = {0xA0B0C0, 0xD0E0F0, 0x010203};

Bytes Rows24(const std::vector<std::vector<uint32_t>>& rows, int bytesPerPixel = 3) {
  Bytes b;
  for (const auto& row : rows)
    for (uint32_t c : row) {
      Bytes p = BGR(c);
      if (bytesPerPixel == 4) p.push_back(0x7F);
      b.insert(b.end(), p.begin(), p.end());
    }
  return b;
}

std::vector<uint32_t> Expected() {
  std::vector<uint32_t> e = kTop;
  e.insert(e.end(), kBottom.begin(), kBottom.end());
  return e;
}

TEST(ReadTGA, TrueColourDepthsAndRowOrders) {
  struct {
    const char* name;
    uint8_t depth;
    uint8_t descriptor;
    Bytes body;
  } cases[] = {
      {"24 top down", 24, 0x20, Rows24({kTop, kBottom})},
      {"24 bottom up", 24, 0x00, Rows24({kBottom, kTop})},
      {"32 top down", 32, 0x28, Rows24({kTop, kBottom}, 4)},
      {"32 bottom up", 32, 0x08, Rows24({kBottom, kTop}, 4)},
      {"right-to-left bit ignored", 24, 0x30, Rows24({kTop, kBottom})},
  };
  for (const auto& c : cases) {
    TGAHeader h;
    h.Width = 3;
    h.Height = 2;
    h.Depth = c.depth;
    h.Descriptor = c.descriptor;
    auto d = DecodeTGA(MakeTGA(h, {}, c.body));
    ASSERT_EQ(d.Picture.Width, 3) << c.name;
    ASSERT_EQ(d.Picture.Height, 2) << c.name;
    EXPECT_EQ(AllPx(d.Picture), Expected()) << c.name;
    EXPECT_EQ(d.Picture.ExtraType, etNone) << c.name;
    EXPECT_EQ(d.StdOut, "") << c.name;
    EXPECT_TRUE(d.Warnings.empty()) << c.name;
  }
}

TEST(ReadTGA, SixteenBitLayouts) {
  struct {
    const char* name;
    uint8_t descriptor;
    uint16_t value;
    uint32_t colour;
  } cases[] = {
      {"565 red", 0x20, 0xF800, 0xF80000},   {"565 green", 0x20, 0x07E0, 0x00FC00},
      {"565 blue", 0x20, 0x001F, 0x0000F8},  {"565 mixed", 0x20, 0x8A51, 0x884888},
      {"1555 red", 0x21, 0x7C00, 0xF80000},  {"1555 green", 0x21, 0x03E0, 0x00F800},
      {"1555 blue", 0x21, 0x001F, 0x0000F8}, {"1555 top bit ignored", 0x21, 0x8000, 0x000000},
  };
  for (const auto& c : cases) {
    TGAHeader h;
    h.Width = 1;
    h.Height = 1;
    h.Depth = 16;
    h.Descriptor = c.descriptor;
    auto d = DecodeTGA(MakeTGA(h, {}, U16s({c.value})));
    ASSERT_EQ(d.Picture.Width, 1) << c.name;
    EXPECT_EQ(Px(d.Picture, 0, 0), c.colour) << c.name;
  }
}

TEST(ReadTGA, ColourMappedAndGrey) {
  // Map entries are blue, green, red.
  const Bytes map = Cat({BGR(0x112233), BGR(0x445566), BGR(0x778899)});
  TGAHeader h;
  h.Type = 1;
  h.MapType = 1;
  h.MapLength = 3;
  h.MapEntryBits = 24;
  h.Width = 2;
  h.Height = 2;
  h.Depth = 8;
  h.Descriptor = 0x00;
  auto d = DecodeTGA(MakeTGA(h, {}, Cat({map, Bytes{2, 1, 0, 2}})));
  ASSERT_EQ(d.Picture.Width, 2);
  EXPECT_EQ(AllPx(d.Picture), (std::vector<uint32_t>{0x112233, 0x778899, 0x778899, 0x445566}));

  TGAHeader g;
  g.Type = 3;
  g.Width = 3;
  g.Height = 1;
  g.Depth = 8;
  d = DecodeTGA(MakeTGA(g, {}, Bytes{0, 0x80, 0xFF}));
  EXPECT_EQ(AllPx(d.Picture), (std::vector<uint32_t>{0x000000, 0x808080, 0xFFFFFF}));
}

// Run-length data of a 3 by 2 picture: a run crossing the row end and a raw
// packet crossing it back.
TEST(ReadTGA, RunLengthTypes) {
  const uint32_t A = 0x0A0B0C, B = 0x1A1B1C, C = 0x2A2B2C;
  struct {
    const char* name;
    uint8_t type;
    uint8_t depth;
    uint8_t descriptor;
    Bytes map;
    Bytes body;
    std::vector<uint32_t> expected;
  } cases[] = {
      {"type 10, 24 bit, top down", 10, 24, 0x20, {},
       Cat({{0x83}, BGR(A), {0x01}, BGR(B), BGR(C)}), {A, A, A, A, B, C}},
      {"type 10, 24 bit, bottom up", 10, 24, 0x00, {},
       Cat({{0x83}, BGR(A), {0x01}, BGR(B), BGR(C)}), {A, B, C, A, A, A}},
      {"type 10, raw packet over the row end", 10, 24, 0x20, {},
       Cat({{0x03}, BGR(A), BGR(B), BGR(C), BGR(A), {0x81}, BGR(C)}), {A, B, C, A, C, C}},
      {"type 10, 32 bit", 10, 32, 0x28, {},
       Cat({{0x84}, BGR(A), {0xFF}, {0x00}, BGR(B), {0xFF}}), {A, A, A, A, A, B}},
      {"type 10, 16 bit", 10, 16, 0x20, {}, Cat({{0x85}, U16s({0xF800})}),
       {0xF80000, 0xF80000, 0xF80000, 0xF80000, 0xF80000, 0xF80000}},
      {"type 9", 9, 8, 0x20, Cat({BGR(A), BGR(B), BGR(C)}), Bytes{0x82, 1, 0x02, 0, 2, 1},
       {B, B, B, A, C, B}},
      {"type 11", 11, 8, 0x00, {}, Bytes{0x01, 0x10, 0x20, 0x83, 0x30},
       {0x303030, 0x303030, 0x303030, 0x101010, 0x202020, 0x303030}},
  };
  for (const auto& c : cases) {
    TGAHeader h;
    h.Type = c.type;
    h.Depth = c.depth;
    h.Descriptor = c.descriptor;
    h.Width = 3;
    h.Height = 2;
    if (!c.map.empty()) {
      h.MapType = 1;
      h.MapLength = static_cast<uint16_t>(c.map.size() / 3);
      h.MapEntryBits = 24;
    }
    auto d = DecodeTGA(MakeTGA(h, {}, Cat({c.map, c.body})));
    ASSERT_EQ(d.Picture.Width, 3) << c.name;
    EXPECT_EQ(AllPx(d.Picture), c.expected) << c.name;
    EXPECT_TRUE(d.Warnings.empty()) << c.name;
  }
}

TEST(ReadTGA, AttributeBlocks) {
  struct {
    const char* name;
    Bytes id;
    int32_t type;
    size_t extraSize;
  } cases[] = {
      {"none", {}, etNone, 0},
      {"short", {0x03, 0x40}, etShort, 2},
      {"long", Bytes(16, 0), etLong, 16},
      {"extended, no bits", Bytes(32, 0), etExtended, 32},
      {"unknown length", Bytes(5, 7), etUnknown, 5},
  };
  for (const auto& c : cases) {
    TGAHeader h;
    h.Width = 1;
    h.Height = 1;
    auto d = DecodeTGA(MakeTGA(h, c.id, BGR(0x123456)));
    EXPECT_EQ(d.Picture.ExtraType, c.type) << c.name;
    EXPECT_EQ(d.Picture.Extra.size(), c.extraSize) << c.name;
    EXPECT_EQ(Px(d.Picture, 0, 0), 0x123456u) << c.name;
  }
  TGAHeader h;
  h.Width = 1;
  h.Height = 1;
  auto d = DecodeTGA(MakeTGA(h, {0x03, 0x40}, BGR(0)));
  EXPECT_EQ(d.Picture.FrameCount(), 3);
  EXPECT_TRUE(d.Picture.GetExtraByte(1) & AttrColorKeyed);
}

TEST(ReadTGA, ExtendedBlockTakesItsAppendedBytes) {
  Bytes id(32, 0);
  id[0] = 0x05;  // two bits
  id[31] = 0x80;  // one bit
  Bytes appended;
  for (int i = 0; i < 24; ++i) appended.push_back(static_cast<uint8_t>(100 + i));
  TGAHeader h;
  h.Type = 10;
  h.Width = 2;
  h.Height = 1;
  auto d = DecodeTGA(MakeTGA(h, id, Cat({{0x81}, BGR(0x445566), appended, {9, 9}})));
  ASSERT_EQ(d.Picture.Extra.size(), 56u);
  EXPECT_EQ(d.Picture.ExtraType, etExtended);
  EXPECT_EQ(Bytes(d.Picture.Extra.begin() + 32, d.Picture.Extra.end()), appended);
  EXPECT_EQ(Px(d.Picture, 1, 0), 0x445566u);

  // Missing appended bytes make a damaged file.
  d = DecodeTGA(MakeTGA(h, id, Cat({{0x81}, BGR(0x445566), Bytes(23, 1)})));
  EXPECT_EQ(d.Picture.Width, 0);
  EXPECT_EQ(d.Warnings, (std::vector<std::string>{"[RawPictureUnit, TRawPicture.ReadTGA] Unexpected end of file!"}));
}

TEST(ReadTGA, StackedFramesAreLaidSideBySide) {
  // Four 16 by 16 frames stored top to bottom, each a single colour with a
  // marked top-left pixel.
  const uint32_t colours[4] = {0x110000, 0x002200, 0x000033, 0x444444};
  Bytes id(16, 0);
  id[0] = 4;
  id[6] = 0x80;
  Bytes body;
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 16; ++x) {
      const uint32_t c = (x == 0 && y % 16 == 0) ? 0xFFFFFF - colours[y / 16] : colours[y / 16];
      Bytes p = BGR(c);
      body.insert(body.end(), p.begin(), p.end());
    }
  TGAHeader h;
  h.Width = 16;
  h.Height = 64;
  auto d = DecodeTGA(MakeTGA(h, id, body));
  ASSERT_EQ(d.Picture.Width, 64);
  ASSERT_EQ(d.Picture.Height, 16);
  for (int f = 0; f < 4; ++f) {
    EXPECT_EQ(Px(d.Picture, f * 16, 0), 0xFFFFFF - colours[f]) << f;
    EXPECT_EQ(Px(d.Picture, f * 16 + 15, 15), colours[f]) << f;
    EXPECT_EQ(Px(d.Picture, f * 16 + 1, 0), colours[f]) << f;
  }
  EXPECT_EQ(d.Picture.FrameCount(), 4);

  // Without the stacked bit nothing moves; with frame count 0 neither.
  for (auto [count, flag] : {std::pair<uint8_t, uint8_t>{4, 0}, {0, 0x80}, {1, 0x80}}) {
    id[0] = count;
    id[6] = flag;
    auto e = DecodeTGA(MakeTGA(h, id, body));
    EXPECT_EQ(e.Picture.Width, 16);
    EXPECT_EQ(e.Picture.Height, 64);
  }
  // More frames than rows cannot be cut.
  id[0] = 65;
  id[6] = 0x80;
  auto e = DecodeTGA(MakeTGA(h, id, body));
  EXPECT_EQ(e.Picture.Width, 0);
  EXPECT_EQ(e.Warnings.size(), 1u);
}

TEST(ReadTGA, MessagesOnStandardOutput) {
  struct {
    const char* name;
    uint8_t type;
    uint8_t depth;
    uint8_t descriptor;
    uint16_t xOrigin;
    const char* out;
    bool decoded;
  } cases[] = {
      {"no image data", 0, 24, 0x20, 0, "RTGA: No image data included in file!\n", false},
      {"origin", 2, 24, 0x20, 5, "RTGA: Ignoring Origin settings!\n", true},
      {"pixel size", 2, 8, 0x20, 0, "RTGA: Illegal Image Pixel Size!\n", false},
      {"rle pixel size", 10, 15, 0x20, 0, "RTGA: Illegal Image Pixel Size!\n", false},
      {"descriptor", 2, 16, 0x22, 0, "RTGA: Illegal Image Descriptor Byte!\n", false},
      {"grey size", 3, 16, 0x20, 0, "Illegal Image Pixel Size!\n", false},
      {"type 32", 32, 24, 0x20, 0, "RTGA: Compressed images are not supported!\n", false},
      {"type 33", 33, 24, 0x20, 0, "RTGA: Compressed images are not supported!\n", false},
      {"type 7", 7, 24, 0x20, 0, "RTGA: Unkown image type!\n", false},
  };
  for (const auto& c : cases) {
    TGAHeader h;
    h.Type = c.type;
    h.Depth = c.depth;
    h.Descriptor = c.descriptor;
    h.XOrigin = c.xOrigin;
    h.Width = 1;
    h.Height = 1;
    auto d = DecodeTGA(MakeTGA(h, {}, Bytes(4, 0x55)));
    EXPECT_EQ(d.StdOut, c.out) << c.name;
    EXPECT_EQ(d.Picture.Width, c.decoded ? 1 : 0) << c.name;
    EXPECT_TRUE(d.Warnings.empty()) << c.name << ": complaints do not go to the run log";
  }
}

TEST(ReadTGA, ColourMapOfATrueColourFileIsSkipped) {
  TGAHeader h;
  h.MapType = 1;
  h.MapLength = 2;
  h.MapEntryBits = 32;
  h.Width = 1;
  h.Height = 1;
  auto d = DecodeTGA(MakeTGA(h, {}, Cat({Bytes(8, 0xEE), BGR(0x010203)})));
  EXPECT_EQ(Px(d.Picture, 0, 0), 0x010203u);
}

TEST(ReadTGA, DamagedFilesFailWithOneWarning) {
  const std::string loc = "[RawPictureUnit, TRawPicture.ReadTGA] ";
  TGAHeader rle;
  rle.Type = 10;
  rle.Width = 2;
  rle.Height = 2;
  TGAHeader big;
  big.Width = 16385;
  big.Height = 1;
  TGAHeader map;
  map.Type = 1;
  map.MapType = 1;
  map.MapLength = 257;
  map.Depth = 8;
  map.Width = 1;
  map.Height = 1;
  TGAHeader rle9;
  rle9.Type = 9;
  rle9.MapLength = 1;
  rle9.Depth = 8;
  rle9.Width = 2;
  rle9.Height = 1;
  struct {
    const char* name;
    Bytes file;
    std::string warning;
  } cases[] = {
      {"run past the end", MakeTGA(rle, {}, Cat({{0x84}, BGR(1)})), "Run-length data crosses the end of the picture!"},
      {"raw packet past the end", MakeTGA(rle, {}, Cat({{0x04}, Bytes(15, 1)})),
       "Run-length data crosses the end of the picture!"},
      {"general run past the end", MakeTGA(rle9, {}, Cat({BGR(1), Bytes{0x82, 0}})),
       "Run-length data crosses the end of the picture!"},
      {"run-length data ends early", MakeTGA(rle, {}, Cat({{0x82}, BGR(1), {0x00}})), "Unexpected end of file!"},
      {"too wide", MakeTGA(big, {}, Bytes(3 * 16385, 0)), "Picture too large! (16385x1)"},
      {"map too long", MakeTGA(map, {}, Bytes(257 * 3 + 1, 0)), "Palette too large! (257 entries)"},
      {"header only", MakeTGA(rle, {}, {}), "Unexpected end of file!"},
  };
  for (const auto& c : cases) {
    auto d = DecodeTGA(c.file);
    EXPECT_EQ(d.Picture.Width, 0) << c.name;
    EXPECT_EQ(d.Warnings, (std::vector<std::string>{loc + c.warning})) << c.name;
  }
}

TEST(ReadTGA, TruncatedAtEveryOffset) {
  TGAHeader h;
  h.Width = 3;
  h.Height = 2;
  h.Descriptor = 0x00;
  const Bytes raw = MakeTGA(h, {0x02, 0x40}, Rows24({kBottom, kTop}));
  h.Type = 10;
  const Bytes packed = MakeTGA(h, Bytes(32, 0x01), Cat({{0x83}, BGR(1), {0x01}, BGR(2), BGR(3), Bytes(32 * 8, 4)}));
  for (const Bytes* file : {&raw, &packed}) {
    ASSERT_GT(DecodeTGA(*file).Picture.Width, 0);
    for (size_t n = 0; n < file->size(); ++n) {
      auto d = DecodeTGA(Bytes(file->begin(), file->begin() + static_cast<std::ptrdiff_t>(n)));
      EXPECT_EQ(d.Picture.Width, 0) << n;
      EXPECT_EQ(d.Warnings.size(), 1u) << n;
    }
  }
}

TEST(ReadTGA, ByNameAddsTheDefaultExtension) {
  vgrtest::TTempDir dir;
  const auto old = std::filesystem::current_path();
  std::filesystem::current_path(dir.Path());
  TGAHeader h;
  h.Width = 1;
  h.Height = 1;
  vgrtest::WriteFile("pic.tga", MakeTGA(h, {}, BGR(0x0000FF)));
  vgrtest::WriteFile("pic.dat", MakeTGA(h, {}, BGR(0x00FF00)));
  vgrtest::WriteFile("xtga", MakeTGA(h, {}, BGR(0xFF0000)));
  struct {
    const char* name;
    int32_t width;
    uint32_t colour;
  } cases[] = {{"pic", 1, 0x0000FF}, {"pic.dat", 1, 0x00FF00}, {"xtga", 1, 0xFF0000}, {"nothing", 0, 0}};
  for (const auto& c : cases) {
    vgrtest::TScopedLog log;
    TRawPicture p;
    p.ReadTGA(std::string(c.name));
    EXPECT_EQ(p.Width, c.width) << c.name;
    if (c.width > 0) {
      EXPECT_EQ(Px(p, 0, 0), c.colour) << c.name;
    }
  }
  vgrtest::TScopedLog log;
  TRawPicture p;
  p.ReadTGA(std::string("nothing"));
  const auto lines = log.Lines();
  EXPECT_NE(std::find(lines.begin(), lines.end(), "[RawPictureUnit, TRawPicture.ReadTGA] File not found: nothing.tga"),
            lines.end());
  std::filesystem::current_path(old);
}

}  // namespace
