#include "ZRINIFile.h"

#include <algorithm>
#include <cstring>

#include "Logger.h"
#include "ZRStream3.h"
#include "ZRToolbox.h"

// ---------------------------------------------------------------------------
// Line reader

bool TLineReader::AtEnd() { return Stream_.Position() >= Stream_.Size(); }

void TLineReader::Append(std::string& line, const char* bytes, int64_t count) {
  const std::size_t room = MaxLine_ + 1 - std::min(line.size(), MaxLine_ + 1);
  line.append(bytes, std::min(static_cast<std::size_t>(count), room));
  if (line.size() > MaxLine_) {
    line.resize(MaxLine_);
    TooLong_ = true;
  }
}

bool TLineReader::ReadLine(std::string& line) {
  line.clear();
  TooLong_ = false;
  bool readAny = false;
  char block[BlockSize];
  for (;;) {
    const int64_t start = Stream_.Position();
    const int64_t got = Stream_.Read(block, BlockSize);
    if (got <= 0) break;
    readAny = true;
    const void* lf = std::memchr(block, 10, static_cast<size_t>(got));
    if (lf != nullptr) {
      const int64_t len = static_cast<const char*>(lf) - block;
      Append(line, block, len);
      // Leave the stream just behind the line feed, not at the block's end.
      Stream_.Seek(start + len + 1, soBeginning);
      if (!line.empty() && line.back() == 13) line.pop_back();
      return true;
    }
    Append(line, block, got);
  }
  return readAny;
}

std::unique_ptr<TStream> InMemory(std::unique_ptr<TStream> stream) {
  if (!stream || dynamic_cast<TMemoryStream*>(stream.get()) != nullptr) return stream;
  const int64_t size = stream->Size();
  if (size < 0 || size > (int64_t{64} << 20)) return stream;
  stream->SetPosition(0);
  return std::make_unique<TMemoryStream>(stream->ReadAll());
}

std::string TLineReader::ReadLine() {
  std::string line;
  ReadLine(line);
  return line;
}

// ---------------------------------------------------------------------------
// TIniFile

namespace {

const char* const kListItemCountLoc = "ZRINIFile, TIniFile.ListItemCount";
const char* const kReadListItemLoc = "ZRINIFile, TIniFile.ReadListItem";
const char* const kReadIntegerLoc = "ZRINIFile, TIniFile.ReadInteger";

// The value of the first line whose key (text before the first "=") matches;
// found is false when no line has that key.
bool FindValue(const TIniSection& section, const std::string& key, std::string& value) {
  if (key.empty()) return false;
  for (const std::string& line : section.Lines) {
    const size_t eq = line.find('=');
    if (eq == std::string::npos) continue;  // a list item without a value
    if (SameTextASCII(line.substr(0, eq), key)) {
      value = line.substr(eq + 1);
      return true;
    }
  }
  return false;
}

}  // namespace

TIniFile::TIniFile(const std::string& fileName, bool noSave) {
  SourceName = fileName;
  if (std::unique_ptr<TStream> s = InMemory(ZROpenStream(fileName))) Parse(*s, fileName);
  if (!noSave) FileName = fileName;
}

TIniFile::TIniFile(TStream& stream) { Parse(stream, ""); }

TIniFile::~TIniFile() {
  if (!FileName.empty()) WriteBack();
}

uint32_t TNameIndex::Hash(const std::string& name) {
  // FNV-1a over the name with ASCII letters upper-cased.
  uint32_t h = 2166136261u;
  for (char c : name) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    h = (h ^ static_cast<uint8_t>(c)) * 16777619u;
  }
  return h;
}

void TNameIndex::Grow() {
  std::vector<std::pair<uint32_t, uint32_t>> old(std::max<std::size_t>(64, Slots_.size() * 2));
  old.swap(Slots_);
  const std::size_t mask = Slots_.size() - 1;
  for (const auto& e : old) {
    if (e.second == 0) continue;
    std::size_t slot = e.first & mask;
    while (Slots_[slot].second != 0) slot = (slot + 1) & mask;
    Slots_[slot] = e;
  }
}

const std::string& TIniFile::SectionName(std::size_t index) const {
  // Sections is open to callers; an index past its end names nothing.
  static const std::string none;
  return index < Sections.size() ? Sections[index].Name : none;
}

TIniSection* TIniFile::FindSection(const std::string& name) {
  if (name.empty() || name.find('=') != std::string::npos) return nullptr;
  const int64_t i = SectionIndex_.Find(name, [this](std::size_t k) -> const std::string& { return SectionName(k); });
  return i < 0 || static_cast<std::size_t>(i) >= Sections.size() ? nullptr : &Sections[static_cast<std::size_t>(i)];
}

void TIniFile::Parse(TStream& stream, const std::string& source) {
  TLineReader reader(stream);
  // Where the lines below the last header go: found once per header.
  TIniSection* target = nullptr;
  int64_t number = 0;
  do {
    std::string line = reader.ReadLine();
    ++number;
    if (reader.TooLong()) {
      Log->Error("Line too long! (" + (source.empty() ? std::string() : source + ", ") + "line " +
                     std::to_string(number) + ")",
                 "ZRINIFile, TIniFile.Create");
      Sections.clear();
      SectionIndex_.Clear();
      return;
    }
    const std::string trimmed = TrimBlanks(line);
    if (trimmed.empty()) continue;
    // Only lines holding a bracket are trimmed: keys and list items keep
    // their blanks.
    if (line.find('[') != std::string::npos) line = trimmed;
    if (line[0] == ';') continue;
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
      TIniSection section;
      if (line.size() >= 3 && line[1] == '*') {
        section.Name = line.substr(2, line.size() - 3);
        section.Type = stList;
      } else {
        section.Name = line.substr(1, line.size() - 2);
        section.Type = stNormal;
      }
      // An empty name or one holding "=" is never found, so its lines go nowhere.
      const bool findable = !section.Name.empty() && section.Name.find('=') == std::string::npos;
      Sections.push_back(std::move(section));
      // The first section of a name wins.
      const std::size_t first = SectionIndex_.Add(Sections.back().Name, Sections.size() - 1,
                                                  [this](std::size_t k) -> const std::string& { return SectionName(k); });
      target = findable ? &Sections[first] : nullptr;
      continue;
    }
    // A repeated header adds an empty section; its lines join the first one.
    if (target == nullptr) continue;
    if (target->Type == stNormal && line.find('=') == std::string::npos) line += "=1";
    target->Lines.push_back(std::move(line));
  } while (!reader.AtEnd());
}

std::string TIniFile::ReadString(const std::string& section, const std::string& key, const std::string& def,
                                 const std::string& fallback) {
  std::string value;
  if (TIniSection* s = FindSection(section); s != nullptr && s->Type == stNormal) {
    if (FindValue(*s, key, value) && !value.empty()) return value;
  }
  if (!fallback.empty()) {
    // A fallback section that does not exist simply adds nothing.
    if (TIniSection* f = FindSection(fallback); f != nullptr) {
      value.clear();
      if (FindValue(*f, key, value) && !value.empty()) return value;
    }
  }
  return def;
}

int32_t TIniFile::ReadInteger(const std::string& section, const std::string& key, int32_t def,
                              const std::string& fallback) {
  const std::string value = ReadString(section, key, "", fallback);
  if (value.empty()) return def;
  int32_t result = 0;
  if (!StrToInt32(value, result)) {
    Log->Warning("Not an integer value! ([" + section + "] " + key + "=" + value + ")", kReadIntegerLoc);
    return def;
  }
  return result;
}

bool TIniFile::ReadBool(const std::string& section, const std::string& key, bool def, const std::string& fallback) {
  const std::string value = ReadString(section, key, "", fallback);
  if (value.empty()) return def;
  const std::string up = UpperCase(value);
  return up == "TRUE" || up == "YES" || value == "1";
}

bool TIniFile::ValueExists(const std::string& section, const std::string& key) {
  return !ReadString(section, key, "", "").empty();
}

int32_t TIniFile::SectionType(const std::string& section) {
  const TIniSection* s = FindSection(section);
  return s == nullptr ? -1 : static_cast<int32_t>(s->Type);
}

int32_t TIniFile::ListItemCount(const std::string& section) {
  const TIniSection* s = FindSection(section);
  if (s == nullptr) {
    Log->Warning("Section not found! (" + section + ")", kListItemCountLoc);
    return 0;
  }
  if (s->Type != stList) {
    Log->Warning("ListItemCount is only allowed on List type Sections! (" + section + ")", kListItemCountLoc);
    return 0;
  }
  return static_cast<int32_t>(s->Lines.size());
}

std::string TIniFile::ReadListItem(const std::string& section, int32_t index) {
  const TIniSection* s = FindSection(section);
  if (s == nullptr) {
    Log->Warning("Section not found! (" + section + ")", kReadListItemLoc);
    return "";
  }
  if (s->Type != stList) {
    Log->Warning("ReadListItem is not allowed on stNormal type Sections!", kReadListItemLoc);
    Log->Warning("Section: " + section + " Index: " + std::to_string(index), kReadListItemLoc);
    return "";
  }
  if (index < 0 || static_cast<size_t>(index) >= s->Lines.size()) {
    Log->Warning("Index is out of range! (" + std::to_string(index) + ")", kReadListItemLoc);
    return "";
  }
  return s->Lines[static_cast<size_t>(index)];
}

void TIniFile::WriteBack() {
  std::string text;
  for (const TIniSection& s : Sections) {
    text += (s.Type == stList ? "[*" : "[") + s.Name + "]\n";
    for (const std::string& line : s.Lines) text += line + "\n";
    text += "\n";
  }
  // Always a loose file on disk, never an archive member.
  TFileStream f(FileName, fmCreate);
  if (!f.IsOpen() || !f.WriteBuffer(text.data(), static_cast<int64_t>(text.size()))) {
    Log->Warning("Could not write the file! (" + FileName + ")", "ZRINIFile, TIniFile.Destroy");
  }
}

void ZRINIFile_Startup() { LogUnitVersion("ZRINIFile", "2.07"); }
