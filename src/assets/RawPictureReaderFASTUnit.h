#pragma once
// The fast decoder of run-length true-colour TGA data (image type 10) with
// 24-bit pixels: raw packets are copied straight into the picture.

#include <cstddef>
#include <cstdint>

enum class TRunLengthResult {
  Ok,         // every row decoded
  Truncated,  // the data ended before the picture was complete
  Overrun,    // a packet reaches past the last pixel of the picture
};

// Decodes packets from `data` (`size` bytes) into `pixels` (width * height
// pixels of blue, green, red, rows top to bottom). File rows run bottom up,
// or top down when `topDown` is set; packets may cross row ends. `consumed`
// receives the number of data bytes used.
TRunLengthResult DecodeTGARunLength24(const uint8_t* data, size_t size, size_t& consumed, uint8_t* pixels,
                                      int32_t width, int32_t height, bool topDown);

void RawPictureReaderFASTUnit_Startup();
