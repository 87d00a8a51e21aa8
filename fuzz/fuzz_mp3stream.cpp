// MP3 music as the audio layer streams it: opened from memory, pulled in the
// mixer's block size, rewound (a playlist looping the song) and pulled again:
// the second pass must sound exactly as the first.
#include <cstring>
#include <memory>

#include "AudioDecoders.h"
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  constexpr uint32_t kBlock = 1024;
  std::unique_ptr<audio::TStreamSource> stream = audio::OpenMp3Stream(audio::MemoryBytes(data, size));
  if (!stream) return 0;
  if (stream->Rate() == 0) fuzz::Fail("an open stream without a rate");
  static int16_t first[2 * kBlock], again[2 * kBlock];
  const uint32_t n = stream->Read(first, kBlock);
  if (n > kBlock) fuzz::Fail("more frames than asked for");
  // Inputs are at most 4 KiB: a few hundred blocks is past the end of any.
  for (int i = 0; i < 256 && stream->Read(again, kBlock) > 0; ++i) {
  }
  if (!stream->Rewind()) fuzz::Fail("a stream that played cannot rewind");
  const uint32_t m = stream->Read(again, kBlock);
  if (m != n || std::memcmp(first, again, sizeof(int16_t) * 2 * n) != 0)
    fuzz::Fail("a rewound stream starts with other samples");
  return 0;
}
