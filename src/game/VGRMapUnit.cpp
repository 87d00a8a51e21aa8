#include "VGRMapUnit.h"

#include <cstdio>
#include <cstring>

#include "ImageCollectionUnit.h"
#include "Logger.h"
#include "SystemUnit.h"
#include "VGRGameValues.h"
#include "VGRResourceTypesUnit.h"
#include "XMapPackUnit.h"
#include "ZRFonts.h"
#include "ZRStream3.h"
#include "ZRToolbox.h"

namespace {

const char* const kLoadLevelLoc = "VGRMapUnit, TMap.LoadLevel";
const char* const kPackFile = "Zapkin.mpk";
const char* const kTemplateFile = "empty.mpp";

constexpr int32_t kPieceColumns = 32;
constexpr int32_t kFirstVisibleColumn = 1;
constexpr int32_t kLastVisibleColumn = 32;
constexpr int32_t kInterimPiece = 26;
// The rows an interim map dresses with a sequence and two springs.
constexpr int32_t kInterimRows[6] = {6, 9, 12, 15, 18, 21};
// Invisible walls over the top four rows of a construction map, by column.
const char kTopWalls[] = "11100000000000000000000001111111";

int32_t ScreenX(int32_t column) { return 48 + 16 * column; }
int32_t ScreenY(int32_t row) { return 24 + 16 * row; }

// The bits of one digit of the dot line. The dot line knows upper-case
// digits only: anything but "0"-"9" and "A"-"F", lower case included, marks
// all four of its cells.
int DotDigit(char c) {
  const int d = HexDigitValue(c, false);
  return d < 0 ? 15 : d;
}

// A monster record line: ".", or Row, LeftColumn, RightColumn, StartColumn,
// Speed and MonsterNumber separated by ",".
bool ParseMonsterRecord(const std::string& line, TMonsterStart& start) {
  start = TMonsterStart{};
  if (line == ".") return true;
  std::string rest = line;
  if (rest.empty() || rest.back() != ',') rest += ',';
  int32_t v[6];
  for (int32_t& value : v) {
    const std::size_t comma = rest.find(',');
    if (comma == std::string::npos || !TryStrToInt(rest.substr(0, comma), value)) return false;
    rest.erase(0, comma + 1);
  }
  start.Row = static_cast<uint8_t>(v[0]);
  start.LeftColumn = static_cast<uint8_t>(v[1]);
  start.RightColumn = static_cast<uint8_t>(v[2]);
  start.StartColumn = static_cast<uint8_t>(v[3]);
  start.Speed = static_cast<int8_t>(static_cast<uint8_t>(v[4]));
  start.MonsterNumber = static_cast<uint8_t>(v[5]);
  return true;
}

// A piece without a name line reads as "Unknown", which is no name to show.
std::string NameOf(const TXMap& map) { return map.MapName == "Unknown" ? std::string() : map.MapName; }

std::string PieceFileName(int32_t piece) {
  char name[16];
  std::snprintf(name, sizeof name, "%02d.mpp", piece);
  return name;
}

PImage ObjectImage(int32_t number) {
  return Resources ? Resources->Images->FindImage(std::to_string(number)) : nullptr;
}

}  // namespace

TMap::TMap() : Pack(std::make_unique<TXMapPack>()) { Pack->Load(kPackFile); }

std::vector<std::string> ConstructionMapNames() {
  TXMapPack pack;
  pack.Load(kPackFile);
  std::vector<std::string> names;
  for (int32_t piece = 1; piece <= 25; ++piece) {
    const std::unique_ptr<TXMap> map = pack.GetMap(PieceFileName(piece));
    names.push_back(map ? NameOf(*map) : std::string());
  }
  return names;
}

TMap::~TMap() { Pack.reset(); }

bool TMap::Fail(const std::string& message) {
  Log->Error(message, kLoadLevelLoc);
  // An empty level: nothing to stand on, nothing to collect, no monsters.
  Clear();
  Width = Columns;
  Height = Rows;
  LogicalTiles.assign(static_cast<std::size_t>(Columns) * Rows, 0);
  PhysicalTiles.assign(LogicalTiles.size(), 0);
  Allocated = true;
  for (TMonsterStart& m : MonsterStarts) m = TMonsterStart{};
  std::memset(Dots, 0, sizeof Dots);
  DotCount = 0;
  return false;
}

bool TMap::LoadLevel(uint8_t level, bool drawTiles) {
  const bool interim = level % 2 == 0;
  if (!Resources) return Fail("No object definitions loaded!");
  if (!BuildCells(level, interim)) return false;

  // Everything the extra lines must hold is checked before the level is
  // dressed or drawn, so a level that cannot be built leaves no trace.
  const bool dotted = !interim && MrRobotMode;
  const std::size_t needed = dotted ? 7 : 6;
  if (ExtraLines.size() < needed) {
    return Fail("Level piece has too few extra lines! (" + std::to_string(ExtraLines.size()) + " of " +
                std::to_string(needed) + ")");
  }
  int32_t background = 0;
  if (!TryStrToInt(ExtraLines[0], background)) return Fail("Background number expected! (" + ExtraLines[0] + ")");
  TMonsterStart records[MonsterSlots];
  for (int32_t slot = 0; slot < MonsterSlots; ++slot) {
    if (!ParseMonsterRecord(ExtraLines[static_cast<std::size_t>(slot) + 1], records[slot])) {
      return Fail("Monster record expected! (" + ExtraLines[static_cast<std::size_t>(slot) + 1] + ")");
    }
  }
  if (dotted && ExtraLines[6].size() < static_cast<std::size_t>(DotLineLength)) {
    return Fail("Dot line shorter than " + std::to_string(DotLineLength) + " characters! (" + ExtraLines[6] + ")");
  }

  if (interim) DressInterim();
  for (int32_t y = 0; y < Rows; ++y) {
    for (int32_t x = 0; x < Columns; ++x) {
      const int32_t number = GetPhysicalTile(x, y);
      if (number == 0) continue;
      const int32_t type = Resources->TypeOfNumber(number);
      SetLogicalTile(x, y, type);
      if (type >= otFirstPiece && type <= otEighthPiece) PieceTiles[type - otFirstPiece] = number;
    }
  }
  for (int32_t y = 0; y < Rows; ++y) {
    SetLogicalTile(0, y, otSolid);
    SetLogicalTile(Columns - 1, y, otSolid);
  }
  if (interim) PlaceSprings();

  if (drawTiles) {
    for (int32_t y = 0; y < Rows; ++y) {
      for (int32_t x = kFirstVisibleColumn; x <= kLastVisibleColumn; ++x) {
        const int32_t number = GetPhysicalTile(x, y);
        if (number == 0) continue;
        if (PieceLiesAbove(ScreenX(x), ScreenY(y))) {
          // A piece is taken from the floor he stands on: the floor goes on
          // under it, and the piece lies on top of it, where he walks in.
          PutImage(ScreenX(x), ScreenY(y), ObjectImage(ClearedCellFloor(ScreenX(x), ScreenY(y))));
          PutImage(ScreenX(x), ScreenY(y - 1), ObjectImage(number));
        } else {
          PutImage(ScreenX(x), ScreenY(y), ObjectImage(number));
        }
      }
    }
  }

  if (interim) {
    SetLogicalTile(30, 3, otExit);
    SetLogicalTile(31, 2, otSolid);
  } else {
    for (int32_t y = 0; y < 4; ++y) {
      for (int32_t x = 1; x <= 32; ++x) {
        if (kTopWalls[x - 1] == '1') SetLogicalTile(x, y, otSolid);
      }
    }
    SetLogicalTile(25, 4, otExit);
  }

  BackgroundNumber = static_cast<uint8_t>(background);
  for (int32_t slot = 0; slot < MonsterSlots; ++slot) MonsterStarts[slot] = records[slot];
  if (interim) {
    for (int32_t slot = 0; slot < 4; ++slot) {
      TMonsterStart& m = MonsterStarts[slot];
      m.StartColumn = static_cast<uint8_t>(Random(27) + 2);
      bool used = true;
      while (used) {
        m.MonsterNumber = static_cast<uint8_t>(Random(20) + 1);
        used = false;
        for (int32_t earlier = 0; earlier < slot; ++earlier) {
          if (MonsterStarts[earlier].MonsterNumber == m.MonsterNumber) used = true;
        }
      }
      do {
        m.Speed = static_cast<int8_t>(static_cast<int32_t>(Random(9)) - 4);
      } while (m.Speed == 0);
    }
  }

  std::memset(Dots, 0, sizeof Dots);
  DotCount = 0;
  if (dotted) ReadDots();
  return true;
}

std::string TMap::PieceFile(uint8_t level, bool interim) {
  const int32_t piece = interim ? kInterimPiece : (level - 1) / 2 + 1;
  return PieceFileName(piece);
}

bool TMap::BuildCells(uint8_t level, bool interim) {
  const std::string name = PieceFile(level, interim);
  std::unique_ptr<TXMap> map = Pack->GetMap(name);
  PieceName = map ? NameOf(*map) : std::string();
  if (!map) return Fail("Level piece not found! (" + name + ")");

  auto stream = ZROpenStream(kTemplateFile);
  if (!stream) return Fail(std::string("Level template not found! (") + kTemplateFile + ")");
  Load(*stream);
  stream.reset();
  if (Width != kPieceColumns || Height != Rows || PhysicalTiles.size() != std::size_t(kPieceColumns) * Rows) {
    return Fail(std::string("Level template is not 32 by 22! (") + kTemplateFile + ", " + std::to_string(Width) +
                " by " + std::to_string(Height) + ")");
  }

  for (int32_t y = 0; y < Rows; ++y) {
    for (int32_t x = 0; x < kPieceColumns; ++x) SetPhysicalTile(x, y, map->GetPhysicalTile(x, y));
  }
  ExtraLines.insert(ExtraLines.end(), map->ExtraLines.begin(), map->ExtraLines.end());
  map.reset();

  Grow(Columns, Rows);
  RotateCells(1, 0);
  // Pieces are text maps: the blank character is the empty cell.
  for (int32_t& cell : PhysicalTiles) {
    if (cell != 0) cell -= 32;
  }
  return true;
}

void TMap::DressInterim() {
  const int32_t tile = Resources->RandomTile();
  for (int32_t y = 0; y < Rows; ++y) {
    for (int32_t x = kFirstVisibleColumn; x <= kLastVisibleColumn; ++x) {
      if (Resources->TypeOfNumber(GetPhysicalTile(x, y)) == otSolid) SetPhysicalTile(x, y, tile);
    }
  }
  for (int32_t row : kInterimRows) {
    const std::string sequence = Resources->RandomInterimSequence();
    const int32_t start = static_cast<int32_t>(Random(static_cast<uint32_t>(25 - sequence.size()))) + 5;
    for (std::size_t i = 0; i < sequence.size(); ++i) {
      SetPhysicalTile(start + static_cast<int32_t>(i), row, static_cast<uint8_t>(sequence[i]));
    }
  }
}

void TMap::PlaceSprings() {
  bool springDefined = false;
  for (int32_t i = 0; i < Resources->Count(); ++i) springDefined = springDefined || Resources->ItemType(i) == otSpring;
  if (!springDefined) {
    Log->Warning("No spring object defined! (objects.lst)", kLoadLevelLoc);
    return;
  }
  for (int32_t row : kInterimRows) {
    for (int spring = 0; spring < 2; ++spring) {
      // The draws below only end when the row offers a solid cell.
      bool solid = false;
      for (int32_t c = 11; c <= 30; ++c) solid = solid || GetLogicalTile(c, row) == otSolid;
      if (!solid) {
        Log->Warning("No solid cell for a spring! (row " + std::to_string(row) + ")", kLoadLevelLoc);
        continue;
      }
      int32_t column = 0;
      do {
        column = static_cast<int32_t>(Random(20)) + 11;
      } while (GetLogicalTile(column, row) != otSolid);
      int32_t index = 0;
      do {
        index = static_cast<int32_t>(Random(static_cast<uint32_t>(Resources->Count())));
      } while (Resources->ItemType(index) != otSpring);
      SetPhysicalTile(column, row, Resources->ItemNumber(index));
      SetLogicalTile(column, row, otSpring);
    }
  }
}

void TMap::ReadDots() {
  const std::string& line = ExtraLines[6];
  PImage dot = Resources->MoreBlocks.get();
  for (int32_t row = 0; row < Rows; ++row) {
    for (int32_t x = 0; x < kPieceColumns; ++x) {
      const int32_t i = row * kPieceColumns + x;
      if ((DotDigit(line[static_cast<std::size_t>(i / 4)]) & (8 >> (i % 4))) == 0) continue;
      Dots[x][row] = 1;
      PutImage(64 + 16 * x, 24 + 16 * row, dot);
      ++DotCount;
    }
  }
}

// ---------------------------------------------------------------- queries

uint16_t TMap::ObjectAt(int32_t x, int32_t y) const {
  const int32_t type = TypeAt(x, y);
  return type >= otFirstPiece && type <= otLastPiece ? static_cast<uint16_t>(type - 6) : 0;
}

uint8_t* TMap::DotAt(int32_t x, int32_t y) {
  return const_cast<uint8_t*>(static_cast<const TMap*>(this)->DotAt(x, y));
}

const uint8_t* TMap::DotAt(int32_t x, int32_t y) const {
  const int32_t c = ColumnOf(x);
  const int32_t r = RowOf(y);
  if (c < kFirstVisibleColumn || c > kLastVisibleColumn || r < 0 || r >= Rows) return nullptr;
  return &Dots[c - 1][r];
}

bool TMap::HasDotAt(int32_t x, int32_t y) const {
  const uint8_t* dot = DotAt(x, y);
  return dot && *dot == 1;
}

void TMap::EatDotAt(int32_t x, int32_t y) {
  uint8_t* dot = DotAt(x, y);
  // Only a dot that is there counts down: the exit opens at zero.
  if (!dot || *dot == 0) return;
  *dot = 0;
  --DotCount;
}

uint16_t TMap::ObjectNumberAt(int32_t x, int32_t y) const {
  return static_cast<uint16_t>(GetPhysicalTile(ColumnOf(x), RowOf(y)));
}

void TMap::NextObjectAt(int32_t x, int32_t y) {
  const int32_t c = ColumnOf(x);
  const int32_t r = RowOf(y);
  SetPhysicalTile(c, r, GetPhysicalTile(c, r) + 1);
}

void TMap::RetypeAt(int32_t x, int32_t y) {
  const int32_t c = ColumnOf(x);
  const int32_t r = RowOf(y);
  const int32_t number = GetPhysicalTile(c, r);
  SetLogicalTile(c, r, number == 0 || !Resources ? 0 : Resources->TypeOfNumber(number));
}

int32_t TMap::PieceTile(int32_t n) const { return n >= 1 && n <= 8 ? PieceTiles[n - 1] : 0; }

TMonsterStart TMap::MonsterStart(uint32_t slot) const { return MonsterStarts[slot < MonsterSlots ? slot : 0]; }

// ---------------------------------------------------------------- drawing

int32_t TMap::ClearedCellFloor(int32_t x, int32_t y) const {
  const int32_t c = ColumnOf(x), r = RowOf(y);
  const int32_t type = GetLogicalTile(c, r);
  const int32_t number = GetPhysicalTile(c, r);
  // An eaten dot leaves the cell as it is, spring, wire or floor.
  if (type < otFirstPiece || type > otLastPiece) return number;
  // A taken piece leaves a cell that still carries him: it shows the floor
  // the piece was set in, the nearest plain floor of its row.
  for (int32_t d = 1; d < Columns; ++d) {
    for (int32_t n : {c - d, c + d}) {
      if (n >= kFirstVisibleColumn && n <= kLastVisibleColumn && GetLogicalTile(n, r) == otSolid) {
        return GetPhysicalTile(n, r);
      }
    }
  }
  return 0;
}

bool TMap::PieceLiesAbove(int32_t x, int32_t y) const {
  const int32_t type = GetLogicalTile(ColumnOf(x), RowOf(y));
  return type >= otFirstPiece && type <= otLastPiece && RowOf(y) > 0 && ClearedCellFloor(x, y) != 0;
}

template <class Put>
void TMap::DrawClearedCell(int32_t x, int32_t y, Put put) {
  const auto wall = [this, &put](int32_t cx, int32_t cy) {
    const bool even = ((cx - 64) / 16 + (cy - 24) / 16) % 2 == 0;
    if (ImageCollection) put(cx, cy, ImageCollection->FindImage(even ? "DarkBrick1" : "DarkBrick2"));
    put(cx, cy, ObjectImage(BackgroundNumber));
  };
  // The piece drawn on top of the cell goes with it; what was behind it, a
  // decoration or the bare wall, shows again.
  if (PieceLiesAbove(x, y)) {
    wall(x, y - 16);
    if (const int32_t above = ObjectNumberAt(x, y - 16); above != 0) put(x, y - 16, ObjectImage(above));
    if (HasDotAt(x, y - 16) && Resources) put(x, y - 16, Resources->MoreBlocks.get());
  }
  wall(x, y);
  if (const int32_t floor = ClearedCellFloor(x, y); floor != 0) put(x, y, ObjectImage(floor));
  if (HasDotAt(x, y) && Resources) put(x, y, Resources->MoreBlocks.get());
}

void TMap::ClearCell(int32_t x, int32_t y) {
  DrawClearedCell(x, y, [](int32_t px, int32_t py, PImage image) { PutImage(px, py, image); });
}

void TMap::RedrawCell(int32_t x, int32_t y, PImage target) {
  if (!target) return;
  DrawClearedCell(x, y, [target](int32_t px, int32_t py, PImage image) {
    PutImageOnImage(target, px - 62, py - 22, image);
  });
}

void TMap::ShowTypes() {
  if (!NumbersFont) return;
  for (int32_t c = 0; c < Columns; ++c) {
    for (int32_t r = 0; r < Rows; ++r) {
      const long long type = GetLogicalTile(c, r);
      char text[24];
      std::snprintf(text, sizeof text, "%s%02lld", type < 0 ? "-" : "", type < 0 ? -type : type);
      NumbersFont->TextOut(text, 16 * c + 56, 16 * r + 28, taLeft);
    }
  }
}
