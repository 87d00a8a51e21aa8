#pragma once
// The level being played: a tile map whose physical layer holds object
// numbers (which picture) and whose logical layer holds object types (what
// the cell does). Each level is assembled from one piece of the map pack, the
// empty template and a few random choices, and is asked, by screen pixel,
// what lies where.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "XMapUnit.h"
#include "ZR_SDL.h"

class TXMapPack;

// The names the pieces of the map pack give the construction maps 1, 3, ..
// 49, in that order; empty for a piece that is missing or has no name.
std::vector<std::string> ConstructionMapNames();

// Where a monster patrols: playfield columns count from 0 at screen x 64.
struct TMonsterStart {
  uint8_t LeftColumn = 0;
  uint8_t Row = 0;
  uint8_t RightColumn = 0;
  uint8_t StartColumn = 0;
  int8_t Speed = 0;
  uint8_t MonsterNumber = 0;  // 0: no monster
};
static_assert(sizeof(TMonsterStart) == 6);

// Object types of the logical layer.
enum : int32_t {
  otEmpty = 0,
  otSolid = 1,
  otWire = 2,
  otIce = 3,
  otTransporter = 4,
  otSlowFloor = 5,
  otTrapdoor = 6,
  otFirstPiece = 7,
  otLastPiece = 13,
  otEighthPiece = 14,
  otSpring = 15,
  otExit = 16,
};

class TMap : public TXMap {
 public:
  // Loads the map pack "Zapkin.mpk".
  TMap();
  ~TMap() override;

  static constexpr int32_t Columns = 34;  // with the two invisible border columns
  static constexpr int32_t Rows = 22;
  static constexpr int32_t MonsterSlots = 5;
  static constexpr int32_t DotLineLength = 176;

  // Builds level 1..50 (or 53, the end screens' stage) and, with drawTiles,
  // draws its tiles into the back buffer. False, with an error line naming
  // what is missing, when the level cannot be built from the data.
  bool LoadLevel(uint8_t level, bool drawTiles);
  // The pack piece level `level` is built from ("02.mpp" for level 3).
  static std::string PieceFile(uint8_t level, bool interim);

  // Queries by screen pixel.
  bool IsEmptyAt(int32_t x, int32_t y) const { return TypeAt(x, y) == otEmpty; }
  bool IsWireAt(int32_t x, int32_t y) const { return TypeAt(x, y) == otWire; }
  bool IsIceAt(int32_t x, int32_t y) const { return TypeAt(x, y) == otIce; }
  bool IsTransporterAt(int32_t x, int32_t y) const { return TypeAt(x, y) == otTransporter; }
  bool IsSlowFloorAt(int32_t x, int32_t y) const { return TypeAt(x, y) == otSlowFloor; }
  bool IsTrapdoorAt(int32_t x, int32_t y) const { return TypeAt(x, y) == otTrapdoor; }
  bool IsSpringAt(int32_t x, int32_t y) const { return TypeAt(x, y) == otSpring; }
  bool IsExitAt(int32_t x, int32_t y) const { return TypeAt(x, y) == otExit; }
  // The body piece (1..7) of the cell, 0 for any other.
  uint16_t ObjectAt(int32_t x, int32_t y) const;
  bool HasDotAt(int32_t x, int32_t y) const;
  void EatDotAt(int32_t x, int32_t y);
  uint16_t ObjectNumberAt(int32_t x, int32_t y) const;
  void NextObjectAt(int32_t x, int32_t y);
  void RetypeAt(int32_t x, int32_t y);

  // The object number last seen with type 6 + n (n 1..8); 0 outside.
  int32_t PieceTile(int32_t n) const;
  // Slots above 4 read as slot 0.
  TMonsterStart MonsterStart(uint32_t slot) const;

  // Redraws the cell whose top left is the pixel (x, y) without its object:
  // on the back buffer, or on the playfield copy whose origin is (62, 22).
  void ClearCell(int32_t x, int32_t y);
  void RedrawCell(int32_t x, int32_t y, PImage target);
  // Debug overlay: every cell's type in two digits.
  void ShowTypes();

  static int32_t ColumnOf(int32_t x) { return (x - 48) / 16; }
  static int32_t RowOf(int32_t y) { return (y - 24) / 16; }

  uint16_t DotCount = 0;
  // The name its piece gives the level last built; empty when it has none.
  std::string PieceName;
  uint8_t BackgroundNumber = 0;
  TMonsterStart MonsterStarts[MonsterSlots] = {};
  int32_t PieceTiles[8] = {};
  uint8_t Dots[Columns - 2][Rows] = {};  // map columns 1..32
  std::unique_ptr<TXMapPack> Pack;

 private:
  int32_t TypeAt(int32_t x, int32_t y) const { return GetLogicalTile(ColumnOf(x), RowOf(y)); }
  // The Dots entry of the cell at a pixel, or null outside columns 1..32.
  uint8_t* DotAt(int32_t x, int32_t y);
  const uint8_t* DotAt(int32_t x, int32_t y) const;
  bool Fail(const std::string& message);
  bool BuildCells(uint8_t level, bool interim);
  void DressInterim();
  void PlaceSprings();
  void ReadDots();
  // The object a cleared cell still shows: its own, or for a taken piece the
  // floor around it; 0 for none.
  int32_t ClearedCellFloor(int32_t x, int32_t y) const;
  // A body piece is drawn lying on its floor cell, in the cell above, when
  // there is a floor to show under it.
  bool PieceLiesAbove(int32_t x, int32_t y) const;
  // The pictures of a cleared cell (and of the cell above, for a piece
  // drawn there), each drawn by `put`(x, y, image).
  template <class Put>
  void DrawClearedCell(int32_t x, int32_t y, Put put);
};
