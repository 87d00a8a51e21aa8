#pragma once
// A colour table of the MATOR pictures: up to 65536 colours, each a 32-bit
// value with red in bits 0-7, green in bits 8-15 and blue in bits 16-23.

#include <cstddef>
#include <cstdint>
#include <vector>

class TPalette {
 public:
  static constexpr uint32_t MaxEntries = 65536;

  // Reads a "PALE" chunk's data: a 32-bit entry count, then that many
  // colours. False, leaving the palette empty, when the count is over
  // MaxEntries or the data is too short for it.
  bool LoadFromData(const std::vector<uint8_t>& data);
  void Clear() { Colors.clear(); }
  size_t Count() const { return Colors.size(); }
  // The colour of an entry; black for an index beyond the table.
  uint32_t Color(uint32_t index) const { return index < Colors.size() ? Colors[index] : 0; }

  std::vector<uint32_t> Colors;
};
