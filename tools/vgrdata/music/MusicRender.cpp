#include "MusicRender.h"

#include <lame/lame.h>
#include <xmp.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

namespace vgrdata {

namespace {

struct TXmpContext {
  xmp_context Ctx = xmp_create_context();
  bool Loaded = false, Playing = false;
  ~TXmpContext() {
    if (Playing) xmp_end_player(Ctx);
    if (Loaded) xmp_release_module(Ctx);
    xmp_free_context(Ctx);
  }
};

struct TLame {
  lame_global_flags* Flags = lame_init();
  ~TLame() {
    if (Flags) lame_close(Flags);
  }
};

}  // namespace

bool RenderModule(const std::vector<uint8_t>& module, double after, bool untilSecondLoop, TModuleRender& out,
                  std::string& error, double maxSeconds) {
  out = TModuleRender();
  out.Pcm.Rate = 44100;
  out.Pcm.Channels = 2;
  TXmpContext x;
  if (module.empty() ||
      xmp_load_module_from_memory(x.Ctx, const_cast<uint8_t*>(module.data()), static_cast<long>(module.size())) != 0) {
    error = "libxmp cannot load the module";
    return false;
  }
  x.Loaded = true;
  if (xmp_start_player(x.Ctx, out.Pcm.Rate, 0) != 0) {
    error = "libxmp cannot start playing";
    return false;
  }
  x.Playing = true;
  // The game's mixer keeps 70 % of a module's stereo separation.
  xmp_set_player(x.Ctx, XMP_PLAYER_MIX, 70);
  xmp_module_info mi;
  xmp_get_module_info(x.Ctx, &mi);
  const int restart = mi.mod->rst;
  const size_t maxFrames = static_cast<size_t>(maxSeconds * out.Pcm.Rate);
  size_t stopAt = maxFrames;
  int entries = 0;
  xmp_frame_info fi;
  while (xmp_play_frame(x.Ctx) == 0) {
    xmp_get_frame_info(x.Ctx, &fi);
    const size_t here = out.Pcm.Frames();
    if (fi.pos == restart && fi.row == 0 && fi.frame == 0) {
      ++entries;
      if (entries == 1) {
        out.LoopTarget = here;
      } else if (entries == 2) {
        out.LoopEnd = here;
        out.Looped = true;
        stopAt = untilSecondLoop ? maxFrames : here + static_cast<size_t>(after * out.Pcm.Rate);
      } else if (entries == 3) {
        out.SecondLoopEnd = here;
        if (untilSecondLoop) break;
      }
    }
    const auto* s = static_cast<const int16_t*>(fi.buffer);
    out.Pcm.Samples.insert(out.Pcm.Samples.end(), s, s + fi.buffer_size / 2);
    if (out.Pcm.Frames() >= stopAt) break;
  }
  out.Pcm.Samples.resize(std::min(out.Pcm.Samples.size(), stopAt * 2));
  if (!out.Looped) {
    error = "the module never jumps back to its loop entry";
    return false;
  }
  if (untilSecondLoop && !out.SecondLoopEnd) {
    error = "the module does not loop a second time";
    return false;
  }
  return true;
}

bool RenderLoopSection(const std::vector<uint8_t>& module, TPcm& loop, std::string& error) {
  TModuleRender r;
  if (!RenderModule(module, 0, true, r, error)) return false;
  loop = TPcm();
  loop.Rate = r.Pcm.Rate;
  loop.Channels = 2;
  loop.Samples.assign(r.Pcm.Samples.begin() + static_cast<std::ptrdiff_t>(r.LoopEnd * 2),
                      r.Pcm.Samples.begin() + static_cast<std::ptrdiff_t>(r.SecondLoopEnd * 2));
  return true;
}

bool MeasureModule(const std::vector<uint8_t>& module, TSongMeasure& m, std::string& error) {
  TModuleRender r;
  if (!RenderModule(module, 0, true, r, error)) return false;
  m = TSongMeasure();
  const double rate = r.Pcm.Rate;
  m.Seconds = static_cast<double>(r.LoopEnd) / rate;
  m.LoopSeconds = static_cast<double>(r.LoopEnd - r.LoopTarget) / rate;
  TPcm loop;
  loop.Rate = r.Pcm.Rate;
  loop.Channels = 2;
  loop.Samples.assign(r.Pcm.Samples.begin() + static_cast<std::ptrdiff_t>(r.LoopEnd * 2),
                      r.Pcm.Samples.begin() + static_cast<std::ptrdiff_t>(r.SecondLoopEnd * 2));
  const TLevelStats st = MeasureLevels(loop);
  m.PeakDb = st.PeakDb;
  m.RmsDb = st.RmsDb;

  const size_t frames = loop.Frames(), window = 2 * loop.Rate, hop = loop.Rate;
  std::vector<double> levels;
  for (size_t at = 0; at + window <= frames; at += hop) {
    const double db = WindowRmsDb(loop, at, window);
    if (db > -70) levels.push_back(db);
  }
  if (!levels.empty()) {
    std::sort(levels.begin(), levels.end());
    const auto at = [&](double q) { return levels[static_cast<size_t>(q * static_cast<double>(levels.size() - 1) + 0.5)]; };
    m.RangeDb = at(0.95) - at(0.10);
  }

  double side = 0, middle = 0, steps = 0;
  for (size_t i = 0; i < frames; ++i) {
    const double l = loop.Samples[i * 2], rr = loop.Samples[i * 2 + 1];
    side += (l - rr) * (l - rr);
    middle += (l + rr) * (l + rr);
    if (i > 0) {
      for (int c = 0; c < 2; ++c) {
        const double d = loop.Samples[i * 2 + c] - loop.Samples[(i - 1) * 2 + c];
        steps += d * d;
      }
    }
  }
  if (middle > 0) m.SideDb = side > 0 ? 10 * std::log10(side / middle) : -200;
  const double stepRms = frames > 1 ? std::sqrt(steps / (2.0 * static_cast<double>(frames - 1))) : 0;
  double jump = 0;
  for (int c = 0; c < 2; ++c) {
    const double d = static_cast<double>(r.Pcm.Samples[r.LoopEnd * 2 + c]) - r.Pcm.Samples[(r.LoopEnd - 1) * 2 + c];
    jump = std::max(jump, std::abs(d));
  }
  m.JoinJump = stepRms > 0 ? jump / stepRms : 0;
  return true;
}

bool EncodeMp3(const TPcm& pcm, std::vector<uint8_t>& mp3, std::string& error) {
  mp3.clear();
  TLame lame;
  if (!lame.Flags || pcm.Channels < 1 || pcm.Channels > 2) {
    error = "cannot set up the MP3 encoder";
    return false;
  }
  lame_set_in_samplerate(lame.Flags, pcm.Rate);
  lame_set_num_channels(lame.Flags, pcm.Channels);
  lame_set_mode(lame.Flags, pcm.Channels == 2 ? JOINT_STEREO : MONO);
  lame_set_VBR(lame.Flags, vbr_default);
  lame_set_VBR_quality(lame.Flags, 3.0f);
  lame_set_quality(lame.Flags, 2);
  lame_set_bWriteVbrTag(lame.Flags, 1);
  if (lame_init_params(lame.Flags) < 0) {
    error = "the MP3 encoder rejects the settings";
    return false;
  }
  const size_t frames = pcm.Frames();
  const size_t block = 4096;
  std::vector<unsigned char> buf(block * 5 / 4 + 7200);
  std::vector<int16_t> mono;
  for (size_t at = 0; at < frames; at += block) {
    const int n = static_cast<int>(std::min(block, frames - at));
    int bytes;
    if (pcm.Channels == 2) {
      bytes = lame_encode_buffer_interleaved(lame.Flags, const_cast<short*>(pcm.Samples.data() + at * 2), n,
                                             buf.data(), static_cast<int>(buf.size()));
    } else {
      bytes = lame_encode_buffer(lame.Flags, pcm.Samples.data() + at, pcm.Samples.data() + at, n, buf.data(),
                                 static_cast<int>(buf.size()));
    }
    if (bytes < 0) {
      error = "the MP3 encoder failed";
      return false;
    }
    mp3.insert(mp3.end(), buf.begin(), buf.begin() + bytes);
  }
  const int tail = lame_encode_flush(lame.Flags, buf.data(), static_cast<int>(buf.size()));
  if (tail < 0) {
    error = "the MP3 encoder failed";
    return false;
  }
  mp3.insert(mp3.end(), buf.begin(), buf.begin() + tail);
  // The first frame was reserved for the info tag: fill it in now that the
  // frame count, delay and padding are known.
  std::vector<unsigned char> tag(8192);
  const size_t tagSize = lame_get_lametag_frame(lame.Flags, tag.data(), tag.size());
  if (tagSize > 0 && tagSize <= mp3.size()) std::memcpy(mp3.data(), tag.data(), tagSize);
  return true;
}

}  // namespace vgrdata
