#pragma once
// Tile maps: a rectangle of cells holding tile numbers, a few texts, free
// extra lines and a table that turns physical tile numbers into logical ones.
// Four file formats share the magic "MAP" + letter: "MAPB" (8-bit tiles),
// "MAPW" (16-bit tiles), "MAPT" (one character per tile) and "MAPX" (four
// hexadecimal digits per tile).
//
// Two layers of the same size: the physical layer holds the numbers as
// stored in the file (drawing and saving read it), the logical layer what a
// cell means (derived through the wrap table by RebuildLogical).

#include <cstdint>
#include <string>
#include <vector>

class TStream;

struct TLogicalWrap {
  int32_t FromTile = 0;
  int32_t ToTile = 0;
};

class TXMap {
 public:
  TXMap();
  virtual ~TXMap();
  TXMap(const TXMap&) = delete;
  TXMap& operator=(const TXMap&) = delete;

  // Reads a map of any format from the stream's current position. LastResult
  // tells how it went ("OK" when nothing was wrong).
  virtual void Load(TStream& stream);
  // Through the stream lookup; a name found nowhere leaves the map as it was.
  virtual void Load(const std::string& fileName);
  // Mode "A" (automatic), "B", "T", "W" or "X", any case. A map that the
  // asked format cannot hold exactly is written in one that can, with a
  // warning; when none can, nothing is written and an error is logged.
  // Returns the format letter written, or 0 when nothing was written.
  virtual char Save(TStream& stream, char mode);
  // Creates (truncates) the file only when the map can be written.
  virtual char Save(const std::string& fileName, char mode);

  // The readers, called with the stream just after the 4 magic bytes.
  void LoadMAPB(TStream& stream);
  void LoadMAPW(TStream& stream);
  void LoadMAPT(TStream& stream);
  void LoadMAPX(TStream& stream);
  // The writers, each with its own magic. Each refuses (error line, nothing
  // written, false) a map its format cannot hold exactly.
  bool SaveMAPB(TStream& stream);
  bool SaveMAPW(TStream& stream);
  bool SaveMAPT(TStream& stream);
  bool SaveMAPX(TStream& stream);

  // Frees both layers (when allocated), empties ExtraLines and LogicalWraps.
  void Clear();

  // Cells outside the map read as 0 and ignore writes.
  int32_t GetLogicalTile(int32_t x, int32_t y) const;
  int32_t GetPhysicalTile(int32_t x, int32_t y) const;
  void SetLogicalTile(int32_t x, int32_t y, int32_t value);
  void SetPhysicalTile(int32_t x, int32_t y, int32_t value);

  void SetVersion(uint16_t value);
  uint16_t GetVersion() const { return Version; }
  void SetGameID(uint16_t value);
  uint16_t GetGameID() const { return GameID; }

  void AddLogicalWrap(int32_t fromTile, int32_t toTile);
  void RebuildLogical();
  bool TilesFitInByte() const;
  // Zero-filled layers of the new size holding the old rows at their old
  // places. Shrinking is refused with an error line.
  void Grow(int32_t newWidth, int32_t newHeight);
  // Moves every physical cell forward in row-major order by dy * Width + dx
  // places, wrapping around; the logical layer is left all zeros.
  void RotateCells(int32_t dx, int32_t dy);

  // Why the map cannot be written exactly in the format `letter` ("B", "T",
  // "W" or "X"), or "" when it can.
  std::string CannotHold(char letter) const;

  // Largest map a reader accepts (and so a writer writes).
  static constexpr int32_t MaxSide = 65535;
  static constexpr int64_t MaxCells = 4 * 1024 * 1024;

  bool Allocated = false;
  int32_t Width = 0;
  int32_t Height = 0;
  std::vector<int32_t> LogicalTiles;
  std::vector<int32_t> PhysicalTiles;
  std::string LastResult = "OK";
  std::vector<std::string> ExtraLines;
  std::vector<TLogicalWrap> LogicalWraps;
  uint16_t Version = 0;
  uint16_t GameID = 255;
  std::string MapName = "Unknown";
  std::string Author = "Unknown";
  std::string GameName = "Unknown";

 private:
  void LoadBytes(TStream& stream, int size);
  void LoadText(TStream& stream, bool hex);
  bool SaveBytes(TStream& stream, int size);
  bool SaveText(TStream& stream, bool hex);
  // The game text as the files carry it (with the version and game-ID bytes
  // in front when a game ID is set).
  std::string StoredGameName() const;
  // Resizes the physical layer to Width x Height, keeping the cells that stay
  // inside, empties the logical layer for RebuildLogical, and marks the
  // layers allocated.
  void Reshape(int32_t oldWidth, int32_t oldHeight);
  // The state of an empty map after a failed load, with `why` kept in
  // LastResult and logged as a warning at `location`.
  void FailLoad(const std::string& why, const std::string& location);
};

void XMapUnit_Startup();
