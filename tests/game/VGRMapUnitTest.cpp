#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <tuple>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "ImageCollectionUnit.h"
#include "VGRGameValues.h"
#include "VGRMapUnit.h"
#include "VGRResourceFixtures.h"
#include "XMapPackUnit.h"
#include "ZRFonts.h"
#include "ZRStream3.h"

using namespace vgrfix;

namespace {

const std::string kLoadLevelError = "{VGRMapUnit, TMap.LoadLevel} ";

uint32_t ObjColour(int n) { return 0x400000u | (static_cast<uint32_t>(n) << 8) | 0x40u; }

// Object numbers of the test definitions (the piece character minus 32).
constexpr int kSolid = 1;        // "!"
constexpr int kWire = 2;         // "\""
constexpr int kFirstPiece = 33;  // "A".."H": types 7..14
constexpr int kSpring = 51;      // "S"
constexpr int kBackground = 60;

int32_t X(int32_t column) { return 48 + 16 * column; }
int32_t Y(int32_t row) { return 24 + 16 * row; }

// A 32 by 22 piece as the text format stores it; `cells` maps (column, row)
// to a character, everything else is blank.
std::vector<uint8_t> Piece(const std::map<std::pair<int, int>, char>& cells, const std::vector<std::string>& extra,
                           int width = 32, int height = 22) {
  TXMap m;
  m.Grow(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) m.SetPhysicalTile(x, y, ' ');
  for (const auto& [at, c] : cells) m.SetPhysicalTile(at.first, at.second, static_cast<uint8_t>(c));
  m.ExtraLines = extra;
  TMemoryStream s;
  m.Save(s, 'T');
  return s.Data;
}

std::string DotLine(const std::string& head) { return head + std::string(176 - head.size(), '0'); }

// Construction piece p: a solid floor, the eight piece pictures, a wire and a
// spring on row 20, a wall at column 31 of row 19; slot 4 names the piece.
std::vector<std::string> ConstructionExtra(int p, const std::string& dots = DotLine("8")) {
  return {"60", "20,1,10,5,2,3", ".", "300,1,2,3,-4,257", ".", "5,0,31,2,-1," + std::to_string(p), dots};
}

std::map<std::pair<int, int>, char> ConstructionCells() {
  std::map<std::pair<int, int>, char> cells;
  for (int x = 0; x < 32; ++x) cells[{x, 21}] = '!';
  cells[{0, 20}] = '!';
  for (int k = 0; k < 7; ++k) cells[{2 + k, 20}] = static_cast<char>('A' + k);
  cells[{10, 20}] = 'H';
  cells[{12, 20}] = '"';
  cells[{14, 20}] = 'S';
  cells[{31, 19}] = '!';
  return cells;
}

std::map<std::pair<int, int>, char> InterimCells() {
  std::map<std::pair<int, int>, char> cells;
  for (int row = 6; row <= 21; row += 3)
    for (int x = 0; x < 32; ++x) cells[{x, row}] = '!';
  return cells;
}

class MapTest : public ::testing::Test, public TDefinitionsFixture {
 public:
  MapTest() {
    std::vector<std::string> objects = {">2,2,2", ">2,2", "%50,52", "#EMPTY,0", "#SOLID,1", "#WIRE,2",
                                        "#SPRING,15", "#EXIT,16"};
    for (int k = 1; k <= 8; ++k) objects.push_back("#P" + std::to_string(k) + "," + std::to_string(6 + k));
    for (int n : {kSolid, kWire, 50, 52, kSpring}) WritePicture(Folder, "o" + std::to_string(n) + ".tga", ObjColour(n));
    objects.push_back("o1.tga,1,solid");
    objects.push_back("o2.tga,2,wire");
    for (int k = 0; k < 8; ++k) {
      const int n = kFirstPiece + k;
      WritePicture(Folder, "o" + std::to_string(n) + ".tga", ObjColour(n));
      objects.push_back("o" + std::to_string(n) + ".tga," + std::to_string(n) + ",p" + std::to_string(k + 1));
    }
    objects.push_back("o50.tga,50,solid");
    objects.push_back("o52.tga,52,solid");
    objects.push_back("o51.tga,51,spring");
    WriteHalfPicture(Folder, "bg.tga", ObjColour(kBackground));
    objects.push_back("bg.tga,60,empty");
    objects.push_back("!END");
    WriteObjects(objects);
    WriteMonsters({"MONS01a,1,0"});
    Resources = std::make_unique<TResources>();
    for (int p = 1; p <= 27; ++p) Pieces[p] = DefaultPiece(p);
    WriteTemplate(Piece({}, {}));
    MrRobotMode = false;
    Bar(0, 0, 639, 399, 0, 0, 0);
  }
  ~MapTest() override {
    MrRobotMode = false;
    NumbersFont.reset();
    if (SwappedCollection_) ImageCollection = std::move(SavedCollection_);
  }

  static std::vector<uint8_t> DefaultPiece(int p) {
    if (p == 26) return Piece(InterimCells(), {"61", ".", ".", ".", ".", "4,1,30,7,3,26"});
    return Piece(ConstructionCells(), ConstructionExtra(p));
  }
  void WriteTemplate(const std::vector<uint8_t>& bytes) { vgrtest::WriteFile(Folder / "empty.mpp", bytes); }
  // Packs Pieces into "Zapkin.mpk", which the map reads when it is made.
  std::unique_ptr<TMap> MakeMap() {
    TXMapPack pack;
    for (const auto& [p, bytes] : Pieces) {
      char name[16];
      std::snprintf(name, sizeof name, "%02d.mpp", p);
      pack.AddEntry(name, "", bytes);
    }
    TMemoryStream s;
    EXPECT_TRUE(pack.SaveMPCK(s));
    vgrtest::WriteFile(Folder / "Zapkin.mpk", s.Data);
    return std::make_unique<TMap>();
  }
  uint32_t Screen(int x, int y) { return ImagePx(BackImage, x, y); }
  // The game's chequer pictures in a collection of the test's own.
  void UseBricks() {
    SavedCollection_ = std::move(ImageCollection);
    SwappedCollection_ = true;
    ImageCollection = std::make_unique<TImageCollection>();
    for (auto [name, colour] : {std::pair{"DarkBrick1", 0x0000A0u}, std::pair{"DarkBrick2", 0x00A000u}}) {
      TImagePtr brick = CreateImageWH(16, 16);
      ImageBar(brick.get(), 0, 0, 15, 15, uint8_t(colour >> 16), uint8_t(colour >> 8), uint8_t(colour));
      ImageCollection->Add(std::move(brick), name);
    }
  }

  std::map<int, std::vector<uint8_t>> Pieces;

 private:
  std::unique_ptr<TImageCollection> SavedCollection_;
  bool SwappedCollection_ = false;
};

TEST_F(MapTest, LevelsUseTheirPieces) {
  auto map = MakeMap();
  struct {
    int level;
    int piece;
  } cases[] = {{1, 1}, {2, 26}, {3, 2}, {4, 26}, {48, 26}, {49, 25}, {50, 26}, {53, 27}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.level);
    Randomize(static_cast<uint32_t>(c.level));
    ASSERT_TRUE(map->LoadLevel(static_cast<uint8_t>(c.level), false));
    EXPECT_EQ(map->MonsterStart(4).MonsterNumber, c.piece);
    EXPECT_EQ(map->Width, 34);
    EXPECT_EQ(map->Height, 22);
  }
}

TEST_F(MapTest, EveryLevelBuildsAndDrawsInBothModes) {
  auto map = MakeMap();
  for (bool robot : {false, true}) {
    MrRobotMode = robot;
    for (int level = 1; level <= 53; ++level) {
      if (level == 51 || level == 52) continue;
      SCOPED_TRACE(level * 10 + robot);
      Bar(0, 0, 639, 399, 0, 0, 0);
      Randomize(static_cast<uint32_t>(level));
      ASSERT_TRUE(map->LoadLevel(static_cast<uint8_t>(level), true));
      const int expected = level % 2 == 0 ? 26 : (level - 1) / 2 + 1;
      EXPECT_EQ(map->MonsterStart(4).MonsterNumber, expected);
      // The bottom row is solid everywhere on every piece of the test pack.
      EXPECT_NE(Screen(X(7) + 8, Y(21) + 8), 0u);
      EXPECT_EQ(map->DotCount, robot && level % 2 == 1 ? 1 : 0);
    }
  }
}

TEST_F(MapTest, CellsOfAConstructionLevel) {
  auto map = MakeMap();
  ASSERT_TRUE(map->LoadLevel(1, false));
  // Blank is object 0 and empty; "!" is object 1, solid; the piece lies one column in.
  EXPECT_EQ(map->ObjectNumberAt(X(5), Y(10)), 0);
  EXPECT_TRUE(map->IsEmptyAt(X(5), Y(10)));
  EXPECT_EQ(map->ObjectNumberAt(X(1), Y(20)), kSolid);
  EXPECT_FALSE(map->IsEmptyAt(X(1), Y(20)));
  EXPECT_EQ(map->GetLogicalTile(1, 20), 1);
  // Border pixels: 63 lies in the solid column 0, 64 in column 1.
  EXPECT_FALSE(map->IsEmptyAt(63, Y(10)));
  EXPECT_TRUE(map->IsEmptyAt(64, Y(10)));
  EXPECT_TRUE(map->IsEmptyAt(575, Y(10)));
  EXPECT_FALSE(map->IsEmptyAt(576, Y(10)));
  EXPECT_EQ(map->ObjectNumberAt(63, Y(20)), 0);
  // Within a cell every pixel answers alike.
  EXPECT_EQ(map->ObjectNumberAt(X(32) + 15, Y(19) + 15), kSolid);

  for (int k = 0; k < 7; ++k) {
    EXPECT_EQ(map->ObjectAt(X(3 + k) + 7, Y(20)), k + 1);
    EXPECT_EQ(map->PieceTile(k + 1), kFirstPiece + k);
  }
  EXPECT_EQ(map->ObjectAt(X(11), Y(20)), 0);  // type 14: remembered, no piece
  EXPECT_EQ(map->GetLogicalTile(11, 20), 14);
  EXPECT_EQ(map->PieceTile(8), kFirstPiece + 7);
  EXPECT_EQ(map->PieceTile(0), 0);
  EXPECT_EQ(map->PieceTile(9), 0);
  EXPECT_EQ(map->ObjectAt(X(1), Y(20)), 0);
  EXPECT_TRUE(map->IsWireAt(X(13), Y(20)));
  EXPECT_TRUE(map->IsSpringAt(X(15), Y(20)));
  EXPECT_EQ(map->BackgroundNumber, kBackground);

  // Invisible walls over the top four rows, and the exit.
  for (int row = 0; row < 4; ++row) {
    for (int c = 1; c <= 32; ++c) {
      const bool wall = c <= 3 || c >= 26;
      EXPECT_EQ(map->GetLogicalTile(c, row), wall ? 1 : 0) << c << "," << row;
    }
  }
  EXPECT_TRUE(map->IsExitAt(X(25), Y(4)));
  EXPECT_EQ(map->ObjectNumberAt(X(25), Y(4)), 0);
}

TEST_F(MapTest, ChangingCells) {
  auto map = MakeMap();
  ASSERT_TRUE(map->LoadLevel(1, false));
  // The wire turns into the next object, then takes that object's type.
  map->NextObjectAt(X(13), Y(20));
  EXPECT_EQ(map->ObjectNumberAt(X(13), Y(20)), 3);
  EXPECT_TRUE(map->IsWireAt(X(13), Y(20)));
  map->RetypeAt(X(13), Y(20));
  EXPECT_TRUE(map->IsEmptyAt(X(13), Y(20)));  // object 3 is not defined
  map->NextObjectAt(X(5), Y(10));
  map->RetypeAt(X(5), Y(10));
  EXPECT_FALSE(map->IsEmptyAt(X(5), Y(10)));  // object 1: solid
  // Cells outside the map are left alone.
  map->NextObjectAt(-100, -100);
  map->RetypeAt(2000, 2000);
  EXPECT_EQ(map->ObjectNumberAt(2000, 2000), 0);
}

TEST_F(MapTest, MonsterRecords) {
  auto map = MakeMap();
  ASSERT_TRUE(map->LoadLevel(1, false));
  const TMonsterStart a = map->MonsterStart(0);
  EXPECT_EQ(a.Row, 20);
  EXPECT_EQ(a.LeftColumn, 1);
  EXPECT_EQ(a.RightColumn, 10);
  EXPECT_EQ(a.StartColumn, 5);
  EXPECT_EQ(a.Speed, 2);
  EXPECT_EQ(a.MonsterNumber, 3);
  EXPECT_EQ(map->MonsterStart(1).MonsterNumber, 0);  // "."
  const TMonsterStart low = map->MonsterStart(2);    // low 8 bits of each value
  EXPECT_EQ(low.Row, 44);
  EXPECT_EQ(low.Speed, -4);
  EXPECT_EQ(low.MonsterNumber, 1);
  EXPECT_EQ(map->MonsterStart(4).Speed, -1);
  // Slots past the last one, from the first past it on, answer slot 0's.
  const uint32_t slots = TMap::MonsterSlots;
  for (uint32_t slot : {slots, slots + 2, 255u}) {
    const TMonsterStart past = map->MonsterStart(slot);
    EXPECT_EQ(std::memcmp(&past, &a, sizeof a), 0) << slot;
  }
}

// Everything a level start decides, to compare two builds.
std::vector<int32_t> Snapshot(const TMap& map) {
  std::vector<int32_t> s = map.PhysicalTiles;
  s.insert(s.end(), map.LogicalTiles.begin(), map.LogicalTiles.end());
  for (const auto& m : map.MonsterStarts) {
    s.insert(s.end(), {m.LeftColumn, m.Row, m.RightColumn, m.StartColumn, m.Speed, m.MonsterNumber});
  }
  return s;
}

TEST_F(MapTest, InterimLevelsAreDressedAtRandom) {
  auto map = MakeMap();
  for (uint32_t seed = 1; seed <= 25; ++seed) {
    SCOPED_TRACE(seed);
    Randomize(seed);
    ASSERT_TRUE(map->LoadLevel(2, false));

    // Four different random monsters that move; slot 4 keeps the piece's record.
    std::set<int> numbers;
    for (uint32_t slot = 0; slot < 4; ++slot) {
      const TMonsterStart m = map->MonsterStart(slot);
      numbers.insert(m.MonsterNumber);
      EXPECT_GE(m.MonsterNumber, 1);
      EXPECT_LE(m.MonsterNumber, 20);
      EXPECT_NE(m.Speed, 0);
      EXPECT_GE(m.Speed, -4);
      EXPECT_LE(m.Speed, 4);
      EXPECT_GE(m.StartColumn, 2);
      EXPECT_LE(m.StartColumn, 28);
    }
    EXPECT_EQ(numbers.size(), 4u);
    const TMonsterStart kept = map->MonsterStart(4);
    EXPECT_EQ(kept.Row, 4);
    EXPECT_EQ(kept.StartColumn, 7);
    EXPECT_EQ(kept.Speed, 3);
    EXPECT_EQ(kept.MonsterNumber, 26);

    // One random tile for every solid cell, one sequence and two springs per dressed row.
    std::set<int32_t> tiles;
    for (int row = 6; row <= 21; row += 3) {
      int springs = 0;
      std::vector<int> wires;
      for (int c = 0; c < 34; ++c) {
        const int32_t type = map->GetLogicalTile(c, row);
        const int32_t number = map->GetPhysicalTile(c, row);
        if (c == 0 || c == 33) {
          EXPECT_EQ(type, 1);
          EXPECT_EQ(number, 0);
        } else if (type == 15) {
          ++springs;
          EXPECT_GE(c, 11);
          EXPECT_LE(c, 30);
          EXPECT_EQ(number, kSpring);
        } else if (type == 2) {
          wires.push_back(c);
          EXPECT_EQ(number, kWire);
        } else {
          EXPECT_EQ(type, 1) << c;
          tiles.insert(number);
        }
      }
      EXPECT_EQ(springs, 2) << "row " << row;
      ASSERT_TRUE(wires.size() == 2 || wires.size() == 3) << "row " << row;
      EXPECT_EQ(wires.back() - wires.front() + 1, static_cast<int>(wires.size()));
      EXPECT_GE(wires.front(), 5);
      EXPECT_LE(wires.back(), 28);
    }
    ASSERT_EQ(tiles.size(), 1u);
    EXPECT_TRUE(*tiles.begin() == 50 || *tiles.begin() == 52);
    EXPECT_TRUE(map->IsExitAt(X(30), Y(3)));
    EXPECT_FALSE(map->IsEmptyAt(X(31), Y(2)));
    EXPECT_EQ(map->DotCount, 0);
    EXPECT_EQ(map->BackgroundNumber, 61);
  }
}

TEST_F(MapTest, TheSameSeedBuildsTheSameInterimLevel) {
  auto map = MakeMap();
  Randomize(1234);
  ASSERT_TRUE(map->LoadLevel(2, false));
  const auto first = Snapshot(*map);
  ASSERT_TRUE(map->LoadLevel(1, false));
  Randomize(1234);
  ASSERT_TRUE(map->LoadLevel(2, false));
  EXPECT_EQ(Snapshot(*map), first);
  // A fresh map with the same seed agrees too.
  auto other = MakeMap();
  Randomize(1234);
  ASSERT_TRUE(other->LoadLevel(2, false));
  EXPECT_EQ(Snapshot(*other), first);
}

TEST_F(MapTest, InterimLevelWithoutRoomForSpringsStillBuilds) {
  // Row 9 holds no solid cell, and no sequence can make one.
  auto cells = InterimCells();
  for (int x = 0; x < 32; ++x) cells.erase({x, 9});
  Pieces[26] = Piece(cells, {"61", ".", ".", ".", ".", "."});
  auto map = MakeMap();
  Randomize(3);
  ASSERT_TRUE(map->LoadLevel(2, false));
  int springs = 0;
  for (int c = 0; c < 34; ++c) springs += map->GetLogicalTile(c, 9) == 15;
  EXPECT_EQ(springs, 0);
  EXPECT_EQ(LogWith("No solid cell for a spring! (row 9)").size(), 2u);
}

TEST_F(MapTest, DotsOfTheZaRarozMode) {
  struct {
    const char* what;
    std::string line;
    std::vector<std::pair<int, int>> dots;  // map column, row
  } cases[] = {
      {"8", DotLine("8"), {{1, 0}}},
      {"F", DotLine("F"), {{1, 0}, {2, 0}, {3, 0}, {4, 0}}},
      {"last of row 0", DotLine("00000001"), {{32, 0}}},
      {"row 1", DotLine("000000004"), {{2, 1}}},
      {"last cell", std::string(175, '0') + "1", {{32, 21}}},
      {"not a digit", DotLine("G"), {{1, 0}, {2, 0}, {3, 0}, {4, 0}}},
      {"lower case", DotLine("0a"), {{5, 0}, {6, 0}, {7, 0}, {8, 0}}},
      {"longer line", DotLine("8") + "FFFF", {{1, 0}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Pieces[1] = Piece(ConstructionCells(), ConstructionExtra(1, c.line));
    auto map = MakeMap();
    MrRobotMode = true;
    Bar(0, 0, 639, 399, 0, 0, 0);
    ASSERT_TRUE(map->LoadLevel(1, false));
    EXPECT_EQ(map->DotCount, c.dots.size());
    std::vector<std::pair<int, int>> found;
    for (int row = 0; row < 22; ++row)
      for (int col = 0; col < 34; ++col)
        if (map->HasDotAt(X(col), Y(row))) found.emplace_back(col, row);
    std::sort(found.begin(), found.end(), [](auto a, auto b) { return std::tie(a.second, a.first) < std::tie(b.second, b.first); });
    EXPECT_EQ(found, c.dots);
    // Each dot is drawn even when the tiles are not.
    const auto [col, row] = c.dots.front();
    EXPECT_EQ(Screen(X(col) + 5, Y(row) + 5), kMoreBlocksColour);
  }
}

TEST_F(MapTest, DotsAreEatenOnce) {
  Pieces[1] = Piece(ConstructionCells(), ConstructionExtra(1, DotLine("C")));
  auto map = MakeMap();
  MrRobotMode = true;
  ASSERT_TRUE(map->LoadLevel(1, false));
  ASSERT_EQ(map->DotCount, 2);
  map->EatDotAt(X(1) + 3, Y(0) + 9);
  EXPECT_FALSE(map->HasDotAt(X(1), Y(0)));
  EXPECT_EQ(map->DotCount, 1);
  map->EatDotAt(X(1), Y(0));  // nothing left there
  map->EatDotAt(X(5), Y(0));
  map->EatDotAt(X(0), Y(0));  // border column: no dots
  map->EatDotAt(-500, 9000);
  EXPECT_EQ(map->DotCount, 1);
  map->EatDotAt(X(2), Y(0));
  EXPECT_EQ(map->DotCount, 0);
}

TEST_F(MapTest, NoDotsOutsideTheModeOrOnInterimLevels) {
  Pieces[1] = Piece(ConstructionCells(), ConstructionExtra(1, DotLine("FFFF")));
  auto map = MakeMap();
  MrRobotMode = false;
  ASSERT_TRUE(map->LoadLevel(1, false));
  EXPECT_EQ(map->DotCount, 0);
  EXPECT_FALSE(map->HasDotAt(X(1), Y(0)));
  MrRobotMode = true;
  ASSERT_TRUE(map->LoadLevel(1, false));
  EXPECT_EQ(map->DotCount, 16);
  ASSERT_TRUE(map->LoadLevel(2, false));  // the interim piece has no dot line at all
  EXPECT_EQ(map->DotCount, 0);
  EXPECT_FALSE(map->HasDotAt(X(1), Y(0)));
}

TEST_F(MapTest, LevelsThatCannotBeBuilt) {
  struct {
    const char* what;
    int level;
    bool robot;
    std::function<void(MapTest&)> spoil;
    std::string error;
  } cases[] = {
      {"missing piece", 9, false, [](MapTest& t) { t.Pieces.erase(5); }, "Level piece not found! (05.mpp)"},
      {"missing interim piece", 50, false, [](MapTest& t) { t.Pieces.erase(26); },
       "Level piece not found! (26.mpp)"},
      {"missing template", 1, false, [](MapTest& t) { std::remove((t.Folder / "empty.mpp").c_str()); },
       "Level template not found! (empty.mpp)"},
      {"narrow template", 1, false, [](MapTest& t) { t.WriteTemplate(Piece({}, {}, 31, 22)); },
       "Level template is not 32 by 22! (empty.mpp, 31 by 22)"},
      {"tall template", 1, false, [](MapTest& t) { t.WriteTemplate(Piece({}, {}, 32, 23)); },
       "Level template is not 32 by 22! (empty.mpp, 32 by 23)"},
      {"not a map", 1, false, [](MapTest& t) { t.WriteTemplate({'J', 'U', 'N', 'K'}); },
       "Level template is not 32 by 22! (empty.mpp, 0 by 0)"},
      {"five extra lines", 1, false,
       [](MapTest& t) { t.Pieces[1] = Piece(ConstructionCells(), {"60", ".", ".", ".", "."}); },
       "Level piece has too few extra lines! (5 of 6)"},
      {"no dot line", 1, true,
       [](MapTest& t) { t.Pieces[1] = Piece(ConstructionCells(), {"60", ".", ".", ".", ".", "."}); },
       "Level piece has too few extra lines! (6 of 7)"},
      {"short dot line", 3, true,
       [](MapTest& t) { t.Pieces[2] = Piece(ConstructionCells(), ConstructionExtra(2, std::string(175, 'F'))); },
       "Dot line shorter than 176 characters! (" + std::string(175, 'F') + ")"},
      {"background", 1, false,
       [](MapTest& t) { t.Pieces[1] = Piece(ConstructionCells(), {"sixty", ".", ".", ".", ".", "."}); },
       "Background number expected! (sixty)"},
      {"short record", 1, false,
       [](MapTest& t) { t.Pieces[1] = Piece(ConstructionCells(), {"60", ".", "1,2,3", ".", ".", "."}); },
       "Monster record expected! (1,2,3)"},
      {"record text", 1, false,
       [](MapTest& t) { t.Pieces[1] = Piece(ConstructionCells(), {"60", ".", ".", ".", ".", "1,2,3,4,5,x"}); },
       "Monster record expected! (1,2,3,4,5,x)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    for (int p = 1; p <= 27; ++p) Pieces[p] = DefaultPiece(p);
    WriteTemplate(Piece({}, {}));
    c.spoil(*this);
    auto map = MakeMap();
    MrRobotMode = c.robot;
    Bar(0, 0, 639, 399, 0, 0, 0);
    EXPECT_FALSE(map->LoadLevel(static_cast<uint8_t>(c.level), true));
    EXPECT_EQ(Log.Lines().back(), kLoadLevelError + c.error);
    // An empty level: nothing drawn, nothing to meet, every query safe.
    EXPECT_EQ(Screen(X(1) + 8, Y(21) + 8), 0u);
    EXPECT_EQ(map->DotCount, 0);
    EXPECT_EQ(map->MonsterStart(4).MonsterNumber, 0);
    EXPECT_TRUE(map->IsEmptyAt(X(1), Y(21)));
    EXPECT_FALSE(map->HasDotAt(X(1), Y(0)));
    EXPECT_EQ(map->ObjectAt(X(3), Y(20)), 0);
  }
}

TEST_F(MapTest, PiecesOfOtherSizesAreCutOrFilled) {
  std::map<std::pair<int, int>, char> big;
  for (int x = 0; x < 40; ++x) big[{x, 21}] = '!';
  big[{35, 25}] = '!';
  Pieces[2] = Piece(big, ConstructionExtra(2), 40, 30);
  Pieces[3] = Piece({{{5, 5}, '"'}}, ConstructionExtra(3), 6, 6);
  auto map = MakeMap();
  ASSERT_TRUE(map->LoadLevel(3, false));
  EXPECT_EQ(map->Width, 34);
  for (int c = 1; c <= 32; ++c) EXPECT_EQ(map->GetPhysicalTile(c, 21), kSolid);
  EXPECT_EQ(map->GetPhysicalTile(33, 21), 0);
  EXPECT_EQ(map->GetPhysicalTile(0, 21), 0);
  ASSERT_TRUE(map->LoadLevel(5, false));
  EXPECT_TRUE(map->IsWireAt(X(6), Y(5)));
  EXPECT_TRUE(map->IsEmptyAt(X(1), Y(21)));
}

TEST_F(MapTest, TilesAreDrawnOnlyWhenAsked) {
  auto map = MakeMap();
  ASSERT_TRUE(map->LoadLevel(1, false));
  EXPECT_EQ(Screen(X(3) + 8, Y(20) + 8), 0u);
  ASSERT_TRUE(map->LoadLevel(1, true));
  // A body piece lies on the floor it is set in: the row's floor in its
  // cell, the piece in the cell above. The eighth picture is no piece.
  EXPECT_EQ(Screen(X(3) + 8, Y(20) + 8), ObjColour(kSolid));
  EXPECT_EQ(Screen(X(3) + 8, Y(19) + 8), ObjColour(kFirstPiece));
  EXPECT_EQ(Screen(X(11) + 8, Y(20) + 8), ObjColour(kFirstPiece + 7));
  EXPECT_EQ(Screen(X(11) + 8, Y(19) + 8), 0u);
  EXPECT_EQ(Screen(X(1) + 8, Y(21) + 8), ObjColour(kSolid));
  EXPECT_EQ(Screen(X(32) + 15, Y(19) + 15), ObjColour(kSolid));
  EXPECT_EQ(Screen(X(5) + 8, Y(10) + 8), 0u);  // empty cells are not drawn
  EXPECT_EQ(Screen(X(0) + 8, Y(21) + 8), 0u);  // nor the border columns
}

TEST_F(MapTest, ClearedCellsShowWhatTheCellStillIs) {
  UseBricks();
  Pieces[1] = Piece(ConstructionCells(), ConstructionExtra(1, DotLine("8")));
  auto map = MakeMap();
  MrRobotMode = true;
  ASSERT_TRUE(map->LoadLevel(1, true));
  // A taken piece still carries him and shows the nearest plain floor of its
  // row; any other cell (an eaten dot) shows its own object again; an empty
  // cell is chequer (DarkBrick1 on even cells, DarkBrick2 on odd ones) with
  // the background picture, whose black half lets the chequer through.
  const uint32_t solid = ObjColour(kSolid);
  struct {
    int col, row;
    uint32_t left, right;  // pixels (2, 2) and (12, 2) of the cell
  } cells[] = {{3, 20, solid, solid},
               {9, 20, solid, solid},
               {5, 21, solid, solid},
               {13, 20, ObjColour(kWire), ObjColour(kWire)},
               {15, 20, ObjColour(kSpring), ObjColour(kSpring)},
               {11, 20, ObjColour(kFirstPiece + 7), ObjColour(kFirstPiece + 7)},  // the eighth picture is no piece
               {32, 0, 0x00A000u, ObjColour(kBackground)},
               {31, 0, 0x0000A0u, ObjColour(kBackground)}};
  for (const auto& c : cells) {
    SCOPED_TRACE(c.col);
    Bar(X(c.col), Y(c.row), X(c.col) + 15, Y(c.row) + 15, 0, 0, 0);
    map->ClearCell(X(c.col), Y(c.row));
    EXPECT_EQ(Screen(X(c.col) + 2, Y(c.row) + 2), c.left);
    EXPECT_EQ(Screen(X(c.col) + 12, Y(c.row) + 2), c.right);
  }
  // The piece drawn over the cell above a taken one goes with it.
  EXPECT_EQ(Screen(X(4) + 2, Y(19) + 2), ObjColour(kFirstPiece + 1));
  map->ClearCell(X(4), Y(20));
  EXPECT_EQ(Screen(X(4) + 2, Y(19) + 2), 0x0000A0u);
  EXPECT_EQ(Screen(X(4) + 12, Y(19) + 2), ObjColour(kBackground));
  // The dot is drawn over all.
  map->ClearCell(X(1), Y(0));
  EXPECT_EQ(Screen(X(1) + 2, Y(0) + 2), kMoreBlocksColour);

  TImagePtr background = CreateImageWH(516, 356);
  map->RedrawCell(X(4), Y(20), background.get());
  EXPECT_EQ(ImagePx(background.get(), X(4) - 62 + 2, Y(20) - 22 + 2), solid);
  EXPECT_EQ(ImagePx(background.get(), X(5) - 62 + 2, Y(20) - 22 + 2), 0u);  // only that cell
  map->RedrawCell(X(32), Y(0), background.get());
  EXPECT_EQ(ImagePx(background.get(), X(32) - 62 + 2, Y(0) - 22 + 2), 0x00A000u);
  EXPECT_EQ(ImagePx(background.get(), X(32) - 62 + 12, Y(0) - 22 + 2), ObjColour(kBackground));
  map->RedrawCell(X(1), Y(0), background.get());
  EXPECT_EQ(ImagePx(background.get(), X(1) - 62 + 4, Y(0) - 22 + 4), kMoreBlocksColour);
  map->RedrawCell(X(1), Y(0), nullptr);  // no target, nothing drawn
}

TEST_F(MapTest, ShowTypesWritesTwoDigitsPerCell) {
  // Digits 4 pixels wide, each in its own colour.
  NumbersFont = std::make_unique<TTGAFont>("no such font");
  NumbersFont->Image = CreateImageWH(40, 6);
  NumbersFont->Spacing = 0;
  auto digitColour = [](int d) { return 0x208040u + 0x100000u * static_cast<uint32_t>(d); };
  for (int d = 0; d < 10; ++d) {
    const uint32_t c = digitColour(d);
    ImageBar(NumbersFont->Image.get(), 4 * d, 0, 4 * d + 3, 5, uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c));
    NumbersFont->Glyphs['0' + d] = TGlyphRect{4 * d, 0, 4 * d + 3, 5};
  }
  auto map = MakeMap();
  ASSERT_TRUE(map->LoadLevel(1, false));
  map->ShowTypes();
  struct {
    int col, row, type;
  } cells[] = {{0, 10, 1}, {5, 10, 0}, {3, 20, 7}, {15, 20, 15}, {25, 4, 16}, {33, 0, 1}, {11, 20, 14}};
  for (const auto& c : cells) {
    SCOPED_TRACE(c.col * 100 + c.row);
    const int x = 16 * c.col + 56;
    const int y = 16 * c.row + 28;
    EXPECT_EQ(Screen(x + 1, y + 1), digitColour(c.type / 10));
    EXPECT_EQ(Screen(x + 5, y + 4), digitColour(c.type % 10));
  }
  // Without the font the overlay draws nothing.
  NumbersFont.reset();
  Bar(0, 0, 639, 399, 0, 0, 0);
  map->ShowTypes();
  EXPECT_EQ(Screen(57, 29), 0u);
}

}  // namespace
