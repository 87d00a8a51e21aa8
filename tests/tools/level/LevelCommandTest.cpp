#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "ToolTestSupport.h"
#include "XMapUnit.h"

namespace {

using vgrtest::Vgr;

// The object list of the fixtures: one object of each kind the rules look at.
const char* const kObjects =
    "#EMPTY,0\n#SOLID,1\n#WIRE,2\n#ICE,3\n#TRANSPORTER,4\n#SLOW,5\n#TRAPDOOR,6\n"
    "#PIECE1,7\n#PIECE2,8\n#PIECE3,9\n#PIECE4,10\n#PIECE5,11\n#PIECE6,12\n#PIECE7,13\n#SPRING,15\n#EXIT,16\n"
    "stone.tga,1,SOLID\nwire.tga,10,WIRE\nwireb.tga,11,SOLID\ngrate.tga,12,WIRE\nice.tga,14,ICE\n"
    "tele.tga,16,TRANSPORTER\n"
    "p1.tga,19,PIECE1\np2.tga,20,PIECE2\np3.tga,21,PIECE3\np4.tga,22,PIECE4\np5.tga,23,PIECE5\n"
    "p6.tga,24,PIECE6\np7.tga,25,PIECE7\nspring.tga,27,SPRING\nexit.tga,28,EXIT\nblank.tga,29,EMPTY\n"
    "fuse.tga,30,WIRE\nhole.tga,31,EMPTY\nwindow.tga,32,EMPTY\n!END\n";

struct TPiece {
  std::vector<std::string> Rows;
  std::vector<std::string> Extra;
};

// A playable construction piece: the start ledge, the exit, a ground floor
// with the seven pieces and a live wire, one monster on the ground; ledges
// down to the ground and springs back up to the exit.
TPiece GoodPiece() {
  TPiece p;
  p.Rows.assign(22, std::string(32, ' '));
  p.Rows[4].replace(3, 7, "!!!!!!!");
  p.Rows[4][24] = '<';
  p.Rows[21] = std::string(32, '!');
  p.Rows[21].replace(10, 7, "3456789");
  p.Rows[21][20] = '*';
  p.Rows[8].replace(10, 2, "!!");
  p.Rows[12].replace(12, 2, "!!");
  p.Rows[15].replace(14, 2, "!!");
  p.Rows[18].replace(16, 2, "!!");
  p.Rows[21][19] = ';';
  p.Rows[17].replace(19, 2, "!;");
  p.Rows[13].replace(20, 2, "!;");
  p.Rows[10].replace(21, 2, "!;");
  p.Rows[7].replace(22, 2, "!;");
  p.Rows[4][23] = '!';
  p.Extra = {"29", "20,1,8,4,3,1", ".", ".", ".", ".", std::string(176, '0')};
  p.Extra[6][174] = '4';  // a dot on column 25 of the ground
  return p;
}

std::string WritePiece(const vgrtest::TTempDir& dir, const std::string& name, const TPiece& p) {
  TXMap m;
  m.Grow(static_cast<int32_t>(p.Rows[0].size()), static_cast<int32_t>(p.Rows.size()));
  for (std::size_t y = 0; y < p.Rows.size(); ++y) {
    for (std::size_t x = 0; x < p.Rows[y].size(); ++x) {
      m.SetPhysicalTile(int32_t(x), int32_t(y), static_cast<uint8_t>(p.Rows[y][x]));
    }
  }
  m.ExtraLines = p.Extra;
  EXPECT_EQ(m.Save(dir / name, 'T'), 'T');
  return dir / name;
}

// Every rule, broken once: each broken piece must fail with messages that
// name the piece, the cell where there is one, and only the broken rule.
TEST(LevelCheck, EveryRuleCatchesItsBrokenPiece) {
  vgrtest::TTempDir dir;
  vgrtest::WriteFile(dir / "objects.lst", std::string(kObjects));
  const std::string objects = dir / "objects.lst";

  const vgrtest::TToolResult good = Vgr({"level", "check", WritePiece(dir, "05.mpp", GoodPiece()), "--objects", objects});
  ASSERT_EQ(good.code, 0) << good.err;
  EXPECT_EQ(good.out, "1 piece checked, no problems\n");

  struct TCase {
    const char* Rule;
    std::function<void(TPiece&)> Break;
    std::vector<std::string> Messages;
  };
  const std::vector<TCase> cases = {
      {"size", [](TPiece& p) { for (auto& r : p.Rows) r.resize(30, ' '); },
       {"05.mpp: the map is 30 x 22; a level piece is 32 x 22"}},
      {"object", [](TPiece& p) { p.Rows[10][7] = 'Z'; },
       {"05.mpp: column 7, row 10: character code 90 is object 58, which the object list does not define"}},
      {"lines", [](TPiece& p) { p.Extra.pop_back(); }, {"05.mpp: the piece has 6 extra lines"}},
      {"lines", [](TPiece& p) { p.Extra.push_back("."); }, {"05.mpp: the piece has 8 extra lines"}},
      {"background", [](TPiece& p) { p.Extra[0] = "wall"; }, {"the background line \"wall\" is not an object number"}},
      {"start", [](TPiece& p) { p.Rows[4][4] = ' '; },
       {"05.mpp: column 4, row 4: the professor starts standing here, on empty"}},
      {"start", [](TPiece& p) { p.Rows[3][5] = '!'; },
       {"05.mpp: column 5, row 3: the professor's start place is taken by solid"}},
      {"pieces", [](TPiece& p) { p.Rows[21][14] = '5'; },
       {"05.mpp: body piece 5 is missing", "05.mpp: column 14, row 21: body piece 3 again; it already lies at column 12"}},
      {"exit", [](TPiece& p) { p.Rows[2][24] = '!'; },
       {"05.mpp: column 24, row 2: the professor cannot stand on the exit: solid above it"}},
      {"exit", [](TPiece& p) { p.Rows[4][24] = '!'; },
       {"05.mpp: column 24, row 4: the exit works here but the cell shows solid, not an exit door"}},
      {"monster", [](TPiece& p) { p.Extra[4] = ""; },
       {"monster 4 (\"\") is not \".\" or six numbers"}},
      {"monster", [](TPiece& p) { p.Extra[3] = "20,8,7,7,2,1"; },
       {"monster 3 (\"20,8,7,7,2,1\"): columns 8..7", "start column 7 must lie strictly between"}},
      // A start on either end of the patrol is refused, not only one past it.
      {"monster", [](TPiece& p) { p.Extra[3] = "20,1,8,1,2,1"; },
       {"monster 3 (\"20,1,8,1,2,1\"): start column 1 must lie strictly between"}},
      {"monster", [](TPiece& p) { p.Extra[3] = "20,1,8,8,2,1"; },
       {"monster 3 (\"20,1,8,8,2,1\"): start column 8 must lie strictly between"}},
      {"monster", [](TPiece& p) { p.Extra[1] = "20,1,8,4,0,21"; },
       {"speed 0 must be", "monster number 21 is not 1..20"}},
      {"monster", [](TPiece& p) { p.Extra[5] = "15,2,6,4,-1,7"; },
       {"05.mpp: column 2, row 16: monster 5 (\"15,2,6,4,-1,7\") has no floor under its patrol here"}},
      {"monster", [](TPiece& p) { p.Extra[2] = "3,1,8,3,1,2"; },
       {"monster 2 (\"3,1,8,3,1,2\") walks through solid", "patrols over the professor's start place"}},
      // Head height over the start is as taken as the row above the feet.
      {"monster", [](TPiece& p) { p.Extra[2] = "2,3,8,5,1,2"; }, {"patrols over the professor's start place"}},
      // The top corners of the room are walls the level map lays itself:
      // columns 25 and up at the right, in rows 0 to 3.
      {"monster", [](TPiece& p) { p.Extra[2] = "2,20,24,22,1,2"; },
       {"05.mpp: column 25, row 2: monster 2 (\"2,20,24,22,1,2\") walks through solid"}},
      {"dots", [](TPiece& p) { p.Extra[6].pop_back(); }, {"05.mpp: the dot line has 175 characters"}},
      {"dots", [](TPiece& p) { p.Extra[6][100] = 'a'; }, {"character 101 of the dot line ('a') is not a digit"}},
      {"dots", [](TPiece& p) { p.Extra[6][80] = '8'; },
       {"05.mpp: column 0, row 10: a dot on an empty cell can never be eaten"}},
      {"dots", [](TPiece& p) { p.Extra[6][174] = 'C'; p.Rows[19][24] = '!'; },
       {"05.mpp: column 24, row 21: a dot the professor cannot stand on"}},
      {"slide", [](TPiece& p) { p.Rows[21][31] = '.'; },
       {"05.mpp: column 31, row 21: sliding right from here runs into the edge of the room"}},
      {"slide", [](TPiece& p) { p.Rows[21].replace(27, 2, ".."); p.Rows[20][29] = '!'; },
       {"05.mpp: column 27, row 21: sliding right from here runs into a wall at column 29",
        "05.mpp: column 28, row 21: sliding right from here runs into a wall at column 29"}},
      // A slide runs on over the whole ice, not one cell.
      {"slide", [](TPiece& p) { p.Rows[21].replace(26, 3, "..."); p.Rows[20][30] = '!'; },
       {"05.mpp: column 26, row 21: sliding right from here runs into a wall at column 30"}},
      {"transport", [](TPiece& p) { p.Rows[21][5] = '0'; p.Rows[19][7] = '!'; },
       {"05.mpp: column 5, row 21: transporting right from here puts the professor's body into a wall at column 7"}},
      {"transport", [](TPiece& p) { p.Rows[21][22] = '0'; p.Rows[20][23] = '!'; },
       {"05.mpp: column 22, row 21: transporting right from here puts the professor's body into a wall at column 23"}},
      {"transport", [](TPiece& p) { p.Rows[21][30] = '0'; },
       {"05.mpp: column 30, row 21: transporting right from here leaves the room"}},
      {"props", [](TPiece& p) { p.Rows[1][12] = '@'; },
       {"05.mpp: column 12, row 1: the decoration (object 32) covers the blueprint (x 224..271, y 24..63)"}},
      // Floors and walls are drawn over the pictures as much as decorations.
      {"props", [](TPiece& p) { p.Rows[4].replace(25, 2, "!;"); },
       {"05.mpp: column 25, row 4: the solid (object 1) covers the creature's machine (x 472..559, y 40..119)",
        "05.mpp: column 26, row 4: the spring (object 27) covers the creature's machine"}},
      {"wire", [](TPiece& p) { p.Rows[21][22] = ','; },
       {"05.mpp: column 22, row 21: the wire (object 12) burns into object 13, which the object list does not "
        "define"}},
      {"wire", [](TPiece& p) { p.Rows[21][22] = '>'; },
       {"05.mpp: column 22, row 21: the wire (object 30) burns into object 31, which is empty"}},
  };
  for (const TCase& c : cases) {
    TPiece p = GoodPiece();
    c.Break(p);
    const vgrtest::TToolResult r = Vgr({"level", "check", WritePiece(dir, "05.mpp", p), "--objects", objects});
    EXPECT_EQ(r.code, 1) << c.Rule << ": " << c.Messages[0];
    for (const std::string& m : c.Messages) EXPECT_NE(r.err.find(m), std::string::npos) << c.Rule << ":\n" << r.err;
    // Nothing but the broken rule is reported.
    std::istringstream lines(r.err);
    std::string line;
    int problems = 0;
    while (std::getline(lines, line)) {
      if (line.rfind("vgrdata level: ", 0) == 0) continue;
      // A broken piece may also be one that cannot be finished; that rule
      // has its own table (LevelReachTest).
      if (line.find("[reach]") != std::string::npos) continue;
      ++problems;
      EXPECT_NE(line.find(std::string("[") + c.Rule + "]"), std::string::npos) << c.Rule << ": " << line;
    }
    EXPECT_GE(problems, int(c.Messages.size())) << c.Rule;
  }

  // Decorations and walls right beside the fixed pictures pass.
  {
    TPiece p = GoodPiece();
    p.Rows[8][12] = '@';
    p.Rows[1][9] = '@';
    p.Rows[6][26] = '!';
    p.Rows[4][31] = '!';
    const vgrtest::TToolResult r = Vgr({"level", "check", WritePiece(dir, "05.mpp", p), "--objects", objects});
    EXPECT_EQ(r.code, 0) << r.err;
  }

  // A pack must hold every piece the game asks for.
  const std::string pack = dir / "Zapkin.mpk";
  ASSERT_EQ(Vgr({"pack", "build", pack, WritePiece(dir, "01.mpp", GoodPiece())}).code, 0);
  const vgrtest::TToolResult r = Vgr({"level", "check", pack, "--objects", objects});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("Zapkin.mpk: the pack has no piece 02.mpp [pack]"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("Zapkin.mpk: the pack has no piece 26.mpp [pack]"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("01.mpp"), std::string::npos) << r.err;
}

}  // namespace

namespace {

// The shipped pieces: the pack the data build makes from them passes every
// rule, and together the 25 construction maps use every monster kind and
// every object of the object list: in a cell, as the background of cleared
// cells, or as what a wire burns into. The eighth piece picture does
// nothing in play and looks like a piece to collect, so no map shows it.
TEST(LevelCheck, ShippedMapsKeepEveryRuleAndUseEverything) {
  const std::string maps = vgrtest::SourceDir() + "/data/maps/";
  const std::string objects = vgrtest::SourceDir() + "/data/objects.lst";
  vgrtest::TTempDir dir;
  std::vector<std::string> args = {"pack", "build", dir / "Zapkin.mpk"};
  for (int n = 1; n <= 27; ++n) args.push_back(maps + (n < 10 ? "0" : "") + std::to_string(n) + ".mpp");
  ASSERT_EQ(Vgr(args).code, 0);
  const vgrtest::TToolResult r = Vgr({"level", "check", dir / "Zapkin.mpk", "--objects", objects});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "27 pieces checked, no problems\n");

  std::set<int> kinds, used, defined;
  std::set<std::string> names;
  for (int n = 1; n <= 25; ++n) {
    TXMap m;
    m.Load(args[2 + static_cast<std::size_t>(n)]);
    ASSERT_EQ(m.ExtraLines.size(), 7u) << n;
    names.insert(m.MapName);
    used.insert(std::stoi(m.ExtraLines[0]));
    for (int32_t y = 0; y < m.Height; ++y) {
      for (int32_t x = 0; x < m.Width; ++x) used.insert(m.GetPhysicalTile(x, y) - 32);
    }
    for (std::size_t slot = 1; slot <= 5; ++slot) {
      const std::string& line = m.ExtraLines[slot];
      if (line != ".") kinds.insert(std::stoi(line.substr(line.find_last_of(',') + 1)));
    }
  }
  EXPECT_EQ(names.size(), 25u) << "every map has a name of its own";
  for (int k = 1; k <= 20; ++k) EXPECT_TRUE(kinds.count(k)) << "monster " << k << " appears on no map";
  std::istringstream list(vgrtest::ReadTextFile(objects));
  std::string line;
  while (std::getline(list, line) && line.rfind("!END", 0) != 0) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::size_t comma = line.find(',');
    if (line.empty() || line[0] == ';' || line[0] == '#' || line[0] == '%' || line[0] == '>') continue;
    const int number = std::stoi(line.substr(comma + 1));
    defined.insert(number);
    const std::string kind = line.substr(line.find(',', comma + 1) + 1);
    if (kind == "WIRE" && used.count(number)) used.insert(number + 1);
    if (kind == "PIECE8") {
      EXPECT_FALSE(used.count(number)) << "object " << number << " looks like a piece but does nothing";
      continue;
    }
    EXPECT_TRUE(used.count(number)) << "object " << number << " is used on no map";
  }
  EXPECT_EQ(defined.size(), 37u);
}

}  // namespace
