#include "HuffmanUnit.h"

#include <memory>

#include "CodingUnit.h"
#include "Logger.h"

THuffman* Huffman = nullptr;

namespace {

const char* const kLoc = "HuffmanUnit, THuffman.Decode";
std::unique_ptr<THuffman> Instance;

}  // namespace

// Bits of one block, most significant bit of each byte first; reading past the
// end of the data is reported, never performed.
struct THuffman::TBits {
  const uint8_t* Data;
  std::size_t Size;
  std::size_t BitPos = 0;

  std::size_t TotalBits() const { return Size * 8; }
  bool Read(int& bit) {
    if (BitPos >= TotalBits()) return false;
    bit = (Data[BitPos >> 3] >> (7 - (BitPos & 7))) & 1;
    ++BitPos;
    return true;
  }
  // The next kPeekBits bits, zero-padded past the end.
  unsigned Peek() const {
    const std::size_t byte = BitPos >> 3;
    uint32_t v;
    if (byte + 2 < Size) {
      v = (static_cast<uint32_t>(Data[byte]) << 16) | (static_cast<uint32_t>(Data[byte + 1]) << 8) | Data[byte + 2];
    } else {
      v = 0;
      for (std::size_t i = 0; i < 3; ++i) v = (v << 8) | (byte + i < Size ? Data[byte + i] : 0u);
    }
    return (v >> (24 - kPeekBits - (BitPos & 7))) & ((1u << kPeekBits) - 1);
  }
  // The next block starts at the next whole byte.
  void AlignToByte() { BitPos = (BitPos + 7) & ~std::size_t{7}; }
};

bool THuffman::ReadTree(TBits& bits, uint16_t slot, int depth) {
  int bit = 0;
  if (!bits.Read(bit)) {
    Log->Error("Huffman tree cut short!", kLoc);
    return false;
  }
  if (bit == 0) {
    if (NextFree_ + 2 > kSlots) {
      Log->Error("Huffman tree needs more than 511 nodes!", kLoc);
      return false;
    }
    uint16_t left = NextFree_++;
    uint16_t right = NextFree_++;
    Nodes_[slot].Left = left;
    Nodes_[slot].Right = right;
    return ReadTree(bits, left, depth + 1) && ReadTree(bits, right, depth + 1);
  }
  if (depth == 0) {
    Log->Error("Huffman tree root is a leaf!", kLoc);
    return false;
  }
  unsigned value = 0;
  for (int i = 0; i < 8; ++i) {
    if (!bits.Read(bit)) {
      Log->Error("Huffman tree cut short!", kLoc);
      return false;
    }
    value = (value << 1) | static_cast<unsigned>(bit);
  }
  Nodes_[slot].Value = static_cast<uint8_t>(value);
  return true;
}

bool THuffman::DecodeBlock(TBits& bits, uint32_t count, std::vector<uint8_t>& out) {
  // Table of the next kPeekBits bits: most codes are resolved with one look-up.
  for (unsigned prefix = 0; prefix < (1u << kPeekBits); ++prefix) {
    uint16_t node = 0;
    TPeek p{0, kPeekBits, false};
    for (int i = 0; i < kPeekBits; ++i) {
      node = ((prefix >> (kPeekBits - 1 - i)) & 1) ? Nodes_[node].Right : Nodes_[node].Left;
      if (Nodes_[node].Left >= kSlots) {
        p = TPeek{node, static_cast<uint8_t>(i + 1), true};
        break;
      }
    }
    if (!p.Leaf) p.Node = node;
    Peek_[prefix] = p;
  }
  const std::size_t total = bits.TotalBits();
  const std::size_t first = out.size();
  out.resize(first + count);
  uint8_t* dest = out.data() + first;
  for (uint32_t n = 0; n < count; ++n) {
    const TPeek& p = Peek_[bits.Peek()];
    if (bits.BitPos + p.Bits > total) {
      Log->Error("Huffman codes cut short!", kLoc);
      return false;
    }
    bits.BitPos += p.Bits;
    uint16_t node = p.Node;
    while (Nodes_[node].Left < kSlots) {
      int bit = 0;
      if (!bits.Read(bit)) {
        Log->Error("Huffman codes cut short!", kLoc);
        return false;
      }
      node = bit ? Nodes_[node].Right : Nodes_[node].Left;
    }
    dest[n] = Nodes_[node].Value;
  }
  return true;
}

bool THuffman::DecodeBytes(const uint8_t* data, std::size_t size, std::vector<uint8_t>& out, std::size_t& consumed) {
  consumed = 0;
  if (size < 5) {
    Log->Error("Huffman header cut short!", kLoc);
    return false;
  }
  const uint32_t total = static_cast<uint32_t>(data[1]) | (static_cast<uint32_t>(data[2]) << 8) |
                         (static_cast<uint32_t>(data[3]) << 16) | (static_cast<uint32_t>(data[4]) << 24);
  if (total > kMaxDecodedSize) {
    Log->Error("Huffman data too large! (" + std::to_string(total) + ")", kLoc);
    return false;
  }
  // Every code takes at least one bit, so the input bounds the output.
  out.reserve(out.size() + std::min<std::size_t>(total, (size - 5) * 8));
  const std::size_t firstOut = out.size();
  std::size_t pos = 5;
  uint32_t remaining = total;
  while (remaining > 0) {
    if (size - pos < 2) {
      Log->Error("Huffman blocks end before the output is complete!", kLoc);
      out.resize(firstOut);
      return false;
    }
    const uint32_t count = static_cast<uint32_t>(data[pos]) | (static_cast<uint32_t>(data[pos + 1]) << 8);
    pos += 2;
    if (count > remaining) {
      Log->Error("Huffman block lengths do not add up!", kLoc);
      out.resize(firstOut);
      return false;
    }
    for (TNode& n : Nodes_) n = TNode{};
    NextFree_ = 1;
    TBits bits{data + pos, size - pos};
    if (!ReadTree(bits, 0, 0) || !DecodeBlock(bits, count, out)) {
      out.resize(firstOut);
      return false;
    }
    bits.AlignToByte();
    pos += bits.BitPos / 8;
    remaining -= count;
  }
  consumed = pos;
  return true;
}

bool THuffman::Decode(TStream& input, TStream& output) {
  const int64_t start = input.Position();
  std::vector<uint8_t> storage;
  TByteView in = ViewFrom(input, start, storage);
  std::vector<uint8_t> out;
  std::size_t consumed = 0;
  if (!DecodeBytes(in.Data, in.Size, out, consumed)) return false;
  input.SetPosition(start + static_cast<int64_t>(consumed));
  output.WriteBuffer(out.data(), static_cast<int64_t>(out.size()));
  return true;
}

void HuffmanUnit_Startup() {
  LogUnitVersion("HuffmanUnit", "1.03");
  Instance = std::make_unique<THuffman>();
  Huffman = Instance.get();
}

void HuffmanUnit_Shutdown() {
  Huffman = nullptr;
  Instance.reset();
}
