#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "FontPixels.h"

using namespace vgrdata;

namespace {

TEST(PixelAlphabet, ReadsGlyphsOnTheBand) {
  const std::string text =
      "; a comment\n"
      "ascent 2\r\n"
      "descent 1\n"
      "\n"
      "char A\n"
      "##\n"
      "#.\n"
      "char space\n"
      "...\n"
      "char .\n"
      "  #.  \n"
      "#.\n"
      "..\n";
  TPixelAlphabet a;
  std::string why;
  ASSERT_TRUE(ParsePixelAlphabet(text, "t.txt", a, why)) << why;
  EXPECT_EQ(a.Ascent, 2);
  EXPECT_EQ(a.Rows(), 3);
  EXPECT_TRUE(a.Present['A'] && a.Present[' '] && a.Present['.']);
  EXPECT_FALSE(a.Present['B']);
  EXPECT_EQ(a.Glyph['A'].Width, 2);
  EXPECT_EQ(a.Glyph['A'].Ink, (std::vector<uint8_t>{1, 1, 1, 0, 0, 0}));  // the row left out is blank
  EXPECT_EQ(a.Glyph[' '].Width, 3);
  EXPECT_EQ(a.Glyph[' '].Ink, std::vector<uint8_t>(9, 0));
  EXPECT_EQ(a.Glyph['.'].Ink, (std::vector<uint8_t>{1, 0, 1, 0, 0, 0}));

  const std::map<std::string, std::string> broken = {
      {"ascent 2\ndescent 1\nchar A\n##\n#\n", "t.txt:5: rows of unequal width"},
      {"ascent 2\ndescent 1\nchar A\n#\n#\n#\n#\n", "t.txt:7: more than 3 rows"},
      {"ascent 2\ndescent 1\n##\n", "t.txt:3: a row outside a character"},
      {"ascent 2\ndescent 1\nchar A\n#\nchar A\n#\n", "t.txt:5: character 'A' drawn twice"},
      {"ascent 2\ndescent 1\nchar AB\n#\n", "t.txt:3: \"char\" takes one character or \"space\""},
      {"char A\n#\n", "t.txt:1: the band has no rows"},
      {"ascent 2\ndescent 1\nchar A\nchar B\n#\n", "t.txt:4: character 65 has no rows"},
      {"ascent 2\ndescent 1\nchar A\n#\nascent 3\n", "t.txt:5: ascent after the first character"},
      {"ascent two\n", "t.txt:1: ascent takes a number"},
      {"ascent 2\ndescent 1\nglyph A\n", "t.txt:3: unknown line \"glyph A\""},
  };
  for (const auto& [source, message] : broken) {
    EXPECT_FALSE(ParsePixelAlphabet(source, "t.txt", a, why)) << source;
    EXPECT_EQ(why.rfind(message, 0), 0u) << why;
  }
}

TEST(PixelAlphabet, StyleScalesRampsBevelsAndCastsAShadow) {
  TPixelAlphabet a;
  std::string why;
  ASSERT_TRUE(ParsePixelAlphabet("ascent 2\ndescent 1\nchar A\n##\n#.\n", "t.txt", a, why)) << why;
  TPixelStyle style;
  style.Scale = 2;
  style.Ramp = {{200, 0, 0}, {100, 0, 0}};
  style.Light = TRgb{255, 255, 0};
  style.Dark = TRgb{0, 0, 90};
  style.Shadow = TRgb{0, 60, 0};
  auto glyphs = std::make_unique<TFontGlyphs>();
  RenderPixelAlphabet(a, style, *glyphs);
  ASSERT_TRUE(glyphs->Present['A']);
  EXPECT_FALSE(glyphs->Present['B']);
  const TGlyphRaster& g = glyphs->Glyph['A'];
  EXPECT_EQ(g.Advance, 6);  // two columns and the blank one, doubled
  EXPECT_EQ(g.Top, 4);
  EXPECT_EQ(g.Left, 0);
  // L lit edge, D dark edge, 1 and 2 the ramp (top half, bottom half of the
  // rows above the baseline), S shadow.
  const std::vector<std::string> expected = {
      "LLLL.",
      "L1DDS",
      "LDSSS",
      "LDS..",
      ".SS..",
      ".....",
      ".....",
  };
  const std::map<char, TRgb> colors = {{'L', *style.Light}, {'D', *style.Dark}, {'1', style.Ramp[0]},
                                       {'2', style.Ramp[1]}, {'S', *style.Shadow}};
  ASSERT_EQ(g.Width, 5);
  ASSERT_EQ(g.Rows, 7);
  for (int y = 0; y < g.Rows; ++y) {
    std::string row;
    for (int x = 0; x < g.Width; ++x) {
      const size_t i = static_cast<size_t>(y) * g.Width + x;
      const TRgb c{g.Color[i * 3], g.Color[i * 3 + 1], g.Color[i * 3 + 2]};
      char k = g.Coverage[i] == 0 ? '.' : '?';
      for (const auto& [key, rgb] : colors)
        if (g.Coverage[i] != 0 && c == rgb) k = key;
      row += k;
    }
    EXPECT_EQ(row, expected[y]) << "row " << y;
  }
  // Coverage is the grey level of the colour, and never 0 where there is ink.
  EXPECT_EQ(g.Coverage[0], (255 * 30 + 255 * 59) / 100);
  EXPECT_EQ(g.Coverage[5 + 2], 90 * 11 / 100);  // a dark edge
}

TEST(PixelAlphabet, BoldStrokesGrowRightAndDown) {
  TPixelAlphabet a;
  std::string why;
  ASSERT_TRUE(ParsePixelAlphabet("ascent 2\ndescent 0\nchar .\n..\n.#\n", "t.txt", a, why)) << why;
  auto inkRows = [&a](bool bold, bool down) {
    TPixelStyle style;
    style.Scale = 2;
    style.Bold = bold;
    style.BoldDown = down;
    auto glyphs = std::make_unique<TFontGlyphs>();
    RenderPixelAlphabet(a, style, *glyphs);
    const TGlyphRaster& g = glyphs->Glyph['.'];
    std::vector<std::string> rows;
    for (int y = 0; y < g.Rows; ++y) {
      rows.emplace_back();
      for (int x = 0; x < g.Width; ++x) rows.back() += g.Coverage[static_cast<size_t>(y) * g.Width + x] ? '#' : '.';
    }
    return std::pair{rows, g.Advance};
  };
  EXPECT_EQ(inkRows(false, false), (std::pair{std::vector<std::string>{"....", "....", "..##", "..##"}, 6}));
  EXPECT_EQ(inkRows(true, false), (std::pair{std::vector<std::string>{".....", ".....", "..###", "..###"}, 7}));
  EXPECT_EQ(inkRows(true, true),
            (std::pair{std::vector<std::string>{".....", ".....", "..###", "..###", "..###"}, 7}));
}

TEST(PixelAlphabet, ColourListsRefuseBlackAndMalformedEntries) {
  std::vector<TRgb> c;
  EXPECT_TRUE(ParseColorList("fff0a0,D8A836", c));
  EXPECT_EQ(c, (std::vector<TRgb>{{255, 240, 160}, {216, 168, 54}}));
  for (const char* bad : {"", "000000", "fff0a", "fff0a0,", "fff0a0,,d8a836", "red"})
    EXPECT_FALSE(ParseColorList(bad, c)) << bad;
}

}  // namespace
