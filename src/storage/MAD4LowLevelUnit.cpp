#include "MAD4LowLevelUnit.h"

#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

#include "Logger.h"

namespace {

const std::string kUnit = "MAD4LowLevelUnit, TMAD4LowLevel.";
// A write inside one page of the file is never cut in two by a kill: the
// system stops a killed writer only between pages.
constexpr int64_t kPageSize = 4096;

bool InOnePage(int64_t position) { return position % kPageSize <= kPageSize - 8; }
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
  // A pipe would hold the mount in its first read, a device is no archive.
  struct stat st {};
  if (::stat(FileName.c_str(), &st) != 0) {
    // A link to nothing: creating the archive would write where it points.
    Log->Error("Cannot open the archive, it is a link to nothing! (" + FileName + ")", Loc("Mount"));
    Status = -1;
    return false;
  }
  if (!S_ISREG(st.st_mode)) {
    Log->Error("The archive is not a regular file! (" + FileName + ")", Loc("Mount"));
    Status = -1;
    return false;
  }
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
  // An empty or foreign file where the archive should be: every lookup in
  // it will fail, which the log should explain.
  if (!ok || (magic != kFourCC_MAD4 && magic != kFourCC_MADU)) {
    Log->Error("Not an archive! (" + FileName + ")", Loc("Mount"));
    Status = 2;
    return false;
  }
  Stream->ReadU32(&ok);
  if (!ok) {
    Log->Error("Not an archive! (" + FileName + ")", Loc("Mount"));
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
  // The new archive is written whole under another name and then linked to
  // its own: a crash or a full disk during creation leaves either no archive
  // or a complete empty one, never a file that no later start can mount. The
  // temporary name is the process's own, so two copies starting at once do
  // not write one file; the link fails when the other copy was first.
  RemoveStaleTemporaries(FileName, ".new");
  const std::string temp = FileName + ".new." + std::to_string(::getpid());
  Stream = std::make_unique<TFileStream>(temp, fmCreate);
  if (!Stream->IsOpen()) {
    Log->Error("Cannot create the archive! (" + FileName + ": " + std::strerror(errno) + ")", Loc("Mount"));
    Status = -1;
    return false;
  }
  ::flock(Stream->Handle(), LOCK_EX | LOCK_NB);
  ReadOnly_ = false;
  const bool written = Stream->WriteU32(kFourCC_MAD4) && Stream->WriteU32(8) && WriteTrailer();
  if (!written) LogWriteFailure(FileName, "Mount");
  bool ok = written;
  bool lost = false;  // another copy created the archive first
  if (ok && ::link(temp.c_str(), FileName.c_str()) != 0) {
    lost = errno == EEXIST;
    if (!lost) Log->Error("Cannot create the archive! (" + FileName + ": " + std::strerror(errno) + ")", Loc("Mount"));
    ok = false;
  }
  std::remove(temp.c_str());
  if (!ok) {
    Stream.reset();
    Chunks.clear();
    Damaged_ = false;
    Status = -1;
    return lost && OpenExisting(ReadOnly_);
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
    // The trailer ends the archive. Adds write behind it and link their
    // chunk in last, by one write to the trailer itself: anything behind a
    // trailer is an add that was cut off before it was linked in.
    if (chunk->FourCC == kFourCC_ENDS && chunk->Size == 4) break;
  }
  if (pos < length && !Chunks.empty() && Chunks.back().FourCC == kFourCC_ENDS) {
    CutUnfinishedAdd(pos, length);
  } else if (pos != length) {
    Log->Error("Stray bytes behind the last chunk! (Start=" + std::to_string(pos) + ")", Loc("Mount"));
    Damaged_ = true;
  }
}

void TMAD4LowLevel::CutUnfinishedAdd(int64_t end, int64_t length) {
  Log->Warning("Unfinished add behind the trailer, " + std::string(ReadOnly_ ? "left out" : "cut off") +
                   "! (Start=" + std::to_string(end) + ", Size=" + std::to_string(length - end) + ")",
               Loc("Mount"));
  if (ReadOnly_) return;
  // The trailer's value may be stale (an add writes its chunk's data over
  // it before it links the chunk in): it is set to the archive's length
  // before the file is cut back to it.
  Stream->SetPosition(end - 4);
  bool ok = Stream->WriteU32(static_cast<uint32_t>(end - ArchiveStart));
  Stream->SetPosition(end);
  ok = ok && Stream->Truncate();
  if (!ok) {
    LogWriteFailure(FileName, "Mount");
    Damaged_ = true;
  }
}

std::unique_ptr<TMAD4ChunkData> TMAD4LowLevel::ReadChunkData(int64_t position) {
  auto chunk = std::make_unique<TMAD4ChunkData>();
  chunk->Start = static_cast<int32_t>(position);
  if (!Stream) return chunk;
  // Type and size in one read: the walk calls this for every chunk.
  Stream->SetPosition(position);
  uint8_t header[8] = {};
  const int64_t got = Stream->Read(header, sizeof header);
  TMemoryStream fields(std::vector<uint8_t>(header, header + std::max<int64_t>(got, 0)));
  chunk->FourCC = fields.ReadU32();
  Log->Debug("Chunk found: " + FourCCHex(chunk->FourCC), Loc("ReadChunkData"));
  chunk->Size = static_cast<int32_t>(fields.ReadU32());
  if (chunk->Size >= 0) Stream->Seek(chunk->Size, soCurrent);
  return chunk;
}

void TMAD4LowLevel::UpdateTrailer() {
  if (!Writable()) return;
  const int64_t length = Stream->Size();
  const TUndo undo = Snapshot(std::max<int64_t>(ArchiveStart + 8, length - 12), length);
  if (!undo.Ok || !WriteTrailer()) RollBack(undo, "UpdateTrailer");
}

bool TMAD4LowLevel::WriteTrailer() {
  const int64_t length = Stream->Size();
  // The trailer is found through the chunk list, not by its bytes: a member
  // whose data happens to end like a trailer must not be overwritten.
  bool ok = true;
  if (!Chunks.empty() && Chunks.back().FourCC == kFourCC_ENDS && Chunks.back().Size == 4 &&
      Chunks.back().Start + int64_t{12} == length) {
    ok = UpdateU32(Chunks.back().Start + 8, static_cast<uint32_t>(length - ArchiveStart));
  } else {
    Stream->SetPosition(length);
    ok = Stream->WriteU32(kFourCC_ENDS) && Stream->WriteU32(4) &&
         Stream->WriteU32(static_cast<uint32_t>(length + 12 - ArchiveStart));
    if (ok) Chunks.push_back(TMAD4ChunkData{kFourCC_ENDS, 4, static_cast<int32_t>(length)});
  }
  // The header of an archive that starts after other data is at its own
  // start, not at the start of the file.
  const int64_t newLength = Stream->Size();
  return ok && UpdateU32(ArchiveStart + 4, static_cast<uint32_t>(newLength - ArchiveStart - 8));
}

bool TMAD4LowLevel::UpdateU32(int64_t position, uint32_t value) {
  // An archive closed unchanged keeps its bytes and its modification time.
  Stream->SetPosition(position);
  bool read = false;
  if (Stream->ReadU32(&read) == value && read) return true;
  Stream->SetPosition(position);
  return Stream->WriteU32(value);
}

TMAD4LowLevel::TUndo TMAD4LowLevel::Snapshot(int64_t from, int64_t to) {
  TUndo undo;
  undo.Length = Stream->Size();
  undo.At = from;
  undo.Chunks = Chunks;
  const int64_t end = std::min(to, undo.Length);
  if (end > from) {
    undo.Bytes.resize(static_cast<std::size_t>(end - from));
    Stream->SetPosition(from);
    if (!Stream->ReadBuffer(undo.Bytes.data(), end - from)) return undo;
  }
  Stream->SetPosition(ArchiveStart + 4);
  undo.HeaderSize = Stream->ReadU32(&undo.Ok);
  return undo;
}

void TMAD4LowLevel::RollBack(const TUndo& undo, const char* op) {
  // A writer below (WriteNull) has logged the failure already.
  if (!Damaged_) LogWriteFailure(FileName, op);
  // Cutting the file back frees what the failed write took; the bytes put
  // back lie inside the old length, so a full disk does not refuse them.
  bool ok = undo.Ok;
  if (ok && Stream->Size() != undo.Length) {
    Stream->SetPosition(undo.Length);
    ok = Stream->Truncate();
  }
  Stream->SetPosition(undo.At);
  ok = ok && Stream->WriteBuffer(undo.Bytes.data(), static_cast<int64_t>(undo.Bytes.size()));
  Stream->SetPosition(ArchiveStart + 4);
  ok = ok && Stream->WriteU32(undo.HeaderSize);
  Chunks = undo.Chunks;
  Damaged_ = !ok;
  if (!ok) Log->Error("Cannot restore the archive, no more writes to it! (" + FileName + ")", Loc(op));
}

int32_t TMAD4LowLevel::Add(uint32_t fourCC, TStream& data) {
  Log->Debug(FourCCHex(fourCC), Loc("Add"));
  if (fourCC == kFourCC_NULL || fourCC == kFourCC_ENDS) {
    Log->Error("Invalid FourCC! (" + FourCCHex(fourCC) + ")", Loc("Add"));
    return -1;
  }
  if (!Writable()) {
    Log->Error("Archive is not writable! (" + FileName + ")", Loc("Add"));
    return -1;
  }
  data.SetPosition(0);
  const std::vector<uint8_t> bytes = data.ReadAll();
  const int64_t size = static_cast<int64_t>(bytes.size());

  // Exact fit: the first free chunk of the same size, in file order.
  for (TMAD4ChunkData& c : Chunks) {
    if (c.FourCC == kFourCC_NULL && c.Size == size) {
      const TUndo undo = Snapshot(c.Start, c.Start + 8 + size);
      // Data first, type last: until the type is written the chunk is free.
      Stream->SetPosition(c.Start + 8);
      bool ok = undo.Ok && Stream->WriteBuffer(bytes.data(), size);
      Stream->SetPosition(c.Start);
      if (!ok || !Stream->WriteU32(fourCC)) {
        RollBack(undo, "Add");
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
      const TUndo undo = Snapshot(start, start + 8 + int64_t{c.Size});
      if (!undo.Ok) {
        RollBack(undo, "Add");
        return -1;
      }
      // The smaller free chunk is written while the old one still covers it,
      // and the new chunk's header last, its size before its type (a free
      // chunk of the new size first), so the file is walkable throughout and
      // no member shows bytes that are not its own.
      WriteNull(nullStart, nullSize);
      Stream->SetPosition(start + 8);
      bool ok = !Damaged_ && Stream->WriteBuffer(bytes.data(), size);
      Stream->SetPosition(start + 4);
      ok = ok && Stream->WriteU32(static_cast<uint32_t>(size));
      Stream->SetPosition(start);
      if (!ok || !Stream->WriteU32(fourCC)) {
        RollBack(undo, "Add");
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
  // End. The chunk is linked in by one write that turns the trailer into
  // its header; everything else it needs (its data, a new trailer behind it)
  // is written first, where the walk does not look, since it stops at the
  // trailer. A process killed before that write leaves the archive as it
  // was, and the next mount cuts off what it wrote behind the trailer.
  if (!TrailerAtEnd()) {
    UpdateTrailer();  // an archive read without a trailer gets one first
    if (!Writable() || !TrailerAtEnd()) return -1;
  }
  const std::size_t trailerIndex = Chunks.size() - 1;
  std::size_t run = trailerIndex;
  while (run > 0 && Chunks[run - 1].FourCC == kFourCC_NULL) --run;
  // Free chunks at the end are reused: a trailer is first written over the
  // first of them, by the same kind of write, and ends the walk there. The
  // end of the file must tell where the archive starts at every moment: in
  // an archive behind other data, a new trailer that would overwrite part
  // of the old one before the file grows past it rules that out.
  const int64_t oldTrailer = Chunks[trailerIndex].Start;
  const int64_t reusedEnd = run < trailerIndex ? Chunks[run].Start + 8 + size : 0;
  const bool reuse = run < trailerIndex && InOnePage(Chunks[run].Start) &&
                     (ArchiveStart == 0 || reusedEnd <= oldTrailer - 12 || reusedEnd >= oldTrailer);
  const int64_t trailer = Chunks[reuse ? run : trailerIndex].Start;
  // A write that crosses a page boundary can be cut in two by a kill: then
  // the chunk goes behind the trailer, and the trailer becomes a free chunk
  // of 4 bytes by a write of its type alone, which links the chunk in
  // whether it is cut or not.
  const bool whole = InOnePage(trailer);
  const int64_t start = whole ? trailer : trailer + 12;
  const int64_t end = start + 8 + size;
  if (end + 12 > INT32_MAX) {
    Log->Error("Archive would grow past 2 GiB! (" + FileName + ")", Loc("Add"));
    return -1;
  }
  const TUndo undo = Snapshot(trailer, INT64_MAX);
  bool ok = undo.Ok;
  if (reuse) {
    // Its value is not read while it is not at the end of the file; a
    // mount that finds the add cut off sets it.
    Stream->SetPosition(trailer);
    ok = ok && WriteHeader(kFourCC_ENDS, 4);
  }
  Stream->SetPosition(end);
  ok = ok && Stream->WriteU32(kFourCC_ENDS) && Stream->WriteU32(4) &&
       Stream->WriteU32(static_cast<uint32_t>(end + 12 - ArchiveStart));
  Stream->SetPosition(start + 8);
  ok = ok && Stream->WriteBuffer(bytes.data(), size);
  Stream->SetPosition(start);
  ok = ok && WriteHeader(fourCC, static_cast<uint32_t>(size));
  if (!whole) {
    Stream->SetPosition(trailer);
    ok = ok && Stream->WriteU32(kFourCC_NULL);
  }
  // Free space behind the new trailer (more than the chunk needed, too
  // little for a split) is cut off last, once the chunk is linked in.
  Stream->SetPosition(end + 12);
  ok = ok && (Stream->Size() == end + 12 || Stream->Truncate());
  Stream->SetPosition(ArchiveStart + 4);
  ok = ok && Stream->WriteU32(static_cast<uint32_t>(end + 12 - ArchiveStart - 8));
  if (!ok) {
    RollBack(undo, "Add");
    return -1;
  }
  Chunks.erase(Chunks.begin() + static_cast<std::ptrdiff_t>(reuse ? run : trailerIndex), Chunks.end());
  if (!whole) Chunks.push_back(TMAD4ChunkData{kFourCC_NULL, 4, static_cast<int32_t>(trailer)});
  Chunks.push_back(TMAD4ChunkData{fourCC, static_cast<int32_t>(size), static_cast<int32_t>(start)});
  Chunks.push_back(TMAD4ChunkData{kFourCC_ENDS, 4, static_cast<int32_t>(end)});
  Log->Debug("  Put at the end (Start=" + std::to_string(start) + ", Size=" + std::to_string(size) + ")", Loc("Add"));
  Log->Debug("Start=" + std::to_string(start) + ", Size=" + std::to_string(size) +
                 ", Streamsize=" + std::to_string(end + 12),
             Loc("Add"));
  return static_cast<int32_t>(start);
}

bool TMAD4LowLevel::TrailerAtEnd() {
  return !Chunks.empty() && Chunks.back().FourCC == kFourCC_ENDS && Chunks.back().Size == 4 &&
         Chunks.back().Start + int64_t{12} == Stream->Size();
}

bool TMAD4LowLevel::WriteHeader(uint32_t fourCC, uint32_t size) {
  uint8_t header[8];
  for (int i = 0; i < 4; ++i) {
    header[i] = static_cast<uint8_t>(fourCC >> (8 * i));
    header[4 + i] = static_cast<uint8_t>(size >> (8 * i));
  }
  return Stream->WriteBuffer(header, sizeof header);
}

void TMAD4LowLevel::WriteNull(int32_t start, int32_t size) {
  Log->Debug("Start: " + std::to_string(start) + ", Size: " + std::to_string(size), Loc("WriteNull"));
  if (!Writable() || start < 0 || size < 0) return;
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
  if (!FileWritable()) return;
  Log->Debug("Before combining NULLs", Loc("CombineNulls"));
  static const uint8_t zeros[8] = {};
  for (std::ptrdiff_t i = static_cast<std::ptrdiff_t>(Chunks.size()) - 2; i >= 0; --i) {
    TMAD4ChunkData& a = Chunks[static_cast<std::size_t>(i)];
    const TMAD4ChunkData& b = Chunks[static_cast<std::size_t>(i) + 1];
    if (a.FourCC != kFourCC_NULL || b.FourCC != kFourCC_NULL) continue;
    // The grown size first: from then on the second header is skipped.
    const int32_t oldSize = a.Size;
    a.Size = a.Size + b.Size + 8;
    Stream->SetPosition(a.Start + 4);
    const bool ok = Stream->WriteU32(static_cast<uint32_t>(a.Size));
    Stream->SetPosition(b.Start);
    if (!ok || !Stream->WriteBuffer(zeros, 8)) {
      // The pairs merged before stay merged; this one is put back.
      LogWriteFailure(FileName, "CombineNulls");
      a.Size = oldSize;
      Stream->SetPosition(a.Start + 4);
      Damaged_ = !Stream->WriteU32(static_cast<uint32_t>(oldSize));
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
  if (!Writable()) return false;
  const int index = IndexOfChunk(chunkStart);
  if (index < 0) return false;
  TMAD4ChunkData& c = Chunks[static_cast<std::size_t>(index)];
  if (c.FourCC == kFourCC_NULL || c.FourCC == kFourCC_ENDS) return false;
  const TUndo undo = Snapshot(c.Start, c.Start + 8 + int64_t{c.Size});
  if (undo.Ok) WriteNull(c.Start, c.Size);
  if (!undo.Ok || Damaged_) {
    RollBack(undo, "Release");
    return false;
  }
  c.FourCC = kFourCC_NULL;
  return true;
}

void MAD4LowLevelUnit_Startup() { LogUnitVersion("MAD4LowLevelUnit", "1.06"); }
