// The practice levels offered at start, from bytes 1 and 2 of "objects.lst"
// and the archive's name.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "Logger.h"
#include "TestSupport.h"
#include "Voltigor.h"

namespace {

class InFolder {
 public:
  InFolder() {
    char buf[4096];
    Old_ = getcwd(buf, sizeof buf) ? buf : "/";
    EXPECT_EQ(chdir(Dir_.Path().c_str()), 0);
  }
  ~InFolder() { EXPECT_EQ(chdir(Old_.c_str()), 0); }
  std::string operator/(const std::string& name) const { return Dir_ / name; }

 private:
  vgrtest::TTempDir Dir_;
  std::string Old_;
};

std::vector<uint8_t> FileWithValue(uint16_t v) { return {'#', uint8_t(v & 0xFF), uint8_t(v >> 8), '\n', ';'}; }

TEST(ReadLastLevel, KeyBitsHalveOrLowerTheValue) {
  InFolder folder;
  struct {
    const char* what;
    std::string archive;
    std::vector<uint8_t> file;  // empty: no file at all
    int32_t level;
  } cases[] = {
      // An empty name has key 0: eight times minus 5.
      {"41 - 40", "", FileWithValue(41), 1},
      {"66 - 40", "", FileWithValue(66), 26},
      {"67 - 40 is too high", "", FileWithValue(67), 1},
      {"40 - 40 is 0", "", FileWithValue(40), 1},
      {"wraps below 0", "", FileWithValue(30), 1},
      // Key 255: eight halvings.
      {"26 * 256", "\xFF", FileWithValue(26 * 256), 26},
      {"26 * 256 - 1", "\xFF", FileWithValue(26 * 256 - 1), 25},
      // "A" is 0x41: halve, five times minus 5, halve, minus 5.
      {"A", "A", FileWithValue(82), 3},
      // Key of "AA" is 0 again.
      {"AA", "AA", FileWithValue(50), 10},
      // With two bytes the second read gets only byte 1, over byte 0.
      {"two bytes", "", {'x', 50}, 10},
      {"one byte", "", {'x'}, 1},
      {"no file", "", {}, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::remove((folder / "objects.lst").c_str());
    if (!c.file.empty()) vgrtest::WriteFile(folder / "objects.lst", c.file);
    vgrtest::TScopedLog log;
    EXPECT_EQ(ReadLastLevel(c.archive), c.level);
    const auto lines = log.Lines();
    // The log writes the name's byte 255 escaped.
    const std::string shown = c.archive == "\xFF" ? "\\xFF" : c.archive;
    const std::string trace = "< Trace >Last level: " + std::to_string(c.level) + " - " + shown;
    EXPECT_NE(std::find(lines.begin(), lines.end(), trace), lines.end()) << trace;
  }
}

}  // namespace
