#pragma once
// The audio library's calls, as the program uses them. Implemented by the
// project's own mixer on SDL's audio output.

#include <cstdint>

using HSTREAM = uint32_t;
using HMUSIC = uint32_t;
using HSAMPLE = uint32_t;
using HCHANNEL = uint32_t;
using QWORD = uint64_t;
using DWORD = uint32_t;
using BOOL = int;

constexpr DWORD BASS_SAMPLE_LOOP = 4;
constexpr DWORD BASS_MUSIC_RAMP = 0x200;
constexpr DWORD BASS_SAMPLE_OVER_POS = 0x20000;

struct BASS_SAMPLE {
  DWORD freq = 44100;
  float volume = 1.0f;
  float pan = 0.0f;
  DWORD flags = 0;
  DWORD length = 0;
  DWORD max = 1;
  DWORD origres = 16;
  DWORD chans = 2;
  DWORD mingap = 0;
  DWORD mode3d = 0;
  float mindist = 0, maxdist = 0;
  DWORD iangle = 0, oangle = 0;
  float outvol = 1.0f;
  DWORD vam = 0, priority = 0;
};

DWORD BASS_GetVersion();
BOOL BASS_Init(int device, DWORD freq, DWORD flags, void* win, void* clsid);
BOOL BASS_Free();
float BASS_GetVolume();
BOOL BASS_SetVolume(float volume);
HSTREAM BASS_StreamCreateFile(BOOL mem, const void* file, QWORD offset, QWORD length, DWORD flags);
HMUSIC BASS_MusicLoad(BOOL mem, const void* file, QWORD offset, DWORD length, DWORD flags, DWORD freq);
BOOL BASS_MusicFree(HMUSIC handle);
BOOL BASS_ChannelPlay(DWORD handle, BOOL restart);
BOOL BASS_ChannelStop(DWORD handle);
HSAMPLE BASS_SampleLoad(BOOL mem, const void* file, QWORD offset, DWORD length, DWORD max, DWORD flags);
BOOL BASS_SampleFree(HSAMPLE handle);
HCHANNEL BASS_SampleGetChannel(HSAMPLE handle, BOOL onlynew);
BOOL BASS_SampleGetInfo(HSAMPLE handle, BASS_SAMPLE* info);
BOOL BASS_SampleSetInfo(HSAMPLE handle, const BASS_SAMPLE* info);
