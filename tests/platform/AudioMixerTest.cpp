// The audio library heard through its render function: what each call does to
// the mixed output.
#include <SDL.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "AudioFixtures.h"
#include "BASS.h"
#include "TestSupport.h"
#include "ZR_SDL.h"

using namespace audiotest;

namespace {

class Mixer : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(BASS_Init(BASS_DEVICE_NOSOUND, 44100, 0, nullptr, nullptr));
    BASS_SetVolume(100.0f);
  }
  void TearDown() override {
    BASS_Free();
    BASS_SetVolume(100.0f);
  }

  static HSAMPLE Load(const std::vector<uint8_t>& wav, DWORD max = 1, DWORD flags = BASS_SAMPLE_OVER_POS) {
    return BASS_SampleLoad(true, wav.data(), 0, static_cast<DWORD>(wav.size()), max, flags);
  }
  static HCHANNEL PlayNew(HSAMPLE s) {
    const HCHANNEL ch = BASS_SampleGetChannel(s, false);
    EXPECT_TRUE(BASS_ChannelPlay(ch, false));
    return ch;
  }
};

TEST(AudioLibrary, AnswersVersionTwoFourAndRefusesCallsBeforeItStarts) {
  EXPECT_EQ(BASS_GetVersion() >> 16, 0x0204u);
  const auto wav = ConstantWav(1000, 100);
  EXPECT_EQ(BASS_SampleLoad(true, wav.data(), 0, static_cast<DWORD>(wav.size()), 1, 0), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_INIT);
  int16_t frame[2];
  EXPECT_FALSE(BASS_RenderOutput(frame, 1));
  EXPECT_FALSE(BASS_Free());
}

TEST(AudioLibrary, StartsOnSdlsDummyDriverAndOnlyOnce) {
  ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr, nullptr));
  EXPECT_FALSE(BASS_Init(-1, 44100, 0, nullptr, nullptr));
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ALREADY);
  const auto wav = ConstantWav(1000, 4410);
  const HSAMPLE s = BASS_SampleLoad(true, wav.data(), 0, static_cast<DWORD>(wav.size()), 1, 0);
  ASSERT_NE(s, 0u);
  const HCHANNEL ch = BASS_SampleGetChannel(s, false);
  EXPECT_TRUE(BASS_ChannelPlay(ch, false));
  EXPECT_TRUE(BASS_Free());
  EXPECT_EQ(BASS_ChannelIsActive(ch), BASS_ACTIVE_STOPPED);
}

namespace {

// The nice value of every thread of the process but the calling one; -100
// for a thread that is gone.
std::vector<int> OtherThreadsNice() {
  std::vector<int> nice;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) {
    const int tid = std::stoi(entry.path().filename().string());
    if (tid == gettid()) continue;
    errno = 0;
    const int n = getpriority(PRIO_PROCESS, static_cast<id_t>(tid));
    nice.push_back(errno == 0 ? n : -100);
  }
  return nice;
}

}  // namespace

TEST(AudioLibrary, MixesAtTheProgramsOwnPriority) {
  const int own = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
  ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr, nullptr));
  // SDL's device thread raises itself as it starts; the mixer sets it back
  // on its first block.
  std::vector<int> nice;
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  for (;;) {
    nice = OtherThreadsNice();
    const bool settled = !nice.empty() && std::all_of(nice.begin(), nice.end(), [own](int n) { return n == own; });
    if (settled || std::chrono::steady_clock::now() > until) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_TRUE(BASS_Free());
  ASSERT_FALSE(nice.empty()) << "no device thread";
  EXPECT_EQ(nice, std::vector<int>(nice.size(), own));
}

TEST(AudioLibrary, RefusesUnknownDevicesAndRates) {
  EXPECT_FALSE(BASS_Init(7, 44100, 0, nullptr, nullptr));
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_DEVICE);
  EXPECT_FALSE(BASS_Init(0, 1000, 0, nullptr, nullptr));
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLPARAM);
}

TEST_F(Mixer, PlayedSampleIsHeardAndStopsWhenStopped) {
  const HSAMPLE s = Load(ConstantWav(10000, 44100));
  ASSERT_NE(s, 0u);
  EXPECT_EQ(AudibleFrames(Render(100)), 0u);
  const HCHANNEL ch = PlayNew(s);
  ASSERT_NE(ch, 0u);
  auto b = Render(1000);
  EXPECT_EQ(Left(b, 0), 10000);
  EXPECT_EQ(Right(b, 999), 10000);
  EXPECT_EQ(AudibleFrames(b), 1000u);
  EXPECT_EQ(BASS_ChannelIsActive(ch), BASS_ACTIVE_PLAYING);
  EXPECT_TRUE(BASS_ChannelStop(ch));
  EXPECT_EQ(AudibleFrames(Render(1000)), 0u);
  EXPECT_EQ(BASS_ChannelIsActive(ch), BASS_ACTIVE_STOPPED);
}

TEST_F(Mixer, UnloopedSampleEndsByItself) {
  const HSAMPLE s = Load(ConstantWav(5000, 1000));
  const HCHANNEL ch = PlayNew(s);
  auto b = Render(3000);
  EXPECT_EQ(AudibleFrames(b), 1000u);
  EXPECT_EQ(Left(b, 999), 5000);
  EXPECT_EQ(Left(b, 1000), 0);
  EXPECT_EQ(BASS_ChannelIsActive(ch), BASS_ACTIVE_STOPPED);
}

struct TGainCase {
  float Volume, Pan, Master;
  int ExpectLeft, ExpectRight;
};

TEST_F(Mixer, VolumePanAndMasterScaleEachSide) {
  const TGainCase cases[] = {
      {1.0f, 0.0f, 100.0f, 10000, 10000}, {0.5f, 0.0f, 100.0f, 5000, 5000},  {1.0f, -1.0f, 100.0f, 10000, 0},
      {1.0f, 1.0f, 100.0f, 0, 10000},     {1.0f, -0.5f, 100.0f, 10000, 5000}, {1.0f, 0.0f, 50.0f, 5000, 5000},
      {0.5f, 0.5f, 50.0f, 1250, 2500},    {1.0f, 0.0f, 0.0f, 0, 0},
  };
  const HSAMPLE s = Load(ConstantWav(10000, 44100), 1, BASS_SAMPLE_OVER_POS);
  for (const TGainCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "volume " << c.Volume << " pan " << c.Pan << " master " << c.Master);
    BASS_SAMPLE info;
    ASSERT_TRUE(BASS_SampleGetInfo(s, &info));
    info.volume = c.Volume;
    info.pan = c.Pan;
    ASSERT_TRUE(BASS_SampleSetInfo(s, &info));
    ASSERT_TRUE(BASS_SetVolume(c.Master));
    const HCHANNEL ch = PlayNew(s);
    auto b = Render(10);
    EXPECT_EQ(Left(b, 5), c.ExpectLeft);
    EXPECT_EQ(Right(b, 5), c.ExpectRight);
    BASS_ChannelStop(ch);
  }
}

TEST_F(Mixer, SettingsApplyToNewPlaybacksOnly) {
  const HSAMPLE s = Load(ConstantWav(8000, 44100), 2, BASS_SAMPLE_OVER_POS);
  const HCHANNEL first = PlayNew(s);
  BASS_SAMPLE info;
  BASS_SampleGetInfo(s, &info);
  info.volume = 0.25f;
  BASS_SampleSetInfo(s, &info);
  EXPECT_EQ(Left(Render(1), 0), 8000);
  const HCHANNEL second = PlayNew(s);
  EXPECT_NE(first, second);
  EXPECT_EQ(Left(Render(1), 0), 8000 + 2000);
}

TEST_F(Mixer, FrequencyChangesPlaybackSpeed) {
  const struct {
    DWORD Freq;
    size_t Frames;
  } cases[] = {{44100, 1000}, {88200, 500}, {22050, 2000}, {11025, 4000}};
  const HSAMPLE s = Load(ConstantWav(3000, 1000));
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Freq);
    BASS_SAMPLE info;
    BASS_SampleGetInfo(s, &info);
    EXPECT_EQ(info.freq, 44100u);
    info.freq = c.Freq;
    BASS_SampleSetInfo(s, &info);
    PlayNew(s);
    EXPECT_EQ(AudibleFrames(Render(5000)), c.Frames);
    info.freq = 44100;
    BASS_SampleSetInfo(s, &info);
  }
}

TEST_F(Mixer, SampleRateOfTheFileIsTheDefaultFrequency) {
  const HSAMPLE s = Load(ConstantWav(3000, 1000, 22050));
  BASS_SAMPLE info;
  ASSERT_TRUE(BASS_SampleGetInfo(s, &info));
  EXPECT_EQ(info.freq, 22050u);
  EXPECT_EQ(info.chans, 1u);
  EXPECT_EQ(info.length, 2000u);
  PlayNew(s);
  EXPECT_EQ(AudibleFrames(Render(5000)), 2000u);
}

TEST_F(Mixer, MaxOnePlayedTwiceRestartsTheSinglePlayback) {
  const HSAMPLE s = Load(RampWav(1000), 1, BASS_SAMPLE_OVER_POS | BASS_SAMPLE_LOOP);
  const HCHANNEL a = PlayNew(s);
  auto b = Render(300);
  EXPECT_EQ(Left(b, 299), 2990);
  const HCHANNEL c = PlayNew(s);
  EXPECT_EQ(a, c);
  b = Render(3);
  // From the start again, and not mixed with the older playback.
  EXPECT_EQ(Left(b, 0), 0);
  EXPECT_EQ(Left(b, 2), 20);
  // The kept handle stops the one playback there is.
  EXPECT_TRUE(BASS_ChannelStop(a));
  EXPECT_EQ(AudibleFrames(Render(100)), 0u);
}

TEST_F(Mixer, NewPlaybackReplacesTheOneThatPlayedLongest) {
  const HSAMPLE s = Load(RampWav(1000), 2, BASS_SAMPLE_OVER_POS | BASS_SAMPLE_LOOP);
  const HCHANNEL a = PlayNew(s);
  Render(100);
  const HCHANNEL b = PlayNew(s);
  Render(100);
  // a is at 200, b at 100: a new playback takes a's place.
  const HCHANNEL c = PlayNew(s);
  EXPECT_EQ(c, a);
  EXPECT_NE(b, a);
  auto out = Render(1);
  EXPECT_EQ(Left(out, 0), 0 + 1000);
}

TEST_F(Mixer, WithoutOverrideAFullSampleGivesNoChannel) {
  const HSAMPLE s = Load(ConstantWav(1000, 44100), 1, 0);
  PlayNew(s);
  EXPECT_EQ(BASS_SampleGetChannel(s, false), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_NOCHAN);
  const HSAMPLE over = Load(ConstantWav(1000, 44100), 1, BASS_SAMPLE_OVER_POS);
  PlayNew(over);
  EXPECT_EQ(BASS_SampleGetChannel(over, true), 0u);
  EXPECT_NE(BASS_SampleGetChannel(over, false), 0u);
}

TEST_F(Mixer, LoopedSampleKeepsSounding) {
  const HSAMPLE s = Load(ConstantWav(4000, 100), 1, BASS_SAMPLE_OVER_POS | BASS_SAMPLE_LOOP);
  const HCHANNEL ch = PlayNew(s);
  auto b = Render(44100);
  EXPECT_EQ(AudibleFrames(b), 44100u);
  EXPECT_EQ(BASS_ChannelIsActive(ch), BASS_ACTIVE_PLAYING);
}

TEST_F(Mixer, HandleZeroPlaysNothing) {
  EXPECT_FALSE(BASS_ChannelPlay(0, false));
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
  EXPECT_FALSE(BASS_ChannelStop(0));
  EXPECT_EQ(BASS_SampleGetChannel(0, false), 0u);
  EXPECT_FALSE(BASS_MusicFree(0));
  EXPECT_FALSE(BASS_SampleFree(0));
  BASS_SAMPLE info;
  EXPECT_FALSE(BASS_SampleGetInfo(0, &info));
  EXPECT_EQ(AudibleFrames(Render(1000)), 0u);
}

TEST_F(Mixer, FreedSampleFallsSilentAndItsHandlesDie) {
  const HSAMPLE s = Load(ConstantWav(1000, 44100));
  const HCHANNEL ch = PlayNew(s);
  EXPECT_TRUE(BASS_SampleFree(s));
  EXPECT_EQ(AudibleFrames(Render(100)), 0u);
  EXPECT_FALSE(BASS_ChannelPlay(ch, true));
  EXPECT_FALSE(BASS_SampleFree(s));
}

TEST_F(Mixer, HandlesAreNotReusedAfterARestart) {
  const HSAMPLE s = Load(ConstantWav(1000, 100));
  BASS_Free();
  ASSERT_TRUE(BASS_Init(BASS_DEVICE_NOSOUND, 44100, 0, nullptr, nullptr));
  const HSAMPLE t = Load(ConstantWav(1000, 100));
  EXPECT_NE(s, t);
  EXPECT_FALSE(BASS_SampleFree(s));
}

namespace {

// The WAV with a 3-byte chunk (and its pad byte) between "fmt " and "data".
std::vector<uint8_t> WithOddChunk(std::vector<uint8_t> wav) {
  const std::vector<uint8_t> chunk = {'L', 'I', 'S', 'T', 3, 0, 0, 0, 'a', 'b', 'c', 0};
  wav.insert(wav.begin() + 36, chunk.begin(), chunk.end());
  const uint32_t riff = static_cast<uint32_t>(wav.size() - 8);
  for (int i = 0; i < 4; ++i) wav[static_cast<size_t>(4 + i)] = static_cast<uint8_t>(riff >> (8 * i));
  return wav;
}

}  // namespace

TEST_F(Mixer, WavFormatsDecodeToTheSameLevels) {
  const struct {
    const char* Name;
    std::vector<uint8_t> Wav;
    int Left, Right;
  } cases[] = {
      {"16-bit mono", MakeWav({-2000, -2000, -2000, -2000}, 1, 44100, 16), -2000, -2000},
      {"16-bit stereo", MakeWav({3000, -1000, 3000, -1000}, 2, 44100, 16), 3000, -1000},
      {"8-bit mono", MakeWav({192, 192, 192}, 1, 44100, 8), 64 * 256, 64 * 256},
      {"8-bit stereo", MakeWav({0, 128, 0, 128}, 2, 44100, 8), -32768, 0},
      {"odd chunk before the data", WithOddChunk(MakeWav({1234, 1234}, 1, 44100, 16)), 1234, 1234},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const HSAMPLE s = Load(c.Wav);
    ASSERT_NE(s, 0u);
    PlayNew(s);
    auto b = Render(4);
    EXPECT_EQ(Left(b, 0), c.Left);
    EXPECT_EQ(Right(b, 0), c.Right);
    BASS_SampleFree(s);
  }
}

TEST_F(Mixer, BrokenWavFilesAreRefused) {
  auto good = ConstantWav(100, 10);
  auto badBits = MakeWav({1, 2, 3}, 1, 44100, 24);
  auto zeroRate = ConstantWav(100, 10, 0);
  auto noData = std::vector<uint8_t>(good.begin(), good.begin() + 36);
  auto hugeFmt = good;
  hugeFmt[16] = 0xFF;
  hugeFmt[17] = 0xFF;
  hugeFmt[18] = 0xFF;
  hugeFmt[19] = 0x7F;
  auto threeChannels = good;
  threeChannels[22] = 3;
  const std::vector<uint8_t> cases[] = {badBits, zeroRate, noData, hugeFmt, threeChannels, {'R', 'I', 'F', 'F'}};
  for (const auto& c : cases) {
    EXPECT_EQ(Load(c), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEFORM);
  }
}

TEST_F(Mixer, CutOffWavPlaysWhatItHolds) {
  auto wav = ConstantWav(700, 100);
  wav.resize(wav.size() - 100);  // 50 of 100 frames left, sizes still claim 100
  const HSAMPLE s = Load(wav);
  ASSERT_NE(s, 0u);
  PlayNew(s);
  EXPECT_EQ(AudibleFrames(Render(200)), 50u);
}

TEST_F(Mixer, SampleFromAFileRegion) {
  vgrtest::TTempDir dir;
  const auto wav = ConstantWav(1500, 300);
  std::vector<uint8_t> file(777, 0xAB);
  Append(file, wav);
  Append(file, std::vector<uint8_t>(333, 0xCD));
  vgrtest::WriteFile(dir / "pack.bin", file);
  const std::string name = dir / "pack.bin";
  const HSAMPLE exact = BASS_SampleLoad(false, name.c_str(), 777, static_cast<DWORD>(wav.size()), 1, 0);
  ASSERT_NE(exact, 0u);
  // Length 0 reads on to the end of the file; what follows the WAV is ignored.
  const HSAMPLE toEnd = BASS_SampleLoad(false, name.c_str(), 777, 0, 1, 0);
  ASSERT_NE(toEnd, 0u);
  PlayNew(exact);
  PlayNew(toEnd);
  auto b = Render(400);
  EXPECT_EQ(Left(b, 0), 3000);
  EXPECT_EQ(AudibleFrames(b), 300u);
  EXPECT_EQ(BASS_SampleLoad(false, name.c_str(), 5000, 0, 1, 0), 0u);
  EXPECT_EQ(BASS_SampleLoad(false, (dir / "missing.wav").c_str(), 0, 0, 1, 0), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEOPEN);
}

TEST_F(Mixer, SampleInfoIsReadAndWrittenBack) {
  const HSAMPLE s = Load(ConstantWav(100, 100), 3, BASS_SAMPLE_OVER_POS | BASS_SAMPLE_LOOP);
  BASS_SAMPLE info;
  ASSERT_TRUE(BASS_SampleGetInfo(s, &info));
  EXPECT_EQ(info.max, 3u);
  EXPECT_EQ(info.flags, BASS_SAMPLE_OVER_POS | BASS_SAMPLE_LOOP);
  EXPECT_FLOAT_EQ(info.volume, 1.0f);
  EXPECT_FLOAT_EQ(info.pan, 0.0f);
  info.freq = 0;  // would never end: held at the lowest rate
  info.volume = 1.5f;
  info.pan = -3.0f;
  ASSERT_TRUE(BASS_SampleSetInfo(s, &info));
  BASS_SAMPLE back;
  BASS_SampleGetInfo(s, &back);
  EXPECT_EQ(back.freq, 100u);
  EXPECT_FLOAT_EQ(back.volume, 1.0f);
  EXPECT_FLOAT_EQ(back.pan, -1.0f);
  info.max = 0;
  EXPECT_FALSE(BASS_SampleSetInfo(s, &info));
}

TEST_F(Mixer, SampleLoadChecksItsArguments) {
  const auto wav = ConstantWav(100, 100);
  EXPECT_EQ(BASS_SampleLoad(true, wav.data(), 0, static_cast<DWORD>(wav.size()), 0, 0), 0u);
  EXPECT_EQ(BASS_SampleLoad(true, wav.data(), 0, static_cast<DWORD>(wav.size()), 70000, 0), 0u);
  EXPECT_EQ(BASS_SampleLoad(true, nullptr, 0, 10, 1, 0), 0u);
  EXPECT_EQ(BASS_SampleLoad(true, wav.data(), 0, 0, 1, 0), 0u);
}

TEST_F(Mixer, MasterVolumeOutsideZeroToHundredIsRefused) {
  ASSERT_TRUE(BASS_SetVolume(40.0f));
  EXPECT_FALSE(BASS_SetVolume(-1.0f));
  EXPECT_FALSE(BASS_SetVolume(100.5f));
  EXPECT_FALSE(BASS_SetVolume(std::nanf("")));
  EXPECT_EQ(BASS_GetVolume(), 40.0f);
}

TEST_F(Mixer, LoudMixesClipInsteadOfWrapping) {
  const HSAMPLE s = Load(ConstantWav(30000, 1000), 3, 0);
  PlayNew(s);
  PlayNew(s);
  auto b = Render(10);
  EXPECT_EQ(Left(b, 3), 32767);
}

TEST_F(Mixer, F12TwiceRestoresTheVolume) {
  const HSAMPLE s = Load(ConstantWav(10000, 44100));
  PlayNew(s);
  BASS_SetVolume(80.0f);
  SDL_Event e{};
  e.type = SDL_KEYDOWN;
  e.key.keysym.sym = static_cast<SDLKey>(SYM_F12);
  HandleEvent(e);
  EXPECT_EQ(BASS_GetVolume(), 0.0f);
  EXPECT_EQ(AudibleFrames(Render(100)), 0u);
  HandleEvent(e);
  EXPECT_EQ(BASS_GetVolume(), 80.0f);
  EXPECT_EQ(Left(Render(1), 0), 8000);
}

}  // namespace

namespace {

// With SDL's (dummy) output running, the audio thread mixes while the program
// thread loads, plays, stops and frees; every change goes through the lock.
TEST(AudioLibrary, ProgramThreadAndAudioThreadShareTheTables) {
  ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr, nullptr));
  const auto mod = MakeMod(true);
  const auto wav = ConstantWav(1000, 4410);
  for (int i = 0; i < 200; ++i) {
    const HMUSIC music = BASS_MusicLoad(true, mod.data(), 0, static_cast<DWORD>(mod.size()), 0x404, 0);
    ASSERT_NE(music, 0u);
    const HSAMPLE s = BASS_SampleLoad(true, wav.data(), 0, static_cast<DWORD>(wav.size()), 2,
                                      BASS_SAMPLE_OVER_POS | BASS_SAMPLE_LOOP);
    ASSERT_NE(s, 0u);
    EXPECT_TRUE(BASS_ChannelPlay(music, true));
    EXPECT_TRUE(BASS_ChannelPlay(BASS_SampleGetChannel(s, false), false));
    BASS_SetVolume(static_cast<float>(i % 101));
    if (i % 3 == 0) BASS_ChannelStop(music);
    EXPECT_TRUE(BASS_SampleFree(s));
    EXPECT_TRUE(BASS_MusicFree(music));
  }
  BASS_SetVolume(100.0f);
  EXPECT_TRUE(BASS_Free());
}

}  // namespace
