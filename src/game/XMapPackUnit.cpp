#include "XMapPackUnit.h"

#include <algorithm>

#include "Logger.h"
#include "RiffReaderUnit.h"
#include "SPackUnit.h"
#include "XMapUnit.h"
#include "ZRINIFile.h"
#include "ZRStream3.h"

namespace {

const char* const kLoadLoc = "XMapPackUnit, TXMapPack.Load";
const char* const kGetLoc = "XMapPackUnit, TXMapPack.GetMap";
const char* const kMPCKLoc = "XMapPackUnit, TXMapPack.LoadMPCK";
const char* const kMPKBLoc = "XMapPackUnit, TXMapPack.LoadMPKB";
const char* const kSaveLoc = "XMapPackUnit, TXMapPack.Save";

// Nested "MPCK" lists deeper than this are not followed: each level costs
// only 8 bytes of file but a level of recursion.
constexpr int kMaxNesting = 32;

// Bytes [from, to) of the stream; the position is restored.
std::vector<uint8_t> ReadRange(TStream& stream, int64_t from, int64_t to) {
  const int64_t back = stream.Position();
  std::vector<uint8_t> bytes(static_cast<std::size_t>(std::max<int64_t>(0, to - from)));
  stream.SetPosition(from);
  const int64_t got = bytes.empty() ? 0 : stream.Read(bytes.data(), static_cast<int64_t>(bytes.size()));
  bytes.resize(static_cast<std::size_t>(std::max<int64_t>(0, got)));
  stream.SetPosition(back);
  return bytes;
}

// The pair list "MPCK,1,MPKT,T,MPKB,B,0": key, value, ..., default.
char PackKind(const std::string& magic) {
  static const char* const kPairs[] = {"MPCK", "1", "MPKT", "T", "MPKB", "B"};
  const std::string m = UpperCase(magic);
  for (std::size_t i = 0; i + 1 < std::size(kPairs); i += 2) {
    if (m == kPairs[i]) return kPairs[i + 1][0];
  }
  return '0';
}

void PutChunk(TMemoryStream& out, const char* id, const std::vector<uint8_t>& data) {
  out.WriteBuffer(id, 4);
  out.WriteU32(static_cast<uint32_t>(data.size()));
  out.WriteBuffer(data.data(), static_cast<int64_t>(data.size()));
}

void Append(std::vector<uint8_t>& v, const std::string& s) { v.insert(v.end(), s.begin(), s.end()); }

bool IsTextMap(const std::vector<uint8_t>& d) {
  return d.size() >= 4 && d[0] == 'M' && d[1] == 'A' && d[2] == 'P' && (d[3] == 'T' || d[3] == 'X');
}

void ReadChunkList(TXMapPack& pack, TRiffReader& list, int depth) {
  while (list.Next()) {
    const std::string id = UpperCase(list.ChunkID());
    if (id == "VERS") {
      uint32_t v = 0;
      if (list.ReadDataU32(0, v)) pack.PackVersion = static_cast<int32_t>(v);
    } else if (id == "MAPD") {
      const std::vector<uint8_t> d = list.ChunkData();
      std::size_t pos = 0;
      auto text = [&](std::string& s) {
        if (pos >= d.size() || pos + 1 + d[pos] > d.size()) return false;
        s.assign(reinterpret_cast<const char*>(d.data()) + pos + 1, d[pos]);
        pos += 1 + d[pos];
        return true;
      };
      std::string name;
      std::string info;
      if (d.size() != list.ChunkSize() || !text(name) || !text(info)) {
        Log->Warning("Damaged MAPD chunk skipped! (" + name + ")", kMPCKLoc);
        continue;
      }
      pack.AddEntry(name, info, std::vector<uint8_t>(d.begin() + static_cast<std::ptrdiff_t>(pos), d.end()));
    } else if (id == "CHND") {
      TMemoryStream chain(list.ChunkData());
      pack.Chain->Load(chain);
    } else if (id == "MPCK") {
      if (depth >= kMaxNesting) {
        Log->Warning("MPCK lists nested too deeply; inner list skipped.", kMPCKLoc);
        continue;
      }
      TRiffReader nested = list.SubReader();
      ReadChunkList(pack, nested, depth + 1);
    }
  }
  if (list.Broken()) Log->Warning("A chunk runs past the end of its list; the rest is skipped.", kMPCKLoc);
}

}  // namespace

TXMapPack::TXMapPack() : Chain(std::make_unique<TXMapChain>()) {}

TXMapPack::~TXMapPack() { Clear(); }

void TXMapPack::Clear() { Entries.clear(); }

void TXMapPack::AddEntry(const std::string& name, const std::string& info, const std::vector<uint8_t>& data) {
  Entries.push_back({name, info, std::make_unique<TMemoryStream>(data)});
}

void TXMapPack::Load(const std::string& fileName) {
  if (auto stream = ZROpenStream(fileName)) Load(*stream);
}

void TXMapPack::Load(TStream& stream) {
  Clear();
  const int64_t start = stream.Position();
  char magic[4] = {0, 0, 0, 0};
  const int64_t got = std::max<int64_t>(0, stream.Read(magic, 4));
  switch (PackKind(std::string(magic, static_cast<std::size_t>(got)))) {
    case '1': LoadMPCK(stream, start); break;
    case 'T': LoadMPKT(stream, start); break;
    case 'B': LoadMPKB(stream); break;
    default: Log->Warning("Not a MapPack file!", kLoadLoc); break;
  }
  stream.SetPosition(start);
  Log->Status(std::to_string(Entries.size()) + " maps loaded.", kLoadLoc);
}

void TXMapPack::LoadMPCK(TStream& stream, int64_t start) {
  // The chunk list begins with the "MPCK" chunk itself.
  TRiffReader list(stream, start, stream.Size() - start);
  ReadChunkList(*this, list, 0);
}

void TXMapPack::LoadMPKT(TStream& stream, int64_t start) {
  TLineReader reader(stream);
  bool started = false;
  int64_t mapStart = start;
  std::string name;
  auto addMap = [&](int64_t end) { AddEntry(name, "", ReadRange(stream, mapStart, end)); };
  std::string line;
  while (reader.ReadLine(line)) {
    const std::string t = TrimBlanks(line);
    if (t.empty() || t[0] == ';') continue;
    const std::string u = UpperCase(t);
    if (u == "!END" || u == "!CHAIN") break;
    if (t.size() >= 2 && t.front() == '[' && t.back() == ']') {
      const int64_t here = stream.Position();
      if (started) addMap(here);
      started = true;
      mapStart = here;
      name = t.substr(1, t.size() - 2);
    }
  }
  // The last map, or the whole data when no header came at all.
  addMap(stream.Position());
}

void TXMapPack::LoadMPKB(TStream& stream) {
  bool ok = true;
  const uint32_t count = ReadPackedInt(stream, &ok);
  const uint32_t table = ok ? stream.ReadU32(&ok) : 0;
  const int64_t size = stream.Size();
  // Every table entry takes at least one byte.
  if (!ok || table > size || int64_t(count) + 1 > size - int64_t(table)) {
    Log->Warning("Damaged MPKB index!", kMPKBLoc);
    return;
  }
  stream.SetPosition(table);
  std::vector<int64_t> offsets;
  for (uint32_t i = 0; i <= count; ++i) {
    const uint32_t v = ReadPackedInt(stream, &ok);
    if (!ok) {
      Log->Warning("Damaged MPKB index!", kMPKBLoc);
      break;
    }
    offsets.push_back(v);
  }
  for (std::size_t i = 0; i + 1 < offsets.size(); ++i) {
    const int64_t from = offsets[i];
    const int64_t to = offsets[i + 1];
    bool good = from < to && to <= size;
    std::string name;
    if (good) {
      stream.SetPosition(from);
      const uint8_t n = stream.ReadU8(&good);
      good = good && from + 1 + n <= to;
      if (good) {
        name.resize(n);
        good = stream.ReadBuffer(name.data(), n);
      }
    }
    if (!good) {
      Log->Warning("Damaged MPKB entry skipped! (" + std::to_string(i) + ")", kMPKBLoc);
      continue;
    }
    AddEntry(name, "", ReadRange(stream, from + 1 + static_cast<int64_t>(name.size()), to));
  }
}

int32_t TXMapPack::IndexOf(const std::string& name) const {
  const std::string key = UpperCase(name);
  for (std::size_t i = 0; i < Entries.size(); ++i) {
    if (UpperCase(Entries[i].Name) == key) return static_cast<int32_t>(i);
  }
  return -1;
}

std::unique_ptr<TXMap> TXMapPack::GetMap(const std::string& name) {
  const int32_t i = IndexOf(name);
  if (i > -1) return GetMapByIndex(i);
  Log->Warning("No map found with name '" + name + "'!", kGetLoc);
  return nullptr;
}

std::unique_ptr<TXMap> TXMapPack::GetMapByIndex(int32_t index) {
  if (index < 0 || index >= Count()) return nullptr;
  TXMapPackEntry& e = Entries[static_cast<std::size_t>(index)];
  Log->Status("GetMap serves map having name \"" + e.Name + "\".", kGetLoc);
  auto map = std::make_unique<TXMap>();
  if (!e.Data) return map;
  e.Data->SetPosition(0);
  map->Load(*e.Data);
  return map;
}

std::unique_ptr<TXMap> TXMapPack::GetCurrentMap() {
  if (ChainPosition > -1) return GetMapByIndex(Chain->GetMapIndex(ChainPosition));
  return nullptr;
}

// ---------------------------------------------------------------- writers

bool TXMapPack::SaveMPCK(TStream& stream) const {
  TMemoryStream inner;
  std::vector<uint8_t> vers(4);
  for (int i = 0; i < 4; ++i) vers[i] = static_cast<uint8_t>(static_cast<uint32_t>(PackVersion) >> (8 * i));
  PutChunk(inner, "VERS", vers);
  for (const TXMapPackEntry& e : Entries) {
    if (e.Name.size() > 255 || e.Info.size() > 255) {
      Log->Error("Name or info longer than 255 bytes! (" + e.Name.substr(0, 40) + ")", kSaveLoc);
      return false;
    }
    std::vector<uint8_t> d;
    d.push_back(static_cast<uint8_t>(e.Name.size()));
    Append(d, e.Name);
    d.push_back(static_cast<uint8_t>(e.Info.size()));
    Append(d, e.Info);
    d.insert(d.end(), e.Data->Data.begin(), e.Data->Data.end());
    PutChunk(inner, "MAPD", d);
  }
  if (Chain->Count() > 0) {
    TMemoryStream chain;
    Chain->Save(chain);
    PutChunk(inner, "CHND", chain.Data);
  }
  if (inner.Data.size() > UINT32_MAX - 8) {
    Log->Error("Pack too large!", kSaveLoc);
    return false;
  }
  TMemoryStream out;
  PutChunk(out, "MPCK", inner.Data);
  return stream.WriteBuffer(out.Data.data(), static_cast<int64_t>(out.Data.size()));
}

bool TXMapPack::SaveMPKT(TStream& stream) const {
  if (Chain->Count() > 0 || PackVersion != 0) {
    Log->Error("An MPKT pack holds neither a chain nor a pack version.", kSaveLoc);
    return false;
  }
  // The reader takes a pack without any "[name]" line as one nameless map.
  if (Entries.empty()) {
    Log->Error("An MPKT pack holds at least one map.", kSaveLoc);
    return false;
  }
  std::string out = "MPKT\r\n";
  for (const TXMapPackEntry& e : Entries) {
    const std::vector<uint8_t>& d = e.Data->Data;
    const std::string bad = " (" + e.Name + ")";
    if (!e.Info.empty()) {
      Log->Error("An MPKT pack holds no map infos!" + bad, kSaveLoc);
      return false;
    }
    if (e.Name.find('\n') != std::string::npos) {
      Log->Error("Map name with a line feed!" + bad, kSaveLoc);
      return false;
    }
    if (!IsTextMap(d)) {
      Log->Error("Only MAPT and MAPX maps go into an MPKT pack!" + bad, kSaveLoc);
      return false;
    }
    // A line of the map that the pack reader would take for a header or an
    // end mark would cut the map short.
    std::string text(d.begin(), d.end());
    if (text.back() != '\n') text += "\r\n";
    std::size_t pos = 0;
    while (pos < text.size()) {
      std::size_t end = text.find('\n', pos);
      std::string line = text.substr(pos, end - pos);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      pos = end + 1;
      const std::string t = TrimBlanks(line);
      const std::string u = UpperCase(t);
      if (u == "!END" || u == "!CHAIN" || (t.size() >= 2 && t.front() == '[' && t.back() == ']')) {
        Log->Error("Map line '" + t + "' would end the map early!" + bad, kSaveLoc);
        return false;
      }
    }
    out += "[" + e.Name + "]\r\n" + text;
  }
  out += "!END\r\n";
  return stream.WriteBuffer(out.data(), static_cast<int64_t>(out.size()));
}

bool TXMapPack::SaveMPKB(TStream& stream) const {
  if (Chain->Count() > 0 || PackVersion != 0) {
    Log->Error("An MPKB pack holds neither a chain nor a pack version.", kSaveLoc);
    return false;
  }
  const int64_t base = stream.Position();
  const uint32_t count = static_cast<uint32_t>(Entries.size());
  if (PackedIntSize(count) == 0) {
    Log->Error("Too many maps!", kSaveLoc);
    return false;
  }
  TMemoryStream body;
  std::vector<int64_t> offsets;
  const int64_t first = base + 4 + PackedIntSize(count) + 4;
  for (const TXMapPackEntry& e : Entries) {
    if (e.Name.size() > 255 || !e.Info.empty()) {
      Log->Error("MPKB holds names of up to 255 bytes and no infos! (" + e.Name.substr(0, 40) + ")", kSaveLoc);
      return false;
    }
    offsets.push_back(first + body.Position());
    body.WriteU8(static_cast<uint8_t>(e.Name.size()));
    body.WriteBuffer(e.Name.data(), static_cast<int64_t>(e.Name.size()));
    body.WriteBuffer(e.Data->Data.data(), static_cast<int64_t>(e.Data->Data.size()));
  }
  offsets.push_back(first + body.Position());
  const int64_t table = offsets.back();
  if (table > MaxPackedInt) {
    Log->Error("Pack too large!", kSaveLoc);
    return false;
  }
  TMemoryStream out;
  out.WriteBuffer("MPKB", 4);
  WritePackedInt(out, count);
  out.WriteU32(static_cast<uint32_t>(table));
  out.WriteBuffer(body.Data.data(), static_cast<int64_t>(body.Data.size()));
  for (int64_t o : offsets) WritePackedInt(out, static_cast<uint32_t>(o));
  return stream.WriteBuffer(out.Data.data(), static_cast<int64_t>(out.Data.size()));
}

void XMapPackUnit_Startup() { LogUnitVersion("XMapPackUnit", "3.05"); }
