#include "PlaylistUnit.h"

#include "Logger.h"
#include "ZRINIFile.h"

std::unique_ptr<TPlayLists> PlayLists;

std::string TPlayList::CurrentSong() const {
  if (Current < 0 || Current >= Count()) return "";
  return Strings[static_cast<std::size_t>(Current)];
}

void TPlayList::Next() {
  Current += 1;
  if (Current == Count()) Current = 0;
}

void TPlayList::Previous() {
  Current -= 1;
  if (Current == -1) Current = Count() - 1;
}

void TPlayList::SetCurrent(int32_t index) {
  if (index >= 0 && index < Count()) Current = index;
}

void TPlayLists::Load(TIniFile& ini, const std::string& section) {
  const int32_t count = ini.ListItemCount(section);
  for (int32_t i = 0; i < count; ++i) {
    auto list = std::make_unique<TPlayList>(ini.ReadListItem(section, i));
    const std::string songs = section + "." + list->Name;
    // A missing or normal section gives an empty list; the INI reader says so.
    const int32_t n = ini.ListItemCount(songs);
    for (int32_t j = 0; j < n; ++j) list->Strings.push_back(ini.ReadListItem(songs, j));
    Items.push_back(std::move(list));
  }
}

void TPlayLists::Load(const std::string& iniFileName, const std::string& section) {
  TIniFile ini(iniFileName, true);
  Load(ini, section);
}

TPlayList* TPlayLists::Find(const std::string& name) {
  for (auto& list : Items) {
    if (list->Name == name) return list.get();
  }
  return nullptr;
}

void PlaylistUnit_Startup() {
  LogUnitVersion("PlaylistUnit", "1.00");
  PlayLists = std::make_unique<TPlayLists>();
}

void PlaylistUnit_Shutdown() { PlayLists.reset(); }
