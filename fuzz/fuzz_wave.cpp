// WAV (and MP3) samples through the audio layer, loaded from memory as the
// sound collection does, then played for a moment.
#include "BASS.h"
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::StartAudio();
  const HSAMPLE sample = BASS_SampleLoad(1, data, 0, static_cast<DWORD>(size), 3, 0);
  if (!sample) return 0;
  const HCHANNEL channel = BASS_SampleGetChannel(sample, 0);
  if (channel) BASS_ChannelPlay(channel, 1);
  int16_t buffer[2 * 256];
  BASS_RenderOutput(buffer, 256);
  BASS_SampleFree(sample);
  return 0;
}
