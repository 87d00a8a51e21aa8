#include "MusicCollectionUnit.h"

#include "Logger.h"
#include "ZRINIFile.h"

std::unique_ptr<TMusicCollection> MusicCollection;

TMusicCollectionItem::~TMusicCollectionItem() {
  Log->Debug("Destroying music " + Name, "MusicCollectionUnit, TMusicCollectionItem.Destroy");
  Music.reset();
}

void TMusicCollection::Load(TIniFile& ini, const std::string& section) {
  const int32_t n = ini.ReadInteger(section, "NumberOfSongs", 0);
  // Highest number first: the first item is the last song.
  for (int32_t i = n; i >= 1; --i) {
    const std::string number = std::to_string(i);
    const std::string t = section + ".Song" + number;
    const std::string file = ini.ReadString(t, "File", "*");
    if (file == "*") continue;
    auto item = std::make_unique<TMusicCollectionItem>();
    item->Title = ini.ReadString(t, "Title", "Song" + number);
    item->Name = ini.ReadString(t, "Name", item->Title).substr(0, kMaxItemName);
    item->Author = ini.ReadString(t, "Author", "Mr.Anonymous");
    item->OriginalFilename = ini.ReadString(t, "OriginalFilename", "Song" + number);
    item->Music = std::make_unique<TMusic>(file);
    Items.push_back(std::move(item));
  }
}

void TMusicCollection::Load(const std::string& iniFileName, const std::string& section) {
  TIniFile ini(iniFileName, true);
  Load(ini, section);
}

TMusicCollectionItem* TMusicCollection::Find(const std::string& name) { return GetItem(IndexOf(name)); }

int32_t TMusicCollection::IndexOf(const std::string& name) const {
  for (std::size_t i = 0; i < Items.size(); ++i) {
    if (Items[i]->Name == name) return static_cast<int32_t>(i);
  }
  return -1;
}

TMusicCollectionItem* TMusicCollection::GetItem(int32_t index) {
  if (index < 0 || index >= Count()) return nullptr;
  return Items[static_cast<std::size_t>(index)].get();
}

void TMusicCollection::Clear() {
  // In list order, so the destruction lines read like the list.
  for (auto& item : Items) item.reset();
  Items.clear();
}

void MusicCollectionUnit_Startup() {
  LogUnitVersion("MusicCollectionUnit", "1.54");
  MusicCollection = std::make_unique<TMusicCollection>();
}

void MusicCollectionUnit_Shutdown() { MusicCollection.reset(); }
