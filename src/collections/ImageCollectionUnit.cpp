#include "ImageCollectionUnit.h"

#include <algorithm>

#include "DataNames.h"
#include "RawPictureUnit.h"
#include "Logger.h"
#include "ZRINIFile.h"
#include "ZRStream3.h"

std::unique_ptr<TImageCollection> ImageCollection;

namespace {
const char* const kFindLoc = "ImageCollectionUnit, TImageCollection.Find";
const char* const kAddLoc = "ImageCollectionUnit, TImageCollection.Add";
const char* const kAssignMaskLoc = "ImageCollectionUnit, TImageCollection.AssignMask";
const char* const kAddImageExLoc = "ImageCollectionUnit, TImageCollection.AddImageEx";
const char* const kAddByListLoc = "ImageCollectionUnit, TImageCollection.AddByList";
const char* const kListLoc = "ImageCollectionUnit, AddByList";
const char* const kListItemsLoc = "ImageCollectionUnit, TImageCollection.ListItems";
}  // namespace

namespace {
int64_t ImageBudget = int64_t{256} << 20;
int64_t ImageBytes = 0;
}  // namespace

int64_t SetImageBudgetBytes(int64_t bytes) {
  const int64_t previous = ImageBudget;
  ImageBudget = bytes;
  return previous;
}

int64_t ImageBytesHeld() { return ImageBytes; }

int64_t ImageBudgetBytes() { return ImageBudget; }

namespace {

void RefuseOverBudget(const std::string& name, int64_t width, int64_t height) {
  Log->Error("Pictures would take more than " + std::to_string(ImageBudget >> 20) + " MiB! (" + name + ", " +
                 std::to_string(width) + "x" + std::to_string(height) + ")",
             kAddLoc);
}

// A picture whose pixels alone would take more than the budget has left is
// refused by the reader right after its header: decoding it first only to
// refuse it costs the time for nothing, hundreds of times over for a list
// that names one large picture on every line.
TImagePtr LoadWithinBudget(const std::string& fileSpec, const std::string& name) {
  const int64_t left = std::max<int64_t>(0, ImageBudget - ImageBytes);
  // Surfaces take four bytes a pixel, decoded pictures three.
  const int64_t budgetLimit = left / 4 * 3;
  const int64_t limit = SetMaxPictureBytes(0);
  SetMaxPictureBytes(std::min(limit, budgetLimit));
  int32_t width = 0, height = 0;
  TakeSizeRefusal(width, height);
  TImagePtr image = LoadImage(fileSpec);
  SetMaxPictureBytes(limit);
  if (!image && TakeSizeRefusal(width, height) && int64_t{width} * height * 4 > left && budgetLimit < limit) {
    RefuseOverBudget(name, width, height);
  }
  return image;
}

}  // namespace

TImageCollectionItem::TImageCollectionItem(std::string name, TImagePtr image)
    : Name(std::move(name)), Image(std::move(image)) {
  if (!Image) return;
  // Four bytes a pixel, as the display's surfaces hold them.
  const int64_t bytes = int64_t{ImageWidth(Image.get())} * ImageHeight(Image.get()) * 4;
  if (ImageBytes + bytes > ImageBudget) {
    RefuseOverBudget(Name, ImageWidth(Image.get()), ImageHeight(Image.get()));
    Image.reset();
    return;
  }
  Charged_ = bytes;
  ImageBytes += bytes;
}

TImageCollectionItem::~TImageCollectionItem() {
  Log->Debug("Destroying ICItem: " + Name, "ImageCollectionUnit, TImageCollectionItem.Destroy");
  Image.reset();
  ImageBytes -= Charged_;
}

TImageCollection::~TImageCollection() { Clear(); }

TImageCollectionItem* TImageCollection::Add(TImagePtr image, const std::string& name, PMask mask) {
  Items.push_back(std::make_unique<TImageCollectionItem>(name, std::move(image)));
  Items.back()->Mask = mask;
  return Items.back().get();
}

TImageCollectionItem* TImageCollection::Add(const std::string& fileSpec, const std::string& name, PMask mask) {
  return Add(LoadWithinBudget(fileSpec, name), name, mask);
}

bool TImageCollection::AddImageEx(const std::string& line) {
  if (TrimBlanks(line).empty()) return false;
  std::string rest = line;
  bool keyed = false;
  if (rest[0] == '.') {
    keyed = true;
    rest.erase(0, 1);
  }
  if (!rest.empty() && rest[0] == '?') {
    Log->Warning("ZRScript not supported. Use TImageCollectionIP to access ZRScript.", kAddImageExLoc);
    return false;
  }
  std::string fileSpec;
  const size_t comma = rest.find(',');
  if (comma != std::string::npos) {
    fileSpec = rest.substr(0, comma);
    rest.erase(0, comma + 1);
  }
  std::string name = rest;
  std::string maskFlag;
  const size_t second = rest.find(',');
  if (second != std::string::npos) {
    name = rest.substr(0, second);
    maskFlag = rest.substr(second + 1);
  }
  if (!DataNameConfined(fileSpec)) {
    WarnNameNotConfined(ListSource_.empty() ? "GFX list" : ListSource_, line, kAddImageExLoc);
    return false;
  }
  TImageCollectionItem* item = Add(LoadWithinBudget(fileSpec, name), name, nullptr);
  if (item->Image) {
    if (keyed) SetImageColorKeyRLE(item->Image.get());
    if (maskFlag == "*") {
      // The mask goes to the item just added: with a duplicate name, looking
      // it up by name would hang it on the earlier item, over that item's own
      // shape.
      item->OwnedMask = CreateMaskFromImage(item->Image.get());
      item->Mask = item->OwnedMask.get();
    }
  }
  return true;
}

void TImageCollection::AddByList(TStream& stream, const std::string& source) {
  std::string first;
  {
    TLineReader reader(stream);
    first = reader.ReadLine();
  }
  stream.SetPosition(0);
  if (UpperCase(first) == "[*GFXLIST]") {
    Log->Debug("LoadListV2", kListLoc);
    std::unique_ptr<TIniFile> ini = TIniFile::CreateFromStream(stream);
    const int32_t count = ini->ListItemCount("GFXList");
    for (int32_t i = 0; i < count; ++i) AddImageEx(ini->ReadListItem("GFXList", i));
    return;
  }
  Log->Debug("LoadListV1", kListLoc);
  TLineReader reader(stream);
  std::string line;
  int64_t number = 0;
  // A list that lacks its "!END" ends with its data.
  while (reader.ReadLine(line) && line != "!END") {
    ++number;
    if (reader.TooLong()) {
      Log->Error("Line too long! (" + (source.empty() ? std::string() : source + ", ") + "line " +
                     std::to_string(number) + ")",
                 kListLoc);
      return;
    }
    AddImageEx(line);
  }
}

void TImageCollection::AddByList(const std::string& fileName) {
  Log->Debug("Filename=" + fileName, kListLoc);
  std::unique_ptr<TStream> s = InMemory(ZROpenStream(fileName));
  if (!s) return;
  ListSource_ = fileName;
  AddByList(*s, fileName);
  ListSource_.clear();
}

void TImageCollection::AddByList(const std::vector<std::string>& lines) {
  for (const std::string& line : lines) AddImageEx(line);
}

void TImageCollection::AddByList(TIniFile& ini, const std::string& section) {
  if (ini.SectionType(section) != stList) {
    Log->Warning("Invalid section type! [*" + section + "]", kAddByListLoc);
    return;
  }
  const int32_t count = ini.ListItemCount(section);
  for (int32_t i = 0; i < count; ++i) AddImageEx(ini.ReadListItem(section, i));
}

void TImageCollection::AddByList(const std::string& iniFileName, const std::string& section) {
  TIniFile ini(iniFileName, true);
  AddByList(ini, section);
}

TImageCollectionItem* TImageCollection::FindItem(const std::string& name, const char* location) {
  for (auto& item : Items) {
    if (item->Name == name) return item.get();
  }
  Log->Status("Image not found! (" + name + ").", location);
  return nullptr;
}

TImageCollectionItem* TImageCollection::Find(const std::string& name) { return FindItem(name, kFindLoc); }

PImage TImageCollection::FindImage(const std::string& name) {
  TImageCollectionItem* item = FindItem(name, kFindLoc);
  return item ? item->Image.get() : nullptr;
}

void TImageCollection::AssignMask(const std::string& name, PMask mask) {
  if (TImageCollectionItem* item = FindItem(name, kAssignMaskLoc)) item->Mask = mask;
}

void TImageCollection::ListItems() {
  Log->Status("Imagecollection listing starts...", kListItemsLoc);
  for (size_t i = 0; i < Items.size(); ++i) {
    const TImageCollectionItem& item = *Items[i];
    std::string number = std::to_string(i);
    if (number.size() < 3) number.insert(0, 3 - number.size(), ' ');
    const PImage image = item.Image.get();
    Log->Trace(number + ". " + item.Name + " (" + std::to_string(ImageWidth(image)) + "x" +
               std::to_string(ImageHeight(image)) + ",Anim=" + (image && image->Animated ? "-1" : "0") + ")");
  }
  Log->Status("Imagecollection listing ends...", kListItemsLoc);
}

void TImageCollection::SaveItems() {
  for (size_t i = 0; i < Items.size(); ++i) {
    std::string fileName = std::to_string(i);
    if (fileName.size() < 3) fileName.insert(0, 3 - fileName.size(), '0');
    fileName = "IC_" + fileName + ".bmp";
    // An item without a picture has nothing to save; the numbers still
    // follow the item positions.
    if (Items[i]->Image) SaveImageBMP(Items[i]->Image.get(), fileName);
  }
}

void TImageCollection::Clear() {
  for (auto& item : Items) item.reset();
  Items.clear();
}

TImageCollectionItem* TImageCollection::GetItem(int32_t index) {
  if (index < 0 || index >= Count()) return nullptr;
  return Items[static_cast<size_t>(index)].get();
}

void ImageCollectionUnit_Startup() {
  LogUnitVersion("ImageCollectionUnit", "2.05");
  ImageCollection = std::make_unique<TImageCollection>();
}

void ImageCollectionUnit_Shutdown() { ImageCollection.reset(); }
