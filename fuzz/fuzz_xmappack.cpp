// Map packs in all three forms (chunked, text, binary) with their chains:
// load, then take every map out of the pack and follow the chain. Whatever
// loaded and a writer accepts must read back as the same pack.
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "XMapPackUnit.h"
#include "XMapUnit.h"
#include "ZRStream3.h"

namespace {

void CheckSavedAs(TXMapPack& pack, const char* form, bool (TXMapPack::*save)(TStream&) const) {
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
    // A text pack's map runs on over the line end the writer adds and the
    // next header or end line, which the map reader never reaches.
    const std::vector<uint8_t>& x = a.Data->Data;
    const std::vector<uint8_t>& y = b.Data->Data;
    const bool same = std::string(form) == "MPKT" ? y.size() >= x.size() && std::equal(x.begin(), x.end(), y.begin())
                                                  : x == y;
    if (!same) fuzz::Fail(what + " reads back other map bytes");
    const std::unique_ptr<TXMap> m = pack.GetMapByIndex(i), n = again.GetMapByIndex(i);
    if (!m != !n) fuzz::Fail(what + " loses or gains a map");
    if (!m) continue;
    if (m->Width != n->Width || m->Height != n->Height) fuzz::Fail(what + " reads back a map of another size");
    if (m->PhysicalTiles != n->PhysicalTiles) fuzz::Fail(what + " reads back other cells");
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
