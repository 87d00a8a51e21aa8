#include <gtest/gtest.h>

#include <algorithm>
#include <zlib.h>

#include "CodingUnit.h"
#include "CompressorUnit.h"
#include "HuffmanUnit.h"
#include "MyZStreamUnit.h"
#include "RLEUnit.h"
#include "StorageTestSupport.h"

using namespace storagetest;

namespace {

TBytes Decompress(const TBytes& container, bool* ok = nullptr) {
  TMemoryStream in(container);
  TCompressor c;
  std::unique_ptr<TMemoryStream> out = c.Decompress(in);
  if (ok) *ok = out != nullptr;
  if (!out) return {};
  EXPECT_EQ(out->Position(), 0);
  return out->Data;
}

TBytes Zlib(const TBytes& data) {
  uLongf size = compressBound(static_cast<uLong>(data.size()));
  TBytes out(size);
  EXPECT_EQ(compress(out.data(), &size, data.data(), static_cast<uLong>(data.size())), Z_OK);
  out.resize(size);
  return out;
}

TBytes WithMethod(uint8_t m, const TBytes& payload) {
  TBytes b{m, 0xDE, 0xAD, 0xBE, 0xEF};
  b.insert(b.end(), payload.begin(), payload.end());
  return b;
}

TBytes RLEStream(uint8_t variant, const TBytes& packets, int64_t totalAdjust = 0) {
  TBytes b{variant};
  PutU32(b, static_cast<uint32_t>(5 + packets.size() + totalAdjust));
  b.insert(b.end(), packets.begin(), packets.end());
  return b;
}

TBytes HuffmanStream(uint32_t total, const std::vector<std::pair<uint16_t, std::string>>& blocks) {
  TBytes b{0};
  PutU32(b, total);
  for (const auto& [k, bits] : blocks) {
    b.push_back(static_cast<uint8_t>(k));
    b.push_back(static_cast<uint8_t>(k >> 8));
    TBytes body = Bits(bits);
    b.insert(b.end(), body.begin(), body.end());
  }
  return b;
}

// inner(leaf 'a', leaf 'b')
const std::string kTreeAB = "0 1" + Bits8('a') + " 1" + Bits8('b');

}  // namespace

TEST(Container, StoredPayloadSkipsTheFourReservedBytes) {
  EXPECT_EQ(Decompress(WithMethod(0x00, Bytes("hello"))), Bytes("hello"));
  bool ok = false;
  EXPECT_TRUE(Decompress(WithMethod(0x00, {}), &ok).empty());
  EXPECT_TRUE(ok);
}

TEST(Container, ZlibPayloadStartsAtOffsetOne) {
  TBytes data(5000);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7 % 251);
  TBytes c{0x40};
  TBytes z = Zlib(data);
  c.insert(c.end(), z.begin(), z.end());
  EXPECT_EQ(Decompress(c), data);
}

// A large member (a song) is measured before it is inflated, so that its
// output holds exactly its size; whole, through the filters and taken by
// the archive's own call, or cut short, it decodes as a small one does.
TEST(Container, LargeMembersInflateToExactlyTheirSize) {
  TBytes data(600000);
  uint32_t x = 1;
  for (std::size_t i = 0; i < data.size(); ++i) {
    x = x * 1103515245u + 12345u;
    data[i] = static_cast<uint8_t>(i % 64 < 48 ? i / 64 : x >> 24);
  }
  TBytes z = Zlib(data);
  ASSERT_GE(z.size(), 64u << 10);
  TBytes whole{0x40};
  whole.insert(whole.end(), z.begin(), z.end());
  TMemoryStream in(whole);
  TCompressor compressor;
  std::unique_ptr<TMemoryStream> out = compressor.Decompress(in);
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(out->Data, data);
  EXPECT_EQ(out->Data.capacity(), data.size());

  // Filter 5: the bytes in two planes (even places, then odd), as
  // differences from the byte before.
  TBytes planes;
  for (std::size_t first : {0, 1})
    for (std::size_t i = first; i < data.size(); i += 2) planes.push_back(data[i]);
  for (std::size_t i = planes.size() - 1; i > 0; --i) planes[i] = static_cast<uint8_t>(planes[i] - planes[i - 1]);
  TBytes filtered{0x45};
  const TBytes packed = Zlib(planes);
  filtered.insert(filtered.end(), packed.begin(), packed.end());
  out = compressor.Decompress(std::make_unique<TMemoryStream>(filtered));
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(out->Data, data);

  TBytes cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(whole.size() / 2));
  bool ok = true;
  EXPECT_TRUE(Decompress(cut, &ok).empty());
  EXPECT_FALSE(ok);
}

TEST(Container, EntropyValuesWithoutAStageGiveAnEmptyResult) {
  for (uint8_t e : {3, 5, 6, 7}) {
    bool ok = false;
    EXPECT_TRUE(Decompress(WithMethod(static_cast<uint8_t>(e << 3), Bytes("whatever follows")), &ok).empty()) << int(e);
    EXPECT_TRUE(ok);
  }
}

TEST(Container, EveryFilterOfTheMethodByte) {
  struct TCase {
    uint8_t Method;
    TBytes Payload;
    TBytes Expected;
  };
  const std::vector<TCase> cases = {
      {0x01, Bytes("ACEBDF"), Bytes("ABCDEF")},
      {0x02, Bytes("ADBECF"), Bytes("ABCDEF")},
      {0x03, {10, 5, 251}, {10, 15, 10}},
      {0x04, {1, 1, 0}, {1, 0, 0}},
      // delta of planes "ACE" "BDF", then re-interleave
      {0x05, {'A', 2, 2, static_cast<uint8_t>('B' - 'E'), 2, 2}, Bytes("ABCDEF")},
      {0x06, {'A', 3, static_cast<uint8_t>('B' - 'D'), 3, static_cast<uint8_t>('C' - 'E'), 3}, Bytes("ABCDEF")},
      {0x07, Bytes("as is"), Bytes("as is")},
  };
  for (const TCase& c : cases) EXPECT_EQ(Decompress(WithMethod(c.Method, c.Payload)), c.Expected) << int(c.Method);
}

// A chain-shaped code tree over the distinct values (in order of first
// appearance): value i has the code of i ones and a zero, the last one i ones.
std::string ChainHuffman(const TBytes& values) {
  std::vector<uint8_t> distinct;
  for (uint8_t v : values) {
    if (std::find(distinct.begin(), distinct.end(), v) == distinct.end()) distinct.push_back(v);
  }
  if (distinct.size() == 1) distinct.push_back(distinct[0]);
  std::string bits;
  for (std::size_t i = 0; i + 1 < distinct.size(); ++i) bits += "0 1" + Bits8(distinct[i]) + " ";
  bits += "1" + Bits8(distinct.back());
  for (uint8_t v : values) {
    std::size_t i = static_cast<std::size_t>(std::find(distinct.begin(), distinct.end(), v) - distinct.begin());
    bits += std::string(i, '1') + (i + 1 < distinct.size() ? "0" : "");
  }
  return bits;
}

TEST(Container, EntropyStagesChainWithFilters) {
  // run-length, then move-to-front
  EXPECT_EQ(Decompress(WithMethod(0x0C, RLEStream(5, {0x82, 0x01, 0x00, 0x00}))), (TBytes{1, 0, 1, 1}));
  // Huffman, then run-length: the Huffman output is a run-length stream
  TBytes rle = RLEStream(6, {0x41, 0xC2, 0x02});
  TBytes huff = HuffmanStream(static_cast<uint32_t>(rle.size()), {{static_cast<uint16_t>(rle.size()), ChainHuffman(rle)}});
  EXPECT_EQ(Decompress(WithMethod(0x10, huff)), (TBytes{'A', 'B', 'B', 'B'}));
  // Huffman alone inside zlib, then delta
  TBytes plain = HuffmanStream(3, {{3, kTreeAB + "011"}});
  TBytes c{0x63};
  TBytes z = Zlib(plain);
  c.insert(c.end(), z.begin(), z.end());
  EXPECT_EQ(Decompress(c), (TBytes{'a', static_cast<uint8_t>('a' + 'b'), static_cast<uint8_t>('a' + 'b' + 'b')}));
}

TEST(RunLength, Vectors) {
  struct TCase {
    TBytes Stream;
    TBytes Expected;
  };
  const std::vector<TCase> cases = {
      {RLEStream(5, {0x82, 0x41, 0x01, 0x42, 0x43}), Bytes("AAABC")},
      {RLEStream(6, {0x41, 0xC2, 0x02}), {0x41, 0x42, 0x42, 0x42}},
      {RLEStream(5, {0xFF, 0x07, 0x80, 0x09}), [] {
         TBytes b(128, 0x07);
         b.push_back(0x09);
         return b;
       }()},
      {RLEStream(6, {0xFF, 0xFF}), TBytes(256, 0x7F)},
      {RLEStream(6, {}), {}},
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    TBytes stream = cases[i].Stream;
    stream.push_back(0xAA);  // not part of the stream: T ends before it
    TMemoryStream in(stream);
    TMemoryStream out;
    EXPECT_EQ(RLEDecode(in, out), TRLEResult::Decoded) << i;
    EXPECT_EQ(out.Data, cases[i].Expected) << i;
    EXPECT_EQ(out.Position(), 0);
    EXPECT_EQ(in.Position(), static_cast<int64_t>(cases[i].Stream.size())) << i;
  }
}

TEST(RunLength, OtherVariantsWriteNothingAndRewind) {
  TBytes stream = RLEStream(7, {0x82, 0x41});
  TMemoryStream in(stream);
  in.SetPosition(0);
  TMemoryStream out;
  EXPECT_EQ(RLEDecode(in, out), TRLEResult::NotRunLength);
  EXPECT_TRUE(out.Data.empty());
  EXPECT_EQ(in.Position(), 0);
  bool ok = false;
  EXPECT_TRUE(Decompress(WithMethod(0x08, stream), &ok).empty());
  EXPECT_TRUE(ok);
}

TEST(Filters, Vectors) {
  auto run = [](std::unique_ptr<TMemoryStream> s) {
    EXPECT_EQ(s->Position(), 0);
    return s->Data;
  };
  TMemoryStream a(Bytes("ACEBDF")), b(Bytes("ADBECF")), c(TBytes{10, 5, 251}), d(TBytes{1, 1, 0}), e(Bytes("ACEGBDF"));
  EXPECT_EQ(run(Reinterleave(a, 2)), Bytes("ABCDEF"));
  EXPECT_EQ(run(Reinterleave(b, 3)), Bytes("ABCDEF"));
  EXPECT_EQ(run(DeltaDecode(c)), (TBytes{10, 15, 10}));
  EXPECT_EQ(run(MoveToFrontDecode(d)), (TBytes{1, 0, 0}));
  // odd length: the first plane holds one byte more
  EXPECT_EQ(run(Reinterleave(e, 2)), Bytes("ABCDEFG"));
  TMemoryStream empty;
  EXPECT_TRUE(run(DeltaDecode(empty)).empty());
}

TEST(Filters, DeltaCarriesAcrossItsBlocks) {
  TBytes in(10000, 1);
  TBytes out = DeltaDecodeBytes(in.data(), in.size());
  for (std::size_t i = 0; i < out.size(); ++i) ASSERT_EQ(out[i], static_cast<uint8_t>(i + 1)) << i;
}

// Every length up to a few vector widths, with every remainder of every
// stride the codecs use and more: the planes and the differences are made
// here from their definitions and must decode back to the original bytes.
TEST(Filters, DecodeEveryLengthAndStrideBackToTheOriginal) {
  for (std::size_t n = 0; n <= 150; ++n) {
    TBytes original(n);
    for (std::size_t i = 0; i < n; ++i) original[i] = static_cast<uint8_t>(i * 37 + (i >> 3) * 101 + 200);
    for (int k = 1; k <= 7; ++k) {
      TBytes planes;
      for (int p = 0; p < k; ++p)
        for (std::size_t i = static_cast<std::size_t>(p); i < n; i += static_cast<std::size_t>(k))
          planes.push_back(original[i]);
      ASSERT_EQ(ReinterleaveBytes(planes.data(), planes.size(), k), original) << "length " << n << " stride " << k;
    }
    TBytes deltas(n);
    for (std::size_t i = 0; i < n; ++i) deltas[i] = static_cast<uint8_t>(original[i] - (i ? original[i - 1] : 0));
    ASSERT_EQ(DeltaDecodeBytes(deltas.data(), deltas.size()), original) << "length " << n;
  }
}

TEST(Huffman, TwoLeafTree) {
  TBytes stream = HuffmanStream(3, {{3, kTreeAB + "011"}});
  TMemoryStream in(stream);
  TMemoryStream out;
  THuffman h;
  ASSERT_TRUE(h.Decode(in, out));
  EXPECT_EQ(out.Data, Bytes("abb"));
  EXPECT_EQ(in.Position(), static_cast<int64_t>(stream.size()));
  EXPECT_EQ(h.Node(0).Left, 1);
  EXPECT_EQ(h.Node(0).Right, 2);
  EXPECT_EQ(h.Node(3).Left, THuffman::kFree);
}

TEST(Huffman, EachBlockHasItsOwnTreeAndStartsOnAByte) {
  // block 1: "ab" over tree a/b; block 2: "ba" over the mirrored tree
  const std::string mirrored = "0 1" + Bits8('b') + " 1" + Bits8('a');
  TBytes stream = HuffmanStream(5, {{2, kTreeAB + "01"}, {3, mirrored + "010"}});
  TMemoryStream in(stream);
  TMemoryStream out;
  ASSERT_TRUE(THuffman().Decode(in, out));
  EXPECT_EQ(out.Data, Bytes("abbab"));
}

TEST(Huffman, BlockEndingOnAByteBoundaryIsFollowedAtOnce) {
  // The first block takes exactly 3 bytes (19 tree bits, 5 code bits): the
  // next block starts on the very next byte, with nothing to skip.
  const std::string mirrored = "0 1" + Bits8('b') + " 1" + Bits8('a');
  TBytes stream = HuffmanStream(9, {{5, kTreeAB + "01101"}, {3, mirrored + "010"}, {1, kTreeAB + "1"}});
  ASSERT_EQ(stream.size(), 5u + 2 + 3 + 2 + 3 + 2 + 3);
  TMemoryStream in(stream);
  TMemoryStream out;
  ASSERT_TRUE(THuffman().Decode(in, out));
  EXPECT_EQ(out.Data, Bytes("abbabbabb"));
  EXPECT_EQ(in.Position(), static_cast<int64_t>(stream.size()));
}

TEST(Huffman, CodesLongerThanTheLookAheadTable) {
  // 12 distinct values in a chain: the deepest codes are 11 bits long
  TBytes values;
  for (int r = 0; r < 3; ++r) {
    for (uint8_t v = 0; v < 12; ++v) values.push_back(static_cast<uint8_t>(200 + v));
  }
  TBytes stream = HuffmanStream(static_cast<uint32_t>(values.size()), {{static_cast<uint16_t>(values.size()), ChainHuffman(values)}});
  TMemoryStream in(stream);
  TMemoryStream out;
  ASSERT_TRUE(THuffman().Decode(in, out));
  EXPECT_EQ(out.Data, values);
}

TEST(Huffman, LargestTreeFits) {
  // 256 leaves in a chain: 510 nodes besides the root
  TBytes values;
  for (int v = 0; v < 256; ++v) values.push_back(static_cast<uint8_t>(v));
  TBytes stream = HuffmanStream(256, {{256, ChainHuffman(values)}});
  TMemoryStream in(stream);
  TMemoryStream out;
  ASSERT_TRUE(THuffman().Decode(in, out));
  EXPECT_EQ(out.Data, values);
}

// Every corrupt member: an error line, and no stream at all.
TEST(CorruptMembers, GiveAnErrorLineAndNoStream) {
  std::string overflow;
  for (int i = 0; i < 256; ++i) overflow += "0 1" + Bits8(static_cast<uint8_t>(i)) + " ";
  overflow += "1" + Bits8(0);
  TBytes zlibBad{0x40, 0x78, 0x9C, 0xFF, 0xFF, 0xFF};
  TBytes zlibCut{0x40};
  {
    TBytes z = Zlib(TBytes(1000, 3));
    zlibCut.insert(zlibCut.end(), z.begin(), z.begin() + static_cast<std::ptrdiff_t>(z.size() / 2));
  }
  struct TCase {
    const char* What;
    TBytes Container;
  };
  const std::vector<TCase> cases = {
      {"empty container", {}},
      {"stored container cut short", {0x00, 1, 2}},
      {"bad zlib data", zlibBad},
      {"zlib stream cut short", zlibCut},
      {"Huffman root is a leaf", WithMethod(0x20, HuffmanStream(2, {{2, "1" + Bits8('x')}}))},
      {"Huffman tree overflows its table", WithMethod(0x20, HuffmanStream(1, {{1, overflow + "0"}}))},
      {"Huffman block longer than the total", WithMethod(0x20, HuffmanStream(2, {{3, kTreeAB + "011"}}))},
      {"Huffman blocks end before the total", WithMethod(0x20, HuffmanStream(5, {{3, kTreeAB + "011"}}))},
      {"Huffman codes cut short", WithMethod(0x20, HuffmanStream(40, {{40, kTreeAB + "0101"}}))},
      {"Huffman tree cut short", WithMethod(0x20, HuffmanStream(2, {{2, "0 1011"}}))},
      {"Huffman header cut short", WithMethod(0x20, {0, 1})},
      {"run-length packet past T", WithMethod(0x08, RLEStream(5, {0x82, 0x41, 0x01, 0x42, 0x43}, -1))},
      {"run-length T past the data", WithMethod(0x08, RLEStream(5, {0x82, 0x41}, 10))},
      {"run-length T inside its header", WithMethod(0x08, RLEStream(5, {0x82, 0x41}, -4))},
      {"run-length after Huffman", WithMethod(0x10, HuffmanStream(3, {{3, "0 1" + Bits8(5) + " 1" + Bits8(0xFF) + "010"}}))},
      {"Huffman total too large", WithMethod(0x20, HuffmanStream(0xFFFFFFFFu, {{3, kTreeAB + "011"}}))},
  };
  for (const TCase& c : cases) {
    vgrtest::TScopedLog log;
    bool ok = true;
    Decompress(c.Container, &ok);
    EXPECT_FALSE(ok) << c.What;
    std::vector<std::string> lines = log.Lines();
    EXPECT_TRUE(AnyLineContains(lines, "{CompressorUnit, TCompressor.Decompress}")) << c.What;
  }
}

TEST(Inflate, StopsAtTheEndOfTheZlibStreamAndAppends) {
  TBytes z = Zlib(Bytes("payload"));
  TBytes in{9};
  in.insert(in.end(), z.begin(), z.end());
  in.push_back(0x55);
  TMemoryStream s(in);
  s.SetPosition(1);
  TMemoryStream out(Bytes(">"));
  out.Seek(0, soEnd);
  ASSERT_TRUE(ZInflate(s, out));
  EXPECT_EQ(out.Data, Bytes(">payload"));
  EXPECT_EQ(s.Position(), static_cast<int64_t>(1 + z.size()));
}

TEST(Inflate, LargerThanOnePiece) {
  TBytes data(200000);
  uint32_t x = 1;
  for (auto& b : data) {
    x = x * 1103515245u + 12345u;
    b = static_cast<uint8_t>((x >> 16) & 0x0F);
  }
  TMemoryStream s(Zlib(data));
  TMemoryStream out;
  ASSERT_TRUE(ZInflate(s, out));
  EXPECT_EQ(out.Data, data);
}
