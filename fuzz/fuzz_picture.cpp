// Every picture reader: the first byte picks the reader (BMP, CEL, MI, TGA,
// KEP, K16, MATOR, GSD), the rest is the file. A picture that decodes is
// turned into an image with its collision mask, as the image loader does.
#include "FuzzSupport.h"
#include "RawPictureUnit.h"
#include "ZR_SDL.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::OpenDisplay();
  if (size == 0) return 0;
  auto s = fuzz::StreamOf(data + 1, size - 1);
  TRawPicture picture;
  switch (data[0] % 8) {
    case prBMP: picture.ReadBMP(*s); break;
    case prCEL: picture.ReadCEL(*s); break;
    case prMI: picture.ReadMI(*s); break;
    case prTGA: picture.ReadTGA(*s); break;
    case prKEP: picture.ReadKEP(*s); break;
    case prK16: picture.ReadK16(*s); break;
    case prMATOR: picture.ReadMATOR(*s); break;
    default: picture.ReadGSD(*s); break;
  }
  if (static_cast<int64_t>(picture.Pixels.size()) != int64_t{picture.Width} * picture.Height * 3)
    fuzz::Fail("pixel buffer does not match the picture's size");
  if (picture.Width > 0 && picture.Height > 0 && picture.Width <= 2048 && picture.Height <= 2048) {
    TImagePtr image = CreateImageFromRawPicture(picture);
    if (image) TMaskPtr mask = CreateMaskFromImage(image.get());
  }
  return 0;
}
