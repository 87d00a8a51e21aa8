#include "MAD4LowLevelUnit.h"

#include <sys/file.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>

#include "Logger.h"

namespace {

const std::string kUnit = "MAD4LowLevelUnit, TMAD4LowLevel.";
// More chunks than any real archive holds; a hostile file of empty chunks
// would otherwise make the walk allocate without bound.
constexpr std::size_t kMaxChunks = std::size_t{1} << 24;

std::string Loc(const char* op) { return kUnit + op; }

// A write the disk refused (full, failing): logged once per operation. The
// caller marks the archive damaged so that nothing more is written to it and
// every chunk written before stays as it was.
void LogWriteFailure(const std::string& fileName, const char* op) {
  Log->Error("Cannot write the archive! (" + fileName + ")", Loc(op));
}

}  // namespace

std::string FourCCHex(uint32_t fourCC) {
  char buf[9];
  std::snprintf(buf, sizeof buf, "%08X", fourCC);
  return buf;
}

std::string FourCCText(uint32_t fourCC) {
  std::string s;
  for (int i = 0; i < 4; ++i) {
    char c = static_cast<char>((fourCC >> (8 * i)) & 0xFF);
    s += (c >= 32 && c < 127) ? c : '?';
  }
  return s;
}

TMAD4LowLevel::TMAD4LowLevel() = default;

TMAD4LowLevel::~TMAD4LowLevel() {
  // The directory layer's destructor has unmounted already when it is one.
  if (Mounted) TMAD4LowLevel::Unmount();
}

void TMAD4LowLevel::Mount(const std::string& fileName, bool readOnly) {
  Log->Debug("Mounting file: " + fileName, Loc("Mount"));
  Log->Debug(readOnly ? "Mode: Read-only" : "Mode: Read/Write", Loc("Mount"));
  if (Mounted) Unmount();
  FileName = fileName;
  Chunks.clear();
  ArchiveStart = 0;
  ReadOnly_ = readOnly;
  Damaged_ = false;
  const bool ok = ::FileExists(fileName) ? OpenExisting(readOnly) : CreateEmpty();
  if (!ok) {
    Stream.reset();
    Chunks.clear();
    Mounted = false;
    return;
  }
  if (readOnly) {
    // A missing file was created for writing; a read-only mount holds no lock.
    ReadOnly_ = true;
    ::flock(Stream->Handle(), LOCK_UN);
  }
  Mounted = true;
  Status = 0;
}

bool TMAD4LowLevel::OpenExisting(bool readOnly) {
  if (!readOnly) {
    Stream = std::make_unique<TFileStream>(FileName, fmOpenReadWrite);
    if (!Stream->IsOpen()) {
      Log->Warning("Cannot write the archive, mounting it read-only! (" + FileName + ")", Loc("Mount"));
      ReadOnly_ = true;
    } else if (::flock(Stream->Handle(), LOCK_EX | LOCK_NB) != 0) {
      // Two processes writing one archive would each rewrite the trailer and
      // the free space from their own idea of the chunk list.
      Log->Warning("Archive in use by another process, mounting it read-only! (" + FileName + ")", Loc("Mount"));
      ReadOnly_ = true;
    }
  }
  if (ReadOnly_) Stream = std::make_unique<TFileStream>(FileName, fmOpenRead);
  if (!Stream->IsOpen()) {
    Log->Error("Cannot open the archive! (" + FileName + ")", Loc("Mount"));
    Status = -1;
    return false;
  }
  const int64_t length = Stream->Size();
  if (length < 0 || length > INT32_MAX) {
    Log->Error("Archive is larger than 2 GiB! (" + FileName + ")", Loc("Mount"));
    Status = 2;
    return false;
  }
  int64_t start = 0;
  if (length >= 12) {
    Stream->SetPosition(length - 12);
    const uint32_t tag = Stream->ReadU32();
    const uint32_t size = Stream->ReadU32();
    if (tag == kFourCC_ENDS && size == 4) {
      // N is taken unsigned: a value that cannot be a distance inside the
      // file means no trailer, not an archive before the file's start.
      const uint32_t n = Stream->ReadU32();
      start = n > static_cast<uint64_t>(length) ? 0 : length - n;
    }
  }
  ArchiveStart = static_cast<int32_t>(start);
  Stream->SetPosition(start);
  bool ok = false;
  const uint32_t magic = Stream->ReadU32(&ok);
  if (!ok || (magic != kFourCC_MAD4 && magic != kFourCC_MADU)) {
    Status = 2;
    return false;
  }
  Stream->ReadU32(&ok);
  if (!ok) {
    Status = 2;
    return false;
  }
  Walk();
  if (Damaged_) {
    Log->Error("Damaged archive, mounted read-only! (" + FileName + ")", Loc("Mount"));
    ReadOnly_ = true;
  }
  return true;
}

bool TMAD4LowLevel::CreateEmpty() {
  // The new archive is written whole under another name and then renamed:
  // a crash or a full disk during creation leaves either no archive or a
  // complete empty one, never a file that no later start can mount.
  const std::string temp = FileName + ".new";
  Stream = std::make_unique<TFileStream>(temp, fmCreate);
  if (!Stream->IsOpen()) {
    Log->Error("Cannot create the archive! (" + FileName + ")", Loc("Mount"));
    Status = -1;
    return false;
  }
  ::flock(Stream->Handle(), LOCK_EX | LOCK_NB);
  ReadOnly_ = false;
  const bool written = Stream->WriteU32(kFourCC_MAD4) && Stream->WriteU32(8);
  if (written) UpdateTrailer();  // logs its own failure
  if (!written) LogWriteFailure(FileName, "Mount");
  bool ok = written && !Damaged_;
  if (ok && std::rename(temp.c_str(), FileName.c_str()) != 0) {
    Log->Error("Cannot create the archive! (" + FileName + ")", Loc("Mount"));
    ok = false;
  }
  if (!ok) {
    Stream.reset();
    std::remove(temp.c_str());
    Damaged_ = false;
    Status = -1;
    return false;
  }
  return true;
}

void TMAD4LowLevel::Walk() {
  const int64_t length = Stream->Size();
  int64_t pos = ArchiveStart + 8;
  while (pos <= length - 8) {
    std::unique_ptr<TMAD4ChunkData> chunk = ReadChunkData(pos);
    // A negative size, or one that runs past the end, would send the walk
    // backwards or outside the file: the rest of the file is not trusted.
    if (chunk->Size < 0 || pos + 8 + chunk->Size > length) {
      Log->Error("Chunk does not fit the file! (Start=" + std::to_string(pos) +
                     ", Size=" + std::to_string(chunk->Size) + ")",
                 Loc("Mount"));
      Damaged_ = true;
      return;
    }
    if (Chunks.size() >= kMaxChunks) {
      Log->Error("Too many chunks! (" + FileName + ")", Loc("Mount"));
      Damaged_ = true;
      return;
    }
    Chunks.push_back(*chunk);
    pos += 8 + static_cast<int64_t>(chunk->Size);
  }
  if (pos != length) {
    Log->Error("Stray bytes behind the last chunk! (Start=" + std::to_string(pos) + ")", Loc("Mount"));
    Damaged_ = true;
  }
}

std::unique_ptr<TMAD4ChunkData> TMAD4LowLevel::ReadChunkData(int64_t position) {
  auto chunk = std::make_unique<TMAD4ChunkData>();
  chunk->Start = static_cast<int32_t>(position);
  if (!Stream) return chunk;
  Stream->SetPosition(position);
  chunk->FourCC = Stream->ReadU32();
  Log->Debug("Chunk found: " + FourCCHex(chunk->FourCC), Loc("ReadChunkData"));
  chunk->Size = static_cast<int32_t>(Stream->ReadU32());
  if (chunk->Size >= 0) Stream->Seek(chunk->Size, soCurrent);
  return chunk;
}

void TMAD4LowLevel::UpdateTrailer() {
  if (!Stream || ReadOnly_ || Damaged_) return;
  const int64_t length = Stream->Size();
  // The trailer is found through the chunk list, not by its bytes: a member
  // whose data happens to end like a trailer must not be overwritten.
  bool ok = true;
  if (!Chunks.empty() && Chunks.back().FourCC == kFourCC_ENDS && Chunks.back().Size == 4 &&
      Chunks.back().Start + int64_t{12} == length) {
    Stream->SetPosition(Chunks.back().Start + 8);
    ok = Stream->WriteU32(static_cast<uint32_t>(length - ArchiveStart));
  } else {
    Stream->SetPosition(length);
    ok = Stream->WriteU32(kFourCC_ENDS) && Stream->WriteU32(4) &&
         Stream->WriteU32(static_cast<uint32_t>(length + 12 - ArchiveStart));
    if (ok) Chunks.push_back(TMAD4ChunkData{kFourCC_ENDS, 4, static_cast<int32_t>(length)});
  }
  // The header of an archive that starts after other data is at its own
  // start, not at the start of the file.
  const int64_t newLength = Stream->Size();
  Stream->SetPosition(ArchiveStart + 4);
  ok = ok && Stream->WriteU32(static_cast<uint32_t>(newLength - ArchiveStart - 8));
  if (!ok) {
    LogWriteFailure(FileName, "UpdateTrailer");
    Damaged_ = true;
  }
}

int32_t TMAD4LowLevel::Add(uint32_t fourCC, TStream& data) {
  Log->Debug(FourCCHex(fourCC), Loc("Add"));
  if (fourCC == kFourCC_NULL || fourCC == kFourCC_ENDS) {
    Log->Error("Invalid FourCC! (" + FourCCHex(fourCC) + ")", Loc("Add"));
    return -1;
  }
  if (!Mounted || !Stream || ReadOnly_ || Damaged_) {
    Log->Error("Archive is not writable! (" + FileName + ")", Loc("Add"));
    return -1;
  }
  data.SetPosition(0);
  const std::vector<uint8_t> bytes = data.ReadAll();
  const int64_t size = static_cast<int64_t>(bytes.size());

  // Exact fit: the first free chunk of the same size, in file order.
  for (TMAD4ChunkData& c : Chunks) {
    if (c.FourCC == kFourCC_NULL && c.Size == size) {
      // Data first, type last: until the type is written the chunk is free.
      Stream->SetPosition(c.Start + 8);
      bool ok = Stream->WriteBuffer(bytes.data(), size);
      Stream->SetPosition(c.Start);
      if (!ok || !Stream->WriteU32(fourCC)) {
        LogWriteFailure(FileName, "Add");
        Damaged_ = true;
        return -1;
      }
      c.FourCC = fourCC;
      Log->Debug("  Replace whole NULL (Start=" + std::to_string(c.Start) + ", Size=" + std::to_string(c.Size) + ")",
                 Loc("Add"));
      return c.Start;
    }
  }
  // Split: the first free chunk with room for the data and a new header.
  for (std::size_t i = 0; i < Chunks.size(); ++i) {
    TMAD4ChunkData& c = Chunks[i];
    if (c.FourCC == kFourCC_NULL && c.Size >= size + 8) {
      const int32_t start = c.Start;
      const int32_t nullStart = static_cast<int32_t>(start + 8 + size);
      const int32_t nullSize = static_cast<int32_t>(c.Size - size - 8);
      // The smaller free chunk is written while the old one still covers it,
      // and the new chunk's header last, so the file is walkable throughout.
      WriteNull(nullStart, nullSize);
      if (Damaged_) return -1;
      Stream->SetPosition(start + 8);
      bool ok = Stream->WriteBuffer(bytes.data(), size);
      Stream->SetPosition(start);
      if (!ok || !Stream->WriteU32(fourCC) || !Stream->WriteU32(static_cast<uint32_t>(size))) {
        LogWriteFailure(FileName, "Add");
        Damaged_ = true;
        return -1;
      }
      c.Start = nullStart;
      c.Size = nullSize;
      Chunks.insert(Chunks.begin() + static_cast<std::ptrdiff_t>(i),
                    TMAD4ChunkData{fourCC, static_cast<int32_t>(size), start});
      Log->Debug("  Overwrite partial NULL (Start=" + std::to_string(start) + ", Size=" + std::to_string(size) + ")",
                 Loc("Add"));
      return start;
    }
  }
  // End: over the free chunks and the trailer at the end of the list.
  std::size_t run = Chunks.size();
  while (run > 0 && (Chunks[run - 1].FourCC == kFourCC_NULL || Chunks[run - 1].FourCC == kFourCC_ENDS)) --run;
  const int64_t start = run < Chunks.size() ? Chunks[run].Start : Stream->Size();
  if (start + 8 + size + 12 > INT32_MAX) {
    Log->Error("Archive would grow past 2 GiB! (" + FileName + ")", Loc("Add"));
    return -1;
  }
  Stream->SetPosition(start + 8);
  bool ok = Stream->WriteBuffer(bytes.data(), size);
  Stream->SetPosition(start);
  ok = ok && Stream->WriteU32(fourCC) && Stream->WriteU32(static_cast<uint32_t>(size));
  // Whatever lay behind the new chunk (free space too small to split, the old
  // trailer) belongs to no chunk any more: cut it off before the new trailer.
  Stream->SetPosition(start + 8 + size);
  if (!ok || !Stream->Truncate()) {
    LogWriteFailure(FileName, "Add");
    Damaged_ = true;
    return -1;
  }
  Chunks.erase(Chunks.begin() + static_cast<std::ptrdiff_t>(run), Chunks.end());
  Chunks.push_back(TMAD4ChunkData{fourCC, static_cast<int32_t>(size), static_cast<int32_t>(start)});
  Log->Debug("  Put at the end (Start=" + std::to_string(start) + ", Size=" + std::to_string(size) + ")", Loc("Add"));
  Log->Debug("Start=" + std::to_string(start) + ", Size=" + std::to_string(size) +
                 ", Streamsize=" + std::to_string(Stream->Size()),
             Loc("Add"));
  UpdateTrailer();
  return Damaged_ ? -1 : static_cast<int32_t>(start);
}

void TMAD4LowLevel::WriteNull(int32_t start, int32_t size) {
  Log->Debug("Start: " + std::to_string(start) + ", Size: " + std::to_string(size), Loc("WriteNull"));
  if (!Stream || ReadOnly_ || Damaged_ || start < 0 || size < 0) return;
  static const std::vector<uint8_t> zeros(4096, 0);
  Stream->SetPosition(start);
  bool ok = Stream->WriteU32(kFourCC_NULL) && Stream->WriteU32(static_cast<uint32_t>(size));
  int64_t left = size;
  while (ok && left > 0) {
    const int64_t n = std::min<int64_t>(left, 4096);
    ok = Stream->WriteBuffer(zeros.data(), n);
    left -= n;
  }
  if (!ok) {
    LogWriteFailure(FileName, "WriteNull");
    Damaged_ = true;
  }
}

void TMAD4LowLevel::CombineNulls() {
  if (!Stream || ReadOnly_ || Damaged_) return;
  Log->Debug("Before combining NULLs", Loc("CombineNulls"));
  static const uint8_t zeros[8] = {};
  for (std::ptrdiff_t i = static_cast<std::ptrdiff_t>(Chunks.size()) - 2; i >= 0; --i) {
    TMAD4ChunkData& a = Chunks[static_cast<std::size_t>(i)];
    const TMAD4ChunkData& b = Chunks[static_cast<std::size_t>(i) + 1];
    if (a.FourCC != kFourCC_NULL || b.FourCC != kFourCC_NULL) continue;
    // The grown size first: from then on the second header is skipped.
    a.Size = a.Size + b.Size + 8;
    Stream->SetPosition(a.Start + 4);
    const bool ok = Stream->WriteU32(static_cast<uint32_t>(a.Size));
    Stream->SetPosition(b.Start);
    if (!ok || !Stream->WriteBuffer(zeros, 8)) {
      LogWriteFailure(FileName, "CombineNulls");
      Damaged_ = true;
      return;
    }
    Chunks.erase(Chunks.begin() + i + 1);
  }
  Log->Debug("After combining NULLs", Loc("CombineNulls"));
}

void TMAD4LowLevel::Unmount() {
  if (!Mounted) return;
  UpdateTrailer();
  Mounted = false;
  Status = -1;
  CombineNulls();
  Chunks.clear();
  Stream.reset();
  ReadOnly_ = false;
  Damaged_ = false;
}

std::unique_ptr<TStream> TMAD4LowLevel::OpenChunk(int32_t chunkStart, int32_t& size) {
  const int index = IndexOfChunk(chunkStart);
  if (index < 0) return nullptr;
  auto s = std::make_unique<TFileStream>(FileName, fmOpenRead);
  if (!s->IsOpen()) return nullptr;
  s->SetPosition(chunkStart + int64_t{8});
  size = Chunks[static_cast<std::size_t>(index)].Size;
  return s;
}

int TMAD4LowLevel::IndexOfChunk(int32_t chunkStart) const {
  // The list is in file order, so it is sorted by start.
  auto it = std::lower_bound(Chunks.begin(), Chunks.end(), chunkStart,
                             [](const TMAD4ChunkData& c, int32_t s) { return c.Start < s; });
  if (it == Chunks.end() || it->Start != chunkStart) return -1;
  return static_cast<int>(it - Chunks.begin());
}

const TMAD4ChunkData* TMAD4LowLevel::GetChunk(int index) const {
  if (index < 0 || index >= static_cast<int>(Chunks.size())) return nullptr;
  return &Chunks[static_cast<std::size_t>(index)];
}

bool TMAD4LowLevel::Release(int32_t chunkStart) {
  if (!Mounted || !Stream || ReadOnly_ || Damaged_) return false;
  const int index = IndexOfChunk(chunkStart);
  if (index < 0) return false;
  TMAD4ChunkData& c = Chunks[static_cast<std::size_t>(index)];
  if (c.FourCC == kFourCC_NULL || c.FourCC == kFourCC_ENDS) return false;
  WriteNull(c.Start, c.Size);
  if (Damaged_) return false;
  c.FourCC = kFourCC_NULL;
  return true;
}

void MAD4LowLevelUnit_Startup() { LogUnitVersion("MAD4LowLevelUnit", "1.06"); }
