#pragma once
// What the numbered objects of a level look like and do, and what the
// monsters look like: read once at start-up from "objects.lst" and
// "monsters.txt" and looked up by the level map, the professor and the
// monsters for the rest of the run.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ZRINIFile.h"
#include "ZR_SDL.h"

class TImageCollection;

// The small name table that resolves the type aliases of "objects.lst".
struct TRTElement {
  std::string Name;  // at most 64 characters
  int32_t Value = 0;
};

class TRTypeList {
 public:
  TRTypeList() = default;
  virtual ~TRTypeList() = default;

  static constexpr std::size_t MaxNameLength = 64;

  // Appends (longer names are cut to 64 characters); duplicates stay. Items
  // is filled through Add only, which keeps the name index.
  void Add(const std::string& name, int32_t value);
  // The value of the first element of that name, ignoring letter case;
  // -1 when there is none.
  int32_t Find(const std::string& name) const;

  std::vector<TRTElement> Items;

 private:
  // The first element of each name: a file of a million aliases made every
  // object line search them all from the front.
  TNameIndex First_;
};

struct TResourceItem {
  int32_t Number = 0;  // the object number
  int32_t Type = 0;    // what a cell holding it does
};

class TResources {
 public:
  // Reads "objects.lst" and then "monsters.txt". Data the game cannot run
  // without (a missing file, no "!END", no interim sequence, a field that
  // must be a number and is not) ends the program through Halt.
  TResources();
  virtual ~TResources();
  TResources(const TResources&) = delete;
  TResources& operator=(const TResources&) = delete;

  static constexpr int MaxSequences = 16;
  static constexpr std::size_t MaxSequenceLength = 16;

  int32_t Count() const { return static_cast<int32_t>(Items.size()); }
  int32_t ItemNumber(int32_t index) const;
  int32_t ItemType(int32_t index) const;
  // 0 for object 0 and for a number no item carries.
  int32_t TypeOfNumber(int32_t number) const;
  // The bytes of a uniformly drawn non-empty sequence slot; empty only when
  // no slot holds anything.
  std::string RandomInterimSequence() const;
  // A value of RandomTiles drawn by position; 0 when there is none.
  uint8_t RandomTile() const;

  std::unique_ptr<TImageCollection> Images;
  TImagePtr MoreBlocks;
  std::vector<TResourceItem> Items;
  std::string InterimSequences[MaxSequences];
  std::string RandomTiles;

 private:
  void ReadObjects();
  void ReadMonsters();
};

// The run's object and monster definitions, created by the main program at
// start-up.
extern std::unique_ptr<TResources> Resources;

// TryStrToInt, the decimal reader of the definition files, comes with it.
#include "ZRToolbox.h"

// Exit code of a start-up that cannot go on because its data is unusable.
constexpr int DataErrorExitCode = 3;
