#pragma once
// The ".zrr" font file: the program's own format of 1-bit glyph cells. The
// game's reader and the data tool's writer both take the layout from here.
//
//   offset 0   "ZRAR"
//   offset 4   flags (zrrDescender, zrrSparse)
//   offset 5   cell width W in pixels
//   offset 6   glyph height H in pixels
//   offset 7   sparse files only: 32 bytes of presence bits (ZRRPresent)
//   then       glyph bitmaps in character order: all 256 in a dense file,
//              only the present ones in a sparse file; each is H rows of
//              ZRRRowBytes(W) bytes laid out as ZRRPixel says.

#include <algorithm>
#include <cstddef>
#include <cstdint>

inline constexpr char zrrMagic[4] = {'Z', 'R', 'A', 'R'};
inline constexpr size_t zrrHeaderSize = 7;
inline constexpr size_t zrrPresenceSize = 32;

// Flag bits.
inline constexpr uint8_t zrrDescender = 1;  // "g", "q" and "y" drawn one row lower
inline constexpr uint8_t zrrSparse = 2;     // presence map; only present glyphs stored

// The letters descender mode draws one row below their stored rows.
constexpr bool IsZRRDescenderLetter(int c) { return c == 'g' || c == 'q' || c == 'y'; }

// Whether character c is marked in a presence map: byte c div 8, bit 0x80
// shr (c mod 8).
constexpr bool ZRRPresent(const uint8_t* map, int c) { return (map[c / 8] & (0x80u >> (c % 8))) != 0; }
constexpr void SetZRRPresent(uint8_t* map, int c) { map[c / 8] |= static_cast<uint8_t>(0x80u >> (c % 8)); }

// Bytes of one glyph row of a cell `width` pixels wide.
constexpr int ZRRRowBytes(int width) { return width <= 0 ? 0 : (width - 1) / 8 + 1; }

// A glyph row is read as one big-endian number whose low `width` bits hold
// the pixels, the leftmost pixel in the highest of them: for widths up to 8
// the low bits of a single byte, for multiples of 8 the bytes left to right,
// high bit first, and the same rule for the widths in between. Pixel x of
// the row is bit ZRRBit(width, x) % 8 of byte ZRRByte(width, x).
constexpr int ZRRByte(int width, int x) { return ZRRRowBytes(width) - 1 - (width - 1 - x) / 8; }
constexpr int ZRRBit(int width, int x) { return (width - 1 - x) % 8; }

// The inverse: the column of bit `bit` of byte `byte` (negative for the
// unused high bits of the first byte).
constexpr int ZRRColumn(int width, int byte, int bit) {
  return width - 1 - ((ZRRRowBytes(width) - 1 - byte) * 8 + bit);
}

// Whether pixel x of a packed row is ink.
constexpr bool ZRRPixel(const uint8_t* row, int width, int x) {
  return (row[ZRRByte(width, x)] >> ZRRBit(width, x)) & 1;
}

// Packs one row of `width` ink values (non-zero is ink) into
// ZRRRowBytes(width) bytes.
constexpr void PackZRRRow(const uint8_t* ink, int width, uint8_t* out) {
  std::fill(out, out + ZRRRowBytes(width), uint8_t{0});
  for (int x = 0; x < width; ++x) {
    if (ink[x]) out[ZRRByte(width, x)] |= static_cast<uint8_t>(1u << ZRRBit(width, x));
  }
}
