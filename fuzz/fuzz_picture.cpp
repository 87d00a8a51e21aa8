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

void ReadFrom(TRawPicture& picture, TPictureReader reader, TStream& s) {
  switch (reader) {
    case prBMP: picture.ReadBMP(s); break;
    case prCEL: picture.ReadCEL(s); break;
    case prMI: picture.ReadMI(s); break;
    case prTGA: picture.ReadTGA(s); break;
    case prKEP: picture.ReadKEP(s); break;
    case prK16: picture.ReadK16(s); break;
    case prMATOR: picture.ReadMATOR(s); break;
    default: picture.ReadGSD(s); break;
  }
}

void ReadNamed(TRawPicture& picture, TPictureReader reader, const std::string& name) {
  switch (reader) {
    case prBMP: picture.ReadBMP(name); break;
    case prCEL: picture.ReadCEL(name); break;
    case prMI: picture.ReadMI(name); break;
    case prTGA: picture.ReadTGA(name); break;
    case prKEP: picture.ReadKEP(name); break;
    case prK16: picture.ReadK16(name); break;
    case prMATOR: picture.ReadMATOR(name); break;
    default: picture.ReadGSD(name); break;
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
      ReadNamed(picture, reader, "p");
    } else {
      // Upper case, with a frame selection and transformations that the
      // name parser must take off before the extension is looked at.
      const TPictureName name = ParsePictureName("P." + UpperCaseASCII(extensions[reader]) + "[0..1]:HV");
      if (!ReadPictureFile(picture, name.FileName)) fuzz::Fail("no reader for a picture extension");
    }
    fuzz::RemoveScratch(file);
  } else {
    auto s = fuzz::StreamOf(data + 1, size - 1);
    ReadFrom(picture, reader, *s);
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
