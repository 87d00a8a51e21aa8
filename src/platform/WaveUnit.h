#pragma once
// One sound effect: a sample that can play several times at once, read
// through the stream lookup.

#include <cstdint>
#include <string>
#include <vector>

class TWave {
 public:
  // Loads; `max` playbacks may sound at once, a new one replacing the one
  // that has played longest. A failed load leaves fWave 0 with an error entry.
  TWave(const std::string& name, uint32_t max, bool looped);
  ~TWave();
  TWave(const TWave&) = delete;
  TWave& operator=(const TWave&) = delete;

  // The channel of the new playback, or 0xFFFFFFFF when nothing plays.
  uint32_t Play();
  // The sample's defaults, taken by every later playback.
  void SetFrequency(uint32_t freq);
  void SetVolume(float volume);
  void SetPan(float pan);

  uint32_t fWave = 0;
  // Empty once loaded: the library decodes the file into its own copy.
  std::vector<uint8_t> Buffer;
  int32_t BufferSize = -1;  // size of the file read into memory; -1: the library read the file itself
};

constexpr uint32_t kNoChannel = 0xFFFFFFFFu;

void WaveUnit_Startup();
