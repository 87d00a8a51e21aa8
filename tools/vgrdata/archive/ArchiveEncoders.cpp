#include "ArchiveEncoders.h"

#include <zlib.h>

#include <algorithm>
#include <numeric>
#include <queue>
#include <stdexcept>

namespace vgrdata {

namespace {

void PutU32(TBytes& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

class TBitWriter {
 public:
  explicit TBitWriter(TBytes& out) : Out_(out) {}
  void Put(uint64_t bits, int count) {
    for (int i = count - 1; i >= 0; --i) {
      Byte_ = static_cast<uint8_t>((Byte_ << 1) | ((bits >> i) & 1));
      if (++Fill_ == 8) {
        Out_.push_back(Byte_);
        Byte_ = 0;
        Fill_ = 0;
      }
    }
  }
  // The block's last byte keeps its unused low bits at zero.
  void Finish() {
    if (Fill_ > 0) Out_.push_back(static_cast<uint8_t>(Byte_ << (8 - Fill_)));
    Byte_ = 0;
    Fill_ = 0;
  }

 private:
  TBytes& Out_;
  uint8_t Byte_ = 0;
  int Fill_ = 0;
};

// Code lengths of a Huffman code for the counts (0 for unused bytes).
std::vector<int> CodeLengths(const std::vector<uint32_t>& counts) {
  struct TItem {
    uint64_t Weight;
    int Node;
  };
  auto heavier = [](const TItem& a, const TItem& b) { return a.Weight > b.Weight || (a.Weight == b.Weight && a.Node > b.Node); };
  std::priority_queue<TItem, std::vector<TItem>, decltype(heavier)> queue(heavier);
  std::vector<int> parent(512, -1);
  for (int s = 0; s < 256; ++s) {
    if (counts[static_cast<std::size_t>(s)] > 0) queue.push({counts[static_cast<std::size_t>(s)], s});
  }
  int next = 256;
  while (queue.size() > 1) {
    TItem a = queue.top();
    queue.pop();
    TItem b = queue.top();
    queue.pop();
    parent[static_cast<std::size_t>(a.Node)] = next;
    parent[static_cast<std::size_t>(b.Node)] = next;
    queue.push({a.Weight + b.Weight, next++});
  }
  std::vector<int> lengths(256, 0);
  for (int s = 0; s < 256; ++s) {
    if (counts[static_cast<std::size_t>(s)] == 0) continue;
    int len = 0;
    for (int n = s; parent[static_cast<std::size_t>(n)] >= 0; n = parent[static_cast<std::size_t>(n)]) ++len;
    lengths[static_cast<std::size_t>(s)] = len;
  }
  return lengths;
}

struct TTreeNode {
  int Child[2] = {-1, -1};
  int Value = -1;
};

void WriteTree(const std::vector<TTreeNode>& tree, int node, TBitWriter& bits) {
  const TTreeNode& n = tree[static_cast<std::size_t>(node)];
  if (n.Value >= 0) {
    bits.Put(1, 1);
    bits.Put(static_cast<uint64_t>(n.Value), 8);
    return;
  }
  bits.Put(0, 1);
  WriteTree(tree, n.Child[0], bits);
  WriteTree(tree, n.Child[1], bits);
}

void HuffmanBlock(const uint8_t* data, std::size_t size, TBytes& out) {
  out.push_back(static_cast<uint8_t>(size));
  out.push_back(static_cast<uint8_t>(size >> 8));
  std::vector<uint32_t> counts(256, 0);
  for (std::size_t i = 0; i < size; ++i) ++counts[data[i]];
  std::vector<int> lengths = CodeLengths(counts);
  std::vector<uint64_t> codes(256, 0);
  std::vector<TTreeNode> tree(1);
  std::vector<int> used;
  for (int s = 0; s < 256; ++s) {
    if (counts[static_cast<std::size_t>(s)] > 0) used.push_back(s);
  }
  if (used.size() <= 1) {
    // One value (or an empty block): the root still needs two children.
    const int value = used.empty() ? 0 : used[0];
    tree.push_back(TTreeNode{{-1, -1}, value});
    tree.push_back(TTreeNode{{-1, -1}, value});
    tree[0].Child[0] = 1;
    tree[0].Child[1] = 2;
    lengths[static_cast<std::size_t>(value)] = 1;
    codes[static_cast<std::size_t>(value)] = 0;
  } else {
    // Canonical codes: by length, then by value.
    std::stable_sort(used.begin(), used.end(), [&](int a, int b) {
      return lengths[static_cast<std::size_t>(a)] < lengths[static_cast<std::size_t>(b)];
    });
    uint64_t code = 0;
    int prevLen = lengths[static_cast<std::size_t>(used[0])];
    for (std::size_t i = 0; i < used.size(); ++i) {
      const int len = lengths[static_cast<std::size_t>(used[i])];
      if (i > 0) code = (code + 1) << (len - prevLen);
      prevLen = len;
      codes[static_cast<std::size_t>(used[i])] = code;
      int node = 0;
      for (int b = len - 1; b >= 0; --b) {
        const int bit = static_cast<int>((code >> b) & 1);
        int& child = tree[static_cast<std::size_t>(node)].Child[bit];
        if (child < 0) {
          child = static_cast<int>(tree.size());
          tree.emplace_back();
        }
        node = tree[static_cast<std::size_t>(node)].Child[bit];
      }
      tree[static_cast<std::size_t>(node)].Value = used[i];
    }
  }
  TBitWriter bits(out);
  WriteTree(tree, 0, bits);
  for (std::size_t i = 0; i < size; ++i) bits.Put(codes[data[i]], lengths[data[i]]);
  bits.Finish();
}

TBytes Filter(const TBytes& data, int filter) {
  switch (filter) {
    case 1: return InterleaveEncode(data, 2);
    case 2: return InterleaveEncode(data, 3);
    case 3: return DeltaEncode(data);
    case 4: return MoveToFrontEncode(data);
    // Decoding runs delta first and re-interleaves after, so encoding
    // separates the planes first.
    case 5: return DeltaEncode(InterleaveEncode(data, 2));
    case 6: return DeltaEncode(InterleaveEncode(data, 3));
    default: return data;
  }
}

TBytes BestRLE(const TBytes& data) {
  TBytes best = RLEEncode(data, 5);
  if (AllBelow128(data)) {
    TBytes six = RLEEncode(data, 6);
    if (six.size() < best.size()) best = std::move(six);
  }
  return best;
}

}  // namespace

TBytes ZDeflate(const TBytes& data) {
  uLongf size = compressBound(static_cast<uLong>(data.size()));
  TBytes out(size);
  if (compress2(out.data(), &size, data.data(), static_cast<uLong>(data.size()), Z_BEST_COMPRESSION) != Z_OK) {
    throw std::runtime_error("zlib compression failed");
  }
  out.resize(size);
  return out;
}

bool AllBelow128(const TBytes& data) {
  return std::all_of(data.begin(), data.end(), [](uint8_t b) { return b < 128; });
}

TBytes RLEEncode(const TBytes& data, int variant) {
  TBytes out = {static_cast<uint8_t>(variant), 0, 0, 0, 0};
  const std::size_t n = data.size();
  std::size_t i = 0;
  if (variant == 6) {
    while (i < n) {
      std::size_t run = 1;
      while (i + run < n && run < 256 && data[i + run] == data[i]) ++run;
      if (run >= 3) {
        out.push_back(static_cast<uint8_t>(128 + data[i]));
        out.push_back(static_cast<uint8_t>(run - 1));
      } else {
        run = 1;
        out.push_back(data[i]);
      }
      i += run;
    }
  } else {
    std::size_t literalStart = 0;
    auto flush = [&](std::size_t end) {
      while (literalStart < end) {
        const std::size_t count = std::min<std::size_t>(128, end - literalStart);
        out.push_back(static_cast<uint8_t>(count - 1));
        out.insert(out.end(), data.begin() + static_cast<std::ptrdiff_t>(literalStart),
                   data.begin() + static_cast<std::ptrdiff_t>(literalStart + count));
        literalStart += count;
      }
    };
    while (i < n) {
      std::size_t run = 1;
      while (i + run < n && run < 128 && data[i + run] == data[i]) ++run;
      if (run >= 3) {
        flush(i);
        out.push_back(static_cast<uint8_t>(127 + run));
        out.push_back(data[i]);
        i += run;
        literalStart = i;
      } else {
        i += run;
      }
    }
    flush(n);
  }
  const uint32_t total = static_cast<uint32_t>(out.size());
  for (int b = 0; b < 4; ++b) out[static_cast<std::size_t>(1 + b)] = static_cast<uint8_t>(total >> (8 * b));
  return out;
}

TBytes HuffmanEncode(const TBytes& data) {
  TBytes out = {0};
  PutU32(out, static_cast<uint32_t>(data.size()));
  for (std::size_t pos = 0; pos < data.size(); pos += 65535) {
    HuffmanBlock(data.data() + pos, std::min<std::size_t>(65535, data.size() - pos), out);
  }
  return out;
}

TBytes InterleaveEncode(const TBytes& data, int stride) {
  TBytes out;
  out.reserve(data.size());
  for (std::size_t plane = 0; plane < static_cast<std::size_t>(stride); ++plane) {
    for (std::size_t pos = plane; pos < data.size(); pos += static_cast<std::size_t>(stride)) out.push_back(data[pos]);
  }
  return out;
}

TBytes DeltaEncode(const TBytes& data) {
  TBytes out(data.size());
  for (std::size_t i = 0; i < data.size(); ++i) out[i] = i == 0 ? data[0] : static_cast<uint8_t>(data[i] - data[i - 1]);
  return out;
}

TBytes MoveToFrontEncode(const TBytes& data) {
  TBytes out(data.size());
  uint8_t table[256];
  std::iota(table, table + 256, 0);
  for (std::size_t i = 0; i < data.size(); ++i) {
    const uint8_t* at = std::find(table, table + 256, data[i]);
    const auto index = static_cast<std::size_t>(at - table);
    std::move_backward(table, table + index, table + index + 1);
    table[0] = data[i];
    out[i] = static_cast<uint8_t>(index);
  }
  return out;
}

bool MethodStoresData(uint8_t method) {
  const int e = (method >> 3) & 7;
  return (method & 0x80) == 0 && (e == 0 || e == 1 || e == 2 || e == 4);
}

std::optional<TBytes> EncodeContainer(const TBytes& data, uint8_t method) {
  if (!MethodStoresData(method)) {
    if (data.empty() && (method & 0x80) == 0 && (method & 0x40) == 0) return TBytes{method, 0, 0, 0, 0};
    return std::nullopt;
  }
  TBytes stage = Filter(data, method & 7);
  switch ((method >> 3) & 7) {
    case 1: stage = BestRLE(stage); break;
    case 2: stage = HuffmanEncode(BestRLE(stage)); break;
    case 4: stage = HuffmanEncode(stage); break;
    default: break;
  }
  TBytes out = {method};
  if (method & 0x40) {
    TBytes z = ZDeflate(stage);
    out.insert(out.end(), z.begin(), z.end());
  } else {
    // Four reserved bytes, which the reader skips.
    out.insert(out.end(), {0, 0, 0, 0});
    out.insert(out.end(), stage.begin(), stage.end());
  }
  return out;
}

std::vector<uint8_t> MeaningfulMethods() {
  std::vector<uint8_t> methods;
  for (uint8_t z : {0x00, 0x40}) {
    for (uint8_t e : {0, 1, 2, 4}) {
      for (uint8_t f = 0; f <= 6; ++f) methods.push_back(static_cast<uint8_t>(z | (e << 3) | f));
    }
  }
  return methods;
}

}  // namespace vgrdata
