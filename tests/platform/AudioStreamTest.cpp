// Music through the audio library: MP3 streams and tracker modules, heard
// through the render function.
#include <gtest/gtest.h>

#include "AudioDecoders.h"
#include "AudioFixtures.h"
#include "BASS.h"
#include "TestSupport.h"

using namespace audiotest;

namespace {

class Streams : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(BASS_Init(BASS_DEVICE_NOSOUND, 44100, 0, nullptr, nullptr));
    BASS_SetVolume(100.0f);
  }
  void TearDown() override { BASS_Free(); }

  // Frames until the stream stops, rendering at most `limit` frames.
  static size_t FramesUntilStopped(DWORD handle, size_t limit) {
    size_t n = 0;
    while (n < limit && BASS_ChannelIsActive(handle) == BASS_ACTIVE_PLAYING) {
      Render(441);
      n += 441;
    }
    return n;
  }
};

TEST_F(Streams, ModuleFromMemoryPlaysAndLoops) {
  const auto mod = MakeMod();
  const HMUSIC music = BASS_MusicLoad(true, mod.data(), 0, static_cast<DWORD>(mod.size()), 0x404, 0);
  ASSERT_NE(music, 0u) << BASS_ErrorGetCode();
  EXPECT_EQ(AudibleFrames(Render(1000)), 0u);  // loaded, not yet playing
  ASSERT_TRUE(BASS_ChannelPlay(music, true));
  auto first = Render(44100);
  EXPECT_GT(Peak(first, 0), 1000);
  EXPECT_GT(Peak(first, 1), 1000);
  // One pass lasts 1.28 s: well after it the module still plays.
  Render(2 * 44100);
  auto later = Render(22050);
  EXPECT_GT(Peak(later, 0), 1000);
  EXPECT_EQ(BASS_ChannelIsActive(music), BASS_ACTIVE_PLAYING);
  EXPECT_TRUE(BASS_ChannelStop(music));
  EXPECT_EQ(AudibleFrames(Render(1000)), 0u);
  EXPECT_TRUE(BASS_MusicFree(music));
  EXPECT_FALSE(BASS_ChannelPlay(music, true));
}

TEST_F(Streams, ModuleWithoutLoopEndsAfterOnePass) {
  const auto mod = MakeMod();
  const HMUSIC music = BASS_MusicLoad(true, mod.data(), 0, static_cast<DWORD>(mod.size()), 0, 0);
  ASSERT_NE(music, 0u);
  BASS_ChannelPlay(music, true);
  const size_t played = FramesUntilStopped(music, 5 * 44100);
  EXPECT_GT(played, 44100u);
  EXPECT_LT(played, 2 * 44100u);
  EXPECT_EQ(AudibleFrames(Render(1000)), 0u);
  // Played again, it starts over.
  ASSERT_TRUE(BASS_ChannelPlay(music, false));
  EXPECT_GT(Peak(Render(4410), 0), 1000);
}

TEST_F(Streams, ModuleRestartsFromTheBeginning) {
  const auto mod = MakeMod();
  const HMUSIC music = BASS_MusicLoad(true, mod.data(), 0, static_cast<DWORD>(mod.size()), 0x404, 0);
  BASS_ChannelPlay(music, true);
  const auto start = Render(2000);
  Render(10000);
  BASS_ChannelPlay(music, true);
  EXPECT_EQ(Render(2000), start);
}

TEST_F(Streams, GarbageIsNoModule) {
  std::vector<uint8_t> junk(5000);
  for (size_t i = 0; i < junk.size(); ++i) junk[i] = static_cast<uint8_t>(i * 37 + 11);
  EXPECT_EQ(BASS_MusicLoad(true, junk.data(), 0, static_cast<DWORD>(junk.size()), 0x404, 0), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEFORM);
  auto mod = MakeMod();
  mod.resize(600);  // cut inside the header
  EXPECT_EQ(BASS_MusicLoad(true, mod.data(), 0, static_cast<DWORD>(mod.size()), 0x404, 0), 0u);
}

TEST_F(Streams, Mp3FromMemoryIsResampledAndEnds) {
  const auto mp3 = MakeMp3(0.5, 22050);
  const HSTREAM s = BASS_StreamCreateFile(true, mp3.data(), 0, mp3.size(), 0);
  ASSERT_NE(s, 0u) << BASS_ErrorGetCode();
  ASSERT_TRUE(BASS_ChannelPlay(s, false));
  auto b = Render(3 * 44100);
  EXPECT_GT(Peak(b, 0), 8000);
  EXPECT_GT(Peak(b, 1), 8000);
  // Half a second of 22,050 Hz source takes 22,050 frames at 44,100 Hz.
  const size_t heard = AudibleFrames(b);
  EXPECT_NEAR(static_cast<double>(heard), 22050.0, 1200.0);
  EXPECT_EQ(BASS_ChannelIsActive(s), BASS_ACTIVE_STOPPED);
}

TEST_F(Streams, LoopedMp3KeepsPlaying) {
  const auto mp3 = MakeMp3(0.3, 44100);
  const HSTREAM s = BASS_StreamCreateFile(true, mp3.data(), 0, mp3.size(), BASS_SAMPLE_LOOP);
  ASSERT_NE(s, 0u);
  BASS_ChannelPlay(s, false);
  Render(44100);
  auto later = Render(44100);
  EXPECT_EQ(BASS_ChannelIsActive(s), BASS_ACTIVE_PLAYING);
  // Every tenth of a second of the second second is sounding.
  for (size_t from = 0; from < 44100; from += 4410) {
    EXPECT_GT(Peak(later, 0, from, from + 4410), 8000) << from;
  }
}

// Every frame a stream gives until it ends.
std::vector<int16_t> Drain(audio::TStreamSource& s) {
  std::vector<int16_t> all;
  int16_t block[2 * 1024];
  while (const uint32_t n = s.Read(block, 1024)) all.insert(all.end(), block, block + 2 * n);
  return all;
}

TEST_F(Streams, RewoundMp3PlaysExactlyAsTheFirstTime) {
  // A looping song must sound the same on every pass, also when the file
  // starts with bytes that are no frame (a tag, or junk).
  std::vector<uint8_t> junkFirst(700, 0x2D);
  Append(junkFirst, MakeMp3(0.2, 44100, 2));
  const std::vector<uint8_t> files[] = {MakeMp3(0.3, 22050), MakeMp3(0.2, 44100, 2), junkFirst};
  for (const auto& mp3 : files) {
    auto s = audio::OpenMp3Stream(audio::MemoryBytes(mp3.data(), mp3.size()));
    ASSERT_TRUE(s);
    const auto first = Drain(*s);
    ASSERT_GT(first.size(), 2u * 4000);
    for (int pass = 0; pass < 2; ++pass) {
      ASSERT_TRUE(s->Rewind());
      const auto again = Drain(*s);
      ASSERT_EQ(again.size(), first.size()) << "pass " << pass;
      EXPECT_TRUE(again == first) << "pass " << pass;
    }
  }
}

TEST_F(Streams, Mp3StreamsFromAFileRegion) {
  vgrtest::TTempDir dir;
  const auto mp3 = MakeMp3(0.5, 44100, 2);
  std::vector<uint8_t> file(1234, 0);
  Append(file, mp3);
  Append(file, std::vector<uint8_t>(4321, 0x55));
  vgrtest::WriteFile(dir / "Voltigor.bin", file);
  const std::string name = dir / "Voltigor.bin";
  const HSTREAM s = BASS_StreamCreateFile(false, name.c_str(), 1234, mp3.size(), 0);
  ASSERT_NE(s, 0u) << BASS_ErrorGetCode();
  BASS_ChannelPlay(s, false);
  auto b = Render(2 * 44100);
  EXPECT_NEAR(static_cast<double>(AudibleFrames(b)), 22050.0, 1200.0);
  EXPECT_GT(Peak(b, 1), 8000);
  // A plain file, length 0: to its end.
  vgrtest::WriteFile(dir / "song.mp3", mp3);
  const HSTREAM whole = BASS_StreamCreateFile(false, (dir / "song.mp3").c_str(), 0, 0, 0);
  ASSERT_NE(whole, 0u);
  EXPECT_TRUE(BASS_MusicFree(whole));  // streams are freed with the music call too
  EXPECT_EQ(BASS_StreamCreateFile(false, (dir / "none.mp3").c_str(), 0, 0, 0), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEOPEN);
}

TEST_F(Streams, StoppedStreamResumesAndRestartBeginsAgain) {
  const auto mp3 = MakeMp3(1.0, 44100);
  const HSTREAM s = BASS_StreamCreateFile(true, mp3.data(), 0, mp3.size(), 0);
  BASS_ChannelPlay(s, false);
  Render(22050);
  BASS_ChannelStop(s);
  EXPECT_EQ(AudibleFrames(Render(1000)), 0u);
  BASS_ChannelPlay(s, false);  // resumes: about half a second is left
  EXPECT_NEAR(static_cast<double>(FramesUntilStopped(s, 3 * 44100)), 22050.0, 2000.0);
  BASS_ChannelPlay(s, true);
  EXPECT_NEAR(static_cast<double>(FramesUntilStopped(s, 3 * 44100)), 44100.0, 2000.0);
}

TEST_F(Streams, NotAnMp3IsRefused) {
  std::vector<uint8_t> zeros(20000, 0);
  EXPECT_EQ(BASS_StreamCreateFile(true, zeros.data(), 0, zeros.size(), 4), 0u);
  EXPECT_EQ(BASS_StreamCreateFile(true, zeros.data(), 0, 0, 4), 0u);
  const auto wav = ConstantWav(1000, 100);
  EXPECT_EQ(BASS_StreamCreateFile(true, wav.data(), 0, wav.size(), 4), 0u);
}

TEST_F(Streams, Mp3SampleIsDecodedWhole) {
  const auto mp3 = MakeMp3(0.25, 22050);
  const HSAMPLE s = BASS_SampleLoad(true, mp3.data(), 0, static_cast<DWORD>(mp3.size()), 2, BASS_SAMPLE_OVER_POS);
  ASSERT_NE(s, 0u) << BASS_ErrorGetCode();
  BASS_SAMPLE info;
  BASS_SampleGetInfo(s, &info);
  EXPECT_EQ(info.freq, 22050u);
  BASS_ChannelPlay(BASS_SampleGetChannel(s, false), false);
  auto b = Render(44100);
  // A quarter of a second whatever the file's rate.
  EXPECT_NEAR(static_cast<double>(AudibleFrames(b)), 11025.0, 1200.0);
  EXPECT_GT(Peak(b, 0), 8000);
}

TEST_F(Streams, MusicAndSamplesMixTogether) {
  const auto mod = MakeMod();
  const HMUSIC music = BASS_MusicLoad(true, mod.data(), 0, static_cast<DWORD>(mod.size()), 0x404, 0);
  BASS_ChannelPlay(music, true);
  const auto alone = Render(100);
  BASS_ChannelPlay(music, true);
  const auto wav = ConstantWav(1000, 44100);
  const HSAMPLE s = BASS_SampleLoad(true, wav.data(), 0, static_cast<DWORD>(wav.size()), 1, 0);
  BASS_ChannelPlay(BASS_SampleGetChannel(s, false), false);
  const auto both = Render(100);
  for (size_t i = 0; i < 100; ++i) {
    const int expected = std::clamp(alone[2 * i] + 1000, -32768, 32767);
    ASSERT_NEAR(both[2 * i], expected, 1) << i;
  }
}

}  // namespace

#include "SystemUnit.h"

namespace {

// Damaged files of every kind load or are refused, and whatever loads plays,
// without reading outside the data (the sanitizer build checks that).
TEST_F(Streams, DamagedFilesNeverBreakTheMixer) {
  Randomize(20261207);
  const std::vector<uint8_t> originals[] = {MakeWav({100, -200, 300, -400, 500, -600}, 2, 22050), MakeMod(true),
                                            MakeMp3(0.1, 22050)};
  int loaded = 0;
  for (int round = 0; round < 150; ++round) {
    for (const auto& original : originals) {
      std::vector<uint8_t> d = original;
      const uint32_t flips = 1 + Random(8);
      for (uint32_t i = 0; i < flips; ++i) d[Random(static_cast<uint32_t>(d.size()))] = static_cast<uint8_t>(Random(256));
      if (Random(4) == 0) d.resize(Random(static_cast<uint32_t>(d.size())) + 1);
      const DWORD size = static_cast<DWORD>(d.size());
      const HSAMPLE s = BASS_SampleLoad(true, d.data(), 0, size, 2, BASS_SAMPLE_OVER_POS);
      const HMUSIC m = BASS_MusicLoad(true, d.data(), 0, size, 0x404, 0);
      const HSTREAM st = BASS_StreamCreateFile(true, d.data(), 0, size, BASS_SAMPLE_LOOP);
      loaded += (s != 0) + (m != 0) + (st != 0);
      BASS_ChannelPlay(BASS_SampleGetChannel(s, false), false);
      BASS_ChannelPlay(m, true);
      BASS_ChannelPlay(st, true);
      Render(2048);
      BASS_SampleFree(s);
      BASS_MusicFree(m);
      BASS_MusicFree(st);
    }
  }
  // Most single-byte damage leaves a playable file.
  EXPECT_GT(loaded, 150);
}

}  // namespace
