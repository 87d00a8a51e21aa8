// Map packs in all three forms (chunked, text, binary) with their chains:
// load, then take every map out of the pack and follow the chain. Whatever
// loaded and a writer accepts must read back as the same pack.
#include <string>

#include "FuzzSupport.h"
#include "XMapPackUnit.h"
#include "XMapUnit.h"
#include "ZRStream3.h"

namespace {

void CheckSavedAs(const TXMapPack& pack, const char* form, bool (TXMapPack::*save)(TStream&) const) {
  TMemoryStream out;
  if (!(pack.*save)(out)) return;  // refused, with an error line
  out.SetPosition(0);
  TXMapPack again;
  again.Load(out);
  const std::string what = std::string("pack saved as ") + form;
  if (again.Count() != pack.Count()) fuzz::Fail(what + " reads back with another count");
  for (int32_t i = 0; i < pack.Count(); ++i) {
    const TXMapPackEntry& a = pack.Entries[i];
    const TXMapPackEntry& b = again.Entries[i];
    if (a.Name != b.Name) fuzz::Fail(what + " reads back another name");
    if (a.Data->Data != b.Data->Data) fuzz::Fail(what + " reads back other map bytes");
  }
  if (again.Chain->Count() != pack.Chain->Count()) fuzz::Fail(what + " reads back another chain");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Start();
  auto s = fuzz::StreamOf(data, size);
  TXMapPack pack;
  pack.Load(*s);
  for (int32_t i = -1; i <= pack.Count() && i < 256; ++i) pack.GetMapByIndex(i);
  for (int32_t i = 0; i < pack.Count() && i < 4; ++i) pack.GetMap(pack.Entries[i].Name);
  for (int32_t p = 0; p < 8; ++p) {
    pack.SetChainPosition(p);
    pack.GetCurrentMap();
  }
  pack.IndexOf("M1");
  CheckSavedAs(pack, "MPCK", &TXMapPack::SaveMPCK);
  CheckSavedAs(pack, "MPKT", &TXMapPack::SaveMPKT);
  CheckSavedAs(pack, "MPKB", &TXMapPack::SaveMPKB);
  return 0;
}
