// Playlists: loading from list sections and moving through the songs.
#include <gtest/gtest.h>

#include "PlaylistUnit.h"
#include "TestSupport.h"
#include "ZRINIFile.h"

namespace {

using vgrtest::Matching;

TPlayList ThreeSongs() {
  TPlayList p("Interim");
  p.Strings = {"one", "two", "three"};
  return p;
}

TEST(PlayList, NextAndPreviousWrapAtTheEnds) {
  TPlayList p = ThreeSongs();
  EXPECT_EQ(p.Current, 0);
  EXPECT_EQ(p.CurrentSong(), "one");
  p.SetCurrent(2);
  p.Next();
  EXPECT_EQ(p.Current, 0);
  p.Previous();
  EXPECT_EQ(p.Current, 2);
  EXPECT_EQ(p.CurrentSong(), "three");
  p.Previous();
  EXPECT_EQ(p.CurrentSong(), "two");
}

TEST(PlayList, SetCurrentTakesOnlyIndexesInTheList) {
  const struct {
    int32_t Index, Expect;
  } cases[] = {{1, 1}, {2, 2}, {3, 0}, {-1, 0}, {0, 0}};
  for (const auto& k : cases) {
    TPlayList p = ThreeSongs();
    p.SetCurrent(k.Index);
    EXPECT_EQ(p.Current, k.Expect) << k.Index;
  }
}

TEST(PlayList, EmptyListHasNoCurrentSong) {
  TPlayList p("Menu");
  EXPECT_EQ(p.CurrentSong(), "");
  p.Next();
  EXPECT_EQ(p.CurrentSong(), "");
  p.Previous();
  p.Previous();
  EXPECT_EQ(p.CurrentSong(), "");
  p.SetCurrent(0);
  EXPECT_EQ(p.CurrentSong(), "");
}

TEST(PlayList, CurrentOutsideTheListGivesAnEmptySong) {
  TPlayList p = ThreeSongs();
  p.Current = 7;
  EXPECT_EQ(p.CurrentSong(), "");
  p.Current = -2;
  EXPECT_EQ(p.CurrentSong(), "");
}

class PlayListsLoad : public ::testing::Test {
 protected:
  std::string Ini(const std::string& text) {
    vgrtest::WriteFile(Dir_ / "Zapkin.ini", text);
    return Dir_ / "Zapkin.ini";
  }
  vgrtest::TTempDir Dir_;
  vgrtest::TScopedLog Log_;
};

TEST_F(PlayListsLoad, EachListedPlaylistGetsItsSongsInOrder) {
  TPlayLists lists;
  lists.Load(Ini("[*Playlists]\nMenu\nInterim\nGameover\n"
                 "[*Playlists.Menu]\nTitle Theme\n"
                 "[*Playlists.Interim]\nBoulder Run\nBox Song\nThird One\n"
                 "[Playlists.Gameover]\nFile=x\n"),
             "Playlists");
  ASSERT_EQ(lists.Count(), 3);
  EXPECT_EQ(lists.Items[0]->Name, "Menu");
  EXPECT_EQ(lists.Items[0]->Strings, std::vector<std::string>{"Title Theme"});
  TPlayList* interim = lists.Find("Interim");
  ASSERT_NE(interim, nullptr);
  EXPECT_EQ(interim->Strings, (std::vector<std::string>{"Boulder Run", "Box Song", "Third One"}));
  EXPECT_EQ(interim->Current, 0);
  // A normal section where a list belongs gives an empty playlist.
  EXPECT_EQ(lists.Find("Gameover")->Count(), 0);
  EXPECT_EQ(Matching(Log_.Lines(), "ListItemCount is only allowed on List type Sections! (Playlists.Gameover)").size(),
            1u);
}

TEST_F(PlayListsLoad, MissingPlaylistSectionGivesAnEmptyList) {
  TPlayLists lists;
  lists.Load(Ini("[*Playlists]\nOutro\n"), "Playlists");
  ASSERT_EQ(lists.Count(), 1);
  EXPECT_EQ(lists.Find("Outro")->Count(), 0);
  EXPECT_EQ(Matching(Log_.Lines(), "Section not found! (Playlists.Outro)").size(), 1u);
}

TEST_F(PlayListsLoad, FindIsCaseSensitive) {
  TPlayLists lists;
  lists.Load(Ini("[*Playlists]\nInterim\n[*Playlists.Interim]\nsong\n"), "Playlists");
  EXPECT_EQ(lists.Find("interim"), nullptr);
  EXPECT_EQ(lists.Find("INTERIM"), nullptr);
  EXPECT_NE(lists.Find("Interim"), nullptr);
  lists.Clear();
  EXPECT_EQ(lists.Find("Interim"), nullptr);
}

TEST_F(PlayListsLoad, MissingFileGivesNoPlaylists) {
  TPlayLists lists;
  lists.Load(Dir_ / "absent.ini", "Playlists");
  EXPECT_EQ(lists.Count(), 0);
}

TEST(PlaylistUnitTest, StartUpCreatesTheSet) {
  vgrtest::TScopedLog log;
  PlaylistUnit_Startup();
  ASSERT_NE(PlayLists, nullptr);
  EXPECT_EQ(Matching(log.Lines(), "(uses) PlaylistUnit, version 1.00").size(), 1u);
  PlaylistUnit_Shutdown();
  EXPECT_EQ(PlayLists, nullptr);
}

}  // namespace
