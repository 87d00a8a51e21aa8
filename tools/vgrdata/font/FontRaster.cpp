#include "FontRaster.h"

#include <ft2build.h>
#include FT_FREETYPE_H

namespace vgrdata {

struct TFontRasterizer::Impl {
  FT_Library Library = nullptr;
  FT_Face Face = nullptr;
  ~Impl() {
    if (Face) FT_Done_Face(Face);
    if (Library) FT_Done_FreeType(Library);
  }
};

TFontRasterizer::TFontRasterizer() : Impl_(std::make_unique<Impl>()) {}
TFontRasterizer::~TFontRasterizer() = default;

bool TFontRasterizer::Open(const std::string& fileName, int pixelSize, std::string& error) {
  if (pixelSize < 1 || pixelSize > 256) {
    error = "pixel size " + std::to_string(pixelSize) + " outside 1 to 256";
    return false;
  }
  if (!Impl_->Library && FT_Init_FreeType(&Impl_->Library) != 0) {
    error = "FreeType did not start";
    return false;
  }
  if (Impl_->Face) {
    FT_Done_Face(Impl_->Face);
    Impl_->Face = nullptr;
  }
  if (FT_New_Face(Impl_->Library, fileName.c_str(), 0, &Impl_->Face) != 0) {
    error = "cannot open the font " + fileName;
    return false;
  }
  if (FT_Set_Pixel_Sizes(Impl_->Face, 0, static_cast<FT_UInt>(pixelSize)) != 0) {
    error = fileName + " has no size " + std::to_string(pixelSize);
    return false;
  }
  return true;
}

bool TFontRasterizer::Render(uint32_t code, TRasterMode mode, TGlyphRaster& glyph, std::string& error) {
  glyph = TGlyphRaster{};
  FT_Face face = Impl_->Face;
  if (!face) {
    error = "no font open";
    return false;
  }
  const FT_UInt index = FT_Get_Char_Index(face, code);
  if (index == 0) {
    error = "the font has no glyph for character " + std::to_string(code);
    return false;
  }
  FT_Int32 flags = FT_LOAD_RENDER;
  switch (mode) {
    case TRasterMode::Grey: flags |= FT_LOAD_TARGET_NORMAL; break;
    case TRasterMode::Light: flags |= FT_LOAD_TARGET_LIGHT; break;
    case TRasterMode::Mono: flags |= FT_LOAD_TARGET_MONO | FT_LOAD_MONOCHROME; break;
  }
  if (FT_Load_Glyph(face, index, flags) != 0) {
    error = "FreeType cannot render character " + std::to_string(code);
    return false;
  }
  const FT_GlyphSlot slot = face->glyph;
  const FT_Bitmap& bm = slot->bitmap;
  glyph.Width = static_cast<int>(bm.width);
  glyph.Rows = static_cast<int>(bm.rows);
  glyph.Left = slot->bitmap_left;
  glyph.Top = slot->bitmap_top;
  glyph.Advance = static_cast<int>((slot->advance.x + 32) >> 6);
  glyph.Coverage.assign(static_cast<size_t>(glyph.Width) * glyph.Rows, 0);
  for (int y = 0; y < glyph.Rows; ++y) {
    const unsigned char* row = bm.buffer + static_cast<ptrdiff_t>(y) * bm.pitch;
    for (int x = 0; x < glyph.Width; ++x) {
      uint8_t v = 0;
      if (bm.pixel_mode == FT_PIXEL_MODE_MONO) {
        v = (row[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
      } else if (bm.pixel_mode == FT_PIXEL_MODE_GRAY) {
        const unsigned levels = bm.num_grays > 1 ? bm.num_grays - 1 : 255;
        v = static_cast<uint8_t>(row[x] * 255u / levels);
      } else {
        error = "unexpected pixel mode of character " + std::to_string(code);
        return false;
      }
      glyph.Coverage[static_cast<size_t>(y) * glyph.Width + x] = v;
    }
  }
  return true;
}

}  // namespace vgrdata
