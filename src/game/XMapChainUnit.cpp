#include "XMapChainUnit.h"

#include "Logger.h"
#include "ZRStream3.h"

std::string TXMapChain::DisplayText(const TXMapChainItem& item) {
  switch (item.Kind) {
    case 'M': return "M" + std::to_string(item.Value1);
    case 'C': return "C " + std::to_string(item.Value1) + "," + std::to_string(item.Value2);
    case 'G': return "G " + std::to_string(item.Value1);
    default: return "";
  }
}

void TXMapChain::Add(const TXMapChainItem& item) { Items.push_back({DisplayText(item), item}); }

void TXMapChain::Load(TStream& stream) {
  Items.clear();
  for (;;) {
    bool ok = true;
    TXMapChainItem item;
    item.Kind = static_cast<char>(stream.ReadU8(&ok));
    if (!ok) break;
    if (item.Kind == 'M' || item.Kind == 'G') {
      item.Value1 = static_cast<int32_t>(stream.ReadU32(&ok));
    } else if (item.Kind == 'C') {
      item.Value1 = static_cast<int32_t>(stream.ReadU32(&ok));
      if (ok) item.Value2 = static_cast<int32_t>(stream.ReadU32(&ok));
    }
    if (!ok) break;
    std::string text = DisplayText(item);
    // A step of another kind shows the text of the step before it.
    if (item.Kind != 'M' && item.Kind != 'C' && item.Kind != 'G') text = Items.empty() ? "" : Items.back().Text;
    Items.push_back({std::move(text), item});
  }
}

bool TXMapChain::Save(TStream& stream) const {
  for (const TEntry& e : Items) {
    const TXMapChainItem& item = e.Item;
    bool ok = stream.WriteU8(static_cast<uint8_t>(item.Kind));
    if (item.Kind == 'M' || item.Kind == 'G' || item.Kind == 'C') ok = ok && stream.WriteU32(static_cast<uint32_t>(item.Value1));
    if (item.Kind == 'C') ok = ok && stream.WriteU32(static_cast<uint32_t>(item.Value2));
    if (!ok) return false;
  }
  return true;
}

int32_t TXMapChain::GetMapIndex(int32_t i) const {
  if (i < 0 || i >= Count()) return -1;
  const TXMapChainItem& item = Items[static_cast<std::size_t>(i)].Item;
  return item.Kind == 'M' ? item.Value1 : -1;
}

void XMapChainUnit_Startup() { LogUnitVersion("XMapChainUnit", "1.03"); }
