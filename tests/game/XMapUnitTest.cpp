#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "SystemUnit.h"
#include "TestSupport.h"
#include "XMapUnit.h"
#include "ZRStream3.h"

namespace {

std::vector<uint8_t> Bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

std::string Text(const std::vector<uint8_t>& v) { return std::string(v.begin(), v.end()); }

void LoadFrom(TXMap& map, const std::string& bytes) {
  TMemoryStream s(Bytes(bytes));
  map.Load(s);
}

std::string SaveTo(TXMap& map, char mode, char* written = nullptr) {
  TMemoryStream s;
  const char w = map.Save(s, mode);
  if (written) *written = w;
  return Text(s.Data);
}

// Log lines that end with `text` (the location stays out of the test).
int Count(const std::vector<std::string>& lines, const std::string& text) {
  return static_cast<int>(std::count_if(lines.begin(), lines.end(), [&](const std::string& l) {
    return l.size() >= text.size() && l.compare(l.size() - text.size(), text.size(), text) == 0;
  }));
}

std::vector<int32_t> Row(const TXMap& m, int32_t y) {
  std::vector<int32_t> r;
  for (int32_t x = 0; x < m.Width; ++x) r.push_back(m.GetPhysicalTile(x, y));
  return r;
}

// A small map filled with the given rows (all the same length).
void Fill(TXMap& m, const std::vector<std::vector<int32_t>>& rows) {
  m.Grow(static_cast<int32_t>(rows.empty() ? 0 : rows[0].size()), static_cast<int32_t>(rows.size()));
  for (std::size_t y = 0; y < rows.size(); ++y) {
    for (std::size_t x = 0; x < rows[y].size(); ++x) m.SetPhysicalTile(int32_t(x), int32_t(y), rows[y][x]);
  }
  m.RebuildLogical();
}

void ExpectSameMap(const TXMap& a, const TXMap& b, const std::string& what) {
  EXPECT_EQ(a.Width, b.Width) << what;
  EXPECT_EQ(a.Height, b.Height) << what;
  EXPECT_EQ(a.PhysicalTiles, b.PhysicalTiles) << what;
  EXPECT_EQ(a.LogicalTiles, b.LogicalTiles) << what;
  EXPECT_EQ(a.MapName, b.MapName) << what;
  EXPECT_EQ(a.Author, b.Author) << what;
  EXPECT_EQ(a.GameName, b.GameName) << what;
  EXPECT_EQ(a.ExtraLines, b.ExtraLines) << what;
  EXPECT_EQ(a.Version, b.Version) << what;
  EXPECT_EQ(a.GameID, b.GameID) << what;
  ASSERT_EQ(a.LogicalWraps.size(), b.LogicalWraps.size()) << what;
  for (std::size_t i = 0; i < a.LogicalWraps.size(); ++i) {
    EXPECT_EQ(a.LogicalWraps[i].FromTile, b.LogicalWraps[i].FromTile) << what << " wrap " << i;
    EXPECT_EQ(a.LogicalWraps[i].ToTile, b.LogicalWraps[i].ToTile) << what << " wrap " << i;
  }
}

TEST(XMap, CreatedEmpty) {
  TXMap m;
  EXPECT_FALSE(m.Allocated);
  EXPECT_EQ(m.Width, 0);
  EXPECT_EQ(m.Height, 0);
  EXPECT_EQ(m.MapName, "Unknown");
  EXPECT_EQ(m.Author, "Unknown");
  EXPECT_EQ(m.GameName, "Unknown");
  EXPECT_EQ(m.GetVersion(), 0);
  EXPECT_EQ(m.GetGameID(), 255);
  EXPECT_TRUE(m.ExtraLines.empty());
  EXPECT_TRUE(m.LogicalWraps.empty());
}

TEST(XMap, ReadsMAPBLayout) {
  std::string f = "MAPB";
  f += '\x03';
  f += '\x02';
  f += std::string("\x01\x02\x03\x04\x05\xFF", 6);
  f += "\x02" "Al";        // author
  f += std::string(1, '\0');  // map name: length 0 keeps "Unknown"
  f += "\x03" "Gam";
  f += "\x02";              // two wraps
  f += "\x05\x32\x05\x33";  // 5 -> 50 and a second 5 -> 51 that never applies
  f += "\x03" "abc";
  f += std::string(1, '\0');  // an empty line ends the extra lines...
  f += "\x02" "zz";           // ...so this one is never read
  f += std::string(1, '\0');
  TXMap m;
  LoadFrom(m, f);
  EXPECT_EQ(m.LastResult, "OK");
  EXPECT_TRUE(m.Allocated);
  EXPECT_EQ(m.Width, 3);
  EXPECT_EQ(m.Height, 2);
  EXPECT_EQ(Row(m, 0), (std::vector<int32_t>{1, 2, 3}));
  EXPECT_EQ(Row(m, 1), (std::vector<int32_t>{4, 5, 255}));
  EXPECT_EQ(m.Author, "Al");
  EXPECT_EQ(m.MapName, "Unknown");
  EXPECT_EQ(m.GameName, "Gam");
  ASSERT_EQ(m.LogicalWraps.size(), 2u);
  EXPECT_EQ(m.GetLogicalTile(1, 1), 50);  // the first wrap of 5 wins
  EXPECT_EQ(m.GetLogicalTile(0, 1), 4);
  EXPECT_EQ(m.ExtraLines, std::vector<std::string>{"abc"});
}

TEST(XMap, ReadsMAPWLittleEndian) {
  std::string f = "MAPW";
  f += '\x02';
  f += '\x01';
  f += std::string("\x34\x12\xFF\xFF", 4);
  f += std::string(3, '\0');                  // three texts absent
  f += std::string("\x01\x00", 2);            // one wrap
  f += std::string("\x34\x12\x00\x01", 4);    // 0x1234 -> 0x100
  f += std::string(1, '\0');
  TXMap m;
  LoadFrom(m, f);
  EXPECT_EQ(Row(m, 0), (std::vector<int32_t>{0x1234, 0xFFFF}));
  EXPECT_EQ(m.GetLogicalTile(0, 0), 0x100);
  EXPECT_EQ(m.GetLogicalTile(1, 0), 0xFFFF);
  EXPECT_FALSE(m.TilesFitInByte());
}

TEST(XMap, TruncatedByteMapSaysSo) {
  TXMap m;
  LoadFrom(m, std::string("MAPB\x04\x04\x01\x02", 8));
  EXPECT_EQ(m.LastResult, "Unexpected end of map data!");
  EXPECT_EQ(m.Width, 4);
  EXPECT_EQ(m.PhysicalTiles.size(), 16u);
  EXPECT_EQ(m.GetPhysicalTile(1, 0), 2);
  EXPECT_EQ(m.GetPhysicalTile(3, 3), 0);
}

TEST(XMap, MagicAndFormatLetters) {
  struct Case {
    std::string bytes;
    std::string result;
    std::string warning;
  };
  const std::vector<Case> cases = {
      {"PNG!....", "Not an XMAP file!", ""},
      {"MA", "Not an XMAP file!", ""},
      {"MAPC\x01\x01", "OK", "The MAPC and other compressed formats are no longer supported."},
      {"MAPP\x01\x01", "OK", "The MAPP and other compressed formats are no longer supported."},
      {"MAPQ\x01\x01", "OK", "The MAPQ and other compressed formats are no longer supported."},
      {"MAPZ\x01\x01", "OK", "XMAP.Load: Unknown DFS byte! (Z)"},
  };
  for (const Case& c : cases) {
    vgrtest::TScopedLog log;
    TXMap m;
    LoadFrom(m, "MAPB\x01\x01\x07" + std::string(5, '\0'));  // something to be emptied
    LoadFrom(m, c.bytes);
    EXPECT_EQ(m.LastResult, c.result) << c.bytes;
    EXPECT_FALSE(m.Allocated) << c.bytes;
    EXPECT_EQ(m.Width, 0) << c.bytes;
    EXPECT_EQ(m.Height, 0) << c.bytes;
    const auto lines = log.Lines();
    if (!c.warning.empty()) {
      EXPECT_EQ(Count(lines, "[XMapUnit, TXMap.Load] " + c.warning), 1) << c.bytes;
    } else {
      EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [](const std::string& l) { return l[0] == '['; }), 0)
          << c.bytes;
    }
  }
}

TEST(XMap, MAPTRowsAreCutAndPadded) {
  vgrtest::TScopedLog log;
  TXMap m;
  LoadFrom(m,
           "MAPT\r\nWI4\r\nHE3\r\nAUMe\r\nMNFirst\r\nGMGame\r\n"
           "MPab\r\nMPabcdefg\r\nMP!!!!\r\nMPextra\r\nMPextra2\r\nEXone\r\nEX\r\nXX\r\nMPafter\r\n");
  EXPECT_EQ(m.LastResult, "OK");
  EXPECT_EQ(Row(m, 0), (std::vector<int32_t>{'a', 'b', 32, 32}));
  EXPECT_EQ(Row(m, 1), (std::vector<int32_t>{'a', 'b', 'c', 'd'}));
  EXPECT_EQ(Row(m, 2), (std::vector<int32_t>{33, 33, 33, 33}));
  EXPECT_EQ(m.Author, "Me");
  EXPECT_EQ(m.MapName, "First");
  EXPECT_EQ(m.GameName, "Game");
  EXPECT_EQ(m.ExtraLines, (std::vector<std::string>{"one", ""}));
  // Told once for the file, with the count.
  EXPECT_EQ(Count(log.Lines(), "[XMapUnit, TXMap.LoadMAPT] Too many map lines in MAPT mode. (2 lines ignored)"), 1);
}

// A piece with a great many surplus or unknown lines costs one log line for
// each kind, not one per line.
TEST(XMap, ManyIgnoredLinesAreSummedUpInOneLine) {
  vgrtest::TScopedLog log;
  TXMap m;
  std::string text = "MAPT\r\nWI2\r\nHE1\r\nMPab\r\n";
  for (int i = 0; i < 5000; ++i) text += i % 2 ? "MPcd\r\n" : "QQ\r\n";
  LoadFrom(m, text + "XX\r\n");
  EXPECT_EQ(Row(m, 0), (std::vector<int32_t>{'a', 'b'}));
  const auto lines = log.Lines();
  EXPECT_EQ(Count(lines, "[XMapUnit, TXMap.LoadMAPT] Too many map lines in MAPT mode. (2500 lines ignored)"), 1);
  EXPECT_EQ(Count(lines, "[XMapUnit, TXMap.LoadMAPT] Unknown identifier in MAPT mode. (QQ, and 2499 more lines)"), 1);
  EXPECT_LE(lines.size(), 4u);
}

TEST(XMap, MAPXRowsFillMissingGroupsWith32) {
  vgrtest::TScopedLog log;
  TXMap m;
  LoadFrom(m, "MAPX\r\nWI3\r\nHE2\r\nMP 0001 ffff 1A2b 0009\r\nMP 0100\r\nMP 0000\r\nXX\r\n");
  EXPECT_EQ(Row(m, 0), (std::vector<int32_t>{1, 0xFFFF, 0x1A2B}));
  EXPECT_EQ(Row(m, 1), (std::vector<int32_t>{0x100, 32, 32}));
  EXPECT_EQ(Count(log.Lines(), "[XMapUnit, TXMap.LoadMAPX] Too many map lines in MAPX mode."), 1);
}

TEST(XMap, TextMapWithoutSizesGetsDefaults) {
  vgrtest::TScopedLog log;
  TXMap m;
  LoadFrom(m, "MAPT\r\nMPx\r\nXX\r\n");
  EXPECT_EQ(m.Width, 32);
  EXPECT_EQ(m.Height, 20);
  EXPECT_EQ(m.PhysicalTiles.size(), 640u);
  EXPECT_EQ(m.GetPhysicalTile(0, 0), 'x');
  EXPECT_EQ(m.GetPhysicalTile(1, 0), 32);
  EXPECT_EQ(m.GetPhysicalTile(0, 1), 0);
  EXPECT_EQ(m.LastResult, "Map width is not specified in file!");
  const auto lines = log.Lines();
  EXPECT_EQ(Count(lines, "[XMapUnit, TXMap.LoadMAPT] Map height is not specified!"), 1);
  EXPECT_EQ(Count(lines, "[XMapUnit, TXMap.LoadMAPT] Map width is not specified!"), 1);

  TXMap n;
  LoadFrom(n, "MAPX\r\nWIabc\r\nHE2\r\nMP 0005\r\nXX\r\n");  // not a number: 0, then the default
  EXPECT_EQ(n.Width, 32);
  EXPECT_EQ(n.Height, 2);
  EXPECT_EQ(n.LastResult, "Map width is not specified in file!");
}

TEST(XMap, TextMapEdgeShapes) {
  struct Case {
    const char* name;
    std::string text;
    int32_t width;
    int32_t height;
    std::vector<int32_t> cells;
  };
  const std::vector<Case> cases = {
      {"no XX keeps what was read", "MAPT\r\nWI2\r\nHE2\r\nMPab\r\nEXe", 2, 2, {'a', 'b', 0, 0}},
      {"sizes without rows", "MAPT\r\nWI3\r\nHE1\r\nXX\r\n", 3, 1, {0, 0, 0}},
      {"width grows after a row", "MAPT\r\nWI2\r\nHE2\r\nMPab\r\nWI3\r\nMPcde\r\nXX\r\n", 3, 2,
       {'a', 'b', 0, 'c', 'd', 'e'}},
      {"height shrinks after a row", "MAPT\r\nWI2\r\nHE3\r\nMPab\r\nHE1\r\nMPcd\r\nXX\r\n", 2, 1, {'a', 'b'}},
      {"height raised later", "MAPT\r\nWI1\r\nHE1\r\nMPa\r\nHE3\r\nXX\r\n", 1, 3, {'a', 0, 0}},
      {"LF line ends", "MAPT\nWI2\nHE1\nMPxy\nXX\n", 2, 1, {'x', 'y'}},
      {"empty map", "MAPT\r\nXX\r\n", 0, 0, {}},
  };
  for (const Case& c : cases) {
    TXMap m;
    LoadFrom(m, c.text);
    EXPECT_EQ(m.Width, c.width) << c.name;
    EXPECT_EQ(m.Height, c.height) << c.name;
    EXPECT_EQ(m.PhysicalTiles, c.cells) << c.name;
    EXPECT_EQ(m.LogicalTiles, c.cells) << c.name;
    EXPECT_EQ(m.LastResult, "OK") << c.name;
  }
}

TEST(XMap, WrapLines) {
  struct Case {
    const char* name;
    std::string text;
    std::vector<std::pair<int32_t, int32_t>> wraps;
  };
  const std::vector<Case> cases = {
      {"MAPT groups", "MAPT\r\nLWa001b255!999\r\nXX\r\n", {{'a', 1}, {'b', 255}, {'!', 999}}},
      {"MAPT short value adds nothing", "MAPT\r\nLWa01\r\nXX\r\n", {}},
      {"MAPT partial last group ignored", "MAPT\r\nLWa001b2\r\nXX\r\n", {{'a', 1}}},
      {"MAPT two lines", "MAPT\r\nLWa001\r\nLWb002\r\nXX\r\n", {{'a', 1}, {'b', 2}}},
      {"MAPX groups", "MAPX\r\nLW00001000020123499999\r\nXX\r\n", {{1, 2}, {1234, 99999}}},
      {"MAPX short value adds nothing", "MAPX\r\nLW000010000\r\nXX\r\n", {}},
      {"MAPX negative", "MAPX\r\nLW-0001-0002\r\nXX\r\n", {{-1, -2}}},
  };
  for (const Case& c : cases) {
    TXMap m;
    LoadFrom(m, c.text);
    EXPECT_EQ(m.LastResult, "OK") << c.name;
    std::vector<std::pair<int32_t, int32_t>> got;
    for (const auto& w : m.LogicalWraps) got.emplace_back(w.FromTile, w.ToTile);
    EXPECT_EQ(got, c.wraps) << c.name;
  }
}

TEST(XMap, MalformedNumbersFailTheLoad) {
  struct Case {
    std::string text;
    std::string result;
  };
  const std::vector<Case> cases = {
      {"MAPT\r\nWI2\r\nHE1\r\nMPab\r\nLWa0x1\r\nXX\r\n", "Invalid number in line 5: LWa0x1"},
      {"MAPX\r\nLW00001ABCDE\r\nXX\r\n", "Invalid number in line 2: LW00001ABCDE"},
      {"MAPX\r\nWI2\r\nHE1\r\nMP 00G1\r\nXX\r\n", "Invalid number in line 4: MP 00G1"},
      {"MAPT\r\nWI-4\r\nXX\r\n", "Map size out of range in line 2: WI-4"},
      {"MAPT\r\nWI70000\r\nXX\r\n", "Map size out of range in line 2: WI70000"},
      {"MAPT\r\nWI99999999999999\r\nXX\r\n", "Map size out of range in line 2: WI99999999999999"},
      {"MAPT\r\nWI60000\r\nHE60000\r\nXX\r\n", "Map size out of range in line 3: HE60000"},
  };
  for (const Case& c : cases) {
    vgrtest::TScopedLog log;
    TXMap m;
    LoadFrom(m, c.text);
    EXPECT_EQ(m.LastResult, c.result);
    EXPECT_FALSE(m.Allocated) << c.text;
    EXPECT_EQ(m.Width, 0) << c.text;
    EXPECT_TRUE(m.LogicalWraps.empty()) << c.text;
    EXPECT_EQ(Count(log.Lines(), "] " + c.result), 1) << c.text;
  }
}

TEST(XMap, UnknownIdentifiers) {
  vgrtest::TScopedLog log;
  TXMap m;
  LoadFrom(m, "MAPT\r\nWI1\r\nHE1\r\nQQstuff\r\nMPa\r\nXX\r\n");
  LoadFrom(m, "MAPX\r\nZZ\r\nXX\r\n");
  const auto lines = log.Lines();
  EXPECT_EQ(Count(lines, "[XMapUnit, TXMap.LoadMAPT] Unknown identifier in MAPT mode. (QQ)"), 1);
  EXPECT_EQ(Count(lines, "[XMapUnit, TXMap.LoadMAPX] Unknown identifier in MAPX mode. (ZZ)"), 1);
}

TEST(XMap, SaveChoosesTheMode) {
  struct Case {
    bool big;
    char mode;
    std::string magic;
    int fitWarnings;     // "tiles only with ID below 256"
    int bigWarnings;     // "tiles with ID above 255"
    int unknownWarnings;  // "Unknown mode specified"
  };
  const std::vector<Case> cases = {
      {false, 'A', "MAPB", 1, 0, 0}, {false, 'a', "MAPB", 1, 0, 0}, {false, 'B', "MAPB", 0, 0, 0},
      {false, 't', "MAPT", 0, 0, 0}, {false, 'W', "MAPW", 0, 0, 0}, {false, 'x', "MAPX", 0, 0, 0},
      {false, 'Q', "MAPB", 1, 0, 1}, {true, 'A', "MAPW", 0, 1, 0},  {true, 'B', "MAPW", 0, 1, 0},
      {true, 'T', "MAPW", 0, 1, 0},  {true, 'W', "MAPW", 0, 0, 0},  {true, 'X', "MAPX", 0, 0, 0},
      {true, '?', "MAPW", 0, 1, 1},
  };
  for (const Case& c : cases) {
    vgrtest::TScopedLog log;
    TXMap m;
    Fill(m, {{1, 2}, {3, c.big ? 300 : 4}});
    char written = 0;
    const std::string bytes = SaveTo(m, c.mode, &written);
    const std::string what = std::string(1, c.mode) + (c.big ? " big" : " small");
    EXPECT_EQ(bytes.substr(0, 4), c.magic) << what;
    EXPECT_EQ(written, c.magic[3]) << what;
    const auto lines = log.Lines();
    const std::string at = "[XMapUnit, TXMap.Save] ";
    EXPECT_EQ(Count(lines, at + "The tile map contains tiles only with ID below 256,"), c.fitWarnings) << what;
    EXPECT_EQ(Count(lines, at + "so 8 bit binary mode will be used."), c.fitWarnings) << what;
    EXPECT_EQ(Count(lines, at + "The tile map contains tiles with ID above 255,"), c.bigWarnings) << what;
    EXPECT_EQ(Count(lines, at + "so cannot use file formats with 8 bit tile size."), c.bigWarnings) << what;
    EXPECT_EQ(Count(lines, at + "Using 16 bit binary mode."), c.bigWarnings) << what;
    EXPECT_EQ(Count(lines, at + "Unknown mode specified, using automatic mode determination."), c.unknownWarnings)
        << what;
    EXPECT_EQ(Count(lines, at + "(Always binary, using 8 or 16 bit mode depending tile IDs in map.)"),
              c.unknownWarnings)
        << what;
    const int all = static_cast<int>(std::count_if(lines.begin(), lines.end(), [](const std::string& l) {
      return l.rfind("[XMapUnit, TXMap.Save]", 0) == 0;
    }));
    EXPECT_EQ(all, 2 * c.fitWarnings + 3 * c.bigWarnings + 2 * c.unknownWarnings) << what;
  }
}

TEST(XMap, WritesTheByteLayout) {
  TXMap m;
  Fill(m, {{1, 2}});
  m.Author = "Al";
  m.AddLogicalWrap(2, 9);
  m.ExtraLines = {"x"};
  const std::string expected = std::string("MAPB\x02\x01\x01\x02\x02" "Al", 11) + std::string(2, '\0') +
                               std::string("\x01\x02\x09\x01x", 5) + std::string(1, '\0');
  EXPECT_EQ(SaveTo(m, 'B'), expected);
}

TEST(XMap, WritesTheTextLayout) {
  TXMap m;
  Fill(m, {{'a', ' ', 'b', ' '}, {' ', ' ', ' ', ' '}});
  m.MapName = "Hill";
  for (int i = 0; i < 61; ++i) m.AddLogicalWrap('c', i);
  m.ExtraLines = {"7", ""};
  const auto lines = vgrtest::SplitCRLF(SaveTo(m, 'T'));
  ASSERT_EQ(lines.size(), 11u);
  EXPECT_EQ(lines[0], "MAPT");
  EXPECT_EQ(lines[1], "WI4");
  EXPECT_EQ(lines[2], "HE2");
  EXPECT_EQ(lines[3], "MNHill");
  EXPECT_EQ(lines[4].size(), 242u);  // 60 groups of 4
  EXPECT_EQ(lines[4].substr(0, 10), "LWc000c001");
  EXPECT_EQ(lines[5], "LWc060");
  EXPECT_EQ(lines[6], "MPa b");  // trailing blanks removed
  EXPECT_EQ(lines[7], "MP");
  EXPECT_EQ(lines[8], "EX7");
  EXPECT_EQ(lines[9], "EX");
  EXPECT_EQ(lines[10], "XX");

  TXMap x;
  Fill(x, {{0x1F, 0xABCD, 0, 0xF}});
  for (int i = 0; i < 25; ++i) x.AddLogicalWrap(i, 70000 + i);
  const auto xl = vgrtest::SplitCRLF(SaveTo(x, 'X'));
  ASSERT_EQ(xl.size(), 7u);
  EXPECT_EQ(xl[3].size(), 242u);  // 24 groups of 10
  EXPECT_EQ(xl[3].substr(0, 12), "LW0000070000");
  EXPECT_EQ(xl[4], "LW0002470024");
  EXPECT_EQ(xl[5], "MP 001F ABCD 0000 000F");
}

TEST(XMap, VersionAndGameIDTravelInTheGameName) {
  for (char mode : {'B', 'W', 'T', 'X'}) {
    TXMap m;
    Fill(m, {{5}});
    m.GameName = "Voltigor";
    m.SetVersion(1023);
    m.SetGameID(63);
    const std::string first = SaveTo(m, mode);
    EXPECT_EQ(m.GameName, "Voltigor") << mode;  // saving leaves the map alone
    EXPECT_EQ(SaveTo(m, mode), first) << mode;
    TXMap back;
    LoadFrom(back, first);
    EXPECT_EQ(back.GameName, "Voltigor") << mode;
    EXPECT_EQ(back.GetVersion(), 1023) << mode;
    EXPECT_EQ(back.GetGameID(), 63) << mode;

    // A game ID with "Unknown" still writes the marker and reads back.
    TXMap u;
    Fill(u, {{5}});
    u.SetGameID(1);
    TXMap ub;
    LoadFrom(ub, SaveTo(u, mode));
    EXPECT_EQ(ub.GameName, "Unknown") << mode;
    EXPECT_EQ(ub.GetGameID(), 1) << mode;
  }
}

TEST(XMap, LoadForgetsTheVersionOfTheMapBefore) {
  TXMap m;
  Fill(m, {{1}});
  m.SetGameID(3);
  m.SetVersion(7);
  const std::string with = SaveTo(m, 'B');
  TXMap plain;
  Fill(plain, {{1}});
  TXMap r;
  LoadFrom(r, with);
  EXPECT_EQ(r.GetGameID(), 3);
  LoadFrom(r, SaveTo(plain, 'B'));
  EXPECT_EQ(r.GetGameID(), 255);
  EXPECT_EQ(r.GetVersion(), 0);
}

TEST(XMap, VersionAndGameIDLimits) {
  vgrtest::TScopedLog log;
  TXMap m;
  m.SetGameID(12);
  m.SetGameID(64);
  EXPECT_EQ(m.GetGameID(), 12);
  m.SetVersion(1000);
  m.SetVersion(1024);
  EXPECT_EQ(m.GetVersion(), 1000);
  const auto lines = log.Lines();
  EXPECT_EQ(Count(lines, "{XMapUnit, TXMap.SetGameID} Invalid gameID! (64, Max: 63)"), 1);
  EXPECT_EQ(Count(lines, "{XMapUnit, TXMap.SetVersion} Can't set this version number (1024). Max: 1023"), 1);
}

TEST(XMap, UnknownTextsAreNotWritten) {
  TXMap m;
  Fill(m, {{1}});
  const std::string t = SaveTo(m, 'T');
  EXPECT_EQ(t.find("AU"), std::string::npos);
  EXPECT_EQ(t.find("MN"), std::string::npos);
  EXPECT_EQ(t.find("GM"), std::string::npos);
  const std::string b = SaveTo(m, 'B');
  EXPECT_EQ(b.substr(7, 3), std::string(3, '\0'));
}

// What a format cannot hold sends Save to one that can, or nowhere.
TEST(XMap, SaveFallsBackInsteadOfLosingData) {
  struct Case {
    const char* name;
    void (*setup)(TXMap&);
    char mode;
    char written;  // 0: nothing written
  };
  const std::vector<Case> cases = {
      {"empty extra line in B", [](TXMap& m) { m.ExtraLines = {"a", "", "b"}; }, 'B', 'X'},
      {"long author in W", [](TXMap& m) { m.Author = std::string(300, 'a'); }, 'W', 'X'},
      {"wide map in B", [](TXMap& m) { m.Grow(300, 2); }, 'B', 'X'},
      {"line feed tile in T", [](TXMap& m) { m.SetPhysicalTile(0, 0, 10); }, 'T', 'X'},
      {"line feed in T name", [](TXMap& m) { m.MapName = "a\nb"; }, 'T', 'W'},
      {"line feed in X extra line", [](TXMap& m) { m.ExtraLines = {"a\nb"}; }, 'X', 'W'},
      {"game-ID byte 10 in T", [](TXMap& m) { m.SetGameID(2); m.SetVersion(2 * 256 + 10); }, 'T', 'W'},
      {"big wrap in T", [](TXMap& m) { m.AddLogicalWrap(1, 1000); }, 'T', 'X'},
      {"big wrap in B", [](TXMap& m) { m.AddLogicalWrap(1, 256); }, 'B', 'W'},
      {"negative wrap in W", [](TXMap& m) { m.AddLogicalWrap(-1, 4); }, 'W', 'X'},
      {"many wraps in B", [](TXMap& m) { for (int i = 0; i < 256; ++i) m.AddLogicalWrap(1, 2); }, 'B', 'W'},
      {"tile above 65535", [](TXMap& m) { m.SetPhysicalTile(0, 0, 70000); }, 'W', 0},
      {"negative tile", [](TXMap& m) { m.SetPhysicalTile(0, 0, -1); }, 'A', 0},
      {"empty line and big tile", [](TXMap& m) { m.ExtraLines = {""}; m.SetPhysicalTile(0, 0, 300); }, 'A', 'X'},
      {"name starting with byte 1", [](TXMap& m) { m.GameName = "\x01xy"; }, 'B', 0},
      {"game-ID bytes 13 stay in T", [](TXMap& m) { m.SetGameID(3); m.SetVersion(256 + 13); m.GameName = ""; },
       'T', 'T'},
      {"CR ending a text stays in T", [](TXMap& m) { m.Author = "ab\r"; m.ExtraLines = {"\r"}; }, 'T', 'T'},
  };
  for (const Case& c : cases) {
    vgrtest::TScopedLog log;
    TXMap m;
    Fill(m, {{1, 2}, {3, 4}});
    c.setup(m);
    m.RebuildLogical();
    char written = 'z';
    const std::string bytes = SaveTo(m, c.mode, &written);
    EXPECT_EQ(written, c.written) << c.name;
    const auto lines = log.Lines();
    if (c.written == 0) {
      EXPECT_TRUE(bytes.empty()) << c.name;
      EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                              [](const std::string& l) { return l.rfind("{XMapUnit, TXMap.Save}", 0) == 0; }),
                1)
          << c.name;
      continue;
    }
    ASSERT_GE(bytes.size(), 4u) << c.name;
    EXPECT_EQ(bytes[3], c.written) << c.name;
    if (c.written != c.mode && c.mode != 'A') {
      EXPECT_EQ(Count(lines, std::string("using MAP") + c.written + "."), 1) << c.name;
    }
    TXMap back;
    LoadFrom(back, bytes);
    ExpectSameMap(m, back, c.name);
  }
}

TEST(XMap, RefusingSaveLeavesTheFileAlone) {
  vgrtest::TTempDir dir;
  const std::string name = dir / "keep.map";
  vgrtest::WriteFile(name, "old");
  TXMap m;
  Fill(m, {{-5}});
  EXPECT_EQ(m.Save(name, 'A'), 0);
  EXPECT_EQ(vgrtest::ReadTextFile(name), "old");
  m.SetPhysicalTile(0, 0, 5);
  EXPECT_EQ(m.Save(name, 'x'), 'X');
  TXMap back;
  back.Load(name);
  EXPECT_EQ(back.GetPhysicalTile(0, 0), 5);
  back.Load(dir / "missing.map");  // nothing there: the map stays
  EXPECT_EQ(back.GetPhysicalTile(0, 0), 5);
  EXPECT_EQ(back.Width, 1);
}

TEST(XMap, RandomMapsSurviveEveryFormat) {
  Randomize(20261207);
  for (int round = 0; round < 40; ++round) {
    for (char mode : {'B', 'W', 'T', 'X'}) {
      const bool wide = mode == 'W' || mode == 'X';
      TXMap m;
      const int32_t w = int32_t(Random(40)) + 1;
      const int32_t h = int32_t(Random(30)) + 1;
      m.Grow(w, h);
      for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x) {
          int32_t t = int32_t(Random(wide ? 65536 : 256));
          if (mode == 'T' && t == 10) t = 11;
          m.SetPhysicalTile(x, y, t);
        }
      }
      const int wraps = int(Random(70));
      for (int i = 0; i < wraps; ++i) {
        const int32_t from = int32_t(Random(256));
        m.AddLogicalWrap(mode == 'T' && from == 10 ? 9 : from, int32_t(Random(mode == 'B' ? 256 : 1000)));
      }
      m.RebuildLogical();
      auto text = [](uint32_t n) {
        std::string s;
        for (uint32_t i = 0; i < n; ++i) s += static_cast<char>(Random(2) ? 'a' + Random(26) : 32 + Random(95));
        return s;
      };
      if (Random(2)) m.Author = text(Random(30) + 1);
      if (Random(2)) m.MapName = text(Random(30) + 1);
      if (Random(2)) m.GameName = text(Random(30) + 1);
      if (Random(2)) {
        m.SetGameID(uint16_t(Random(64)));
        // Keep byte 10 out of the marker bytes of the text formats.
        uint16_t v = uint16_t(Random(1024));
        if (mode == 'T' || mode == 'X') {
          while ((v & 0xFF) == 10 || ((m.GameID * 1024 + v) >> 8) == 10) v = uint16_t(Random(1024));
        }
        m.SetVersion(v);
      }
      const int extras = int(Random(8));
      for (int i = 0; i < extras; ++i) m.ExtraLines.push_back(text(Random(40) + 1));

      char written = 0;
      const std::string bytes = SaveTo(m, mode, &written);
      ASSERT_EQ(written, mode) << "round " << round;
      EXPECT_EQ(SaveTo(m, mode), bytes);
      TXMap back;
      LoadFrom(back, bytes);
      EXPECT_EQ(back.LastResult, "OK");
      ExpectSameMap(m, back, std::string("round ") + std::to_string(round) + " mode " + mode);
      EXPECT_EQ(SaveTo(back, mode), bytes);
    }
  }
}

TEST(XMap, DuplicateWrapsFirstWins) {
  TXMap m;
  Fill(m, {{4, 5, 6}});
  m.AddLogicalWrap(5, 100);
  m.AddLogicalWrap(5, 200);
  m.AddLogicalWrap(6, 300);
  m.RebuildLogical();
  EXPECT_EQ(m.LogicalTiles, (std::vector<int32_t>{4, 100, 300}));
}

// Close wrap numbers are looked up in a table, numbers spread wider in a hash
// table; both give the same layer, with the first wrap of a number winning and
// cells outside the table's range left as they are.
TEST(XMap, WrapLookupIsTheSameForCloseAndSpreadNumbers) {
  // Close numbers take the table, numbers wide apart on a small map and
  // numbers spread over millions take the hash: all give the same layer.
  enum TCase { ckClose, ckWideOnSmallMap, ckSpread };
  for (TCase c : {ckClose, ckWideOnSmallMap, ckSpread}) {
    const int32_t far = c == ckClose ? 9 : 99999;
    TXMap m;
    Fill(m, {{-far, 5, 6, 7, far}, {2000000, -1, 5, 0, 1 << 30}});
    m.AddLogicalWrap(5, 100);
    m.AddLogicalWrap(-far, 7);
    m.AddLogicalWrap(5, 200);
    m.AddLogicalWrap(far, -4);
    m.AddLogicalWrap(7, 7);
    if (c == ckSpread) m.AddLogicalWrap(2000000, 9);
    m.RebuildLogical();
    EXPECT_EQ(m.LogicalTiles, (std::vector<int32_t>{7, 100, 6, 7, -4, c == ckSpread ? 9 : 2000000, -1, 100, 0, 1 << 30}))
        << "case " << c;
  }
}

// A few bytes may declare the largest map the reader takes: it loads whole,
// with its wraps applied; one cell more is refused before anything is made.
TEST(XMap, LargestTextMapLoadsAndOneCellMoreIsRefused) {
  vgrtest::TScopedLog log;
  TXMap m;
  LoadFrom(m, "MAPX\r\nWI2048\r\nHE2048\r\nLW0000100002\r\nMP 0001 0003\r\nXX\r\n");
  ASSERT_EQ(int64_t{m.Width} * m.Height, TXMap::MaxCells);
  EXPECT_EQ(m.LogicalTiles.size(), m.PhysicalTiles.size());
  EXPECT_EQ(m.GetLogicalTile(0, 0), 2);
  EXPECT_EQ(m.GetLogicalTile(1, 0), 3);
  EXPECT_EQ(m.GetPhysicalTile(2047, 2047), 0);
  TXMap big;
  LoadFrom(big, "MAPT\r\nWI2048\r\nHE2049\r\nMPab\r\nXX\r\n");
  EXPECT_EQ(big.Width, 0);
  EXPECT_TRUE(big.PhysicalTiles.empty());
  EXPECT_EQ(big.LastResult, "Map size out of range in line 3: HE2049");
}

TEST(XMap, GrowKeepsRowsAndRotateWraps) {
  vgrtest::TScopedLog log;
  TXMap m;
  Fill(m, {{1, 2}, {3, 4}});
  m.Grow(3, 3);
  EXPECT_EQ(m.PhysicalTiles, (std::vector<int32_t>{1, 2, 0, 3, 4, 0, 0, 0, 0}));
  EXPECT_EQ(m.LogicalTiles, (std::vector<int32_t>{1, 2, 0, 3, 4, 0, 0, 0, 0}));
  m.Grow(2, 3);  // shrinking is refused
  EXPECT_EQ(m.Width, 3);
  EXPECT_EQ(Count(log.Lines(), "Can't shrink the map (3x3 to 2x3)"), 1);

  m.RotateCells(1, 0);
  EXPECT_EQ(m.PhysicalTiles, (std::vector<int32_t>{0, 1, 2, 0, 3, 4, 0, 0, 0}));
  EXPECT_EQ(m.LogicalTiles, std::vector<int32_t>(9, 0));
  m.RotateCells(0, 1);  // a whole row: 3 places
  EXPECT_EQ(m.PhysicalTiles, (std::vector<int32_t>{0, 0, 0, 0, 1, 2, 0, 3, 4}));
  m.RotateCells(2, 2);  // 8 places: the last cell comes to the front
  EXPECT_EQ(m.PhysicalTiles, (std::vector<int32_t>{0, 0, 0, 1, 2, 0, 3, 4, 0}));
}

TEST(XMap, CellsOutsideTheMapAreHarmless) {
  TXMap m;
  Fill(m, {{7}});
  m.SetPhysicalTile(1, 0, 9);
  m.SetLogicalTile(0, -1, 9);
  EXPECT_EQ(m.GetPhysicalTile(1, 0), 0);
  EXPECT_EQ(m.GetLogicalTile(0, 5), 0);
  EXPECT_EQ(m.PhysicalTiles, std::vector<int32_t>{7});
}

}  // namespace

namespace {

// Damaged files of every format: whatever a load makes of them, the layers
// match the size it reports.
TEST(XMap, MutatedFilesKeepTheLayersConsistent) {
  Randomize(77);
  TXMap source;
  source.Grow(9, 7);
  for (int32_t i = 0; i < 63; ++i) source.SetPhysicalTile(i % 9, i / 9, int32_t(Random(256)));
  for (int i = 0; i < 5; ++i) source.AddLogicalWrap(int32_t(Random(256)), int32_t(Random(256)));
  source.ExtraLines = {"12", "1,2,3,4,5,6", "."};
  source.SetGameID(4);
  for (char mode : {'B', 'W', 'T', 'X'}) {
    TMemoryStream good;
    ASSERT_EQ(source.Save(good, mode), mode);
    for (int round = 0; round < 300; ++round) {
      std::string bytes(good.Data.begin(), good.Data.end());
      const int edits = int(Random(6)) + 1;
      for (int e = 0; e < edits; ++e) {
        const std::size_t at = Random(uint32_t(bytes.size()));
        switch (Random(3)) {
          case 0: bytes[at] = static_cast<char>(Random(256)); break;
          case 1: bytes.erase(at, Random(8) + 1); break;
          default: bytes.insert(at, std::string(1, "0123456789ABCDEF\r\nMPWIHELWXX"[Random(28)])); break;
        }
        if (bytes.empty()) bytes = "M";
      }
      TXMap m;
      TMemoryStream s(Bytes(bytes));
      m.Load(s);
      ASSERT_GE(m.Width, 0);
      ASSERT_GE(m.Height, 0);
      if (m.Allocated) {
        ASSERT_EQ(m.PhysicalTiles.size(), static_cast<std::size_t>(m.Width) * m.Height) << mode << round;
        ASSERT_EQ(m.LogicalTiles.size(), m.PhysicalTiles.size()) << mode << round;
      } else {
        ASSERT_TRUE(m.PhysicalTiles.empty()) << mode << round;
      }
    }
  }
}

}  // namespace
