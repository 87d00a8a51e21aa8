#include "SPackUnit.h"

#include "Logger.h"
#include "ZRStream3.h"

uint32_t ReadPackedInt(TStream& stream, bool* ok) {
  bool good = true;
  const uint8_t first = stream.ReadU8(&good);
  uint32_t value = first & 0x3F;
  for (int i = first >> 6; good && i > 0; --i) {
    const uint8_t b = stream.ReadU8(&good);
    if (good) value = (value << 8) | b;
  }
  if (ok) *ok = good;
  return value;
}

int PackedIntSize(uint32_t value) {
  if (value <= 0x3F) return 1;
  if (value <= 0x3FFF) return 2;
  if (value <= 0x3FFFFF) return 3;
  if (value <= MaxPackedInt) return 4;
  return 0;
}

bool WritePackedInt(TStream& stream, uint32_t value) {
  const int size = PackedIntSize(value);
  if (size == 0) return false;
  uint8_t bytes[4];
  for (int i = size - 1; i >= 0; --i) {
    bytes[i] = static_cast<uint8_t>(value & 0xFF);
    value >>= 8;
  }
  bytes[0] = static_cast<uint8_t>(bytes[0] | ((size - 1) << 6));
  return stream.WriteBuffer(bytes, size);
}

void SPackUnit_Startup() { LogUnitVersion("SPackUnit", "1.00"); }
