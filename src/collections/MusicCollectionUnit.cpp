#include "MusicCollectionUnit.h"

#include <algorithm>
#include <climits>

#include "DataNames.h"
#include "Logger.h"
#include "ZRINIFile.h"

std::unique_ptr<TMusicCollection> MusicCollection;

TMusicCollectionItem::~TMusicCollectionItem() {
  Log->Debug("Destroying music " + Name, "MusicCollectionUnit, TMusicCollectionItem.Destroy");
  Music.reset();
}

void TMusicCollectionItem::Play() {
  if (!Music) Music = std::make_unique<TMusic>(File);
  Music->Play();
}

void TMusicCollectionItem::Stop() {
  if (!Music) return;
  Music->Stop();
  if (Music->fMusic != 0) Music.reset();
}

void TMusicCollection::Load(TIniFile& ini, const std::string& section) {
  int32_t n = ini.ReadInteger(section, "NumberOfSongs", 0);
  // Every song has a section of its own, so a file holds no more songs than
  // sections; counting down from a larger number took minutes. Numbers above
  // the highest song section name nothing and are not counted through.
  if (n > static_cast<int32_t>(std::min<std::size_t>(ini.Sections.size(), INT32_MAX))) {
    Log->Warning("NumberOfSongs=" + std::to_string(n) + " is more than the file holds",
                 "MusicCollectionUnit, TMusicCollection.Load");
  }
  const std::string prefix = section + ".Song";
  int32_t highest = 0;
  for (const TIniSection& s : ini.Sections) {
    if (s.Name.size() <= prefix.size() || s.Name.size() > prefix.size() + 10 ||
        !SameTextASCII(s.Name.substr(0, prefix.size()), prefix))
      continue;
    const std::string digits = s.Name.substr(prefix.size());
    if (digits.find_first_not_of("0123456789") != std::string::npos) continue;
    highest = static_cast<int32_t>(std::max<long long>(highest, std::min<long long>(std::stoll(digits), INT32_MAX)));
  }
  n = std::min(n, highest);
  // Highest number first: the first item is the last song.
  for (int32_t i = n; i >= 1; --i) {
    const std::string number = std::to_string(i);
    const std::string t = section + ".Song" + number;
    const std::string file = ini.ReadString(t, "File", "*");
    if (file == "*") continue;
    if (!DataNameConfined(file)) {
      WarnNameNotConfined(ini.SourceName, "[" + t + "] File=" + file, "MusicCollectionUnit, TMusicCollection.Load");
      continue;
    }
    const std::string title = ini.ReadString(t, "Title", "Song" + number);
    TMusicCollectionItem& item = Append(ini.ReadString(t, "Name", title));
    item.Title = title;
    item.Author = ini.ReadString(t, "Author", "Mr.Anonymous");
    item.OriginalFilename = ini.ReadString(t, "OriginalFilename", "Song" + number);
    item.File = file;
  }
}

void TMusicCollection::Load(const std::string& iniFileName, const std::string& section) {
  TIniFile ini(iniFileName, true);
  Load(ini, section);
}

void MusicCollectionUnit_Startup() {
  LogUnitVersion("MusicCollectionUnit", "1.54");
  MusicCollection = std::make_unique<TMusicCollection>();
}

void MusicCollectionUnit_Shutdown() { MusicCollection.reset(); }
