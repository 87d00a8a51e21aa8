// ".zrr" and TGA fonts: the first byte picks the format and whether the font
// is read from a stream or looked up by name, the rest is the file; a font
// that loads measures and draws every character.
#include <memory>
#include <string>

#include "FuzzSupport.h"
#include "ZRFonts.h"
#include "ZR_SDL.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::OpenDisplay();
  static const bool entered = (fuzz::EnterScratch(), true);
  (void)entered;
  if (size == 0) return 0;
  auto s = fuzz::StreamOf(data + 1, size - 1);
  std::unique_ptr<TBMPFont> font;
  if (data[0] & 8) {
    // By name, as the game loads its fonts: a TGA name may leave out its
    // extension, and a font file that is not there gives the blank font.
    const bool zrr = data[0] & 1;
    const std::string file = zrr ? "f.zrr" : "f.tga";
    fuzz::RemoveScratch(file);
    if (size > 1) fuzz::WriteScratch(file, data + 1, size - 1);
    const std::string name = zrr ? file : (data[0] & 4 ? "f" : "F.TGA");
    if (zrr)
      font = std::make_unique<TZRRFont>(name);
    else
      font = std::make_unique<TTGAFont>(name);
  } else if (data[0] & 1) {
    font = std::make_unique<TZRRFont>(*s);
  } else {
    font = std::make_unique<TTGAFont>(*s, "fuzz.tga");
  }
  std::string text;
  for (int c = 0; c < 256; ++c) text += static_cast<char>(c);
  font->TextWidth(text);
  // Loading has drawn every glyph once already; the largest cells (39 by 255,
  // 256 of them) take half a second under the sanitizers, so no second pass.
  font->SetFixedWidth(data[0] >> 4);
  font->TextOut(text.substr(32, 64), 10, 10, data[0] >> 1 & 3);
  // Recolouring redraws the sheet from the glyph data or the grey levels.
  font->SetColor(static_cast<uint16_t>(data[0] * 257), 0x8000, 0xFFFF);
  font->SetAlpha(data[0]);
  TImagePtr target = CreateImageWH(64, 32);
  font->TextOutOnImage(target.get(), text.substr(0, 40), -5, 3, 0);
  return 0;
}
