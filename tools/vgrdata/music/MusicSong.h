#pragma once
// The song notation of data/music: instruments as synthesis recipes,
// patterns written as one line of notes per channel, and an order list with
// a loop point. ParseSong turns a song into an XM module.
//
//   title Voltigor          speed 6          bpm 125
//   author ...              channels 8       rows 64
//
//   instrument lead         (sample settings, envelope and synth layers)
//     root C5   length 0.6   loop 0.2   volume 40   pan -20
//     envelope 0:0 3:64 20:44 sustain 2   fadeout 900   (hold: no key-off)
//     layer ... end
//   end
//   drum kk kick C4 v48     (the word "kk" plays instrument kick at C4)
//   phrase riff C4:2 E4 G4 (A4 G4)x2 ...
//
//   pattern A 64
//     1: @lead V40 C5:4 ~vib46 E5:2 . G5:8 - ...
//     4: (kk:4 hh:2 hh:2 sn:4 hh:4)x4
//   end
//   order intro | A B A C   (the song loops back to the entry after "|")
//
// A note is a name and octave (C4, F#3, Bb2) with an optional ":rows"
// length that also becomes the default; "." is a rest, "-" holds the note
// before. "@name" picks the instrument, "Vnn" the default volume (0..64),
// "P-30" the pan of the notes that follow (-100..100, over the instrument's),
// "$phrase" inserts a phrase ("$riff+5" transposed), "( ... )xN" repeats.
// "include kit.inc" reads shared instruments and drums from a file beside
// the song. Words starting with "~" change the note before them: ~vNN volume,
// ~aXY arpeggio, ~vibXY vibrato from its second row, ~pXX slide into the
// note, ~uXX / ~dXX pitch slides, ~fX fade out, ~fiX fade in, ~cX cut after
// X ticks, ~eX delay by X ticks, ~xEPP a raw effect on the first row.

#include <functional>
#include <string>

#include "MusicXM.h"

namespace vgrdata {

struct TSongInfo {
  std::string Title;
  std::string Author;
};

// Gives the text of a file named by an "include" line (shared instruments).
using TIncludeResolver = std::function<bool(const std::string& name, std::string& text)>;

// false with "line N: reason" on a mistake.
bool ParseSong(const std::string& text, TXmModule& module, TSongInfo& info, std::string& error,
               const TIncludeResolver& resolve = nullptr);

// XM tuning (relative note, fine tune) that makes XM note C-4 play a sample
// whose pitch is rootHz at rate as middle C.
void XmTuning(double rate, double rootHz, int8_t& relativeNote, int8_t& fineTune);

}  // namespace vgrdata
