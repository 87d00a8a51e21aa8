#pragma once
// Fonts and screen readers for the component tests: every glyph is a solid
// block whose colour names its character (red) and its font (green), so a
// test can read back from the pixels which text was drawn, where, and with
// which font.

#include <functional>
#include <memory>
#include <string>

#include "ZRFonts.h"
#include "ZR_SDL.h"

namespace uitest {

constexpr uint8_t kInkBlue = 0x40;

// Glyph c is glyphWidth(c) pixels wide and `height` high, filled with the
// colour (c, tag, kInkBlue); Spacing 0, SpaceWidth 8, the space has no glyph.
inline std::unique_ptr<TBMPFont> MakeTestFont(uint8_t tag, int height = 8,
                                              std::function<int(int)> glyphWidth = nullptr) {
  if (!glyphWidth) glyphWidth = [](int) { return 8; };
  auto font = std::make_unique<TBMPFont>();
  int sheet = 0;
  for (int c = 0; c < 256; ++c) sheet += glyphWidth(c);
  font->Image = CreateImageWH(sheet, height);
  int x = 0;
  for (int c = 0; c < 256; ++c) {
    const int w = glyphWidth(c);
    font->Glyphs[static_cast<std::size_t>(c)] = TGlyphRect{x, 0, x + w - 1, height - 1};
    ImageBar(font->Image.get(), x, 0, x + w - 1, height - 1, static_cast<uint8_t>(c), tag, kInkBlue);
    x += w;
  }
  font->Spacing = 0;
  font->SpaceWidth = 8;
  font->LineHeight = height;
  return font;
}

struct TPixel {
  uint8_t R = 0, G = 0, B = 0;
  bool operator==(const TPixel& o) const { return R == o.R && G == o.G && B == o.B; }
};

inline TPixel PixelAt(SDL_Surface* surface, int x, int y) {
  TPixel p;
  GetColor(surface, GetPixel(surface, x, y), p.R, p.G, p.B);
  return p;
}

inline TPixel ScreenPixel(int x, int y) { return PixelAt(TargetSurface(), x, y); }

// The text drawn with a test font along row y between x1 and x2: glyph
// blocks of `width` pixels, gaps of `spaceWidth` read as blanks. `tag`
// receives the font tag of the first glyph (0 when there is none) and
// `start` its left edge.
inline std::string ReadText(SDL_Surface* surface, int y, int x1, int x2, int* tag = nullptr, int* start = nullptr,
                            int width = 8, int spaceWidth = 8) {
  std::string text;
  int gap = 0;
  if (tag) *tag = 0;
  if (start) *start = -1;
  for (int x = x1; x <= x2;) {
    const TPixel p = PixelAt(surface, x, y);
    if (p.B != kInkBlue) {
      ++gap;
      ++x;
      continue;
    }
    if (text.empty()) {
      if (tag) *tag = p.G;
      if (start) *start = x;
    } else {
      text.append(static_cast<std::size_t>(gap / spaceWidth), ' ');
    }
    gap = 0;
    text += static_cast<char>(p.R);
    x += width;
  }
  return text;
}

inline std::string ReadScreenText(int y, int x1 = 0, int x2 = 639, int* tag = nullptr, int* start = nullptr) {
  return ReadText(TargetSurface(), y, x1, x2, tag, start);
}

}  // namespace uitest
