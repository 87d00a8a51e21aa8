#pragma once
// The audio library's calls, as the program uses them. Implemented by the
// project's own mixer (AudioMixer) on SDL's audio output: MP3 streams through
// libmpg123, tracker modules through libxmp, samples from WAV or MP3 data.
//
// Every call may come from the program thread; mixing runs on SDL's audio
// thread, and each call holds SDL's audio lock only for a short table update.
// Handles are non-zero 32-bit values; 0 means failure (see BASS_ErrorGetCode).

#include <cstdint>

#include "BASSTypes.h"

// Version 2.4 in the high 16 bits.
DWORD BASS_GetVersion();
// Starts the mixer at `freq` Hz (8000 to 48000), 16-bit stereo. Fails when the
// device cannot be opened or the library is started already.
BOOL BASS_Init(int device, DWORD freq, DWORD flags, void* win, void* clsid);
// Closes the output and frees every stream, music and sample.
BOOL BASS_Free();
// Master volume: 100 full, 0 silent, linear in between. It is a setting of
// the process: it can be read and set whether or not the mixer runs.
float BASS_GetVolume();
BOOL BASS_SetVolume(float volume);
// An MP3 stream. From memory (`mem` true) `file` points at the data, which
// must stay untouched until the stream is freed; otherwise `file` is a file
// name and the stream reads the file from `offset`, `length` bytes (0: to the
// end of the file).
HSTREAM BASS_StreamCreateFile(BOOL mem, const void* file, QWORD offset, QWORD length, DWORD flags);
// A tracker module (MOD, XM, S3M, IT, ...). The data is copied.
HMUSIC BASS_MusicLoad(BOOL mem, const void* file, QWORD offset, DWORD length, DWORD flags, DWORD freq);
// Frees a module or an MP3 stream: the program frees its music through this
// one call whatever kind it loaded.
BOOL BASS_MusicFree(HMUSIC handle);
BOOL BASS_ChannelPlay(DWORD handle, BOOL restart);
BOOL BASS_ChannelStop(DWORD handle);
DWORD BASS_ChannelIsActive(DWORD handle);
// A sample from WAV (PCM 8 or 16 bit, mono or stereo) or MP3 data; `length`
// 0 from a file means to its end. The data is decoded and copied.
HSAMPLE BASS_SampleLoad(BOOL mem, const void* file, QWORD offset, DWORD length, DWORD max, DWORD flags);
BOOL BASS_SampleFree(HSAMPLE handle);
// A playback channel of the sample, set up with its current defaults. A sample
// has `max` channels with fixed handles; when all are playing, BASS_SAMPLE_OVER_POS
// hands out the one that has played longest (unless `onlynew`).
HCHANNEL BASS_SampleGetChannel(HSAMPLE handle, BOOL onlynew);
BOOL BASS_SampleGetInfo(HSAMPLE handle, BASS_SAMPLE* info);
BOOL BASS_SampleSetInfo(HSAMPLE handle, const BASS_SAMPLE* info);
// The error of the last call that failed on this thread, BASS_OK after success.
int BASS_ErrorGetCode();

// Renders `frames` stereo frames of the mix (2 * frames values, left first)
// into `buffer` and advances every playing channel as the output device would.
// Works with or without an open device; fails when the mixer is not started.
BOOL BASS_RenderOutput(int16_t* buffer, DWORD frames);
