#pragma once
// The audio library's handle types, flags, error codes and sample record:
// shared by its calls (BASS.h) and the mixer that implements them.

#include <cstdint>

using HSTREAM = uint32_t;
using HMUSIC = uint32_t;
using HSAMPLE = uint32_t;
using HCHANNEL = uint32_t;
using QWORD = uint64_t;
using DWORD = uint32_t;
using BOOL = int;

// Flags of the loading calls.
constexpr DWORD BASS_SAMPLE_LOOP = 4;
constexpr DWORD BASS_MUSIC_RAMP = 0x200;
constexpr DWORD BASS_MUSIC_RAMPS = 0x400;
constexpr DWORD BASS_SAMPLE_OVER_POS = 0x20000;

// Devices of BASS_Init: -1 the default output, 1 the one SDL output, 0 no
// output at all (the mixer runs and is rendered with BASS_RenderOutput).
constexpr int BASS_DEVICE_DEFAULT = -1;
constexpr int BASS_DEVICE_NOSOUND = 0;

// Answers of BASS_ChannelIsActive.
constexpr DWORD BASS_ACTIVE_STOPPED = 0;
constexpr DWORD BASS_ACTIVE_PLAYING = 1;

// Error codes of BASS_ErrorGetCode.
constexpr int BASS_OK = 0;
constexpr int BASS_ERROR_MEM = 1;
constexpr int BASS_ERROR_FILEOPEN = 2;
constexpr int BASS_ERROR_DRIVER = 3;
constexpr int BASS_ERROR_HANDLE = 5;
constexpr int BASS_ERROR_FORMAT = 6;
constexpr int BASS_ERROR_INIT = 8;
constexpr int BASS_ERROR_ALREADY = 14;
constexpr int BASS_ERROR_NOCHAN = 18;
constexpr int BASS_ERROR_ILLPARAM = 20;
constexpr int BASS_ERROR_DEVICE = 23;
constexpr int BASS_ERROR_FILEFORM = 41;

// A sample's defaults. Only freq, volume, pan, flags (loop and override bits)
// and max are taken by BASS_SampleSetInfo; the rest is information.
struct BASS_SAMPLE {
  DWORD freq = 44100;     // default playback rate in Hz
  float volume = 1.0f;    // 0 silent .. 1 full
  float pan = 0.0f;       // -1 left .. 0 centre .. +1 right
  DWORD flags = 0;
  DWORD length = 0;       // data length in bytes (16-bit samples)
  DWORD max = 1;          // simultaneous playbacks
  DWORD origres = 16;     // bits per sample of the source data
  DWORD chans = 2;
  DWORD mingap = 0;
  DWORD mode3d = 0;
  float mindist = 0, maxdist = 0;
  DWORD iangle = 0, oangle = 0;
  float outvol = 1.0f;
  DWORD vam = 0, priority = 0;
};
