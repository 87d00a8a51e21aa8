#pragma once
// The chunk archive file: an 8-byte header ("MAD4" and the file length minus
// 8), typed chunks back to back, and a 12-byte "ENDS" trailer whose value N
// tells where the archive starts (file length - N). This layer walks the
// chunks, hands out their data, adds chunks with reuse of free ("NULL")
// space, and keeps the header and trailer right when the archive is closed.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "StreamUnit.h"

constexpr uint32_t FourCC(const char (&s)[5]) {
  return static_cast<uint32_t>(static_cast<uint8_t>(s[0])) | (static_cast<uint32_t>(static_cast<uint8_t>(s[1])) << 8) |
         (static_cast<uint32_t>(static_cast<uint8_t>(s[2])) << 16) |
         (static_cast<uint32_t>(static_cast<uint8_t>(s[3])) << 24);
}
constexpr uint32_t kFourCC_NULL = FourCC("NULL");
constexpr uint32_t kFourCC_ENDS = FourCC("ENDS");
constexpr uint32_t kFourCC_MAD4 = FourCC("MAD4");
constexpr uint32_t kFourCC_MADU = FourCC("MADU");

// "NULL" -> "4C4C554E": the value as 8 upper-case hexadecimal digits.
std::string FourCCHex(uint32_t fourCC);
// "NULL" -> "NULL", with unprintable bytes shown as "?".
std::string FourCCText(uint32_t fourCC);

struct TMAD4ChunkData {
  uint32_t FourCC = 0;
  int32_t Size = 0;
  int32_t Start = 0;
};

class TMAD4LowLevel {
 public:
  TMAD4LowLevel();
  virtual ~TMAD4LowLevel();
  TMAD4LowLevel(const TMAD4LowLevel&) = delete;
  TMAD4LowLevel& operator=(const TMAD4LowLevel&) = delete;

  // Opens the archive; a missing file is created as the 20-byte empty
  // archive. A read/write mount takes an exclusive lock on the file; when
  // another process holds it, or the file cannot be written, or its chunks
  // are damaged, the archive is mounted read-only instead, with a log line.
  virtual void Mount(const std::string& fileName, bool readOnly);
  // Rewrites trailer and header size and merges free chunks (read/write
  // mounts only), then closes the file.
  virtual void Unmount();
  // Stores a chunk; the absolute position of its header, or -1.
  virtual int32_t Add(uint32_t fourCC, TStream& data);

  std::unique_ptr<TMAD4ChunkData> ReadChunkData(int64_t position);
  void WriteNull(int32_t start, int32_t size);
  void CombineNulls();
  void UpdateTrailer();
  // A read-only stream positioned at the chunk's data, or null when no chunk
  // starts there.
  std::unique_ptr<TStream> OpenChunk(int32_t chunkStart, int32_t& size);
  int IndexOfChunk(int32_t chunkStart) const;
  const TMAD4ChunkData* GetChunk(int index) const;
  int ChunkCount() const { return static_cast<int>(Chunks.size()); }

  // Turns a payload chunk into free space of the same size (the data tool
  // removes members this way). False on a read-only mount or an unknown start.
  bool Release(int32_t chunkStart);

  bool ReadOnly() const { return ReadOnly_; }
  // The walk met a chunk that does not fit the file; nothing is written then.
  bool Damaged() const { return Damaged_; }
  // Mounted for reading and writing, with every chunk intact.
  bool Writable() const { return Mounted && FileWritable(); }

  bool Mounted = false;
  std::string FileName;
  std::unique_ptr<TFileStream> Stream;
  std::vector<TMAD4ChunkData> Chunks;
  int32_t Status = -1;
  int32_t ArchiveStart = 0;

 protected:
  // The open file may be written. Unmount merges free chunks after the
  // archive has stopped counting as mounted, so that step asks only this.
  bool FileWritable() const { return Stream && !ReadOnly_ && !Damaged_; }

 private:
  // What a write is about to change: the file's length, the bytes from `At`
  // up to that length or the end of the change, the header's size field and
  // the chunk list. A write that fails puts these back.
  struct TUndo {
    int64_t Length = 0;
    int64_t At = 0;
    std::vector<uint8_t> Bytes;
    uint32_t HeaderSize = 0;
    std::vector<TMAD4ChunkData> Chunks;
    bool Ok = false;
  };
  TUndo Snapshot(int64_t from, int64_t to);
  // Logs the failed write, then restores the snapshot; only when that fails
  // too is the archive marked damaged (nothing more is written to it).
  void RollBack(const TUndo& undo, const char* op);
  bool WriteTrailer();
  // Writes a number at `position` unless it is there already.
  bool UpdateU32(int64_t position, uint32_t value);
  bool OpenExisting(bool readOnly);
  bool CreateEmpty();
  void Walk();
  // Bytes from `end` to `length` lie behind the trailer: an add killed
  // before it linked its chunk in. A read/write mount cuts them off.
  void CutUnfinishedAdd(int64_t end, int64_t length);
  // The last chunk is a trailer and ends the file.
  bool TrailerAtEnd();
  // A chunk header (type and size) in one write, at the stream's position.
  bool WriteHeader(uint32_t fourCC, uint32_t size);

  bool ReadOnly_ = false;
  bool Damaged_ = false;
};

void MAD4LowLevelUnit_Startup();
