// Map packs in all three forms (chunked, text, binary) with their chains:
// load, then take every map out of the pack and follow the chain.
#include "FuzzSupport.h"
#include "XMapPackUnit.h"
#include "XMapUnit.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Start();
  auto s = fuzz::StreamOf(data, size);
  TXMapPack pack;
  pack.Load(*s);
  for (int32_t i = -1; i <= pack.Count() && i < 256; ++i) pack.GetMapByIndex(i);
  for (int32_t p = 0; p < 8; ++p) {
    pack.SetChainPosition(p);
    pack.GetCurrentMap();
  }
  pack.IndexOf("M1");
  return 0;
}
