#pragma once
// A professor on a level drawn as text in the test: one character per cell,
// the strings starting at map column 1, with object definitions and
// professor pictures made by code.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ImageCollectionUnit.h"
#include "VGRMapUnit.h"
#include "VGRPlayerUnit.h"
#include "VGRResourceFixtures.h"

namespace proffix {

// Object numbers of the test definitions.
constexpr int kSolid = 1;
constexpr int kWire = 2;
constexpr int kBurntWire = 3;  // the wire's next number: solid
constexpr int kIce = 4;
constexpr int kTransporter = 5;
constexpr int kSlowFloor = 6;
constexpr int kTrapdoor = 7;
constexpr int kFirstPiece = 11;  // 11..17: pieces 1..7
constexpr int kSpring = 20;
constexpr int kExit = 21;
constexpr int kBackground = 30;

// '#' solid, 'w' wire, 'i' ice, 't' transporter, 's' slow floor,
// 'd' trapdoor, '1'..'7' body pieces, 'S' spring, 'E' exit.
inline int ObjectOf(char c) {
  switch (c) {
    case '#': return kSolid;
    case 'w': return kWire;
    case 'i': return kIce;
    case 't': return kTransporter;
    case 's': return kSlowFloor;
    case 'd': return kTrapdoor;
    case 'S': return kSpring;
    case 'E': return kExit;
    default: return c >= '1' && c <= '7' ? kFirstPiece + (c - '1') : 0;
  }
}

// Left edge of the professor standing aligned over map column c, and his top
// when standing on map row r.
inline int32_t ColX(int c) { return 46 + 16 * c; }
inline int32_t RowY(int r) { return 16 * r - 8; }

// The colour of object n's picture.
inline uint32_t ObjColour(int n) { return 0x400000u + 0x0101u * static_cast<uint32_t>(n); }

// A screen point inside map cell (c, r).
inline int32_t CellX(int c) { return 48 + 16 * c + 4; }
inline int32_t CellY(int r) { return 24 + 16 * r + 4; }

class TProfFixture : public vgrfix::TDefinitionsFixture {
 public:
  TProfFixture() {
    std::vector<std::string> objects = {">1,1",   "%1",      "#EMPTY,0", "#SOLID,1",  "#WIRE,2",   "#ICE,3",
                                        "#TRANS,4", "#SLOW,5", "#TRAP,6",  "#SPRING,15", "#EXIT,16"};
    for (int k = 1; k <= 7; ++k) objects.push_back("#P" + std::to_string(k) + "," + std::to_string(6 + k));
    const std::vector<std::pair<int, std::string>> defs = {
        {kSolid, "solid"},     {kWire, "wire"},    {kBurntWire, "solid"}, {kIce, "ice"},
        {kTransporter, "trans"}, {kSlowFloor, "slow"}, {kTrapdoor, "trap"}, {kSpring, "spring"},
        {kExit, "exit"},       {kBackground, "empty"}};
    auto add = [&](int n, const std::string& type) {
      vgrfix::WritePicture(Folder, "o" + std::to_string(n) + ".tga", ObjColour(n));
      objects.push_back("o" + std::to_string(n) + ".tga," + std::to_string(n) + "," + type);
    };
    for (const auto& [n, type] : defs) add(n, type);
    for (int k = 0; k < 7; ++k) add(kFirstPiece + k, "p" + std::to_string(k + 1));
    objects.push_back("!END");
    WriteObjects(objects);
    WriteMonsters({"MONS01a,1,0"});
    Resources = std::make_unique<TResources>();

    SavedCollection_ = std::move(ImageCollection);
    ImageCollection = std::make_unique<TImageCollection>();
    for (int right = 0; right < 2; ++right)
      for (int frame = 1; frame <= 5; ++frame) {
        const std::string name = std::string(right ? "ProfRight" : "ProfLeft") + std::to_string(frame);
        // Left pictures are drawn on the left half only, right ones on the
        // right half, so the masks tell the facings apart.
        const auto shade = static_cast<uint8_t>(0x20 * frame + 0x80 * right);
        AddPicture(name, right ? 10 : 0, right ? 19 : 9, shade, 0x40, 0x40);
        AddPicture(name + "White", 0, 19, 0xFF, 0xFF, 0xFF);
        AddPicture(name + "OutLn", 0, 0, 0x00, 0xFF, shade);
      }
    ClearKeys();
    ProfSoundTrace = [this](const char* name, bool started) {
      Sounds.push_back(std::string(started ? "" : "stop ") + name);
    };
  }
  ~TProfFixture() {
    ProfSoundTrace = nullptr;
    ClearKeys();
    Prof.reset();
    Map.reset();
    Background.reset();
    ImageCollection = std::move(SavedCollection_);
  }

  // The level: `rows` from map row `top` down; columns 0 and 33 are solid.
  void Build(const std::vector<std::string>& rows, int top) {
    Map = std::make_unique<TMap>();
    Map->Grow(TMap::Columns, TMap::Rows);
    for (int r = 0; r < TMap::Rows; ++r) {
      Map->SetLogicalTile(0, r, 1);
      Map->SetLogicalTile(TMap::Columns - 1, r, 1);
    }
    for (size_t i = 0; i < rows.size(); ++i)
      for (size_t k = 0; k < rows[i].size() && k < 32; ++k) {
        const int n = ObjectOf(rows[i][k]);
        const int c = static_cast<int>(k) + 1, r = top + static_cast<int>(i);
        Map->SetPhysicalTile(c, r, n);
        Map->SetLogicalTile(c, r, Resources->TypeOfNumber(n));
      }
    Map->BackgroundNumber = kBackground;
    for (int k = 0; k < 7; ++k) Map->PieceTiles[k] = kFirstPiece + k;
    Prof = std::make_unique<TProf>(126, 56);
    Prof->SetMap(Map.get());
    Background = CreateImageWH(516, 356);
    Prof->SetBackground(Background.get(), 62, 22);
    Prof->Reset();
  }

  // 'L' left, 'R' right, 'F' fire.
  static void Keys(const std::string& keys) {
    KeyState[TProf::KeyLeft] = keys.find('L') != std::string::npos;
    KeyState[TProf::KeyRight] = keys.find('R') != std::string::npos;
    KeyState[TProf::KeyFire] = keys.find('F') != std::string::npos;
  }

  static PImage Pic(const std::string& name) { return ImageCollection->FindImage(name); }

  // 0xRRGGBB of the back buffer and of the playfield copy at a screen point.
  static uint32_t Screen(int x, int y) { return vgrfix::ImagePx(BackImage, x, y); }
  uint32_t Back(int x, int y) const { return vgrfix::ImagePx(Background.get(), x - 62, y - 22); }

  std::unique_ptr<TMap> Map;
  std::unique_ptr<TProf> Prof;
  TImagePtr Background;
  std::vector<std::string> Sounds;

 private:
  void AddPicture(const std::string& name, int x1, int x2, uint8_t r, uint8_t g, uint8_t b) {
    TImagePtr image = CreateImageWH(TProf::Width, TProf::Height);
    ImageBar(image.get(), x1, 0, x2, TProf::Height - 1, r, g, b);
    SetImageColorKeyRLE(image.get());  // black is transparent, as in the game's pictures
    ImageCollection->Add(std::move(image), name);
  }

  std::unique_ptr<TImageCollection> SavedCollection_;
};

}  // namespace proffix
