#include <gtest/gtest.h>
#include <SDL.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "../assets/PictureFixtures.h"
#include "Logger.h"
#include "TestSupport.h"
#include "ZRFonts.h"
#include "ZRStream3.h"
#include "ZR_SDL.h"

using picfix::Bytes;

namespace {

// A ".zrr" file: header, optional presence map, then the glyph bytes given
// per character (each ZRRRowBytes(w) * h bytes; dense files fill the rest
// with blanks).
Bytes MakeZRR(uint8_t flags, uint8_t w, uint8_t h, const std::vector<std::pair<int, Bytes>>& glyphs) {
  Bytes b = {'Z', 'R', 'A', 'R', flags, w, h};
  const size_t glyphBytes = static_cast<size_t>(ZRRRowBytes(w)) * h;
  if (flags & zrrSparse) {
    Bytes map(32, 0);
    for (const auto& [c, bytes] : glyphs) map[c / 8] |= static_cast<uint8_t>(0x80 >> (c % 8));
    b.insert(b.end(), map.begin(), map.end());
    auto sorted = glyphs;
    std::sort(sorted.begin(), sorted.end());
    for (const auto& [c, bytes] : sorted) b.insert(b.end(), bytes.begin(), bytes.end());
  } else {
    Bytes all(glyphBytes * 256, 0);
    for (const auto& [c, bytes] : glyphs) std::copy(bytes.begin(), bytes.end(), all.begin() + glyphBytes * c);
    b.insert(b.end(), all.begin(), all.end());
  }
  return b;
}

// One glyph rectangle of a TGA font: character and inclusive corners.
struct TBox {
  int C;
  uint16_t L, T, R, B;
};

// A grey TGA font: `width` by `height` picture of `grey` levels (row major,
// rows top down) with the 32-byte presence map and the boxes behind it.
Bytes MakeTGAFont(uint16_t width, uint16_t height, const Bytes& grey, std::vector<TBox> boxes) {
  picfix::TGAHeader h;
  h.Type = 3;
  h.Depth = 8;
  h.Width = width;
  h.Height = height;
  Bytes id(32, 0);
  std::sort(boxes.begin(), boxes.end(), [](const TBox& a, const TBox& b) { return a.C < b.C; });
  Bytes rects;
  for (const TBox& x : boxes) {
    id[x.C / 8] |= static_cast<uint8_t>(0x80 >> (x.C % 8));
    for (uint16_t v : {x.L, x.T, x.R, x.B}) picfix::Put16(rects, v);
  }
  return picfix::Cat({picfix::MakeTGA(h, id, grey), rects});
}

// A font of solid glyph blocks: "A" 5 wide, "B" 6 wide, "g" 4 wide starting
// at sheet row 3, all white on a 16-column, 8-row sheet.
Bytes SolidFont() {
  const uint16_t w = 16, h = 8;
  Bytes grey(static_cast<size_t>(w) * h, 0);
  auto fill = [&](int l, int t, int r, int b) {
    for (int y = t; y <= b; ++y)
      for (int x = l; x <= r; ++x) grey[static_cast<size_t>(y) * w + x] = 255;
  };
  fill(0, 0, 4, 5);
  fill(5, 0, 10, 5);
  fill(11, 3, 14, 7);
  return MakeTGAFont(w, h, grey, {{'A', 0, 0, 4, 5}, {'B', 5, 0, 10, 5}, {'g', 11, 3, 14, 7}});
}

std::unique_ptr<TTGAFont> LoadTGA(const Bytes& data, const std::string& name = "test.tga") {
  TMemoryStream m(data);
  return std::make_unique<TTGAFont>(m, name);
}

std::unique_ptr<TZRRFont> LoadZRR(const Bytes& data) {
  TMemoryStream m(data);
  return std::make_unique<TZRRFont>(m);
}

struct TRGB {
  uint8_t R, G, B;
  bool operator==(const TRGB& o) const { return R == o.R && G == o.G && B == o.B; }
};

TRGB At(PImage image, int x, int y) {
  TRGB c{};
  GetColor(image->Surface, GetPixel(image->Surface, x, y), c.R, c.G, c.B);
  return c;
}

// Columns of the back buffer's row y that are not black.
std::vector<int> LitColumns(int y) {
  std::vector<int> xs;
  for (int x = 0; x < 640; ++x)
    if (GetPixel(BackSurface, x, y) != 0) xs.push_back(x);
  return xs;
}

class Fonts : public ::testing::Test {
 protected:
  void SetUp() override {
    Initialize(640, 400, 32, VF_BACKBUFFER);
    Bar(0, 0, 639, 399, 0, 0, 0);
  }
  void TearDown() override {
    if (ScreenSurface) Finalize();
  }
  vgrtest::TScopedLog Log_;
};

}  // namespace

// ---------------------------------------------------------------- .zrr

TEST_F(Fonts, DenseEightByEightInDescenderModeDropsGqyOneRow) {
  Bytes top(8, 0);
  top[0] = 0x80;  // the top-left pixel
  auto f = LoadZRR(MakeZRR(zrrDescender, 8, 8, {{'g', top}, {'q', top}, {'y', top}, {'a', top}, {'p', top}}));
  ASSERT_NE(f->GetImage(), nullptr);
  EXPECT_EQ(f->LineHeight, 9);
  EXPECT_EQ(f->CellHeight, 9);
  EXPECT_EQ(ImageWidth(f->GetImage()), 2048);
  EXPECT_EQ(ImageHeight(f->GetImage()), 9);
  const TRGB white{255, 255, 255}, black{0, 0, 0};
  for (int c : {'g', 'q', 'y'}) {
    EXPECT_EQ(At(f->GetImage(), c * 8, 0), black) << static_cast<char>(c);
    EXPECT_EQ(At(f->GetImage(), c * 8, 1), white) << static_cast<char>(c);
  }
  for (int c : {'a', 'p'}) {
    EXPECT_EQ(At(f->GetImage(), c * 8, 0), white) << static_cast<char>(c);
    EXPECT_EQ(At(f->GetImage(), c * 8, 1), black) << static_cast<char>(c);
  }
  EXPECT_EQ(f->Glyphs['g'].Left, 'g' * 8);
  EXPECT_EQ(f->Glyphs['g'].Right, 'g' * 8 + 7);
  EXPECT_EQ(f->Glyphs['g'].Bottom, 8);
  EXPECT_EQ(f->SpaceWidth, 8);
  EXPECT_EQ(f->Spacing, 0);
  EXPECT_EQ(f->GreyStream, nullptr);
}

TEST_F(Fonts, WithoutDescenderModeGKeepsItsRows) {
  Bytes top(8, 0);
  top[0] = 0x80;
  auto f = LoadZRR(MakeZRR(0, 8, 8, {{'g', top}}));
  EXPECT_EQ(f->LineHeight, 8);
  EXPECT_EQ(At(f->GetImage(), 'g' * 8, 0), (TRGB{255, 255, 255}));
}

struct TCellCase {
  uint8_t Width;
  Bytes Row;              // the first row of glyph "A"
  std::vector<int> Ink;   // columns expected lit
};

TEST_F(Fonts, SparseCellsOfEveryWidthReadWholeRows) {
  const std::vector<TCellCase> cases = {
      {5, {0x11}, {0, 4}},
      {8, {0x81}, {0, 7}},
      {12, {0x08, 0x01}, {0, 11}},       // not a multiple of 8: not only the first byte
      {12, {0x01, 0x80}, {3, 4}},
      {16, {0x80, 0x01}, {0, 15}},
      {20, {0x08, 0x00, 0x01}, {0, 19}},
  };
  for (const TCellCase& c : cases) {
    Bytes glyph(static_cast<size_t>(ZRRRowBytes(c.Width)) * 2, 0);
    std::copy(c.Row.begin(), c.Row.end(), glyph.begin());
    auto f = LoadZRR(MakeZRR(zrrSparse, c.Width, 2, {{'A', glyph}, {'C', Bytes(glyph.size(), 0xFF)}}));
    ASSERT_NE(f->GetImage(), nullptr);
    std::vector<int> lit;
    for (int x = 0; x < c.Width; ++x)
      if (GetPixel(f->GetImage()->Surface, 'A' * c.Width + x, 0) != 0) lit.push_back(x);
    EXPECT_EQ(lit, c.Ink) << "width " << int(c.Width);
    // "B" is absent: blank; "C" follows it in the file and is all ink.
    EXPECT_EQ(GetPixel(f->GetImage()->Surface, 'B' * c.Width, 0), 0u);
    EXPECT_NE(GetPixel(f->GetImage()->Surface, 'C' * c.Width + c.Width - 1, 1), 0u);
  }
}

TEST_F(Fonts, SheetHasInkExactlyWhereZRRPixelSaysAtEveryWidth) {
  // The sheet is drawn a byte at a time; ZRRPixel states the bit layout.
  uint32_t seed = 12345;
  for (uint8_t width = 1; width <= 24; ++width) {
    const int rows = 3, rowBytes = ZRRRowBytes(width);
    Bytes glyph(static_cast<size_t>(rowBytes) * rows);
    for (uint8_t& b : glyph) {
      seed = seed * 134775813u + 1;
      b = static_cast<uint8_t>(seed >> 24);
    }
    auto f = LoadZRR(MakeZRR(zrrSparse, width, rows, {{'A', glyph}}));
    ASSERT_NE(f->GetImage(), nullptr);
    for (int y = 0; y < rows; ++y)
      for (int x = 0; x < width; ++x) {
        const bool ink = GetPixel(f->GetImage()->Surface, 'A' * width + x, y) != 0;
        EXPECT_EQ(ink, ZRRPixel(glyph.data() + y * rowBytes, width, x)) << "width " << int(width) << " at " << x
                                                                        << "," << y;
      }
  }
}

TEST_F(Fonts, ZRRWithoutSheetDrawsNothing) {
  vgrtest::TTempDir dir;
  const std::vector<Bytes> bad = {
      Bytes{'Z', 'R', 'A', 'X', 0, 8, 8},  // wrong magic
      Bytes{'Z', 'R', 'A'},                // shorter than the magic
      Bytes{'Z', 'R', 'A', 'R', 0, 0, 8},  // cells of no width
      Bytes{'Z', 'R', 'A', 'R', 0, 64, 8}, // a sheet of 16384 columns
  };
  for (const Bytes& b : bad) {
    auto f = LoadZRR(b);
    EXPECT_EQ(f->GetImage(), nullptr);
    f->TextOut("Loading...", 320, 192, taCenter);
    f->SetColor(255, 0, 0);
    EXPECT_EQ(f->GetImage(), nullptr);
  }
  EXPECT_TRUE(LitColumns(192).empty());
  TZRRFont missing(dir / "none.zrr");
  EXPECT_EQ(missing.GetImage(), nullptr);
  missing.TextOut("Loading...", 0, 0, taLeft);
  EXPECT_TRUE(LitColumns(0).empty());
}

TEST_F(Fonts, TruncatedZRRKeepsWhatItHasAndWarns) {
  Bytes top(8, 0xFF);
  Bytes file = MakeZRR(zrrSparse, 8, 8, {{'A', top}, {'B', top}});
  file.resize(file.size() - 4);  // half of "B" lost
  auto f = LoadZRR(file);
  ASSERT_NE(f->GetImage(), nullptr);
  EXPECT_NE(GetPixel(f->GetImage()->Surface, 'A' * 8, 7), 0u);
  EXPECT_EQ(GetPixel(f->GetImage()->Surface, 'B' * 8, 7), 0u);
  bool warned = false;
  for (const std::string& l : Log_.Lines()) warned = warned || l.find("Font file is truncated!") != std::string::npos;
  EXPECT_TRUE(warned);
}

TEST_F(Fonts, ZRRRecolouredTwiceTakesTheLastColour) {
  Bytes top(8, 0);
  top[0] = 0x80;
  auto f = LoadZRR(MakeZRR(zrrSparse, 8, 8, {{'A', top}}));
  f->SetColor(10, 20, 30);
  f->SetColor(200, 100, 50);
  EXPECT_EQ(At(f->GetImage(), 'A' * 8, 0), (TRGB{200, 100, 50}));
  EXPECT_EQ(At(f->GetImage(), 'A' * 8 + 1, 0), (TRGB{0, 0, 0}));
  EXPECT_EQ(f->Color[0], 200u);
  EXPECT_EQ(f->Color[2], 50u);
  f->SetColor(999, 0, 300);  // beyond a byte: full strength, not wrapped
  EXPECT_EQ(At(f->GetImage(), 'A' * 8, 0), (TRGB{255, 0, 255}));
}

// ---------------------------------------------------------------- TGA fonts

TEST_F(Fonts, TGAFontTakesBoxesFromItsAttributeBlock) {
  auto f = LoadTGA(SolidFont(), "font\\solid.tga");
  ASSERT_NE(f->GetImage(), nullptr);
  EXPECT_EQ(ImageWidth(f->GetImage()), 16);
  EXPECT_EQ(f->LineHeight, 8);
  EXPECT_EQ(f->Spacing, 1);
  EXPECT_EQ(f->SpaceWidth, 10);
  EXPECT_EQ(f->FixedWidth, 0);
  EXPECT_FALSE(f->UseColorKey);
  EXPECT_FALSE(f->GetImage()->ColorKeyed);
  EXPECT_EQ(f->Glyphs['B'].Left, 5);
  EXPECT_EQ(f->Glyphs['B'].Right, 10);
  EXPECT_EQ(f->Glyphs['g'].Top, 3);
  EXPECT_EQ(f->Glyphs['C'].Right, 0);  // absent
  ASSERT_NE(f->GreyStream, nullptr);
  EXPECT_EQ(f->GreyStream->Data.size(), 4u + 16u * 8u);
  EXPECT_EQ(f->Name, "font\\solid.tga");
}

TEST_F(Fonts, TGAWithoutExtendedBlockGetsThePlaceholderButKeepsItsName) {
  picfix::TGAHeader h;
  h.Width = 2;
  h.Height = 1;
  const Bytes plain = picfix::MakeTGA(h, {}, Bytes(6, 0xFF));
  const Bytes shortId = picfix::MakeTGA(h, {0x01, 0x00}, Bytes(6, 0xFF));
  for (const Bytes& b : {plain, shortId}) {
    auto f = LoadTGA(b, "font\\plain.tga");
    ASSERT_NE(f->GetImage(), nullptr);
    EXPECT_EQ(ImageWidth(f->GetImage()), 16);
    EXPECT_EQ(ImageHeight(f->GetImage()), 16);
    EXPECT_EQ(f->LineHeight, 16);
    EXPECT_EQ(f->Name, "font\\plain.tga");
    for (const TGlyphRect& g : f->Glyphs) EXPECT_EQ(g.Right, 0);
  }
}

TEST_F(Fonts, MissingTGAFontIsABlankSixteenBySixteen) {
  vgrtest::TTempDir dir;
  TTGAFont f(dir / "nofont");
  EXPECT_EQ(f.Name, dir / "nofont.tga");  // the extension the readers add
  ASSERT_NE(f.GetImage(), nullptr);
  EXPECT_EQ(ImageWidth(f.GetImage()), 16);
  EXPECT_EQ(f.LineHeight, 16);
  EXPECT_EQ(f.Spacing, 1);
  EXPECT_EQ(f.SpaceWidth, 10);
  ASSERT_NE(f.GreyStream, nullptr);
  EXPECT_EQ(f.GreyStream->Data.size(), 4u + 256u);
  f.TextOut("12", 100, 100, taLeft);
  EXPECT_TRUE(LitColumns(100).empty());
}

TEST_F(Fonts, TGAFontLoadsByNameThroughTheLookup) {
  vgrtest::TTempDir dir;
  vgrtest::WriteFile(dir / "solid.tga", SolidFont());
  TTGAFont f(dir / "solid");
  EXPECT_EQ(f.Name, dir / "solid.tga");
  EXPECT_EQ(f.Glyphs['A'].Right, 4);
}

TEST_F(Fonts, RectanglesOutsideTheSheetAreDropped) {
  auto f = LoadTGA(MakeTGAFont(4, 2, Bytes(8, 255), {{'A', 0, 0, 3, 1}, {'B', 2, 0, 9, 1}, {'C', 3, 1, 1, 1}}));
  EXPECT_EQ(f->Glyphs['A'].Right, 3);
  EXPECT_EQ(f->Glyphs['B'].Right, 0);
  EXPECT_EQ(f->Glyphs['C'].Left, 0);
  bool warned = false;
  for (const std::string& l : Log_.Lines()) warned = warned || l.find("2 glyph rectangles outside") != std::string::npos;
  EXPECT_TRUE(warned);
}

TEST_F(Fonts, TGARecolouredTwiceTintsTheGreyLevels) {
  const Bytes grey = {255, 128, 0, 64};
  auto f = LoadTGA(MakeTGAFont(4, 1, grey, {{'A', 0, 0, 3, 0}}));
  f->SetColor(255, 255, 255);
  f->SetColor(255, 0, 128);
  EXPECT_EQ(At(f->GetImage(), 0, 0), (TRGB{254, 0, 127}));  // v * c div 256
  EXPECT_EQ(At(f->GetImage(), 1, 0), (TRGB{127, 0, 64}));
  EXPECT_EQ(At(f->GetImage(), 2, 0), (TRGB{0, 0, 0}));
  EXPECT_EQ(At(f->GetImage(), 3, 0), (TRGB{63, 0, 32}));
  EXPECT_EQ(f->Glyphs['A'].Right, 3);  // boxes of TGA fonts stay
}

TEST_F(Fonts, ColourKeyedFontLeavesTheBackgroundShowing) {
  auto f = LoadTGA(MakeTGAFont(2, 1, {255, 0}, {{'A', 0, 0, 1, 0}}));
  f->UseColorKey = true;
  f->SetColor(0, 255, 0);
  TImagePtr target = CreateImageWH(4, 1);
  ImageBar(target.get(), 0, 0, 3, 0, 255, 0, 0);
  f->TextOutOnImage(target.get(), "A", 0, 0, taLeft);
  EXPECT_EQ(At(target.get(), 0, 0), (TRGB{0, 254, 0}));
  EXPECT_EQ(At(target.get(), 1, 0), (TRGB{255, 0, 0}));  // the key colour is transparent
  EXPECT_TRUE(LitColumns(0).empty());                    // and nothing went to the back buffer
}

TEST_F(Fonts, GreyStreamWeighsTheChannels) {
  TImagePtr image = CreateImageWH(2, 1);
  ImageBar(image.get(), 0, 0, 0, 0, 100, 200, 50);
  ImageBar(image.get(), 1, 0, 1, 0, 255, 255, 255);
  std::unique_ptr<TMemoryStream> s = ImageToGreyStream(image.get());
  EXPECT_EQ(s->Data, (Bytes{2, 0, 1, 0, 153, 255}));
  s->Seek(0, soBeginning);
  TImagePtr tinted = CreateTintedImage(*s, 0, 0, 255);
  EXPECT_EQ(At(tinted.get(), 0, 0), (TRGB{0, 0, 152}));
}

// ---------------------------------------------------------------- measuring and drawing

struct TWidthCase {
  const char* Text;
  int32_t Fixed;
  int32_t Spacing;
  int32_t Expected;
};

TEST_F(Fonts, TextWidthProportionalAndFixed) {
  auto f = LoadTGA(SolidFont());  // "A" 5 wide, "B" 6 wide
  const std::vector<TWidthCase> cases = {
      {"AB", 0, 1, 12},
      {"AB", 8, -1, 15},
      {"", 0, 1, -1},
      {"", 13, 0, 0},
      {"A B", 0, 1, 5 + 1 + 10 + 6},  // a space adds SpaceWidth only
      {"A B", 13, 0, 39},
      {"AC", 0, 1, 5 + 1 + 1},  // a missing character counts one column
  };
  for (const TWidthCase& c : cases) {
    f->SetFixedWidth(c.Fixed);
    f->Spacing = c.Spacing;
    EXPECT_EQ(f->TextWidth(c.Text), c.Expected) << c.Text << " fixed " << c.Fixed << " spacing " << c.Spacing;
  }
}

struct TAlignCase {
  int Align;
  int X;
  int FirstColumn;
};

TEST_F(Fonts, TextLandsWhereTextWidthSays) {
  auto f = LoadTGA(SolidFont());
  f->SetColor(0, 255, 0);
  const std::string text = "ABAB";
  const int w = f->TextWidth(text);  // 5 + 1 + 6 + 1 + 5 + 1 + 6 = 25
  ASSERT_EQ(w, 25);
  const std::vector<TAlignCase> cases = {
      {taLeft, 100, 100}, {taCenter, 320, 320 - 25 / 2}, {taRight, 300, 275}, {7, 50, 50}};
  for (const TAlignCase& c : cases) {
    Bar(0, 0, 639, 399, 0, 0, 0);
    f->TextOut(text, c.X, 40, c.Align);
    const std::vector<int> lit = LitColumns(40);
    ASSERT_FALSE(lit.empty()) << c.Align;
    EXPECT_EQ(lit.front(), c.FirstColumn) << c.Align;
    EXPECT_EQ(lit.back(), c.FirstColumn + w - 1) << c.Align;
    EXPECT_EQ(lit.size(), 22u) << c.Align;  // three one-column gaps of Spacing 1
    TRGB col{};
    GetColor(BackSurface, GetPixel(BackSurface, c.FirstColumn, 40), col.R, col.G, col.B);
    EXPECT_EQ(col, (TRGB{0, 254, 0}));
  }
}

TEST_F(Fonts, CentringRoundsTowardsZero) {
  auto f = LoadTGA(MakeTGAFont(2, 1, {255, 255}, {{'A', 0, 0, 0, 0}, {'B', 1, 0, 1, 0}}));
  f->Spacing = -3;
  ASSERT_EQ(f->TextWidth("AB"), -1);
  f->TextOut("AB", 100, 10, taCenter);  // -1 div 2 is 0: the text starts at x
  const std::vector<int> lit = LitColumns(10);
  ASSERT_FALSE(lit.empty());
  EXPECT_EQ(lit.front(), 98);  // "B" lands three columns left of "A"'s end
  EXPECT_EQ(lit.back(), 100);
}

TEST_F(Fonts, GlyphTopIsAVerticalOffsetAndFixedWidthCentresGlyphs) {
  auto f = LoadTGA(SolidFont());
  f->TextOut("g", 10, 100, taLeft);  // the box starts at sheet row 3
  EXPECT_TRUE(LitColumns(102).empty());
  EXPECT_EQ(LitColumns(103), (std::vector<int>{10, 11, 12, 13}));
  EXPECT_EQ(LitColumns(107).size(), 4u);
  EXPECT_TRUE(LitColumns(108).empty());

  Bar(0, 0, 639, 399, 0, 0, 0);
  f->SetFixedWidth(13);
  f->Spacing = 0;
  f->TextOut("A B", 100, 200, taLeft);
  // "A" (5) at 100 + 4, the space advances 13 undrawn, "B" (6) at 126 + 3.
  const std::vector<int> lit = LitColumns(200);
  ASSERT_EQ(lit.size(), 11u);
  EXPECT_EQ(lit.front(), 104);
  EXPECT_EQ(lit[4], 108);
  EXPECT_EQ(lit[5], 129);
  EXPECT_EQ(lit.back(), 134);
}

TEST_F(Fonts, MissingCharacterDrawsTheSheetCornerAndAdvancesOne) {
  auto f = LoadTGA(SolidFont());
  f->TextOut("CA", 10, 50, taLeft);
  const std::vector<int> lit = LitColumns(50);
  // The sheet's pixel (0, 0) is part of "A": lit at 10, then "A" from 12.
  ASSERT_EQ(lit.size(), 6u);
  EXPECT_EQ(lit[0], 10);
  EXPECT_EQ(lit[1], 12);
}

TEST_F(Fonts, TextOutOnImageDrawsOnlyThere) {
  auto f = LoadTGA(SolidFont());
  TImagePtr target = CreateImageWH(32, 8);
  f->TextOutOnImage(target.get(), "AB", 1, 0, taLeft);
  EXPECT_EQ(At(target.get(), 1, 0), (TRGB{255, 255, 255}));
  EXPECT_EQ(At(target.get(), 6, 0), (TRGB{0, 0, 0}));
  EXPECT_EQ(At(target.get(), 7, 0), (TRGB{255, 255, 255}));
  for (int y = 0; y < 8; ++y) EXPECT_TRUE(LitColumns(y).empty());
}

TEST_F(Fonts, SetAlphaBlendsAndWarnsWithoutSheet) {
  auto f = LoadTGA(MakeTGAFont(1, 1, {255}, {{'A', 0, 0, 0, 0}}));
  f->SetAlpha(128);
  Bar(0, 0, 639, 399, 0, 0, 0);
  f->TextOut("A", 5, 5, taLeft);
  TRGB c{};
  GetColor(BackSurface, GetPixel(BackSurface, 5, 5), c.R, c.G, c.B);
  EXPECT_GT(c.R, 100);
  EXPECT_LT(c.R, 160);

  auto none = LoadZRR(Bytes{'N', 'O', 'P', 'E'});
  none->Name = "font\\gone.zrr";
  none->SetAlpha(255);
  const std::vector<std::string> lines = Log_.Lines();
  EXPECT_NE(std::find(lines.begin(), lines.end(), "[TBMPFONT.SetAlpha] SetAlpha failed! (BMPFont: font\\gone.zrr)"),
            lines.end());
}

TEST(FontsUnit, StartupWritesItsVersionLine) {
  vgrtest::TScopedLog log;
  ZRFonts_Startup();
  const std::vector<std::string> lines = log.Lines();
  EXPECT_NE(std::find(lines.begin(), lines.end(), "(uses) ZRFonts, version 2.29"), lines.end());
}

// Damaged files: every byte of a valid font may be wrong and the file may end
// anywhere; loading, measuring and drawing must stay inside their buffers.
TEST_F(Fonts, DamagedFontFilesLoadAndDrawSafely) {
  Bytes glyph(static_cast<size_t>(ZRRRowBytes(12)) * 10, 0x5A);
  const Bytes zrr = MakeZRR(zrrSparse | zrrDescender, 12, 10, {{'A', glyph}, {'g', glyph}, {'~', glyph}});
  const Bytes tga = SolidFont();
  uint32_t seed = 12345;
  auto next = [&seed] {
    seed = seed * 1103515245u + 12345u;
    return seed >> 8;
  };
  for (int round = 0; round < 300; ++round) {
    for (const Bytes* original : {&zrr, &tga}) {
      Bytes b = *original;
      const int flips = 1 + static_cast<int>(next() % 4);
      for (int i = 0; i < flips; ++i) b[next() % b.size()] = static_cast<uint8_t>(next());
      if (next() % 3 == 0) b.resize(next() % b.size());
      std::unique_ptr<TBMPFont> f;
      if (original == &zrr) {
        f = LoadZRR(b);
      } else {
        f = LoadTGA(b);
      }
      f->TextOut("Ag~\x01\xFF", 300, 100, taCenter);
      f->SetColor(1, 2, 3);
      f->SetFixedWidth(static_cast<int32_t>(next() % 20));
      f->TextOut("gA ~", 600, 390, taRight);
      EXPECT_LT(std::abs(f->TextWidth("Ag~")), 3 * 16384);
    }
  }
}
