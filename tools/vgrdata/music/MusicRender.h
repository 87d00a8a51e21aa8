#pragma once
// Plays modules with libxmp into PCM, and encodes PCM as MP3 with LAME.

#include <cstdint>
#include <string>
#include <vector>

#include "SoundWav.h"

namespace vgrdata {

struct TModuleRender {
  TPcm Pcm;               // stereo, 44100 Hz
  size_t LoopTarget = 0;  // frame where the loop entry of the order list first starts
  size_t LoopEnd = 0;     // frame where the song first jumps back to it
  size_t SecondLoopEnd = 0;  // frame of the second jump back (when rendered that far)
  bool Looped = false;
};

// Plays the module through once, then on for `after` seconds past its loop
// jump (or up to the second jump when untilSecondLoop). Gives up after
// maxSeconds of music.
bool RenderModule(const std::vector<uint8_t>& module, double after, bool untilSecondLoop, TModuleRender& out,
                  std::string& error, double maxSeconds = 900);

// One repetition of the song's loop as it sounds once it repeats: the module
// played from its second loop entry to its third, so that notes ringing over
// the jump are included and the end leads straight into the start.
bool RenderLoopSection(const std::vector<uint8_t>& module, TPcm& loop, std::string& error);

// What a player hears of a song, as the game's mixer plays it: the length
// up to its first jump back, its loop, and over one repetition of the loop
// the peak, the RMS, the loudness range (95th less 10th percentile of the
// RMS of 2-second windows, one a second), the side signal L-R against the
// middle L+R, and the click at the jump back (the step between the frames on
// either side of it against the RMS of the steps inside the loop; below 3
// sounds like any other frame).
struct TSongMeasure {
  double Seconds = 0, LoopSeconds = 0;
  double PeakDb = -200, RmsDb = -200, RangeDb = 0, SideDb = -200, JoinJump = 0;
};
bool MeasureModule(const std::vector<uint8_t>& module, TSongMeasure& m, std::string& error);

// Stereo or mono 16-bit PCM into an MP3 (VBR, LAME info tag with the
// encoder delay and padding, so that decoders that honour it loop without a
// gap).
bool EncodeMp3(const TPcm& pcm, std::vector<uint8_t>& mp3, std::string& error);

}  // namespace vgrdata
