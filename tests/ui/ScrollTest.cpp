// The text scroller: loading, strip preparation, stepping and drawing.
#include <gtest/gtest.h>

#include <algorithm>

#include "ScrollUnit.h"
#include "TestSupport.h"
#include "UiFixtures.h"
#include "ZRStream3.h"
#include "ZR_SDL.h"

using uitest::MakeTestFont;
using uitest::PixelAt;
using uitest::ReadText;
using uitest::ScreenPixel;
using uitest::TPixel;

namespace {

TMemoryStream StreamOf(const std::string& text) {
  return TMemoryStream(std::vector<uint8_t>(text.begin(), text.end()));
}

std::string TextOf(const TScroll& s) { return std::string(s.Text.begin(), s.Text.end()); }

TEST(ScrollText, LoadingKeepsTextBeforeEscWithoutLineBreaks) {
  struct TCase {
    std::string File, Text;
  };
  const std::string longLine(100, 'x');
  const std::vector<TCase> cases = {
      {"AB\r\nCD\n\x1b" "EF", "ABCD"},
      {"AB\nCD", "ABCD"},
      {"\x1b" "ABC", ""},
      {"", ""},
      {"\r\n\r\n", ""},
      {std::string(31, 'a') + "\r\n" + std::string(31, 'b') + "\x1b" "c", std::string(31, 'a') + std::string(31, 'b')},
      {longLine + "\r" + longLine + "\x1b\x1b", longLine + longLine},
      {std::string(32, 'q') + "\x1b", std::string(32, 'q')},
      {"A\rB\x1b\r\nC", "AB"},
  };
  for (const auto& c : cases) {
    Initialize(640, 400, 32, VF_BACKBUFFER);
    TScroll scroll(nullptr, 345, 0, 30);
    TMemoryStream stream = StreamOf(c.File);
    scroll.LoadFromStream(stream);
    EXPECT_EQ(TextOf(scroll), c.Text) << c.File;
    EXPECT_EQ(scroll.TextLength, static_cast<int32_t>(c.Text.size())) << c.File;
    EXPECT_EQ(scroll.Cursor, 0);
    Finalize();
  }
}

class Scroll_ : public ::testing::Test {
 protected:
  void SetUp() override { Initialize(640, 400, 32, VF_BACKBUFFER); }
  void TearDown() override {
    Font.reset();
    Finalize();
  }
  void Make(int32_t spacing, std::function<int(int)> widths = nullptr, int top = 345, int offset = 0) {
    Font = MakeTestFont(7, 20, std::move(widths));
    Font->Spacing = spacing;
    S = std::make_unique<TScroll>(Font.get(), top, offset, 30);
  }
  void Load(const std::string& text) {
    TMemoryStream stream = StreamOf(text);
    S->LoadFromStream(stream);
  }
  std::vector<TPixel> ScreenRow(int y) {
    std::vector<TPixel> row;
    for (int x = 0; x < 640; ++x) row.push_back(ScreenPixel(x, y));
    return row;
  }
  std::vector<TPixel> Frame(int y = 350) {
    Bar(0, 0, 639, 399, 0, 0, 0);
    S->Draw(0);
    return ScreenRow(y);
  }
  std::unique_ptr<TBMPFont> Font;
  std::unique_ptr<TScroll> S;
};

TEST_F(Scroll_, CreationState) {
  Make(1);
  EXPECT_EQ(S->Fill, 640);
  EXPECT_EQ(S->Pos, 640);
  EXPECT_EQ(S->Alpha, 255);
  EXPECT_EQ(S->Cursor, -1);
  EXPECT_EQ(S->TextLength, 0);
  EXPECT_EQ(ImageWidth(S->Current.get()), 1280);
  EXPECT_EQ(ImageHeight(S->Current.get()), 30);
  EXPECT_EQ(ImageWidth(S->Spare.get()), 1280);
  EXPECT_TRUE(S->Current->ColorKeyed);
  EXPECT_TRUE(S->Spare->ColorKeyed);
}

TEST_F(Scroll_, OnePreparationPlaces71EightPixelGlyphs) {
  Make(1);
  std::string text;
  for (int i = 0; i < 100; ++i) text += static_cast<char>('!' + i % 90);
  Load(text);
  S->Step();
  EXPECT_EQ(S->Fill, 71 * 9);
  EXPECT_EQ(S->Pos, 1);
  EXPECT_EQ(S->Cursor, 71);
  // The cursor moves on before drawing: the strip starts with the second
  // character, right behind the first screen width.
  EXPECT_EQ(ReadText(S->Current->Surface, 5, 640, 1279, nullptr, nullptr, 9, 9), text.substr(1, 71));
  EXPECT_EQ(PixelAt(S->Current->Surface, 639, 5), (TPixel{0, 0, 0}));
  // The spare strip is empty again.
  EXPECT_EQ(ReadText(S->Spare->Surface, 5, 0, 1279), "");
}

TEST_F(Scroll_, TwoLinesScrollAsOneTextAndWrapWithoutGap) {
  Make(1);
  Load("AB\r\nCD\r\n\x1b");
  S->Step();
  std::string expected;
  for (int i = 0; i < 71; ++i) expected += "BCDA"[i % 4];
  EXPECT_EQ(ReadText(S->Current->Surface, 5, 640, 1279, nullptr, nullptr, 9, 9), expected);
  // Glyphs stand 9 pixels apart everywhere, across the text's end too.
  for (int k = 0; k < 71; ++k) {
    EXPECT_EQ(PixelAt(S->Current->Surface, 640 + 9 * k, 5).B, uitest::kInkBlue) << k;
    EXPECT_EQ(PixelAt(S->Current->Surface, 640 + 9 * k + 8, 5), (TPixel{0, 0, 0})) << k;
  }
}

TEST_F(Scroll_, ScreenMovesOnePixelPerStepAcrossPreparations) {
  Make(1, [](int c) { return 5 + c % 7; });
  Load("The quick brown fox jumps over the lazy dog.\r\n\x1b");
  S->Step();
  std::vector<TPixel> previous = Frame();
  int preparations = 0;
  for (int step = 0; step < 2000; ++step) {
    const int32_t fill = S->Fill;
    S->Step();
    if (S->Fill != fill || S->Pos == 1) ++preparations;
    const std::vector<TPixel> now = Frame();
    for (int x = 0; x + 1 < 640; ++x) {
      ASSERT_EQ(now[static_cast<std::size_t>(x)], previous[static_cast<std::size_t>(x + 1)])
          << "step " << step << " x " << x;
    }
    previous = now;
  }
  EXPECT_GE(preparations, 2);
  // After 2000 pixels, text fills the whole screen row.
  int ink = 0;
  for (const TPixel& p : previous) ink += p.B == uitest::kInkBlue;
  EXPECT_GT(ink, 300);
}

TEST_F(Scroll_, TextEntersFromTheRightEdge) {
  Make(1);
  Load("XY\x1b");
  S->Step();
  std::vector<TPixel> row = Frame();
  for (const TPixel& p : row) ASSERT_EQ(p, (TPixel{0, 0, 0}));
  S->Update(1);
  row = Frame();
  EXPECT_EQ(row[639].B, uitest::kInkBlue);
  EXPECT_EQ(row[639].R, 'Y');
  EXPECT_EQ(row[638], (TPixel{0, 0, 0}));
}

TEST_F(Scroll_, UpdateThreeMovesThreePixels) {
  Make(1);
  Load("Scrolling text, three pixels at a time.\x1b");
  S->Update(200);
  const std::vector<TPixel> before = Frame();
  const int32_t pos = S->Pos;
  S->Update(3);
  EXPECT_EQ(S->Pos, pos + 3);
  const std::vector<TPixel> after = Frame();
  for (int x = 0; x + 3 < 640; ++x) {
    ASSERT_EQ(after[static_cast<std::size_t>(x)], before[static_cast<std::size_t>(x + 3)]) << x;
  }
  S->Update(0);
  EXPECT_EQ(S->Pos, pos + 3);
}

TEST_F(Scroll_, DrawsAtTopPlusDyPlusOffsetOverTheBackground) {
  Make(1, nullptr, 345, 5);
  Load("MMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMM\x1b");
  S->Update(700);
  Bar(0, 0, 639, 399, 255, 255, 255);
  S->Draw(-10);
  // Glyphs 20 rows high from y = 345 - 10 + 5; the strip's black is see-through.
  int x = 0;
  while (x < 640 && ScreenPixel(x, 345).B != uitest::kInkBlue) ++x;
  ASSERT_LT(x, 640);
  EXPECT_EQ(ScreenPixel(x, 340).R, 'M');
  EXPECT_EQ(ScreenPixel(x, 359).R, 'M');
  EXPECT_EQ(ScreenPixel(x, 339), (TPixel{255, 255, 255}));
  EXPECT_EQ(ScreenPixel(x, 360), (TPixel{255, 255, 255}));
  int gap = x;
  while (gap < 640 && ScreenPixel(gap, 345).B == uitest::kInkBlue) ++gap;
  ASSERT_LT(gap, 640);
  EXPECT_LE(gap - x, 8);
  EXPECT_EQ(ScreenPixel(gap, 345), (TPixel{255, 255, 255}));
  EXPECT_EQ(ScreenPixel(gap + 1, 345).R, 'M');

  // Half alpha blends the glyphs with what lies behind.
  S->Alpha = 128;
  Bar(0, 0, 639, 399, 255, 255, 255);
  S->Draw(-10);
  const TPixel blended = ScreenPixel(x, 345);
  EXPECT_NEAR(blended.R, ('M' + 255) / 2, 3);
  EXPECT_NEAR(blended.G, (7 + 255) / 2, 3);
  EXPECT_NEAR(blended.B, (uitest::kInkBlue + 255) / 2, 3);
}

TEST_F(Scroll_, TranslucentDrawingDoesNotFadeTheCarriedOverPart) {
  Make(1);
  Load("Fading would show here.\x1b");
  S->Alpha = 128;
  S->Step();
  S->Draw(0);
  S->Update(S->Fill);  // the next preparation copies the visible part
  ASSERT_EQ(S->Pos, 1);
  int ink = 0;
  for (int x = 0; x < 640; ++x) {
    const TPixel p = PixelAt(S->Current->Surface, x, 5);
    if (p == TPixel{0, 0, 0}) continue;
    ++ink;
    ASSERT_EQ(p.B, uitest::kInkBlue) << x;
    ASSERT_EQ(p.G, 7) << x;
  }
  EXPECT_GT(ink, 300);
}

TEST_F(Scroll_, WideGlyphAfterNarrowOnesIsNeverCut) {
  // "i" is 2 pixels wide, "M" 60: the width of the glyph about to be drawn
  // decides whether it still fits.
  Make(1, [](int c) { return c == 'M' ? 60 : 2; });
  std::string text;
  for (int i = 0; i < 40; ++i) text += "iiiiiiiiiiiiiiiiiiiM";
  Load(text);
  for (int prep = 0; prep < 20; ++prep) {
    S->Step();
    ASSERT_LT(S->Fill, 640) << prep;
    // The last glyph placed ends inside the strip, followed by blank.
    int last = 1279;
    while (last >= 640 && PixelAt(S->Current->Surface, last, 5).B != uitest::kInkBlue) --last;
    EXPECT_EQ(last, 640 + S->Fill - 2) << prep;
    S->Pos = S->Fill;
  }
}

TEST_F(Scroll_, GlyphWiderThanTheScreenIsSkipped) {
  Make(1, [](int c) { return c == 'W' ? 700 : 8; });
  Load("aWb\x1b");
  S->Step();
  std::string expected;
  for (int i = 0; i < 71; ++i) expected += i % 2 == 0 ? 'b' : 'a';
  EXPECT_EQ(ReadText(S->Current->Surface, 5, 640, 1279, nullptr, nullptr, 9, 9), expected);
  // A text of nothing but such glyphs shows nothing and does not hang.
  Load("WW\x1b");
  S->Pos = S->Fill;
  S->Update(5);
  EXPECT_EQ(S->Fill, 0);
  EXPECT_EQ(S->Pos, 1);
}

TEST_F(Scroll_, WithoutTextItKeepsGoingBlank) {
  Make(1);
  S->Update(5000);
  EXPECT_LE(S->Pos, 1);
  for (const TPixel& p : Frame()) ASSERT_EQ(p, (TPixel{0, 0, 0}));
  // Text loaded later appears at once.
  Load("Z\x1b");
  S->Update(2);
  EXPECT_EQ(Frame()[639].R, 'Z');
}

TEST_F(Scroll_, TextThatEndsLeavesBothStripsBlank) {
  Make(1);
  Load("AB\x1b");
  S->Update(1000);
  ASSERT_NE(S->Fill, 0);
  Load("\x1b");
  // The first empty preparation still carries the visible part over; the
  // ones after it must clear what they swap out, and only then may stop.
  for (int round = 0; round < 3; ++round) {
    S->Update(S->Fill + 1);
    S->Update(5);
  }
  for (const TPixel& p : Frame()) ASSERT_EQ(p, (TPixel{0, 0, 0}));
  for (const TImage* strip : {S->Current.get(), S->Spare.get()}) {
    for (int y = 0; y < 30; ++y) {
      for (int x = 0; x < 1280; ++x) ASSERT_EQ(PixelAt(strip->Surface, x, y), (TPixel{0, 0, 0})) << x << "," << y;
    }
  }
  // New text after the blank stretch shows, and the blank stretch never
  // kept old glyphs in the strip it prepares.
  Load("Z\x1b");
  S->Update(2);
  EXPECT_EQ(Frame()[639].R, 'Z');
  EXPECT_EQ(Frame()[600], (TPixel{0, 0, 0}));
}

TEST_F(Scroll_, LoadsThroughTheStreamLookup) {
  vgrtest::TScopedLog log;
  vgrtest::TTempDir dir;
  vgrtest::WriteFile(dir / "scroll.txt", std::string("Hello\r\nworld\x1bignored"));
  Make(1);
  S->LoadFromFile(dir / "scroll.txt");
  EXPECT_EQ(TextOf(*S), "Helloworld");
  S->LoadFromFile(dir / "missing.txt");
  EXPECT_EQ(TextOf(*S), "Helloworld");
  // The lookup itself reports the missing file.
  const auto lines = log.Lines();
  EXPECT_NE(std::find(lines.begin(), lines.end(), "[ZRStream3, ZROpenStream] ZROpenStream failed: " + (dir / "missing.txt")),
            lines.end());
}

TEST_F(Scroll_, LoadingFromTheMiddleOfAStreamReadsFromThere) {
  Make(1);
  TMemoryStream stream = StreamOf("skipAB\x1b");
  stream.Seek(4, soBeginning);
  S->LoadFromStream(stream);
  EXPECT_EQ(TextOf(*S), "AB");
}

}  // namespace
