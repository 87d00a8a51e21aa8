#include "FontFiles.h"

#include <algorithm>

namespace vgrdata {

namespace {

std::string CharName(int c) {
  if (c > 32 && c < 127) return std::string("'") + static_cast<char>(c) + "'";
  return "character " + std::to_string(c);
}

}  // namespace

// ---------------------------------------------------------------- .zrr

std::vector<uint8_t> EncodeZRR(const TZRRFontData& font) {
  const int w = font.CellWidth, h = font.GlyphHeight;
  if (w == 0 || h == 0) return {};
  const size_t cell = static_cast<size_t>(w) * h;
  const bool sparse = (font.Flags & zrrSparse) != 0;
  std::vector<uint8_t> out = {uint8_t(zrrMagic[0]), uint8_t(zrrMagic[1]), uint8_t(zrrMagic[2]),
                              uint8_t(zrrMagic[3]), font.Flags,           font.CellWidth,
                              font.GlyphHeight};
  if (sparse) {
    uint8_t map[zrrPresenceSize] = {};
    for (int c = 0; c < 256; ++c)
      if (font.Present[c]) SetZRRPresent(map, c);
    out.insert(out.end(), map, map + zrrPresenceSize);
  }
  const int rowBytes = ZRRRowBytes(w);
  std::vector<uint8_t> row(static_cast<size_t>(rowBytes));
  for (int c = 0; c < 256; ++c) {
    if (sparse && !font.Present[c]) continue;
    const std::vector<uint8_t>& cells = font.Cells[c];
    if (!font.Present[c] && cells.empty()) {
      out.insert(out.end(), static_cast<size_t>(rowBytes) * h, uint8_t{0});
      continue;
    }
    if (cells.size() != cell) return {};
    for (int y = 0; y < h; ++y) {
      PackZRRRow(cells.data() + static_cast<size_t>(y) * w, w, row.data());
      out.insert(out.end(), row.begin(), row.end());
    }
  }
  return out;
}

bool LayoutZRR(const TFontGlyphs& glyphs, const TZRROptions& options, TZRRFontData& font, std::string& error,
               std::vector<std::string>& notes) {
  font = TZRRFontData{};
  int ascent = 0, descent = 0, widest = 0;
  bool any = false;
  for (int c = 0; c < 256; ++c) {
    if (!glyphs.Present[c]) continue;
    const TGlyphRaster& g = glyphs.Glyph[c];
    widest = std::max(widest, g.Advance);
    if (g.Empty()) continue;
    any = true;
    ascent = std::max(ascent, g.Top);
    if (!(options.Descender && IsZRRDescenderLetter(c))) descent = std::max(descent, g.Rows - g.Top);
  }
  if (!any) {
    error = "no glyph has any ink";
    return false;
  }
  const int width = options.CellWidth > 0 ? options.CellWidth : widest;
  const int height = ascent + descent;
  if (width < 1 || width > 255 || height < 1 || height > 255) {
    error = "cells of " + std::to_string(width) + " by " + std::to_string(height) + " do not fit the format";
    return false;
  }
  if (width * 256 > MaxSheetWidth) {
    error = "cells " + std::to_string(width) + " pixels wide make a sheet wider than " +
            std::to_string(MaxSheetWidth) + " pixels";
    return false;
  }
  font.Flags = static_cast<uint8_t>((options.Descender ? zrrDescender : 0) | (options.Sparse ? zrrSparse : 0));
  font.CellWidth = static_cast<uint8_t>(width);
  font.GlyphHeight = static_cast<uint8_t>(height);
  for (int c = 0; c < 256; ++c) {
    if (!glyphs.Present[c]) continue;
    font.Present[c] = true;
    std::vector<uint8_t>& cell = font.Cells[c];
    cell.assign(static_cast<size_t>(width) * height, 0);
    const TGlyphRaster& g = glyphs.Glyph[c];
    const int shift = options.Descender && IsZRRDescenderLetter(c) ? 1 : 0;
    const int x0 = (width - g.Advance) / 2 + g.Left;
    const int y0 = ascent - g.Top - shift;
    bool clipped = false;
    for (int y = 0; y < g.Rows; ++y) {
      for (int x = 0; x < g.Width; ++x) {
        if (g.At(x, y) < options.Threshold) continue;
        const int cx = x0 + x, cy = y0 + y;
        if (cx < 0 || cx >= width || cy < 0 || cy >= height) {
          clipped = true;
          continue;
        }
        cell[static_cast<size_t>(cy) * width + cx] = 1;
      }
    }
    if (clipped) notes.push_back(CharName(c) + " clipped to its " + std::to_string(width) + " by " +
                                 std::to_string(height) + " cell");
  }
  return true;
}

// ---------------------------------------------------------------- TGA fonts

std::vector<uint8_t> EncodeTGAFontBlock(const std::array<bool, 256>& present,
                                        const std::array<TGlyphBox, 256>& boxes) {
  std::vector<uint8_t> block(32, 0);
  for (int c = 0; c < 256; ++c)
    if (present[c]) block[c / 8] |= static_cast<uint8_t>(0x80u >> (c % 8));
  for (int c = 0; c < 256; ++c) {
    if (!present[c]) continue;
    for (uint16_t v : {boxes[c].Left, boxes[c].Top, boxes[c].Right, boxes[c].Bottom}) {
      block.push_back(static_cast<uint8_t>(v));
      block.push_back(static_cast<uint8_t>(v >> 8));
    }
  }
  return block;
}

bool LayoutTGAFont(const TFontGlyphs& glyphs, const TTGAOptions& options, TRawPicture& picture,
                   std::string& error) {
  auto level = [&options](uint8_t v) -> uint8_t { return v < options.Cut ? 0 : v; };
  int ascent = 0, descent = 0;
  bool any = false;
  for (int c = 0; c < 256; ++c) {
    const TGlyphRaster& g = glyphs.Glyph[c];
    if (!glyphs.Present[c] || g.Empty()) continue;
    any = true;
    ascent = std::max(ascent, g.Top);
    descent = std::max(descent, g.Rows - g.Top);
  }
  if (!any) {
    error = "no glyph has any ink";
    return false;
  }
  const int height = ascent + descent;

  // Horizontal extent of every box relative to the pen origin.
  struct TSpan {
    int From = 0, To = 0;  // [From, To)
  };
  std::array<TSpan, 256> spans{};
  int64_t width = 0;
  for (int c = 0; c < 256; ++c) {
    if (!glyphs.Present[c]) continue;
    const TGlyphRaster& g = glyphs.Glyph[c];
    TSpan s;
    s.To = g.Advance - options.Spacing;
    if (!g.Empty()) {
      s.From = std::min(0, g.Left);
      s.To = std::max(s.To, g.Left + g.Width);
      if (options.MinGap > 0) s.To = std::max(s.To, g.Left + g.Width + options.MinGap - options.Spacing);
    }
    if (s.To <= s.From) s.To = s.From + 1;
    spans[c] = s;
    width += s.To - s.From;
  }
  if (width > MaxSheetWidth || height > MaxPictureSide) {
    error = "the glyph strip of " + std::to_string(width) + " by " + std::to_string(height) +
            " pixels is larger than an image may be";
    return false;
  }

  picture = TRawPicture(static_cast<int32_t>(width), height);
  std::array<TGlyphBox, 256> boxes{};
  int cursor = 0;
  for (int c = 0; c < 256; ++c) {
    if (!glyphs.Present[c]) continue;
    const TGlyphRaster& g = glyphs.Glyph[c];
    const TSpan s = spans[c];
    int top = height, bottom = -1;
    const int x0 = cursor + (g.Left - s.From);
    const int y0 = ascent - g.Top;
    for (int y = 0; y < g.Rows; ++y) {
      for (int x = 0; x < g.Width; ++x) {
        const uint8_t v = level(g.At(x, y));
        if (v == 0) continue;
        uint8_t* p = picture.PixelAt(x0 + x, y0 + y);
        if (g.Color.empty()) {
          p[0] = p[1] = p[2] = v;
        } else {
          const uint8_t* rgb = g.Color.data() + (static_cast<size_t>(y) * g.Width + x) * 3;
          p[0] = rgb[2];
          p[1] = rgb[1];
          p[2] = rgb[0];
        }
        top = std::min(top, y0 + y);
        bottom = std::max(bottom, y0 + y);
      }
    }
    if (bottom < 0) {
      // No ink (the space): a one-row box on the baseline's row above.
      top = bottom = std::max(0, ascent - 1);
    }
    boxes[c] = {static_cast<uint16_t>(cursor), static_cast<uint16_t>(top),
                static_cast<uint16_t>(cursor + (s.To - s.From) - 1), static_cast<uint16_t>(bottom)};
    cursor += s.To - s.From;
  }
  picture.ExtraType = etExtended;
  picture.Extra = EncodeTGAFontBlock(glyphs.Present, boxes);
  return true;
}

}  // namespace vgrdata
