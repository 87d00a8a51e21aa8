// Placeholder until the mixer lands: reports the right version but no device,
// so the program runs on silently as it does on a machine without sound.
#include "BASS.h"

namespace {
float MasterVolume = 100.0f;
}

DWORD BASS_GetVersion() { return 0x02040000; }
BOOL BASS_Init(int, DWORD, DWORD, void*, void*) { return 0; }
BOOL BASS_Free() { return 1; }
float BASS_GetVolume() { return MasterVolume; }
BOOL BASS_SetVolume(float volume) {
  MasterVolume = volume;
  return 1;
}
HSTREAM BASS_StreamCreateFile(BOOL, const void*, QWORD, QWORD, DWORD) { return 0; }
HMUSIC BASS_MusicLoad(BOOL, const void*, QWORD, DWORD, DWORD, DWORD) { return 0; }
BOOL BASS_MusicFree(HMUSIC) { return 0; }
BOOL BASS_ChannelPlay(DWORD, BOOL) { return 0; }
BOOL BASS_ChannelStop(DWORD) { return 0; }
HSAMPLE BASS_SampleLoad(BOOL, const void*, QWORD, DWORD, DWORD, DWORD) { return 0; }
BOOL BASS_SampleFree(HSAMPLE) { return 0; }
HCHANNEL BASS_SampleGetChannel(HSAMPLE, BOOL) { return 0; }
BOOL BASS_SampleGetInfo(HSAMPLE, BASS_SAMPLE*) { return 0; }
BOOL BASS_SampleSetInfo(HSAMPLE, const BASS_SAMPLE*) { return 0; }
