// The scroller text: load it and scroll through all of it with a small font.
#include "FuzzSupport.h"
#include "ScrollUnit.h"
#include "ZRFonts.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::OpenDisplay();
  static TTGAFont font("missing-font");  // the blank 16 by 16 font
  auto s = fuzz::StreamOf(data, size);
  TScroll scroll(&font, 300, 0, 20);
  scroll.LoadFromStream(*s);
  // Enough steps to pass every character of a short text twice.
  const int32_t steps = static_cast<int32_t>(std::min<size_t>(size, 64) * 40);
  // Drawing is most of the time taken and takes the same path on every
  // frame: only the first two frames and the last are drawn.
  for (int32_t i = 0, n = 0; i < steps; i += 13, ++n) {
    scroll.Update(13);
    if (n < 2 || i + 13 >= steps) scroll.Draw(0);
  }
  return 0;
}
