#pragma once
// The songs of the game, found by name, loaded from an INI music section.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "MusicUnit.h"
#include "NamedCollection.h"

class TIniFile;

class TMusicCollectionItem {
 public:
  TMusicCollectionItem() = default;
  ~TMusicCollectionItem();
  TMusicCollectionItem(const TMusicCollectionItem&) = delete;
  TMusicCollectionItem& operator=(const TMusicCollectionItem&) = delete;

  std::string Name;
  std::unique_ptr<TMusic> Music;
  std::string Title;
  std::string Author;
  std::string OriginalFilename;
};

class TMusicCollection : public TNamedCollection<TMusicCollectionItem> {
 public:
  // Songs `section`.Song<n> down to .Song1, n from the key "NumberOfSongs".
  void Load(TIniFile& ini, const std::string& section);
  // The same from the INI file of that name, never written back.
  void Load(const std::string& iniFileName, const std::string& section);
};

// The program's music, created at unit start-up.
extern std::unique_ptr<TMusicCollection> MusicCollection;

void MusicCollectionUnit_Startup();
void MusicCollectionUnit_Shutdown();
