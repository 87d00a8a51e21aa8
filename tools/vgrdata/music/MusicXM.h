#pragma once
// The tracker module the song reader builds, and its writer in the
// FastTracker 2 "Extended Module" (XM 1.04) format.

#include <cstdint>
#include <string>
#include <vector>

namespace vgrdata {

constexpr uint8_t kXmKeyOff = 97;

struct TXmCell {
  uint8_t Note = 0;        // 1..96 (C-0..B-7), 97 key off, 0 nothing
  uint8_t Instrument = 0;  // 1-based, 0 nothing
  uint8_t Volume = 0;      // volume column byte, 0 nothing
  uint8_t Effect = 0;
  uint8_t Param = 0;
  bool Empty() const { return !Note && !Instrument && !Volume && !Effect && !Param; }
};

struct TXmPattern {
  int Rows = 64;
  std::vector<TXmCell> Cells;  // Rows * channels, row by row
};

struct TXmEnvelope {
  std::vector<std::pair<uint16_t, uint16_t>> Points;  // (tick, value 0..64)
  int Sustain = -1;                                   // point index or -1
  int LoopStart = -1, LoopEnd = -1;
};

struct TXmInstrument {
  std::string Name;
  std::vector<int16_t> Sample;
  uint32_t LoopStart = 0, LoopLength = 0;  // in samples; length 0: no loop
  uint8_t Volume = 64;
  int8_t FineTune = 0;
  int8_t RelativeNote = 0;
  uint8_t Pan = 128;
  TXmEnvelope VolumeEnvelope;  // used when it has points
  uint16_t FadeOut = 0;
};

struct TXmModule {
  std::string Name;
  int Channels = 8;
  int Speed = 6;
  int Bpm = 125;
  int Restart = 0;  // order index the song loops back to
  std::vector<uint8_t> Order;
  std::vector<TXmPattern> Patterns;
  std::vector<TXmInstrument> Instruments;
};

// Checks the limits of the format; false with a reason.
bool CheckXm(const TXmModule& module, std::string& error);
std::vector<uint8_t> WriteXm(const TXmModule& module);

}  // namespace vgrdata
