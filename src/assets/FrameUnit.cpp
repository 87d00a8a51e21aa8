#include "FrameUnit.h"

bool TFrame::LoadFromData(const std::vector<uint8_t>& data, int32_t width, int32_t height) {
  Width = 0;
  Height = 0;
  Indexes.clear();
  if (width < 0 || height < 0) return false;
  const size_t n = static_cast<size_t>(width) * static_cast<size_t>(height);
  if (data.size() / 2 < n) return false;
  Indexes.resize(n);
  for (size_t i = 0; i < n; ++i) {
    Indexes[i] = static_cast<uint16_t>(data[2 * i] | (data[2 * i + 1] << 8));
  }
  Width = width;
  Height = height;
  return true;
}
