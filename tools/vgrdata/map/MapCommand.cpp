#include "MapCommand.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iomanip>
#include <ostream>

#include "Logger.h"
#include "ToolFiles.h"
#include "ToolOptions.h"
#include "XMapUnit.h"
#include "ZRStream3.h"

namespace vgrdata {

namespace {

const char* const kUsage =
    "usage: vgrdata map <subcommand> ...\n"
    "  convert IN OUT MODE   write the map IN to OUT in format MODE:\n"
    "                        A (automatic: MAPB, or MAPW for tiles above 255), B (MAPB, 8-bit),\n"
    "                        W (MAPW, 16-bit), T (MAPT, one character per tile),\n"
    "                        X (MAPX, hexadecimal); a format that cannot hold the map exactly\n"
    "                        is replaced by one that can\n"
    "  show IN               size, texts, version, game ID, wraps, extra lines and both layers\n";

// Loads a map file; false (with a message) when it is not a map at all.
bool LoadMapFile(const std::string& name, TXMap& map, std::ostream& err) {
  std::vector<uint8_t> data = ReadInputFile(name);
  TMemoryStream s(std::move(data));
  map.Load(s);
  const std::string magic(s.Data.begin(), s.Data.begin() + std::min<std::size_t>(4, s.Data.size()));
  if (map.LastResult == "Not an XMAP file!" ||
      (magic != "MAPB" && magic != "MAPW" && magic != "MAPT" && magic != "MAPX")) {
    err << "vgrdata map: " << name << " is not a tile map of a known format"
        << (magic.size() == 4 ? " (" + magic + ")" : std::string()) << "\n";
    return false;
  }
  if (map.LastResult != "OK") err << "vgrdata map: warning: " << name << ": " << map.LastResult << "\n";
  return true;
}

void PrintGrid(std::ostream& out, const TXMap& map, bool logical) {
  const std::vector<int32_t>& cells = logical ? map.LogicalTiles : map.PhysicalTiles;
  std::size_t width = 1;
  for (int32_t c : cells) width = std::max(width, std::to_string(c).size());
  const std::size_t label = std::to_string(std::max(0, map.Height - 1)).size();
  for (int32_t y = 0; y < map.Height; ++y) {
    out << "  " << std::setw(static_cast<int>(label)) << y << ":";
    for (int32_t x = 0; x < map.Width; ++x) {
      out << ' ' << std::setw(static_cast<int>(width))
          << (logical ? map.GetLogicalTile(x, y) : map.GetPhysicalTile(x, y));
    }
    out << "\n";
  }
}

int Convert(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.size() != 4) {
    err << kUsage;
    return 2;
  }
  if (args[3].size() != 1 ||
      std::string("ABTWX").find(static_cast<char>(std::toupper(static_cast<unsigned char>(args[3][0])))) ==
          std::string::npos) {
    err << "vgrdata map: unknown format '" << args[3] << "' (A, B, T, W or X)\n" << kUsage;
    return 2;
  }
  TXMap map;
  if (!LoadMapFile(args[1], map, err)) return 1;
  const char mode = static_cast<char>(std::toupper(static_cast<unsigned char>(args[3][0])));
  // The format Save settles on before it checks what the format can hold.
  char wanted = mode;
  if (!map.TilesFitInByte() && (mode == 'A' || mode == 'B' || mode == 'T')) {
    wanted = 'W';
    if (mode != 'A') err << "vgrdata map: note: tiles above 255 need 16 bits; MAP" << mode << " becomes MAPW\n";
  } else if (mode == 'A') {
    wanted = 'B';
  }
  // Saved in memory first: a failure there is the format's, one writing
  // the file is the disk's and is reported as such.
  TMemoryStream saved;
  const char written = map.Save(saved, mode);
  if (written) WriteOutputFile(args[2], saved.Data);
  if (!written) {
    const std::string why = map.CannotHold(wanted);
    err << "vgrdata map: no format holds this map exactly" << (why.empty() ? "" : " (" + why + ")") << "; "
        << args[2] << " not written\n";
    return 1;
  }
  if (written != wanted) {
    err << "vgrdata map: note: MAP" << wanted << " cannot hold this map (" << map.CannotHold(wanted)
        << "); wrote MAP" << written << "\n";
  }
  out << args[2] << ": MAP" << written << ", " << map.Width << " x " << map.Height << "\n";
  return 0;
}

int Show(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.size() != 2) {
    err << kUsage;
    return 2;
  }
  TXMap map;
  if (!LoadMapFile(args[1], map, err)) return 1;
  std::vector<uint8_t> data = ReadInputFile(args[1]);
  out << "file: " << args[1] << "\n";
  out << "format: " << std::string(data.begin(), data.begin() + 4) << "\n";
  out << "result: " << map.LastResult << "\n";
  out << "size: " << map.Width << " x " << map.Height << "\n";
  out << "map name: " << LogEscaped(map.MapName) << "\n";
  out << "author: " << LogEscaped(map.Author) << "\n";
  out << "game name: " << LogEscaped(map.GameName) << "\n";
  out << "version: " << map.GetVersion() << "\n";
  out << "game id: " << map.GetGameID() << (map.GetGameID() == 255 ? " (not set)" : "") << "\n";
  out << "wraps: " << map.LogicalWraps.size() << "\n";
  for (const TLogicalWrap& w : map.LogicalWraps) out << "  " << w.FromTile << " -> " << w.ToTile << "\n";
  out << "extra lines: " << map.ExtraLines.size() << "\n";
  for (std::size_t i = 0; i < map.ExtraLines.size(); ++i) {
    out << "  " << i + 1 << ": " << LogEscaped(map.ExtraLines[i]) << "\n";
  }
  out << "physical layer:\n";
  PrintGrid(out, map, false);
  out << "logical layer:\n";
  PrintGrid(out, map, true);
  return 0;
}

}  // namespace

int MapCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (const auto refused = CheckCommandLine(args, 1, "map", kUsage, out, err)) return *refused;
  if (!args.empty() && args[0] == "convert") return Convert(args, out, err);
  if (!args.empty() && args[0] == "show") return Show(args, out, err);
  if (!args.empty()) err << "vgrdata map: unknown subcommand '" << args[0] << "'\n";
  err << kUsage;
  return 2;
}

}  // namespace vgrdata
