// TMusic and TWave: what they load, what they log, and what is heard.
#include <gtest/gtest.h>

#include <filesystem>

#include "AudioFixtures.h"
#include "BASS.h"
#include "MusicUnit.h"
#include "TestSupport.h"
#include "WaveUnit.h"

using namespace audiotest;

namespace {

using vgrtest::Matching;

class Units : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(BASS_Init(BASS_DEVICE_NOSOUND, 44100, 0, nullptr, nullptr));
    BASS_SetVolume(100.0f);
  }
  void TearDown() override { BASS_Free(); }

  std::string Write(const std::string& name, const std::vector<uint8_t>& data) {
    vgrtest::WriteFile(Dir_ / name, data);
    return Dir_ / name;
  }

  vgrtest::TTempDir Dir_;
  vgrtest::TScopedLog Log_;
};

TEST_F(Units, Mp3NamesStreamFromTheFileAndOtherNamesAreModules) {
  const auto mp3 = MakeMp3(0.2, 44100);
  const auto mod = MakeMod();
  const struct {
    std::string File;
    const std::vector<uint8_t>* Data;
    bool Streamed;
  } cases[] = {
      {"song.mp3", &mp3, true},
      {"SONG2.Mp3", &mp3, true},
      {"a.MP3", &mp3, true},
      {"tune.mod", &mod, false},
      {"tune.xm.mp3x", &mod, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.File);
    const std::string name = Write(c.File, *c.Data);
    TMusic music(name);
    EXPECT_NE(music.fMusic, 0u);
    if (c.Streamed) {
      EXPECT_EQ(music.BufferSize, -1);
      EXPECT_TRUE(music.Buffer.empty());
    } else {
      EXPECT_EQ(music.BufferSize, static_cast<int32_t>(c.Data->size()));
    }
    EXPECT_EQ(Matching(Log_.Lines(), "(MusicUnit, TMusic.Create) BASS: Loading " + name +
                                         " was successful. (fMusic=" + std::to_string(music.fMusic) + ")")
                  .size(),
              1u);
  }
}

TEST_F(Units, FourCharacterNameIsAlwaysAModule) {
  // ".mp3" itself is only four characters: read as a module, which MP3 data is not.
  const std::string old = std::filesystem::current_path();
  std::filesystem::current_path(Dir_.Path());
  vgrtest::WriteFile(".mp3", MakeMp3(0.2, 44100));
  {
    TMusic music(".mp3");
    EXPECT_EQ(music.fMusic, 0u);
    EXPECT_GT(music.BufferSize, 0);
  }
  std::filesystem::current_path(old);
  EXPECT_EQ(Matching(Log_.Lines(), "{MusicUnit, TMusic.Create} BASS: Loading .mp3 failed").size(), 1u);
}

TEST_F(Units, MissingMusicFailsWithItsErrorEntry) {
  for (const std::string name : {"nowhere.mp3", "nowhere.xm"}) {
    TMusic music(Dir_ / name);
    EXPECT_EQ(music.fMusic, 0u);
    EXPECT_EQ(Matching(Log_.Lines(), "{MusicUnit, TMusic.Create} BASS: Loading " + (Dir_ / name) + " failed").size(),
              1u);
    music.Play();  // plays nothing, harmlessly
  }
  EXPECT_EQ(AudibleFrames(Render(1000)), 0u);
}

TEST_F(Units, MusicPlaysLoopingFromTheStartAndStops) {
  TMusic music(Write("loop.mp3", MakeMp3(0.3, 44100)));
  music.Play();
  auto b = Render(2 * 44100);
  EXPECT_GT(Peak(b, 0, 80000, 88200), 8000);  // well past its 0.3 s
  music.Stop();
  EXPECT_EQ(AudibleFrames(Render(1000)), 0u);
  music.Play();
  EXPECT_GT(Peak(Render(4410), 0), 8000);
  const auto lines = Log_.Lines();
  EXPECT_EQ(Matching(lines, "(MusicUnit, TMusic.Play) BASS: Music started.").size(), 2u);
  EXPECT_EQ(Matching(lines, "(MusicUnit, TMusic.Stop) BASS: Music stopped.").size(), 1u);
}

TEST_F(Units, DestroyedMusicIsFreedAndLogged) {
  uint32_t handle = 0;
  {
    TMusic music(Write("m.mod", MakeMod()));
    handle = music.fMusic;
    music.Play();
  }
  EXPECT_EQ(BASS_ChannelIsActive(handle), BASS_ACTIVE_STOPPED);
  EXPECT_FALSE(BASS_ChannelPlay(handle, true));
  EXPECT_EQ(AudibleFrames(Render(1000)), 0u);
  EXPECT_EQ(Matching(Log_.Lines(), "(MusicUnit, TMusic.Destroy) BASS: Music freed.").size(), 1u);
}

TEST_F(Units, WithoutTheLibraryEveryLoadFails) {
  BASS_Free();
  const std::string song = Write("s.mp3", MakeMp3(0.1, 44100));
  const std::string sound = Write("w.wav", ConstantWav(100, 100));
  TMusic music(song);
  TWave wave(sound, 1, false);
  EXPECT_EQ(music.fMusic, 0u);
  EXPECT_EQ(wave.fWave, 0u);
  EXPECT_EQ(wave.Play(), kNoChannel);
  ASSERT_TRUE(BASS_Init(BASS_DEVICE_NOSOUND, 44100, 0, nullptr, nullptr));
}

TEST_F(Units, WaveLoadsFromTheFileAndPlays) {
  const std::string name = Write("jump.wav", ConstantWav(6000, 1000));
  TWave wave(name, 1, false);
  ASSERT_NE(wave.fWave, 0u);
  EXPECT_EQ(wave.BufferSize, -1);
  const uint32_t ch = wave.Play();
  EXPECT_NE(ch, kNoChannel);
  EXPECT_NE(ch, 0u);
  auto b = Render(2000);
  EXPECT_EQ(AudibleFrames(b), 1000u);
  EXPECT_EQ(Left(b, 10), 6000);
  const auto lines = Log_.Lines();
  EXPECT_EQ(Matching(lines, "<WaveUnit, TWave.Create> Not compressed").size(), 1u);
  EXPECT_EQ(Matching(lines, "<WaveUnit, TWave.Create> BASS: Loading " + name + " was successful. (fWave=" +
                                std::to_string(wave.fWave) + ")")
                .size(),
            1u);
}

TEST_F(Units, WaveSettersChangeLaterPlaybacks) {
  TWave wave(Write("s.wav", ConstantWav(8000, 1000)), 4, false);
  wave.SetVolume(0.5f);
  wave.SetPan(-1.0f);
  wave.SetFrequency(88200);
  BASS_SAMPLE info;
  ASSERT_TRUE(BASS_SampleGetInfo(wave.fWave, &info));
  EXPECT_EQ(info.freq, 88200u);
  EXPECT_FLOAT_EQ(info.volume, 0.5f);
  EXPECT_FLOAT_EQ(info.pan, -1.0f);
  wave.Play();
  auto b = Render(2000);
  EXPECT_EQ(Left(b, 0), 4000);
  EXPECT_EQ(Right(b, 0), 0);
  EXPECT_EQ(AudibleFrames(b), 500u);
}

TEST_F(Units, LoopedWaveWithMaxOneRestartsOnItsOnePlayback) {
  TWave wave(Write("fall.wav", RampWav(1000)), 1, true);
  const uint32_t first = wave.Play();
  Render(500);
  const uint32_t second = wave.Play();
  EXPECT_EQ(first, second);
  auto b = Render(3000);
  EXPECT_EQ(Left(b, 0), 0);
  EXPECT_EQ(AudibleFrames(b), 3000u - 3);  // the ramp's first value is 0, once per loop
  BASS_ChannelStop(second);
  EXPECT_EQ(AudibleFrames(Render(100)), 0u);
}

TEST_F(Units, FailedWaveGivesNoChannelWithoutAnEntry) {
  TWave wave(Dir_ / "missing.wav", 1, false);
  EXPECT_EQ(wave.fWave, 0u);
  EXPECT_EQ(Matching(Log_.Lines(), "{WaveUnit, TWave.Create} BASS: Loading " + (Dir_ / "missing.wav") + " failed")
                .size(),
            1u);
  const size_t before = Log_.Lines().size();
  EXPECT_EQ(wave.Play(), kNoChannel);
  wave.SetVolume(0.5f);  // nothing to change
  EXPECT_EQ(Log_.Lines().size(), before);
}

TEST_F(Units, WaveThatCannotStartLogsIt) {
  TWave wave(Write("busy.wav", ConstantWav(100, 44100)), 1, false);
  // Without the override flag a busy sample has no channel to give.
  BASS_SAMPLE info;
  BASS_SampleGetInfo(wave.fWave, &info);
  info.flags &= ~BASS_SAMPLE_OVER_POS;
  BASS_SampleSetInfo(wave.fWave, &info);
  EXPECT_NE(wave.Play(), kNoChannel);
  EXPECT_EQ(wave.Play(), kNoChannel);
  EXPECT_EQ(Matching(Log_.Lines(), "{WaveUnit, TWave.Play} BASS: Could not play sample!").size(), 1u);
}

TEST_F(Units, DestroyedWaveIsFreedAndLogged) {
  uint32_t sample = 0;
  {
    TWave wave(Write("d.wav", ConstantWav(100, 44100)), 1, true);
    sample = wave.fWave;
    wave.Play();
  }
  EXPECT_FALSE(BASS_SampleFree(sample));
  EXPECT_EQ(AudibleFrames(Render(100)), 0u);
  EXPECT_EQ(Matching(Log_.Lines(), "(WaveUnit, TWave.Destroy) BASS: Wave freed.").size(), 1u);
}

TEST(UnitVersions, MusicAndWaveUnitsLogTheirVersions) {
  vgrtest::TScopedLog log;
  MusicUnit_Startup();
  WaveUnit_Startup();
  const auto lines = log.Lines();
  EXPECT_EQ(Matching(lines, "(uses) MusicUnit, version 1.00").size(), 1u);
  EXPECT_EQ(Matching(lines, "(uses) WaveUnit, version 1.00").size(), 1u);
}

}  // namespace
