#pragma once
// Writes pictures as Truevision TGA files the game's reader takes back: the
// attribute block becomes the ID field (2, 16 or 32 bytes as its type says),
// and the data that follows the 32 bytes of an extended block is appended
// after the image data, where the reader expects it.

#include <cstdint>

class TRawPicture;
class TStream;

namespace vgrdata {

enum class TTgaPixels {
  TrueColor,  // 24 bits: blue, green, red (image type 2, or 10 run-length)
  Grey,       // 8 bits of grey level (image type 3, or 11 run-length)
};

// Rows are written top to bottom (descriptor bit 0x20); run-length packets
// never cross the end of a row. A grey file stores each pixel's luminance
// (red 30%, green 59%, blue 11%), which is exact for grey pictures. False
// when the picture is empty or too large for the format, when its attribute
// block does not match its type, or when the stream refuses the data.
bool WriteTGA(const TRawPicture& picture, TStream& stream, TTgaPixels pixels = TTgaPixels::TrueColor,
              bool runLength = false);

}  // namespace vgrdata
