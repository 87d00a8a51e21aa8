#include "AudioMixer.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>

#if defined(__linux__) && !defined(__EMSCRIPTEN__)
#include <sys/resource.h>
#include <unistd.h>
#define VGR_THREAD_NICE 1
#endif

#include "WebPort.h"

namespace audio {

namespace {

constexpr uint64_t kOne = 1ull << 32;
constexpr float kFracScale = 1.0f / 4294967296.0f;
constexpr uint32_t kBlockFrames = 1024;
constexpr uint32_t kStreamBufferFrames = 1024;
constexpr uint32_t kMaxVoices = 65535;

uint64_t StepFor(uint32_t sourceRate, uint32_t outputRate) {
  return (static_cast<uint64_t>(sourceRate) << 32) / outputRate;
}

void PanGains(float volume, float pan, float& left, float& right) {
  left = volume * (pan > 0 ? 1 - pan : 1);
  right = volume * (pan < 0 ? 1 + pan : 1);
}

}  // namespace

// SDL's lock while the device runs; without a device only the program
// thread touches the mixer.
class TMixer::TLock {
 public:
  explicit TLock(const TMixer& m) : Locked_(m.DeviceOpen_) {
    if (Locked_) SDL_LockAudio();
  }
  ~TLock() {
    if (Locked_) SDL_UnlockAudio();
  }
  TLock(const TLock&) = delete;
  TLock& operator=(const TLock&) = delete;

 private:
  bool Locked_;
};

TMixer& TMixer::Instance() {
  static TMixer mixer;
  return mixer;
}

int TMixer::Start(int device, uint32_t rate) {
  if (Running_) return BASS_ERROR_ALREADY;
  if (device != BASS_DEVICE_DEFAULT && device != BASS_DEVICE_NOSOUND && device != 1) return BASS_ERROR_DEVICE;
  if (rate < 8000 || rate > 48000) return BASS_ERROR_ILLPARAM;
  Rate_ = rate;
  Clock_ = 0;
  Acc_.assign(2 * kBlockFrames, 0.0f);
  if (device != BASS_DEVICE_NOSOUND) {
#ifdef VGR_THREAD_NICE
    ProgramNice_ = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
#endif
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) < 0) return BASS_ERROR_DRIVER;
    SDL_AudioSpec want{};
    want.freq = static_cast<int>(rate);
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = 1024;
    want.callback = [](void* self, Uint8* stream, int length) { Callback(self, stream, length); };
    want.userdata = this;
    // No "obtained" format: SDL converts to whatever the hardware takes, so the
    // mixer always works in its own format.
    if (OpenAudioDevice(&want) < 0) {
      SDL_QuitSubSystem(SDL_INIT_AUDIO);
      return BASS_ERROR_DRIVER;
    }
    DeviceOpen_ = true;
  }
  Running_ = true;
  if (DeviceOpen_) SDL_PauseAudio(0);
  return BASS_OK;
}

void TMixer::Shutdown() {
  if (DeviceOpen_) {
    SDL_CloseAudio();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    DeviceOpen_ = false;
  }
  Running_ = false;
  Streams_.clear();
  Samples_.clear();
  VoiceRefs_.clear();
}

void TMixer::Callback(void* self, uint8_t* stream, int length) {
  // SDL holds its audio lock around the callback.
  auto* mixer = static_cast<TMixer*>(self);
#ifdef VGR_THREAD_NICE
  // SDL raises its audio thread to the highest priority the process may set
  // (nice -20 where it is allowed). Mixing takes a fraction of a millisecond
  // a block, but a thread of that weight waking beside the program's own
  // keeps the program's thread waiting on a busy machine: frames come late.
  // The mixer thread runs at the program's own priority instead, once SDL
  // has set its own.
  thread_local bool settled = false;
  if (!settled) {
    settled = true;
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), mixer->ProgramNice_);
  }
#endif
  mixer->MixLocked(reinterpret_cast<int16_t*>(stream), static_cast<uint32_t>(length / 4));
}

uint32_t TMixer::NewHandle() {
  // Handles are never reused while the process runs, so a stale handle kept
  // by a caller never reaches a newer object; 0 and 0xFFFFFFFF mean failure.
  for (;;) {
    const uint32_t h = NextHandle_++;
    if (h == 0 || h == 0xFFFFFFFFu) continue;
    if (Streams_.count(h) || Samples_.count(h) || VoiceRefs_.count(h)) continue;
    return h;
  }
}

uint32_t TMixer::AddStream(std::unique_ptr<TStreamSource> source, bool loop, bool module) {
  auto c = std::make_unique<TStreamChannel>();
  c->Source = std::move(source);
  c->Loop = loop;
  c->Module = module;
  c->Buffer.resize(2 * kStreamBufferFrames);
  TLock lock(*this);
  const uint32_t h = NewHandle();
  Streams_[h] = std::move(c);
  return h;
}

uint32_t TMixer::AddSample(TPcm pcm, uint32_t max, uint32_t flags) {
  auto s = std::make_unique<TSample>();
  s->Info.freq = pcm.Rate;
  s->Info.volume = 1.0f;
  s->Info.pan = 0.0f;
  s->Info.flags = flags & (BASS_SAMPLE_LOOP | BASS_SAMPLE_OVER_POS);
  s->Info.length = static_cast<DWORD>(std::min<uint64_t>(pcm.Data.size() * 2, 0xFFFFFFFFu));
  s->Info.max = max;
  s->Info.origres = pcm.OriginalBits;
  s->Info.chans = pcm.Channels;
  s->Pcm = std::move(pcm);
  TLock lock(*this);
  const uint32_t h = NewHandle();
  Samples_[h] = std::move(s);
  return h;
}

int TMixer::FreeMusic(uint32_t handle) {
  std::unique_ptr<TStreamChannel> doomed;
  {
    TLock lock(*this);
    auto it = Streams_.find(handle);
    if (it == Streams_.end()) return BASS_ERROR_HANDLE;
    doomed = std::move(it->second);
    Streams_.erase(it);
  }
  return BASS_OK;  // the decoder closes outside the lock
}

int TMixer::FreeSample(uint32_t handle) {
  std::unique_ptr<TSample> doomed;
  {
    TLock lock(*this);
    auto it = Samples_.find(handle);
    if (it == Samples_.end()) return BASS_ERROR_HANDLE;
    for (const TVoice& v : it->second->Voices) VoiceRefs_.erase(v.Handle);
    doomed = std::move(it->second);
    Samples_.erase(it);
  }
  return BASS_OK;
}

void TMixer::SetUpVoice(const TSample& s, TVoice& v) {
  v.Pos = 0;
  v.Step = StepFor(s.Info.freq, Rate_);
  v.Loop = (s.Info.flags & BASS_SAMPLE_LOOP) != 0;
  PanGains(s.Info.volume, s.Info.pan, v.GainL, v.GainR);
}

int TMixer::GetChannel(uint32_t sample, bool onlyNew, uint32_t& channel) {
  channel = 0;
  TLock lock(*this);
  auto it = Samples_.find(sample);
  if (it == Samples_.end()) return BASS_ERROR_HANDLE;
  TSample& s = *it->second;
  TVoice* pick = nullptr;
  // A free playback first, then a new one while below max, then one handed
  // out but never played, and only then the one that has played longest.
  for (TVoice& v : s.Voices) {
    if (!v.Playing && !v.Reserved) {
      pick = &v;
      break;
    }
  }
  if (!pick && s.Voices.size() < s.Info.max) {
    TVoice v;
    v.Handle = NewHandle();
    VoiceRefs_[v.Handle] = TVoiceRef{sample, static_cast<uint32_t>(s.Voices.size())};
    s.Voices.push_back(v);
    pick = &s.Voices.back();
  }
  if (!pick) {
    for (TVoice& v : s.Voices) {
      if (!v.Playing) {
        pick = &v;
        break;
      }
    }
  }
  if (!pick && !onlyNew && (s.Info.flags & BASS_SAMPLE_OVER_POS)) {
    for (TVoice& v : s.Voices) {
      if (!pick || v.StartedAt < pick->StartedAt) pick = &v;
    }
  }
  if (!pick) return BASS_ERROR_NOCHAN;
  pick->Playing = false;
  pick->Reserved = true;
  SetUpVoice(s, *pick);
  channel = pick->Handle;
  return BASS_OK;
}

int TMixer::Play(uint32_t handle, bool restart) {
  TLock lock(*this);
  if (auto it = Streams_.find(handle); it != Streams_.end()) {
    TStreamChannel& c = *it->second;
    if (restart || c.Ended || !c.Started) {
      if (!Rewind(c)) return BASS_ERROR_FILEFORM;
    }
    c.Playing = true;
    return BASS_OK;
  }
  if (auto it = VoiceRefs_.find(handle); it != VoiceRefs_.end()) {
    TSample& s = *Samples_.at(it->second.Sample);
    TVoice& v = s.Voices[it->second.Index];
    if (v.Playing && !restart) return BASS_OK;
    // A playback that ended or was stopped starts again from the beginning.
    if (!v.Reserved || restart) v.Pos = 0;
    v.Reserved = false;
    v.Playing = true;
    v.StartedAt = Clock_;
    return BASS_OK;
  }
  return BASS_ERROR_HANDLE;
}

int TMixer::StopChannel(uint32_t handle) {
  TLock lock(*this);
  if (auto it = Streams_.find(handle); it != Streams_.end()) {
    it->second->Playing = false;
    return BASS_OK;
  }
  if (auto it = VoiceRefs_.find(handle); it != VoiceRefs_.end()) {
    TVoice& v = Samples_.at(it->second.Sample)->Voices[it->second.Index];
    v.Playing = false;
    v.Reserved = false;
    return BASS_OK;
  }
  return BASS_ERROR_HANDLE;
}

uint32_t TMixer::IsActive(uint32_t handle) {
  TLock lock(*this);
  if (auto it = Streams_.find(handle); it != Streams_.end()) {
    return it->second->Playing ? BASS_ACTIVE_PLAYING : BASS_ACTIVE_STOPPED;
  }
  if (auto it = VoiceRefs_.find(handle); it != VoiceRefs_.end()) {
    return Samples_.at(it->second.Sample)->Voices[it->second.Index].Playing ? BASS_ACTIVE_PLAYING
                                                                            : BASS_ACTIVE_STOPPED;
  }
  return BASS_ACTIVE_STOPPED;
}

int TMixer::GetInfo(uint32_t sample, BASS_SAMPLE& info) {
  TLock lock(*this);
  auto it = Samples_.find(sample);
  if (it == Samples_.end()) return BASS_ERROR_HANDLE;
  info = it->second->Info;
  return BASS_OK;
}

int TMixer::SetInfo(uint32_t sample, const BASS_SAMPLE& info) {
  if (std::isnan(info.volume) || std::isnan(info.pan)) return BASS_ERROR_ILLPARAM;
  if (info.max == 0 || info.max > kMaxVoices) return BASS_ERROR_ILLPARAM;
  TLock lock(*this);
  auto it = Samples_.find(sample);
  if (it == Samples_.end()) return BASS_ERROR_HANDLE;
  TSample& s = *it->second;
  // Out-of-range defaults are held to what can be played: a rate of 0 would
  // never end and occupy its playback for good.
  s.Info.freq = std::clamp<DWORD>(info.freq, 100, 1000000);
  s.Info.volume = std::clamp(info.volume, 0.0f, 1.0f);
  s.Info.pan = std::clamp(info.pan, -1.0f, 1.0f);
  s.Info.flags = info.flags & (BASS_SAMPLE_LOOP | BASS_SAMPLE_OVER_POS);
  s.Info.max = info.max;
  while (s.Voices.size() > s.Info.max) {
    VoiceRefs_.erase(s.Voices.back().Handle);
    s.Voices.pop_back();
  }
  return BASS_OK;
}

void TMixer::Render(int16_t* out, uint32_t frames) {
  TLock lock(*this);
  MixLocked(out, frames);
}

void TMixer::MixLocked(int16_t* out, uint32_t frames) {
  while (frames > 0) {
    const uint32_t n = std::min(frames, kBlockFrames);
    float* acc = Acc_.data();
    std::fill(acc, acc + 2 * n, 0.0f);
    for (auto& [h, c] : Streams_) {
      if (c->Playing) MixStream(*c, acc, n);
    }
    for (auto& [h, s] : Samples_) {
      for (TVoice& v : s->Voices) {
        if (v.Playing) MixVoice(*s, v, acc, n);
      }
    }
    const float master = std::clamp(Volume_.load(), 0.0f, 100.0f) / 100.0f;
    for (uint32_t i = 0; i < 2 * n; ++i) {
      const float x = std::clamp(acc[i] * master, -32768.0f, 32767.0f);
      out[i] = static_cast<int16_t>(std::lrint(x));
    }
    Clock_ += n;
    out += 2 * n;
    frames -= n;
  }
}

bool TMixer::Refill(TStreamChannel& c) {
  uint32_t n = c.Source->Read(c.Buffer.data(), kStreamBufferFrames);
  // A looping source that gives nothing right after a rewind has nothing to
  // loop over; it ends instead of spinning in the audio thread.
  if (n == 0 && c.Loop && c.HadData && c.Source->Rewind()) {
    c.HadData = false;
    n = c.Source->Read(c.Buffer.data(), kStreamBufferFrames);
  }
  if (n == 0) return false;
  c.HadData = true;
  c.BufferFrames = n;
  c.BufferPos = 0;
  c.Step = StepFor(c.Source->Rate(), Rate_);
  return true;
}

bool TMixer::NextFrame(TStreamChannel& c, float* frame) {
  if (c.BufferPos >= c.BufferFrames && !Refill(c)) return false;
  frame[0] = c.Buffer[2 * c.BufferPos];
  frame[1] = c.Buffer[2 * c.BufferPos + 1];
  ++c.BufferPos;
  return true;
}

bool TMixer::Rewind(TStreamChannel& c) {
  if (!c.Source->Rewind()) return false;
  c.Started = true;
  c.BufferFrames = c.BufferPos = 0;
  c.Primed = c.Draining = c.Ended = false;
  c.HadData = false;
  c.Frac = 0;
  return true;
}

void TMixer::MixStream(TStreamChannel& c, float* acc, uint32_t frames) {
  if (!c.Primed) {
    if (!NextFrame(c, c.A)) {
      c.Playing = false;
      c.Ended = true;
      return;
    }
    if (!NextFrame(c, c.B)) {
      c.B[0] = c.B[1] = 0;
      c.Draining = true;
    }
    c.Frac = 0;
    c.Primed = true;
  }
  for (uint32_t i = 0; i < frames; ++i) {
    const float t = static_cast<float>(c.Frac) * kFracScale;
    acc[2 * i] += c.A[0] + (c.B[0] - c.A[0]) * t;
    acc[2 * i + 1] += c.A[1] + (c.B[1] - c.A[1]) * t;
    c.Frac += c.Step;
    while (c.Frac >= kOne) {
      c.Frac -= kOne;
      c.A[0] = c.B[0];
      c.A[1] = c.B[1];
      if (c.Draining) {
        c.Playing = false;
        c.Ended = true;
        return;
      }
      if (!NextFrame(c, c.B)) {
        c.B[0] = c.B[1] = 0;
        c.Draining = true;
      }
    }
  }
}

void TMixer::MixVoice(const TSample& s, TVoice& v, float* acc, uint32_t frames) {
  const uint64_t length = static_cast<uint64_t>(s.Pcm.Frames);
  const uint64_t end = length << 32;
  const int16_t* d = s.Pcm.Data.data();
  const bool stereo = s.Pcm.Channels == 2;
  for (uint32_t i = 0; i < frames; ++i) {
    if (v.Pos >= end) {
      if (!v.Loop || length == 0) {
        v.Playing = false;
        return;
      }
      v.Pos %= end;
    }
    const uint64_t idx = v.Pos >> 32;
    const uint64_t next = idx + 1 < length ? idx + 1 : (v.Loop ? 0 : idx);
    const float t = static_cast<float>(v.Pos & 0xFFFFFFFFu) * kFracScale;
    float l, r;
    if (stereo) {
      l = d[2 * idx] + (d[2 * next] - d[2 * idx]) * t;
      r = d[2 * idx + 1] + (d[2 * next + 1] - d[2 * idx + 1]) * t;
    } else {
      l = r = d[idx] + (d[next] - d[idx]) * t;
    }
    acc[2 * i] += l * v.GainL;
    acc[2 * i + 1] += r * v.GainR;
    v.Pos += v.Step;
  }
}

}  // namespace audio
