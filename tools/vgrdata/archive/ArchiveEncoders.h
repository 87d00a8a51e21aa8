#pragma once
// The encoder side of the archive's compressed members: every stage the
// program's decoders (CompressorUnit and its stages) undo, and the container
// that names them with a method byte.

#include <cstdint>
#include <optional>
#include <vector>

namespace vgrdata {

using TBytes = std::vector<uint8_t>;

// zlib format (with header) at the best compression level.
TBytes ZDeflate(const TBytes& data);
// Variant 5 (any bytes) or 6 (only when every byte is below 128).
TBytes RLEEncode(const TBytes& data, int variant);
bool AllBelow128(const TBytes& data);
// Blocks of up to 65535 bytes, each with a canonical code tree of its own.
TBytes HuffmanEncode(const TBytes& data);
// Puts the bytes at positions k, k + stride, ... together as plane k.
TBytes InterleaveEncode(const TBytes& data, int stride);
TBytes DeltaEncode(const TBytes& data);
TBytes MoveToFrontEncode(const TBytes& data);

// True when the method byte names stages that can hold data (entropy stage
// 0, 1, 2 or 4; bit 7 clear).
bool MethodStoresData(uint8_t method);
// The whole container for `method`: the method byte, then the payload.
// For run-length stages the smaller variant that applies is used. Nothing
// when the method cannot hold this data.
std::optional<TBytes> EncodeContainer(const TBytes& data, uint8_t method);
// Every method byte worth trying: zlib or not, each entropy stage, filters 0-6.
std::vector<uint8_t> MeaningfulMethods();

}  // namespace vgrdata
