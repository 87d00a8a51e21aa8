// The music collection loaded from INI music sections.
#include <gtest/gtest.h>

#include <filesystem>

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
    // Data files name other data files relatively: the tests run in the
    // scratch folder.
    Old_ = std::filesystem::current_path();
    std::filesystem::current_path(Dir_.Path());
  }
  void TearDown() override {
    BASS_Free();
    std::filesystem::current_path(Old_);
  }

  // An INI file in the scratch folder; a "$" in the text is dropped (it
  // stood for the folder, which is now the current one).
  std::string Ini(std::string text) {
    for (std::size_t p; (p = text.find('$')) != std::string::npos;) text.replace(p, 1, "");
    vgrtest::WriteFile(Dir_ / "Zapkin.ini", text);
    return Dir_ / "Zapkin.ini";
  }

  vgrtest::TTempDir Dir_;
  std::filesystem::path Old_;
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
  EXPECT_EQ(c.GetItem(0)->File, "tune.mod");
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
  TMusicCollectionItem* gone = c.Find("Gone");
  gone->Play();
  ASSERT_NE(gone->Music, nullptr);
  EXPECT_EQ(gone->Music->fMusic, 0u);
  // Kept through a stop: playing it again does not load it again.
  gone->Stop();
  gone->Play();
  EXPECT_EQ(Matching(Log_.Lines(), "BASS: Loading gone.mp3 failed").size(), 1u);
}

// Nothing is loaded with the collection; a song is loaded when it is played
// and freed when it stops, and plays again from its file.
TEST_F(MusicCollectionTest, ASongIsLoadedOnlyWhileItPlays) {
  TMusicCollection c;
  c.Load(Ini("[Music]\nNumberOfSongs=2\n[Music.Song1]\nFile=$tune.mod\nName=Outro\n"
             "[Music.Song2]\nFile=$tune.mod\nName=Menu\n"),
         "Music");
  EXPECT_EQ(Matching(Log_.Lines(), "BASS: Loading").size(), 0u);
  TMusicCollectionItem* outro = c.Find("Outro");
  for (int round = 1; round <= 2; ++round) {
    SCOPED_TRACE(round);
    outro->Play();
    ASSERT_NE(outro->Music, nullptr);
    EXPECT_NE(outro->Music->fMusic, 0u);
    EXPECT_GT(audiotest::Peak(audiotest::Render(22050), 0), 1000);
    outro->Stop();
    EXPECT_EQ(outro->Music, nullptr);
    EXPECT_EQ(audiotest::Peak(audiotest::Render(4410), 0), 0);
    EXPECT_EQ(Matching(Log_.Lines(), "BASS: Loading tune.mod was successful.").size(), static_cast<size_t>(round));
    EXPECT_EQ(Matching(Log_.Lines(), "BASS: Music freed.").size(), static_cast<size_t>(round));
  }
  EXPECT_EQ(c.Find("Menu")->Music, nullptr);
  // Stopping a song that never played does nothing.
  c.Find("Menu")->Stop();
  EXPECT_EQ(Matching(Log_.Lines(), "BASS: Music stopped.").size(), 2u);
}

TEST_F(MusicCollectionTest, ClearingDestroysEveryItemWithItsLine) {
  TMusicCollection c;
  c.Load(Ini("[Music]\nNumberOfSongs=2\n[Music.Song1]\nFile=$tune.mod\n[Music.Song2]\nFile=$tune.mod\n"), "Music");
  // Only the song playing is loaded, and only it has a song to free.
  c.Find("Song1")->Play();
  c.Clear();
  EXPECT_EQ(c.Count(), 0);
  const auto lines = Log_.Lines();
  const auto destroyed = Matching(lines, "<MusicCollectionUnit, TMusicCollectionItem.Destroy> Destroying music ");
  ASSERT_EQ(destroyed.size(), 2u);
  EXPECT_NE(destroyed[0].find("Destroying music Song2"), std::string::npos);
  EXPECT_NE(destroyed[1].find("Destroying music Song1"), std::string::npos);
  EXPECT_EQ(Matching(lines, "BASS: Music freed.").size(), 1u);
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

namespace {

// Counting down from the largest count a file can name took minutes of
// section lookups; the songs there are found all the same, with a warning.
TEST_F(MusicCollectionTest, HugeSongCountIsBoundedByTheFile) {
  TMusicCollection c;
  c.Load(Ini("[Music]\nNumberOfSongs=2147483647\n[Music.Song2]\nFile=$tune.mod\nName=Second\n"), "Music");
  ASSERT_EQ(c.Count(), 1);
  EXPECT_EQ(c.GetItem(0)->Name, "Second");
  EXPECT_EQ(Matching(Log_.Lines(), "NumberOfSongs=2147483647 is more than the file holds").size(), 1u);
}

// A data file names data files only where the lookup looks for them: an
// absolute name or a ".." step is refused with a warning naming the file and
// the entry, unprintable bytes written escaped.
TEST_F(MusicCollectionTest, NamesOutsideTheDataFoldersAreRefused) {
  TMusicCollection c;
  const std::string ini = Ini(
      "[Music]\nNumberOfSongs=4\n[Music.Song1]\nFile=../../../../etc/passwd\n[Music.Song2]\nFile=/etc/passwd\n"
      "[Music.Song3]\nFile=sub\\..\\..\\x\x01.mod\n[Music.Song4]\nFile=tune..mod\n");
  vgrtest::WriteFile("tune..mod", audiotest::MakeMod());
  c.Load(ini, "Music");
  ASSERT_EQ(c.Count(), 1);
  EXPECT_EQ(c.GetItem(0)->Name, "Song4");
  const std::string refused = "Name outside the data folders refused! (" + ini + ", [Music.Song";
  for (const std::string& entry : {std::string("1] File=../../../../etc/passwd)"), std::string("2] File=/etc/passwd)"),
                                   std::string("3] File=sub\\..\\..\\x\\x01.mod)")})
    EXPECT_EQ(Matching(Log_.Lines(), refused + entry).size(), 1u) << entry;
  for (const std::string& line : Log_.Lines()) EXPECT_EQ(line.find('\x01'), std::string::npos) << line;
}

}  // namespace
