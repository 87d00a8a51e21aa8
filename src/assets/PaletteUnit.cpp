#include "PaletteUnit.h"

namespace {
uint32_t U32At(const std::vector<uint8_t>& d, size_t at) {
  return static_cast<uint32_t>(d[at]) | (static_cast<uint32_t>(d[at + 1]) << 8) |
         (static_cast<uint32_t>(d[at + 2]) << 16) | (static_cast<uint32_t>(d[at + 3]) << 24);
}
}  // namespace

bool TPalette::LoadFromData(const std::vector<uint8_t>& data) {
  Colors.clear();
  if (data.size() < 4) return false;
  const uint32_t n = U32At(data, 0);
  if (n > MaxEntries || (data.size() - 4) / 4 < n) return false;
  Colors.resize(n);
  for (uint32_t i = 0; i < n; ++i) Colors[i] = U32At(data, 4 + static_cast<size_t>(i) * 4);
  return true;
}
