// The music collection loaded from INI music sections.
#include <gtest/gtest.h>

#include "../platform/AudioFixtures.h"
#include "BASS.h"
#include "MusicCollectionUnit.h"
#include "TestSupport.h"
#include "ZRINIFile.h"

namespace {

using vgrtest::Matching;

class MusicCollectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(BASS_Init(BASS_DEVICE_NOSOUND, 44100, 0, nullptr, nullptr));
    BASS_SetVolume(100.0f);
    vgrtest::WriteFile(Dir_ / "tune.mod", audiotest::MakeMod());
  }
  void TearDown() override { BASS_Free(); }

  // An INI file in the scratch folder; "$" in the text stands for the folder.
  std::string Ini(std::string text) {
    for (std::size_t p; (p = text.find('$')) != std::string::npos;) text.replace(p, 1, Dir_.Path());
    vgrtest::WriteFile(Dir_ / "Zapkin.ini", text);
    return Dir_ / "Zapkin.ini";
  }

  vgrtest::TTempDir Dir_;
  vgrtest::TScopedLog Log_;
};

TEST_F(MusicCollectionTest, SongsAreTakenFromTheHighestNumberDown) {
  TMusicCollection c;
  c.Load(Ini("[Music]\nNumberOfSongs=3\n"
             "[Music.Song1]\nFile=$tune.mod\nName=First\n"
             "[Music.Song3]\nFile=$tune.mod\nName=Third\n"),
         "Music");
  ASSERT_EQ(c.Count(), 2);
  EXPECT_EQ(c.GetItem(0)->Name, "Third");
  EXPECT_EQ(c.GetItem(1)->Name, "First");
  EXPECT_EQ(c.IndexOf("First"), 1);
  EXPECT_NE(c.GetItem(0)->Music->fMusic, 0u);
}

TEST_F(MusicCollectionTest, MissingKeysTakeTheirDefaults) {
  TMusicCollection c;
  c.Load(Ini("[Music]\nNumberOfSongs=3\n"
             "[Music.Song1]\nFile=$tune.mod\nTitle=Theme\nAuthor=Kromag\nOriginalFilename=theme.xm\n"
             "[Music.Song2]\nFile=$tune.mod\n"
             "[Music.Song3]\nFile=*\nName=Skipped\n"),
         "Music");
  ASSERT_EQ(c.Count(), 2);
  const TMusicCollectionItem* two = c.GetItem(0);
  EXPECT_EQ(two->Title, "Song2");
  EXPECT_EQ(two->Name, "Song2");
  EXPECT_EQ(two->Author, "Mr.Anonymous");
  EXPECT_EQ(two->OriginalFilename, "Song2");
  const TMusicCollectionItem* one = c.GetItem(1);
  EXPECT_EQ(one->Title, "Theme");
  EXPECT_EQ(one->Name, "Theme");
  EXPECT_EQ(one->Author, "Kromag");
  EXPECT_EQ(one->OriginalFilename, "theme.xm");
  EXPECT_EQ(c.Find("Skipped"), nullptr);
}

TEST_F(MusicCollectionTest, LongNamesAreCutToTwentyFourCharacters) {
  const std::string thirty = "ABCDEFGHIJKLMNOPQRSTUVWXYZ1234";
  TMusicCollection c;
  c.Load(Ini("[Music]\nNumberOfSongs=1\n[Music.Song1]\nFile=$tune.mod\nName=" + thirty + "\n"), "Music");
  ASSERT_EQ(c.Count(), 1);
  EXPECT_EQ(c.GetItem(0)->Name, thirty.substr(0, 24));
  EXPECT_EQ(c.Find(thirty), nullptr);
  EXPECT_EQ(c.Find(thirty.substr(0, 24)), c.GetItem(0));
}

TEST_F(MusicCollectionTest, LookupsCompareTheWholeNameWithItsCase) {
  TMusicCollection c;
  c.Load(Ini("[Music]\nNumberOfSongs=2\n[Music.Song1]\nFile=$tune.mod\nName=Menu\n"
             "[Music.Song2]\nFile=$tune.mod\nName=Menu\n"),
         "Music");
  EXPECT_EQ(c.Find("Menu"), c.GetItem(0));  // the first of two equal names
  const struct {
    const char* Name;
    int32_t Index;
  } cases[] = {{"Menu", 0}, {"menu", -1}, {"Men", -1}, {"Menu ", -1}, {"", -1}};
  for (const auto& k : cases) {
    EXPECT_EQ(c.IndexOf(k.Name), k.Index) << k.Name;
  }
  EXPECT_EQ(c.GetItem(-1), nullptr);
  EXPECT_EQ(c.GetItem(2), nullptr);
}

TEST_F(MusicCollectionTest, MissingSectionGivesNoSongs) {
  TMusicCollection c;
  c.Load(Ini("[Other]\nNumberOfSongs=2\n"), "Music");
  EXPECT_EQ(c.Count(), 0);
  c.Load(Dir_ / "absent.ini", "Music");
  EXPECT_EQ(c.Count(), 0);
}

TEST_F(MusicCollectionTest, SongThatFailsToLoadStaysWithoutMusic) {
  TMusicCollection c;
  c.Load(Ini("[Music]\nNumberOfSongs=1\n[Music.Song1]\nFile=$gone.mp3\nName=Gone\n"), "Music");
  ASSERT_EQ(c.Count(), 1);
  EXPECT_EQ(c.Find("Gone")->Music->fMusic, 0u);
  EXPECT_EQ(Matching(Log_.Lines(), "BASS: Loading " + (Dir_ / "gone.mp3") + " failed").size(), 1u);
}

TEST_F(MusicCollectionTest, FoundSongPlays) {
  TMusicCollection c;
  c.Load(Ini("[Music]\nNumberOfSongs=1\n[Music.Song1]\nFile=$tune.mod\nName=Outro\n"), "Music");
  c.Find("Outro")->Music->Play();
  EXPECT_GT(audiotest::Peak(audiotest::Render(22050), 0), 1000);
}

TEST_F(MusicCollectionTest, ClearingDestroysEveryItemWithItsLine) {
  TMusicCollection c;
  c.Load(Ini("[Music]\nNumberOfSongs=2\n[Music.Song1]\nFile=$tune.mod\n[Music.Song2]\nFile=$tune.mod\n"), "Music");
  c.Clear();
  EXPECT_EQ(c.Count(), 0);
  const auto lines = Log_.Lines();
  const auto destroyed = Matching(lines, "<MusicCollectionUnit, TMusicCollectionItem.Destroy> Destroying music ");
  ASSERT_EQ(destroyed.size(), 2u);
  EXPECT_NE(destroyed[0].find("Destroying music Song2"), std::string::npos);
  EXPECT_NE(destroyed[1].find("Destroying music Song1"), std::string::npos);
  EXPECT_EQ(Matching(lines, "BASS: Music freed.").size(), 2u);
}

TEST(MusicCollectionUnitTest, StartUpCreatesTheCollection) {
  vgrtest::TScopedLog log;
  MusicCollectionUnit_Startup();
  ASSERT_NE(MusicCollection, nullptr);
  EXPECT_EQ(Matching(log.Lines(), "(uses) MusicCollectionUnit, version 1.54").size(), 1u);
  MusicCollectionUnit_Shutdown();
  EXPECT_EQ(MusicCollection, nullptr);
}

}  // namespace
