#pragma once
// Reader of chunk lists: a sequence of chunks, each a 4-byte ASCII
// identifier, a 32-bit little-endian data length and that many data bytes,
// with no filler between chunks. Used by the map packs and the MATOR
// pictures; a chunk whose data is itself a chunk list is read through a
// sub-reader.
//
// Typical use:
//
//   TRiffReader list(stream);            // from the current position to the end
//   while (list.Next()) {
//     if (list.ChunkID() == "MAPD") {
//       std::vector<uint8_t> data = list.ChunkData();
//       ...
//     } else if (list.ChunkID() == "MPCK") {
//       TRiffReader nested = list.SubReader();
//       while (nested.Next()) ...
//     }
//   }
//   if (list.Broken()) ...               // a chunk ran past the end of the list
//
// Stepping: the cursor starts before the first chunk. Each Next() moves to
// the header of the next chunk (directly behind the previous chunk's data,
// however much of that data the caller read) and reads identifier and size.
// A step is taken only while more than 8 bytes follow the cursor, so a
// trailing chunk with no data and fewer than 8 stray bytes at the end are not
// visited; the list ends after the chunk whose end coincides with the end of
// the list's data. A chunk whose declared size reaches past the end of the
// list's data is not visited either: it ends the list and sets Broken().
// Nothing is ever read outside the range the reader was created over.

#include <cstdint>
#include <string>
#include <vector>

class TStream;

class TRiffReader {
 public:
  // The chunk list from the stream's current position to its end.
  explicit TRiffReader(TStream& stream);
  // The chunk list in the `size` bytes starting at absolute offset `start`;
  // the range is cut to the stream's size.
  TRiffReader(TStream& stream, int64_t start, int64_t size);

  // Moves to the next chunk; false when the list has ended.
  bool Next();

  // The current chunk (valid after Next() returned true).
  const std::string& ChunkID() const { return ID_; }
  uint32_t ChunkSize() const { return Size_; }
  // Absolute stream offset of the current chunk's first data byte.
  int64_t DataStart() const { return DataStart_; }

  // The current chunk's whole data; empty when the stream gives less.
  std::vector<uint8_t> ChunkData();
  // Reads up to `count` bytes of the current chunk's data from `offset`
  // (relative to the data start) into `buffer`; never reads past the chunk.
  // Returns the number of bytes read.
  int64_t ReadData(int64_t offset, void* buffer, int64_t count);
  // A 32-bit little-endian value at `offset` of the current chunk's data;
  // false when the chunk is too short.
  bool ReadDataU32(int64_t offset, uint32_t& value);
  // Positions the stream at the current chunk's first data byte.
  void SeekData();

  // A reader over the current chunk's data, read as a chunk list of its own.
  // It shares the stream with this reader.
  TRiffReader SubReader() const;

  // True when the list ended at a chunk that ran past the end of its data.
  bool Broken() const { return Broken_; }
  // True when no further chunk will be visited.
  bool Finished() const { return Finished_; }

  // Start and end (exclusive) of the range read as the chunk list.
  int64_t ListStart() const { return Start_; }
  int64_t ListEnd() const { return End_; }

  TStream& Stream() const { return *Stream_; }

 private:
  TStream* Stream_;
  int64_t Start_ = 0;
  int64_t End_ = 0;
  int64_t Cursor_ = 0;  // absolute offset of the next chunk header
  bool Started_ = false;
  bool Finished_ = false;
  bool Broken_ = false;
  std::string ID_;
  uint32_t Size_ = 0;
  int64_t DataStart_ = 0;
};
