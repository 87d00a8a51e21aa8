// Every encoder of the archive tool against the program's decoders: the first
// byte picks a method, the rest is the data; what the tool encodes must
// decode to exactly the data.
#include "ArchiveEncoders.h"
#include "CompressorUnit.h"
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Start();
  if (size == 0) return 0;
  static const std::vector<uint8_t> methods = vgrdata::MeaningfulMethods();
  const uint8_t method = methods[data[0] % methods.size()];
  const vgrdata::TBytes plain(data + 1, data + size);
  auto packed = vgrdata::EncodeContainer(plain, method);
  if (!packed) return 0;  // this method cannot hold these bytes (run-length variant 6, say)
  TMemoryStream s;
  s.Data = *packed;
  auto out = Compressor->Decompress(s);
  if (!out) fuzz::Fail("method " + std::to_string(method) + " does not decode what it encoded");
  if (out->Data != plain) fuzz::Fail("method " + std::to_string(method) + " decodes to other bytes");
  return 0;
}
