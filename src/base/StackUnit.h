#pragma once
// A stack of 32-bit values kept as bytes; the menu component keeps its
// navigation history on one.

#include <cstdint>
#include <vector>

class TStack {
 public:
  void Push4(uint32_t value);
  // The last value pushed; 0 with a warning when fewer than four bytes remain.
  uint32_t Pop4();
  std::size_t Size() const { return Bytes_.size(); }

 private:
  std::vector<uint8_t> Bytes_;
};

void StackUnit_Startup();
