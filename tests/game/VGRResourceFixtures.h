#pragma once
// Object and monster definitions made by the tests: small TGA pictures of one
// colour each, "objects.lst", "monsters.txt" and the two monster sheets,
// written into a scratch folder that is the working folder while a test runs.

#include <cstdint>
#include <string>
#include <vector>

#include "../platform/ImageFixtures.h"
#include "Logger.h"
#include "SystemUnit.h"
#include "TestSupport.h"
#include "VGRResourceTypesUnit.h"
#include "ZR_SDL.h"

namespace vgrfix {

using imgfix::ImagePx;

// A 16 by 16 picture of one colour; black stays transparent once keyed.
inline void WritePicture(const imgfix::TInFolder& folder, const std::string& name, uint32_t colour) {
  vgrtest::WriteFile(folder / name, imgfix::MakeTGA24(16, 16, [colour](int, int) { return colour; }));
}

// A 16 by 16 picture whose left half is black (transparent once keyed).
inline void WriteHalfPicture(const imgfix::TInFolder& folder, const std::string& name, uint32_t colour) {
  vgrtest::WriteFile(folder / name, imgfix::MakeTGA24(16, 16, [colour](int x, int) { return x < 8 ? 0u : colour; }));
}

// The colour of monster sheet cell `cell` of sheet `sheet` (1 or 2).
inline uint32_t CellColour(int sheet, int cell) { return 0x100000u * static_cast<uint32_t>(sheet) + 0x2211u * (cell + 1); }

constexpr uint32_t kMoreBlocksColour = 0x102030u * 7;  // frame 6 of the strip

// Sheets of four 32 by 16 cells, the strip "moreblk.tga" of seven frames and
// the pictures most object lines name.
inline void WriteBasePictures(const imgfix::TInFolder& folder) {
  for (int sheet = 1; sheet <= 2; ++sheet) {
    vgrtest::WriteFile(folder / ("monsters" + std::to_string(sheet) + ".tga"),
                       imgfix::MakeTGA24(128, 16, [sheet](int x, int) { return CellColour(sheet, x / 32); }));
  }
  vgrtest::WriteFile(folder / "moreblk.tga", imgfix::MakeStrip(7, 16, 16, {0x07, 0x00}));
  WritePicture(folder, "wall.tga", 0x808080);
}

// Lines joined with line feeds.
inline std::string Lines(const std::vector<std::string>& lines) {
  std::string s;
  for (const auto& l : lines) s += l + "\n";
  return s;
}

// A folder with a display, a log and the basic pictures.
class TDefinitionsFixture {
 public:
  TDefinitionsFixture() { WriteBasePictures(Folder); }
  ~TDefinitionsFixture() { Resources.reset(); }

  void WriteObjects(const std::vector<std::string>& lines) { vgrtest::WriteFile(Folder / "objects.lst", Lines(lines)); }
  void WriteMonsters(const std::vector<std::string>& lines) {
    vgrtest::WriteFile(Folder / "monsters.txt", Lines(lines));
  }
  // Log lines that contain `text`.
  std::vector<std::string> LogWith(const std::string& text) const { return imgfix::Containing(Log.Lines(), text); }

  vgrtest::TScopedLog Log;
  imgfix::TDisplay Display;
  imgfix::TInFolder Folder;
};

// The exit code of the Halt that `action` ends in, or -1 when it returns.
template <class F>
int HaltCode(F action) {
  try {
    action();
  } catch (const THaltRequest& h) {
    return h.ExitCode;
  }
  return -1;
}

}  // namespace vgrfix
