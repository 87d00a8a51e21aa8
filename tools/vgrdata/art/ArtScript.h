#pragma once
// The game's pictures are drawn from text sources in data/art/: a palette
// file ("*.pal") names every colour the game may use, and picture files
// ("*.art") draw each picture with pixel grids and a few named shapes in
// those colours. `TArtBook` reads them all, renders a picture on demand (a
// picture may stamp others) and writes the ones that name an output file as
// TGA files with the attribute block the game reads.
//
// Palette line:   KEY rrggbb NAME [dark=KEY] [light=KEY]
//   KEY is one character used in grids; "_" is reserved for black, which
//   colour-keyed images show as transparent. dark/light name the next tone
//   of the same material, used by shading.
//
// Picture block:  picture NAME WxH [out=FILE] [frames=N] [key] [random]
//                 [loop] [pause] [delay=A] [hold=B] [start=S]
//                 ...commands...
//                 end
// Commands draw into the current frame (frame 0 at first); coordinates are
// relative to its top left corner and clipped to it. See kArtHelp.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

class TRawPicture;

namespace vgrdata {

extern const char* const kArtHelp;

struct TArtColor {
  char Key = '_';
  uint8_t R = 0, G = 0, B = 0;
  std::string Name;
  int Dark = 0;   // index of the darker tone (0: none, stays)
  int Light = 0;  // index of the lighter tone
};

class TArtPalette {
 public:
  TArtPalette();
  // Reads palette lines; false with "file:line: reason" in `error`.
  bool Parse(const std::string& text, const std::string& fileName, std::string& error);
  // Index of a colour by grid key or by name; -1 when unknown.
  int ByKey(char key) const;
  int ByName(const std::string& name) const;
  // A key ("k"), a name ("outline") or "_"/"none" for black.
  int Resolve(const std::string& token) const;
  const TArtColor& At(int index) const { return Colors_[static_cast<size_t>(index)]; }
  int Size() const { return static_cast<int>(Colors_.size()); }

 private:
  std::vector<TArtColor> Colors_;  // index 0: black
};

struct TArtPicture {
  std::string Name;
  std::string Out;  // output file, "\" separated as in the archive; empty: helper only
  int Width = 0;
  int Height = 0;
  int Frames = 0;  // 0: not animated
  bool Key = false, Random = false, Loop = false, Pause = false;
  int Delay = -1, Hold = -1, Start = -1;  // any of them set: long attribute block
  std::vector<uint8_t> Pixels;            // palette indexes, 0 = black

  int FrameWidth() const { return Frames > 1 ? Width / Frames : Width; }
  uint8_t At(int x, int y) const { return Pixels[static_cast<size_t>(y) * Width + x]; }
};

class TArtBook {
 public:
  TArtBook();
  ~TArtBook();

  // Folder of the outline fonts the "text" command uses.
  std::string FontDir = "/usr/share/fonts/truetype/dejavu";

  // Adds a palette (".pal") or picture file; false with the reason.
  bool AddFile(const std::string& fileName, std::string& error);
  bool AddText(const std::string& text, const std::string& fileName, std::string& error);

  // Renders the picture (and whatever it stamps); null with the reason.
  const TArtPicture* Get(const std::string& name, std::string& error);
  // The picture last asked for that no source defines (a stamp of a picture
  // from a file not given); empty while there was none.
  const std::string& MissingPicture() const { return Missing_; }
  // Names of all pictures, in the order they were defined.
  const std::vector<std::string>& Names() const { return Order_; }
  const TArtPalette& Palette() const { return Palette_; }

  // The picture as the game's reader would return it: 24-bit pixels and the
  // attribute block.
  void ToRawPicture(const TArtPicture& picture, TRawPicture& raw) const;
  // Renders every picture and writes those with an output file under
  // `outDir`; returns the files written or -1 with the reason.
  int WriteAll(const std::string& outDir, std::string& error, std::vector<std::string>* written = nullptr);

 private:
  struct TBlock;
  bool Render(TBlock& block, std::string& error);

  TArtPalette Palette_;
  bool HavePalette_ = false;
  std::map<std::string, std::unique_ptr<TBlock>> Blocks_;
  static constexpr size_t kPixelBudget = size_t(64) * 1024 * 1024;
  size_t PixelsInUse_ = 0;
  std::vector<std::string> Order_;
  std::string Missing_;
};

}  // namespace vgrdata
