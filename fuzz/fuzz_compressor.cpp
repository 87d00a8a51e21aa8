// The compressed container with each stage: any bytes as a stored
// compressed member. Whatever the method byte names, decoding either fails
// cleanly or gives a result within the program's size limit.
#include "CodingUnit.h"
#include "CompressorUnit.h"
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Start();
  auto input = fuzz::StreamOf(data, size);
  auto out = Compressor->Decompress(*input);
  if (out && static_cast<int64_t>(out->Data.size()) > kMaxDecodedSize) fuzz::Fail("decoded past the size limit");
  return 0;
}
