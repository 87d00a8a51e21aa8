#pragma once
// String lists read first in, first out.

#include <deque>
#include <string>

class TFIFOStringList {
 public:
  void Add(std::string s) { Items_.push_back(std::move(s)); }
  // The oldest string, removed from the list; "" when the list is empty.
  std::string GetNextItem();
  std::size_t Count() const { return Items_.size(); }
  void Clear() { Items_.clear(); }

 private:
  std::deque<std::string> Items_;
};

void Lists_Startup();
