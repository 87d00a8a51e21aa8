#pragma once
// Decoders behind the audio library: whole-file PCM for samples, and pull
// sources for streamed music (MP3 through libmpg123, modules through libxmp).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace audio {

// Decoded sound: interleaved signed 16-bit frames.
struct TPcm {
  std::vector<int16_t> Data;
  uint32_t Frames = 0;
  uint32_t Channels = 1;  // 1 or 2
  uint32_t Rate = 44100;
  uint32_t OriginalBits = 16;
};

// Longest decoded sample accepted: about 25 minutes at 44.1 kHz, far beyond
// any sound effect, and it keeps a hostile file from exhausting memory.
constexpr uint32_t kMaxSampleFrames = 1u << 26;

// A RIFF WAVE file with PCM data of 8 or 16 bits, 1 or 2 channels.
bool DecodeWav(const uint8_t* data, size_t size, TPcm& out);
// A whole MP3 file.
bool DecodeMp3(const uint8_t* data, size_t size, TPcm& out);
// WAV when the data starts like one, MP3 otherwise.
bool DecodeSample(const uint8_t* data, size_t size, TPcm& out);

// Bytes an MP3 stream reads: a memory block or a region of a file.
class TByteSource {
 public:
  virtual ~TByteSource() = default;
  virtual int64_t Read(void* buffer, size_t count) = 0;
  // Like lseek within the region; -1 on failure.
  virtual int64_t Seek(int64_t offset, int whence) = 0;
};
std::unique_ptr<TByteSource> MemoryBytes(const uint8_t* data, size_t size);
// Null when the file cannot be opened or the offset lies beyond its end.
// `length` 0 means up to the end of the file; a longer length is cut there.
std::unique_ptr<TByteSource> FileBytes(const std::string& fileName, uint64_t offset, uint64_t length);

// A source of stereo 16-bit frames at its own rate, pulled by the mixer.
class TStreamSource {
 public:
  virtual ~TStreamSource() = default;
  virtual uint32_t Rate() const = 0;
  // Fills up to `frames` stereo frames; returns how many, 0 at the end.
  virtual uint32_t Read(int16_t* out, uint32_t frames) = 0;
  // Back to the start; false when that is not possible.
  virtual bool Rewind() = 0;
};

// Null when the bytes are not a decodable MP3 stream.
std::unique_ptr<TStreamSource> OpenMp3Stream(std::unique_ptr<TByteSource> bytes);
// Null when libxmp does not accept the data. `loop` makes the module play on
// from its restart position instead of ending; `interpolate` smooths it.
std::unique_ptr<TStreamSource> OpenModule(const uint8_t* data, size_t size, uint32_t rate, bool loop,
                                          bool interpolate);

}  // namespace audio
