// Every picture reader: the low three bits of the first byte pick the reader
// (BMP, CEL, MI, TGA, KEP, K16, MATOR, GSD), the rest is the file. Bit 7
// reads the file by name, as the image loader does: with bit 6 the reader is
// given a bare name and adds its own extension, without it the extension of
// a picture name picks the reader. A picture that decodes is turned into an
// image with its collision mask, as the image loader does, and a small one
// must come back unchanged from a 24-bit BMP.
#include "FuzzSupport.h"
#include "RawPictureUnit.h"
#include "ZRINIFile.h"
#include "ZR_SDL.h"

namespace {

// The readers take a stream or a name alike; `source` picks the overload.
template <class TSource>
void Read(TRawPicture& picture, TPictureReader reader, TSource&& source) {
  switch (reader) {
    case prBMP: picture.ReadBMP(source); break;
    case prCEL: picture.ReadCEL(source); break;
    case prMI: picture.ReadMI(source); break;
    case prTGA: picture.ReadTGA(source); break;
    case prKEP: picture.ReadKEP(source); break;
    case prK16: picture.ReadK16(source); break;
    case prMATOR: picture.ReadMATOR(source); break;
    default: picture.ReadGSD(source); break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::OpenDisplay();
  static const bool entered = (fuzz::EnterScratch(), true);
  (void)entered;
  if (size == 0) return 0;
  const auto reader = static_cast<TPictureReader>(data[0] % 8);
  TRawPicture picture;
  if (data[0] & 0x80) {
    static const char* const extensions[] = {"bmp", "cel", "mi", "tga", "kep", "k16", "mator", "gsd"};
    const std::string file = std::string("p.") + extensions[reader];
    if (!fuzz::WriteScratch(file, data + 1, size - 1)) fuzz::Fail("cannot write the picture file");
    if (data[0] & 0x40) {
      Read(picture, reader, std::string("p"));
    } else {
      // Upper case, with a frame selection and transformations that the
      // name parser must take off before the extension is looked at.
      const TPictureName name = ParsePictureName("P." + UpperCase(extensions[reader]) + "[0..1]:HV");
      if (!ReadPictureFile(picture, name.FileName)) fuzz::Fail("no reader for a picture extension");
    }
    fuzz::RemoveScratch(file);
  } else {
    auto s = fuzz::StreamOf(data + 1, size - 1);
    Read(picture, reader, *s);
  }
  if (static_cast<int64_t>(picture.Pixels.size()) != int64_t{picture.Width} * picture.Height * 3)
    fuzz::Fail("pixel buffer does not match the picture's size");
  if (picture.Width > 0 && picture.Height > 0 && picture.Width <= 2048 && picture.Height <= 2048) {
    TImagePtr image = CreateImageFromRawPicture(picture);
    if (image) TMaskPtr mask = CreateMaskFromImage(image.get());
  }
  // The BMP reader takes rows of at most 16384 bytes, 5461 pixels at 24 bits.
  if (picture.Width > 0 && picture.Height > 0 && picture.Width * 3 <= 16384 &&
      int64_t{picture.Width} * picture.Height <= 65536) {
    TMemoryStream bmp;
    if (!WriteBMP24(picture, bmp)) fuzz::Fail("a decoded picture cannot be written as a BMP");
    bmp.SetPosition(0);
    TRawPicture again;
    again.ReadBMP(bmp);
    if (again.Width != picture.Width || again.Height != picture.Height || again.Pixels != picture.Pixels)
      fuzz::Fail("a " + std::to_string(picture.Width) + " by " + std::to_string(picture.Height) +
                 " picture written as a BMP reads back as " + std::to_string(again.Width) + " by " +
                 std::to_string(again.Height) + (again.Pixels == picture.Pixels ? "" : " with other pixels"));
  }
  return 0;
}
