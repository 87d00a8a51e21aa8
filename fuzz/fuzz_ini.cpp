// The INI dialect with list sections: parse, then ask for every section,
// key and list item found.
#include "FuzzSupport.h"
#include "ZRINIFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Start();
  auto s = fuzz::StreamOf(data, size);
  TIniFile ini(*s);
  for (const TIniSection& section : ini.Sections) {
    const int32_t type = ini.SectionType(section.Name);
    if (type == 1) {
      const int32_t n = ini.ListItemCount(section.Name);
      for (int32_t i = -1; i <= n; ++i) ini.ReadListItem(section.Name, i);
    }
    for (const std::string& line : section.Lines) {
      const std::string key = line.substr(0, line.find('='));
      ini.ReadString(section.Name, key, "", "GFX");
      ini.ReadInteger(section.Name, key, 0);
      ini.ReadBool(section.Name, key, false);
      ini.ValueExists(section.Name, key);
    }
  }
  return 0;
}
