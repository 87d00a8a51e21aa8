#pragma once
// The songs of the game, found by name, loaded from an INI music section.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "MusicUnit.h"

class TIniFile;

// Names are kept to this many characters; longer ones are cut.
constexpr std::size_t kMaxItemName = 24;

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

class TMusicCollection {
 public:
  TMusicCollection() = default;
  ~TMusicCollection() { Clear(); }
  TMusicCollection(const TMusicCollection&) = delete;
  TMusicCollection& operator=(const TMusicCollection&) = delete;

  // Songs `section`.Song<n> down to .Song1, n from the key "NumberOfSongs".
  void Load(TIniFile& ini, const std::string& section);
  // The same from the INI file of that name, never written back.
  void Load(const std::string& iniFileName, const std::string& section);
  // Whole name, letter case counting; the first match, or null.
  TMusicCollectionItem* Find(const std::string& name);
  int32_t IndexOf(const std::string& name) const;
  TMusicCollectionItem* GetItem(int32_t index);
  int32_t Count() const { return static_cast<int32_t>(Items.size()); }
  void Clear();

  std::vector<std::unique_ptr<TMusicCollectionItem>> Items;
};

// The program's music, created at unit start-up.
extern std::unique_ptr<TMusicCollection> MusicCollection;

void MusicCollectionUnit_Startup();
void MusicCollectionUnit_Shutdown();
