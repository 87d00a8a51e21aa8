#include "ScrollUnit.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "Logger.h"
#include "ZRFonts.h"
#include "ZRINIFile.h"
#include "ZRStream3.h"

namespace {

constexpr uint8_t kESC = 27;
constexpr int64_t kPiece = 32;

// One pass over the stream from `start`: counts the kept bytes and, when
// `out` is given, copies as many of them as it holds.
int32_t ReadText(TStream& stream, int64_t start, std::vector<uint8_t>* out) {
  stream.Seek(start, soBeginning);
  int64_t length = 0;
  uint8_t piece[kPiece];
  for (;;) {
    const int64_t got = stream.Read(piece, kPiece);
    if (got <= 0) break;
    for (int64_t i = 0; i < got; ++i) {
      const uint8_t b = piece[i];
      if (b == kESC) return static_cast<int32_t>(length);
      if (b == 13 || b == 10) continue;
      if (length >= std::numeric_limits<int32_t>::max()) return static_cast<int32_t>(length);
      if (out) {
        if (length >= static_cast<int64_t>(out->size())) return static_cast<int32_t>(length);
        (*out)[static_cast<std::size_t>(length)] = b;
      }
      ++length;
    }
  }
  return static_cast<int32_t>(length);
}

}  // namespace

TScroll::TScroll(TBMPFont* font, int32_t top, int32_t offset, int32_t height)
    : Font(font), Top(top), Height(height), Offset(offset), ScreenW_(static_cast<int32_t>(ScreenWidth)) {
  Fill = ScreenW_;
  Pos = ScreenW_;
  Current = CreateImageWH(2 * ScreenW_, height);
  Spare = CreateImageWH(2 * ScreenW_, height);
  // Only the glyphs cover what lies behind the strip.
  SetImageColorKey(Current.get(), true);
  SetImageColorKey(Spare.get(), true);
}

void TScroll::LoadFromStream(TStream& stream) {
  const int64_t start = stream.Position();
  TextLength = ReadText(stream, start, nullptr);
  Text.assign(static_cast<std::size_t>(TextLength), 0);
  // The stream may have changed under us: keep only what both passes saw.
  TextLength = ReadText(stream, start, &Text);
  Text.resize(static_cast<std::size_t>(TextLength));
  Cursor = 0;
}

void TScroll::LoadFromFile(const std::string& name) {
  // The lookup reports a missing file itself. Read from memory: the text is
  // read twice in small pieces, which from a loose file of megabytes cost a
  // system call every 32 bytes.
  if (std::unique_ptr<TStream> stream = InMemory(ZROpenStream(name))) LoadFromStream(*stream);
}

void TScroll::Update(int32_t steps) {
  for (int32_t i = 0; i < steps; ++i) Step();
}

void TScroll::Step() {
  // Pos can only pass Fill when nothing fitted into the last preparation.
  if (Pos >= Fill) {
    // What is on screen now continues at the left of the new strip, copied
    // as it is: Draw's surface alpha must not blend it into the copy.
    SetImageAlpha(Current.get(), 255);
    const bool copied = Fill > 0;
    if (copied) PutImagePartOnImage(Spare.get(), 0, 0, Fill, 0, Fill + ScreenW_ - 1, Height - 1, Current.get());
    int32_t w = 0;
    if (Font && TextLength > 0) {
      int32_t skipped = 0;
      // The cursor moves on before each character is drawn, so the first
      // character of the text appears only from the second pass on.
      while (skipped < TextLength) {
        const int32_t next = Cursor + 1 >= TextLength || Cursor < 0 ? 0 : Cursor + 1;
        const std::string ch(1, static_cast<char>(Text[static_cast<std::size_t>(next)]));
        const int32_t advance = Font->TextWidth(ch) + Font->Spacing;
        if (advance >= ScreenW_) {
          // A glyph wider than the screen would run over the strip's end.
          Cursor = next;
          ++skipped;
          continue;
        }
        // The width of the character about to be drawn decides, so a wide
        // glyph after a narrow one is never cut at the strip's end.
        if (w + advance >= ScreenW_) break;
        Cursor = next;
        skipped = 0;
        Font->TextOutOnImage(Spare.get(), ch, ScreenW_ + w, 0, 0);
        w += std::max(advance, 1);
      }
    }
    std::swap(Current, Spare);
    Shown_.reset();
    // Without text a preparation comes every step: clearing a strip that is
    // already blank would cost a screen-wide fill each time.
    if (!CurrentBlank_) ClearImage(Spare.get());
    CurrentBlank_ = !copied && w == 0;
    Fill = w;
    Pos = 0;
  }
  Pos += 1;
}

void TScroll::Draw(int32_t dy) {
  // Mostly see-through, the strip draws several times faster encoded: the
  // blit skips each gap whole instead of testing its every pixel. The copy
  // is made once per screenful; a translucent strip is drawn as it is.
  PImage source = Current.get();
  if (Alpha == 255) {
    if (!Shown_) Shown_ = CreateRunLengthCopy(Current.get());
    if (Shown_) source = Shown_.get();
  }
  if (source == Current.get()) SetImageAlpha(source, Alpha);
  PutImagePart(0, Top + dy + Offset, Pos - 1, 0, Pos + ScreenW_ - 2, Height - 1, source);
}

void ScrollUnit_Startup() { LogUnitVersion("ScrollUnit", "2.03"); }
