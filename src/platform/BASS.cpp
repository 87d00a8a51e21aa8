// The audio library's calls on top of the project's mixer: argument checks,
// loading and decoding on the calling thread, then a short hand-over to the
// mixer under SDL's audio lock.
#include "BASS.h"

#include <cmath>
#include <limits>

#include "AudioDecoders.h"
#include "AudioMixer.h"
#include "ZRStream3.h"

namespace {

thread_local int LastError = BASS_OK;

audio::TMixer& Mixer() { return audio::TMixer::Instance(); }

BOOL Result(int error) {
  LastError = error;
  return error == BASS_OK ? 1 : 0;
}

DWORD Fail(int error) {
  LastError = error;
  return 0;
}

// The bytes of a file region: `length` 0 reads to the end of the file.
bool ReadFileRegion(const char* fileName, uint64_t offset, uint64_t length, std::vector<uint8_t>& out, int& error) {
  TFileStream f(fileName, fmOpenRead);
  if (!f.IsOpen()) {
    error = BASS_ERROR_FILEOPEN;
    return false;
  }
  const int64_t size = f.Size();
  if (size < 0 || offset > static_cast<uint64_t>(size)) {
    error = BASS_ERROR_FILEOPEN;
    return false;
  }
  const uint64_t rest = static_cast<uint64_t>(size) - offset;
  if (length == 0 || length > rest) length = rest;
  if (length > static_cast<uint64_t>(std::numeric_limits<int32_t>::max())) {
    error = BASS_ERROR_MEM;
    return false;
  }
  out.resize(static_cast<size_t>(length));
  if (f.Seek(static_cast<int64_t>(offset), soBeginning) < 0 || !f.ReadBuffer(out.data(), static_cast<int64_t>(length))) {
    error = BASS_ERROR_FILEOPEN;
    return false;
  }
  return true;
}

}  // namespace

DWORD BASS_GetVersion() { return 0x02040000; }

BOOL BASS_Init(int device, DWORD freq, DWORD flags, void* win, void* clsid) {
  return Result(Mixer().Start(device, freq));
}

BOOL BASS_Free() {
  if (!Mixer().Running()) return Result(BASS_ERROR_INIT);
  Mixer().Shutdown();
  return Result(BASS_OK);
}

float BASS_GetVolume() {
  LastError = BASS_OK;
  return Mixer().Volume();
}

BOOL BASS_SetVolume(float volume) {
  if (std::isnan(volume) || volume < 0.0f || volume > 100.0f) return Result(BASS_ERROR_ILLPARAM);
  Mixer().SetVolume(volume);
  return Result(BASS_OK);
}

HSTREAM BASS_StreamCreateFile(BOOL mem, const void* file, QWORD offset, QWORD length, DWORD flags) {
  if (!Mixer().Running()) return Fail(BASS_ERROR_INIT);
  if (!file) return Fail(BASS_ERROR_ILLPARAM);
  std::unique_ptr<audio::TByteSource> bytes;
  if (mem) {
    if (length == 0 || length > std::numeric_limits<size_t>::max() - offset) return Fail(BASS_ERROR_ILLPARAM);
    bytes = audio::MemoryBytes(static_cast<const uint8_t*>(file) + offset, static_cast<size_t>(length));
  } else {
    bytes = audio::FileBytes(static_cast<const char*>(file), offset, length);
    if (!bytes) return Fail(BASS_ERROR_FILEOPEN);
  }
  auto source = audio::OpenMp3Stream(std::move(bytes));
  if (!source) return Fail(BASS_ERROR_FILEFORM);
  LastError = BASS_OK;
  return Mixer().AddStream(std::move(source), (flags & BASS_SAMPLE_LOOP) != 0, false);
}

namespace {

// The bytes a load call names: a buffer in memory, or a region of a file
// read into `fromFile`. Returns a BASS error code.
int Source(BOOL mem, const void* file, QWORD offset, QWORD length, std::vector<uint8_t>& fromFile,
           const uint8_t*& data, size_t& size) {
  if (mem) {
    if (length == 0) return BASS_ERROR_ILLPARAM;
    data = static_cast<const uint8_t*>(file) + offset;
    size = static_cast<size_t>(length);
    return BASS_OK;
  }
  int error = BASS_OK;
  if (!ReadFileRegion(static_cast<const char*>(file), offset, length, fromFile, error)) return error;
  data = fromFile.data();
  size = fromFile.size();
  return BASS_OK;
}

}  // namespace

HMUSIC BASS_MusicLoad(BOOL mem, const void* file, QWORD offset, DWORD length, DWORD flags, DWORD freq) {
  if (!Mixer().Running()) return Fail(BASS_ERROR_INIT);
  if (!file) return Fail(BASS_ERROR_ILLPARAM);
  std::vector<uint8_t> fromFile;
  const uint8_t* data = nullptr;
  size_t size = 0;
  if (int error = Source(mem, file, offset, length, fromFile, data, size); error != BASS_OK) return Fail(error);
  const uint32_t rate = freq >= 8000 && freq <= 48000 ? freq : Mixer().Rate();
  const bool interpolate = (flags & (BASS_MUSIC_RAMP | BASS_MUSIC_RAMPS)) != 0;
  const bool loop = (flags & BASS_SAMPLE_LOOP) != 0;
  auto source = audio::OpenModule(data, size, rate, loop, interpolate);
  if (!source) return Fail(BASS_ERROR_FILEFORM);
  LastError = BASS_OK;
  return Mixer().AddStream(std::move(source), loop, true);
}

BOOL BASS_MusicFree(HMUSIC handle) { return Result(Mixer().FreeMusic(handle)); }

BOOL BASS_ChannelPlay(DWORD handle, BOOL restart) {
  if (!Mixer().Running()) return Result(BASS_ERROR_INIT);
  return Result(Mixer().Play(handle, restart != 0));
}

BOOL BASS_ChannelStop(DWORD handle) {
  if (!Mixer().Running()) return Result(BASS_ERROR_INIT);
  return Result(Mixer().StopChannel(handle));
}

DWORD BASS_ChannelIsActive(DWORD handle) {
  LastError = BASS_OK;
  return Mixer().Running() ? Mixer().IsActive(handle) : BASS_ACTIVE_STOPPED;
}

HSAMPLE BASS_SampleLoad(BOOL mem, const void* file, QWORD offset, DWORD length, DWORD max, DWORD flags) {
  if (!Mixer().Running()) return Fail(BASS_ERROR_INIT);
  if (!file || max == 0 || max > 65535) return Fail(BASS_ERROR_ILLPARAM);
  std::vector<uint8_t> fromFile;
  const uint8_t* data = nullptr;
  size_t size = 0;
  if (int error = Source(mem, file, offset, length, fromFile, data, size); error != BASS_OK) return Fail(error);
  audio::TPcm pcm;
  if (!audio::DecodeSample(data, size, pcm)) return Fail(BASS_ERROR_FILEFORM);
  LastError = BASS_OK;
  return Mixer().AddSample(std::move(pcm), max, flags);
}

BOOL BASS_SampleFree(HSAMPLE handle) { return Result(Mixer().FreeSample(handle)); }

HCHANNEL BASS_SampleGetChannel(HSAMPLE handle, BOOL onlynew) {
  if (!Mixer().Running()) return Fail(BASS_ERROR_INIT);
  uint32_t channel = 0;
  const int error = Mixer().GetChannel(handle, onlynew != 0, channel);
  LastError = error;
  return channel;
}

BOOL BASS_SampleGetInfo(HSAMPLE handle, BASS_SAMPLE* info) {
  if (!info) return Result(BASS_ERROR_ILLPARAM);
  return Result(Mixer().GetInfo(handle, *info));
}

BOOL BASS_SampleSetInfo(HSAMPLE handle, const BASS_SAMPLE* info) {
  if (!info) return Result(BASS_ERROR_ILLPARAM);
  return Result(Mixer().SetInfo(handle, *info));
}

int BASS_ErrorGetCode() { return LastError; }

BOOL BASS_RenderOutput(int16_t* buffer, DWORD frames) {
  if (!Mixer().Running()) return Result(BASS_ERROR_INIT);
  if (!buffer && frames > 0) return Result(BASS_ERROR_ILLPARAM);
  Mixer().Render(buffer, frames);
  return Result(BASS_OK);
}
