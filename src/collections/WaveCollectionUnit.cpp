#include "WaveCollectionUnit.h"

#include "DataNames.h"
#include "Logger.h"
#include "ZRINIFile.h"

std::unique_ptr<TWaveCollection> WaveCollection;

namespace {
const char* const kLoadLoc = "WaveCollectionUnit, TWaveCollection.Load";
const char* const kLoadItemLoc = "WaveCollectionUnit, TWaveCollection.LoadItem";
}  // namespace

TWaveCollectionItem::~TWaveCollectionItem() {
  Log->Debug("Destroying wave " + Name, "WaveCollectionUnit, TWaveCollectionItem.Destroy");
  Wave.reset();
}

void TWaveCollection::Load(TIniFile& ini, const std::string& section) {
  switch (ini.SectionType(section)) {
    case stList: {
      const int32_t count = ini.ListItemCount(section);
      for (int32_t i = 0; i < count; ++i) LoadItem(ini, section, ini.ReadListItem(section, i));
      break;
    }
    case stNormal:
      Log->Error("Section type must be List! (" + section + ")", kLoadLoc);
      break;
    default:
      Log->Error("Section not found in INI file+ (" + section + ")", kLoadLoc);
      break;
  }
}

void TWaveCollection::Load(const std::string& iniFileName, const std::string& section) {
  TIniFile ini(iniFileName, true);
  Load(ini, section);
}

void TWaveCollection::LoadItem(TIniFile& ini, const std::string& section, const std::string& name) {
  const std::string t = section + "." + name;
  // A missing section reads as all defaults, so the file check below reports
  // it a second time; both lines point at the same entry.
  if (ini.SectionType(t) != stNormal) Log->Warning("Item not found! (" + t + ")", kLoadItemLoc);
  const std::string file = ini.ReadString(t, "File", "*");
  if (file == "*") {
    Log->Warning("File not specified! (" + t + ")", kLoadItemLoc);
    return;
  }
  if (!DataNameConfined(file)) {
    WarnNameNotConfined(ini.SourceName, "[" + t + "] File=" + file, kLoadItemLoc);
    return;
  }
  const int32_t max = ini.ReadInteger(t, "Max", 1);
  const bool looped = ini.ReadBool(t, "Looped", false);
  AddItem(std::make_unique<TWave>(file, static_cast<uint32_t>(max), looped), name);
  TWave& wave = *Items.back()->Wave;
  wave.SetVolume(static_cast<float>(ini.ReadInteger(t, "Volume", 100) / 100.0));
  wave.SetFrequency(static_cast<uint32_t>(ini.ReadInteger(t, "Freq", 44100)));
  wave.SetPan(static_cast<float>(ini.ReadInteger(t, "Pan", 0) / 100.0));
}

void TWaveCollection::AddItem(std::unique_ptr<TWave> wave, const std::string& name) {
  Append(name).Wave = std::move(wave);
}

void WaveCollectionUnit_Startup() {
  LogUnitVersion("WaveCollectionUnit", "1.52");
  WaveCollection = std::make_unique<TWaveCollection>();
}

void WaveCollectionUnit_Shutdown() { WaveCollection.reset(); }
