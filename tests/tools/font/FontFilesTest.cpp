#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "../../assets/PictureFixtures.h"
#include "FontFiles.h"
#include "FontRaster.h"
#include "RawPictureUnit.h"
#include "TgaWriter.h"
#include "ZRStream3.h"

using namespace vgrdata;
using picfix::Bytes;
using picfix::Px;

namespace {

const char* const kDejaVuSans = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

// A glyph of `w` by `rows` full-coverage pixels.
TGlyphRaster Block(int w, int rows, int left, int top, int advance, uint8_t level = 255) {
  TGlyphRaster g;
  g.Width = w;
  g.Rows = rows;
  g.Left = left;
  g.Top = top;
  g.Advance = advance;
  g.Coverage.assign(static_cast<size_t>(w) * rows, level);
  return g;
}

TRawPicture ReadBackTGA(const Bytes& data) {
  TMemoryStream m(data);
  TRawPicture p;
  p.ReadTGA(m);
  return p;
}

TRawPicture Gradient(int32_t w, int32_t h, bool grey) {
  TRawPicture p(w, h);
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      uint8_t* px = p.PixelAt(x, y);
      const uint8_t v = static_cast<uint8_t>((x / 3) * 16 + y);  // runs of three equal pixels
      px[0] = v;
      px[1] = grey ? v : static_cast<uint8_t>(v ^ 0x5A);
      px[2] = grey ? v : static_cast<uint8_t>(255 - v);
    }
  }
  return p;
}

}  // namespace

// ---------------------------------------------------------------- .zrr rows

struct TRowCase {
  int Width;
  std::vector<int> Ink;  // inked columns
  Bytes Expected;
};

TEST(ZRRRows, PackLowBitsUpToEightAndBigEndianBeyond) {
  const std::vector<TRowCase> cases = {
      {1, {0}, {0x01}},
      {5, {0}, {0x10}},
      {5, {4}, {0x01}},
      {8, {0, 7}, {0x81}},
      {9, {0}, {0x01, 0x00}},  // the leftmost pixel is bit 8 of the row
      {12, {0}, {0x08, 0x00}},
      {12, {3, 4, 11}, {0x01, 0x81}},
      {16, {0, 15}, {0x80, 0x01}},
      {20, {0, 19}, {0x08, 0x00, 0x01}},
  };
  for (const TRowCase& c : cases) {
    std::vector<uint8_t> ink(static_cast<size_t>(c.Width), 0);
    for (int x : c.Ink) ink[x] = 1;
    Bytes out(static_cast<size_t>(ZRRRowBytes(c.Width)), 0xEE);
    PackZRRRow(ink.data(), c.Width, out.data());
    EXPECT_EQ(out, c.Expected) << "width " << c.Width;
  }
}

TEST(ZRREncode, SparseFileHoldsMapAndOnlyPresentGlyphs) {
  TZRRFontData f;
  f.Flags = zrrSparse | zrrDescender;
  f.CellWidth = 3;
  f.GlyphHeight = 2;
  f.Present['A'] = true;
  f.Cells['A'] = {1, 0, 1, 0, 1, 0};
  f.Present['z'] = true;
  f.Cells['z'] = {0, 0, 1, 1, 0, 0};
  const Bytes b = EncodeZRR(f);
  ASSERT_EQ(b.size(), 7u + 32u + 2u * 2u);
  EXPECT_EQ(Bytes(b.begin(), b.begin() + 7), (Bytes{'Z', 'R', 'A', 'R', 3, 3, 2}));
  EXPECT_EQ(b[7 + 'A' / 8], 0x80 >> ('A' % 8));
  EXPECT_EQ(b[7 + 'z' / 8], 0x80 >> ('z' % 8));
  EXPECT_EQ(Bytes(b.begin() + 39, b.end()), (Bytes{0x05, 0x02, 0x01, 0x04}));
}

TEST(ZRREncode, DenseFileHoldsAll256Glyphs) {
  TZRRFontData f;
  f.CellWidth = 8;
  f.GlyphHeight = 8;
  f.Present['g'] = true;
  f.Cells['g'].assign(64, 0);
  f.Cells['g'][0] = 1;
  const Bytes b = EncodeZRR(f);
  ASSERT_EQ(b.size(), 7u + 256u * 8u);
  EXPECT_EQ(b[7 + 'g' * 8], 0x80);
  // A cell of the wrong size and a zero size give no file.
  f.Cells['g'].resize(63);
  EXPECT_TRUE(EncodeZRR(f).empty());
  f.CellWidth = 0;
  EXPECT_TRUE(EncodeZRR(f).empty());
}

// ---------------------------------------------------------------- .zrr layout

TEST(ZRRLayout, SharesOneBaselineAndLiftsDescenderLetters) {
  auto glyphs = std::make_unique<TFontGlyphs>();
  glyphs->Present['A'] = true;
  glyphs->Glyph['A'] = Block(4, 6, 0, 6, 5);  // sits on the baseline
  glyphs->Present['p'] = true;
  glyphs->Glyph['p'] = Block(4, 6, 0, 4, 5);  // two rows below it
  glyphs->Present['g'] = true;
  glyphs->Glyph['g'] = Block(4, 7, 0, 4, 5);  // three rows below: needs the extra row
  glyphs->Present[' '] = true;
  glyphs->Glyph[' '] = Block(0, 0, 0, 0, 5);
  TZRRFontData f;
  std::string why;
  std::vector<std::string> notes;
  ASSERT_TRUE(LayoutZRR(*glyphs, TZRROptions{}, f, why, notes)) << why;
  EXPECT_TRUE(notes.empty());
  EXPECT_EQ(f.CellWidth, 5);     // the widest advance
  EXPECT_EQ(f.GlyphHeight, 8);   // ascent 6 + descent 2 of "p"
  EXPECT_EQ(f.Flags, zrrDescender | zrrSparse);
  auto ink = [&f](int c, int x, int y) { return f.Cells[c][static_cast<size_t>(y) * f.CellWidth + x]; };
  EXPECT_EQ(ink('A', 0, 0), 1);
  EXPECT_EQ(ink('A', 0, 5), 1);
  EXPECT_EQ(ink('A', 0, 6), 0);
  EXPECT_EQ(ink('p', 0, 2), 1);
  EXPECT_EQ(ink('p', 0, 1), 0);
  // "g" is stored one row higher; the reader draws it one row lower.
  EXPECT_EQ(ink('g', 0, 1), 1);
  EXPECT_EQ(ink('g', 0, 7), 1);
  EXPECT_EQ(ink('g', 0, 0), 0);
  EXPECT_TRUE(f.Present[' ']);

  // Without descender mode "g" sets the depth itself.
  TZRROptions plain;
  plain.Descender = false;
  ASSERT_TRUE(LayoutZRR(*glyphs, plain, f, why, notes));
  EXPECT_EQ(f.GlyphHeight, 9);
  EXPECT_EQ(f.Flags, zrrSparse);
}

TEST(ZRRLayout, ClipsToAGivenCellAndRefusesImpossibleCells) {
  auto glyphs = std::make_unique<TFontGlyphs>();
  glyphs->Present['W'] = true;
  glyphs->Glyph['W'] = Block(7, 5, 0, 5, 7);
  TZRROptions o;
  o.CellWidth = 5;
  TZRRFontData f;
  std::string why;
  std::vector<std::string> notes;
  ASSERT_TRUE(LayoutZRR(*glyphs, o, f, why, notes));
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_NE(notes[0].find("'W'"), std::string::npos);

  o.CellWidth = 64;  // 64 * 256 columns: wider than a sheet may be
  EXPECT_FALSE(LayoutZRR(*glyphs, o, f, why, notes));
  EXPECT_NE(why.find("wider"), std::string::npos);

  auto empty = std::make_unique<TFontGlyphs>();
  empty->Present[' '] = true;
  EXPECT_FALSE(LayoutZRR(*empty, TZRROptions{}, f, why, notes));
}

// ---------------------------------------------------------------- TGA fonts

TEST(TGAFontLayout, BoxesKeepTheBaselineAndTheAdvance) {
  auto glyphs = std::make_unique<TFontGlyphs>();
  glyphs->Present['A'] = true;
  glyphs->Glyph['A'] = Block(4, 6, 1, 6, 6);
  glyphs->Present['g'] = true;
  glyphs->Glyph['g'] = Block(3, 6, 0, 4, 5, 120);
  glyphs->Present['j'] = true;
  glyphs->Glyph['j'] = Block(3, 8, -1, 6, 3);  // ink left of the origin and beyond the advance
  glyphs->Present[' '] = true;
  glyphs->Glyph[' '] = Block(0, 0, 0, 0, 4);
  TTGAOptions o;
  o.Spacing = 1;
  TRawPicture p;
  std::string why;
  ASSERT_TRUE(LayoutTGAFont(*glyphs, o, p, why)) << why;
  EXPECT_EQ(p.Height, 8);  // ascent 6 + descent 2
  EXPECT_EQ(p.ExtraType, etExtended);
  // Boxes in character order: space (3 wide), A (5), g (4), j (3).
  ASSERT_EQ(p.Extra.size(), 32u + 4u * 8u);
  EXPECT_EQ(p.Width, 3 + 5 + 4 + 3);
  auto box = [&p](int k) {
    const uint8_t* b = p.Extra.data() + 32 + 8 * k;
    return std::vector<int>{b[0] | (b[1] << 8), b[2] | (b[3] << 8), b[4] | (b[5] << 8), b[6] | (b[7] << 8)};
  };
  EXPECT_EQ(box(0), (std::vector<int>{0, 5, 2, 5}));
  EXPECT_EQ(box(1), (std::vector<int>{3, 0, 7, 5}));
  EXPECT_EQ(box(2), (std::vector<int>{8, 2, 11, 7}));
  EXPECT_EQ(box(3), (std::vector<int>{12, 0, 14, 7}));
  EXPECT_EQ(Px(p, 3, 0), 0x000000u);  // left bearing of "A"
  EXPECT_EQ(Px(p, 4, 0), 0xFFFFFFu);
  EXPECT_EQ(Px(p, 8, 2), 0x787878u);  // grey levels stay grey
  EXPECT_EQ(Px(p, 12, 0), 0xFFFFFFu);  // "j" box starts at its ink
}

TEST(TGAFontLayout, CutDropsFaintCoverageAndBoxesFollowTheInk) {
  auto glyphs = std::make_unique<TFontGlyphs>();
  glyphs->Present['o'] = true;
  TGlyphRaster g = Block(2, 3, 0, 3, 3, 40);
  g.Coverage[4] = 200;  // only the bottom row is strong
  g.Coverage[5] = 200;
  glyphs->Glyph['o'] = g;
  TTGAOptions o;
  o.Cut = 100;
  TRawPicture p;
  std::string why;
  ASSERT_TRUE(LayoutTGAFont(*glyphs, o, p, why));
  EXPECT_EQ(Px(p, 0, 0), 0u);
  EXPECT_EQ(Px(p, 0, 2), 0xC8C8C8u);
  EXPECT_EQ(p.Extra[32 + 2], 2);  // box top: the first row left
}

TEST(TGAFontLayout, MinimumGapWidensOnlyGlyphsWhoseInkFillsTheirAdvance) {
  auto glyphs = std::make_unique<TFontGlyphs>();
  glyphs->Present['v'] = true;
  glyphs->Glyph['v'] = Block(5, 4, 0, 4, 5);  // ink up to the advance
  glyphs->Present['o'] = true;
  glyphs->Glyph['o'] = Block(3, 4, 1, 4, 5);  // a column of bearing each side
  TTGAOptions o;
  o.Spacing = -1;
  o.MinGap = 1;
  TRawPicture p;
  std::string why;
  ASSERT_TRUE(LayoutTGAFont(*glyphs, o, p, why));
  auto width = [&p](int k) {
    const uint8_t* b = p.Extra.data() + 32 + 8 * k;
    return (b[4] | (b[5] << 8)) - (b[0] | (b[1] << 8)) + 1;
  };
  EXPECT_EQ(width(0), 6);  // "o": advance 5 plus the one column spacing -1 takes back
  EXPECT_EQ(width(1), 7);  // "v": one more, so that its neighbour starts a column away
  o.MinGap = 0;
  ASSERT_TRUE(LayoutTGAFont(*glyphs, o, p, why));
  EXPECT_EQ(width(1), 6);
}

TEST(TGAFontLayout, RefusesAStripWiderThanASheet) {
  auto glyphs = std::make_unique<TFontGlyphs>();
  for (int c = 0; c < 256; ++c) {
    glyphs->Present[c] = true;
    glyphs->Glyph[c] = Block(1, 1, 0, 1, 70);
  }
  TRawPicture p;
  std::string why;
  EXPECT_FALSE(LayoutTGAFont(*glyphs, TTGAOptions{}, p, why));
  EXPECT_EQ(p.Width, 0);
}

// ---------------------------------------------------------------- TGA writer

struct TWriteCase {
  const char* Name;
  TTgaPixels Pixels;
  bool RunLength;
  int32_t ExtraType;
  Bytes Extra;
};

TEST(TgaWriter, RoundTripsThroughTheGamesReader) {
  Bytes extended(32, 0);
  extended[0] = 0x81;  // characters 0 and 7
  for (uint8_t i = 0; i < 16; ++i) extended.push_back(i);
  Bytes longBlock(16, 0);
  longBlock[0] = 3;
  longBlock[2] = 0x77;
  const std::vector<TWriteCase> cases = {
      {"true colour", TTgaPixels::TrueColor, false, etNone, {}},
      {"true colour rle", TTgaPixels::TrueColor, true, etShort, {0x02, 0x40}},
      {"grey", TTgaPixels::Grey, false, etLong, longBlock},
      {"grey rle extended", TTgaPixels::Grey, true, etExtended, extended},
  };
  for (const TWriteCase& c : cases) {
    const bool grey = c.Pixels == TTgaPixels::Grey;
    TRawPicture p = Gradient(300, 5, grey);  // rows longer than one 128-pixel packet
    p.ExtraType = c.ExtraType;
    p.Extra = c.Extra;
    TMemoryStream m;
    ASSERT_TRUE(WriteTGA(p, m, c.Pixels, c.RunLength)) << c.Name;
    const TRawPicture back = ReadBackTGA(m.Data);
    EXPECT_EQ(back.Width, 300) << c.Name;
    EXPECT_EQ(back.Height, 5) << c.Name;
    EXPECT_EQ(back.Pixels, p.Pixels) << c.Name;
    EXPECT_EQ(back.ExtraType, c.ExtraType) << c.Name;
    EXPECT_EQ(back.Extra, c.Extra) << c.Name;
    if (c.RunLength) {
      EXPECT_LT(m.Data.size(), 18 + c.Extra.size() + 300u * 5u * (grey ? 1 : 3)) << c.Name;
    }
  }
}

TEST(TgaWriter, RefusesPicturesItCannotWriteFaithfully) {
  TMemoryStream m;
  EXPECT_FALSE(WriteTGA(TRawPicture(), m));
  TRawPicture p = Gradient(4, 4, true);
  p.ExtraType = etExtended;
  p.Extra.assign(32, 0);
  p.Extra[0] = 1;  // one character marked, but no rectangle follows
  EXPECT_FALSE(WriteTGA(p, m));
  p.ExtraType = etShort;
  p.Extra = {1, 2, 3};
  EXPECT_FALSE(WriteTGA(p, m));
  EXPECT_TRUE(m.Data.empty());
}

// ---------------------------------------------------------------- FreeType

TEST(FontRaster, RendersDejaVuGlyphsInEveryMode) {
  TFontRasterizer r;
  std::string why;
  ASSERT_TRUE(r.Open(kDejaVuSans, 20, why)) << why;
  for (TRasterMode mode : {TRasterMode::Grey, TRasterMode::Light, TRasterMode::Mono}) {
    TGlyphRaster a, g;
    ASSERT_TRUE(r.Render('A', mode, a, why)) << why;
    ASSERT_TRUE(r.Render('g', mode, g, why)) << why;
    EXPECT_FALSE(a.Empty());
    EXPECT_GT(a.Advance, 8);
    EXPECT_LT(a.Advance, 20);
    EXPECT_EQ(a.Rows, a.Top);  // a capital sits on the baseline
    EXPECT_GT(g.Rows, g.Top);  // "g" reaches below it
    bool full = false;
    for (uint8_t v : a.Coverage) full = full || v == 255;
    EXPECT_TRUE(full);
    if (mode == TRasterMode::Mono) {
      for (uint8_t v : a.Coverage) EXPECT_TRUE(v == 0 || v == 255);
    }
  }
  TGlyphRaster space;
  ASSERT_TRUE(r.Render(' ', TRasterMode::Light, space, why));
  EXPECT_TRUE(space.Empty());
  EXPECT_GT(space.Advance, 0);
}

TEST(FontRaster, ReportsMissingFilesAndGlyphs) {
  TFontRasterizer r;
  std::string why;
  TGlyphRaster g;
  EXPECT_FALSE(r.Render('A', TRasterMode::Grey, g, why));
  EXPECT_FALSE(r.Open("/nonexistent/font.ttf", 12, why));
  EXPECT_NE(why.find("/nonexistent/font.ttf"), std::string::npos);
  ASSERT_TRUE(r.Open(kDejaVuSans, 12, why));
  EXPECT_FALSE(r.Open(kDejaVuSans, 0, why));
  ASSERT_TRUE(r.Open(kDejaVuSans, 12, why));
  EXPECT_FALSE(r.Render(0xF8FF, TRasterMode::Grey, g, why));  // a private-use code DejaVu leaves empty
}
