#pragma once
// 16-bit PCM WAV files and the level statistics used to judge rendered audio.

#include <cstdint>
#include <string>
#include <vector>

namespace vgrdata {

// Interleaved 16-bit samples.
struct TPcm {
  int Rate = 44100;
  int Channels = 1;
  std::vector<int16_t> Samples;

  size_t Frames() const { return Channels > 0 ? Samples.size() / static_cast<size_t>(Channels) : 0; }
  double Seconds() const { return Rate > 0 ? static_cast<double>(Frames()) / Rate : 0.0; }
};

// A canonical RIFF/WAVE file: "fmt " (PCM, 16 bits) then "data".
std::vector<uint8_t> WriteWav(const TPcm& pcm);
// Reads 16-bit PCM WAV data; unknown chunks are skipped. Returns false with a
// reason for anything else, including sizes that run past the end of the data.
bool ReadWav(const std::vector<uint8_t>& data, TPcm& pcm, std::string& error);

struct TLevelStats {
  double PeakDb = -200;      // highest |sample| against full scale
  double RmsDb = -200;       // over the whole signal
  size_t ClippedSamples = 0; // samples at +-32767 or -32768
  double LongestSilence = 0; // seconds, longest run below -60 dBFS (50 ms windows)
  double StartLevel = 0;     // |first frame| / full scale
  double EndLevel = 0;       // |last frame| / full scale
  // The jump from the last to the first frame (as a loop plays it) against
  // the RMS of the jumps between neighbouring frames inside the signal.
  double WrapJumpRatio = 0;
};

TLevelStats MeasureLevels(const TPcm& pcm);
// RMS in dBFS of frames [first, first + count).
double WindowRmsDb(const TPcm& pcm, size_t first, size_t count);
double ToDb(double linear);

}  // namespace vgrdata
