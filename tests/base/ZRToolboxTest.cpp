#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "ZRToolbox.h"

namespace {

// The readers' rules: what each one takes, in one table.
TDecimalRule Strict() { return {}; }
TDecimalRule Map() {
  TDecimalRule r;
  r.Blanks = TDecimalRule::LeadingBlanks;
  return r;
}
TDecimalRule Definitions() {
  TDecimalRule r;
  r.Blanks = TDecimalRule::BlanksAround;
  return r;
}
TDecimalRule FontArgs() {
  TDecimalRule r;
  r.Blanks = TDecimalRule::LeadingWhiteSpace;
  r.Min = -100000;
  r.Max = 100000;
  return r;
}
TDecimalRule ArtScript() {
  TDecimalRule r;
  r.PlusSign = false;
  r.MaxDigits = 9;
  return r;
}

std::string Show(TDecimal r, int64_t v) {
  switch (r) {
    case TDecimal::Ok: return std::to_string(v);
    case TDecimal::NotANumber: return "NaN";
    case TDecimal::OutOfRange: return "range";
  }
  return "?";
}

}  // namespace

TEST(ZRToolbox, DecimalRulesTable) {
  struct Row {
    std::string text;
    const char* strict;
    const char* map;
    const char* definitions;
    const char* font;
    const char* art;
  };
  const Row rows[] = {
      {"0", "0", "0", "0", "0", "0"},
      {"-17", "-17", "-17", "-17", "-17", "-17"},
      {"+17", "17", "17", "17", "17", "NaN"},
      {"007", "7", "7", "7", "7", "7"},
      {"", "NaN", "NaN", "NaN", "NaN", "NaN"},
      {"-", "NaN", "NaN", "NaN", "NaN", "NaN"},
      {"+-1", "NaN", "NaN", "NaN", "NaN", "NaN"},
      {"  5", "NaN", "5", "5", "5", "NaN"},
      {"5  ", "NaN", "NaN", "5", "NaN", "NaN"},
      {"  ", "NaN", "NaN", "NaN", "NaN", "NaN"},
      {"\t5", "NaN", "NaN", "NaN", "5", "NaN"},
      {"\r\n -5", "NaN", "NaN", "NaN", "-5", "NaN"},
      {"1 2", "NaN", "NaN", "NaN", "NaN", "NaN"},
      {"12a", "NaN", "NaN", "NaN", "NaN", "NaN"},
      {"0x10", "NaN", "NaN", "NaN", "NaN", "NaN"},
      {"2147483647", "2147483647", "2147483647", "2147483647", "range", "NaN"},
      {"-2147483648", "-2147483648", "-2147483648", "-2147483648", "range", "NaN"},
      {"2147483648", "range", "range", "range", "range", "NaN"},
      {"-2147483649", "range", "range", "range", "range", "NaN"},
      {"100000", "100000", "100000", "100000", "100000", "100000"},
      {"-100001", "-100001", "-100001", "-100001", "range", "-100001"},
      {"999999999", "999999999", "999999999", "999999999", "range", "999999999"},
      {"0000000001", "1", "1", "1", "1", "NaN"},
      // Digits past any 64-bit value, then a letter: no number, not too large.
      {"99999999999999999999999999x", "NaN", "NaN", "NaN", "NaN", "NaN"},
      {"99999999999999999999999999", "range", "range", "range", "range", "NaN"},
      {"-99999999999999999999999999", "range", "range", "range", "range", "NaN"},
  };
  for (const Row& row : rows) {
    const TDecimalRule rules[] = {Strict(), Map(), Definitions(), FontArgs(), ArtScript()};
    const char* want[] = {row.strict, row.map, row.definitions, row.font, row.art};
    for (int i = 0; i < 5; ++i) {
      int64_t v = 12345;
      const TDecimal r = ParseDecimal(row.text, v, rules[i]);
      EXPECT_EQ(Show(r, v), want[i]) << "text \"" << row.text << "\", rule " << i;
      if (r != TDecimal::Ok) {
        EXPECT_EQ(v, 12345) << "value set without a number: \"" << row.text << "\"";
      }
      int32_t n = 54321;
      EXPECT_EQ(StrToInt32(row.text, n, rules[i]), r == TDecimal::Ok);
      if (r == TDecimal::Ok) {
        EXPECT_EQ(n, v);
      }
    }
    int32_t t = 0;
    EXPECT_EQ(TryStrToInt(row.text, t), std::string(row.definitions) != "NaN" && std::string(row.definitions) != "range");
  }
}

TEST(ZRToolbox, GreyLevelWeighsRedGreenBlue) {
  for (int v = 0; v < 256; ++v) {
    const auto c = static_cast<uint8_t>(v);
    ASSERT_EQ(GreyLevel(c, c, c), v) << "a grey colour keeps its level";
  }
  EXPECT_EQ(GreyLevel(255, 0, 0), 76);
  EXPECT_EQ(GreyLevel(0, 255, 0), 150);
  EXPECT_EQ(GreyLevel(0, 0, 255), 28);
  EXPECT_EQ(GreyLevel(10, 200, 90), 130);  // (300 + 11800 + 990) div 100
}
