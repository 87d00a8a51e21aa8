#pragma once
// Small pictures written as TGA files, an open display for the tests that
// make images, and pixel helpers for images.

#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "../assets/PictureFixtures.h"
#include "MAD4HighLevelUnit.h"
#include "MAD4MidLevelUnit.h"
#include "ZRStream3.h"
#include "ZR_SDL.h"

namespace imgfix {

using picfix::Bytes;

// A 24-bit top-down TGA of `width` by `height`, the colour of each pixel
// given by `colour(x, y)` as 0xRRGGBB, with `attributes` as its ID field
// (2 bytes: short attribute block, 16: long block).
inline Bytes MakeTGA24(int width, int height, const std::function<uint32_t(int, int)>& colour,
                       const Bytes& attributes = {}) {
  picfix::TGAHeader h;
  h.Width = static_cast<uint16_t>(width);
  h.Height = static_cast<uint16_t>(height);
  Bytes body;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      Bytes p = picfix::BGR(colour(x, y));
      body.insert(body.end(), p.begin(), p.end());
    }
  return picfix::MakeTGA(h, attributes, body);
}

// A strip of `frames` frames of `fw` by `h` pixels; frame f is filled with
// FrameColour(f) except for a black pixel at its top left.
inline uint32_t FrameColour(int f) { return 0x102030u * static_cast<uint32_t>(f + 1); }
inline Bytes MakeStrip(int frames, int fw, int h, const Bytes& attributes) {
  return MakeTGA24(frames * fw, h, [fw](int x, int y) { return (x % fw == 0 && y == 0) ? 0u : FrameColour(x / fw); },
                   attributes);
}

// 0xRRGGBB of the image pixel at (x, y).
inline uint32_t ImagePx(PImage image, int x, int y) {
  uint8_t r = 0, g = 0, b = 0;
  LockSurface(image->Surface);
  const uint32_t v = GetPixel(image->Surface, x, y);
  UnlockSurface(image->Surface);
  GetColor(image->Surface, v, r, g, b);
  return (static_cast<uint32_t>(r) << 16) | (static_cast<uint32_t>(g) << 8) | b;
}

// The display the images are made for, open for one test.
class TDisplay {
 public:
  TDisplay() {
    ClearKeys();
    Initialize(640, 400, 32, VF_BACKBUFFER);
  }
  ~TDisplay() {
    if (ScreenSurface) Finalize();
  }
  TDisplay(const TDisplay&) = delete;
  TDisplay& operator=(const TDisplay&) = delete;
};

// Runs the test in a fresh scratch folder, so that pictures are found by
// bare names; the folder goes away with the object.
class TInFolder {
 public:
  TInFolder() {
    std::string templ = (std::filesystem::temp_directory_path() / "vgr-images-XXXXXX").string();
    if (mkdtemp(templ.data()) != nullptr) Dir_ = templ + "/";
    char buf[4096];
    Old_ = getcwd(buf, sizeof buf) ? buf : "/";
    if (Dir_.empty() || chdir(Dir_.c_str()) != 0) Old_.clear();
  }
  ~TInFolder() {
    if (!Old_.empty() && chdir(Old_.c_str()) != 0) {
    }
    std::error_code ec;
    if (!Dir_.empty()) std::filesystem::remove_all(Dir_, ec);
  }
  TInFolder(const TInFolder&) = delete;
  TInFolder& operator=(const TInFolder&) = delete;
  std::string operator/(const std::string& name) const { return Dir_ + name; }

 private:
  std::string Dir_;
  std::string Old_;
};

inline std::vector<std::string> Containing(const std::vector<std::string>& lines, const std::string& needle) {
  std::vector<std::string> out;
  for (const auto& l : lines)
    if (l.find(needle) != std::string::npos) out.push_back(l);
  return out;
}

// Writes an archive holding the members, stored uncompressed.
inline bool WriteArchive(const std::string& fileName, const std::vector<std::pair<std::string, Bytes>>& members) {
  TMAD4MidLevel archive;
  archive.Mount(fileName, false);
  if (!archive.Mounted) return false;
  for (const auto& [name, data] : members) {
    TMemoryStream s;
    // Sized first: GCC 12 warns falsely about a range insert after one byte.
    s.Data.reserve(1 + name.size() + data.size());
    s.Data.push_back(static_cast<uint8_t>(name.size()));
    s.Data.insert(s.Data.end(), name.begin(), name.end());
    s.Data.insert(s.Data.end(), data.begin(), data.end());
    if (archive.StoreFile(kFourCC_RAWD, s) < 0) return false;
  }
  archive.Unmount();
  return true;
}

// The archive as the lookup's volume set while the object lives.
class TArchiveMounted {
 public:
  explicit TArchiveMounted(const std::string& fileName) : Previous_(MAD4Volumes) {
    Volumes_.Mount(fileName, 100, true);
    MAD4Volumes = &Volumes_;
  }
  ~TArchiveMounted() { MAD4Volumes = Previous_; }
  TArchiveMounted(const TArchiveMounted&) = delete;
  TArchiveMounted& operator=(const TArchiveMounted&) = delete;

 private:
  TMAD4HighLevel Volumes_;
  TMAD4HighLevel* Previous_;
};

}  // namespace imgfix
