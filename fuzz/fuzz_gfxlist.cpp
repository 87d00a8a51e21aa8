// GFX lists in both layouts: every line names a picture, an item name and
// maybe a mask. Two small pictures lie in the working folder so that lines
// can name something that loads.
#include <cstring>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "RawPictureUnit.h"
#include "ImageCollectionUnit.h"

namespace {

void WriteTGA(const std::string& name, int w, int h) {
  std::vector<uint8_t> f(18, 0);
  f[2] = 2;  // true colour
  f[12] = static_cast<uint8_t>(w);
  f[14] = static_cast<uint8_t>(h);
  f[16] = 24;
  f[17] = 0x20;  // top down
  for (int i = 0; i < w * h; ++i) {
    f.push_back(static_cast<uint8_t>(i));
    f.push_back(static_cast<uint8_t>(i * 3));
    f.push_back(static_cast<uint8_t>(i & 1 ? 0 : 200));
  }
  fuzz::WriteScratch(name, f.data(), f.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::OpenDisplay();
  static const bool entered = (fuzz::EnterScratch(), true);
  (void)entered;
  // Doubling would otherwise grow pictures to the 64 MiB limit. Every path
  // of a transformation, the refusal to grow included, is met on small
  // pictures; large ones only multiply the time an input takes.
  static const int64_t unused = SetMaxPictureBytes(32 << 10);
  (void)unused;
  // A budget of a few pictures, so that a longer list meets the refusal
  // of pictures past it.
  static const int64_t budget = SetImageBudgetBytes(4 << 10);
  (void)budget;
  static bool pictures = false;
  if (!pictures) {
    pictures = true;
    WriteTGA("a.tga", 8, 4);
    WriteTGA("b.tga", 16, 16);
  }
  TImageCollection images;
  // Lists come from streams and from files by name; odd sizes take the file.
  if (size % 2 == 1 && fuzz::WriteScratch("gfx.lst", data, size)) {
    images.AddByList(fuzz::Scratch("gfx.lst"));
  } else {
    auto s = fuzz::StreamOf(data, size);
    images.AddByList(*s);
  }
  if (images.Count() > 0) images.AssignMask(images.GetItem(0)->Name, nullptr);
  images.AssignMask("no such item", nullptr);
  images.Add("a.tga", "extra");
  for (int32_t i = 0; i < images.Count(); ++i) {
    TImageCollectionItem* item = images.GetItem(i);
    if (!item) fuzz::Fail("collection item missing");
  }
  images.Find("a");
  images.FindImage("B");
  images.ListItems();
  // Lines handed over as a list of strings, as the setup of a screen does.
  std::vector<std::string> lines;
  for (size_t at = 0; at < size && lines.size() < 8;) {
    const uint8_t* lf = static_cast<const uint8_t*>(std::memchr(data + at, '\n', size - at));
    const size_t end = lf ? static_cast<size_t>(lf - data) : size;
    lines.emplace_back(reinterpret_cast<const char*>(data + at), end - at);
    at = end + 1;
  }
  TImageCollection fromLines;
  fromLines.AddByList(lines);
  // The program's own list is a section of its INI file.
  if (size > 0 && data[0] == '[') {
    fuzz::WriteScratch("gfx.ini", data, size);
    TImageCollection fromIni;
    fromIni.AddByList(fuzz::Scratch("gfx.ini"), "GFX");
    fromIni.AddByList(fuzz::Scratch("gfx.ini"), "Count");  // not a list section
  }
  return 0;
}
