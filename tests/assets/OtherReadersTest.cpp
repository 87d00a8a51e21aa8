#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "MatorPictureUnit.h"
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

using TReader = void (TRawPicture::*)(TStream&);

struct TDecoded {
  TRawPicture Picture;
  std::vector<std::string> Warnings;
};

TDecoded Decode(TReader reader, const Bytes& file) {
  TDecoded d;
  vgrtest::TScopedLog log;
  TMemoryStream s(file);
  (d.Picture.*reader)(s);
  d.Warnings = Warnings(log);
  return d;
}

TEST(RawPicture, AttributeBlock) {
  TRawPicture p;
  EXPECT_EQ(p.Width, 0);
  EXPECT_EQ(p.ExtraType, etNone);
  struct {
    int32_t type;
    int32_t expectedType;
    size_t size;
  } cases[] = {{1, 1, 2}, {2, 2, 16}, {3, 3, 32}, {0, 0, 0}, {7, 255, 0}, {-1, 255, 0}};
  for (const auto& c : cases) {
    p.SetExtraType(c.type);
    EXPECT_EQ(p.ExtraType, c.expectedType) << c.type;
    EXPECT_EQ(p.Extra.size(), c.size) << c.type;
  }
  p.SetExtraType(2);
  p.SetExtraType(9);  // unknown: the block stays
  EXPECT_EQ(p.Extra.size(), 16u);
  p.SetExtraType(1);
  p.SetExtraByte(0, 0x34);
  p.SetExtraByte(1, 0x72);
  p.SetExtraByte(2, 9);  // outside: ignored
  p.SetExtraByte(-1, 9);
  EXPECT_EQ(p.Extra, (Bytes{0x34, 0x72}));
  EXPECT_EQ(p.GetExtraByte(5), 0);
  EXPECT_EQ(p.GetExtraByte(-1), 0);
  EXPECT_EQ(p.FrameCount(), 0x234);

  TRawPicture sized(3, 2);
  EXPECT_EQ(sized.Pixels.size(), 18u);
  TRawPicture tooBig(MaxPictureSide + 1, 1);
  EXPECT_EQ(tooBig.Width, 0);
  EXPECT_TRUE(tooBig.Pixels.empty());
}

TEST(ReadCEL, PaletteOfSixBitComponents) {
  Bytes file = {0x19, 0x91};
  Put16(file, 2);
  Put16(file, 1);
  file.resize(32, 0);
  Bytes pal(768, 0);
  pal[3] = 63;  // entry 1: red 63, green 1, blue 32
  pal[4] = 1;
  pal[5] = 32;
  pal[6] = 65;  // out of range: wraps
  file = Cat({file, pal, Bytes{1, 2}});
  auto d = Decode(&TRawPicture::ReadCEL, file);
  ASSERT_EQ(d.Picture.Width, 2);
  ASSERT_EQ(d.Picture.Height, 1);
  EXPECT_EQ(AllPx(d.Picture), (std::vector<uint32_t>{0xFC0480, 0x040000}));
  EXPECT_TRUE(d.Warnings.empty());

  file[0] = 0x18;
  d = Decode(&TRawPicture::ReadCEL, file);
  EXPECT_EQ(d.Warnings, (std::vector<std::string>{"[RawPictureUnit, TRawPicture.ReadCEL] Not a .CEL file!"}));
}

Bytes MIFile(const char* code, uint16_t w, uint16_t h, const Bytes& body) {
  Bytes b = {'M', 'I', 0x00, 0x01, static_cast<uint8_t>(code[0]), static_cast<uint8_t>(code[1]), 0xAB, 0xCD};
  Put16(b, w);
  Put16(b, h);
  return Cat({b, body});
}

TEST(ReadMI, DepthCodes) {
  struct {
    const char* name;
    Bytes file;
    std::vector<uint32_t> expected;
  } cases[] = {
      {"grey", MIFile("GS", 2, 2, Bytes{0, 0x40, 0x80, 0xFF}), {0, 0x404040, 0x808080, 0xFFFFFF}},
      {"24 bit, red first", MIFile("24", 2, 1, Bytes{1, 2, 3, 4, 5, 6}), {0x010203, 0x040506}},
      {"16 bit 5-6-5, red on top", MIFile("16", 2, 1, U16s({0xF800, 0x001F})), {0xF80000, 0x0000F8}},
  };
  for (const auto& c : cases) {
    auto d = Decode(&TRawPicture::ReadMI, c.file);
    EXPECT_EQ(AllPx(d.Picture), c.expected) << c.name;
    EXPECT_TRUE(d.Warnings.empty()) << c.name;
  }
}

TEST(ReadMI, Rejected) {
  Bytes badMagic = MIFile("GS", 1, 1, {0});
  badMagic[0] = 'X';
  Bytes badVersion = MIFile("GS", 1, 1, {0});
  badVersion[3] = 2;
  struct {
    const char* name;
    Bytes file;
    std::string warning;
  } cases[] = {
      {"magic", badMagic, "[RawPictureUnit, TRawPicture.ReadMI] Not an .MI file!"},
      {"version", badVersion, "[RawPictureUnit, TRawPicture.ReadMI] Unknown .MI file version!"},
      {"depth 32", MIFile("32", 1, 1, {0}), "[RawPictureUnit, ReadMI100] Invalid color depth! (3233)"},
      {"grey row too long", MIFile("GS", 3857, 1, Bytes(3857, 0)),
       "[RawPictureUnit, TRawPicture.ReadMI] Row too long! (3857 bytes)"},
      {"16 bit row too long", MIFile("16", 1929, 1, Bytes(3858, 0)),
       "[RawPictureUnit, TRawPicture.ReadMI] Row too long! (3858 bytes)"},
      {"truncated", MIFile("24", 2, 2, Bytes(11, 0)), "[RawPictureUnit, TRawPicture.ReadMI] Unexpected end of file!"},
  };
  for (const auto& c : cases) {
    auto d = Decode(&TRawPicture::ReadMI, c.file);
    EXPECT_EQ(d.Warnings, (std::vector<std::string>{c.warning})) << c.name;
    EXPECT_EQ(d.Picture.Width, 0) << c.name;
  }
  auto d = Decode(&TRawPicture::ReadMI, MIFile("GS", 3856, 1, Bytes(3856, 0)));
  EXPECT_EQ(d.Picture.Width, 3856);
}

Bytes SizedFile(uint16_t w, uint16_t h, const Bytes& body) {
  Bytes b;
  Put16(b, w);
  Put16(b, h);
  return Cat({b, body});
}

TEST(ReadKEP, FixedTableAndMaximaRule) {
  // Entries 0 to 3 and 248 to 255 are the telling rows of the table.
  struct {
    uint8_t index;
    uint32_t colour;
  } rows[] = {{0, 0x000000}, {1, 0xFCFCFC}, {2, 0x2050D8}, {3, 0xF02814}, {248, 0x404040}, {255, 0x0C0C0C}};
  for (const auto& r : rows) {
    auto d = Decode(&TRawPicture::ReadKEP, SizedFile(1, 1, Bytes{r.index, 0}));
    ASSERT_EQ(d.Picture.Width, 1);
    EXPECT_EQ(Px(d.Picture, 0, 0), r.colour) << int(r.index);
  }
  // The grey ramp falls from 64 to 12.
  for (int i = 248; i < 255; ++i) EXPECT_GT(FixedPalette[i * 3], FixedPalette[(i + 1) * 3]) << i;

  // (w + 1) * (h + 1) + 4 bytes: the numbers are maxima.
  auto d = Decode(&TRawPicture::ReadKEP, SizedFile(2, 1, Bytes{1, 2, 3, 1, 2, 3}));
  ASSERT_EQ(d.Picture.Width, 3);
  ASSERT_EQ(d.Picture.Height, 2);
  EXPECT_EQ(Px(d.Picture, 2, 1), 0xF02814u);
  // Any other size: the numbers are the size.
  d = Decode(&TRawPicture::ReadKEP, SizedFile(2, 1, Bytes{1, 2, 3}));
  EXPECT_EQ(d.Picture.Width, 2);
  EXPECT_EQ(d.Picture.Height, 1);
  d = Decode(&TRawPicture::ReadKEP, SizedFile(2, 2, Bytes{1, 2, 3}));
  EXPECT_EQ(d.Picture.Width, 0);
  EXPECT_EQ(d.Warnings, (std::vector<std::string>{"[RawPictureUnit, TRawPicture.ReadKEP] Unexpected end of file!"}));
}

TEST(ReadK16AndGSD, RowsTopDown) {
  auto d = Decode(&TRawPicture::ReadK16, SizedFile(2, 2, U16s({0x001F, 0x07E0, 0xF800, 0xFFFF})));
  EXPECT_EQ(AllPx(d.Picture), (std::vector<uint32_t>{0x0000F8, 0x00FC00, 0xF80000, 0xF8FCF8}));
  d = Decode(&TRawPicture::ReadGSD, SizedFile(3, 1, Bytes{1, 0x7F, 0xFE}));
  EXPECT_EQ(AllPx(d.Picture), (std::vector<uint32_t>{0x010101, 0x7F7F7F, 0xFEFEFE}));
  for (TReader r : std::vector<TReader>{&TRawPicture::ReadK16, &TRawPicture::ReadGSD}) {
    d = Decode(r, SizedFile(3, 3, Bytes{1}));
    EXPECT_EQ(d.Picture.Width, 0);
    EXPECT_EQ(d.Warnings.size(), 1u);
    d = Decode(r, Bytes{1});
    EXPECT_EQ(d.Picture.Width, 0);
    EXPECT_EQ(d.Warnings.size(), 1u);
  }
}

// A MATOR file with `frames` frames of 2 by 2, frame f holding indexes
// f, f + 1, f + 2, f + 3.
Bytes MatorFile(int frames, uint32_t w = 2, uint32_t h = 2, bool withPalette = true) {
  Bytes inner = Chunk("VERS", U32s({3}));
  if (withPalette) {
    inner = Cat({inner, Chunk("PALE", U32s({5, 0x000000FF, 0x0000FF00, 0x00FF0000, 0x00123456, 0x00ABCDEF}))});
  }
  inner = Cat({inner, Chunk("MAIN", U32s({w, h})), Chunk("JUNK", Bytes{1, 2, 3})});
  for (int f = 0; f < frames; ++f) {
    Bytes px;
    for (uint32_t i = 0; i < w * h; ++i) Put16(px, static_cast<uint32_t>(f) + i);
    inner = Cat({inner, Chunk("FRAM", px)});
  }
  return Chunk("MATR", inner);
}

TEST(ReadMATOR, FramesSideBySide) {
  auto d = Decode(&TRawPicture::ReadMATOR, MatorFile(3));
  ASSERT_EQ(d.Picture.Width, 6);
  ASSERT_EQ(d.Picture.Height, 2);
  // Colours: bits 0-7 red, 8-15 green, 16-23 blue; index 5 and up is black.
  const uint32_t c0 = 0xFF0000, c1 = 0x00FF00, c2 = 0x0000FF, c3 = 0x563412, c4 = 0xEFCDAB;
  EXPECT_EQ(AllPx(d.Picture), (std::vector<uint32_t>{c0, c1, c1, c2, c2, c3,  //
                                                     c2, c3, c3, c4, c4, 0}));
  EXPECT_EQ(d.Picture.ExtraType, etShort);
  EXPECT_EQ(d.Picture.FrameCount(), 3);
  EXPECT_TRUE(d.Warnings.empty());

  d = Decode(&TRawPicture::ReadMATOR, MatorFile(1));
  EXPECT_EQ(d.Picture.Width, 2);
  EXPECT_EQ(d.Picture.ExtraType, etNone);
}

TEST(ReadMATOR, UsesAndClearsTheSharedReader) {
  MatorPictureUnit_Startup();
  auto d = Decode(&TRawPicture::ReadMATOR, MatorFile(2));
  EXPECT_EQ(d.Picture.Width, 4);
  ASSERT_NE(MatorPicture, nullptr);
  EXPECT_TRUE(MatorPicture->Frames.empty());
  EXPECT_EQ(MatorPicture->FrameWidth, 0);
  MatorPictureUnit_Shutdown();
  EXPECT_EQ(MatorPicture, nullptr);
}

TEST(ReadMATOR, DamagedFiles) {
  Bytes cut = MatorFile(2);
  cut.resize(cut.size() - 1);
  Bytes shortFrame = Chunk("MATR", Cat({Chunk("MAIN", U32s({2, 2})), Chunk("FRAM", Bytes(7, 0))}));
  Bytes bigPalette = Chunk("MATR", Cat({Chunk("PALE", U32s({65537})), Chunk("MAIN", U32s({1, 1})),
                                        Chunk("FRAM", Bytes(2, 0))}));
  Bytes shortPalette = Chunk("MATR", Cat({Chunk("PALE", U32s({3, 1, 2})), Chunk("MAIN", U32s({1, 1})),
                                          Chunk("FRAM", Bytes(2, 0))}));
  struct {
    const char* name;
    Bytes file;
    std::string warning;
  } cases[] = {
      {"no container", Chunk("JUNK", Bytes(8, 0)), "Not a MATOR file!"},
      {"cut short", cut, "Unexpected end of file!"},
      {"frame too wide", MatorFile(1, 65, 1), "Invalid frame size! (65x1)"},
      {"frame of no height", MatorFile(1, 1, 0), "Invalid frame size! (1x0)"},
      {"no frames", MatorFile(0), "No frames!"},
      {"short frame", shortFrame, "Frame data too short! (frame 0)"},
      {"palette too large", bigPalette, "Damaged palette!"},
      {"palette cut", shortPalette, "Damaged palette!"},
  };
  for (const auto& c : cases) {
    auto d = Decode(&TRawPicture::ReadMATOR, c.file);
    EXPECT_EQ(d.Picture.Width, 0) << c.name;
    EXPECT_EQ(d.Warnings, (std::vector<std::string>{"[RawPictureUnit, TRawPicture.ReadMATOR] " + c.warning})) << c.name;
  }
  // Frames before the frame size and a missing palette still decode.
  Bytes early = Chunk("MATR", Cat({Chunk("FRAM", U16s({1})), Chunk("MAIN", U32s({1, 1}))}));
  auto d = Decode(&TRawPicture::ReadMATOR, early);
  EXPECT_EQ(d.Picture.Width, 1);
  EXPECT_EQ(Px(d.Picture, 0, 0), 0u);
}

TEST(PictureNames, ExtensionTable) {
  struct {
    const char* name;
    TPictureReader reader;
  } cases[] = {
      {"a.bmp", prBMP}, {"a.CEL", prCEL}, {"a.mi", prMI},       {"x.y.Tga", prTGA}, {"a.kep", prKEP},
      {"a.k16", prK16}, {"a.mator", prMATOR}, {"a.gsd", prGSD}, {"a.png", prNone}, {"noext", prNone},
      {"a.x", prNone},
  };
  for (const auto& c : cases) EXPECT_EQ(PictureReaderOf(PictureExtension(c.name)), c.reader) << c.name;
  EXPECT_EQ(PictureExtension("dir.d/file"), "D/FILE");
  EXPECT_EQ(PictureExtension("file"), "");
}

TEST(PictureNames, FrameSelectionAndTransformation) {
  struct {
    const char* name;
    std::string file, transform;
    int32_t first, last;
  } cases[] = {
      {"pic.tga", "pic.tga", "", -1, -1},
      {"pic.tga[2]", "pic.tga", "", 2, -1},
      {"pic.tga[1..2]", "pic.tga", "", 1, 2},
      {"pic.tga[x]", "pic.tga", "", -1, -1},
      {"pic.tga[2..]", "pic.tga", "", 2, -1},
      {"pic[3].tga:HV", "pic.tga", "HV", 3, -1},
      {"pic.bmp:R", "pic.bmp", "R", -1, -1},
      {"c:\\pic.bmp", "c:\\pic.bmp", "", -1, -1},
      {"c:\\pic.bmp:H", "c:\\pic.bmp:H", "", -1, -1},
      {"ab:D", "ab", "D", -1, -1},
      {"pic]x[.tga", "pic]x[.tga", "", -1, -1},
  };
  for (const auto& c : cases) {
    const TPictureName n = ParsePictureName(c.name);
    EXPECT_EQ(n.FileName, c.file) << c.name;
    EXPECT_EQ(n.Transform, c.transform) << c.name;
    EXPECT_EQ(n.FirstFrame, c.first) << c.name;
    EXPECT_EQ(n.LastFrame, c.last) << c.name;
  }
}

TEST(PictureNames, ReadPictureFilePicksTheReader) {
  vgrtest::TTempDir dir;
  vgrtest::WriteFile(dir / "p.gsd", SizedFile(1, 1, Bytes{0x42}));
  vgrtest::WriteFile(dir / "p.k16", SizedFile(1, 1, U16s({0x001F})));
  TRawPicture p;
  EXPECT_TRUE(ReadPictureFile(p, dir / "p.gsd"));
  EXPECT_EQ(Px(p, 0, 0), 0x424242u);
  EXPECT_TRUE(ReadPictureFile(p, dir / "p.k16"));
  EXPECT_EQ(Px(p, 0, 0), 0x0000F8u);
  TRawPicture q;
  EXPECT_FALSE(ReadPictureFile(q, dir / "p.png"));
  EXPECT_EQ(q.Width, 0);
}

}  // namespace
