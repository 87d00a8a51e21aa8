#pragma once
// The directory of one archive: its "RAWD", "COMP", "LINK" and "FVER" chunks
// as named stored files, opened as memory streams (decompressed when needed).

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "MAD4LowLevelUnit.h"

constexpr uint32_t kFourCC_RAWD = FourCC("RAWD");
constexpr uint32_t kFourCC_COMP = FourCC("COMP");
constexpr uint32_t kFourCC_LINK = FourCC("LINK");
constexpr uint32_t kFourCC_FVER = FourCC("FVER");

// The directory name of the archive's version record.
inline const std::string kVersionEntryName = "*V";

struct TMAD4FileData {
  std::string Name;
  int32_t DataStart = 0;
  int32_t DataSize = 0;
  int32_t ChunkStart = 0;
  int32_t LinkTarget = 0;
};

class TMAD4MidLevel : public TMAD4LowLevel {
 public:
  TMAD4MidLevel();
  ~TMAD4MidLevel() override;

  void Mount(const std::string& fileName, bool readOnly) override;
  void Unmount() override;

  bool FileExists(const std::string& name) const { return IndexOfFile(name) >= 0; }
  // The stored file as a new memory stream positioned at 0, or null.
  std::unique_ptr<TMemoryStream> OpenFile(const std::string& name);
  // Found: name := the archive's file name, start/size of the stored bytes,
  // compressed := it is a "COMP" member. Not found: start := -1.
  void GetFileInfo(std::string& name, int32_t& start, int32_t& size, bool& compressed) const;
  // Letter case is ignored (ASCII); the first matching entry wins.
  int IndexOfFile(const std::string& name) const;
  const TMAD4FileData* GetFileData(int index) const;
  int FileCount() const { return static_cast<int>(Files.size()); }

  // For the data tool, which edits archives: Add, and the new chunk's entry
  // joins the directory at once. The chunk start, or -1.
  int32_t StoreFile(uint32_t fourCC, TStream& data);
  // Frees the chunk of the first entry of that name and drops every entry of
  // that chunk. False when there is none or the archive is read-only.
  bool RemoveFile(const std::string& name);
  // The same for the entries of the chunk at `chunkStart`.
  bool RemoveChunk(int32_t chunkStart);

  std::vector<std::unique_ptr<TMAD4FileData>> Files;
  std::string VersionText1;
  std::string VersionText2;

 private:
  void AddEntry(std::unique_ptr<TMAD4FileData> entry);
  void ReadEntry(const TMAD4ChunkData& chunk);
  void RebuildIndex();

  // Upper-cased name -> first index in Files; chunk start -> index.
  std::unordered_map<std::string, int> ByName_;
  std::unordered_map<int32_t, int> ByChunk_;
};

void MAD4MidLevelUnit_Startup();
