// Module music through the audio layer, loaded from memory and rendered for a
// moment. (MP3 data goes through the sample target: the audio layer has no way
// to free a stream, so streams cannot be made once per input.)
#include "BASS.h"
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::StartAudio();
  int16_t buffer[2 * 512];
  if (const HMUSIC music = BASS_MusicLoad(1, data, 0, static_cast<DWORD>(size), 0, 44100)) {
    BASS_ChannelPlay(music, 1);
    BASS_RenderOutput(buffer, 512);
    BASS_MusicFree(music);
  }
  return 0;
}
