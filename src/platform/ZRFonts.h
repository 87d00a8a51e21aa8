#pragma once
// Bitmap fonts: every font keeps its glyphs in one image and a rectangle per
// character code, and draws text by blitting those rectangles one after
// another. Two file formats: the program's own ".zrr" (1-bit cells of a
// fixed width) and TGA pictures whose extended attribute block carries the
// glyph rectangles.

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "ZRRFontFormat.h"
#include "ZR_SDL.h"

class TMemoryStream;
class TStream;

// Inclusive rectangle of a glyph in the font's image; all zero for a
// character the font does not have.
struct TGlyphRect {
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Right = 0;
  int32_t Bottom = 0;
};

// Text alignment of TextOut: left from x, centred on x, right-aligned to x.
enum : int { taLeft = 0, taCenter = 1, taRight = 2 };

class TBMPFont {
 public:
  TBMPFont();
  virtual ~TBMPFont();
  TBMPFont(const TBMPFont&) = delete;
  TBMPFont& operator=(const TBMPFont&) = delete;

  // Rebuilds Image in the given colour (components above 255 count as 255).
  virtual void SetColor(uint16_t red, uint16_t green, uint16_t blue);

  // Width in pixels of the text as TextOut draws it.
  int32_t TextWidth(const std::string& text) const;
  // Draws onto the back buffer; align taLeft, taCenter or taRight (any other
  // value counts as taLeft). A font without an image draws nothing.
  void TextOut(const std::string& text, int x, int y, int align);
  // The same onto another image.
  void TextOutOnImage(PImage dest, const std::string& text, int x, int y, int align);
  // Per-surface alpha of the glyph sheet (255 opaque).
  void SetAlpha(uint8_t alpha);
  PImage GetImage() const { return Image.get(); }
  void SetFixedWidth(int32_t value) { FixedWidth = value; }

  // Grey levels of the glyph sheet, from which SetColor tints a new sheet.
  std::unique_ptr<TMemoryStream> GreyStream;
  TImagePtr Image;
  std::array<TGlyphRect, 256> Glyphs{};
  std::string Name;
  bool UseColorKey = false;
  uint8_t KeyColor[3] = {0, 0, 0};
  int32_t FixedWidth = 0;
  int32_t Spacing = 0;
  int32_t SpaceWidth = 0;
  int32_t LineHeight = 0;

 protected:
  // Colour key on Image when UseColorKey is set.
  void ApplyColorKey();

 private:
  void Draw(PImage dest, const std::string& text, int x, int y, int align);
};

class TZRRFont : public TBMPFont {
 public:
  // Reads the font through the stream lookup; no extension is added. A
  // missing file or one that is not a ".zrr" font leaves the font without
  // an image.
  explicit TZRRFont(const std::string& name);
  // Reads the font from an open stream.
  explicit TZRRFont(TStream& stream);
  ~TZRRFont() override;

  void SetColor(uint16_t red, uint16_t green, uint16_t blue) override;

  uint32_t Color[3] = {0, 0, 0};
  // The 256 glyph bitmaps, GlyphHeight rows of ZRRRowBytes(CellWidth) each.
  std::unique_ptr<TMemoryStream> GlyphStream;
  uint16_t CellWidth = 0;
  uint16_t GlyphHeight = 0;
  uint16_t CellHeight = 0;
  uint8_t Flags = 0;

 private:
  void Read(TStream& stream);
};

class TTGAFont : public TBMPFont {
 public:
  // Adds ".tga" to a name without an extension and reads the font through
  // the stream lookup. A missing file gives a blank 16 by 16 font.
  explicit TTGAFont(const std::string& name);
  // Reads the font from an open stream; `name` is kept for messages.
  TTGAFont(TStream& stream, const std::string& name);

 private:
  void Read(TStream& stream);
  void MakePlaceholder();
};

// Widest glyph sheet a font may have: a row of the sheet must stay
// addressable by the 16-bit row pitch of a surface at 4 bytes per pixel.
constexpr int32_t MaxFontSheetWidth = 16383;

void ZRFonts_Startup();
