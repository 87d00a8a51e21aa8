#include "SoundWav.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace vgrdata {

namespace {

void PutU16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void PutU32(std::vector<uint8_t>& out, uint32_t v) {
  PutU16(out, v & 0xFFFF);
  PutU16(out, v >> 16);
}
void PutTag(std::vector<uint8_t>& out, const char* tag) {
  // Byte by byte: GCC 12 warns falsely about a range insert into an empty vector.
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(tag[i]));
}

uint32_t GetU32(const std::vector<uint8_t>& d, size_t at) {
  return d[at] | (d[at + 1] << 8) | (d[at + 2] << 16) | (static_cast<uint32_t>(d[at + 3]) << 24);
}
uint16_t GetU16(const std::vector<uint8_t>& d, size_t at) { return static_cast<uint16_t>(d[at] | (d[at + 1] << 8)); }

}  // namespace

std::vector<uint8_t> WriteWav(const TPcm& pcm) {
  const uint32_t dataBytes = static_cast<uint32_t>(pcm.Samples.size() * 2);
  std::vector<uint8_t> out;
  out.reserve(44 + dataBytes);
  PutTag(out, "RIFF");
  PutU32(out, 36 + dataBytes);
  PutTag(out, "WAVE");
  PutTag(out, "fmt ");
  PutU32(out, 16);
  PutU16(out, 1);  // PCM
  PutU16(out, static_cast<uint32_t>(pcm.Channels));
  PutU32(out, static_cast<uint32_t>(pcm.Rate));
  PutU32(out, static_cast<uint32_t>(pcm.Rate * pcm.Channels * 2));
  PutU16(out, static_cast<uint32_t>(pcm.Channels * 2));
  PutU16(out, 16);
  PutTag(out, "data");
  PutU32(out, dataBytes);
  for (int16_t s : pcm.Samples) PutU16(out, static_cast<uint16_t>(s));
  return out;
}

bool ReadWav(const std::vector<uint8_t>& d, TPcm& pcm, std::string& error) {
  pcm = TPcm();
  if (d.size() < 12 || std::memcmp(d.data(), "RIFF", 4) != 0 || std::memcmp(d.data() + 8, "WAVE", 4) != 0) {
    error = "not a RIFF/WAVE file";
    return false;
  }
  bool haveFormat = false;
  size_t at = 12;
  while (at + 8 <= d.size()) {
    const uint32_t size = GetU32(d, at + 4);
    const size_t body = at + 8;
    if (size > d.size() - body) {
      error = "chunk runs past the end of the file";
      return false;
    }
    if (std::memcmp(d.data() + at, "fmt ", 4) == 0) {
      if (size < 16) {
        error = "format chunk too short";
        return false;
      }
      const uint16_t tag = GetU16(d, body);
      const uint16_t channels = GetU16(d, body + 2);
      const uint32_t rate = GetU32(d, body + 4);
      const uint16_t bits = GetU16(d, body + 14);
      if (tag != 1 || bits != 16) {
        error = "only 16-bit PCM is supported";
        return false;
      }
      if (channels < 1 || channels > 2 || rate < 1000 || rate > 192000) {
        error = "unsupported channel count or rate";
        return false;
      }
      pcm.Channels = channels;
      pcm.Rate = static_cast<int>(rate);
      haveFormat = true;
    } else if (std::memcmp(d.data() + at, "data", 4) == 0) {
      if (!haveFormat) {
        error = "data chunk before format chunk";
        return false;
      }
      const size_t frameBytes = static_cast<size_t>(pcm.Channels) * 2;
      const size_t usable = size - size % frameBytes;
      pcm.Samples.resize(usable / 2);
      for (size_t i = 0; i < pcm.Samples.size(); ++i) pcm.Samples[i] = static_cast<int16_t>(GetU16(d, body + i * 2));
      return true;
    }
    at = body + size + (size & 1);  // chunks are padded to even sizes
  }
  error = haveFormat ? "no data chunk" : "no format chunk";
  return false;
}

double ToDb(double linear) { return linear > 1e-10 ? 20.0 * std::log10(linear) : -200.0; }

double WindowRmsDb(const TPcm& pcm, size_t first, size_t count) {
  const size_t ch = static_cast<size_t>(pcm.Channels);
  const size_t frames = pcm.Frames();
  if (first >= frames) return -200;
  count = std::min(count, frames - first);
  double sum = 0;
  for (size_t i = first * ch; i < (first + count) * ch; ++i) {
    const double v = pcm.Samples[i] / 32768.0;
    sum += v * v;
  }
  return count ? ToDb(std::sqrt(sum / static_cast<double>(count * ch))) : -200.0;
}

TLevelStats MeasureLevels(const TPcm& pcm) {
  TLevelStats st;
  const size_t ch = static_cast<size_t>(pcm.Channels);
  const size_t frames = pcm.Frames();
  if (frames == 0) return st;
  int peak = 0;
  double sum = 0;
  for (int16_t s : pcm.Samples) {
    const int a = std::abs(static_cast<int>(s));
    peak = std::max(peak, a);
    if (a >= 32767) ++st.ClippedSamples;
    sum += (s / 32768.0) * (s / 32768.0);
  }
  st.PeakDb = ToDb(peak / 32768.0);
  st.RmsDb = ToDb(std::sqrt(sum / static_cast<double>(pcm.Samples.size())));

  const size_t window = std::max<size_t>(1, static_cast<size_t>(pcm.Rate) / 20);
  size_t run = 0, longest = 0;
  for (size_t w = 0; w < frames; w += window) {
    if (WindowRmsDb(pcm, w, window) < -60.0) {
      run += std::min(window, frames - w);
      longest = std::max(longest, run);
    } else {
      run = 0;
    }
  }
  st.LongestSilence = static_cast<double>(longest) / pcm.Rate;

  for (size_t c = 0; c < ch; ++c) {
    st.StartLevel = std::max(st.StartLevel, std::abs(pcm.Samples[c] / 32768.0));
    st.EndLevel = std::max(st.EndLevel, std::abs(pcm.Samples[(frames - 1) * ch + c] / 32768.0));
  }
  double diffSum = 0, wrap = 0;
  for (size_t c = 0; c < ch; ++c) {
    for (size_t i = 1; i < frames; ++i) {
      const double dlt = (pcm.Samples[i * ch + c] - pcm.Samples[(i - 1) * ch + c]) / 32768.0;
      diffSum += dlt * dlt;
    }
    wrap = std::max(wrap, std::abs(pcm.Samples[c] - pcm.Samples[(frames - 1) * ch + c]) / 32768.0);
  }
  const double diffRms = frames > 1 ? std::sqrt(diffSum / static_cast<double>((frames - 1) * ch)) : 0.0;
  st.WrapJumpRatio = diffRms > 0 ? wrap / diffRms : (wrap > 0 ? 1e9 : 0.0);
  return st;
}

}  // namespace vgrdata
