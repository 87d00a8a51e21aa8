#include "MAD4MidLevelUnit.h"

#include <algorithm>
#include <utility>

#include "CompressorUnit.h"
#include "Logger.h"
#include "ZRToolbox.h"

namespace {

const char* const kMountLoc = "MAD4MidLevelUnit, TMAD4MidLevel.Mount";
const char* const kOpenLoc = "MAD4MidLevelUnit, TMAD4MidLevel.OpenFile";

// A short string inside a chunk of `left` bytes: false when it does not fit.
bool ReadShortString(TStream& s, int64_t& left, std::string& out) {
  if (left < 1) return false;
  bool ok = false;
  const uint8_t n = s.ReadU8(&ok);
  if (!ok || n > left - 1) return false;
  out.assign(n, '\0');
  if (!s.ReadBuffer(out.data(), n)) return false;
  left -= 1 + n;
  return true;
}

}  // namespace

TMAD4MidLevel::TMAD4MidLevel() = default;

TMAD4MidLevel::~TMAD4MidLevel() {
  if (Mounted) Unmount();
}

void TMAD4MidLevel::Mount(const std::string& fileName, bool readOnly) {
  if (Mounted) Unmount();
  TMAD4LowLevel::Mount(fileName, readOnly);
  if (!Mounted) return;
  for (const TMAD4ChunkData& chunk : Chunks) ReadEntry(chunk);
}

void TMAD4MidLevel::ReadEntry(const TMAD4ChunkData& chunk) {
  const uint32_t t = chunk.FourCC;
  if (t != kFourCC_RAWD && t != kFourCC_COMP && t != kFourCC_LINK && t != kFourCC_FVER) return;
  if (!Stream) return;
  // The chunk's head (the names, and a link's position behind its name) is
  // read through the archive's own stream in one read, so that a mount opens
  // the file once however many members it holds.
  const int64_t head = t == kFourCC_FVER ? 2 * (1 + 255) : 1 + 255 + 4;
  TMemoryStream s;
  s.Data.resize(static_cast<std::size_t>(std::clamp<int64_t>(chunk.Size, 0, head)));
  Stream->SetPosition(chunk.Start + int64_t{8});
  s.Data.resize(static_cast<std::size_t>(Stream->Read(s.Data.data(), static_cast<int64_t>(s.Data.size()))));
  int64_t left = chunk.Size;
  auto entry = std::make_unique<TMAD4FileData>();
  entry->ChunkStart = chunk.Start;
  const std::string where = " (Start=" + std::to_string(chunk.Start) + ")";
  if (t == kFourCC_FVER) {
    std::string v1, v2;
    if (!ReadShortString(s, left, v1) || !ReadShortString(s, left, v2)) {
      Log->Error("Version record does not fit its chunk!" + where, kMountLoc);
      return;
    }
    VersionText1 = v1;
    VersionText2 = v2;
    entry->Name = kVersionEntryName;
    entry->DataStart = chunk.Start;
    entry->DataSize = static_cast<int32_t>(v1.size() + v2.size() + 2);
  } else {
    if (!ReadShortString(s, left, entry->Name)) {
      Log->Error("Stored name does not fit its chunk!" + where, kMountLoc);
      return;
    }
    entry->DataStart = static_cast<int32_t>(chunk.Start + 8 + 1 + static_cast<int64_t>(entry->Name.size()));
    entry->DataSize = static_cast<int32_t>(left);
    if (t == kFourCC_LINK) {
      bool ok = false;
      const uint32_t rel = left >= 4 ? s.ReadU32(&ok) : 0;
      if (!ok) {
        Log->Error("Link does not fit its chunk! (" + entry->Name + ")", kMountLoc);
        return;
      }
      // A target outside the file cannot be a chunk start; 0 marks "no link",
      // which then opens as nothing.
      const int64_t target = static_cast<int64_t>(rel) + ArchiveStart;
      entry->LinkTarget = target <= INT32_MAX ? static_cast<int32_t>(target) : 0;
    }
  }
  AddEntry(std::move(entry));
}

void TMAD4MidLevel::AddEntry(std::unique_ptr<TMAD4FileData> entry) {
  const int index = static_cast<int>(Files.size());
  ByName_.emplace(UpperCase(entry->Name), index);
  ByChunk_.emplace(entry->ChunkStart, index);
  Files.push_back(std::move(entry));
}

void TMAD4MidLevel::RebuildIndex() {
  ByName_.clear();
  ByChunk_.clear();
  for (int i = 0; i < static_cast<int>(Files.size()); ++i) {
    ByName_.emplace(UpperCase(Files[static_cast<std::size_t>(i)]->Name), i);
    ByChunk_.emplace(Files[static_cast<std::size_t>(i)]->ChunkStart, i);
  }
}

void TMAD4MidLevel::Unmount() {
  Files.clear();
  ByName_.clear();
  ByChunk_.clear();
  TMAD4LowLevel::Unmount();
}

int TMAD4MidLevel::IndexOfFile(const std::string& name) const {
  auto it = ByName_.find(UpperCase(name));
  return it == ByName_.end() ? -1 : it->second;
}

const TMAD4FileData* TMAD4MidLevel::GetFileData(int index) const {
  if (index < 0 || index >= static_cast<int>(Files.size())) return nullptr;
  return Files[static_cast<std::size_t>(index)].get();
}

std::unique_ptr<TMemoryStream> TMAD4MidLevel::OpenFile(const std::string& name) {
  const TMAD4FileData* entry = GetFileData(IndexOfFile(name));
  if (!entry || !Stream) return nullptr;
  if (entry->LinkTarget != 0) {
    // One step only: a link to a link is not followed further.
    auto it = ByChunk_.find(entry->LinkTarget);
    if (it == ByChunk_.end()) return nullptr;
    entry = GetFileData(it->second);
  }
  const TMAD4ChunkData* chunk = GetChunk(IndexOfChunk(entry->ChunkStart));
  if (!chunk) return nullptr;
  if (chunk->FourCC != kFourCC_COMP && chunk->FourCC != kFourCC_RAWD) return nullptr;
  Stream->SetPosition(entry->DataStart);
  auto raw = std::make_unique<TMemoryStream>();
  raw->Data.resize(static_cast<std::size_t>(entry->DataSize));
  if (!Stream->ReadBuffer(raw->Data.data(), entry->DataSize)) {
    Log->Error("Cannot read the stored file! (" + name + ")", kOpenLoc);
    return nullptr;
  }
  if (chunk->FourCC == kFourCC_RAWD) return raw;
  TCompressor local;
  std::unique_ptr<TMemoryStream> result = (Compressor ? *Compressor : local).Decompress(std::move(raw));
  if (!result) Log->Error("Corrupt compressed file! (" + name + ")", kOpenLoc);
  return result;
}

void TMAD4MidLevel::GetFileInfo(std::string& name, int32_t& start, int32_t& size, bool& compressed) const {
  const TMAD4FileData* entry = GetFileData(IndexOfFile(name));
  if (!entry) {
    start = -1;
    return;
  }
  name = FileName;
  start = entry->DataStart;
  size = entry->DataSize;
  const TMAD4ChunkData* chunk = GetChunk(IndexOfChunk(entry->ChunkStart));
  compressed = chunk && chunk->FourCC == kFourCC_COMP;
}

int32_t TMAD4MidLevel::StoreFile(uint32_t fourCC, TStream& data) {
  const int32_t start = Add(fourCC, data);
  if (start >= 0) {
    if (const TMAD4ChunkData* chunk = GetChunk(IndexOfChunk(start))) ReadEntry(*chunk);
  }
  return start;
}

bool TMAD4MidLevel::RemoveFile(const std::string& name) {
  const TMAD4FileData* entry = GetFileData(IndexOfFile(name));
  return entry && RemoveChunk(entry->ChunkStart);
}

bool TMAD4MidLevel::RemoveChunk(int32_t chunkStart) {
  if (!Release(chunkStart)) return false;
  std::erase_if(Files, [chunkStart](const auto& f) { return f->ChunkStart == chunkStart; });
  RebuildIndex();
  return true;
}

void MAD4MidLevelUnit_Startup() { LogUnitVersion("MAD4MidLevelUnit", "1.08"); }
