#pragma once
// Map packs: many named tile maps (and optionally a map chain) in one file,
// in one of three container formats: chunked "MPCK", text "MPKT" and indexed
// "MPKB". Each map's file bytes are kept; every request loads a fresh map
// from them.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "XMapChainUnit.h"

class TStream;
class TMemoryStream;
class TXMap;

struct TXMapPackEntry {
  std::string Name;  // lookup key, compared ignoring case
  std::string Info;  // filled only by the chunked format
  std::unique_ptr<TMemoryStream> Data;  // the map's complete file bytes
};

class TXMapPack {
 public:
  TXMapPack();
  virtual ~TXMapPack();
  TXMapPack(const TXMapPack&) = delete;
  TXMapPack& operator=(const TXMapPack&) = delete;

  void Clear();
  // Through the stream lookup; a name found nowhere leaves the pack as it was.
  void Load(const std::string& fileName);
  // Reads a pack from the stream's current position and puts the stream back
  // there afterwards.
  void Load(TStream& stream);

  int32_t IndexOf(const std::string& name) const;
  int32_t Count() const { return static_cast<int32_t>(Entries.size()); }
  // A freshly loaded map the caller owns, or null.
  std::unique_ptr<TXMap> GetMap(const std::string& name);
  std::unique_ptr<TXMap> GetMapByIndex(int32_t index);
  // The map of chain step ChainPosition, or null.
  virtual std::unique_ptr<TXMap> GetCurrentMap();

  // For callers that play the chain: the step GetCurrentMap serves.
  void SetChainPosition(int32_t position) { ChainPosition = position; }
  int32_t GetChainPosition() const { return ChainPosition; }

  // Appends an entry holding a copy of `data` (a map file).
  void AddEntry(const std::string& name, const std::string& info, const std::vector<uint8_t>& data);

  // Writers of the three formats. Each refuses (error line, false) what its
  // format cannot carry: names and infos above 255 bytes in MPCK and MPKB,
  // maps other than text maps, names with line feeds and a chain in MPKT, a
  // chain in MPKB.
  bool SaveMPCK(TStream& stream) const;
  bool SaveMPKT(TStream& stream) const;
  bool SaveMPKB(TStream& stream) const;

  std::vector<TXMapPackEntry> Entries;
  int32_t PackVersion = 0;
  std::unique_ptr<TXMapChain> Chain;
  int32_t ChainPosition = 0;

 private:
  void LoadMPCK(TStream& stream, int64_t start);
  void LoadMPKT(TStream& stream, int64_t start);
  void LoadMPKB(TStream& stream);
};

void XMapPackUnit_Startup();
