#pragma once
// The in-memory picture every image passes through on its way from a file to
// a surface, and the readers of the picture formats. Pixels are kept as blue,
// green, red bytes, rows top to bottom, without padding, which is the order
// the surfaces use.
//
// Readers never throw for bad data. A file that is not of the reader's
// format (wrong magic, unsupported header) leaves the picture unchanged; a
// file that turns out damaged later (truncated, sizes beyond the limits,
// run-length data crossing the end of the picture) leaves an empty picture
// (Width 0: a failed load). Either way one warning goes to the run log with
// the reader's location; the TGA decoder writes its format complaints to
// standard output instead.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

class TStream;

// Neither side of a decoded picture may exceed this.
constexpr int32_t MaxPictureSide = 16384;
// No picture's pixels may take more bytes than this (64 MiB by default).
// Fuzzing lowers it: the paths are the same for small pictures, and inputs
// that grow pictures to the limit would otherwise take most of the time.
// Returns the previous limit.
int64_t SetMaxPictureBytes(int64_t bytes);
// Whether a picture of this size keeps both limits.
bool PictureSizeAllowed(int64_t width, int64_t height);
// The size of the last picture refused for its size, right after its header
// was read (before any pixel was decoded), and forgets it; false when none
// was refused since the last call. A caller that lowers the limit for one
// load learns from it why the load gave nothing.
bool TakeSizeRefusal(int32_t& width, int32_t& height);

// Kinds of attribute block.
enum : int32_t {
  etNone = 0,      // no block
  etShort = 1,     // 2 bytes: frame count and flags
  etLong = 2,      // 16 bytes: also attribute bytes A and B, start frame
  etExtended = 3,  // 32 flag bytes plus 8 appended bytes per set bit
  etUnknown = 255,
};

// Bits of attribute byte 1.
constexpr uint8_t AttrFlagB = 0x10;
constexpr uint8_t AttrRandomStart = 0x20;
constexpr uint8_t AttrColorKeyed = 0x40;
constexpr uint8_t AttrFlagC = 0x80;
// Bit of attribute byte 6 (long block, TGA): frames stored stacked vertically.
constexpr uint8_t AttrStackedFrames = 0x80;

class TRawPicture {
 public:
  TRawPicture() = default;
  // A picture of that size with black pixels; a size beyond the limits gives
  // an empty picture.
  TRawPicture(int32_t width, int32_t height);
  virtual ~TRawPicture() = default;

  int32_t Width = 0;
  int32_t Height = 0;
  // Width * Height * 3 bytes: blue, green, red.
  std::vector<uint8_t> Pixels;
  int32_t ExtraType = etNone;
  std::vector<uint8_t> Extra;

  // The attribute byte, or 0 outside the block.
  uint8_t GetExtraByte(int32_t index) const;
  // Stores the byte when index lies inside the block.
  void SetExtraByte(int32_t index, uint8_t value);
  // Sizes the block for types 0 to 3 (0, 2, 16, 32 bytes); any other type
  // becomes 255 and leaves the block as it is.
  void SetExtraType(int32_t type);
  // Frame count of the attribute block (bytes 0 and 1, 12 bits).
  int32_t FrameCount() const;

  // Releases pixels and attribute block: Width and Height 0, ExtraType 0.
  void Clear();
  // Gives the picture a new size with black pixels, keeping the attribute
  // block; false, leaving an empty picture, when a side is negative or
  // beyond MaxPictureSide or memory runs out.
  bool SetSize(int32_t width, int32_t height);
  // The three bytes of pixel (x, y); no bounds check.
  uint8_t* PixelAt(int32_t x, int32_t y) { return Pixels.data() + (static_cast<size_t>(y) * Width + x) * 3; }
  const uint8_t* PixelAt(int32_t x, int32_t y) const {
    return Pixels.data() + (static_cast<size_t>(y) * Width + x) * 3;
  }

  // Readers: from an open stream (read from its current position), or by
  // name through the stream lookup, adding the default extension when the
  // name has none.
  void ReadBMP(TStream& stream);
  void ReadBMP(const std::string& fileName);
  void ReadCEL(TStream& stream);
  void ReadCEL(const std::string& fileName);
  void ReadMI(TStream& stream);
  void ReadMI(const std::string& fileName);
  void ReadTGA(TStream& stream);
  void ReadTGA(const std::string& fileName);
  void ReadKEP(TStream& stream);
  void ReadKEP(const std::string& fileName);
  void ReadK16(TStream& stream);
  void ReadK16(const std::string& fileName);
  void ReadMATOR(TStream& stream);
  void ReadMATOR(const std::string& fileName);
  void ReadGSD(TStream& stream);
  void ReadGSD(const std::string& fileName);

  // Transformation strings: mirror, rotate, invert, double; an animated
  // picture is transformed frame by frame.
  void MultiTransform(const std::string& commands);
  // Runs the commands other than "D" handling on this single picture.
  void MultiTransformEx(const std::string& commands);

 private:
  // Empties the picture and logs `msg` at `location`: a failed load.
  void Fail(const std::string& msg, const char* location);
  // Clears and sizes the picture; on refusal logs the reason at `location`.
  bool Allocate(int32_t width, int32_t height, const char* location);
  void ReadMI100(TStream& stream);
  void RestackFrames();
};

// The fixed 256-entry colour table of the KEP reader: red, green, blue.
extern const std::array<uint8_t, 768> FixedPalette;

// The extension table of the image loader: key, value pairs and a trailing
// answer for names that match no key.
extern const char* const PictureExtensionTable;
// Reader numbers of that table.
enum TPictureReader : int32_t {
  prBMP = 0, prCEL = 1, prMI = 2, prTGA = 3, prKEP = 4, prK16 = 5, prMATOR = 6, prGSD = 7, prNone = -1
};
// The reader for an extension (without dot, any letter case), or prNone.
TPictureReader PictureReaderOf(const std::string& extension);
// Text after the last "." of the name, upper-cased; empty without a dot.
std::string PictureExtension(const std::string& fileName);
// Calls the by-name reader that the file name's extension selects; false
// (picture untouched) when no reader handles that extension.
bool ReadPictureFile(TRawPicture& picture, const std::string& fileName);

// A picture name as the image loader takes it apart: "file[a..b]:HV".
struct TPictureName {
  std::string FileName;
  std::string Transform;
  int32_t FirstFrame = -1;  // -1: no selection, or not a number
  int32_t LastFrame = -1;
};
TPictureName ParsePictureName(const std::string& name);

// Writes the picture as a Windows version 3 BMP of 24 bits per pixel (rows
// bottom up, padded to four bytes); the attribute block is not stored.
// False when the stream refuses the data or the picture is empty.
bool WriteBMP24(const TRawPicture& picture, TStream& stream);

void RawPictureUnit_Startup();
