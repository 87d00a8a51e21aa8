#pragma once
// Named playlists of song names (music item names), loaded from INI list
// sections.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TIniFile;

class TPlayList {
 public:
  explicit TPlayList(std::string name) : Name(std::move(name)) {}

  // The song at Current, or "" when Current is outside the list.
  std::string CurrentSong() const;
  // Forward and back, wrapping at either end.
  void Next();
  void Previous();
  // Only an index inside the list is taken.
  void SetCurrent(int32_t index);
  int32_t Count() const { return static_cast<int32_t>(Strings.size()); }

  std::vector<std::string> Strings;  // song names in playing order
  std::string Name;
  int32_t Current = 0;
};

class TPlayLists {
 public:
  // One playlist per item of the list section `section`, its songs from the
  // list section `section`.<name>.
  void Load(TIniFile& ini, const std::string& section);
  void Load(const std::string& iniFileName, const std::string& section);
  // Whole name, letter case counting; the first match, or null.
  TPlayList* Find(const std::string& name);
  int32_t Count() const { return static_cast<int32_t>(Items.size()); }
  void Clear() { Items.clear(); }

  std::vector<std::unique_ptr<TPlayList>> Items;
};

// The program's playlists, created at unit start-up.
extern std::unique_ptr<TPlayLists> PlayLists;

void PlaylistUnit_Startup();
void PlaylistUnit_Shutdown();
