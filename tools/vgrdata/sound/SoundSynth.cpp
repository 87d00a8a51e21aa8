#include "SoundSynth.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <sstream>

namespace vgrdata {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kTwoPi = 2 * kPi;

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// Band-limited step correction for the discontinuities of saw and square.
double PolyBlep(double t, double dt) {
  if (dt <= 0) return 0;
  if (t < dt) {
    t /= dt;
    return t + t - t * t - 1.0;
  }
  if (t > 1.0 - dt) {
    t = (t - 1.0) / dt;
    return t * t + t + t + 1.0;
  }
  return 0;
}

double Wrap01(double p) { return p - std::floor(p); }

struct TNoise {
  uint32_t State;
  explicit TNoise(uint32_t seed) : State(seed ? seed : 0x9E3779B9u) {}
  double Next() {
    State ^= State << 13;
    State ^= State >> 17;
    State ^= State << 5;
    return static_cast<double>(State) / 2147483648.0 - 1.0;
  }
};

// Topology-preserving state variable filter.
struct TSvf {
  double Ic1 = 0, Ic2 = 0;
  double Process(double v0, double cutoff, double q, double rate, TFilterKind kind) {
    cutoff = std::clamp(cutoff, 10.0, rate * 0.45);
    const double g = std::tan(kPi * cutoff / rate);
    const double k = 1.0 / std::max(q, 0.1);
    const double a1 = 1.0 / (1.0 + g * (g + k));
    const double a2 = g * a1;
    const double a3 = g * a2;
    const double v3 = v0 - Ic2;
    const double v1 = a1 * Ic1 + a2 * v3;
    const double v2 = Ic2 + a2 * Ic1 + a3 * v3;
    Ic1 = 2 * v1 - Ic1;
    Ic2 = 2 * v2 - Ic2;
    switch (kind) {
      case TFilterKind::LowPass: return v2;
      case TFilterKind::HighPass: return v0 - k * v1 - v2;
      case TFilterKind::BandPass: return v1;
      default: return v0;
    }
  }
};

double Oscillator(TWaveShape shape, double phase, double dt, double duty) {
  switch (shape) {
    case TWaveShape::Sine: return std::sin(kTwoPi * phase);
    case TWaveShape::Triangle: return phase < 0.5 ? 4 * phase - 1 : 3 - 4 * phase;
    case TWaveShape::Saw: return 2 * phase - 1 - PolyBlep(phase, dt);
    case TWaveShape::Square: return (phase < 0.5 ? 1.0 : -1.0) + PolyBlep(phase, dt) - PolyBlep(Wrap01(phase + 0.5), dt);
    case TWaveShape::Pulse: {
      const double d = std::clamp(duty, 0.02, 0.98);
      return (phase < d ? 1.0 : -1.0) + PolyBlep(phase, dt) - PolyBlep(Wrap01(phase + 1.0 - d), dt) - (2 * d - 1);
    }
    default: return 0;
  }
}

double Envelope(const TLayer& l, double t, double length) {
  double e = 1;
  if (l.HasEnvelope) {
    if (t < l.Attack) {
      e = t / l.Attack;
    } else if (t < l.Attack + l.Decay) {
      const double x = 1.0 - (t - l.Attack) / l.Decay;
      e = l.Sustain + (1.0 - l.Sustain) * x * x;
    } else {
      e = l.Sustain;
    }
    const double left = length - t;
    if (l.Release > 0 && left < l.Release) {
      const double x = std::max(0.0, left / l.Release);
      e *= x * x;
    }
  }
  if (!l.Amp.Empty()) e *= l.Amp.At(t);
  return e;
}

// Shepard glide: partial k sits at octave position k + t/T of the span; its
// phase is integrated in closed form so that, after one period, every
// partial continues exactly where its neighbour started.
void RenderShepard(const TLayer& l, double base, int rate, size_t first, size_t count, std::vector<double>& out) {
  const int n = std::max(1, static_cast<int>(std::lround(l.ShepardOctaves)));
  const double period = std::max(1.0, std::round(l.ShepardPeriod * rate)) / rate;
  const double s = l.ShepardRising ? 1.0 : -1.0;
  std::vector<double> phase0(static_cast<size_t>(n), 0.0);
  for (int k = 0; k + 1 < n; ++k) {
    const double f0 = base * std::pow(2.0, s * k);
    const double advance = f0 * period / (s * std::log(2.0)) * (std::pow(2.0, s) - 1.0);
    phase0[static_cast<size_t>(k + 1)] = Wrap01(phase0[static_cast<size_t>(k)] + advance);
  }
  for (size_t i = 0; i < count; ++i) {
    const double t = static_cast<double>(i) / rate;
    const double cycle = std::fmod(t, period);
    double v = 0;
    for (int k = 0; k < n; ++k) {
      const double x = k + cycle / period;
      const double w = 0.5 - 0.5 * std::cos(kTwoPi * x / n);
      const double f0 = base * std::pow(2.0, s * k);
      const double ph = phase0[static_cast<size_t>(k)] +
                        f0 * period / (s * std::log(2.0)) * (std::pow(2.0, s * cycle / period) - 1.0);
      v += w * std::sin(kTwoPi * Wrap01(ph));
    }
    out[first + i] += v / (n * 0.5);
  }
}

// Scale of a curve given in multiples of the root, for the recipe's root now.
double RootScale(const TCurve& c, const TSoundRecipe& r) { return c.Root > 0 && r.Root > 0 ? r.Root / c.Root : 1.0; }

void RenderLayer(const TLayer& l, const TSoundRecipe& r, double seconds, std::vector<double>& out) {
  const int rate = r.Rate;
  const double freqScale = RootScale(l.Freq, r);
  const double cutoffScale = RootScale(l.Cutoff, r);
  const double end = l.Length < 0 ? seconds : std::min(seconds, l.Start + l.Length);
  const double layerLength = end - l.Start;
  if (layerLength <= 0) return;
  const size_t first = static_cast<size_t>(std::lround(l.Start * rate));
  if (first >= out.size()) return;
  const size_t count = std::min(out.size() - first, static_cast<size_t>(std::lround(layerLength * rate)));
  std::vector<double> buf(count, 0.0);

  if (l.Shape == TWaveShape::Shepard) {
    RenderShepard(l, l.Freq.Empty() ? 1000.0 : l.Freq.At(0) * freqScale, rate, 0, count, buf);
  } else if (l.Shape == TWaveShape::Noise) {
    TNoise noise(l.Seed);
    double held = 0, holdPhase = 1;
    for (size_t i = 0; i < count; ++i) {
      if (l.NoiseHold > 0) {
        holdPhase += l.NoiseHold / rate;
        if (holdPhase >= 1) {
          holdPhase -= std::floor(holdPhase);
          held = noise.Next();
        }
        buf[i] = held;
      } else {
        buf[i] = noise.Next();
      }
    }
  } else {
    const int voices = std::max(1, l.Voices);
    TNoise rnd(l.Seed * 7919u + 17u);
    std::vector<double> phase(static_cast<size_t>(voices)), modPhase(static_cast<size_t>(voices), 0.0);
    std::vector<double> spread(static_cast<size_t>(voices), 1.0);
    for (int v = 0; v < voices; ++v) {
      phase[static_cast<size_t>(v)] = voices > 1 ? Wrap01(rnd.Next()) : 0.0;
      const double cents = voices > 1 ? l.Detune * (2.0 * v / (voices - 1) - 1.0) : 0.0;
      spread[static_cast<size_t>(v)] = std::pow(2.0, cents / 1200.0);
    }
    const double norm = 1.0 / std::sqrt(static_cast<double>(voices));
    for (size_t i = 0; i < count; ++i) {
      const double t = static_cast<double>(i) / rate;
      double f = l.Freq.Empty() ? (r.Root > 0 ? r.Root : 440.0) : l.Freq.At(t) * freqScale;
      if (l.VibratoRate > 0 && t >= l.VibratoDelay) {
        const double depth = l.VibratoCents * std::min(1.0, (t - l.VibratoDelay) / 0.15);
        f *= std::pow(2.0, depth / 1200.0 * std::sin(kTwoPi * l.VibratoRate * (t - l.VibratoDelay)));
      }
      const double index = l.FmRatio > 0 ? (l.FmIndex.Empty() ? 1.0 : l.FmIndex.At(t)) : 0.0;
      double v = 0;
      for (size_t k = 0; k < phase.size(); ++k) {
        const double fk = f * spread[k];
        const double dt = std::min(0.5, fk / rate);
        double p = phase[k];
        if (l.FmRatio > 0) {
          p = Wrap01(p + index * std::sin(kTwoPi * modPhase[k]) / kTwoPi);
          modPhase[k] = Wrap01(modPhase[k] + fk * l.FmRatio / rate);
        }
        v += Oscillator(l.Shape, p, dt, l.Duty);
        phase[k] = Wrap01(phase[k] + fk / rate);
      }
      buf[i] = v * norm;
    }
  }

  TSvf svf;
  const double gain = std::pow(10.0, l.GainDb / 20.0);
  for (size_t i = 0; i < count; ++i) {
    const double t = static_cast<double>(i) / rate;
    double v = buf[i];
    if (l.Filter != TFilterKind::None) {
      v = svf.Process(v, l.Cutoff.Empty() ? 1000.0 : l.Cutoff.At(t) * cutoffScale, l.Resonance, rate, l.Filter);
    }
    if (l.Drive > 0) v = std::tanh(v * (1.0 + l.Drive)) / std::tanh(1.0 + l.Drive);
    if (l.TremoloRate > 0) {
      const double lfo = l.TremoloShape == TLfoShape::Square
                             ? (Wrap01(l.TremoloRate * t) < 0.5 ? 1.0 : -1.0)
                             : std::sin(kTwoPi * l.TremoloRate * t);
      v *= 1.0 - l.TremoloDepth * 0.5 * (1.0 - lfo);
    }
    out[first + i] += v * Envelope(l, t, layerLength) * gain;
  }
}

bool ParseValue(const std::string& word, double root, double& value, bool* relative = nullptr) {
  if (word.size() > 1 && (word.back() == 'r' || word.back() == 'R')) {
    double ratio;
    if (!ParseNumber(word.substr(0, word.size() - 1), ratio) || root <= 0) return false;
    value = ratio * root;
    if (relative) *relative = true;
    return true;
  }
  const int note = ParseNoteName(word);
  if (note >= 0) {
    value = NoteFrequency(note);
    return true;
  }
  return ParseNumber(word, value);
}

bool ParseCurve(const std::vector<std::string>& words, size_t from, double root, bool logarithmic, TCurve& curve,
                std::string& error) {
  curve = TCurve();
  curve.Logarithmic = logarithmic;
  if (from >= words.size()) {
    error = "'" + words[0] + "' needs a value";
    return false;
  }
  for (size_t i = from; i < words.size(); ++i) {
    const std::string& w = words[i];
    const size_t at = w.find('@');
    double value, time = 0;
    bool relative = false;
    if (!ParseValue(w.substr(0, at), root, value, &relative)) {
      error = "bad value '" + w + "'";
      return false;
    }
    if (at != std::string::npos) {
      if (!ParseNumber(w.substr(at + 1), time) || time < 0) {
        error = "bad time in '" + w + "'";
        return false;
      }
    } else if (i != from) {
      error = "'" + w + "' needs a time (value@seconds)";
      return false;
    }
    if (!curve.Points.empty() && time < curve.Points.back().first) {
      error = "times must not go back ('" + w + "')";
      return false;
    }
    if (logarithmic && value <= 0) {
      error = "frequencies must be positive ('" + w + "')";
      return false;
    }
    if (relative) curve.Root = root;
    curve.Points.emplace_back(time, value);
  }
  return true;
}

bool Number(const std::vector<std::string>& words, size_t i, double& v, std::string& error) {
  if (i >= words.size() || !ParseNumber(words[i], v)) {
    error = "'" + words[0] + "' needs a number" + (i < words.size() ? " (got '" + words[i] + "')" : "");
    return false;
  }
  return true;
}

}  // namespace

double TCurve::At(double t) const {
  if (Points.empty()) return 0;
  if (t <= Points.front().first) return Points.front().second;
  if (t >= Points.back().first) return Points.back().second;
  for (size_t i = 1; i < Points.size(); ++i) {
    if (t < Points[i].first) {
      const auto& [t0, v0] = Points[i - 1];
      const auto& [t1, v1] = Points[i];
      const double x = t1 > t0 ? (t - t0) / (t1 - t0) : 1.0;
      if (Logarithmic) return v0 * std::pow(v1 / v0, x);
      return v0 + (v1 - v0) * x;
    }
  }
  return Points.back().second;
}

std::vector<std::string> SplitWords(const std::string& line) {
  std::vector<std::string> words;
  std::istringstream in(line);
  std::string w;
  while (in >> w) {
    if (w[0] == '#') break;
    words.push_back(w);
  }
  return words;
}

int ParseNoteName(const std::string& w) {
  if (w.size() < 2 || w.size() > 4) return -1;
  static const int base[7] = {9, 11, 0, 2, 4, 5, 7};  // A..G
  const char letter = w[0];
  if (letter < 'A' || letter > 'G') return -1;
  int semitone = base[letter - 'A'];
  size_t i = 1;
  if (w[i] == '#') {
    ++semitone;
    ++i;
  } else if (w[i] == 'b') {
    --semitone;
    ++i;
  }
  if (i >= w.size()) return -1;
  int octave = 0;
  bool negative = false;
  if (w[i] == '-') {
    negative = true;
    ++i;
  }
  if (i + 1 != w.size() || !std::isdigit(static_cast<unsigned char>(w[i]))) return -1;
  octave = (w[i] - '0') * (negative ? -1 : 1);
  const int note = (octave + 1) * 12 + semitone;
  return note >= 0 && note <= 127 ? note : -1;
}

double NoteFrequency(int note) { return 440.0 * std::pow(2.0, (note - 69) / 12.0); }

bool ParseNumber(const std::string& w, double& value) {
  if (w.empty()) return false;
  char* end = nullptr;
  value = std::strtod(w.c_str(), &end);
  return end && *end == '\0' && std::isfinite(value);
}

bool ParseLayerSetting(const std::vector<std::string>& w, double root, TLayer& l, std::string& error) {
  const std::string key = Lower(w[0]);
  double a = 0, b = 0;
  if (key == "wave") {
    static const std::pair<const char*, TWaveShape> shapes[] = {
        {"sine", TWaveShape::Sine},   {"triangle", TWaveShape::Triangle}, {"saw", TWaveShape::Saw},
        {"square", TWaveShape::Square}, {"pulse", TWaveShape::Pulse},     {"noise", TWaveShape::Noise},
        {"shepard", TWaveShape::Shepard}};
    if (w.size() != 2) {
      error = "'wave' needs one shape";
      return false;
    }
    for (const auto& [name, shape] : shapes) {
      if (Lower(w[1]) == name) {
        l.Shape = shape;
        return true;
      }
    }
    error = "unknown wave '" + w[1] + "'";
    return false;
  }
  if (key == "freq") return ParseCurve(w, 1, root, true, l.Freq, error);
  if (key == "amp") return ParseCurve(w, 1, root, false, l.Amp, error);
  if (key == "duty") return Number(w, 1, l.Duty, error);
  if (key == "start") return Number(w, 1, l.Start, error);
  if (key == "length") return Number(w, 1, l.Length, error);
  if (key == "gain") return Number(w, 1, l.GainDb, error);
  if (key == "drive") return Number(w, 1, l.Drive, error);
  if (key == "resonance") return Number(w, 1, l.Resonance, error);
  if (key == "hold") return Number(w, 1, l.NoiseHold, error);
  if (key == "seed") {
    if (!Number(w, 1, a, error)) return false;
    l.Seed = static_cast<uint32_t>(a);
    return true;
  }
  if (key == "env") {
    if (w.size() != 5) {
      error = "'env' needs attack decay sustain release";
      return false;
    }
    if (!Number(w, 1, l.Attack, error) || !Number(w, 2, l.Decay, error) || !Number(w, 3, l.Sustain, error) ||
        !Number(w, 4, l.Release, error))
      return false;
    if (l.Attack <= 0) l.Attack = 1e-4;
    if (l.Decay < 0 || l.Release < 0 || l.Sustain < 0 || l.Sustain > 1) {
      error = "envelope times must be positive and sustain 0..1";
      return false;
    }
    l.HasEnvelope = true;
    return true;
  }
  if (key == "vibrato") {
    if (!Number(w, 1, l.VibratoRate, error) || !Number(w, 2, l.VibratoCents, error)) return false;
    return w.size() < 4 || Number(w, 3, l.VibratoDelay, error);
  }
  if (key == "tremolo") {
    if (!Number(w, 1, l.TremoloRate, error) || !Number(w, 2, l.TremoloDepth, error)) return false;
    if (w.size() > 3) {
      if (Lower(w[3]) == "square") {
        l.TremoloShape = TLfoShape::Square;
      } else if (Lower(w[3]) != "sine") {
        error = "tremolo shape is sine or square";
        return false;
      }
    }
    return true;
  }
  if (key == "filter") {
    if (w.size() < 3) {
      error = "'filter' needs a kind and a cut-off";
      return false;
    }
    const std::string kind = Lower(w[1]);
    if (kind == "lowpass") l.Filter = TFilterKind::LowPass;
    else if (kind == "highpass") l.Filter = TFilterKind::HighPass;
    else if (kind == "bandpass") l.Filter = TFilterKind::BandPass;
    else {
      error = "filter kind is lowpass, highpass or bandpass";
      return false;
    }
    return ParseCurve(w, 2, root, true, l.Cutoff, error);
  }
  if (key == "fm") {
    if (!Number(w, 1, l.FmRatio, error)) return false;
    return ParseCurve(w, 2, root, false, l.FmIndex, error);
  }
  if (key == "unison") {
    if (!Number(w, 1, a, error) || !Number(w, 2, b, error)) return false;
    if (a < 1 || a > 16) {
      error = "unison voices must be 1 to 16";
      return false;
    }
    l.Voices = static_cast<int>(a);
    l.Detune = b;
    return true;
  }
  if (key == "shepard") {
    if (!Number(w, 1, l.ShepardOctaves, error) || !Number(w, 2, l.ShepardPeriod, error)) return false;
    if (l.ShepardOctaves < 1 || l.ShepardOctaves > 10 || l.ShepardPeriod < 0.05 || l.ShepardPeriod > 30) {
      error = "shepard needs 1 to 10 octaves and a period of 0.05 to 30 seconds";
      return false;
    }
    l.ShepardRising = w.size() > 3 && Lower(w[3]) == "up";
    return true;
  }
  error = "unknown layer setting '" + w[0] + "'";
  return false;
}

bool ParseSoundRecipe(const std::string& text, TSoundRecipe& r, std::string& error) {
  r = TSoundRecipe();
  std::istringstream in(text);
  std::string line;
  int lineNo = 0;
  bool inLayer = false;
  auto fail = [&](const std::string& why) {
    error = "line " + std::to_string(lineNo) + ": " + why;
    return false;
  };
  while (std::getline(in, line)) {
    ++lineNo;
    const std::vector<std::string> w = SplitWords(line);
    if (w.empty()) continue;
    const std::string key = Lower(w[0]);
    std::string why;
    if (inLayer) {
      if (key == "end") {
        inLayer = false;
      } else if (!ParseLayerSetting(w, r.Root, r.Layers.back(), why)) {
        return fail(why);
      }
      continue;
    }
    double v = 0;
    if (key == "layer") {
      r.Layers.emplace_back();
      r.Layers.back().Seed = static_cast<uint32_t>(r.Layers.size() * 2654435761u);
      inLayer = true;
    } else if (key == "name") {
      // The rest of the line after the key, blanks inside kept ("Sliding on ICE").
      const size_t at = line.find(w[0]) + w[0].size();
      const size_t from = line.find_first_not_of(" \t", at);
      r.Name = from == std::string::npos ? "" : line.substr(from);
      const size_t comment = r.Name.find(" #");
      if (comment != std::string::npos) r.Name.erase(comment);
      while (!r.Name.empty() && std::isspace(static_cast<unsigned char>(r.Name.back()))) r.Name.pop_back();
    } else if (key == "length") {
      if (!Number(w, 1, r.Length, why)) return fail(why);
      if (r.Length <= 0.01 || r.Length > 30) return fail("length must be 0.01 to 30 seconds");
    } else if (key == "rate") {
      if (!Number(w, 1, v, why)) return fail(why);
      if (v < 8000 || v > 96000) return fail("rate must be 8000 to 96000");
      r.Rate = static_cast<int>(v);
    } else if (key == "peak") {
      if (!Number(w, 1, r.PeakDb, why)) return fail(why);
      if (r.PeakDb > -0.1 || r.PeakDb < -40) return fail("peak must be -40 to -0.1 dB");
    } else if (key == "loop") {
      r.Loop = true;
      if (w.size() > 1 && !Number(w, 1, r.LoopFade, why)) return fail(why);
    } else if (key == "fade") {
      if (!Number(w, 1, r.FadeIn, why) || !Number(w, 2, r.FadeOut, why)) return fail(why);
    } else if (key == "echo") {
      if (!Number(w, 1, r.EchoDelay, why) || !Number(w, 2, r.EchoFeedback, why) || !Number(w, 3, r.EchoMix, why))
        return fail(why);
      if (r.EchoFeedback < 0 || r.EchoFeedback >= 1) return fail("echo feedback must be below 1");
    } else if (key == "root") {
      if (w.size() < 2 || !ParseValue(w[1], 0, r.Root) || r.Root <= 0) return fail("root needs a note or Hz");
    } else {
      return fail("unknown setting '" + w[0] + "'");
    }
  }
  if (inLayer) return fail("layer without 'end'");
  if (r.Layers.empty()) return fail("no layers");
  return true;
}

std::vector<float> RenderLayers(const TSoundRecipe& r, double seconds) {
  const size_t count = static_cast<size_t>(std::lround(seconds * r.Rate));
  std::vector<double> mix(count, 0.0);
  for (const TLayer& l : r.Layers) RenderLayer(l, r, seconds, mix);

  if (r.EchoDelay > 0 && r.EchoMix > 0) {
    const size_t d = std::max<size_t>(1, static_cast<size_t>(std::lround(r.EchoDelay * r.Rate)));
    std::vector<double> line(count, 0.0);
    for (size_t i = d; i < count; ++i) line[i] = mix[i - d] + r.EchoFeedback * line[i - d];
    for (size_t i = 0; i < count; ++i) mix[i] += r.EchoMix * line[i];
  }
  // Remove DC so that starting and stopping never steps the speaker.
  const double pole = 1.0 - kTwoPi * 15.0 / r.Rate;
  double x1 = 0, y1 = 0;
  std::vector<float> out(count);
  for (size_t i = 0; i < count; ++i) {
    const double y = mix[i] - x1 + pole * y1;
    x1 = mix[i];
    y1 = y;
    out[i] = static_cast<float>(y);
  }
  return out;
}

std::vector<int16_t> RenderSound(const TSoundRecipe& r) {
  const size_t length = static_cast<size_t>(std::lround(r.Length * r.Rate));
  std::vector<float> body;
  if (r.Loop) {
    // Render one crossfade longer and blend that tail into the head: the last
    // sample then leads straight into the first.
    const size_t fade = std::min(length / 2, static_cast<size_t>(std::lround(r.LoopFade * r.Rate)));
    const std::vector<float> raw = RenderLayers(r, static_cast<double>(length + fade) / r.Rate);
    body.assign(raw.begin(), raw.begin() + static_cast<std::ptrdiff_t>(length));
    for (size_t i = 0; i < fade; ++i) {
      const double w = static_cast<double>(i) / fade;
      body[i] = static_cast<float>(raw[i] * w + raw[length + i] * (1.0 - w));
    }
  } else {
    body = RenderLayers(r, static_cast<double>(length) / r.Rate);
    const size_t in = std::min(length, static_cast<size_t>(std::lround(r.FadeIn * r.Rate)));
    const size_t out = std::min(length, static_cast<size_t>(std::lround(r.FadeOut * r.Rate)));
    for (size_t i = 0; i < in; ++i) body[i] *= static_cast<float>(0.5 - 0.5 * std::cos(kPi * i / in));
    for (size_t i = 0; i < out; ++i) body[length - 1 - i] *= static_cast<float>(0.5 - 0.5 * std::cos(kPi * i / out));
  }
  float peak = 0;
  for (float v : body) peak = std::max(peak, std::abs(v));
  const double scale = peak > 0 ? std::pow(10.0, r.PeakDb / 20.0) / peak : 0.0;
  std::vector<int16_t> pcm(body.size());
  for (size_t i = 0; i < body.size(); ++i) {
    const long v = std::lround(body[i] * scale * 32767.0);
    pcm[i] = static_cast<int16_t>(std::clamp(v, -32767L, 32767L));
  }
  return pcm;
}

}  // namespace vgrdata
