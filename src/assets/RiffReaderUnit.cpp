#include "RiffReaderUnit.h"

#include <algorithm>

#include "ZRStream3.h"

TRiffReader::TRiffReader(TStream& stream) : Stream_(&stream) {
  Start_ = std::max<int64_t>(0, stream.Position());
  End_ = std::max(Start_, stream.Size());
  Cursor_ = Start_;
}

TRiffReader::TRiffReader(TStream& stream, int64_t start, int64_t size) : Stream_(&stream) {
  const int64_t streamSize = std::max<int64_t>(0, stream.Size());
  Start_ = std::clamp<int64_t>(start, 0, streamSize);
  End_ = size <= 0 ? Start_ : Start_ + std::min(size, streamSize - Start_);
  Cursor_ = Start_;
}

bool TRiffReader::Next() {
  if (Finished_) return false;
  if (Started_) {
    Cursor_ = DataStart_ + Size_;
    // The chunk just handled closed the list exactly.
    if (Cursor_ >= End_) {
      Finished_ = true;
      return false;
    }
  }
  Started_ = true;
  if (End_ - Cursor_ <= 8) {
    Finished_ = true;
    return false;
  }
  uint8_t header[8];
  if (Stream_->Seek(Cursor_, soBeginning) != Cursor_ || !Stream_->ReadBuffer(header, 8)) {
    Finished_ = true;
    Broken_ = true;
    return false;
  }
  const uint32_t size = static_cast<uint32_t>(header[4]) | (static_cast<uint32_t>(header[5]) << 8) |
                        (static_cast<uint32_t>(header[6]) << 16) | (static_cast<uint32_t>(header[7]) << 24);
  if (static_cast<int64_t>(size) > End_ - Cursor_ - 8) {
    Finished_ = true;
    Broken_ = true;
    return false;
  }
  ID_.assign(reinterpret_cast<const char*>(header), 4);
  Size_ = size;
  DataStart_ = Cursor_ + 8;
  return true;
}

int64_t TRiffReader::ReadData(int64_t offset, void* buffer, int64_t count) {
  if (!Started_ || offset < 0 || count <= 0 || offset >= static_cast<int64_t>(Size_)) return 0;
  count = std::min<int64_t>(count, static_cast<int64_t>(Size_) - offset);
  if (Stream_->Seek(DataStart_ + offset, soBeginning) != DataStart_ + offset) return 0;
  const int64_t got = Stream_->Read(buffer, count);
  return got < 0 ? 0 : got;
}

std::vector<uint8_t> TRiffReader::ChunkData() {
  std::vector<uint8_t> data(Started_ ? Size_ : 0);
  if (!data.empty() && ReadData(0, data.data(), static_cast<int64_t>(data.size())) != static_cast<int64_t>(data.size())) {
    data.clear();
  }
  return data;
}

bool TRiffReader::ReadDataU32(int64_t offset, uint32_t& value) {
  uint8_t b[4];
  if (ReadData(offset, b, 4) != 4) return false;
  value = static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) | (static_cast<uint32_t>(b[2]) << 16) |
          (static_cast<uint32_t>(b[3]) << 24);
  return true;
}

void TRiffReader::SeekData() {
  if (Started_) Stream_->Seek(DataStart_, soBeginning);
}

TRiffReader TRiffReader::SubReader() const {
  if (!Started_ || Finished_) return TRiffReader(*Stream_, End_, 0);
  return TRiffReader(*Stream_, DataStart_, Size_);
}
