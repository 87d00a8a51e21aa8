#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "ToolTestSupport.h"
#include "VgrData.h"
#include "XMapPackUnit.h"
#include "XMapUnit.h"
#include "ZRStream3.h"

namespace {

using vgrtest::Vgr;

// A level piece as the game stores it: a MAPT map, extra lines for the
// background and the monsters.
std::string WritePiece(const vgrtest::TTempDir& dir, const std::string& name, const std::string& row, char mode = 'T') {
  TXMap m;
  m.Grow(static_cast<int32_t>(row.size()), 2);
  for (std::size_t x = 0; x < row.size(); ++x) m.SetPhysicalTile(int32_t(x), 0, static_cast<uint8_t>(row[x]));
  m.ExtraLines = {"12", ".", "."};
  EXPECT_EQ(m.Save(dir / name, mode), mode);
  return dir / name;
}

std::string RowOf(const TXMap& m) {
  std::string s;
  for (int32_t x = 0; x < m.Width; ++x) s += static_cast<char>(m.GetPhysicalTile(x, 0));
  return s;
}

TEST(PackCommand, EveryFormListsAndServesTheSameMaps) {
  vgrtest::TTempDir dir;
  const std::vector<std::string> files = {WritePiece(dir, "01.mpp", "!! !"), WritePiece(dir, "02.mpp", "ab", 'X'),
                                          WritePiece(dir, "26.mpp", "#$%", 'B')};
  for (const std::string format : {"mpck", "mpkt", "mpkb"}) {
    const std::string pack = dir / ("Zapkin_" + format + ".mpk");
    std::vector<std::string> args = {"pack", "build", pack, "--format", format};
    args.insert(args.end(), files.begin(), files.end());
    const vgrtest::TToolResult built = Vgr(args);
    ASSERT_EQ(built.code, 0) << format << built.err;

    const vgrtest::TToolResult list = Vgr({"pack", "list", pack});
    ASSERT_EQ(list.code, 0) << format << list.err;
    EXPECT_NE(list.out.find("maps: 3\n"), std::string::npos) << list.out;
    for (const char* name : {"  0  01.mpp  ", "  1  02.mpp  ", "  2  26.mpp  "}) {
      EXPECT_NE(list.out.find(name), std::string::npos) << format << list.out;
    }

    // The program reads the pack by name, through the stream lookup.
    TXMapPack p;
    p.Load(pack);
    ASSERT_EQ(p.Count(), 3) << format;
    const std::vector<std::string> rows = {"!! !", "ab", "#$%"};
    for (int i = 0; i < 3; ++i) {
      auto m = p.GetMap(i == 0 ? "01.MPP" : i == 1 ? "02.mpp" : "26.mpp");
      ASSERT_TRUE(m) << format;
      EXPECT_EQ(RowOf(*m), rows[i]) << format;
      EXPECT_EQ(m->ExtraLines, (std::vector<std::string>{"12", ".", "."})) << format;
    }

    // Taking a map out gives a file that loads as the original.
    const std::string out = dir / ("x_" + format + ".mpp");
    ASSERT_EQ(Vgr({"pack", "extract", pack, "02.MPP", out}).code, 0) << format;
    TXMap a, b;
    a.Load(files[1]);
    b.Load(out);
    EXPECT_EQ(a.PhysicalTiles, b.PhysicalTiles) << format;
    EXPECT_EQ(a.ExtraLines, b.ExtraLines) << format;
    if (format != "mpkt") {
      EXPECT_EQ(vgrtest::ReadBinaryFile(out), vgrtest::ReadBinaryFile(files[1])) << format;
    } else {
      // Text packs keep text maps: the binary piece became MAPT.
      EXPECT_NE(list.out.find("26.mpp  "), std::string::npos);
      EXPECT_NE(list.out.find("MAPT  3 x 2"), std::string::npos) << list.out;
      EXPECT_EQ(vgrtest::ReadTextFile(out), vgrtest::ReadTextFile(files[1]));
    }
  }
}

TEST(PackCommand, ChainFiles) {
  vgrtest::TTempDir dir;
  const std::string a = WritePiece(dir, "01.mpp", "a");
  const std::string b = WritePiece(dir, "02.mpp", "b");
  vgrtest::WriteFile(dir / "chain.txt", "; play order\nM 1\n\nm 01.mpp\r\nC 2, -3\nG7\n");
  const std::string pack = dir / "c.mpk";
  vgrtest::TToolResult r = Vgr({"pack", "build", pack, "--chain", dir / "chain.txt", a, b});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, pack + ": 2 maps, MPCK, chain of 4 steps\n");
  r = Vgr({"pack", "list", pack});
  EXPECT_NE(r.out.find("chain: 4 steps\n  M1\n  M0\n  C 2,-3\n  G 7\n"), std::string::npos) << r.out;

  TXMapPack p;
  p.Load(pack);
  EXPECT_EQ(RowOf(*p.GetCurrentMap()), "b");
  p.SetChainPosition(1);
  EXPECT_EQ(RowOf(*p.GetCurrentMap()), "a");

  struct Case {
    std::string chain;
    std::string format;
    int code;
  };
  const std::vector<Case> bad = {
      {"M 1\n", "mpkt", 1},
      {"M 1\n", "mpkb", 1},
      {"M nothing.mpp\n", "mpck", 1},
      {"C 1\n", "mpck", 1},
      {"X 1\n", "mpck", 1},
      {"G 99999999999\n", "mpck", 1},
  };
  for (const Case& c : bad) {
    vgrtest::WriteFile(dir / "bad.txt", c.chain);
    const vgrtest::TToolResult e = Vgr({"pack", "build", dir / "bad.mpk", "--format", c.format, "--chain", dir / "bad.txt", a});
    EXPECT_EQ(e.code, c.code) << c.chain << c.format;
    EXPECT_FALSE(e.err.empty()) << c.chain;
  }
  EXPECT_FALSE(FileExists(dir / "bad.mpk"));
}

TEST(PackCommand, RefusesBadInput) {
  vgrtest::TTempDir dir;
  const std::string a = WritePiece(dir, "01.mpp", "a");
  vgrtest::TTempDir other;
  const std::string same = WritePiece(other, "01.MPP", "b");
  vgrtest::WriteFile(dir / "notes.txt", "hello");
  struct Case {
    std::vector<std::string> args;
    int code;
  };
  const std::vector<Case> cases = {
      {{"pack"}, 2},
      {{"pack", "build", dir / "p.mpk"}, 2},
      {{"pack", "build", dir / "p.mpk", "--format", "zip", a}, 2},
      {{"pack", "build", dir / "p.mpk", "--level", "3", a}, 2},
      {{"pack", "build", dir / "p.mpk", a, same}, 1},
      {{"pack", "build", dir / "p.mpk", a, dir / "notes.txt"}, 1},
      {{"pack", "build", dir / "p.mpk", a, dir / "missing.mpp"}, 1},
      {{"pack", "list", dir / "notes.txt"}, 1},
      {{"pack", "list", a}, 1},
      {{"pack", "extract", a, "01.mpp", dir / "x"}, 1},
  };
  for (const Case& c : cases) {
    const vgrtest::TToolResult r = Vgr(c.args);
    EXPECT_EQ(r.code, c.code) << c.args.back();
    EXPECT_FALSE(r.err.empty()) << c.args.back();
  }
  EXPECT_FALSE(FileExists(dir / "p.mpk"));

  ASSERT_EQ(Vgr({"pack", "build", dir / "ok.mpk", a}).code, 0);
  const vgrtest::TToolResult r = Vgr({"pack", "extract", dir / "ok.mpk", "02.mpp", dir / "x"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("no map named 02.mpp"), std::string::npos);
}

}  // namespace
