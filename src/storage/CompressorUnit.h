#pragma once
// The container of a compressed member: a method byte naming up to three
// decoding stages (zlib inflation, an entropy stage, a byte filter), then the
// payload.

#include <cstdint>
#include <memory>

#include "StreamUnit.h"

// Bits of the method byte.
constexpr uint8_t kMethodZlib = 0x40;
constexpr int MethodEntropy(uint8_t method) { return (method >> 3) & 7; }
constexpr int MethodFilter(uint8_t method) { return method & 7; }

enum TEntropyStage { esNone = 0, esRunLength = 1, esHuffmanRunLength = 2, esHuffman = 4 };
enum TFilterStage {
  fsNone = 0,
  fsInterleave2 = 1,
  fsInterleave3 = 2,
  fsDelta = 3,
  fsMoveToFront = 4,
  fsDeltaInterleave2 = 5,
  fsDeltaInterleave3 = 6,
  fsNone7 = 7,
};

class TCompressor {
 public:
  // Decodes the container held by `input` (read from position 0) into a new
  // memory stream positioned at 0. Null, with an error line, when the member
  // is corrupt; the caller treats that as a file that is not there.
  std::unique_ptr<TMemoryStream> Decompress(TStream& input);
  // The same, letting the container go as soon as its payload is out: a
  // large member is not held three times over while its stages decode.
  std::unique_ptr<TMemoryStream> Decompress(std::unique_ptr<TMemoryStream> input);

 private:
  std::unique_ptr<TMemoryStream> Payload(TStream& input, uint8_t& method);
  std::unique_ptr<TMemoryStream> Stages(uint8_t method, std::unique_ptr<TMemoryStream> payload);
};

// The program-wide decompressor, made at start-up.
extern TCompressor* Compressor;

void CompressorUnit_Startup();
void CompressorUnit_Shutdown();
