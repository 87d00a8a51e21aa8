#include "ZRFonts.h"

#include <SDL.h>

#include <algorithm>
#include <cctype>
#include <cstring>

#include "Logger.h"
#include "RawPictureUnit.h"
#include "ZRStream3.h"

namespace {

const char* const kLocZRR = "ZRFonts, TZRRFont.Create";
const char* const kLocTGA = "ZRFonts, TTGAFont.Create";

// Colour key flags of recoloured fonts: source colour key with run-length
// acceleration (and the hardware-acceleration bit the format always had).
constexpr uint32_t kFontColorKeyFlags = 0x5100;
// SDL_SetAlpha flags of SetAlpha: source alpha with run-length acceleration.
constexpr uint32_t kFontAlphaFlags = 0x14000;

uint8_t Component(uint16_t v) { return static_cast<uint8_t>(std::min<uint16_t>(v, 255)); }

// Adds ".tga" when the name has no "." after its first character, unless it
// already ends with the letters "tga", as the picture readers do.
std::string WithTGAExtension(const std::string& name) {
  if (name.find('.', 1) != std::string::npos) return name;
  if (name.size() >= 3) {
    std::string tail = name.substr(name.size() - 3);
    std::transform(tail.begin(), tail.end(), tail.begin(), [](unsigned char c) { return std::tolower(c); });
    if (tail == "tga") return name;
  }
  return name + ".tga";
}

}  // namespace

// ---------------------------------------------------------------- TBMPFont

TBMPFont::TBMPFont() = default;
TBMPFont::~TBMPFont() = default;

void TBMPFont::ApplyColorKey() {
  if (!UseColorKey || !Image || !Image->Surface) return;
  SDL_Surface* s = Image->Surface;
  SDL_SetColorKey(s, kFontColorKeyFlags, SDL_MapRGB(s->format, KeyColor[0], KeyColor[1], KeyColor[2]));
  Image->ColorKeyed = true;
}

void TBMPFont::SetColor(uint16_t red, uint16_t green, uint16_t blue) {
  if (!GreyStream) return;
  Image.reset();
  GreyStream->Seek(0, soBeginning);
  Image = CreateTintedImage(*GreyStream, Component(red), Component(green), Component(blue));
  ApplyColorKey();
}

int32_t TBMPFont::TextWidth(const std::string& text) const {
  const int32_t length = static_cast<int32_t>(text.size());
  if (FixedWidth != 0) return (FixedWidth + Spacing) * length - Spacing;
  int32_t width = 0;
  for (unsigned char c : text) {
    if (c == ' ') {
      width += SpaceWidth;
    } else {
      const TGlyphRect& g = Glyphs[c];
      width += (g.Right - g.Left + 1) + Spacing;
    }
  }
  return width - Spacing;
}

void TBMPFont::Draw(PImage dest, const std::string& text, int x, int y, int align) {
  // A font whose file was missing or unreadable has no sheet to draw from.
  if (!Image || !Image->Surface) return;
  if (align == taCenter) {
    x -= TextWidth(text) / 2;
  } else if (align == taRight) {
    x -= TextWidth(text);
  }
  auto put = [&](int px, const TGlyphRect& g) {
    if (dest) {
      PutImagePartOnImage(dest, px, y + g.Top, g.Left, g.Top, g.Right, g.Bottom, Image.get());
    } else {
      PutImagePart(px, y + g.Top, g.Left, g.Top, g.Right, g.Bottom, Image.get());
    }
  };
  for (unsigned char c : text) {
    const TGlyphRect& g = Glyphs[c];
    const int w = g.Right - g.Left + 1;
    if (FixedWidth == 0) {
      if (c == ' ') {
        x += SpaceWidth;
        continue;
      }
      // A character the font lacks has an all-zero rectangle: it draws the
      // sheet's top-left pixel and advances by one.
      put(x, g);
      x += w + Spacing;
    } else {
      if (c != ' ') put(x + (FixedWidth - w) / 2, g);
      x += FixedWidth + Spacing;
    }
  }
}

void TBMPFont::TextOut(const std::string& text, int x, int y, int align) { Draw(nullptr, text, x, y, align); }

void TBMPFont::TextOutOnImage(PImage dest, const std::string& text, int x, int y, int align) {
  if (dest && dest->Surface) Draw(dest, text, x, y, align);
}

void TBMPFont::SetAlpha(uint8_t alpha) {
  if (!Image || !Image->Surface || SDL_SetAlpha(Image->Surface, kFontAlphaFlags, alpha) == -1) {
    Log->Warning("SetAlpha failed! (BMPFont: " + Name + ")", "TBMPFONT.SetAlpha");
  }
}

// ---------------------------------------------------------------- .zrr

TZRRFont::TZRRFont(const std::string& name) {
  Name = name;
  if (std::unique_ptr<TStream> s = ZROpenStream(name)) Read(*s);
}

TZRRFont::TZRRFont(TStream& stream) { Read(stream); }

TZRRFont::~TZRRFont() { GlyphStream.reset(); }

void TZRRFont::Read(TStream& s) {
  uint8_t head[zrrHeaderSize];
  if (!s.ReadBuffer(head, 4) || std::memcmp(head, zrrMagic, 4) != 0) return;
  if (!s.ReadBuffer(head + 4, zrrHeaderSize - 4)) return;
  const uint8_t flags = head[4], width = head[5], height = head[6];
  // Cells of no size hold nothing to draw; cells too wide would make a sheet
  // no surface can hold.
  if (width == 0 || height == 0 || width * 256 > MaxFontSheetWidth) {
    Log->Warning("Unsupported font cell size " + std::to_string(width) + "x" + std::to_string(height) + "! (" +
                     Name + ")",
                 kLocZRR);
    return;
  }
  Flags = flags;
  CellWidth = width;
  GlyphHeight = height;
  CellHeight = static_cast<uint16_t>(height + ((flags & zrrDescender) ? 1 : 0));
  LineHeight = CellHeight;

  // The stream always holds all 256 glyphs; glyphs a damaged file lacks are blank.
  const size_t glyphBytes = static_cast<size_t>(ZRRRowBytes(width)) * height;
  std::vector<uint8_t> data(glyphBytes * 256, 0);
  bool complete = true;
  if (flags & zrrSparse) {
    uint8_t map[zrrPresenceSize] = {};
    complete = s.ReadBuffer(map, zrrPresenceSize);
    for (int c = 0; c < 256 && complete; ++c) {
      if (ZRRPresent(map, c)) {
        complete = s.ReadBuffer(data.data() + glyphBytes * c, static_cast<int64_t>(glyphBytes));
      }
    }
  } else {
    complete = s.Read(data.data(), static_cast<int64_t>(data.size())) == static_cast<int64_t>(data.size());
  }
  if (!complete) Log->Warning("Font file is truncated! (" + Name + ")", kLocZRR);
  GlyphStream = std::make_unique<TMemoryStream>(std::move(data));

  // SetColor makes the sheet: making it here too doubled the largest
  // allocation of a font load.
  SetColor(255, 255, 255);
  Spacing = 0;
  SpaceWidth = CellWidth;
  GreyStream.reset();
}

void TZRRFont::SetColor(uint16_t red, uint16_t green, uint16_t blue) {
  if (!GlyphStream || CellWidth == 0) return;
  const uint8_t r = Component(red), g = Component(green), b = Component(blue);
  Color[0] = r;
  Color[1] = g;
  Color[2] = b;
  GlyphStream->Seek(0, soBeginning);
  const int w = CellWidth;
  const int rowBytes = ZRRRowBytes(w);
  Image.reset();
  Image = CreateImageWH(w * 256, CellHeight);
  SDL_Surface* surface = Image->Surface;
  const bool locked = LockSurface(surface);
  const std::vector<uint8_t>& data = GlyphStream->Data;
  for (int c = 0; c < 256; ++c) {
    Glyphs[c] = {c * w, 0, (c + 1) * w - 1, CellHeight - 1};
    const int shift = (Flags & zrrDescender) && IsZRRDescenderLetter(c) ? 1 : 0;
    if (!locked) continue;
    for (int y = 0; y < GlyphHeight; ++y) {
      const uint8_t* row = data.data() + (static_cast<size_t>(c) * GlyphHeight + y) * rowBytes;
      // Byte by byte, as ZRRPixel lays the bits out: most of a glyph is
      // empty, and a font of the widest cells has 16 million pixels to test.
      for (int i = 0; i < rowBytes; ++i) {
        const uint8_t bits = row[i];
        if (bits == 0) continue;
        for (int bit = 0; bit < 8; ++bit) {
          const int x = ZRRColumn(w, i, bit);
          if ((bits >> bit & 1) && x >= 0) PutPixel(surface, c * w + x, y + shift, r, g, b);
        }
      }
    }
  }
  if (locked) UnlockSurface(surface);
  ApplyColorKey();
}

// ---------------------------------------------------------------- TGA fonts

TTGAFont::TTGAFont(const std::string& name) {
  Name = WithTGAExtension(name);
  if (std::unique_ptr<TStream> s = ZROpenStream(Name)) {
    Read(*s);
  } else {
    MakePlaceholder();
  }
}

TTGAFont::TTGAFont(TStream& stream, const std::string& name) {
  Name = name;
  Read(stream);
}

void TTGAFont::MakePlaceholder() {
  Glyphs = {};
  Image = CreateImageWH(16, 16);
  Spacing = 1;
  SpaceWidth = 10;
  LineHeight = 16;
  UseColorKey = false;
  FixedWidth = 0;
  GreyStream = ImageToGreyStream(Image.get());
}

void TTGAFont::Read(TStream& stream) {
  Glyphs = {};
  TRawPicture picture;
  picture.ReadTGA(stream);
  const bool extended = picture.ExtraType == etExtended && picture.Extra.size() >= 32 && picture.Width > 0 &&
                        picture.Height > 0;
  if (extended && picture.Width > MaxFontSheetWidth) {
    Log->Warning("Font sheet too wide! (" + Name + ")", kLocTGA);
    MakePlaceholder();
    return;
  }
  if (extended) {
    const std::vector<uint8_t>& e = picture.Extra;
    size_t next = 32;
    int rejected = 0;
    for (int c = 0; c < 256; ++c) {
      if (!(e[c / 8] & (0x80u >> (c % 8)))) continue;
      if (next + 8 > e.size()) break;
      const uint8_t* p = e.data() + next;
      next += 8;
      TGlyphRect g{p[0] | (p[1] << 8), p[2] | (p[3] << 8), p[4] | (p[5] << 8), p[6] | (p[7] << 8)};
      // A rectangle outside the sheet would advance the pen by nonsense.
      if (g.Left > g.Right || g.Top > g.Bottom || g.Right >= picture.Width || g.Bottom >= picture.Height) {
        ++rejected;
        continue;
      }
      Glyphs[c] = g;
    }
    if (rejected > 0) {
      Log->Warning(std::to_string(rejected) + " glyph rectangles outside the font sheet! (" + Name + ")", kLocTGA);
    }
    Image = CreateImageFromRawPicture(picture);
  } else {
    Image = CreateImageWH(16, 16);
  }
  Spacing = 1;
  SpaceWidth = 10;
  LineHeight = ImageHeight(Image.get());
  UseColorKey = false;
  FixedWidth = 0;
  GreyStream = ImageToGreyStream(Image.get());
}

void ZRFonts_Startup() { LogUnitVersion("ZRFonts", "2.29"); }
