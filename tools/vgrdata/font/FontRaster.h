#pragma once
// Glyphs of an outline font rendered to pixels with FreeType, the raw
// material of the game's bitmap fonts.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vgrdata {

// How FreeType turns an outline into pixels.
enum class TRasterMode {
  Grey,   // anti-aliased, hinted as the font's own instructions say
  Light,  // anti-aliased, snapped vertically only (smoother shapes)
  Mono,   // one bit per pixel, fully hinted: crisp at small sizes
};

// One rendered glyph. Coordinates are relative to the pen origin on the
// baseline: the bitmap's left column is Left pixels right of the origin and
// its top row is Top rows above the baseline (row Top - 1 sits just above it).
struct TGlyphRaster {
  int Width = 0;
  int Rows = 0;
  int Left = 0;
  int Top = 0;
  int Advance = 0;
  // Width * Rows coverage values, 0 (none) to 255 (full), rows top down.
  std::vector<uint8_t> Coverage;
  // Empty for a grey glyph; otherwise Width * Rows colours of red, green and
  // blue for the pixels with coverage (pixel glyphs drawn in colour).
  std::vector<uint8_t> Color;

  uint8_t At(int x, int y) const { return Coverage[static_cast<size_t>(y) * Width + x]; }
  bool Empty() const { return Width == 0 || Rows == 0; }
};

// A FreeType face at one pixel size.
class TFontRasterizer {
 public:
  TFontRasterizer();
  ~TFontRasterizer();
  TFontRasterizer(const TFontRasterizer&) = delete;
  TFontRasterizer& operator=(const TFontRasterizer&) = delete;

  // Opens the font file and sets the size in pixels per em; false with the
  // reason in `error`.
  bool Open(const std::string& fileName, int pixelSize, std::string& error);
  // Renders character `code`; false (with the reason) when the face has no
  // glyph for it or FreeType refuses.
  bool Render(uint32_t code, TRasterMode mode, TGlyphRaster& glyph, std::string& error);

 private:
  struct Impl;
  std::unique_ptr<Impl> Impl_;
};

}  // namespace vgrdata
