#pragma once
// The game's two bitmap-font formats, built from rendered glyphs:
//  - ".zrr": 1-bit cells of a fixed width, "ZRAR" magic, dense or sparse;
//  - TGA fonts: one grey glyph strip whose 32-byte ID field marks the
//    characters present, followed after the pixels by each present
//    character's rectangle (left, top, right, bottom, inclusive).

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "FontRaster.h"
#include "RawPictureUnit.h"
#include "ZRRFontFormat.h"

namespace vgrdata {

// Glyphs by character code; Present marks the characters the font holds.
struct TFontGlyphs {
  std::array<bool, 256> Present{};
  std::array<TGlyphRaster, 256> Glyph{};
};

// ---------------------------------------------------------------- .zrr

// A .zrr font before encoding (the file layout: ZRRFontFormat.h): every cell is CellWidth * GlyphHeight values,
// rows top down, non-zero meaning ink.
struct TZRRFontData {
  uint8_t Flags = 0;
  uint8_t CellWidth = 0;
  uint8_t GlyphHeight = 0;
  std::array<bool, 256> Present{};
  std::array<std::vector<uint8_t>, 256> Cells{};
};

// The file's bytes; an empty vector when a size is 0 or a cell does not hold
// CellWidth * GlyphHeight values.
std::vector<uint8_t> EncodeZRR(const TZRRFontData& font);

struct TZRROptions {
  int CellWidth = 0;        // 0: the widest advance
  bool Descender = true;    // give "g", "q" and "y" the extra row
  bool Sparse = true;
  uint8_t Threshold = 128;  // coverage from which a pixel is ink
};

// Places the glyphs in cells on one baseline: the glyph height is the
// tallest ascent plus the deepest descent of the glyphs other than "g", "q"
// and "y", which in descender mode are stored one row higher and so gain a
// row below. Horizontally each glyph's advance is centred in its cell. False
// with the reason when the cells would not fit the format (at most 255 by
// 255); `notes` lists glyphs that had to be clipped.
bool LayoutZRR(const TFontGlyphs& glyphs, const TZRROptions& options, TZRRFontData& font, std::string& error,
               std::vector<std::string>& notes);

// ---------------------------------------------------------------- TGA fonts

struct TGlyphBox {
  uint16_t Left = 0, Top = 0, Right = 0, Bottom = 0;
};

struct TTGAOptions {
  // The spacing the game draws the font with; each box is the glyph's
  // advance minus this, so that box plus spacing gives the font's own
  // advance (wider where the ink reaches beyond it).
  int Spacing = 1;
  // Coverage below this is dropped, for fonts the game turns into
  // silhouettes (every non-zero pixel becomes solid).
  uint8_t Cut = 0;
  // Blank columns kept between the ink of neighbouring glyphs at least,
  // widening glyphs whose ink reaches their advance (0: the font's own
  // advances, which may let ink touch).
  int MinGap = 0;
};

// A picture on black (grey, or the glyphs' own colours), one strip of glyph boxes side by side, every
// glyph's ink on the strip's common baseline; its rows are the tallest
// ascent plus the deepest descent. Box tops and bottoms are the glyph's
// first and last ink rows, so that the game, which draws a box `Top` rows
// below the text's y, keeps the baseline. The picture carries the extended
// attribute block: the presence map and the boxes. False with the reason
// when the strip would be wider than an image may be.
bool LayoutTGAFont(const TFontGlyphs& glyphs, const TTGAOptions& options, TRawPicture& picture,
                   std::string& error);
// The extended attribute block of a TGA font: 32 bytes of presence bits
// (character c: byte c div 8, bit 0x80 shr (c mod 8)), then the 8-byte box
// of each present character in character order.
std::vector<uint8_t> EncodeTGAFontBlock(const std::array<bool, 256>& present,
                                        const std::array<TGlyphBox, 256>& boxes);

// Widest strip a glyph sheet may have: its rows must stay addressable by
// the display's 16-bit row pitch at 4 bytes per pixel.
constexpr int MaxSheetWidth = 16383;

}  // namespace vgrdata
