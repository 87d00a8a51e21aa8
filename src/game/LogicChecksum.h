#pragma once
// A running checksum over the values that decide a game's course. Replays
// compare it to find the first frame where two runs part, so every value is
// fed field by field at a fixed width: struct padding and the host's layout
// never reach it.

#include <cstdint>
#include <type_traits>

class TLogicChecksum {
 public:
  // FNV-1a over the value's eight little-endian bytes: cheap, and one changed
  // bit anywhere changes the result.
  template <typename T>
  void Add(T value) {
    static_assert(std::is_integral_v<T> || std::is_enum_v<T>, "only integers decide the game");
    uint64_t v = static_cast<uint64_t>(static_cast<int64_t>(value));
    for (int i = 0; i < 8; ++i) {
      Hash = (Hash ^ static_cast<uint8_t>(v >> (8 * i))) * 16777619u;
    }
  }

  uint32_t Value() const { return Hash; }

 private:
  uint32_t Hash = 2166136261u;
};
