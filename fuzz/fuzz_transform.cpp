// Picture names with frame selections and transformation strings: the first
// three bytes give a small picture (width, height, frame count), the rest is
// the name whose selection and transformations are applied to it.
#include <string>

#include "FuzzSupport.h"
#include "RAWTRANSFORM.h"
#include "RawPictureUnit.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Start();
  // Doubling would otherwise grow pictures to the 64 MiB limit. Every path
  // of a transformation, the refusal to grow included, is met on small
  // pictures; large ones only multiply the time an input takes.
  static const int64_t unused = SetMaxPictureBytes(32 << 10);
  (void)unused;
  fuzz::TInput in(data, size);
  const int32_t w = in.Byte() % 48, h = in.Byte() % 48;
  const uint8_t frames = in.Byte() % 8;
  const std::vector<uint8_t> rest = in.Rest();
  const std::string text(rest.begin(), rest.end());
  const TPictureName name = ParsePictureName(text);
  TRawPicture picture(w, h);
  picture.SetExtraType(etShort);
  picture.SetExtraByte(0, frames);
  for (size_t i = 0; i < picture.Pixels.size(); ++i) picture.Pixels[i] = static_cast<uint8_t>(i * 7);
  picture.MultiTransform(name.Transform);
  if (static_cast<int64_t>(picture.Pixels.size()) != int64_t{picture.Width} * picture.Height * 3)
    fuzz::Fail("pixel buffer does not match the picture's size");
  // The letters are gathered before they touch the pixels; applied one by
  // one they must give the same picture.
  TRawPicture single(w, h), stepwise(w, h);
  for (size_t i = 0; i < single.Pixels.size(); ++i) single.Pixels[i] = stepwise.Pixels[i] = static_cast<uint8_t>(i * 5);
  single.MultiTransformEx(text);
  if (text.size() <= 64) {
    for (char c : text) TransformRawImage(stepwise, c);
    if (single.Width != stepwise.Width || single.Height != stepwise.Height || single.Pixels != stepwise.Pixels)
      fuzz::Fail("gathered transformations differ from the letters applied in turn");
  }
  return 0;
}
