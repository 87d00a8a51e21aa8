#include "RawPictureReaderFASTUnit.h"

#include <algorithm>
#include <cstring>

#include "Logger.h"

TRunLengthResult DecodeTGARunLength24(const uint8_t* data, size_t size, size_t& consumed, uint8_t* pixels,
                                      int32_t width, int32_t height, bool topDown) {
  consumed = 0;
  if (width <= 0 || height <= 0) return TRunLengthResult::Ok;
  const size_t rowBytes = static_cast<size_t>(width) * 3;
  size_t pos = 0;
  int32_t x = 0;
  int32_t rowCount = 0;
  auto rowStart = [&](int32_t fileRow) {
    const int32_t r = topDown ? fileRow : height - 1 - fileRow;
    return pixels + static_cast<size_t>(r) * rowBytes;
  };
  uint8_t* out = rowStart(0);
  // Pixels left in the picture from the current position on.
  size_t left = static_cast<size_t>(width) * static_cast<size_t>(height);
  while (rowCount < height) {
    // Header byte and first pixel come in one piece.
    if (size - pos < 4) {
      consumed = pos;
      return TRunLengthResult::Truncated;
    }
    const uint8_t h = data[pos];
    const uint8_t* first = data + pos + 1;
    pos += 4;
    size_t count = static_cast<size_t>(h & 0x7F) + 1;
    if (count > left) {
      consumed = pos;
      return TRunLengthResult::Overrun;
    }
    const bool run = (h & 0x80) != 0;
    if (!run && size - pos < (count - 1) * 3) {
      consumed = pos;
      return TRunLengthResult::Truncated;
    }
    const uint8_t* src = first;
    // Writers do not keep packets inside rows, so a packet is written in
    // pieces that end at row ends.
    while (count > 0) {
      const size_t piece = std::min<size_t>(count, static_cast<size_t>(width - x));
      uint8_t* dst = out + static_cast<size_t>(x) * 3;
      if (run) {
        for (size_t i = 0; i < piece; ++i) std::memcpy(dst + i * 3, first, 3);
      } else {
        // The first pixel sits behind the header, the rest follow it.
        std::memcpy(dst, src, piece * 3);
        src += piece * 3;
      }
      count -= piece;
      left -= piece;
      x += static_cast<int32_t>(piece);
      if (x == width) {
        x = 0;
        ++rowCount;
        if (rowCount < height) out = rowStart(rowCount);
      }
    }
    if (!run) pos = static_cast<size_t>(src - data);
  }
  consumed = pos;
  return TRunLengthResult::Ok;
}

void RawPictureReaderFASTUnit_Startup() { LogUnitVersion("RawPictureReaderFASTUnit", "1.00"); }
