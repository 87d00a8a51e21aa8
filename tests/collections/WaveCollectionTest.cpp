// The sound collection loaded from an INI list section and its item sections.
#include <gtest/gtest.h>

#include "../platform/AudioFixtures.h"
#include "BASS.h"
#include "TestSupport.h"
#include "WaveCollectionUnit.h"
#include "ZRINIFile.h"

namespace {

using vgrtest::Matching;

class WaveCollectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(BASS_Init(BASS_DEVICE_NOSOUND, 44100, 0, nullptr, nullptr));
    BASS_SetVolume(100.0f);
    vgrtest::WriteFile(Dir_ / "jump.wav", audiotest::ConstantWav(10000, 1000));
  }
  void TearDown() override { BASS_Free(); }

  std::string Ini(std::string text) {
    for (std::size_t p; (p = text.find('$')) != std::string::npos;) text.replace(p, 1, Dir_.Path());
    vgrtest::WriteFile(Dir_ / "Zapkin.ini", text);
    return Dir_ / "Zapkin.ini";
  }

  static BASS_SAMPLE Info(const TWaveCollectionItem* item) {
    BASS_SAMPLE info;
    EXPECT_TRUE(BASS_SampleGetInfo(item->Wave->fWave, &info));
    return info;
  }

  vgrtest::TTempDir Dir_;
  vgrtest::TScopedLog Log_;
};

TEST_F(WaveCollectionTest, ItemsLoadInListOrderWithTheirSettings) {
  TWaveCollection c;
  c.Load(Ini("[*Waves]\nJump\nDeath\n"
             "[Waves.Jump]\nFile=$jump.wav\n"
             "[Waves.Death]\nFile=$jump.wav\nMax=3\nLooped=yes\nVolume=50\nFreq=22050\nPan=-100\n"),
         "Waves");
  ASSERT_EQ(c.Count(), 2);
  EXPECT_EQ(c.GetItem(0)->Name, "Jump");
  EXPECT_EQ(c.GetItem(1)->Name, "Death");
  const BASS_SAMPLE jump = Info(c.Find("Jump"));
  EXPECT_FLOAT_EQ(jump.volume, 1.0f);
  EXPECT_FLOAT_EQ(jump.pan, 0.0f);
  EXPECT_EQ(jump.freq, 44100u);
  EXPECT_EQ(jump.max, 1u);
  EXPECT_EQ(jump.flags & BASS_SAMPLE_LOOP, 0u);
  const BASS_SAMPLE death = Info(c.Find("Death"));
  EXPECT_FLOAT_EQ(death.volume, 0.5f);
  EXPECT_FLOAT_EQ(death.pan, -1.0f);
  EXPECT_EQ(death.freq, 22050u);
  EXPECT_EQ(death.max, 3u);
  EXPECT_NE(death.flags & BASS_SAMPLE_LOOP, 0u);
}

TEST_F(WaveCollectionTest, VolumeAndPanArePercentages) {
  const struct {
    int Volume, Pan;
    float ExpectVolume, ExpectPan;
  } cases[] = {{50, -100, 0.5f, -1.0f}, {25, 50, 0.25f, 0.5f}, {0, 100, 0.0f, 1.0f}, {100, -33, 1.0f, -0.33f}};
  for (const auto& k : cases) {
    TWaveCollection c;
    c.Load(Ini("[*Waves]\nX\n[Waves.X]\nFile=$jump.wav\nVolume=" + std::to_string(k.Volume) +
               "\nPan=" + std::to_string(k.Pan) + "\n"),
           "Waves");
    ASSERT_EQ(c.Count(), 1);
    const BASS_SAMPLE info = Info(c.GetItem(0));
    EXPECT_FLOAT_EQ(info.volume, k.ExpectVolume) << k.Volume;
    EXPECT_FLOAT_EQ(info.pan, k.ExpectPan) << k.Pan;
  }
}

TEST_F(WaveCollectionTest, PlayedEffectIsHeardAtItsVolumeAndPan) {
  TWaveCollection c;
  c.Load(Ini("[*Waves]\nPiece Pickup\n[Waves.Piece Pickup]\nFile=$jump.wav\nVolume=50\nPan=100\n"), "Waves");
  ASSERT_NE(c.Find("Piece Pickup"), nullptr);
  EXPECT_NE(c.Find("Piece Pickup")->Wave->Play(), kNoChannel);
  const auto b = audiotest::Render(2000);
  EXPECT_EQ(audiotest::Left(b, 0), 0);
  EXPECT_EQ(audiotest::Right(b, 0), 5000);
  EXPECT_EQ(audiotest::AudibleFrames(b), 1000u);
}

TEST_F(WaveCollectionTest, MissingItemSectionLogsBothWarnings) {
  TWaveCollection c;
  c.Load(Ini("[*Waves]\nJump\nLand\n[Waves.Land]\nFile=$jump.wav\n"), "Waves");
  ASSERT_EQ(c.Count(), 1);
  EXPECT_EQ(c.GetItem(0)->Name, "Land");
  const auto warnings = Matching(Log_.Lines(), "[WaveCollectionUnit, TWaveCollection.LoadItem] ");
  ASSERT_EQ(warnings.size(), 2u);
  EXPECT_NE(warnings[0].find("Item not found! (Waves.Jump)"), std::string::npos);
  EXPECT_NE(warnings[1].find("File not specified! (Waves.Jump)"), std::string::npos);
}

TEST_F(WaveCollectionTest, EntriesWithoutAFileAreSkipped) {
  const char* const bodies[] = {"File=*\n", "File=\n", "Max=2\n", ""};
  for (const char* body : bodies) {
    SCOPED_TRACE(body);
    TWaveCollection c;
    c.Load(Ini(std::string("[*Waves]\nSpring\n[Waves.Spring]\n") + body), "Waves");
    EXPECT_EQ(c.Count(), 0);
  }
  EXPECT_EQ(Matching(Log_.Lines(), "File not specified! (Waves.Spring)").size(), 4u);
  EXPECT_TRUE(Matching(Log_.Lines(), "Item not found!").empty());
}

TEST_F(WaveCollectionTest, ListItemWhoseSectionIsAListIsNotFound) {
  TWaveCollection c;
  c.Load(Ini("[*Waves]\nSpring\n[*Waves.Spring]\nFile=$jump.wav\n"), "Waves");
  EXPECT_EQ(c.Count(), 0);
  EXPECT_EQ(Matching(Log_.Lines(), "Item not found! (Waves.Spring)").size(), 1u);
}

TEST_F(WaveCollectionTest, WavesSectionMustBeAListAndPresent) {
  const struct {
    const char* Text;
    const char* Error;
  } cases[] = {
      {"[Waves]\nJump=1\n", "{WaveCollectionUnit, TWaveCollection.Load} Section type must be List! (Waves)"},
      {"[*Sounds]\nJump\n", "{WaveCollectionUnit, TWaveCollection.Load} Section not found in INI file+ (Waves)"},
  };
  for (const auto& k : cases) {
    TWaveCollection c;
    c.Load(Ini(k.Text), "Waves");
    EXPECT_EQ(c.Count(), 0);
    EXPECT_EQ(Matching(Log_.Lines(), k.Error).size(), 1u) << k.Error;
  }
}

TEST_F(WaveCollectionTest, EffectThatFailsToLoadIsKeptSilent) {
  TWaveCollection c;
  c.Load(Ini("[*Waves]\nShocking\n[Waves.Shocking]\nFile=$gone.wav\nVolume=50\n"), "Waves");
  ASSERT_EQ(c.Count(), 1);
  EXPECT_EQ(c.GetItem(0)->Wave->fWave, 0u);
  EXPECT_EQ(c.GetItem(0)->Wave->Play(), kNoChannel);
  EXPECT_EQ(Matching(Log_.Lines(), "{WaveUnit, TWave.Create} BASS: Loading " + (Dir_ / "gone.wav") + " failed").size(),
            1u);
}

TEST_F(WaveCollectionTest, NamesAreCutAndFoundWithTheirCase) {
  TWaveCollection c;
  c.AddItem(nullptr, "Sliding on ICE and on and on");
  c.AddItem(nullptr, "Landing");
  EXPECT_EQ(c.GetItem(0)->Name, "Sliding on ICE and on an");
  EXPECT_EQ(c.Find("Sliding on ICE and on an"), c.GetItem(0));
  EXPECT_EQ(c.Find("Sliding on ICE and on and on"), nullptr);
  EXPECT_EQ(c.Find("landing"), nullptr);
  EXPECT_EQ(c.Find("Landing"), c.GetItem(1));
  EXPECT_EQ(c.GetItem(2), nullptr);
}

TEST_F(WaveCollectionTest, ClearingDestroysEveryItemWithItsLine) {
  TWaveCollection c;
  c.Load(Ini("[*Waves]\nA\nB\n[Waves.A]\nFile=$jump.wav\n[Waves.B]\nFile=$jump.wav\n"), "Waves");
  const uint32_t sample = c.GetItem(0)->Wave->fWave;
  c.Clear();
  EXPECT_EQ(c.Count(), 0);
  EXPECT_FALSE(BASS_SampleFree(sample));
  const auto destroyed = Matching(Log_.Lines(), "<WaveCollectionUnit, TWaveCollectionItem.Destroy> Destroying wave ");
  ASSERT_EQ(destroyed.size(), 2u);
  EXPECT_NE(destroyed[0].find("Destroying wave A"), std::string::npos);
  EXPECT_NE(destroyed[1].find("Destroying wave B"), std::string::npos);
}

TEST(WaveCollectionUnitTest, StartUpCreatesTheCollection) {
  vgrtest::TScopedLog log;
  WaveCollectionUnit_Startup();
  ASSERT_NE(WaveCollection, nullptr);
  EXPECT_EQ(Matching(log.Lines(), "(uses) WaveCollectionUnit, version 1.52").size(), 1u);
  WaveCollectionUnit_Shutdown();
  EXPECT_EQ(WaveCollection, nullptr);
}

}  // namespace
