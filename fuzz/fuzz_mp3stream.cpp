// MP3 music as the audio layer streams it: opened from memory, pulled in the
// mixer's block size, rewound (a playlist looping the song) and pulled again.
#include <memory>

#include "AudioDecoders.h"
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  constexpr uint32_t kBlock = 1024;
  std::unique_ptr<audio::TStreamSource> stream = audio::OpenMp3Stream(audio::MemoryBytes(data, size));
  if (!stream) return 0;
  if (stream->Rate() == 0) fuzz::Fail("an open stream without a rate");
  static int16_t block[2 * kBlock];
  const uint32_t n = stream->Read(block, kBlock);
  if (n > kBlock) fuzz::Fail("more frames than asked for");
  // Inputs are at most 4 KiB: a few hundred blocks is past the end of any.
  for (int i = 0; i < 256 && stream->Read(block, kBlock) > 0; ++i) {
  }
  if (!stream->Rewind()) return 0;
  // libmpg123 primes its filters differently after a seek (samples may
  // differ in the last bit), but the song must play again from its start.
  if (stream->Read(block, kBlock) != n) fuzz::Fail("a rewound stream starts with another length");
  return 0;
}
