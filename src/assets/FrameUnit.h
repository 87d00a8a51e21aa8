#pragma once
// One frame of a MATOR picture: rows of 16-bit palette indexes.

#include <cstddef>
#include <cstdint>
#include <vector>

class TFrame {
 public:
  // Reads a "FRAM" chunk's data for a frame of the given size: height rows
  // of width little-endian indexes, rows top to bottom. False, leaving the
  // frame empty, when the data is too short; bytes beyond it are ignored.
  bool LoadFromData(const std::vector<uint8_t>& data, int32_t width, int32_t height);
  uint16_t Index(int32_t x, int32_t y) const { return Indexes[static_cast<size_t>(y) * Width + x]; }

  int32_t Width = 0;
  int32_t Height = 0;
  std::vector<uint16_t> Indexes;
};
