// MP3 music as the audio layer streams it: opened from memory, pulled in the
// mixer's block size, rewound (a playlist looping the song) and pulled again:
// the second pass must be as long as the first. (Samples are compared only for
// well-formed files, in the tests: on damaged frames libmpg123 reads decoder
// state it never wrote, which differs between a new handle and a reopened one
// by a step or so.)
#include <memory>

#include "AudioDecoders.h"
#include "FuzzSupport.h"

namespace {

constexpr uint32_t kBlock = 1024;
int16_t Block[2 * kBlock];

// Frames until the end; inputs are at most 4 KiB, so a few hundred blocks is
// past the end of any.
uint64_t Drain(audio::TStreamSource& s) {
  uint64_t total = 0;
  for (int i = 0; i < 256; ++i) {
    const uint32_t n = s.Read(Block, kBlock);
    if (n > kBlock) fuzz::Fail("more frames than asked for");
    if (n == 0) break;
    total += n;
  }
  return total;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::unique_ptr<audio::TStreamSource> stream = audio::OpenMp3Stream(audio::MemoryBytes(data, size));
  if (!stream) return 0;
  if (stream->Rate() == 0) fuzz::Fail("an open stream without a rate");
  const uint64_t first = Drain(*stream);
  if (!stream->Rewind()) fuzz::Fail("a stream that played cannot rewind");
  if (Drain(*stream) != first) fuzz::Fail("a rewound stream plays another length");
  return 0;
}
