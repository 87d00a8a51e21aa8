#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "ToolTestSupport.h"
#include "VgrData.h"
#include "XMapUnit.h"
#include "ZRStream3.h"

namespace {

using vgrtest::Vgr;

void WriteMap(const std::string& file, const std::vector<std::vector<int32_t>>& rows, char mode) {
  TXMap m;
  m.Grow(static_cast<int32_t>(rows[0].size()), static_cast<int32_t>(rows.size()));
  for (std::size_t y = 0; y < rows.size(); ++y) {
    for (std::size_t x = 0; x < rows[y].size(); ++x) m.SetPhysicalTile(int32_t(x), int32_t(y), rows[y][x]);
  }
  m.MapName = "Test";
  m.AddLogicalWrap(33, 1);
  m.ExtraLines = {"7", "."};
  ASSERT_EQ(m.Save(file, mode), mode);
}

std::unique_ptr<TXMap> LoadMap(const std::string& file) {
  auto m = std::make_unique<TXMap>();
  m->Load(file);
  return m;
}

TEST(MapCommand, ConvertsBetweenAllFormats) {
  vgrtest::TTempDir dir;
  const std::string src = dir / "src.mpp";
  WriteMap(src, {{33, 32, 65}, {66, 33, 32}}, 'T');
  struct Case {
    std::string mode;
    char magic;
  };
  const std::vector<Case> cases = {{"B", 'B'}, {"w", 'W'}, {"X", 'X'}, {"t", 'T'}, {"A", 'B'}};
  std::string previous = src;
  for (const Case& c : cases) {
    const std::string out = dir / ("out_" + c.mode + ".map");
    const vgrtest::TToolResult r = Vgr({"map", "convert", previous, out, c.mode});
    ASSERT_EQ(r.code, 0) << c.mode << r.err;
    EXPECT_EQ(vgrtest::ReadBinaryFile(out)[3], c.magic) << c.mode;
    const auto a = LoadMap(src);
    const auto b = LoadMap(out);
    EXPECT_EQ(a->PhysicalTiles, b->PhysicalTiles) << c.mode;
    EXPECT_EQ(a->LogicalTiles, b->LogicalTiles) << c.mode;
    EXPECT_EQ(a->ExtraLines, b->ExtraLines) << c.mode;
    EXPECT_EQ(b->MapName, "Test") << c.mode;
    previous = out;
  }
}

TEST(MapCommand, ConvertReportsAFormatThatCannotHoldTheMap) {
  vgrtest::TTempDir dir;
  const std::string big = dir / "big.map";
  WriteMap(big, {{1, 300}}, 'W');
  vgrtest::TToolResult r = Vgr({"map", "convert", big, dir / "b.map", "T"});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(vgrtest::ReadBinaryFile(dir / "b.map")[3], 'W');
  EXPECT_NE(r.err.find("tiles above 255 need 16 bits"), std::string::npos) << r.err;

  // An empty extra line has no place in MAPB or MAPW.
  TXMap m;
  m.Grow(1, 1);
  m.ExtraLines = {""};
  ASSERT_EQ(m.Save(dir / "e.map", 'X'), 'X');
  r = Vgr({"map", "convert", dir / "e.map", dir / "e2.map", "B"});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(vgrtest::ReadBinaryFile(dir / "e2.map")[3], 'X');
  EXPECT_NE(r.err.find("MAPB cannot hold this map (an empty extra line)"), std::string::npos) << r.err;
}

TEST(MapCommand, RefusesBadInput) {
  vgrtest::TTempDir dir;
  vgrtest::WriteFile(dir / "junk.bin", "GIF89a");
  vgrtest::WriteFile(dir / "old.map", "MAPC\x01\x01");
  WriteMap(dir / "ok.map", {{1}}, 'B');
  struct Case {
    std::vector<std::string> args;
    int code;
  };
  const std::vector<Case> cases = {
      {{"map"}, 2},
      {{"map", "convert", dir / "ok.map", dir / "o.map"}, 2},
      {{"map", "convert", dir / "ok.map", dir / "o.map", "Q"}, 2},
      {{"map", "convert", dir / "ok.map", dir / "o.map", "BW"}, 2},
      {{"map", "convert", dir / "missing.map", dir / "o.map", "B"}, 1},
      {{"map", "convert", dir / "junk.bin", dir / "o.map", "B"}, 1},
      {{"map", "show", dir / "old.map"}, 1},
      {{"map", "show"}, 2},
  };
  for (const Case& c : cases) {
    const vgrtest::TToolResult r = Vgr(c.args);
    EXPECT_EQ(r.code, c.code) << c.args.size() << " " << c.args.back();
    EXPECT_FALSE(r.err.empty()) << c.args.back();
  }
  EXPECT_FALSE(FileExists(dir / "o.map"));
}

TEST(MapCommand, ShowsEverything) {
  vgrtest::TTempDir dir;
  TXMap m;
  m.Grow(3, 2);
  m.SetPhysicalTile(0, 0, 33);
  m.SetPhysicalTile(2, 1, 1000);
  m.AddLogicalWrap(33, 1);
  m.RebuildLogical();
  m.Author = "Ann";
  m.GameName = "Voltigor";
  m.SetGameID(5);
  m.SetVersion(12);
  m.ExtraLines = {"7", "1,2,3"};
  ASSERT_EQ(m.Save(dir / "s.map", 'X'), 'X');
  const vgrtest::TToolResult r = Vgr({"map", "show", dir / "s.map"});
  ASSERT_EQ(r.code, 0) << r.err;
  const std::string expected =
      "file: " + dir / "s.map" +
      "\n"
      "format: MAPX\n"
      "result: OK\n"
      "size: 3 x 2\n"
      "map name: Unknown\n"
      "author: Ann\n"
      "game name: Voltigor\n"
      "version: 12\n"
      "game id: 5\n"
      "wraps: 1\n"
      "  33 -> 1\n"
      "extra lines: 2\n"
      "  1: 7\n"
      "  2: 1,2,3\n"
      "physical layer:\n"
      "  0:   33    0    0\n"
      "  1:    0    0 1000\n"
      "logical layer:\n"
      "  0:    1    0    0\n"
      "  1:    0    0 1000\n";
  EXPECT_EQ(r.out, expected);
}

}  // namespace
