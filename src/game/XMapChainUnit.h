#pragma once
// A map chain: the ordered steps of a map pack. "M" steps name a map of the
// pack by index; "C" and "G" steps carry two and one values that the pack
// keeps for whoever plays the chain.

#include <cstdint>
#include <string>
#include <vector>

class TStream;

struct TXMapChainItem {
  char Kind = 'M';
  int32_t Value1 = 0;
  int32_t Value2 = 0;
};

class TXMapChain {
 public:
  struct TEntry {
    std::string Text;  // display text: "M3", "C 1,2", "G 5"
    TXMapChainItem Item;
  };

  // Replaces the items by those of the chain data from the stream's current
  // position to its end. An item cut short by the end of the data is dropped.
  void Load(TStream& stream);
  // Writes the chain data that Load reads.
  bool Save(TStream& stream) const;
  // The map index of step i: Value1 of an "M" step, otherwise -1.
  int32_t GetMapIndex(int32_t i) const;
  int32_t Count() const { return static_cast<int32_t>(Items.size()); }
  void Clear() { Items.clear(); }
  // Appends an item with its display text.
  void Add(const TXMapChainItem& item);

  static std::string DisplayText(const TXMapChainItem& item);

  std::vector<TEntry> Items;
};

void XMapChainUnit_Startup();
