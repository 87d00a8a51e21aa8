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

// Stereo or mono 16-bit PCM into an MP3 (VBR, LAME info tag with the
// encoder delay and padding, so that decoders that honour it loop without a
// gap).
bool EncodeMp3(const TPcm& pcm, std::vector<uint8_t>& mp3, std::string& error);

}  // namespace vgrdata
