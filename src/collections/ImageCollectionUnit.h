#pragma once
// The named images of the game: a list of loaded pictures, each optionally
// with a collision mask, filled from GFX lists ("file,name[,*]" lines) and
// searched by name.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ZR_SDL.h"

class TIniFile;
class TStream;

// All pictures held by image collections together may take no more than
// this many bytes of pixels (256 MiB by default): a list of many lines naming
// one large picture would otherwise hold a copy for each. A picture past it
// is refused with an error line, as a single oversized one is. Returns the
// previous budget.
int64_t SetImageBudgetBytes(int64_t bytes);
// The pixel bytes the collections hold now.
int64_t ImageBytesHeld();
// The budget in force.
int64_t ImageBudgetBytes();

class TImageCollectionItem {
 public:
  TImageCollectionItem(std::string name, TImagePtr image);
  virtual ~TImageCollectionItem();
  TImageCollectionItem(const TImageCollectionItem&) = delete;
  TImageCollectionItem& operator=(const TImageCollectionItem&) = delete;

  std::string Name;  // exactly as written in the list
  TImagePtr Image;   // null when the picture failed to load
  // The mask in use; not owned unless it is OwnedMask.
  PMask Mask = nullptr;
  // The mask the collection made for a "*" line, freed with the item.
  TMaskPtr OwnedMask;

 private:
  int64_t Charged_ = 0;  // what the image counts against the budget
};

class TImageCollection {
 public:
  TImageCollection() = default;
  virtual ~TImageCollection();
  TImageCollection(const TImageCollection&) = delete;
  TImageCollection& operator=(const TImageCollection&) = delete;

  // Appends an item owning `image` (which may be null); `mask` is not owned.
  TImageCollectionItem* Add(TImagePtr image, const std::string& name, PMask mask = nullptr);
  // Loads `fileSpec` with LoadImage and appends it.
  TImageCollectionItem* Add(const std::string& fileSpec, const std::string& name, PMask mask = nullptr);
  // One GFX list line: [.]file,name[,*]; true when an item was added.
  virtual bool AddImageEx(const std::string& line);

  // A GFX list in layout 1 (lines up to "!END") or layout 2 (an INI text
  // whose first line is "[*GFXLIST]", items in its list section "GFXList").
  // A line longer than a data file holds ends the list with an error naming
  // `source` and the line.
  void AddByList(TStream& stream, const std::string& source = "");
  // A GFX list file, found through the stream lookup.
  void AddByList(const std::string& fileName);
  void AddByList(const std::vector<std::string>& lines);
  // The items of a list section.
  void AddByList(TIniFile& ini, const std::string& section);
  void AddByList(const std::string& iniFileName, const std::string& section);

  // The first item of exactly that name (letter case counts), or null.
  TImageCollectionItem* Find(const std::string& name);
  PImage FindImage(const std::string& name);
  // Sets the mask of the first item of that name; the mask stays the caller's.
  void AssignMask(const std::string& name, PMask mask);

  void ListItems();
  // Every image as "IC_000.bmp", "IC_001.bmp", ... in the current folder.
  void SaveItems();
  virtual void Clear();

  int32_t Count() const { return static_cast<int32_t>(Items.size()); }
  TImageCollectionItem* GetItem(int32_t index);

  std::vector<std::unique_ptr<TImageCollectionItem>> Items;

 private:
  TImageCollectionItem* FindItem(const std::string& name, const char* location);
  // The list file being read, for messages.
  std::string ListSource_;
};

// The program's images, created at unit start-up.
extern std::unique_ptr<TImageCollection> ImageCollection;

void ImageCollectionUnit_Startup();
void ImageCollectionUnit_Shutdown();
