#include "PackCommand.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <ostream>

#include "Logger.h"
#include "ToolFiles.h"
#include "ToolOptions.h"
#include "XMapPackUnit.h"
#include "XMapUnit.h"
#include "ZRINIFile.h"
#include "ZRStream3.h"
#include "ZRToolbox.h"

namespace vgrdata {

namespace {

const char* const kUsage =
    "usage: vgrdata pack <subcommand> ...\n"
    "  build OUT [--format mpck|mpkt|mpkb] [--chain FILE] MAPFILE...\n"
    "                       a pack of the map files, named after their file names\n"
    "                       (\"01.mpp\"); mpck (the default) keeps each file's bytes and\n"
    "                       a chain, mpkt holds text maps (others are converted),\n"
    "                       mpkb keeps each file's bytes\n"
    "  list PACK            the pack's format, maps and chain\n"
    "  extract PACK NAME OUT  write the map NAME (any case) to OUT\n"
    "\n"
    "A chain file has one step a line: \"M 3\" or \"M 01.mpp\" (a map by index or name),\n"
    "\"C 1,2\", \"G 5\"; empty lines and lines starting with \";\" are skipped.\n";

bool ParseInt(const std::string& s, int32_t& v) { return TryStrToInt(s, v); }

bool ReadChain(const std::string& file, TXMapPack& pack, std::ostream& err) {
  std::vector<uint8_t> data = ReadInputFile(file);
  TMemoryStream s(std::move(data));
  TLineReader reader(s);
  std::string line;
  int number = 0;
  while (reader.ReadLine(line)) {
    ++number;
    const std::string t = TrimBlanks(line);
    if (t.empty() || t[0] == ';') continue;
    TXMapChainItem item;
    item.Kind = static_cast<char>(std::toupper(static_cast<unsigned char>(t[0])));
    const std::string rest = TrimBlanks(t.substr(1));
    bool ok = false;
    if (item.Kind == 'M') {
      ok = ParseInt(rest, item.Value1);
      if (!ok) {
        item.Value1 = pack.IndexOf(rest);
        ok = item.Value1 >= 0;
      }
    } else if (item.Kind == 'G') {
      ok = ParseInt(rest, item.Value1);
    } else if (item.Kind == 'C') {
      const std::size_t comma = rest.find(',');
      ok = comma != std::string::npos && ParseInt(rest.substr(0, comma), item.Value1) &&
           ParseInt(rest.substr(comma + 1), item.Value2);
    }
    if (!ok) {
      err << "vgrdata pack: " << file << " line " << number << ": not a chain step: " << t << "\n";
      return false;
    }
    pack.Chain->Add(item);
  }
  return true;
}

std::string Magic(const std::vector<uint8_t>& d) { return std::string(d.begin(), d.begin() + std::min<std::size_t>(4, d.size())); }

// The map file as an MPKT pack holds it: a text map, in its own text format
// when it has one.
bool AsTextMap(std::vector<uint8_t>& data, const std::string& file, std::ostream& err) {
  TMemoryStream in(data);
  TXMap map;
  map.Load(in);
  TMemoryStream out;
  const char written = map.Save(out, Magic(data) == "MAPX" ? 'X' : 'T');
  if (written != 'T' && written != 'X') {
    err << "vgrdata pack: " << file << " cannot be held by a text map ("
        << (written ? map.CannotHold('X') : std::string("no format holds it")) << ")\n";
    return false;
  }
  data = std::move(out.Data);
  return true;
}

int Build(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  std::string format = "mpck";
  std::string chain;
  std::vector<std::string> positional;
  for (std::size_t i = 1; i < args.size(); ++i) {
    if ((args[i] == "--format" || args[i] == "--chain") && i + 1 < args.size()) {
      (args[i] == "--format" ? format : chain) = args[i + 1];
      ++i;
    } else if (args[i].rfind("--", 0) == 0) {
      err << "vgrdata pack: " << (args[i] == "--format" || args[i] == "--chain" ? "a value is missing after '"
                                                                                 : "unknown option '")
          << args[i] << "'\n" << kUsage;
      return 2;
    } else {
      positional.push_back(args[i]);
    }
  }
  if (format != "mpck" && format != "mpkt" && format != "mpkb") {
    err << "vgrdata pack: unknown format '" << format << "' (mpck, mpkt or mpkb)\n" << kUsage;
    return 2;
  }
  if (positional.size() < 2) {
    err << kUsage;
    return 2;
  }
  if (!chain.empty() && format != "mpck") {
    err << "vgrdata pack: only an mpck pack holds a chain\n";
    return 1;
  }
  TXMapPack pack;
  for (std::size_t i = 1; i < positional.size(); ++i) {
    const std::string& file = positional[i];
    std::vector<uint8_t> data = ReadInputFile(file);
    const std::string magic = Magic(data);
    if (magic != "MAPB" && magic != "MAPW" && magic != "MAPT" && magic != "MAPX") {
      err << "vgrdata pack: " << file << " is not a tile map\n";
      return 1;
    }
    TMemoryStream check(data);
    TXMap map;
    map.Load(check);
    if (map.LastResult != "OK") err << "vgrdata pack: warning: " << file << ": " << map.LastResult << "\n";
    const std::string name = BareName(file);
    if (pack.IndexOf(name) >= 0) {
      err << "vgrdata pack: two maps named " << name << " (names ignore case)\n";
      return 1;
    }
    if (format == "mpkt" && !AsTextMap(data, file, err)) return 1;
    pack.AddEntry(name, "", data);
  }
  if (!chain.empty() && !ReadChain(chain, pack, err)) return 1;

  TMemoryStream bytes;
  const bool ok = format == "mpck" ? pack.SaveMPCK(bytes) : format == "mpkt" ? pack.SaveMPKT(bytes) : pack.SaveMPKB(bytes);
  if (!ok) {
    err << "vgrdata pack: the maps do not fit an " << format << " pack (names up to 255 bytes, no line feeds)\n";
    return 1;
  }
  WriteOutputFile(positional[0], bytes.Data);
  out << positional[0] << ": " << pack.Count() << " maps, " << UpperCase(format);
  if (pack.Chain->Count() > 0) out << ", chain of " << pack.Chain->Count() << " steps";
  out << "\n";
  return 0;
}

bool LoadPackFile(const std::string& file, TXMapPack& pack, std::string& magic, std::ostream& err) {
  std::vector<uint8_t> data = ReadInputFile(file);
  magic = UpperCase(Magic(data));
  if (magic != "MPCK" && magic != "MPKT" && magic != "MPKB") {
    err << "vgrdata pack: " << file << " is not a map pack\n";
    return false;
  }
  TMemoryStream s(std::move(data));
  pack.Load(s);
  return true;
}

int List(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.size() != 2) {
    err << kUsage;
    return 2;
  }
  TXMapPack pack;
  std::string magic;
  if (!LoadPackFile(args[1], pack, magic, err)) return 1;
  out << "format: " << magic << "\n";
  if (magic == "MPCK") out << "version: " << pack.PackVersion << "\n";
  out << "maps: " << pack.Count() << "\n";
  for (int32_t i = 0; i < pack.Count(); ++i) {
    const TXMapPackEntry& e = pack.Entries[static_cast<std::size_t>(i)];
    auto map = pack.GetMapByIndex(i);
    // Names and texts are the pack's bytes: control bytes would act on the
    // terminal.
    out << "  " << i << "  " << LogEscaped(e.Name) << "  " << e.Data->Data.size() << " bytes  "
        << LogEscaped(Magic(e.Data->Data)) << "  " << map->Width << " x " << map->Height;
    if (map->LastResult != "OK") out << "  (" << LogEscaped(map->LastResult) << ")";
    if (!e.Info.empty()) out << "  info: " << LogEscaped(e.Info);
    out << "\n";
  }
  if (pack.Chain->Count() > 0) {
    out << "chain: " << pack.Chain->Count() << " steps\n";
    for (const auto& step : pack.Chain->Items) out << "  " << LogEscaped(step.Text) << "\n";
  }
  return 0;
}

int Extract(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.size() != 4) {
    err << kUsage;
    return 2;
  }
  TXMapPack pack;
  std::string magic;
  if (!LoadPackFile(args[1], pack, magic, err)) return 1;
  const int32_t i = pack.IndexOf(args[2]);
  if (i < 0) {
    err << "vgrdata pack: no map named " << args[2] << " in " << args[1] << "\n";
    return 1;
  }
  std::vector<uint8_t> data = pack.Entries[static_cast<std::size_t>(i)].Data->Data;
  if (magic == "MPKT") {
    // A text pack's map runs on to the next header: keep it up to its "XX".
    std::size_t pos = 0;
    while (pos < data.size()) {
      std::size_t end = pos;
      while (end < data.size() && data[end] != '\n') ++end;
      std::string line(data.begin() + static_cast<std::ptrdiff_t>(pos), data.begin() + static_cast<std::ptrdiff_t>(end));
      if (!line.empty() && line.back() == '\r') line.pop_back();
      pos = std::min(end + 1, data.size());
      if (line == "XX") {
        data.resize(pos);
        break;
      }
    }
  }
  WriteOutputFile(args[3], data);
  out << args[3] << ": " << pack.Entries[static_cast<std::size_t>(i)].Name << "\n";
  return 0;
}

}  // namespace

int PackCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (!args.empty() && args[0] == "build") return Build(args, out, err);
  if (const auto refused = CheckCommandLine(args, 1, "pack", kUsage, out, err)) return *refused;
  if (!args.empty() && args[0] == "list") return List(args, out, err);
  if (!args.empty() && args[0] == "extract") return Extract(args, out, err);
  if (!args.empty()) err << "vgrdata pack: unknown subcommand '" << args[0] << "'\n";
  err << kUsage;
  return 2;
}

}  // namespace vgrdata
