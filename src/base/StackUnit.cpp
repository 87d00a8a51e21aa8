#include "StackUnit.h"

#include "Logger.h"

void TStack::Push4(uint32_t value) {
  for (int i = 0; i < 4; ++i) Bytes_.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

uint32_t TStack::Pop4() {
  if (Bytes_.size() < 4) {
    Log->Warning("Stack underflow!", "StackUnit, TStack.Pop4");
    return 0;
  }
  uint32_t v = 0;
  const std::size_t base = Bytes_.size() - 4;
  for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(Bytes_[base + i]) << (8 * i);
  Bytes_.resize(base);
  return v;
}

void StackUnit_Startup() { LogUnitVersion("StackUnit", "1.01"); }
