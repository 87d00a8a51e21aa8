#pragma once
// Pictures of the MATOR format: a chunk file whose "MATR" chunk holds a
// version, the frame size, a palette and one chunk per frame. The program
// keeps one shared reader, created at start-up.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "FrameUnit.h"
#include "PaletteUnit.h"

class TStream;
class TRawPicture;

class TMatorPicture {
 public:
  static constexpr int32_t MaxFrameSide = 64;
  // The attribute block holds the frame count in 12 bits.
  static constexpr int32_t MaxFrames = 4095;

  // Reads the chunk file from the stream's current position to its end.
  // False when it is not a MATOR picture or is damaged; `error` then tells
  // why.
  bool LoadFromStream(TStream& stream, std::string& error);
  // The frames side by side, frame 0 at the left, indexes replaced by their
  // colours; with more than one frame a short attribute block carries the
  // frame count. False (with `error`) when the strip would be too wide.
  bool ToRawPicture(TRawPicture& picture, std::string& error) const;
  void Clear();

  int32_t Version = 0;
  int32_t FrameWidth = 0;
  int32_t FrameHeight = 0;
  TPalette Palette;
  std::vector<std::unique_ptr<TFrame>> Frames;
};

// The shared reader; null before start-up and after shutdown.
extern std::unique_ptr<TMatorPicture> MatorPicture;

void MatorPictureUnit_Startup();
void MatorPictureUnit_Shutdown();
