// The INI dialect with list sections: parse, then ask for every section,
// key and list item found. A file opened by name for writing is written back
// when closed and must read back with the same sections and lines.
#include "FuzzSupport.h"
#include "ZRINIFile.h"

namespace {

void CheckWrittenBack(const uint8_t* data, size_t size) {
  fuzz::RemoveScratch("back.ini");
  if (!fuzz::WriteScratch("back.ini", data, size)) fuzz::Fail("cannot write the scratch file");
  std::vector<TIniSection> before;
  {
    TIniFile ini(fuzz::Scratch("back.ini"), false);
    before = ini.Sections;
  }
  // A last line without a line feed keeps its carriage return; written back
  // with a line feed behind it, the reader takes the pair as a line end (and
  // "[a]" CR as a header). Such files are written back but not compared.
  for (const TIniSection& section : before)
    for (const std::string& line : section.Lines)
      if (!line.empty() && line.back() == 13) return;
  TIniFile again(fuzz::Scratch("back.ini"), true);
  if (again.Sections.size() != before.size()) fuzz::Fail("written-back file has another number of sections");
  for (size_t i = 0; i < before.size(); ++i) {
    const TIniSection& a = before[i];
    const TIniSection& b = again.Sections[i];
    if (a.Name != b.Name || a.Type != b.Type) fuzz::Fail("written-back section differs: " + a.Name);
    if (a.Lines.size() != b.Lines.size()) fuzz::Fail("written-back section has other lines: " + a.Name);
    for (size_t k = 0; k < a.Lines.size(); ++k)
      if (a.Lines[k] != b.Lines[k]) fuzz::Fail("written-back line differs in " + a.Name + ": " + a.Lines[k]);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Start();
  if (size > 0 && data[0] == '[') CheckWrittenBack(data, size);
  auto s = fuzz::StreamOf(data, size);
  TIniFile ini(*s);
  // Questions the program asks of sections that are missing or of the wrong
  // kind only warn.
  ini.ListItemCount("no such section");
  ini.ReadListItem("no such section", 0);
  for (const TIniSection& section : ini.Sections) {
    const int32_t type = ini.SectionType(section.Name);
    if (type == 1) {
      const int32_t n = ini.ListItemCount(section.Name);
      for (int32_t i = -1; i <= n; ++i) ini.ReadListItem(section.Name, i);
    } else {
      ini.ListItemCount(section.Name);
      ini.ReadListItem(section.Name, 0);
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
