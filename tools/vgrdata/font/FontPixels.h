#pragma once
// Pixel alphabets: glyphs drawn as grids of text ("#" ink, "." blank) on a
// common band of rows above and below the baseline, and the styles that
// turn one alphabet into the game's fonts of several sizes (whole-pixel
// scaling, a colour ramp from the top of the band down, lit and shaded
// edges, a drop shadow).

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "FontFiles.h"

namespace vgrdata {

struct TPixelGlyph {
  int Width = 0;
  std::vector<uint8_t> Ink;  // Width * (Ascent + Descent) values, rows top down, 1 = ink
};

struct TPixelAlphabet {
  int Ascent = 0;   // rows above the baseline
  int Descent = 0;  // rows below it
  std::array<bool, 256> Present{};
  std::array<TPixelGlyph, 256> Glyph{};

  int Rows() const { return Ascent + Descent; }
};

// Reads the text source; false with the reason and its line when it is
// malformed (unknown line, rows of unequal width, too many rows, a character
// drawn twice).
bool ParsePixelAlphabet(const std::string& text, const std::string& fileName, TPixelAlphabet& alphabet,
                        std::string& error);

struct TRgb {
  uint8_t R = 0, G = 0, B = 0;
  bool operator==(const TRgb&) const = default;
};

struct TPixelStyle {
  int Scale = 1;
  // Strokes one pixel thicker after scaling: to the right, and with
  // BoldDown also downwards (the glyph grows by that pixel).
  bool Bold = false;
  bool BoldDown = false;
  // Ink colours from the top of the band to the baseline, spread evenly over
  // those rows; rows below the baseline keep the last.
  std::vector<TRgb> Ramp{{255, 255, 255}};
  // Ink pixels on the top or left edge of a stroke, and those on its bottom
  // or right edge (the lit side wins a corner that is both).
  std::optional<TRgb> Light;
  std::optional<TRgb> Dark;
  // Cast one pixel right and down wherever it falls on no ink.
  std::optional<TRgb> Shadow;
};

// Parses "rrggbb[,rrggbb...]"; false for anything else or black, which is
// the transparent colour.
bool ParseColorList(const std::string& text, std::vector<TRgb>& colors);

// Every glyph of the alphabet drawn in the style, ready for LayoutZRR and
// LayoutTGAFont: coverage is the pixel's grey level (never 0 for ink), and
// Color holds its colour when the style is not plain white.
void RenderPixelAlphabet(const TPixelAlphabet& alphabet, const TPixelStyle& style, TFontGlyphs& glyphs);

}  // namespace vgrdata
