#include "XMapUnit.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <unordered_map>

#include "Logger.h"
#include "ZRINIFile.h"
#include "ZRStream3.h"
#include "ZRToolbox.h"

namespace {

const char* const kLoadLoc = "XMapUnit, TXMap.Load";
const char* const kSaveLoc = "XMapUnit, TXMap.Save";
const char* const kUnknown = "Unknown";

// The integer parser of the map texts allows leading blanks, and tells a
// number too large for 32 bits from no number at all.
TDecimal ParseMapNumber(const std::string& s, int64_t& value) {
  TDecimalRule rule;
  rule.Blanks = TDecimalRule::LeadingBlanks;
  return ParseDecimal(s, value, rule);
}

bool ParseHex4(const std::string& s, std::size_t pos, int32_t& value) {
  if (pos + 4 > s.size()) return false;
  int32_t v = 0;
  for (std::size_t i = pos; i < pos + 4; ++i) {
    const char c = s[i];
    const int d = HexDigitValue(c);
    if (d < 0) return false;
    v = v * 16 + d;
  }
  value = v;
  return true;
}

// A wrap value as the text formats write it: zero-padded to `digits`
// characters, negative values as "-" and one digit fewer.
std::string PadDecimal(int32_t v, int digits) {
  char buf[24];
  if (v < 0) {
    std::snprintf(buf, sizeof buf, "-%0*d", digits - 1, -v);
  } else {
    std::snprintf(buf, sizeof buf, "%0*d", digits, v);
  }
  return buf;
}

// As "%04X" would write it, without a formatted print per cell: a hex map of
// 65,535 cells is saved in one pass.
void AppendHexCell(std::string& s, int32_t v) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  auto u = static_cast<uint32_t>(v);
  char buf[8];
  int n = 0;
  do {
    buf[n++] = kDigits[u & 15];
    u >>= 4;
  } while (u != 0 || n < 4);
  while (n > 0) s += buf[--n];
}

bool HasLineFeed(const std::string& s) { return s.find('\n') != std::string::npos; }

}  // namespace

TXMap::TXMap() = default;

TXMap::~TXMap() { Clear(); }

void TXMap::Clear() {
  if (Allocated) {
    LogicalTiles.clear();
    PhysicalTiles.clear();
  }
  ExtraLines.clear();
  LogicalWraps.clear();
}

// ---------------------------------------------------------------- cells

int32_t TXMap::GetLogicalTile(int32_t x, int32_t y) const {
  if (x < 0 || y < 0 || x >= Width || y >= Height) return 0;
  const std::size_t i = static_cast<std::size_t>(y) * Width + x;
  return i < LogicalTiles.size() ? LogicalTiles[i] : 0;
}

int32_t TXMap::GetPhysicalTile(int32_t x, int32_t y) const {
  if (x < 0 || y < 0 || x >= Width || y >= Height) return 0;
  const std::size_t i = static_cast<std::size_t>(y) * Width + x;
  return i < PhysicalTiles.size() ? PhysicalTiles[i] : 0;
}

void TXMap::SetLogicalTile(int32_t x, int32_t y, int32_t value) {
  if (x < 0 || y < 0 || x >= Width || y >= Height) return;
  const std::size_t i = static_cast<std::size_t>(y) * Width + x;
  if (i < LogicalTiles.size()) LogicalTiles[i] = value;
}

void TXMap::SetPhysicalTile(int32_t x, int32_t y, int32_t value) {
  if (x < 0 || y < 0 || x >= Width || y >= Height) return;
  const std::size_t i = static_cast<std::size_t>(y) * Width + x;
  if (i < PhysicalTiles.size()) PhysicalTiles[i] = value;
}

void TXMap::SetVersion(uint16_t value) {
  if (value < 1024) {
    Version = value;
  } else {
    Log->Error("Can't set this version number (" + std::to_string(value) + "). Max: 1023",
               "XMapUnit, TXMap.SetVersion");
  }
}

void TXMap::SetGameID(uint16_t value) {
  if (value < 64) {
    GameID = value;
  } else {
    Log->Error("Invalid gameID! (" + std::to_string(value) + ", Max: 63)", "XMapUnit, TXMap.SetGameID");
  }
}

void TXMap::AddLogicalWrap(int32_t fromTile, int32_t toTile) {
  Log->Debug(std::to_string(fromTile) + ", " + std::to_string(toTile), "XMapUnit, AddLogicalWrap");
  LogicalWraps.push_back({fromTile, toTile});
}

void TXMap::RebuildLogical() {
  // Most maps carry no wraps: a copy is all, and a map of millions of cells
  // then loads without a table lookup per cell.
  if (LogicalWraps.empty()) {
    LogicalTiles = PhysicalTiles;
    return;
  }
  // The first wrap of a physical number wins. Wrapped numbers lie close
  // together (tile numbers, at most five decimal digits in any format), so a
  // table indexed by number keeps this linear and cheap per cell even for the
  // 65535 wraps a MAPW file may carry. Numbers spread wider, or a table much
  // larger than the map and its wraps (a small map whose wraps name tiles 0
  // and 99999), take a hash table: the table would cost more to clear than
  // the whole lookup.
  const auto [lo, hi] = std::minmax_element(LogicalWraps.begin(), LogicalWraps.end(),
                                            [](const TLogicalWrap& a, const TLogicalWrap& b) { return a.FromTile < b.FromTile; });
  const int64_t low = lo->FromTile;
  const int64_t span = int64_t{hi->FromTile} - low + 1;
  const auto work = static_cast<int64_t>(PhysicalTiles.size() + LogicalWraps.size());
  LogicalTiles.resize(PhysicalTiles.size());
  if (span <= (1 << 18) && span <= 4 * work + 4096) {
    std::vector<int32_t> to(static_cast<std::size_t>(span));
    std::vector<uint8_t> set(static_cast<std::size_t>(span), 0);
    for (const TLogicalWrap& w : LogicalWraps) {
      const auto k = static_cast<std::size_t>(w.FromTile - low);
      if (!set[k]) {
        set[k] = 1;
        to[k] = w.ToTile;
      }
    }
    for (std::size_t i = 0; i < PhysicalTiles.size(); ++i) {
      const int32_t p = PhysicalTiles[i];
      const int64_t k = int64_t{p} - low;
      LogicalTiles[i] = k >= 0 && k < span && set[static_cast<std::size_t>(k)] ? to[static_cast<std::size_t>(k)] : p;
    }
    return;
  }
  std::unordered_map<int32_t, int32_t> first;
  first.reserve(LogicalWraps.size());
  for (const TLogicalWrap& w : LogicalWraps) first.emplace(w.FromTile, w.ToTile);
  for (std::size_t i = 0; i < PhysicalTiles.size(); ++i) {
    const int32_t p = PhysicalTiles[i];
    auto it = first.find(p);
    LogicalTiles[i] = it == first.end() ? p : it->second;
  }
}

bool TXMap::TilesFitInByte() const {
  return std::none_of(PhysicalTiles.begin(), PhysicalTiles.end(), [](int32_t t) { return t > 255; });
}

void TXMap::Grow(int32_t newWidth, int32_t newHeight) {
  const char* const loc = "XMapUnit, TXMap.Grow";
  if (newWidth < Width || newHeight < Height) {
    Log->Error("Can't shrink the map (" + std::to_string(Width) + "x" + std::to_string(Height) + " to " +
                   std::to_string(newWidth) + "x" + std::to_string(newHeight) + ")",
               loc);
    return;
  }
  if (newWidth > MaxSide || newHeight > MaxSide || int64_t(newWidth) * newHeight > MaxCells) {
    Log->Error("Map too large (" + std::to_string(newWidth) + "x" + std::to_string(newHeight) + ")", loc);
    return;
  }
  std::vector<int32_t> logical(static_cast<std::size_t>(newWidth) * newHeight, 0);
  std::vector<int32_t> physical(logical.size(), 0);
  for (int32_t y = 0; y < Height; ++y) {
    for (int32_t x = 0; x < Width; ++x) {
      const std::size_t from = static_cast<std::size_t>(y) * Width + x;
      const std::size_t to = static_cast<std::size_t>(y) * newWidth + x;
      if (from < LogicalTiles.size()) logical[to] = LogicalTiles[from];
      if (from < PhysicalTiles.size()) physical[to] = PhysicalTiles[from];
    }
  }
  LogicalTiles = std::move(logical);
  PhysicalTiles = std::move(physical);
  Allocated = true;
  Width = newWidth;
  Height = newHeight;
}

void TXMap::RotateCells(int32_t dx, int32_t dy) {
  const int64_t n = static_cast<int64_t>(PhysicalTiles.size());
  LogicalTiles.assign(PhysicalTiles.size(), 0);
  if (n == 0) return;
  int64_t shift = (int64_t(dy) * Width + dx) % n;
  if (shift < 0) shift += n;
  std::rotate(PhysicalTiles.begin(), PhysicalTiles.begin() + (n - shift), PhysicalTiles.end());
}

void TXMap::Reshape(int32_t oldWidth, int32_t oldHeight) {
  std::vector<int32_t> physical(static_cast<std::size_t>(Width) * Height, 0);
  const int32_t w = std::min(oldWidth, Width);
  const int32_t h = std::min(oldHeight, Height);
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      const std::size_t from = static_cast<std::size_t>(y) * oldWidth + x;
      if (from < PhysicalTiles.size()) physical[static_cast<std::size_t>(y) * Width + x] = PhysicalTiles[from];
    }
  }
  PhysicalTiles = std::move(physical);
  // The reader rebuilds the logical layer once all rows are in; filling it
  // here too cost a pass over every cell of a large map.
  LogicalTiles.clear();
  Allocated = true;
}

void TXMap::FailLoad(const std::string& why, const std::string& location) {
  Clear();
  LogicalTiles.clear();
  PhysicalTiles.clear();
  Allocated = false;
  Width = Height = 0;
  MapName = Author = GameName = kUnknown;
  Version = 0;
  GameID = 255;
  LastResult = why;
  Log->Warning(why, location);
}

// ---------------------------------------------------------------- loading

void TXMap::Load(const std::string& fileName) {
  Log->Debug("FileName=" + fileName, kLoadLoc);
  if (auto stream = ZROpenStream(fileName)) Load(*stream);
}

void TXMap::Load(TStream& stream) {
  LastResult = "OK";
  Clear();
  LogicalTiles.clear();
  PhysicalTiles.clear();
  Allocated = false;
  MapName = Author = GameName = kUnknown;
  Width = Height = 0;
  // A map without version bytes must not inherit those of the map loaded
  // into this object before.
  Version = 0;
  GameID = 255;

  char magic[4] = {0, 0, 0, 0};
  const int64_t got = std::max<int64_t>(0, stream.Read(magic, 4));
  const std::string m(magic, static_cast<std::size_t>(got));
  Log->Debug("First 4 char: '" + m + "'", kLoadLoc);
  if (m.size() < 3 || m.compare(0, 3, "MAP") != 0) {
    LastResult = "Not an XMAP file!";
    return;
  }
  const char letter = m.size() > 3 ? m[3] : '\0';
  switch (letter) {
    case 'B': LoadMAPB(stream); break;
    case 'W': LoadMAPW(stream); break;
    case 'T': LoadMAPT(stream); break;
    case 'X': LoadMAPX(stream); break;
    case 'C':
    case 'P':
    case 'Q':
      Log->Warning(std::string("The MAP") + letter + " and other compressed formats are no longer supported.",
                   kLoadLoc);
      break;
    default:
      Log->Warning(std::string("XMAP.Load: Unknown DFS byte! (") + (got > 3 ? std::string(1, letter) : "") + ")",
                   kLoadLoc);
      break;
  }
  // Marker byte 1, then the version (low 10 bits) and game ID (high 6 bits).
  if (GameName.size() >= 3 && GameName[0] == '\x01') {
    const uint16_t w = static_cast<uint16_t>(static_cast<uint8_t>(GameName[1]) |
                                             (static_cast<uint8_t>(GameName[2]) << 8));
    SetVersion(w & 1023);
    SetGameID(w >> 10);
    GameName.erase(0, 3);
  }
}

void TXMap::LoadMAPB(TStream& stream) { LoadBytes(stream, 1); }
void TXMap::LoadMAPW(TStream& stream) { LoadBytes(stream, 2); }
void TXMap::LoadMAPT(TStream& stream) { LoadText(stream, false); }
void TXMap::LoadMAPX(TStream& stream) { LoadText(stream, true); }

void TXMap::LoadBytes(TStream& stream, int size) {
  bool complete = true;
  auto value = [&](int bytes) -> uint32_t {
    bool ok = true;
    const uint32_t v = bytes == 1 ? stream.ReadU8(&ok) : stream.ReadU16(&ok);
    if (!ok) complete = false;
    return v;
  };
  auto text = [&](std::string& target) {
    const uint32_t n = value(1);
    if (n == 0) return;
    std::string s(n, '\0');
    if (!stream.ReadBuffer(s.data(), n)) complete = false;
    target = std::move(s);
  };

  Width = static_cast<int32_t>(value(1));
  Height = static_cast<int32_t>(value(1));
  const std::size_t cells = static_cast<std::size_t>(Width) * Height;
  PhysicalTiles.assign(cells, 0);
  LogicalTiles.assign(cells, 0);
  Allocated = true;
  std::vector<uint8_t> raw(cells * size, 0);
  if (!raw.empty() && stream.Read(raw.data(), static_cast<int64_t>(raw.size())) != static_cast<int64_t>(raw.size())) {
    complete = false;
  }
  for (std::size_t i = 0; i < cells; ++i) {
    PhysicalTiles[i] = size == 1 ? raw[i] : (raw[2 * i] | (raw[2 * i + 1] << 8));
  }
  if (complete) text(Author);
  if (complete) text(MapName);
  if (complete) text(GameName);
  const uint32_t wraps = complete ? value(size) : 0;
  for (uint32_t i = 0; complete && i < wraps; ++i) {
    const int32_t from = static_cast<int32_t>(value(size));
    const int32_t to = static_cast<int32_t>(value(size));
    if (complete) AddLogicalWrap(from, to);
  }
  RebuildLogical();
  // The extra lines end at a length byte of 0; a missing final 0 at the very
  // end of the data loses nothing.
  while (complete) {
    bool ok = true;
    const uint8_t n = stream.ReadU8(&ok);
    if (!ok || n == 0) break;
    std::string line(n, '\0');
    if (!stream.ReadBuffer(line.data(), n)) {
      complete = false;
      break;
    }
    ExtraLines.push_back(std::move(line));
  }
  if (!complete) {
    LastResult = "Unexpected end of map data!";
    Log->Warning(LastResult, size == 1 ? "XMapUnit, TXMap.LoadMAPB" : "XMapUnit, TXMap.LoadMAPW");
  }
}

void TXMap::LoadText(TStream& stream, bool hex) {
  const std::string format = hex ? "MAPX" : "MAPT";
  const std::string loc = "XMapUnit, TXMap.Load" + format;
  // A row of the widest map in hexadecimal, with its CR: longer than other
  // data files' lines may be.
  TLineReader reader(stream, 4 * std::size_t{MaxSide} + 1);
  std::string line;
  // The rest of the magic line: its CR LF as written, or a lone LF in a map
  // edited by hand.
  reader.ReadLine(line);
  int lineNumber = 1;
  int32_t rows = 0;
  int32_t layerWidth = 0;
  int32_t layerHeight = 0;

  auto fitLayers = [&] {
    if (!Allocated) layerWidth = layerHeight = 0;
    if (!Allocated || layerWidth != Width || layerHeight != Height) {
      Reshape(layerWidth, layerHeight);
      layerWidth = Width;
      layerHeight = Height;
    }
  };
  auto sizeFits = [&] { return int64_t(Width) * Height <= MaxCells; };
  auto badLine = [&](const std::string& what) {
    FailLoad(what + " in line " + std::to_string(lineNumber) + ": " + line, loc);
  };
  // Lines the map cannot use are told once per file, however many there are
  // (a piece with half a million extra rows would otherwise fill the log at
  // every map load), when the load ends by whatever way.
  struct TIgnoredLines {
    const std::string& Format;
    const std::string& Location;
    int64_t ExtraRows = 0;
    int64_t Unknown = 0;
    std::string FirstUnknown;
    ~TIgnoredLines() {
      if (ExtraRows > 0) {
        Log->Warning("Too many map lines in " + Format + " mode." +
                         (ExtraRows > 1 ? " (" + std::to_string(ExtraRows) + " lines ignored)" : std::string()),
                     Location);
      }
      if (Unknown > 0) {
        Log->Warning("Unknown identifier in " + Format + " mode. (" + FirstUnknown +
                         (Unknown > 1 ? ", and " + std::to_string(Unknown - 1) + " more lines" : std::string()) + ")",
                     Location);
      }
    }
  } ignored{format, loc, 0, 0, {}};

  while (reader.ReadLine(line)) {
    ++lineNumber;
    const std::string key = line.substr(0, 2);
    const std::string value = line.size() > 2 ? line.substr(2) : std::string();
    if (key == "WI" || key == "HE") {
      int64_t v = 0;
      const TDecimal r = ParseMapNumber(value, v);
      if (r == TDecimal::NotANumber) v = 0;
      if (r == TDecimal::OutOfRange || v < 0 || v > MaxSide) return badLine("Map size out of range");
      (key == "WI" ? Width : Height) = static_cast<int32_t>(v);
      if (!sizeFits()) return badLine("Map size out of range");
    } else if (key == "AU") {
      Author = value;
    } else if (key == "MN") {
      MapName = value;
    } else if (key == "GM") {
      GameName = value;
    } else if (key == "EX") {
      ExtraLines.push_back(value);
    } else if (key == "LW") {
      const std::size_t group = hex ? 10 : 4;
      for (std::size_t pos = 0; pos + group <= value.size(); pos += group) {
        int64_t from = 0;
        int64_t to = 0;
        if (hex) {
          if (ParseMapNumber(value.substr(pos, 5), from) != TDecimal::Ok ||
              ParseMapNumber(value.substr(pos + 5, 5), to) != TDecimal::Ok) {
            return badLine("Invalid number");
          }
        } else {
          from = static_cast<uint8_t>(value[pos]);
          if (ParseMapNumber(value.substr(pos + 1, 3), to) != TDecimal::Ok) return badLine("Invalid number");
        }
        AddLogicalWrap(static_cast<int32_t>(from), static_cast<int32_t>(to));
      }
    } else if (key == "MP") {
      if (Height == 0) {
        LastResult = "Map height is not specified in file!";
        Log->Warning("Map height is not specified!", loc);
        Height = 20;
      }
      if (Width == 0) {
        LastResult = "Map width is not specified in file!";
        Log->Warning("Map width is not specified!", loc);
        Width = 32;
      }
      if (!sizeFits()) return badLine("Map size out of range");
      if (rows >= Height) {
        ++ignored.ExtraRows;
        continue;
      }
      fitLayers();
      int32_t* row = PhysicalTiles.data() + static_cast<std::size_t>(rows) * Width;
      if (hex) {
        const std::string cells = value.empty() ? value : value.substr(1);
        int32_t filled = 0;
        for (std::size_t pos = 0; pos + 4 <= cells.size() && filled < Width; pos += 5) {
          if (!ParseHex4(cells, pos, row[filled])) return badLine("Invalid number");
          ++filled;
        }
        for (; filled < Width; ++filled) row[filled] = 32;
      } else {
        for (int32_t x = 0; x < Width; ++x) {
          row[x] = x < static_cast<int32_t>(value.size()) ? static_cast<uint8_t>(value[x]) : 32;
        }
      }
      ++rows;
    } else if (key == "XX") {
      break;
    } else if (ignored.Unknown++ == 0) {
      ignored.FirstUnknown = key;
    }
  }
  // Also reached at the end of the data without "XX": what was read stays.
  fitLayers();
  RebuildLogical();
}

// ---------------------------------------------------------------- saving

std::string TXMap::StoredGameName() const {
  if (GameID >= 255) return GameName;
  const uint16_t w = static_cast<uint16_t>(GameID * 1024 + Version);
  std::string s = "\x01";
  s += static_cast<char>(w & 0xFF);
  s += static_cast<char>(w >> 8);
  return s + GameName;
}

std::string TXMap::CannotHold(char letter) const {
  if (GameID < 255 && GameID > 63) return "game ID " + std::to_string(GameID) + " above 63";
  if (GameID < 255 && Version > 1023) return "version " + std::to_string(Version) + " above 1023";
  const std::string game = StoredGameName();
  if (GameID >= 255 && !game.empty() && game[0] == '\x01') return "a game name starting with byte 1";
  if (Width < 0 || Height < 0 || Width > MaxSide || Height > MaxSide || int64_t(Width) * Height > MaxCells) {
    return "map size " + std::to_string(Width) + "x" + std::to_string(Height) + " out of range";
  }
  const std::size_t cells = static_cast<std::size_t>(Width) * Height;
  if (PhysicalTiles.size() < cells) return "tile layer smaller than the map";

  auto tilesWithin = [&](int32_t lo, int32_t hi, int32_t except) {
    for (std::size_t i = 0; i < cells; ++i) {
      const int32_t t = PhysicalTiles[i];
      if (t < lo || t > hi || t == except) return false;
    }
    return true;
  };
  auto range = [](int32_t lo, int32_t hi) { return std::to_string(lo) + ".." + std::to_string(hi); };

  if (letter == 'B' || letter == 'W') {
    const int32_t max = letter == 'B' ? 255 : 65535;
    if (Width > 255 || Height > 255) return "width or height above 255";
    if (!tilesWithin(0, max, -1)) return "tile numbers outside " + range(0, max);
    for (const std::string* t : {&Author, &MapName, &game}) {
      if (t->size() > 255) return "a text longer than 255 bytes";
    }
    if (LogicalWraps.size() > static_cast<std::size_t>(max)) return "more than " + std::to_string(max) + " logical wraps";
    for (const TLogicalWrap& w : LogicalWraps) {
      if (w.FromTile < 0 || w.FromTile > max || w.ToTile < 0 || w.ToTile > max) {
        return "logical wraps outside " + range(0, max);
      }
    }
    for (const std::string& e : ExtraLines) {
      if (e.empty()) return "an empty extra line";
      if (e.size() > 255) return "an extra line longer than 255 bytes";
    }
    return "";
  }
  if (letter == 'T' || letter == 'X') {
    const bool hex = letter == 'X';
    // Rows without a width would read back 32 cells wide.
    if (Width == 0 && Height > 0) return "rows without width";
    if (hex ? !tilesWithin(0, 65535, -1) : !tilesWithin(0, 255, 10)) {
      return hex ? "tile numbers outside 0..65535" : "tile numbers outside 0..255 or a line feed tile";
    }
    for (const TLogicalWrap& w : LogicalWraps) {
      if (hex ? (w.FromTile < -9999 || w.FromTile > 99999 || w.ToTile < -9999 || w.ToTile > 99999)
              : (w.FromTile < 0 || w.FromTile > 255 || w.FromTile == 10 || w.ToTile < -99 || w.ToTile > 999)) {
        return "logical wraps the text format cannot hold";
      }
    }
    for (const std::string* t : {&Author, &MapName, &game}) {
      if (HasLineFeed(*t)) return "a line feed in a text";
    }
    for (const std::string& e : ExtraLines) {
      if (HasLineFeed(e)) return "a line feed in an extra line";
    }
    return "";
  }
  return std::string("unknown format letter ") + letter;
}

char TXMap::Save(TStream& stream, char mode) {
  mode = static_cast<char>(std::toupper(static_cast<unsigned char>(mode)));
  if (std::string("ABTWX").find(mode) == std::string::npos || mode == '\0') {
    Log->Warning("Unknown mode specified, using automatic mode determination.", kSaveLoc);
    Log->Warning("(Always binary, using 8 or 16 bit mode depending tile IDs in map.)", kSaveLoc);
    mode = 'A';
  }
  if (!TilesFitInByte()) {
    if (mode == 'A' || mode == 'B' || mode == 'T') {
      Log->Warning("The tile map contains tiles with ID above 255,", kSaveLoc);
      Log->Warning("so cannot use file formats with 8 bit tile size.", kSaveLoc);
      Log->Warning("Using 16 bit binary mode.", kSaveLoc);
      mode = 'W';
    }
  } else if (mode == 'A') {
    Log->Warning("The tile map contains tiles only with ID below 256,", kSaveLoc);
    Log->Warning("so 8 bit binary mode will be used.", kSaveLoc);
    mode = 'B';
  }

  const std::string why = CannotHold(mode);
  if (!why.empty()) {
    // The nearest format first: binary stays binary, text stays text.
    std::string order;
    switch (mode) {
      case 'B': order = "WXT"; break;
      case 'W': order = "XTB"; break;
      case 'T': order = "XWB"; break;
      default: order = "WTB"; break;
    }
    char chosen = 0;
    for (char f : order) {
      if (CannotHold(f).empty()) {
        chosen = f;
        break;
      }
    }
    if (!chosen) {
      Log->Error("The map cannot be stored exactly in any format (" + why + "). Nothing written.", kSaveLoc);
      return 0;
    }
    Log->Warning(std::string("The map cannot be stored exactly in MAP") + mode + " format (" + why +
                     "), using MAP" + chosen + ".",
                 kSaveLoc);
    mode = chosen;
  }
  if (GameID >= 255 && Version != 0) {
    Log->Warning("The version number (" + std::to_string(Version) + ") is stored only with a game ID; not saved.",
                 kSaveLoc);
  }
  if (Author.empty() || MapName.empty() || StoredGameName().empty()) {
    Log->Warning("An empty map name, author or game name reads back as \"Unknown\".", kSaveLoc);
  }

  bool written = false;
  switch (mode) {
    case 'B': written = SaveMAPB(stream); break;
    case 'T': written = SaveMAPT(stream); break;
    case 'W': written = SaveMAPW(stream); break;
    default: written = SaveMAPX(stream); break;
  }
  return written ? mode : 0;
}

char TXMap::Save(const std::string& fileName, char mode) {
  // Into memory first, so that a map that cannot be written leaves an
  // existing file untouched.
  TMemoryStream buffer;
  const char written = Save(buffer, mode);
  if (!written) return 0;
  TFileStream file(fileName, fmCreate);
  if (!file.IsOpen() || !file.WriteBuffer(buffer.Data.data(), static_cast<int64_t>(buffer.Data.size()))) {
    Log->Error("Can't write the file! (" + fileName + ")", kSaveLoc);
    return 0;
  }
  return written;
}

bool TXMap::SaveMAPB(TStream& stream) { return SaveBytes(stream, 1); }
bool TXMap::SaveMAPW(TStream& stream) { return SaveBytes(stream, 2); }
bool TXMap::SaveMAPT(TStream& stream) { return SaveText(stream, false); }
bool TXMap::SaveMAPX(TStream& stream) { return SaveText(stream, true); }

bool TXMap::SaveBytes(TStream& stream, int size) {
  const char letter = size == 1 ? 'B' : 'W';
  const std::string why = CannotHold(letter);
  if (!why.empty()) {
    Log->Error(std::string("The map cannot be stored exactly in MAP") + letter + " format (" + why + ").",
               std::string("XMapUnit, TXMap.SaveMAP") + letter);
    return false;
  }
  std::string out = std::string("MAP") + letter;
  auto value = [&](uint32_t v) {
    out += static_cast<char>(v & 0xFF);
    if (size == 2) out += static_cast<char>((v >> 8) & 0xFF);
  };
  auto text = [&](const std::string& t) {
    if (t == kUnknown) {
      out += '\0';
    } else {
      out += static_cast<char>(t.size());
      out += t;
    }
  };
  out += static_cast<char>(Width & 0xFF);
  out += static_cast<char>(Height & 0xFF);
  const std::size_t cells = static_cast<std::size_t>(Width) * Height;
  for (std::size_t i = 0; i < cells; ++i) value(static_cast<uint32_t>(PhysicalTiles[i]));
  text(Author);
  text(MapName);
  text(StoredGameName());
  value(static_cast<uint32_t>(LogicalWraps.size()));
  for (const TLogicalWrap& w : LogicalWraps) {
    value(static_cast<uint32_t>(w.FromTile));
    value(static_cast<uint32_t>(w.ToTile));
  }
  for (const std::string& e : ExtraLines) {
    out += static_cast<char>(e.size());
    out += e;
  }
  out += '\0';
  return stream.WriteBuffer(out.data(), static_cast<int64_t>(out.size()));
}

bool TXMap::SaveText(TStream& stream, bool hex) {
  const char letter = hex ? 'X' : 'T';
  const std::string why = CannotHold(letter);
  if (!why.empty()) {
    Log->Error(std::string("The map cannot be stored exactly in MAP") + letter + " format (" + why + ").",
               std::string("XMapUnit, TXMap.SaveMAP") + letter);
    return false;
  }
  std::string out;
  auto line = [&](std::string s) {
    out += s;
    out += "\r\n";
  };
  line(std::string("MAP") + letter);
  line("WI" + std::to_string(Width));
  line("HE" + std::to_string(Height));
  const std::string game = StoredGameName();
  if (!Author.empty() && Author != kUnknown) line("AU" + Author);
  if (!MapName.empty() && MapName != kUnknown) line("MN" + MapName);
  if (!game.empty() && game != kUnknown) line("GM" + game);
  const std::size_t perLine = hex ? 24 : 60;
  for (std::size_t i = 0; i < LogicalWraps.size(); i += perLine) {
    std::string s = "LW";
    for (std::size_t j = i; j < std::min(LogicalWraps.size(), i + perLine); ++j) {
      const TLogicalWrap& w = LogicalWraps[j];
      if (hex) {
        s += PadDecimal(w.FromTile, 5) + PadDecimal(w.ToTile, 5);
      } else {
        s += static_cast<char>(w.FromTile);
        s += PadDecimal(w.ToTile, 3);
      }
    }
    line(s);
  }
  for (int32_t y = 0; y < Height; ++y) {
    std::string s = "MP";
    for (int32_t x = 0; x < Width; ++x) {
      const int32_t t = PhysicalTiles[static_cast<std::size_t>(y) * Width + x];
      if (hex) {
        s += ' ';
        AppendHexCell(s, t);
      } else {
        s += static_cast<char>(t & 0xFF);
      }
    }
    while (s.size() > 2 && s.back() == ' ') s.pop_back();
    line(s);
  }
  for (const std::string& e : ExtraLines) line("EX" + e);
  line("XX");
  return stream.WriteBuffer(out.data(), static_cast<int64_t>(out.size()));
}

void XMapUnit_Startup() { LogUnitVersion("XMapUnit", "1.85"); }
