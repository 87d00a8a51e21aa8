#pragma once
// The songs of the game, found by name, loaded from an INI music section.
// A song's file is loaded when the song is first played and freed when it is
// stopped: a tracker module decoded for playing takes many times its file's
// size, and only one song plays at a time.

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

  // Loads the song unless it is loaded, and starts it from the beginning.
  void Play();
  // Stops the song and frees it. A song whose file did not load is kept, so
  // that playing it again does not try again.
  void Stop();

  std::string Name;
  // The song's file, loaded by Play.
  std::string File;
  // The loaded song: null until the first Play and after Stop.
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
