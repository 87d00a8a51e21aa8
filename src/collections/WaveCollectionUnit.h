#pragma once
// The sound effects of the game, found by name, loaded from an INI list
// section and one section per effect.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "NamedCollection.h"
#include "WaveUnit.h"

class TIniFile;

class TWaveCollectionItem {
 public:
  TWaveCollectionItem() = default;
  ~TWaveCollectionItem();
  TWaveCollectionItem(const TWaveCollectionItem&) = delete;
  TWaveCollectionItem& operator=(const TWaveCollectionItem&) = delete;

  std::string Name;  // at most 24 characters
  std::unique_ptr<TWave> Wave;
};

class TWaveCollection : public TNamedCollection<TWaveCollectionItem> {
 public:
  // Every effect named in the list section `section`.
  void Load(TIniFile& ini, const std::string& section);
  void Load(const std::string& iniFileName, const std::string& section);
  // The effect `name` from the section `section`.`name`.
  void LoadItem(TIniFile& ini, const std::string& section, const std::string& name);
  // Appends a new item owning `wave`; the name is cut to 24 characters.
  void AddItem(std::unique_ptr<TWave> wave, const std::string& name);
};

// The program's sound effects, created at unit start-up.
extern std::unique_ptr<TWaveCollection> WaveCollection;

void WaveCollectionUnit_Startup();
void WaveCollectionUnit_Shutdown();
