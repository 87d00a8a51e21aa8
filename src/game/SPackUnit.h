#pragma once
// Packed unsigned integers of the indexed map packs: the top two bits of the
// first byte say how many further bytes follow (0 to 3); the value is
// big-endian, the low six bits of the first byte being its highest bits.
// 0..63 take one byte, up to 16383 two, up to 4194303 three, up to
// 1073741823 four.

#include <cstdint>

class TStream;

constexpr uint32_t MaxPackedInt = 1073741823;

// A short read yields what was read so far and sets `ok` false.
uint32_t ReadPackedInt(TStream& stream, bool* ok = nullptr);
// Writes the shortest form; false (nothing written) for a value above
// MaxPackedInt.
bool WritePackedInt(TStream& stream, uint32_t value);
// Bytes that WritePackedInt uses for the value (0 when it cannot be written).
int PackedIntSize(uint32_t value);

void SPackUnit_Startup();
