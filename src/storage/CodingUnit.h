#pragma once
// The byte filters that end a compressed member's decoding chain: plane
// re-interleaving, delta and move-to-front. Each takes its whole input from
// position 0 and returns a new memory stream positioned at 0.

#include <cstdint>
#include <memory>
#include <vector>

#include "StreamUnit.h"

// No decoding stage may produce more than this: a few hundred bytes of a
// hostile member could otherwise ask for gigabytes.
constexpr int64_t kMaxDecodedSize = int64_t{256} << 20;

// The bytes of a stream from `from` to its end, without copying when it is a
// memory stream already; `storage` keeps a copy alive otherwise.
struct TByteView {
  const uint8_t* Data = nullptr;
  std::size_t Size = 0;
};
TByteView ViewFrom(TStream& stream, int64_t from, std::vector<uint8_t>& storage);

// Plane k of the input holds the bytes at positions k, k + stride, ...
std::unique_ptr<TMemoryStream> Reinterleave(TStream& input, int stride);
// Each output byte is the previous output byte plus the input byte (mod 256).
std::unique_ptr<TMemoryStream> DeltaDecode(TStream& input);
std::unique_ptr<TMemoryStream> MoveToFrontDecode(TStream& input);

// The same filters on plain byte vectors (the stream forms call these).
std::vector<uint8_t> ReinterleaveBytes(const uint8_t* data, std::size_t size, int stride);
std::vector<uint8_t> DeltaDecodeBytes(const uint8_t* data, std::size_t size);
std::vector<uint8_t> MoveToFrontDecodeBytes(const uint8_t* data, std::size_t size);

void CodingUnit_Startup();
