#pragma once
// What the sound and music collections share: items owned in list order,
// found by their whole name (letter case counting), freed in list order.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Names are kept to this many characters; longer ones are cut.
constexpr std::size_t kMaxItemName = 24;

template <class TItem>
class TNamedCollection {
 public:
  TNamedCollection() = default;
  ~TNamedCollection() { Clear(); }
  TNamedCollection(const TNamedCollection&) = delete;
  TNamedCollection& operator=(const TNamedCollection&) = delete;

  // Whole name, letter case counting; the first match, or null.
  TItem* Find(const std::string& name) { return GetItem(IndexOf(name)); }
  int32_t IndexOf(const std::string& name) const {
    for (std::size_t i = 0; i < Items.size(); ++i) {
      if (Items[i]->Name == name) return static_cast<int32_t>(i);
    }
    return -1;
  }
  TItem* GetItem(int32_t index) {
    if (index < 0 || index >= Count()) return nullptr;
    return Items[static_cast<std::size_t>(index)].get();
  }
  int32_t Count() const { return static_cast<int32_t>(Items.size()); }
  void Clear() {
    // In list order, so the destruction lines read like the list.
    for (auto& item : Items) item.reset();
    Items.clear();
  }

  std::vector<std::unique_ptr<TItem>> Items;

 protected:
  // Appends a new item named `name`, cut to kMaxItemName characters.
  TItem& Append(const std::string& name) {
    auto item = std::make_unique<TItem>();
    item->Name = name.substr(0, kMaxItemName);
    Items.push_back(std::move(item));
    return *Items.back();
  }
};
