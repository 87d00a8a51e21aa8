#pragma once
// A small synthesiser for the game's sound effects and the instruments of its
// songs. A recipe is readable text: a few settings for the whole sound and one
// block per layer (oscillator or noise, pitch and level curves, envelope,
// filter, modulation); the layers are mixed, echoed, made loopable or faded,
// and normalised to a peak level.

#include <cstdint>
#include <string>
#include <vector>

namespace vgrdata {

// A value over time given as breakpoints "value@seconds"; one bare value is a
// constant. Between points the value moves linearly, or along a straight line
// in the logarithm for pitches and cut-off frequencies.
struct TCurve {
  std::vector<std::pair<double, double>> Points;  // (time, value)
  bool Logarithmic = false;
  // Non-zero when the values were given as multiples of a root pitch: the
  // root they were read with, so that they follow a retuned root.
  double Root = 0;

  bool Empty() const { return Points.empty(); }
  double At(double t) const;
};

enum class TWaveShape { Sine, Triangle, Saw, Square, Pulse, Noise, Shepard };
enum class TFilterKind { None, LowPass, HighPass, BandPass };
enum class TLfoShape { Sine, Square };

struct TLayer {
  TWaveShape Shape = TWaveShape::Sine;
  TCurve Freq;              // Hz
  double Duty = 0.5;        // pulse width of Pulse
  double Start = 0;         // seconds into the sound
  double Length = -1;       // seconds; -1: to the end of the sound
  // ADSR envelope (seconds, sustain level 0..1), applied when HasEnvelope.
  bool HasEnvelope = false;
  double Attack = 0.002, Decay = 0, Sustain = 1, Release = 0.01;
  TCurve Amp;               // extra level curve, 1 when empty
  double VibratoRate = 0, VibratoCents = 0, VibratoDelay = 0;
  double TremoloRate = 0, TremoloDepth = 0;
  TLfoShape TremoloShape = TLfoShape::Sine;
  TFilterKind Filter = TFilterKind::None;
  TCurve Cutoff;            // Hz
  double Resonance = 0.7;   // filter Q
  double FmRatio = 0;       // modulator frequency / carrier frequency; 0: no FM
  TCurve FmIndex;           // modulation index (radians)
  double Drive = 0;         // soft saturation amount; 0: clean
  int Voices = 1;           // unison voices spread over Detune cents
  double Detune = 0;
  double GainDb = 0;
  uint32_t Seed = 1;        // noise generator seed
  double NoiseHold = 0;     // Hz of sample-and-hold noise; 0: white noise
  // Shepard glide: octave-spaced partials under a bell-shaped weight, gliding
  // one octave per ShepardPeriod seconds, so the sound falls (or rises) for
  // ever and repeats exactly after one period.
  double ShepardOctaves = 4;
  double ShepardPeriod = 1;
  bool ShepardRising = false;
};

struct TSoundRecipe {
  std::string Name;
  double Length = 0.5;      // seconds
  int Rate = 44100;
  double PeakDb = -1;       // normalisation target
  bool Loop = false;        // the whole sound repeats seamlessly
  double LoopFade = 0.03;   // crossfade length of the loop join, seconds
  double FadeIn = 0.002, FadeOut = 0.01;  // click guards when not looped
  double EchoDelay = 0, EchoFeedback = 0, EchoMix = 0;
  double Root = 0;          // Hz that "r" ratios in pitches refer to (instruments)
  std::vector<TLayer> Layers;
};

// Reads a recipe; false with "line N: reason" on a mistake.
bool ParseSoundRecipe(const std::string& text, TSoundRecipe& recipe, std::string& error);

// One setting line inside a "layer" block (the words of the line), used by the
// song reader for instrument layers too. Pitches ending in "r" are multiples
// of root (which must then be non-zero).
bool ParseLayerSetting(const std::vector<std::string>& words, double root, TLayer& layer, std::string& error);

// Renders the layers mixed and processed, as floating point samples without
// the normalisation, at recipe.Rate.
std::vector<float> RenderLayers(const TSoundRecipe& recipe, double seconds);
// The finished 16-bit sound: layers, echo, DC removal, loop crossfade or
// fades, normalised to PeakDb.
std::vector<int16_t> RenderSound(const TSoundRecipe& recipe);

// Helpers shared with the song reader.
std::vector<std::string> SplitWords(const std::string& line);
// "A4", "C#5", "Eb3" -> MIDI-style number (C4 = 60); -1 when not a note.
int ParseNoteName(const std::string& word);
double NoteFrequency(int note);  // A4 = 440 Hz
bool ParseNumber(const std::string& word, double& value);

}  // namespace vgrdata
