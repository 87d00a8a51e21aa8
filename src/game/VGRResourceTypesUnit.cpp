#include "VGRResourceTypesUnit.h"

#include <algorithm>

#include "DataNames.h"
#include "ImageCollectionUnit.h"
#include "Logger.h"
#include "SystemUnit.h"
#include "ZRINIFile.h"
#include "ZRStream3.h"

std::unique_ptr<TResources> Resources;

namespace {

const char* const kCreateLoc = "ResourceUnit, TResources.Create";
const char* const kObjectsFile = "objects.lst";
const char* const kMonstersFile = "monsters.txt";

// Far more frames than any animation has, and a strip that stays inside the
// 16-bit row pitch of a surface at 4 bytes per pixel.
constexpr int32_t kMaxMonsterFrames = 255;
constexpr int32_t kCellWidth = 32;
constexpr int32_t kCellHeight = 16;

[[noreturn]] void DataError(const std::string& message) {
  Log->Error(message, kCreateLoc);
  Halt(DataErrorExitCode, "the object definitions cannot be used: " + message);
}

[[noreturn]] void LineTooLong(const char* file, int lineNumber) {
  DataError(std::string("Line too long in ") + file + ", line " + std::to_string(lineNumber) + "! (more than " +
            std::to_string(TLineReader::MaxLineLength) + " bytes)");
}

// A field that must be a number; anything else ends the start-up, naming
// where it stood.
int32_t NumberField(const std::string& text, const char* file, int lineNumber) {
  int32_t value = 0;
  if (!TryStrToInt(text, value)) {
    DataError(std::string("Number expected in ") + file + ", line " + std::to_string(lineNumber) + "! (" + text +
              ")");
  }
  return value;
}

// Appends the values of a "%" or ">" line (without its first character) to
// `values`, low 8 bits each, until it holds 16: values behind that are not
// looked at.
void AddByteList(std::string& values, std::string text, int lineNumber) {
  if (text.empty() || text.back() != ',') text += ',';
  while (!text.empty() && values.size() < TResources::MaxSequenceLength) {
    const std::size_t comma = text.find(',');
    values += static_cast<char>(static_cast<uint8_t>(NumberField(text.substr(0, comma), kObjectsFile, lineNumber)));
    text.erase(0, comma + 1);
  }
}

}  // namespace

// ---------------------------------------------------------------- TRTypeList

void TRTypeList::Add(const std::string& name, int32_t value) {
  Items.push_back(TRTElement{name.substr(0, MaxNameLength), value});
  First_.Add(Items.back().Name, Items.size() - 1, [this](std::size_t k) -> const std::string& { return Items[k].Name; });
}

int32_t TRTypeList::Find(const std::string& name) const {
  const int64_t i = First_.Find(name, [this](std::size_t k) -> const std::string& { return Items[k].Name; });
  return i < 0 ? -1 : Items[static_cast<std::size_t>(i)].Value;
}

// ---------------------------------------------------------------- TResources

TResources::TResources() : Images(std::make_unique<TImageCollection>()) {
  ReadObjects();
  ReadMonsters();
}

TResources::~TResources() {
  MoreBlocks.reset();
  Images.reset();
  Items.clear();
}

int32_t TResources::ItemNumber(int32_t index) const {
  return index >= 0 && index < Count() ? Items[static_cast<std::size_t>(index)].Number : 0;
}

int32_t TResources::ItemType(int32_t index) const {
  return index >= 0 && index < Count() ? Items[static_cast<std::size_t>(index)].Type : 0;
}

int32_t TResources::TypeOfNumber(int32_t number) const {
  if (number == 0) return 0;
  for (const auto& item : Items) {
    if (item.Number == number) return item.Type;
  }
  return 0;
}

std::string TResources::RandomInterimSequence() const {
  // Drawing until a filled slot is hit would never end with none filled.
  if (std::all_of(std::begin(InterimSequences), std::end(InterimSequences),
                  [](const std::string& s) { return s.empty(); })) {
    Log->Error("No interim random sequence defined!", "ResourceUnit, TResources.RandomInterimSequence");
    return {};
  }
  for (;;) {
    const std::string& s = InterimSequences[Random(MaxSequences)];
    if (!s.empty()) return s;
  }
}

uint8_t TResources::RandomTile() const {
  if (RandomTiles.empty()) return 0;
  return static_cast<uint8_t>(RandomTiles[Random(static_cast<uint32_t>(RandomTiles.size()))]);
}

void TResources::ReadObjects() {
  auto stream = InMemory(ZROpenStream(kObjectsFile));
  if (!stream) DataError(std::string("Object definitions not found! (") + kObjectsFile + ")");

  MoreBlocks = LoadImage("moreblk.tga[6]");
  SetImageColorKey(MoreBlocks.get(), true);
  TRTypeList types;
  for (auto& s : InterimSequences) s.clear();
  RandomTiles.clear();
  int sequences = 0;

  TLineReader reader(*stream);
  std::string line;
  int lineNumber = 0;
  bool ended = false;
  while (reader.ReadLine(line)) {
    ++lineNumber;
    if (reader.TooLong()) LineTooLong(kObjectsFile, lineNumber);
    if (line.empty() || line[0] == ';') continue;
    if (UpperCase(line) == "!END") {
      ended = true;
      break;
    }
    switch (line[0]) {
      case '%':
        AddByteList(RandomTiles, line.substr(1), lineNumber);
        break;
      case '>':
        if (sequences >= MaxSequences) {
          Log->Warning("Too many interim random sequences in OBJECTS.LST!", kCreateLoc);
          break;
        }
        InterimSequences[sequences].clear();
        AddByteList(InterimSequences[sequences], line.substr(1), lineNumber);
        ++sequences;
        break;
      case '#': {
        const std::size_t comma = line.find(',');
        if (comma == std::string::npos) {
          Log->Warning("Type alias definition error! (" + line + ")", kCreateLoc);
          break;
        }
        types.Add(line.substr(1, comma - 1), NumberField(line.substr(comma + 1), kObjectsFile, lineNumber));
        break;
      }
      default: {
        const std::size_t c1 = line.find(',');
        const std::string file = line.substr(0, c1);
        std::string number;
        std::string alias;
        if (c1 != std::string::npos) {
          const std::size_t c2 = line.find(',', c1 + 1);
          number = line.substr(c1 + 1, c2 == std::string::npos ? std::string::npos : c2 - c1 - 1);
          if (c2 != std::string::npos) alias = line.substr(c2 + 1);
        }
        const int32_t type = alias.empty() ? -1 : types.Find(alias);
        if (file.empty() || number.empty() || alias.empty() || type == -1) {
          Log->Warning("Object definition error! (" + file + "," + number + "," + alias + ")", kCreateLoc);
          break;
        }
        const int32_t n = NumberField(number, kObjectsFile, lineNumber);
        if (!DataNameConfined(file)) {
          WarnNameNotConfined(kObjectsFile, line, kCreateLoc);
          break;
        }
        TImagePtr image = LoadImage(file);
        SetImageColorKey(image.get(), true);
        Images->Add(std::move(image), std::to_string(n));
        Items.push_back(TResourceItem{n, type});
        break;
      }
    }
  }
  stream.reset();
  if (!ended) DataError(std::string("No \"!END\" line in ") + kObjectsFile + "! (line " + std::to_string(lineNumber) + ")");
  // Every interim map needs a sequence; finding none there would be too late.
  if (sequences == 0) DataError(std::string("No interim random sequence defined! (") + kObjectsFile + ")");
  Log->Status(std::to_string(Count()) + " resourceitems loaded.", kCreateLoc);
}

void TResources::ReadMonsters() {
  TImagePtr sheet = LoadImage("monsters1.tga");
  auto stream = InMemory(ZROpenStream(kMonstersFile));
  if (!stream) DataError(std::string("Monster definitions not found! (") + kMonstersFile + ")");

  TLineReader reader(*stream);
  std::string line;
  int lineNumber = 0;
  bool second = false;
  bool overBudget = false;
  while (reader.ReadLine(line)) {
    ++lineNumber;
    if (reader.TooLong()) LineTooLong(kMonstersFile, lineNumber);
    if (line.empty()) {
      // Every empty line switches to the second sheet; loading it again for
      // each one gave the same sheet and let a file of empty lines stall.
      if (!second) {
        sheet.reset();
        sheet = LoadImage("monsters2.tga");
        second = true;
      }
      continue;
    }
    std::string rest = line + ",";
    auto nextField = [&rest]() {
      const std::size_t comma = rest.find(',');
      std::string field = rest.substr(0, comma);
      rest.erase(0, comma == std::string::npos ? std::string::npos : comma + 1);
      return field;
    };
    const std::string name = nextField();
    const std::string frames = nextField();
    int32_t monster = 0;
    // A name too short to carry the set letter is as malformed as one
    // without a number.
    if (name.size() < 7 || !TryStrToInt(name.substr(4, 2), monster) || frames.empty() || monster == 0) {
      Log->Error("Monster definition error! (Line:" + std::to_string(lineNumber) + ")", kCreateLoc);
      Halt(0, std::string("malformed monster definition in ") + kMonstersFile + ", line " +
                  std::to_string(lineNumber));
    }
    const int32_t frameCount = NumberField(frames, kMonstersFile, lineNumber);
    if (frameCount < 1 || frameCount > kMaxMonsterFrames) {
      DataError(std::string("Frame count out of range in ") + kMonstersFile + ", line " +
                std::to_string(lineNumber) + "! (" + frames + ")");
    }
    std::vector<int32_t> cells(static_cast<std::size_t>(frameCount));
    for (int32_t& cell : cells) cell = NumberField(nextField(), kMonstersFile, lineNumber);
    const char set = static_cast<char>(static_cast<uint8_t>(name[6]) - 48);
    const std::string itemName = std::string("M") + set + std::to_string(monster);
    // A strip past the picture budget would be refused by the collection:
    // it is refused here without being made, and said once, since a file of
    // a million monsters would otherwise make and drop each one.
    if (ImageBytesHeld() + int64_t{frameCount} * kCellWidth * kCellHeight * 4 > ImageBudgetBytes()) {
      if (!overBudget) {
        Log->Error("Monster pictures past the picture budget refused from line " + std::to_string(lineNumber) + "!",
                   kCreateLoc);
      }
      overBudget = true;
      Images->Add(TImagePtr(), itemName);
      continue;
    }
    TImagePtr strip = CreateImageWH(frameCount * kCellWidth, kCellHeight);
    const int64_t sheetWidth = ImageWidth(sheet.get());
    for (int32_t i = 0; i < frameCount; ++i) {
      const int64_t left = int64_t(cells[static_cast<std::size_t>(i)]) * kCellWidth;
      // A cell outside the sheet leaves its frame black.
      if (left < 0 || left >= sheetWidth) continue;
      PutImagePartOnImage(strip.get(), i * kCellWidth, 0, static_cast<int>(left), 0,
                          static_cast<int>(left) + kCellWidth - 1, kCellHeight - 1, sheet.get());
    }
    SetImageColorKey(strip.get(), true);
    Images->Add(std::move(strip), itemName);
  }
  sheet.reset();
}
