#pragma once
// Huffman decoding of compressed members: a 5-byte header (one unused byte and
// the total output length U), then blocks of up to 65535 output bytes, each
// with its own code tree written in pre-order.

#include <cstdint>
#include <vector>

#include "StreamUnit.h"

class THuffman {
 public:
  static constexpr uint16_t kSlots = 512;
  static constexpr uint16_t kFree = 512;

  struct TNode {
    uint16_t Left = kFree;
    uint16_t Right = kFree;
    uint8_t Value = 0;
  };

  // Decodes from the input's current position and appends to `output`,
  // leaving the input behind the last block. False, with an error line, on a
  // corrupt stream (nothing is appended then).
  bool Decode(TStream& input, TStream& output);
  bool DecodeBytes(const uint8_t* data, std::size_t size, std::vector<uint8_t>& out, std::size_t& consumed);

  // The tree table of the last block read: slot 0 is the root.
  const TNode& Node(int index) const { return Nodes_[index]; }

 private:
  struct TBits;
  bool ReadTree(TBits& bits, uint16_t slot, int depth);
  bool DecodeBlock(TBits& bits, uint32_t count, std::vector<uint8_t>& out);

  TNode Nodes_[kSlots];
  uint16_t NextFree_ = 1;
  // For each value of the next kPeekBits bits of the stream: the leaf reached
  // and the bits used, or the inner node reached after all of them.
  static constexpr int kPeekBits = 10;
  struct TPeek {
    uint16_t Node;
    uint8_t Bits;
    bool Leaf;
  };
  TPeek Peek_[1u << kPeekBits];
};

// The program-wide decoder, made at start-up.
extern THuffman* Huffman;

void HuffmanUnit_Startup();
void HuffmanUnit_Shutdown();
