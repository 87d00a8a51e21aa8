#pragma once
// The configuration dialect: INI files whose sections are either key=value
// sections or ordered lists of free-form items, and the one line reader that
// every text format of the program goes through.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TStream;

// Splits the text of a stream into lines. The stream is read in blocks of 256
// bytes; a line ends at a line feed (byte 10), which is consumed and not part
// of the line, and the stream is left positioned just behind it, so callers
// may mix line reads with their own stream reads and positions. One carriage
// return (byte 13) before the line feed is dropped. A last line without a
// line feed ends at the end of the stream and keeps any carriage return. No
// other byte is special: a lone carriage return does not end a line and tabs
// are ordinary characters.
//
// The reader holds no buffered data between calls: it only borrows the
// stream, which must outlive it.
class TLineReader {
 public:
  // Lines are cut at `maxLine` bytes (see TooLong).
  explicit TLineReader(TStream& stream, std::size_t maxLine = MaxLineLength) : Stream_(stream), MaxLine_(maxLine) {}

  // Reads the next line from the current position. At the end of the stream
  // the result is the empty string.
  std::string ReadLine();
  // Reads the next line into `line`; false (and `line` empty) when the stream
  // was already at its end, so no line was there to read.
  bool ReadLine(std::string& line);
  // True when the position has reached the size of the stream.
  bool AtEnd();
  // The last line read was longer than the limit: it was cut there and
  // the rest of it skipped. No data file has such lines; readers refuse the
  // file, which keeps a hostile one-line file from taking all memory.
  bool TooLong() const { return TooLong_; }

  static constexpr int64_t BlockSize = 256;
  static constexpr std::size_t MaxLineLength = 64 * 1024;

 private:
  void Append(std::string& line, const char* bytes, int64_t count);

  TStream& Stream_;
  std::size_t MaxLine_;
  bool TooLong_ = false;
};

// The stream's whole content in memory, for reading it line by line: a loose
// file read through the line reader costs some system calls per line, which
// made a file of a million short lines take seconds. A stream larger than
// any data file (64 MiB) is returned as it is.
std::unique_ptr<TStream> InMemory(std::unique_ptr<TStream> stream);

// TrimBlanks, UpperCase and SameTextASCII, the dialect's text rules, come
// with the toolbox.
#include "ZRToolbox.h"

// Names (ASCII letter case ignored) -> the first index each was added
// under, for the lists of data files that hold up to a million names: open
// addressing in one array of (hash, index + 1), at most half full, so a
// million names cost a handful of allocations and no node each. The names
// themselves stay in the caller's list; `nameOf(i)` gives the name of
// index i.
class TNameIndex {
 public:
  // Adds `index` under `name` unless an earlier index has that name; returns
  // the index the name stands for now.
  template <class NameOf>
  std::size_t Add(const std::string& name, std::size_t index, NameOf nameOf) {
    if ((Count_ + 1) * 2 > Slots_.size()) Grow();
    const uint32_t hash = Hash(name);
    auto& slot = Slots_[Slot(name, hash, nameOf)];
    if (slot.second == 0) {
      slot = {hash, static_cast<uint32_t>(index + 1)};
      ++Count_;
    }
    return slot.second - 1;
  }
  // The first index added under `name`, or -1.
  template <class NameOf>
  int64_t Find(const std::string& name, NameOf nameOf) const {
    if (Slots_.empty()) return -1;
    const uint32_t entry = Slots_[Slot(name, Hash(name), nameOf)].second;
    return entry == 0 ? -1 : static_cast<int64_t>(entry) - 1;
  }
  void Clear() {
    Slots_.clear();
    Count_ = 0;
  }

 private:
  template <class NameOf>
  std::size_t Slot(const std::string& name, uint32_t hash, NameOf nameOf) const {
    const std::size_t mask = Slots_.size() - 1;
    for (std::size_t slot = hash & mask;; slot = (slot + 1) & mask) {
      const auto& [h, entry] = Slots_[slot];
      if (entry == 0 || (h == hash && SameTextASCII(nameOf(entry - 1), name))) return slot;
    }
  }
  void Grow();
  static uint32_t Hash(const std::string& name);

  std::vector<std::pair<uint32_t, uint32_t>> Slots_;
  std::size_t Count_ = 0;
};

// Section types; the numbers are what SectionType returns.
enum TSectionType : int32_t { stNormal = 0, stList = 1 };

// One section header as met in the file, with the lines stored under it.
struct TIniSection {
  std::string Name;  // exactly as written between the brackets
  TSectionType Type = stNormal;
  // stNormal: "key=value" lines; stList: the items, kept whole.
  std::vector<std::string> Lines;
};

// Reader of the configuration dialect. Section names and keys are matched
// without regard to ASCII letter case, the first match in file order winning;
// an empty name or key, or a section name holding "=", is never found.
// After construction the object is read-only.
class TIniFile {
 public:
  // Opens `fileName` through the stream lookup and parses it; a file that
  // cannot be found leaves the object without sections. Unless `noSave` is
  // set, the destructor writes the sections back to a loose file of that name.
  TIniFile(const std::string& fileName, bool noSave);
  // Parses `stream` from its current position to its end; never writes back.
  // The caller keeps the stream.
  explicit TIniFile(TStream& stream);
  virtual ~TIniFile();
  TIniFile(const TIniFile&) = delete;
  TIniFile& operator=(const TIniFile&) = delete;

  static std::unique_ptr<TIniFile> Create(const std::string& fileName, bool noSave) {
    return std::make_unique<TIniFile>(fileName, noSave);
  }
  static std::unique_ptr<TIniFile> CreateFromStream(TStream& stream) { return std::make_unique<TIniFile>(stream); }

  // The value of `key` in the normal section `section`; when that gives
  // nothing and `fallback` is not empty, the value of `key` in the first
  // section named `fallback`. Empty values count as missing.
  std::string ReadString(const std::string& section, const std::string& key, const std::string& def,
                         const std::string& fallback = "");
  // A decimal 32-bit integer; a value that is not one gives `def` and a warning.
  int32_t ReadInteger(const std::string& section, const std::string& key, int32_t def,
                      const std::string& fallback = "");
  // True for "TRUE" and "YES" in any letter case and for exactly "1".
  bool ReadBool(const std::string& section, const std::string& key, bool def, const std::string& fallback = "");
  virtual bool ValueExists(const std::string& section, const std::string& key);
  // -1 when there is no such section, else stNormal (0) or stList (1).
  int32_t SectionType(const std::string& section);
  int32_t ListItemCount(const std::string& section);
  // Item `index` (from 0) of a list section; empty with a warning otherwise.
  std::string ReadListItem(const std::string& section, int32_t index);

  // The file written back on destruction; empty means never.
  std::string FileName;
  // The name the file was opened by, for messages; empty for a stream.
  std::string SourceName;
  // Every header met, in file order, duplicates included.
  std::vector<TIniSection> Sections;

 private:
  // `source` names the file in the error of a line too long.
  void Parse(TStream& stream, const std::string& source);
  // The first section of that name, or null.
  TIniSection* FindSection(const std::string& name);
  // The first section of each name: a file of many sections would otherwise
  // be searched from the front for every header.
  TNameIndex SectionIndex_;
  const std::string& SectionName(std::size_t index) const;
  void WriteBack();
};

void ZRINIFile_Startup();
