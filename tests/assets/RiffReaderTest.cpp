#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RiffReaderUnit.h"
#include "ZRStream3.h"

namespace {

std::vector<uint8_t> Chunk(const std::string& id, const std::vector<uint8_t>& data) {
  std::vector<uint8_t> out(id.begin(), id.end());
  out.resize(4, ' ');
  const uint32_t n = static_cast<uint32_t>(data.size());
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(n >> (8 * i)));
  out.insert(out.end(), data.begin(), data.end());
  return out;
}

std::vector<uint8_t> Cat(std::initializer_list<std::vector<uint8_t>> parts) {
  std::vector<uint8_t> out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

std::vector<std::string> Ids(TRiffReader& r) {
  std::vector<std::string> ids;
  while (r.Next()) ids.push_back(r.ChunkID());
  return ids;
}

struct ListCase {
  const char* name;
  std::vector<uint8_t> bytes;
  std::vector<std::string> ids;
  bool broken;
};

TEST(RiffReader, SteppingRule) {
  const std::vector<uint8_t> one = {1};
  const std::vector<uint8_t> four = {1, 2, 3, 4};
  std::vector<uint8_t> oversized = Chunk("BIG!", four);
  oversized[4] = 5;  // declares one byte more than there is
  const std::vector<ListCase> cases = {
      {"empty list", {}, {}, false},
      {"one chunk", Chunk("VERS", four), {"VERS"}, false},
      {"chunks in order", Cat({Chunk("AAAA", one), Chunk("BBBB", four), Chunk("CCCC", one)}),
       {"AAAA", "BBBB", "CCCC"}, false},
      {"empty chunk inside the list", Cat({Chunk("AAAA", {}), Chunk("BBBB", one)}), {"AAAA", "BBBB"}, false},
      {"trailing empty chunk is not visited", Cat({Chunk("AAAA", one), Chunk("BBBB", {})}), {"AAAA"}, false},
      {"fewer than 8 stray bytes end the list", Cat({Chunk("AAAA", one), {'x', 'y', 'z'}}), {"AAAA"}, false},
      {"exactly 8 stray bytes end the list", Cat({Chunk("AAAA", one), std::vector<uint8_t>(8, 0)}), {"AAAA"}, false},
      {"chunk past the end is refused", Cat({Chunk("AAAA", one), oversized}), {"AAAA"}, true},
      {"huge size is refused", Cat({Chunk("AAAA", one), {'H', 'U', 'G', 'E', 0xFF, 0xFF, 0xFF, 0xFF, 0}}),
       {"AAAA"}, true},
  };
  for (const auto& c : cases) {
    TMemoryStream s(c.bytes);
    TRiffReader r(s);
    EXPECT_EQ(Ids(r), c.ids) << c.name;
    EXPECT_EQ(r.Broken(), c.broken) << c.name;
    EXPECT_TRUE(r.Finished()) << c.name;
    EXPECT_FALSE(r.Next()) << c.name << ": stays ended";
  }
}

TEST(RiffReader, ChunkDataAndSizes) {
  TMemoryStream s(Cat({Chunk("VERS", {7, 0, 0, 0}), Chunk("TEXT", {'h', 'i', '!'})}));
  TRiffReader r(s);
  ASSERT_TRUE(r.Next());
  EXPECT_EQ(r.ChunkSize(), 4u);
  EXPECT_EQ(r.DataStart(), 8);
  uint32_t v = 0;
  EXPECT_TRUE(r.ReadDataU32(0, v));
  EXPECT_EQ(v, 7u);
  EXPECT_FALSE(r.ReadDataU32(1, v)) << "would cross the chunk end";
  ASSERT_TRUE(r.Next());
  EXPECT_EQ(r.ChunkID(), "TEXT");
  EXPECT_EQ(r.ChunkData(), (std::vector<uint8_t>{'h', 'i', '!'}));
  uint8_t buf[10] = {};
  EXPECT_EQ(r.ReadData(1, buf, 10), 2) << "reads stop at the chunk end";
  EXPECT_EQ(buf[0], 'i');
  EXPECT_EQ(r.ReadData(3, buf, 1), 0);
  EXPECT_EQ(r.ReadData(-1, buf, 1), 0);
  EXPECT_FALSE(r.Next());
  EXPECT_FALSE(r.Broken());
}

TEST(RiffReader, StepsOverDataTheCallerDidNotRead) {
  TMemoryStream s(Cat({Chunk("AAAA", {1, 2, 3, 4, 5, 6}), Chunk("BBBB", {9})}));
  TRiffReader r(s);
  ASSERT_TRUE(r.Next());
  r.SeekData();
  EXPECT_EQ(s.ReadU8(), 1);
  // The stream is left anywhere; the next step still finds the next header.
  s.SetPosition(0);
  ASSERT_TRUE(r.Next());
  EXPECT_EQ(r.ChunkID(), "BBBB");
}

TEST(RiffReader, NestedListsThroughSubReaders) {
  const auto inner = Cat({Chunk("VERS", {2, 0, 0, 0}), Chunk("MAPD", {'m'})});
  const auto file = Cat({Chunk("MPCK", Cat({Chunk("MAPD", {'a'}), Chunk("MPCK", inner), Chunk("MAPD", {'b'})})),
                         Chunk("JUNK", {0})});
  TMemoryStream s(file);
  TRiffReader top(s);
  ASSERT_TRUE(top.Next());
  ASSERT_EQ(top.ChunkID(), "MPCK");
  std::vector<std::string> seen;
  TRiffReader list = top.SubReader();
  while (list.Next()) {
    if (list.ChunkID() == "MPCK") {
      TRiffReader nested = list.SubReader();
      EXPECT_EQ(nested.ListStart(), list.DataStart());
      EXPECT_EQ(nested.ListEnd(), list.DataStart() + list.ChunkSize());
      while (nested.Next()) seen.push_back("nested " + nested.ChunkID());
    } else {
      seen.push_back(list.ChunkID() + " " + std::string(1, static_cast<char>(list.ChunkData().at(0))));
    }
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"MAPD a", "nested VERS", "nested MAPD", "MAPD b"}));
  EXPECT_FALSE(list.Broken());
  ASSERT_TRUE(top.Next());
  EXPECT_EQ(top.ChunkID(), "JUNK");
}

TEST(RiffReader, SubReaderNeverReadsOutsideItsChunk) {
  // The inner list claims a chunk larger than its parent's data, though the
  // file would have the bytes: the sub-reader must refuse it.
  auto inner = Chunk("XXXX", {1, 2});
  inner[4] = 10;
  const auto file = Cat({Chunk("OUTR", inner), Chunk("PADD", std::vector<uint8_t>(20, 0))});
  TMemoryStream s(file);
  TRiffReader top(s);
  ASSERT_TRUE(top.Next());
  TRiffReader sub = top.SubReader();
  EXPECT_FALSE(sub.Next());
  EXPECT_TRUE(sub.Broken());
}

TEST(RiffReader, RangeAndCurrentPosition) {
  const auto file = Cat({{'M', 'A', 'G', 'C'}, Chunk("AAAA", {1}), Chunk("BBBB", {2})});
  TMemoryStream s(file);
  s.SetPosition(4);
  TRiffReader fromHere(s);
  EXPECT_EQ(Ids(fromHere), (std::vector<std::string>{"AAAA", "BBBB"}));
  // A range that goes past the stream is cut to it.
  TRiffReader ranged(s, 4, 1000);
  EXPECT_EQ(ranged.ListEnd(), static_cast<int64_t>(file.size()));
  EXPECT_EQ(Ids(ranged), (std::vector<std::string>{"AAAA", "BBBB"}));
  TRiffReader firstOnly(s, 4, 9);
  EXPECT_EQ(Ids(firstOnly), (std::vector<std::string>{"AAAA"}));
  TRiffReader outside(s, 5000, 10);
  EXPECT_FALSE(outside.Next());
}

}  // namespace
