#pragma once
// A one-line news ticker: a long text scrolls from right to left across the
// whole screen width, one pixel per step, and starts over when it ends. The
// glyphs are rendered once per screenful into a strip twice the screen width,
// so a frame costs one screen-wide blit.

#include <cstdint>
#include <string>
#include <vector>

#include "ZR_SDL.h"

class TBMPFont;
class TStream;

class TScroll {
 public:
  // `font` is borrowed and must outlive the scroller. The strips are made at
  // the current screen width.
  TScroll(TBMPFont* font, int32_t top, int32_t offset, int32_t height);
  TScroll(const TScroll&) = delete;
  TScroll& operator=(const TScroll&) = delete;

  // Reads the text: carriage returns and line feeds are dropped and the text
  // ends before the first ESC (27) or at the end of the stream.
  void LoadFromStream(TStream& stream);
  // The same through the stream lookup; a missing file leaves the text as it was.
  void LoadFromFile(const std::string& name);
  // Moves the text `steps` pixels to the left.
  void Update(int32_t steps);
  void Step();
  // Shows the strip at (0, Top + dy + Offset) on the back buffer.
  void Draw(int32_t dy);

  TBMPFont* Font = nullptr;
  int32_t Top = 0;
  int32_t Height = 0;
  int32_t Offset = 0;
  // Index in Text of the character drawn last; -1 before the first one.
  int32_t Cursor = -1;
  std::vector<uint8_t> Text;
  int32_t TextLength = 0;
  uint8_t Alpha = 255;
  TImagePtr Current;  // the strip shown now
  TImagePtr Spare;    // the strip being prepared
  // Width of the text placed in Current beyond its first screen width.
  int32_t Fill = 0;
  // Scroll position within Current.
  int32_t Pos = 0;

 private:
  int32_t ScreenW_ = 0;
  // Nothing has been drawn into Current since it was last cleared (both
  // strips are made blank).
  bool CurrentBlank_ = true;
  // Current, run-length encoded, drawn while the strip is opaque; made at
  // the first draw after each preparation and never drawn on.
  TImagePtr Shown_;
};

void ScrollUnit_Startup();
