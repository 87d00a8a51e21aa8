#include "AudioDecoders.h"

#include <mpg123.h>
#include <xmp.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "ZRStream3.h"

namespace audio {

namespace {

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

class TMemoryBytes : public TByteSource {
 public:
  TMemoryBytes(const uint8_t* data, size_t size) : Data_(data), Size_(size) {}
  int64_t Read(void* buffer, size_t count) override {
    const size_t n = std::min(count, Size_ - Pos_);
    if (n > 0) std::memcpy(buffer, Data_ + Pos_, n);
    Pos_ += n;
    return static_cast<int64_t>(n);
  }
  int64_t Seek(int64_t offset, int whence) override {
    int64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? static_cast<int64_t>(Pos_) : static_cast<int64_t>(Size_);
    const int64_t target = base + offset;
    if (target < 0 || target > static_cast<int64_t>(Size_)) return -1;
    Pos_ = static_cast<size_t>(target);
    return target;
  }

 private:
  const uint8_t* Data_;
  size_t Size_;
  size_t Pos_ = 0;
};

// A window of a file, so that an MP3 stored inside the archive streams
// straight from the archive file.
class TFileRegion : public TByteSource {
 public:
  TFileRegion(std::unique_ptr<TFileStream> file, int64_t start, int64_t length)
      : File_(std::move(file)), Start_(start), Length_(length) {}
  int64_t Read(void* buffer, size_t count) override {
    const int64_t n = std::min<int64_t>(static_cast<int64_t>(count), Length_ - Pos_);
    if (n <= 0) return 0;
    if (File_->Seek(Start_ + Pos_, soBeginning) < 0) return -1;
    const int64_t got = File_->Read(buffer, n);
    if (got < 0) return -1;
    Pos_ += got;
    return got;
  }
  int64_t Seek(int64_t offset, int whence) override {
    int64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? Pos_ : Length_;
    const int64_t target = base + offset;
    if (target < 0 || target > Length_) return -1;
    Pos_ = target;
    return target;
  }

 private:
  std::unique_ptr<TFileStream> File_;
  int64_t Start_;
  int64_t Length_;
  int64_t Pos_ = 0;
};

ssize_t Mp3Read(void* handle, void* buffer, size_t count) {
  return static_cast<ssize_t>(static_cast<TByteSource*>(handle)->Read(buffer, count));
}
off_t Mp3Seek(void* handle, off_t offset, int whence) {
  return static_cast<off_t>(static_cast<TByteSource*>(handle)->Seek(offset, whence));
}

class TMp3Stream : public TStreamSource {
 public:
  ~TMp3Stream() override {
    if (Handle_) {
      mpg123_close(Handle_);
      mpg123_delete(Handle_);
    }
  }

  bool Open(std::unique_ptr<TByteSource> bytes) {
    static std::once_flag once;
    std::call_once(once, [] { mpg123_init(); });
    Bytes_ = std::move(bytes);
    int err = MPG123_OK;
    Handle_ = mpg123_new(nullptr, &err);
    if (!Handle_) return false;
    mpg123_param(Handle_, MPG123_ADD_FLAGS, MPG123_QUIET, 0);
    // Any rate and channel count the file has, always as signed 16 bit; the
    // mixer converts the rate.
    mpg123_format_none(Handle_);
    const long* rates = nullptr;
    size_t count = 0;
    mpg123_rates(&rates, &count);
    for (size_t i = 0; i < count; ++i) {
      mpg123_format(Handle_, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
    }
    if (mpg123_replace_reader_handle(Handle_, Mp3Read, Mp3Seek, nullptr) != MPG123_OK) return false;
    if (mpg123_open_handle(Handle_, Bytes_.get()) != MPG123_OK) return false;
    if (!UpdateFormat()) return false;
    // Data that only looks like MP3 at its start is refused here rather than
    // playing as silence. The first reads may only announce the format.
    for (int i = 0; i < 16 && !Ended_; ++i) {
      if (Decode()) return true;
    }
    return false;
  }

  uint32_t Rate() const override { return Rate_; }

  uint32_t Read(int16_t* out, uint32_t frames) override {
    uint32_t produced = 0;
    int idle = 0;
    while (produced < frames) {
      if (PendingPos_ < PendingFrames_) {
        const uint32_t n = std::min(frames - produced, PendingFrames_ - PendingPos_);
        std::memcpy(out + 2 * produced, Pending_.data() + 2 * PendingPos_, n * 4);
        PendingPos_ += n;
        produced += n;
        continue;
      }
      if (Ended_) break;
      if (!Decode()) {
        // A decoder that keeps answering without data is treated as ended.
        if (++idle > 64) Ended_ = true;
      } else {
        idle = 0;
      }
    }
    return produced;
  }

  bool Rewind() override {
    // A fresh start rather than mpg123_seek: after a seek libmpg123 primes its
    // filters differently (the loop would not sound as the first pass), and
    // in a stream that starts with junk it may find no frame at all, so the
    // song would never play again.
    if (Bytes_->Seek(0, SEEK_SET) != 0) return false;
    mpg123_close(Handle_);
    PendingPos_ = PendingFrames_ = 0;
    Ended_ = false;
    return mpg123_open_handle(Handle_, Bytes_.get()) == MPG123_OK && UpdateFormat();
  }

 private:
  bool UpdateFormat() {
    long rate = 0;
    int channels = 0, encoding = 0;
    if (mpg123_getformat(Handle_, &rate, &channels, &encoding) != MPG123_OK) return false;
    if (rate <= 0 || (channels != 1 && channels != 2)) return false;
    Rate_ = static_cast<uint32_t>(rate);
    Channels_ = static_cast<uint32_t>(channels);
    return true;
  }

  // Decodes the next block into Pending_; false when it gave no frames.
  bool Decode() {
    size_t done = 0;
    const int r = mpg123_read(Handle_, Raw_, sizeof Raw_, &done);
    if (r == MPG123_NEW_FORMAT) {
      if (!UpdateFormat()) Ended_ = true;
    } else if (r != MPG123_OK) {
      Ended_ = true;
    }
    const size_t samples = done / 2;
    const uint32_t frames = static_cast<uint32_t>(samples / Channels_);
    Pending_.resize(static_cast<size_t>(frames) * 2);
    const int16_t* src = reinterpret_cast<const int16_t*>(Raw_);
    if (Channels_ == 2) {
      // A block of no frames leaves Pending_ without storage to copy into.
      if (frames > 0) std::memcpy(Pending_.data(), src, static_cast<size_t>(frames) * 4);
    } else {
      for (uint32_t i = 0; i < frames; ++i) Pending_[2 * i] = Pending_[2 * i + 1] = src[i];
    }
    PendingFrames_ = frames;
    PendingPos_ = 0;
    return frames > 0;
  }

  std::unique_ptr<TByteSource> Bytes_;
  mpg123_handle* Handle_ = nullptr;
  uint32_t Rate_ = 44100;
  uint32_t Channels_ = 2;
  bool Ended_ = false;
  alignas(int16_t) unsigned char Raw_[16384];
  std::vector<int16_t> Pending_;
  uint32_t PendingFrames_ = 0;
  uint32_t PendingPos_ = 0;
};

class TModuleStream : public TStreamSource {
 public:
  TModuleStream(uint32_t rate, bool loop, bool interpolate) : Rate_(rate), Loop_(loop), Interpolate_(interpolate) {}
  ~TModuleStream() override {
    if (!Context_) return;
    if (Started_) xmp_end_player(Context_);
    if (Loaded_) xmp_release_module(Context_);
    xmp_free_context(Context_);
  }

  bool Open(const uint8_t* data, size_t size) {
    Context_ = xmp_create_context();
    if (!Context_) return false;
    if (size == 0 || size > static_cast<size_t>(INT32_MAX)) return false;
    if (xmp_load_module_from_memory(Context_, data, static_cast<long>(size)) != 0) return false;
    Loaded_ = true;
    // A module without channels plays frames of no samples, and libxmp's
    // buffer filler would wait for samples forever.
    xmp_module_info info{};
    xmp_get_module_info(Context_, &info);
    if (!info.mod || info.mod->chn <= 0) return false;
    // The player and its mixing buffers come with the first play (the
    // mixer rewinds a stream before it first plays it): a song that is
    // loaded but never heard costs only its module data.
    return true;
  }

  uint32_t Rate() const override { return Rate_; }

  uint32_t Read(int16_t* out, uint32_t frames) override {
    if (Ended_ || !Started_) return 0;
    // Loop count 0 lets the module run on from its restart position; 1 ends it
    // after one pass. The call that reaches the end still holds the tail.
    if (xmp_play_buffer(Context_, out, static_cast<int>(frames * 4), Loop_ ? 0 : 1) < 0) Ended_ = true;
    return frames;
  }

  bool Rewind() override {
    if (Started_) xmp_end_player(Context_);
    Started_ = false;
    return Start();
  }

 private:
  bool Start() {
    if (xmp_start_player(Context_, static_cast<int>(Rate_), 0) != 0) return false;
    Started_ = true;
    Ended_ = false;
    xmp_set_player(Context_, XMP_PLAYER_INTERP, Interpolate_ ? XMP_INTERP_LINEAR : XMP_INTERP_NEAREST);
    // Amiga modules pan their channels hard left and right; 70 % separation
    // keeps every voice audible on both sides, as most players do.
    xmp_set_player(Context_, XMP_PLAYER_MIX, 70);
    return true;
  }

  xmp_context Context_ = nullptr;
  uint32_t Rate_;
  bool Loop_;
  bool Interpolate_;
  bool Loaded_ = false;
  bool Started_ = false;
  bool Ended_ = false;
};

}  // namespace

bool DecodeWav(const uint8_t* data, size_t size, TPcm& out) {
  if (size < 12 || std::memcmp(data, "RIFF", 4) != 0 || std::memcmp(data + 8, "WAVE", 4) != 0) return false;
  bool haveFormat = false;
  uint16_t tag = 0, channels = 0, bits = 0;
  uint32_t rate = 0;
  const uint8_t* pcm = nullptr;
  size_t pcmSize = 0;
  // Whatever follows the RIFF block (a file region may run on) is not read.
  const uint64_t riffEnd = 8ull + Le32(data + 4);
  if (riffEnd < size) size = static_cast<size_t>(riffEnd);
  size_t pos = 12;
  while (pos + 8 <= size) {
    const uint8_t* id = data + pos;
    size_t length = Le32(data + pos + 4);
    const size_t body = pos + 8;
    const size_t available = size - body;
    if (length > available) {
      // A cut-off file still plays what it holds of its sound data.
      if (std::memcmp(id, "data", 4) != 0) return false;
      length = available;
    }
    if (std::memcmp(id, "fmt ", 4) == 0) {
      if (length < 16) return false;
      tag = Le16(data + body);
      channels = Le16(data + body + 2);
      rate = Le32(data + body + 4);
      bits = Le16(data + body + 14);
      if (tag == 0xFFFE && length >= 26) tag = Le16(data + body + 24);  // extensible: the sub-format
      haveFormat = true;
    } else if (std::memcmp(id, "data", 4) == 0 && !pcm) {
      pcm = data + body;
      pcmSize = length;
    }
    pos = body + length + (length & 1);
  }
  if (!haveFormat || !pcm || tag != 1) return false;
  if ((channels != 1 && channels != 2) || (bits != 8 && bits != 16) || rate == 0 || rate > 1000000) return false;
  const size_t frameBytes = static_cast<size_t>(channels) * (bits / 8);
  const size_t frames = std::min<size_t>(pcmSize / frameBytes, kMaxSampleFrames);
  if (frames == 0) return false;
  out.Channels = channels;
  out.Rate = rate;
  out.OriginalBits = bits;
  out.Frames = static_cast<uint32_t>(frames);
  out.Data.resize(frames * channels);
  if (bits == 8) {
    for (size_t i = 0; i < out.Data.size(); ++i) out.Data[i] = static_cast<int16_t>((pcm[i] - 128) * 256);
  } else {
    for (size_t i = 0; i < out.Data.size(); ++i) out.Data[i] = static_cast<int16_t>(Le16(pcm + 2 * i));
  }
  return true;
}

bool DecodeMp3(const uint8_t* data, size_t size, TPcm& out) {
  auto stream = OpenMp3Stream(MemoryBytes(data, size));
  if (!stream) return false;
  out.Channels = 2;
  out.Rate = stream->Rate();
  out.OriginalBits = 16;
  out.Data.clear();
  std::vector<int16_t> block(2 * 4096);
  for (;;) {
    const uint32_t n = stream->Read(block.data(), 4096);
    if (n == 0) break;
    out.Data.insert(out.Data.end(), block.begin(), block.begin() + 2 * n);
    if (out.Data.size() / 2 >= kMaxSampleFrames) break;
  }
  out.Data.resize(std::min<size_t>(out.Data.size(), static_cast<size_t>(kMaxSampleFrames) * 2));
  out.Frames = static_cast<uint32_t>(out.Data.size() / 2);
  return out.Frames > 0;
}

bool DecodeSample(const uint8_t* data, size_t size, TPcm& out) {
  if (size >= 4 && std::memcmp(data, "RIFF", 4) == 0) return DecodeWav(data, size, out);
  return DecodeMp3(data, size, out);
}

std::unique_ptr<TByteSource> MemoryBytes(const uint8_t* data, size_t size) {
  return std::make_unique<TMemoryBytes>(data, size);
}

std::unique_ptr<TByteSource> FileBytes(const std::string& fileName, uint64_t offset, uint64_t length) {
  auto file = std::make_unique<TFileStream>(fileName, fmOpenRead);
  if (!file->IsOpen()) return nullptr;
  const int64_t size = file->Size();
  if (size < 0 || offset > static_cast<uint64_t>(size)) return nullptr;
  const uint64_t rest = static_cast<uint64_t>(size) - offset;
  if (length == 0 || length > rest) length = rest;
  return std::make_unique<TFileRegion>(std::move(file), static_cast<int64_t>(offset), static_cast<int64_t>(length));
}

std::unique_ptr<TStreamSource> OpenMp3Stream(std::unique_ptr<TByteSource> bytes) {
  if (!bytes) return nullptr;
  auto stream = std::make_unique<TMp3Stream>();
  if (!stream->Open(std::move(bytes))) return nullptr;
  return stream;
}

std::unique_ptr<TStreamSource> OpenModule(const uint8_t* data, size_t size, uint32_t rate, bool loop,
                                          bool interpolate) {
  auto module = std::make_unique<TModuleStream>(rate, loop, interpolate);
  if (!module->Open(data, size)) return nullptr;
  return module;
}

}  // namespace audio
