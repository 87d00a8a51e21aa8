#include "MusicSong.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>
#include <sstream>

#include "SoundSynth.h"

namespace vgrdata {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kNoPan = -1000;

uint8_t PanByte(int pan) { return static_cast<uint8_t>(std::clamp(128 + pan * 128 / 100, 0, 255)); }

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

bool ParseInt(const std::string& w, int base, int& v) {
  if (w.empty()) return false;
  char* end = nullptr;
  const long n = std::strtol(w.c_str(), &end, base);
  if (!end || *end != '\0' || n < -100000 || n > 100000) return false;
  v = static_cast<int>(n);
  return true;
}

struct TInstrumentSource {
  std::string Name;
  TSoundRecipe Recipe;
  double LoopStart = -1;  // seconds; -1 one-shot
  bool Hold = false;
  int Index = 0;          // 1-based XM instrument number
};

struct TDrum {
  int Instrument = 0;
  int Note = 60;
  int Volume = -1;
};

struct TChannelLine {
  int Line = 0;
  std::vector<std::string> Words;
};

struct TEvent {
  enum Kind { IsNote, IsRest } What = IsRest;
  int Row = 0, Rows = 0;
  int Note = 0, Instrument = 0, Volume = -1;
  int Pan = kNoPan;  // -100..100 over the instrument's own
  uint8_t FirstFx = 0, FirstParam = 0;
  bool HasFirst = false;
  uint8_t ContFx = 0, ContParam = 0;
  bool HasCont = false, ContOnFirstRow = false;
};

struct TSongState {
  TXmModule* Module = nullptr;
  std::map<std::string, TInstrumentSource> Instruments;
  std::vector<std::string> InstrumentOrder;
  std::map<std::string, TDrum> Drums;
  std::map<std::string, std::vector<std::string>> Phrases;
  std::map<std::string, int> PatternIndex;
  int DefaultRows = 64;
};

bool HexByte(const std::string& s, uint8_t& v) {
  int n;
  if (s.empty() || s.size() > 2 || !ParseInt(s, 16, n) || n < 0) return false;
  v = static_cast<uint8_t>(n);
  return true;
}

// "(C4:2" and "E4)x2" are read as "(", "C4:2" and "E4", ")x2".
void AddWords(std::vector<std::string>& to, std::vector<std::string>::const_iterator from,
              std::vector<std::string>::const_iterator end) {
  for (; from != end; ++from) {
    std::string w = *from;
    while (w.size() > 1 && w[0] == '(') {
      to.push_back("(");
      w.erase(0, 1);
    }
    const size_t close = w.find(')');
    if (close != std::string::npos && close > 0) {
      to.push_back(w.substr(0, close));
      to.push_back(w.substr(close));
    } else {
      to.push_back(w);
    }
  }
}

// Expands repeats and phrases into plain words, each with its transposition.
bool Expand(const TSongState& st, const std::vector<std::string>& in, int transpose, int depth,
            std::vector<std::pair<std::string, int>>& out, std::string& error) {
  if (depth > 8) {
    error = "phrases nest too deeply";
    return false;
  }
  for (size_t i = 0; i < in.size(); ++i) {
    const std::string& w = in[i];
    if (w == "(") {
      int level = 1;
      size_t j = i + 1;
      for (; j < in.size(); ++j) {
        if (in[j] == "(") ++level;
        else if (in[j].size() >= 1 && in[j][0] == ')' && --level == 0) break;
      }
      if (j >= in.size()) {
        error = "'(' without ')'";
        return false;
      }
      int times = 1;
      const std::string close = in[j];
      if (close != ")" && (close.size() < 3 || close[1] != 'x' || !ParseInt(close.substr(2), 10, times) || times < 1 ||
                           times > 256)) {
        error = "bad repeat '" + close + "' (write ')x4')";
        return false;
      }
      const std::vector<std::string> body(in.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                                          in.begin() + static_cast<std::ptrdiff_t>(j));
      for (int t = 0; t < times; ++t) {
        if (!Expand(st, body, transpose, depth + 1, out, error)) return false;
      }
      i = j;
    } else if (w[0] == ')') {
      error = "')' without '('";
      return false;
    } else if (w[0] == '$') {
      std::string name = w.substr(1);
      int shift = 0;
      const size_t sign = name.find_first_of("+-");
      if (sign != std::string::npos) {
        if (!ParseInt(name.substr(sign + (name[sign] == '+' ? 1 : 0)), 10, shift)) {
          error = "bad transposition in '" + w + "'";
          return false;
        }
        name = name.substr(0, sign);
      }
      const auto p = st.Phrases.find(name);
      if (p == st.Phrases.end()) {
        error = "unknown phrase '" + name + "'";
        return false;
      }
      if (!Expand(st, p->second, transpose + shift, depth + 1, out, error)) return false;
    } else {
      out.emplace_back(w, transpose);
    }
  }
  return true;
}

// Splits "C4:8" into its word and its length (-1 when not given).
bool SplitLength(const std::string& w, std::string& head, int& rows, std::string& error) {
  const size_t colon = w.find(':');
  head = w.substr(0, colon);
  rows = -1;
  if (colon == std::string::npos) return true;
  if (!ParseInt(w.substr(colon + 1), 10, rows) || rows < 1 || rows > 256) {
    error = "bad length in '" + w + "'";
    return false;
  }
  return true;
}

bool ApplyModifier(const std::string& w, TEvent& e, std::string& error) {
  const std::string m = w.substr(1);
  uint8_t p = 0;
  auto cont = [&](uint8_t fx, uint8_t param, bool firstRow) {
    e.HasCont = true;
    e.ContFx = fx;
    e.ContParam = param;
    e.ContOnFirstRow = firstRow;
  };
  auto first = [&](uint8_t fx, uint8_t param) {
    e.HasFirst = true;
    e.FirstFx = fx;
    e.FirstParam = param;
  };
  int n = 0;
  if (m.rfind("vib", 0) == 0 && HexByte(m.substr(3), p)) {
    cont(4, p, false);
  } else if (m.rfind("fi", 0) == 0 && ParseInt(m.substr(2), 16, n) && n >= 1 && n <= 15) {
    cont(0x0A, static_cast<uint8_t>(n << 4), false);
  } else if (m[0] == 'v' && ParseInt(m.substr(1), 10, n) && n >= 0 && n <= 64) {
    e.Volume = n;
  } else if (m[0] == 'a' && HexByte(m.substr(1), p) && p) {
    cont(0, p, true);
  } else if (m[0] == 'p' && HexByte(m.substr(1), p) && p) {
    first(3, p);
    cont(3, 0, false);
  } else if (m[0] == 'u' && HexByte(m.substr(1), p) && p) {
    cont(1, p, true);
  } else if (m[0] == 'd' && HexByte(m.substr(1), p) && p) {
    cont(2, p, true);
  } else if (m[0] == 'f' && ParseInt(m.substr(1), 16, n) && n >= 1 && n <= 15) {
    cont(0x0A, static_cast<uint8_t>(n), false);
  } else if (m[0] == 'c' && ParseInt(m.substr(1), 16, n) && n >= 0 && n <= 15) {
    first(0x0E, static_cast<uint8_t>(0xC0 | n));
  } else if (m[0] == 'e' && ParseInt(m.substr(1), 16, n) && n >= 1 && n <= 15) {
    first(0x0E, static_cast<uint8_t>(0xD0 | n));
  } else if (m[0] == 'x' && m.size() == 4 && ParseInt(m.substr(1, 1), 16, n) && HexByte(m.substr(2), p)) {
    first(static_cast<uint8_t>(n), p);
  } else {
    error = "unknown note change '" + w + "'";
    return false;
  }
  return true;
}

bool BuildChannel(const TSongState& st, const std::vector<std::string>& words, int rows, std::vector<TEvent>& events,
                  std::string& error) {
  std::vector<std::pair<std::string, int>> flat;
  if (!Expand(st, words, 0, 0, flat, error)) return false;
  int row = 0, length = 4, volume = -1, instrument = 0, pan = kNoPan;
  for (const auto& [w, transpose] : flat) {
    if (w[0] == '~') {
      if (events.empty() || events.back().What != TEvent::IsNote) {
        error = "'" + w + "' must follow a note";
        return false;
      }
      if (!ApplyModifier(w, events.back(), error)) return false;
      continue;
    }
    if (w[0] == '@') {
      const auto i = st.Instruments.find(w.substr(1));
      if (i == st.Instruments.end()) {
        error = "unknown instrument '" + w.substr(1) + "'";
        return false;
      }
      instrument = i->second.Index;
      continue;
    }
    if (w[0] == 'V' && w.size() > 1 && std::isdigit(static_cast<unsigned char>(w[1]))) {
      if (!ParseInt(w.substr(1), 10, volume) || volume < 0 || volume > 64) {
        error = "bad volume '" + w + "'";
        return false;
      }
      continue;
    }
    if (w[0] == 'P' && w.size() > 1 && (std::isdigit(static_cast<unsigned char>(w[1])) || w[1] == '-' || w[1] == '+')) {
      if (!ParseInt(w.substr(w[1] == '+' ? 2 : 1), 10, pan) || pan < -100 || pan > 100) {
        error = "bad pan '" + w + "' (-100..100)";
        return false;
      }
      continue;
    }
    std::string head;
    int rowsGiven;
    if (!SplitLength(w, head, rowsGiven, error)) return false;
    if (rowsGiven > 0) length = rowsGiven;
    TEvent e;
    e.Row = row;
    e.Rows = length;
    if (head == "." ) {
      e.What = TEvent::IsRest;
      e.Instrument = instrument;
    } else if (head == "-") {
      if (events.empty()) {
        error = "'-' must follow a note";
        return false;
      }
      events.back().Rows += length;
      row += length;
      if (row > rows) break;
      continue;
    } else if (const auto d = st.Drums.find(head); d != st.Drums.end()) {
      e.What = TEvent::IsNote;
      e.Note = d->second.Note;
      e.Instrument = d->second.Instrument;
      e.Volume = d->second.Volume >= 0 ? d->second.Volume : volume;
      e.Pan = pan;
    } else {
      const int note = ParseNoteName(head);
      if (note < 0) {
        error = "'" + w + "' is not a note, rest, drum or command";
        return false;
      }
      if (!instrument) {
        error = "note '" + w + "' before any '@instrument'";
        return false;
      }
      e.What = TEvent::IsNote;
      e.Note = note + transpose;
      e.Instrument = instrument;
      e.Volume = volume;
      e.Pan = pan;
    }
    if (e.What == TEvent::IsNote && (e.Note < 12 || e.Note > 107)) {
      error = "note '" + w + "' is outside C0..B7";
      return false;
    }
    events.push_back(e);
    row += length;
    if (row > rows) break;
  }
  if (row != rows) {
    error = "the channel lasts " + std::to_string(row) + " rows, the pattern " + std::to_string(rows);
    return false;
  }
  return true;
}

bool PutEvents(const TSongState& st, const std::vector<TEvent>& events, int channel, TXmPattern& p,
               std::string& error) {
  const int channels = st.Module->Channels;
  auto cell = [&](int row) -> TXmCell& { return p.Cells[static_cast<size_t>(row * channels + channel)]; };
  std::vector<bool> hold(st.Module->Instruments.size() + 1, false);
  for (const auto& [name, ins] : st.Instruments) hold[static_cast<size_t>(ins.Index)] = ins.Hold;

  for (size_t k = 0; k < events.size(); ++k) {
    const TEvent& e = events[k];
    if (e.What == TEvent::IsRest) {
      // A rest releases the note before it (held instruments ring out).
      if (k > 0 && events[k - 1].What == TEvent::IsNote && !hold[static_cast<size_t>(events[k - 1].Instrument)])
        cell(e.Row).Note = kXmKeyOff;
      continue;
    }
    TXmCell& c = cell(e.Row);
    c.Note = static_cast<uint8_t>(e.Note - 11);
    c.Instrument = static_cast<uint8_t>(e.Instrument);
    if (e.Volume >= 0) c.Volume = static_cast<uint8_t>(0x10 + e.Volume);
    for (int r = 0; r < e.Rows; ++r) {
      TXmCell& rc = cell(e.Row + r);
      if (r == 0 && e.HasFirst) {
        rc.Effect = e.FirstFx;
        rc.Param = e.FirstParam;
      } else if (e.HasCont && (r > 0 || e.ContOnFirstRow)) {
        rc.Effect = e.ContFx;
        rc.Param = e.ContParam;
      }
    }
    // A note that ends with the pattern is released on the last tick of its
    // last row, as the next pattern may start with anything.
    if (k + 1 == events.size() && !hold[static_cast<size_t>(e.Instrument)]) {
      TXmCell& last = cell(e.Row + e.Rows - 1);
      if (e.Rows > 1 || !e.HasFirst) {
        last.Effect = 0x14;
        last.Param = static_cast<uint8_t>(std::max(0, st.Module->Speed - 1));
      }
    }
    // Every note sets the sample's own pan again, so a channel pan goes
    // with each note: in the effect column when it is free, else in the
    // volume column (to 1/16).
    if (e.Pan != kNoPan) {
      const uint8_t pan = PanByte(e.Pan);
      if (!c.Effect && !c.Param) {
        c.Effect = 8;
        c.Param = pan;
      } else if (!c.Volume) {
        c.Volume = static_cast<uint8_t>(0xC0 | (pan >> 4));
      } else {
        error = "row " + std::to_string(e.Row + 1) + ": a panned note cannot also have a volume and a first-row effect";
        return false;
      }
    }
  }
  return true;
}

bool RenderInstrument(TInstrumentSource& src, TXmInstrument& ins, std::string& error) {
  TSoundRecipe r = src.Recipe;
  const int rate = r.Rate;
  const size_t length = static_cast<size_t>(std::lround(r.Length * rate));
  const double root = r.Root > 0 ? r.Root : NoteFrequency(60);
  double pitch = root;
  size_t loopStart = 0, loopLength = 0;
  if (src.LoopStart >= 0) {
    loopStart = static_cast<size_t>(std::lround(src.LoopStart * rate));
    if (loopStart + 64 > length) {
      error = "instrument '" + src.Name + "': the loop must start at least 64 samples before the end";
      return false;
    }
    loopLength = length - loopStart;
    if (r.Root > 0) {
      // Tune the root so that the loop holds a whole number of its cycles.
      const double cycles = std::max(1.0, std::round(loopLength * root / rate));
      pitch = cycles * rate / static_cast<double>(loopLength);
      r.Root = pitch;
    }
  }
  std::vector<float> raw;
  if (loopLength) {
    const size_t fade = std::min<size_t>(loopLength / 2, static_cast<size_t>(0.04 * rate));
    if (loopStart == 0) {
      raw = RenderLayers(r, static_cast<double>(length + fade) / rate);
      for (size_t i = 0; i < fade; ++i) {
        const double w = static_cast<double>(i) / fade;
        raw[i] = static_cast<float>(raw[i] * w + raw[length + i] * (1 - w));
      }
      raw.resize(length);
    } else {
      raw = RenderLayers(r, static_cast<double>(length) / rate);
      const size_t f = std::min(fade, loopStart);
      for (size_t i = 0; i < f; ++i) {
        const double w = static_cast<double>(i + 1) / f;
        const size_t at = length - f + i;
        raw[at] = static_cast<float>(raw[at] * (1 - w) + raw[loopStart - f + i] * w);
      }
    }
  } else {
    raw = RenderLayers(r, static_cast<double>(length) / rate);
    const size_t in = std::min<size_t>(length, static_cast<size_t>(0.001 * rate));
    const size_t out = std::min<size_t>(length, static_cast<size_t>(0.01 * rate));
    for (size_t i = 0; i < in; ++i) raw[i] *= static_cast<float>(0.5 - 0.5 * std::cos(kPi * i / in));
    for (size_t i = 0; i < out; ++i) raw[length - 1 - i] *= static_cast<float>(0.5 - 0.5 * std::cos(kPi * i / out));
  }
  if (loopStart > 0) {
    // Notes start the sample from its first value: ease it in so that a
    // waveform starting away from zero does not click.
    const size_t in = std::min<size_t>(loopStart, static_cast<size_t>(0.002 * rate));
    for (size_t i = 0; i < in; ++i) raw[i] *= static_cast<float>(0.5 - 0.5 * std::cos(kPi * i / in));
  }
  float peak = 0;
  for (float v : raw) peak = std::max(peak, std::abs(v));
  if (peak <= 0) {
    error = "instrument '" + src.Name + "' is silent";
    return false;
  }
  const double scale = std::pow(10.0, r.PeakDb / 20.0) / peak;
  ins.Sample.resize(raw.size());
  for (size_t i = 0; i < raw.size(); ++i)
    ins.Sample[i] = static_cast<int16_t>(std::clamp(std::lround(raw[i] * scale * 32767.0), -32767L, 32767L));
  ins.LoopStart = static_cast<uint32_t>(loopStart);
  ins.LoopLength = static_cast<uint32_t>(loopLength);
  XmTuning(rate, pitch, ins.RelativeNote, ins.FineTune);
  return true;
}

}  // namespace

void XmTuning(double rate, double rootHz, int8_t& relativeNote, int8_t& fineTune) {
  // XM plays C-4 of an untuned sample at 8363 Hz; shift so that C-4 plays
  // the sample's root as middle C.
  const double c4Rate = rate * NoteFrequency(60) / rootHz;
  const double semis = 12.0 * std::log2(c4Rate / 8363.0);
  int rel = static_cast<int>(std::lround(semis));
  int fine = static_cast<int>(std::lround((semis - rel) * 128.0));
  if (fine > 127) {
    fine -= 128;
    ++rel;
  }
  relativeNote = static_cast<int8_t>(std::clamp(rel, -96, 95));
  fineTune = static_cast<int8_t>(std::clamp(fine, -128, 127));
}

bool ParseSong(const std::string& text, TXmModule& module, TSongInfo& info, std::string& error,
               const TIncludeResolver& resolve) {
  module = TXmModule();
  info = TSongInfo();
  TSongState st;
  st.Module = &module;
  struct TSourceLine {
    std::string Text, Where;
    int Number;
  };
  std::vector<TSourceLine> source;
  {
    std::istringstream in(text);
    std::string l;
    int number = 0;
    while (std::getline(in, l)) {
      ++number;
      const std::vector<std::string> w = SplitWords(l);
      if (w.size() == 2 && Lower(w[0]) == "include") {
        std::string included;
        if (!resolve || !resolve(w[1], included)) {
          error = "line " + std::to_string(number) + ": cannot include '" + w[1] + "'";
          return false;
        }
        std::istringstream inc(included);
        std::string il;
        int inumber = 0;
        while (std::getline(inc, il)) {
          if (SplitWords(il).size() >= 1 && Lower(SplitWords(il)[0]) == "include") {
            error = w[1] + " line " + std::to_string(inumber + 1) + ": included files cannot include";
            return false;
          }
          source.push_back({il, w[1] + " ", ++inumber});
        }
        continue;
      }
      source.push_back({l, "", number});
    }
  }
  std::string line, where;
  int lineNo = 0;
  enum { Top, InInstrument, InLayer, InPattern } mode = Top;
  TInstrumentSource* instrument = nullptr;
  std::string patternName;
  int patternRows = 0, patternLine = 0;
  std::map<int, TChannelLine> channels;
  bool haveOrder = false;

  auto fail = [&](const std::string& why) {
    error = where + "line " + std::to_string(lineNo) + ": " + why;
    return false;
  };
  auto rest = [&](const std::string& l, const std::string& key) {
    std::string v = l.substr(l.find(key) + key.size());
    const size_t a = v.find_first_not_of(" \t");
    v = a == std::string::npos ? "" : v.substr(a);
    while (!v.empty() && std::isspace(static_cast<unsigned char>(v.back()))) v.pop_back();
    return v;
  };

  for (const TSourceLine& sl : source) {
    line = sl.Text;
    lineNo = sl.Number;
    where = sl.Where;
    const std::vector<std::string> w = SplitWords(line);
    if (w.empty()) continue;
    const std::string key = Lower(w[0]);
    std::string why;
    int n = 0;

    if (mode == InLayer) {
      if (key == "end") mode = InInstrument;
      else if (!ParseLayerSetting(w, instrument->Recipe.Root, instrument->Recipe.Layers.back(), why)) return fail(why);
      continue;
    }
    if (mode == InInstrument) {
      TSoundRecipe& r = instrument->Recipe;
      if (key == "end") {
        if (r.Layers.empty()) return fail("instrument '" + instrument->Name + "' has no layers");
        mode = Top;
      } else if (key == "layer") {
        r.Layers.emplace_back();
        r.Layers.back().Seed = static_cast<uint32_t>(r.Layers.size() * 2654435761u + instrument->Index);
        mode = InLayer;
      } else if (key == "root") {
        const int note = w.size() > 1 ? ParseNoteName(w[1]) : -1;
        if (note < 0) return fail("root needs a note name");
        r.Root = NoteFrequency(note);
      } else if (key == "length") {
        if (w.size() < 2 || !ParseNumber(w[1], r.Length) || r.Length < 0.005 || r.Length > 10)
          return fail("length must be 0.005 to 10 seconds");
      } else if (key == "loop") {
        if (w.size() < 2 || !ParseNumber(w[1], instrument->LoopStart) || instrument->LoopStart < 0)
          return fail("loop needs its start in seconds");
      } else if (key == "rate") {
        if (w.size() < 2 || !ParseInt(w[1], 10, n) || n < 8000 || n > 48000) return fail("rate must be 8000 to 48000");
        r.Rate = n;
      } else if (key == "peak") {
        if (w.size() < 2 || !ParseNumber(w[1], r.PeakDb) || r.PeakDb > 0) return fail("peak must be at most 0 dB");
      } else if (key == "echo") {
        if (w.size() < 4 || !ParseNumber(w[1], r.EchoDelay) || !ParseNumber(w[2], r.EchoFeedback) ||
            !ParseNumber(w[3], r.EchoMix) || r.EchoFeedback >= 1 || r.EchoFeedback < 0)
          return fail("echo needs delay, feedback (below 1) and mix");
      } else if (key == "volume") {
        if (w.size() < 2 || !ParseInt(w[1], 10, n) || n < 0 || n > 64) return fail("volume must be 0 to 64");
        module.Instruments[static_cast<size_t>(instrument->Index - 1)].Volume = static_cast<uint8_t>(n);
      } else if (key == "pan") {
        if (w.size() < 2 || !ParseInt(w[1], 10, n) || n < -100 || n > 100) return fail("pan must be -100 to 100");
        module.Instruments[static_cast<size_t>(instrument->Index - 1)].Pan = PanByte(n);
      } else if (key == "fadeout") {
        if (w.size() < 2 || !ParseInt(w[1], 10, n) || n < 0 || n > 4095) return fail("fadeout must be 0 to 4095");
        module.Instruments[static_cast<size_t>(instrument->Index - 1)].FadeOut = static_cast<uint16_t>(n);
      } else if (key == "hold") {
        instrument->Hold = true;
      } else if (key == "envelope") {
        TXmEnvelope env;
        for (size_t i = 1; i < w.size(); ++i) {
          if (Lower(w[i]) == "sustain" && i + 1 < w.size() && ParseInt(w[i + 1], 10, env.Sustain)) {
            ++i;
            continue;
          }
          if (Lower(w[i]) == "loop" && i + 2 < w.size() && ParseInt(w[i + 1], 10, env.LoopStart) &&
              ParseInt(w[i + 2], 10, env.LoopEnd)) {
            i += 2;
            continue;
          }
          const size_t colon = w[i].find(':');
          int t, v;
          if (colon == std::string::npos || !ParseInt(w[i].substr(0, colon), 10, t) ||
              !ParseInt(w[i].substr(colon + 1), 10, v) || t < 0 || t > 65535 || v < 0 || v > 64)
            return fail("envelope points are tick:level (level 0..64), got '" + w[i] + "'");
          if (!env.Points.empty() && t <= env.Points.back().first) return fail("envelope ticks must rise");
          env.Points.emplace_back(static_cast<uint16_t>(t), static_cast<uint16_t>(v));
        }
        const int count = static_cast<int>(env.Points.size());
        if (count < 1 || count > 12) return fail("an envelope has 1 to 12 points");
        if (env.Sustain >= count || env.LoopStart >= count || env.LoopEnd >= count || env.LoopEnd < env.LoopStart)
          return fail("envelope sustain or loop names a missing point");
        module.Instruments[static_cast<size_t>(instrument->Index - 1)].VolumeEnvelope = env;
      } else {
        return fail("unknown instrument setting '" + w[0] + "'");
      }
      continue;
    }
    if (mode == InPattern) {
      if (key == "end") {
        TXmPattern p;
        p.Rows = patternRows;
        p.Cells.assign(static_cast<size_t>(patternRows * module.Channels), TXmCell());
        for (const auto& [ch, cl] : channels) {
          std::vector<TEvent> events;
          if (!BuildChannel(st, cl.Words, patternRows, events, why)) {
            lineNo = cl.Line;
            return fail("pattern " + patternName + ", channel " + std::to_string(ch) + ": " + why);
          }
          if (!PutEvents(st, events, ch - 1, p, why)) {
            lineNo = cl.Line;
            return fail("pattern " + patternName + ", channel " + std::to_string(ch) + ": " + why);
          }
        }
        st.PatternIndex[patternName] = static_cast<int>(module.Patterns.size());
        module.Patterns.push_back(std::move(p));
        mode = Top;
        continue;
      }
      const size_t colon = w[0].find(':');
      if (colon == std::string::npos || !ParseInt(w[0].substr(0, colon), 10, n) || n < 1 || n > module.Channels)
        return fail("pattern lines start with a channel number 1.." + std::to_string(module.Channels) + " and ':'");
      TChannelLine& cl = channels[n];
      if (!cl.Line) cl.Line = lineNo;
      std::vector<std::string> words = w;
      words[0] = w[0].substr(colon + 1);
      if (words[0].empty()) words.erase(words.begin());
      AddWords(cl.Words, words.begin(), words.end());
      continue;
    }

    // Top level.
    if (key == "title") {
      info.Title = rest(line, w[0]);
      module.Name = info.Title;
    } else if (key == "author") {
      info.Author = rest(line, w[0]);
    } else if (key == "speed" || key == "bpm" || key == "channels" || key == "rows") {
      if (!module.Patterns.empty() && key == "channels") return fail("set channels before the first pattern");
      if (w.size() < 2 || !ParseInt(w[1], 10, n)) return fail("'" + w[0] + "' needs a number");
      if (key == "speed") module.Speed = n;
      else if (key == "bpm") module.Bpm = n;
      else if (key == "channels") module.Channels = n;
      else st.DefaultRows = n;
      if (module.Channels < 2 || module.Channels > 32 || module.Channels % 2)
        return fail("channels must be an even count from 2 to 32");
      if (st.DefaultRows < 1 || st.DefaultRows > 256) return fail("rows must be 1 to 256");
      if (module.Speed < 1 || module.Speed > 31 || module.Bpm < 32 || module.Bpm > 255)
        return fail("speed must be 1..31 and bpm 32..255");
    } else if (key == "instrument") {
      if (w.size() != 2) return fail("instrument needs one name");
      if (st.Instruments.count(w[1])) return fail("instrument '" + w[1] + "' is defined twice");
      TInstrumentSource& s = st.Instruments[w[1]];
      s.Name = w[1];
      s.Index = static_cast<int>(module.Instruments.size()) + 1;
      s.Recipe.PeakDb = -0.5;
      module.Instruments.emplace_back();
      module.Instruments.back().Name = w[1];
      st.InstrumentOrder.push_back(w[1]);
      instrument = &s;
      mode = InInstrument;
    } else if (key == "drum") {
      if (w.size() < 4 || w.size() > 5) return fail("drum needs a word, an instrument, a note and maybe vNN");
      const auto i = st.Instruments.find(w[2]);
      if (i == st.Instruments.end()) return fail("unknown instrument '" + w[2] + "'");
      const std::string& word = w[1];
      if (ParseNoteName(word) >= 0 || !std::islower(static_cast<unsigned char>(word[0])) ||
          word.find_first_of(":~$@().-") != std::string::npos)
        return fail("drum words start with a small letter and are no note names ('" + word + "')");
      TDrum d;
      d.Instrument = i->second.Index;
      d.Note = ParseNoteName(w[3]);
      if (d.Note < 12 || d.Note > 107) return fail("bad drum note '" + w[3] + "'");
      if (w.size() == 5 && (w[4][0] != 'v' || !ParseInt(w[4].substr(1), 10, d.Volume) || d.Volume < 0 || d.Volume > 64))
        return fail("drum volume is vNN (0..64)");
      st.Drums[word] = d;
    } else if (key == "phrase") {
      if (w.size() < 3) return fail("phrase needs a name and notes");
      auto& words = st.Phrases[w[1]];
      AddWords(words, w.begin() + 2, w.end());
    } else if (key == "pattern") {
      if (w.size() < 2 || w.size() > 3) return fail("pattern needs a name and maybe a row count");
      if (st.PatternIndex.count(w[1])) return fail("pattern '" + w[1] + "' is defined twice");
      patternName = w[1];
      patternRows = st.DefaultRows;
      if (w.size() == 3 && (!ParseInt(w[2], 10, patternRows) || patternRows < 1 || patternRows > 256))
        return fail("a pattern has 1 to 256 rows");
      patternLine = lineNo;
      channels.clear();
      mode = InPattern;
    } else if (key == "order") {
      haveOrder = true;
      for (size_t i = 1; i < w.size(); ++i) {
        if (w[i] == "|") {
          module.Restart = static_cast<int>(module.Order.size());
          continue;
        }
        const auto p = st.PatternIndex.find(w[i]);
        if (p == st.PatternIndex.end()) return fail("order names an unknown pattern '" + w[i] + "'");
        module.Order.push_back(static_cast<uint8_t>(p->second));
      }
    } else {
      return fail("unknown setting '" + w[0] + "'");
    }
  }
  if (mode != Top) {
    lineNo = patternLine ? patternLine : lineNo;
    return fail("block without 'end'");
  }
  if (!haveOrder) return fail("no order list");

  // Shared kits define more than a song plays: keep only the instruments
  // the patterns use, numbered in their order of definition.
  std::vector<int> renumber(module.Instruments.size() + 1, 0);
  for (const TXmPattern& p : module.Patterns)
    for (const TXmCell& c : p.Cells)
      if (c.Instrument) renumber[c.Instrument] = 1;
  std::vector<TXmInstrument> kept;
  for (const std::string& name : st.InstrumentOrder) {
    TInstrumentSource& s = st.Instruments[name];
    TXmInstrument& ins = module.Instruments[static_cast<size_t>(s.Index - 1)];
    if (!renumber[static_cast<size_t>(s.Index)]) continue;
    if (!RenderInstrument(s, ins, error)) return false;
    kept.push_back(std::move(ins));
    renumber[static_cast<size_t>(s.Index)] = static_cast<int>(kept.size());
  }
  module.Instruments = std::move(kept);
  for (TXmPattern& p : module.Patterns)
    for (TXmCell& c : p.Cells)
      if (c.Instrument) c.Instrument = static_cast<uint8_t>(renumber[c.Instrument]);
  return CheckXm(module, error);
}

}  // namespace vgrdata
