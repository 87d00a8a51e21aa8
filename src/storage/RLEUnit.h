#pragma once
// Run-length decoding of compressed members. The stream starts with a variant
// byte (5: general bytes, 6: bytes below 128) and the encoded stream's total
// length T, header included; packets follow up to T.

#include <cstdint>
#include <vector>

#include "StreamUnit.h"

enum class TRLEResult {
  Decoded,      // the packets were decoded
  NotRunLength, // the variant byte is neither 5 nor 6: nothing written, input left where it was
  Corrupt,      // T does not match the packets or the data ends inside them (error line logged)
};

// Decodes from the input's current position, appends to `output` and leaves
// the output positioned at 0 and the input behind the consumed bytes.
TRLEResult RLEDecode(TStream& input, TStream& output);

// The same on bytes: `consumed` tells how many input bytes were used.
TRLEResult RLEDecodeBytes(const uint8_t* data, std::size_t size, std::vector<uint8_t>& out, std::size_t& consumed);

void RLEUnit_Startup();
