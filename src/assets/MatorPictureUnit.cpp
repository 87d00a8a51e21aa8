#include "MatorPictureUnit.h"

#include "RawPictureUnit.h"
#include "RiffReaderUnit.h"
#include "ZRStream3.h"

std::unique_ptr<TMatorPicture> MatorPicture;

void TMatorPicture::Clear() {
  Version = 0;
  FrameWidth = 0;
  FrameHeight = 0;
  Palette.Clear();
  Frames.clear();
}

bool TMatorPicture::LoadFromStream(TStream& stream, std::string& error) {
  Clear();
  TRiffReader file(stream);
  bool found = false;
  while (!found && file.Next()) found = file.ChunkID() == "MATR";
  if (!found) {
    error = file.Broken() ? "Unexpected end of file!" : "Not a MATOR file!";
    return false;
  }
  // Frames may come before the frame size; they are decoded at the end.
  std::vector<std::vector<uint8_t>> frameData;
  bool haveSize = false;
  TRiffReader list = file.SubReader();
  while (list.Next()) {
    const std::string& id = list.ChunkID();
    if (id == "VERS") {
      uint32_t v = 0;
      if (!list.ReadDataU32(0, v)) {
        error = "Damaged VERS chunk!";
        return false;
      }
      Version = static_cast<int32_t>(v);
    } else if (id == "MAIN") {
      uint32_t w = 0;
      uint32_t h = 0;
      if (!list.ReadDataU32(0, w) || !list.ReadDataU32(4, h)) {
        error = "Damaged MAIN chunk!";
        return false;
      }
      if (w < 1 || h < 1 || w > MaxFrameSide || h > MaxFrameSide) {
        error = "Invalid frame size! (" + std::to_string(w) + "x" + std::to_string(h) + ")";
        return false;
      }
      FrameWidth = static_cast<int32_t>(w);
      FrameHeight = static_cast<int32_t>(h);
      haveSize = true;
    } else if (id == "PALE") {
      if (!Palette.LoadFromData(list.ChunkData())) {
        error = "Damaged palette!";
        return false;
      }
    } else if (id == "FRAM") {
      if (frameData.size() >= static_cast<size_t>(MaxFrames)) {
        error = "Too many frames!";
        return false;
      }
      frameData.push_back(list.ChunkData());
    }
  }
  if (list.Broken()) {
    error = "Unexpected end of file!";
    return false;
  }
  if (!haveSize) {
    error = "Frame size missing!";
    return false;
  }
  if (frameData.empty()) {
    error = "No frames!";
    return false;
  }
  for (const auto& data : frameData) {
    auto frame = std::make_unique<TFrame>();
    if (!frame->LoadFromData(data, FrameWidth, FrameHeight)) {
      error = "Frame data too short! (frame " + std::to_string(Frames.size()) + ")";
      return false;
    }
    Frames.push_back(std::move(frame));
  }
  return true;
}

bool TMatorPicture::ToRawPicture(TRawPicture& picture, std::string& error) const {
  const int64_t frames = static_cast<int64_t>(Frames.size());
  const int64_t width = frames * FrameWidth;
  picture.Clear();
  if (frames == 0 || width > MaxPictureSide || FrameHeight < 1) {
    error = "Invalid picture size! (" + std::to_string(width) + "x" + std::to_string(FrameHeight) + ")";
    return false;
  }
  if (!picture.SetSize(static_cast<int32_t>(width), FrameHeight)) {
    error = "Not enough memory for the picture!";
    return false;
  }
  for (int32_t f = 0; f < static_cast<int32_t>(frames); ++f) {
    const TFrame& frame = *Frames[static_cast<size_t>(f)];
    for (int32_t y = 0; y < FrameHeight; ++y) {
      for (int32_t x = 0; x < FrameWidth; ++x) {
        const uint32_t c = Palette.Color(frame.Index(x, y));
        uint8_t* p = picture.PixelAt(f * FrameWidth + x, y);
        p[0] = static_cast<uint8_t>(c >> 16);
        p[1] = static_cast<uint8_t>(c >> 8);
        p[2] = static_cast<uint8_t>(c);
      }
    }
  }
  if (frames > 1) {
    picture.SetExtraType(etShort);
    picture.SetExtraByte(0, static_cast<uint8_t>(frames & 0xFF));
    picture.SetExtraByte(1, static_cast<uint8_t>((frames >> 8) & 0x0F));
  } else {
    picture.SetExtraType(etNone);
  }
  return true;
}

// The picture's MATOR reader lives here, beside the decoder it hands over to,
// so that the picture unit does not depend on this one.
void TRawPicture::ReadMATOR(TStream& s) {
  Clear();
  TMatorPicture local;
  TMatorPicture& reader = MatorPicture ? *MatorPicture : local;
  std::string error;
  const bool ok = reader.LoadFromStream(s, error) && reader.ToRawPicture(*this, error);
  reader.Clear();
  if (!ok) Fail(error, "RawPictureUnit, TRawPicture.ReadMATOR");
}

void MatorPictureUnit_Startup() { MatorPicture = std::make_unique<TMatorPicture>(); }

void MatorPictureUnit_Shutdown() { MatorPicture.reset(); }
