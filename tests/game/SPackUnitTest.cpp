#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SPackUnit.h"
#include "ZRStream3.h"

namespace {

TEST(SPack, ReadsPackedIntegers) {
  struct Case {
    std::vector<uint8_t> bytes;
    uint32_t value;
    bool ok;
    int64_t used;
  };
  const std::vector<Case> cases = {
      {{0x00}, 0, true, 1},
      {{0x3F}, 63, true, 1},
      {{0x41, 0x02}, 258, true, 2},
      {{0x80, 0x01, 0x02}, 0x102, true, 3},
      {{0xC0, 0x00, 0x00, 0x01}, 1, true, 4},
      {{0xFF, 0xFF, 0xFF, 0xFF}, MaxPackedInt, true, 4},
      {{0x3F, 0x99}, 63, true, 1},  // the following byte is not part of it
      {{0x41}, 1, false, 1},        // cut short
      {{}, 0, false, 0},
  };
  for (const Case& c : cases) {
    TMemoryStream s(c.bytes);
    bool ok = !c.ok;
    EXPECT_EQ(ReadPackedInt(s, &ok), c.value) << c.bytes.size();
    EXPECT_EQ(ok, c.ok) << c.value;
    EXPECT_EQ(s.Position(), c.used) << c.value;
  }
}

TEST(SPack, WritesTheShortestForm) {
  struct Case {
    uint32_t value;
    int size;
  };
  const std::vector<Case> cases = {{0, 1},       {63, 1},       {64, 2},       {16383, 2},           {16384, 3},
                                   {4194303, 3}, {4194304, 4}, {258, 2},      {MaxPackedInt, 4}};
  for (const Case& c : cases) {
    TMemoryStream s;
    ASSERT_TRUE(WritePackedInt(s, c.value)) << c.value;
    EXPECT_EQ(static_cast<int>(s.Data.size()), c.size) << c.value;
    EXPECT_EQ(PackedIntSize(c.value), c.size) << c.value;
    s.SetPosition(0);
    EXPECT_EQ(ReadPackedInt(s), c.value);
  }
  TMemoryStream s;
  EXPECT_TRUE(WritePackedInt(s, 258));
  EXPECT_EQ(s.Data, (std::vector<uint8_t>{0x41, 0x02}));
  TMemoryStream big;
  EXPECT_FALSE(WritePackedInt(big, MaxPackedInt + 1));
  EXPECT_TRUE(big.Data.empty());
  EXPECT_EQ(PackedIntSize(MaxPackedInt + 1), 0);
}

}  // namespace
