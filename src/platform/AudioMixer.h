#pragma once
// The mixer behind the audio library: the table of streams, modules and
// samples, the playing channels, and the mix into 16-bit stereo. SDL's audio
// thread pulls the mix through its callback; every change from the program
// thread holds SDL's audio lock for the length of a table update only.

#include <atomic>
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "AudioDecoders.h"
#include "BASSTypes.h"

namespace audio {

class TMixer {
 public:
  static TMixer& Instance();
  // A process that ends without closing the library still stops the audio
  // thread before the tables it mixes from go away.
  ~TMixer() { Shutdown(); }

  // Starts the mixer at `rate`, with SDL's output unless `device` is
  // BASS_DEVICE_NOSOUND. Returns a BASS error code (BASS_OK on success).
  int Start(int device, uint32_t rate);
  // Closes the output and frees everything.
  void Shutdown();
  bool Running() const { return Running_; }
  uint32_t Rate() const { return Rate_; }

  float Volume() const { return Volume_.load(); }
  void SetVolume(float volume) { Volume_.store(volume); }

  // Take ownership of decoded material; return the new handle.
  uint32_t AddStream(std::unique_ptr<TStreamSource> source, bool loop, bool module);
  uint32_t AddSample(TPcm pcm, uint32_t max, uint32_t flags);

  // Each returns a BASS error code.
  int FreeMusic(uint32_t handle);
  int FreeSample(uint32_t handle);
  int Play(uint32_t handle, bool restart);
  int StopChannel(uint32_t handle);
  int GetChannel(uint32_t sample, bool onlyNew, uint32_t& channel);
  int GetInfo(uint32_t sample, BASS_SAMPLE& info);
  int SetInfo(uint32_t sample, const BASS_SAMPLE& info);
  uint32_t IsActive(uint32_t handle);

  // The mix of the next `frames` frames, as the device would play it.
  void Render(int16_t* out, uint32_t frames);

 private:
  struct TVoice {
    uint32_t Handle = 0;
    bool Playing = false;
    bool Reserved = false;  // handed out, not yet played
    bool Loop = false;
    uint64_t Pos = 0;   // source frames, 32.32 fixed point
    uint64_t Step = 0;  // source frames per output frame, 32.32
    float GainL = 1, GainR = 1;
    uint64_t StartedAt = 0;  // mixer clock at the start of the playback
  };
  struct TSample {
    TPcm Pcm;
    BASS_SAMPLE Info;
    std::vector<TVoice> Voices;
  };
  struct TStreamChannel {
    std::unique_ptr<TStreamSource> Source;
    bool Loop = false;
    bool Module = false;
    bool Playing = false;
    bool Ended = false;
    bool Primed = false;
    bool Draining = false;
    bool HadData = false;  // frames came since the last rewind
    bool Started = false;  // rewound at least once: modules start their player there
    std::vector<int16_t> Buffer;
    uint32_t BufferFrames = 0, BufferPos = 0;
    float A[2] = {0, 0}, B[2] = {0, 0};
    uint64_t Frac = 0, Step = 0;
  };
  struct TVoiceRef {
    uint32_t Sample;
    uint32_t Index;
  };

  class TLock;
  static void Callback(void* self, uint8_t* stream, int length);

  uint32_t NewHandle();
  void MixLocked(int16_t* out, uint32_t frames);
  void MixStream(TStreamChannel& c, float* acc, uint32_t frames);
  void MixVoice(const TSample& s, TVoice& v, float* acc, uint32_t frames);
  bool NextFrame(TStreamChannel& c, float* frame);
  bool Refill(TStreamChannel& c);
  bool Rewind(TStreamChannel& c);
  void SetUpVoice(const TSample& s, TVoice& v);

  bool Running_ = false;
  bool DeviceOpen_ = false;
  // The nice value of the thread that started the device (Linux keeps one
  // per thread), which the device's thread is given back.
  int ProgramNice_ = 0;
  uint32_t Rate_ = 44100;
  std::atomic<float> Volume_{100.0f};
  uint32_t NextHandle_ = 1;
  uint64_t Clock_ = 0;
  std::unordered_map<uint32_t, std::unique_ptr<TStreamChannel>> Streams_;
  std::unordered_map<uint32_t, std::unique_ptr<TSample>> Samples_;
  std::unordered_map<uint32_t, TVoiceRef> VoiceRefs_;
  std::vector<float> Acc_;
};

}  // namespace audio
