// Map chains on their own: load, list and look up every position, save and
// load again.
#include "FuzzSupport.h"
#include "XMapChainUnit.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Start();
  auto s = fuzz::StreamOf(data, size);
  TXMapChain chain;
  chain.Load(*s);
  for (int32_t i = -1; i <= chain.Count() && i < 4096; ++i) chain.GetMapIndex(i);
  TMemoryStream out;
  if (!chain.Save(out)) return 0;
  out.SetPosition(0);
  TXMapChain again;
  again.Load(out);
  if (again.Count() != chain.Count()) fuzz::Fail("saved chain reads back with another length");
  for (int32_t i = 0; i < chain.Count(); ++i)
    if (again.GetMapIndex(i) != chain.GetMapIndex(i)) fuzz::Fail("saved chain reads back other positions");
  return 0;
}
