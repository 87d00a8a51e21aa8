#include "WaveUnit.h"

#include <limits>

#include "BASS.h"
#include "Logger.h"
#include "ZRStream3.h"

namespace {

const char* const kCreateLoc = "WaveUnit, TWave.Create";

template <typename Change>
void ChangeInfo(uint32_t sample, Change change) {
  BASS_SAMPLE info;
  if (!BASS_SampleGetInfo(sample, &info)) return;
  change(info);
  BASS_SampleSetInfo(sample, &info);
}

}  // namespace

TWave::TWave(const std::string& name, uint32_t max, bool looped) {
  const DWORD flags = BASS_SAMPLE_OVER_POS | (looped ? BASS_SAMPLE_LOOP : 0);
  TZRFileInfo info;
  ZRGetFileInfo(name, info);
  if (!info.Compressed) {
    Log->Debug("Not compressed", kCreateLoc);
    BufferSize = -1;
    // Length 0 would read on to the end of the file (see TMusic).
    if (!info.FileName.empty() && info.Offset >= 0 && info.Size != 0) {
      const DWORD size = info.Size > 0 ? static_cast<DWORD>(info.Size) : 0;
      fWave = BASS_SampleLoad(false, info.FileName.c_str(), static_cast<QWORD>(info.Offset), size, max, flags);
    }
  } else {
    Log->Debug("Compressed", kCreateLoc);
    if (auto stream = ZROpenStream(name)) {
      Buffer = stream->ReadAll();
      if (!Buffer.empty() && Buffer.size() <= static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
        BufferSize = static_cast<int32_t>(Buffer.size());
        fWave = BASS_SampleLoad(true, Buffer.data(), 0, static_cast<DWORD>(BufferSize), max, flags);
      }
      // The library plays its own decoded copy of the sample.
      Buffer.clear();
      Buffer.shrink_to_fit();
    }
  }
  if (fWave == 0) {
    Log->Error("BASS: Loading " + name + " failed", kCreateLoc);
  } else {
    Log->Debug("BASS: Loading " + name + " was successful. (fWave=" + std::to_string(fWave) + ")", kCreateLoc);
  }
}

TWave::~TWave() {
  BASS_SampleFree(fWave);
  Buffer.clear();
  Buffer.shrink_to_fit();
  Log->Status("BASS: Wave freed.", "WaveUnit, TWave.Destroy");
}

uint32_t TWave::Play() {
  if (fWave == 0) return kNoChannel;
  const HCHANNEL ch = BASS_SampleGetChannel(fWave, false);
  if (!BASS_ChannelPlay(ch, false)) {
    Log->Error("BASS: Could not play sample!", "WaveUnit, TWave.Play");
    return kNoChannel;
  }
  return ch;
}

void TWave::SetFrequency(uint32_t freq) {
  ChangeInfo(fWave, [freq](BASS_SAMPLE& i) { i.freq = freq; });
}

void TWave::SetVolume(float volume) {
  ChangeInfo(fWave, [volume](BASS_SAMPLE& i) { i.volume = volume; });
}

void TWave::SetPan(float pan) {
  ChangeInfo(fWave, [pan](BASS_SAMPLE& i) { i.pan = pan; });
}

void WaveUnit_Startup() { LogUnitVersion("WaveUnit", "1.00"); }
