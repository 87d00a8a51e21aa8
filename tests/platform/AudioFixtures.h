#pragma once
// Sound fixtures made by the tests themselves: WAV files, a tiny ProTracker
// module, MP3 data encoded with LAME, and helpers that read rendered output.

#include <lame/lame.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "BASS.h"

namespace audiotest {

inline void Put16(std::vector<uint8_t>& v, uint32_t x) {
  v.push_back(static_cast<uint8_t>(x));
  v.push_back(static_cast<uint8_t>(x >> 8));
}
inline void Put32(std::vector<uint8_t>& v, uint32_t x) {
  Put16(v, x & 0xFFFF);
  Put16(v, x >> 16);
}
inline void PutId(std::vector<uint8_t>& v, const char* id) {
  for (int i = 0; i < 4; ++i) v.push_back(static_cast<uint8_t>(id[i]));
}

// dst += src. (GCC 12 warns falsely about vector::insert of one byte vector
// at the end of another; resizing first keeps the build quiet.)
inline void Append(std::vector<uint8_t>& dst, const std::vector<uint8_t>& src) {
  const size_t at = dst.size();
  dst.resize(at + src.size());
  if (!src.empty()) std::memcpy(dst.data() + at, src.data(), src.size());
}

// A PCM WAV file. `samples` are interleaved and hold the values to store:
// -32768..32767 for 16 bits, 0..255 for 8 bits.
inline std::vector<uint8_t> MakeWav(const std::vector<int>& samples, uint16_t channels, uint32_t rate,
                                    uint16_t bits = 16) {
  std::vector<uint8_t> data;
  for (int s : samples) {
    if (bits == 8) {
      data.push_back(static_cast<uint8_t>(s));
    } else {
      Put16(data, static_cast<uint16_t>(static_cast<int16_t>(s)));
    }
  }
  std::vector<uint8_t> w;
  PutId(w, "RIFF");
  Put32(w, static_cast<uint32_t>(4 + 8 + 16 + 8 + data.size() + (data.size() & 1)));
  PutId(w, "WAVE");
  PutId(w, "fmt ");
  Put32(w, 16);
  Put16(w, 1);
  Put16(w, channels);
  Put32(w, rate);
  Put32(w, rate * channels * bits / 8);
  Put16(w, channels * bits / 8);
  Put16(w, bits);
  PutId(w, "data");
  Put32(w, static_cast<uint32_t>(data.size()));
  Append(w, data);
  if (data.size() & 1) w.push_back(0);
  return w;
}

// `frames` mono frames of one constant value: easy to measure after mixing.
inline std::vector<uint8_t> ConstantWav(int value, size_t frames, uint32_t rate = 44100) {
  return MakeWav(std::vector<int>(frames, value), 1, rate);
}

// Mono frames whose value is 10 times their index: the position is visible.
inline std::vector<uint8_t> RampWav(size_t frames, uint32_t rate = 44100) {
  std::vector<int> s(frames);
  for (size_t i = 0; i < frames; ++i) s[i] = static_cast<int>(i * 10);
  return MakeWav(s, 1, rate);
}

// A four-channel ProTracker module of one pattern: row 0 starts a looped
// square-wave sample and sets speed 1, so one pass of the song lasts 64 ticks
// (1.28 s at the default tempo). `busy` instead plays a note on every channel
// every other row at the default speed, as real game music does.
inline std::vector<uint8_t> MakeMod(bool busy = false) {
  std::vector<uint8_t> m;
  std::string title = "vgr test";
  title.resize(20, '\0');
  Append(m, std::vector<uint8_t>(title.begin(), title.end()));
  const uint16_t words = 32;
  for (int i = 0; i < 31; ++i) {
    std::string name = i == 0 ? "square" : "";
    name.resize(22, '\0');
    Append(m, std::vector<uint8_t>(name.begin(), name.end()));
    const uint16_t len = i == 0 ? words : 0;
    m.push_back(static_cast<uint8_t>(len >> 8));
    m.push_back(static_cast<uint8_t>(len));
    m.push_back(0);                       // finetune
    m.push_back(i == 0 ? 64 : 0);         // volume
    m.push_back(0);                       // loop start
    m.push_back(0);
    const uint16_t loop = i == 0 ? words : 1;
    m.push_back(static_cast<uint8_t>(loop >> 8));
    m.push_back(static_cast<uint8_t>(loop));
  }
  m.push_back(1);    // song length
  m.push_back(127);  // restart byte
  for (int i = 0; i < 128; ++i) m.push_back(0);
  PutId(m, "M.K.");
  std::vector<uint8_t> pattern(64 * 4 * 4, 0);
  const uint16_t period = 214;
  const uint8_t sample = 1;
  auto note = [&](int row, int channel, uint16_t p, uint8_t effect, uint8_t param) {
    uint8_t* cell = &pattern[static_cast<size_t>((row * 4 + channel) * 4)];
    cell[0] = static_cast<uint8_t>((sample & 0xF0) | (p >> 8));
    cell[1] = static_cast<uint8_t>(p & 0xFF);
    cell[2] = static_cast<uint8_t>(((sample & 0x0F) << 4) | effect);
    cell[3] = param;
  };
  if (busy) {
    const uint16_t periods[] = {428, 381, 339, 320, 285, 254, 226, 214};
    for (int row = 0; row < 64; row += 2) {
      for (int ch = 0; ch < 4; ++ch) note(row, ch, periods[(row / 2 + ch * 3) % 8], 0, 0);
    }
  } else {
    note(0, 0, period, 0x0F, 0x01);
  }
  Append(m, pattern);
  for (int i = 0; i < words * 2; ++i) m.push_back(static_cast<uint8_t>(i % 16 < 8 ? 100 : -100));
  return m;
}

// `seconds` of a sine at `hz`, encoded as MP3 at `rate` with LAME, with its
// gapless information frame filled in.
inline std::vector<uint8_t> MakeMp3(double seconds, uint32_t rate, int channels = 1, double hz = 440.0) {
  lame_t lame = lame_init();
  lame_set_in_samplerate(lame, static_cast<int>(rate));
  lame_set_out_samplerate(lame, static_cast<int>(rate));
  lame_set_num_channels(lame, channels);
  lame_set_mode(lame, channels == 1 ? MONO : JOINT_STEREO);
  lame_set_brate(lame, 64);
  lame_set_quality(lame, 7);
  lame_init_params(lame);
  const int frames = static_cast<int>(seconds * rate);
  std::vector<short> left(frames), right(frames);
  for (int i = 0; i < frames; ++i) {
    left[i] = right[i] = static_cast<short>(12000 * std::sin(2 * M_PI * hz * i / rate));
  }
  std::vector<uint8_t> out(static_cast<size_t>(1.25 * frames) + 7200);
  int n = lame_encode_buffer(lame, left.data(), right.data(), frames, out.data(), static_cast<int>(out.size()));
  int m = lame_encode_flush(lame, out.data() + n, static_cast<int>(out.size()) - n);
  out.resize(static_cast<size_t>(n + m));
  std::vector<uint8_t> tag(4096);
  const size_t tagSize = lame_get_lametag_frame(lame, tag.data(), tag.size());
  if (tagSize > 0 && tagSize <= out.size()) std::copy(tag.begin(), tag.begin() + tagSize, out.begin());
  lame_close(lame);
  return out;
}

// The next `frames` frames of the mix.
inline std::vector<int16_t> Render(uint32_t frames) {
  std::vector<int16_t> b(2 * static_cast<size_t>(frames));
  BASS_RenderOutput(b.data(), frames);
  return b;
}

inline int Left(const std::vector<int16_t>& b, size_t frame) { return b[2 * frame]; }
inline int Right(const std::vector<int16_t>& b, size_t frame) { return b[2 * frame + 1]; }

// Largest absolute value of one channel (0 left, 1 right) in [from, to).
inline int Peak(const std::vector<int16_t>& b, int channel, size_t from = 0, size_t to = SIZE_MAX) {
  int peak = 0;
  to = std::min(to, b.size() / 2);
  for (size_t i = from; i < to; ++i) peak = std::max(peak, std::abs(static_cast<int>(b[2 * i + channel])));
  return peak;
}

// Frames in which either channel is not silent.
inline size_t AudibleFrames(const std::vector<int16_t>& b) {
  size_t n = 0;
  for (size_t i = 0; i < b.size() / 2; ++i) {
    if (b[2 * i] != 0 || b[2 * i + 1] != 0) ++n;
  }
  return n;
}

}  // namespace audiotest
