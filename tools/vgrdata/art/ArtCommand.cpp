#include "ArtCommand.h"

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <ostream>
#include <sstream>

#include "ArtScript.h"
#include "PictureCommand.h"
#include "ToolFiles.h"
#include "ImageCollectionUnit.h"
#include "Logger.h"
#include "MAD4HighLevelUnit.h"
#include "ParametersUnit.h"
#include "RawPictureUnit.h"
#include "ToolScopes.h"
#include "VGRResourceTypesUnit.h"
#include "XMapPackUnit.h"
#include "XMapUnit.h"
#include "ZRFonts.h"
#include "ZRStream3.h"
#include "SystemUnit.h"
#include "VGRMapUnit.h"
#include "VGRPlayerUnit.h"
#include "ZR_SDL.h"

namespace vgrdata {

namespace {

const char* const kUsage =
    "usage: vgrdata art build OUTDIR [--fonts DIR] PALETTE.pal FILE.art...\n"
    "           draw every picture of the sources and write those with out=FILE as TGA files\n"
    "       vgrdata art list PALETTE.pal FILE.art...\n"
    "           print every picture with its size, frames, attributes and output\n"
    "       vgrdata art sheet OUT.bmp [--archive ARCHIVE]\n"
    "           contact sheet at 2x of every picture the game looks up: the GFX section of\n"
    "           Zapkin.ini, the objects of objects.lst and the monster strips of monsters.txt,\n"
    "           read as the game reads them; names the game draws but cannot find are listed\n"
    "       vgrdata art playfield OUT.bmp [--archive ARCHIVE] [--piece FILE.mpp | --pack-piece NAME]\n"
    "                 [--interim] | --level N [--seed S]\n"
    "           the play screen as a level start draws it: frame, HUD, chequer, decoration,\n"
    "           the piece built by the game's level map as map 1 (2 with --interim) with its\n"
    "           first three pieces taken, lives, meter, TNT, the professor and the monsters;\n"
    "           --level builds level N (1 to 50, even ones interim) with the game's level map\n"
    "           from Zapkin.mpk and empty.mpp, its random choices seeded with S\n"
    "Files are looked up as the game does: loose files in the current folder first, then\n"
    "the archive.\n";

// Every picture name the game draws from its image collection.
std::vector<std::string> RequiredGfxNames() {
  std::vector<std::string> names = {"DarkBrick1", "DarkBrick2", "Brick",      "Picture1", "Bulb",   "Picture2",
                                    "Shelf",      "Meter",      "Device",     "Wire",     "Gold",   "LifeNumber",
                                    "TNT Anim",   "Zapkin",     "ZapkinAcme", "Pipe",     "Boulder", "ArrowDown",
                                    "ORVANTI",    "Inlay",      "LogoVGR",    "Vora2002", "RudIzaz", "Chain",
                                    "Cage",       "Plinth"};
  for (int i = 1; i <= 9; ++i) names.push_back("Meter" + std::to_string(i));
  for (const char* side : {"ProfRight", "ProfLeft"})
    for (int i = 1; i <= 5; ++i)
      for (const char* suffix : {"", "White", "OutLn"}) names.push_back(side + std::to_string(i) + suffix);
  return names;
}

// The collections the game fills at start-up, for the duration of a command.
struct TGameData {
  TImageCollection Gfx;
  bool HaveResources = false;

  void Load() {
    Gfx.AddByList("Zapkin.ini", "GFX");
    Resources = std::make_unique<TResources>();
    HaveResources = true;
  }
  ~TGameData() {
    if (HaveResources) Resources.reset();
  }
};

bool SplitArgs(const std::vector<std::string>& args, std::vector<std::string>& positional,
               std::vector<std::pair<std::string, std::string>>& values, std::vector<std::string>& flags,
               std::ostream& err) {
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--interim") {
      flags.push_back(a);
    } else if (a == "--archive" || a == "--fonts" || a == "--piece" || a == "--pack-piece" || a == "--level" ||
               a == "--seed") {
      if (i + 1 >= args.size()) {
        err << "vgrdata art: " << a << " needs a value\n" << kUsage;
        return false;
      }
      values.emplace_back(a, args[++i]);
    } else if (a.rfind("--", 0) == 0) {
      err << "vgrdata art: unknown option '" << a << "'\n" << kUsage;
      return false;
    } else {
      positional.push_back(a);
    }
  }
  return true;
}

const std::string* Value(const std::vector<std::pair<std::string, std::string>>& values, const std::string& k) {
  for (const auto& [key, v] : values)
    if (key == k) return &v;
  return nullptr;
}

// The files ending in `extension` in the folders of the given sources that
// are not given themselves: where a source that is missing may be found.
std::vector<std::string> SourcesBeside(const std::vector<std::string>& given, const std::string& extension) {
  namespace fs = std::filesystem;
  std::vector<fs::path> folders, known;
  std::error_code ec;
  for (const std::string& f : given) {
    const fs::path p = fs::weakly_canonical(f, ec);
    known.push_back(p);
    if (std::find(folders.begin(), folders.end(), p.parent_path()) == folders.end()) folders.push_back(p.parent_path());
  }
  std::vector<std::string> found;
  for (const fs::path& folder : folders) {
    for (auto it = fs::directory_iterator(folder, ec); !ec && it != fs::directory_iterator(); it.increment(ec)) {
      const fs::path p = it->path();
      if (p.extension() == extension && it->is_regular_file(ec) &&
          std::find(known.begin(), known.end(), p) == known.end())
        found.push_back(p.string());
    }
  }
  std::sort(found.begin(), found.end());
  return found;
}

// What to add when a picture stamps one that no given source draws.
std::string MissingSourceHint(const std::string& picture, const std::vector<std::string>& given) {
  for (const std::string& file : SourcesBeside(given, ".art")) {
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
      std::istringstream words(line);
      std::string first, name;
      if (words >> first >> name && first == "picture" && name == picture) return file + " draws it: add that file";
    }
  }
  return "no .art file beside the given ones draws it";
}

bool LoadBook(TArtBook& book, const std::vector<std::string>& files, std::ostream& err) {
  // The palette first, whatever the order on the command line.
  std::vector<std::string> sorted = files;
  std::stable_partition(sorted.begin(), sorted.end(),
                        [](const std::string& f) { return f.size() > 4 && f.substr(f.size() - 4) == ".pal"; });
  for (const std::string& f : sorted) {
    std::string why;
    if (!book.AddFile(f, why)) {
      err << "vgrdata art: " << why << "\n";
      return false;
    }
  }
  if (book.Palette().Size() < 2) {
    const std::vector<std::string> palettes = SourcesBeside(files, ".pal");
    err << "vgrdata art: no palette (.pal) given"
        << (palettes.empty() ? std::string() : ": add " + palettes.front() + ", which gives the pictures their colours")
        << "\n";
    return false;
  }
  return true;
}

// A copy of the image at twice its size, transparent where it was.
TImagePtr Doubled(PImage image) {
  TImagePtr big = CreateImageWH(ImageWidth(image) * 2, ImageHeight(image) * 2);
  DoublePixels(image->Surface, big->Surface);
  if (image->ColorKeyed) SetImageColorKey(big.get(), true);
  return big;
}

struct TSheetItem {
  std::string Label;
  PImage Image;
};

// The image as a 24-bit BMP, built in memory and written with every write
// and the close checked: a disk that refuses it leaves no file (the problem
// is thrown).
void WriteImageBMP(PImage image, const std::string& outName) {
  TMemoryStream bmp;
  if (!WriteBMP24(PictureOfImage(image), bmp)) throw TFileProblem("cannot write " + outName);
  WriteOutputFile(outName, bmp.Data);
}

int Sheet(const std::string& outName, std::ostream& out, std::ostream& err) {
  THiddenDisplay display;
  TGameData data;
  data.Load();
  std::vector<TSheetItem> items;
  std::vector<std::string> missing;
  for (const std::string& n : RequiredGfxNames())
    if (!data.Gfx.Find(n) || !data.Gfx.FindImage(n)) missing.push_back(n);
  for (const auto& item : data.Gfx.Items)
    if (item->Image) items.push_back({item->Name, item->Image.get()});
  if (!Resources->MoreBlocks) missing.push_back("moreblk.tga[6]");
  else items.push_back({"MoreBlocks", Resources->MoreBlocks.get()});
  for (const auto& item : Resources->Images->Items)
    if (item->Image) items.push_back({item->Name, item->Image.get()});
  for (int m = 1; m <= 20; ++m)
    for (const char* set : {"M1", "M2"})
      if (!Resources->Images->Find(set + std::to_string(m))) missing.push_back(set + std::to_string(m));

  TZRRFont font("font\\hamp.zrr");
  const int sheetW = 1280, pad = 10, labelH = 18;
  // Flow layout: each picture at 2x with its name under it.
  struct TPlaced {
    int X, Y;
  };
  std::vector<TPlaced> at;
  int x = pad, y = pad, rowH = 0;
  for (const auto& it : items) {
    const int w = std::max(ImageWidth(it.Image) * 2, font.TextWidth(it.Label));
    const int h = ImageHeight(it.Image) * 2 + labelH;
    if (x + w > sheetW - pad && x > pad) {
      x = pad;
      y += rowH + pad;
      rowH = 0;
    }
    at.push_back({x, y});
    x += w + pad;
    rowH = std::max(rowH, h);
  }
  const int sheetH = y + rowH + pad;
  TImagePtr sheet = CreateImageWH(sheetW, sheetH);
  ImageBar(sheet.get(), 0, 0, sheetW - 1, sheetH - 1, 58, 54, 64);
  for (size_t i = 0; i < items.size(); ++i) {
    TImagePtr big = Doubled(items[i].Image);
    // What shows through transparent pixels: the game's dark backdrop.
    ImageBar(sheet.get(), at[i].X, at[i].Y, at[i].X + ImageWidth(big.get()) - 1,
             at[i].Y + ImageHeight(big.get()) - 1, 20, 16, 24);
    PutImageOnImage(sheet.get(), at[i].X, at[i].Y, big.get());
    font.TextOutOnImage(sheet.get(), items[i].Label, at[i].X, at[i].Y + ImageHeight(big.get()) + 2, taLeft);
  }
  WriteImageBMP(sheet.get(), outName);
  out << outName << ": " << items.size() << " pictures, " << sheetW << "x" << sheetH << "\n";
  for (const std::string& m : missing) err << "missing: " << m << "\n";
  return missing.empty() ? 0 : 1;
}

void PutNamed(TImageCollection& c, const std::string& name, int x, int y) {
  if (PImage img = c.FindImage(name)) PutImage(x, y, img);
}

void Digits(TBMPFont& font, int value, int width, int x, int y) {
  std::string s = std::to_string(value);
  if (static_cast<int>(s.size()) < width) s.insert(0, static_cast<size_t>(width) - s.size(), '0');
  font.TextOut(s, x, y, taLeft);
}

int Playfield(const std::string& outName, const std::string* piece, const std::string* packPiece, bool interim,
              int level, uint32_t seed, std::ostream& out, std::ostream& err) {
  THiddenDisplay display;
  TGameData data;
  data.Load();
  TImageCollection& gfx = data.Gfx;
  if (level > 0) interim = level % 2 == 0;

  // A piece is drawn by the game's own level builder as the first level of
  // its kind, so that it shows what the game shows: the builder's pack is
  // left holding that one piece under the name the level asks for.
  auto levelMap = std::make_unique<TMap>();
  if (level <= 0) {
    std::vector<uint8_t> bytes;
    if (piece) {
      if (auto stream = ZROpenStream(*piece)) {
        bytes.resize(static_cast<size_t>(std::max<int64_t>(stream->Size(), 0)));
        if (!stream->ReadBuffer(bytes.data(), static_cast<int64_t>(bytes.size()))) bytes.clear();
      }
    } else {
      const int32_t i = levelMap->Pack->IndexOf(packPiece ? *packPiece : (interim ? "26.mpp" : "01.mpp"));
      if (i >= 0 && levelMap->Pack->Entries[static_cast<size_t>(i)].Data)
        bytes = levelMap->Pack->Entries[static_cast<size_t>(i)].Data->Data;
    }
    TMemoryStream check;
    check.Data = bytes;
    TXMap map;
    map.Load(check);
    if (!map.Allocated || map.Width < 32 || map.Height < 22) {
      err << "vgrdata art: no 32 by 22 piece to draw\n";
      return 1;
    }
    level = interim ? 2 : 1;
    levelMap->Pack = std::make_unique<TXMapPack>();
    levelMap->Pack->AddEntry(TMap::PieceFile(static_cast<uint8_t>(level), interim), "", bytes);
  }

  // The frame, as every map start draws it.
  Bar(0, 0, 639, 399, 0, 0, 0);
  Bar(61, 21, 578, 378, 64, 64, 64);
  Bar(62, 21, 578, 377, 192, 192, 192);
  Bar(62, 22, 577, 377, 128, 128, 128);
  Bar(63, 23, 576, 376, 192, 192, 192);
  Bar(64, 23, 576, 375, 64, 64, 64);
  TTGAFont score("font\\scoref.tga");
  score.SetFixedWidth(13);
  score.Spacing = 0;
  score.TextOut("SCORE: 00000  HIGH: 00000  MAP: 00", 320, 380, taCenter);
  Bar(515, 380, 540, 399, 0, 0, 0);
  Digits(score, level > 0 ? level : interim ? 2 : 1, 2, 515, 380);
  Bar(190, 380, 254, 399, 0, 0, 0);
  Digits(score, 1 + 2 + 3, 5, 190, 380);
  Bar(359, 380, 423, 399, 0, 0, 0);
  Digits(score, 84, 5, 359, 380);
  for (int j = 0; j < 22; ++j)
    for (int i = 0; i < 32; ++i) PutNamed(gfx, (i + j) % 2 == 0 ? "DarkBrick1" : "DarkBrick2", 64 + 16 * i, 24 + 16 * j);
  if (!interim) {
    PutNamed(gfx, "Picture1", 128, 24);
    PutNamed(gfx, "Bulb", 176, 24);
    PutNamed(gfx, "Picture2", 224, 24);
    PutNamed(gfx, "Shelf", 312, 32);
    PutNamed(gfx, "Meter", 392, 26);
    PutNamed(gfx, "Device", 472, 40);
    PutNamed(gfx, "Wire", 562, 30);
  }
  PutNamed(gfx, "Gold", 64, 40);
  // The game's own level builder draws the tiles.
  Randomize(seed);
  if (!levelMap->LoadLevel(static_cast<uint8_t>(level), true)) {
    err << "vgrdata art: level " << level << " cannot be built\n";
    return 1;
  }
  if (PImage lives = gfx.FindImage("LifeNumber")) PutImagePart(80, 54, 48, 0, 63, 19, lives);
  if (!interim) {
    PutNamed(gfx, "Meter", 392, 26);
    PutNamed(gfx, "Meter3", 392, 26);
    if (PImage tnt = gfx.FindImage("TNT Anim")) PutImagePart(462, 72, 40, 0, 49, 15, tnt);
    // The first three pieces taken, as a map start after a death shows
    // them: mounted on the creature, and gone from their cells.
    for (int i = 0; i < 32; ++i)
      for (int j = 0; j < 22; ++j) {
        const int x = 64 + 16 * i, y = 24 + 16 * j;
        const uint16_t piece = levelMap->ObjectAt(x, y);
        int32_t px = 0, py = 0;
        if (piece == 0 || piece > 3 || !TProf::PiecePlace(piece, px, py)) continue;
        if (PImage img = Resources->Images->FindImage(std::to_string(levelMap->PieceTile(piece)))) PutImage(px, py, img);
        levelMap->ClearCell(x, y);
      }
    PutNamed(gfx, "ProfRight3", 126, 56);
  } else {
    if (PImage tnt = gfx.FindImage("TNT Anim")) PutImagePart(546, 56, 40, 0, 49, 15, tnt);
    PutNamed(gfx, "ZapkinAcme", 104, 29);
    PutNamed(gfx, "ProfRight3", 94, 328);
    PutNamed(gfx, "Boulder", 300, 24);
    PutNamed(gfx, "ArrowDown", 316, 24);
    PutNamed(gfx, "Pipe", 544, 342);
  }
  // Monsters of the records (row, left, right, start, speed, number).
  std::vector<TMonsterStart> monsters;
  for (uint32_t slot = 0; slot < TMap::MonsterSlots; ++slot) monsters.push_back(levelMap->MonsterStart(slot));
  for (const TMonsterStart& m : monsters) {
    if (m.MonsterNumber == 0) continue;
    const std::string name = std::string(m.Speed < 0 ? "M1" : "M2") + std::to_string(m.MonsterNumber);
    if (PImage img = Resources->Images->FindImage(name))
      PutImagePart(16 * m.StartColumn + 64, 16 * m.Row + 24, 0, 0, 31, 15, img);
  }
  WriteImageBMP(BackImage, outName);
  out << outName << ": the playfield of " << (interim ? "an interim" : "a construction") << " map\n";
  return 0;
}

}  // namespace

int ArtCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.empty() || args[0] == "--help" || args[0] == "-h") {
    (args.empty() ? err : out) << kUsage << "\n" << kArtHelp;
    return args.empty() ? 2 : 0;
  }
  std::vector<std::string> pos;
  std::vector<std::pair<std::string, std::string>> values;
  std::vector<std::string> flags;
  if (!SplitArgs(args, pos, values, flags, err)) return 2;
  const std::string& sub = args[0];

  if (sub == "build" || sub == "list") {
    const size_t first = sub == "build" ? 1 : 0;
    if (pos.size() <= first) {
      err << kUsage;
      return 2;
    }
    TArtBook book;
    if (const std::string* fonts = Value(values, "--fonts")) book.FontDir = *fonts;
    const std::vector<std::string> sources(pos.begin() + static_cast<long>(first), pos.end());
    if (!LoadBook(book, sources, err)) return 1;
    if (sub == "list") {
      for (const std::string& name : book.Names()) {
        std::string why;
        const TArtPicture* p = book.Get(name, why);
        if (!p) {
          err << "vgrdata art: " << why;
          if (!book.MissingPicture().empty()) err << "; " << MissingSourceHint(book.MissingPicture(), sources);
          err << "\n";
          return 1;
        }
        out << name << " " << p->Width << "x" << p->Height;
        if (p->Frames > 0) out << " frames=" << p->Frames;
        if (p->Key) out << " key";
        if (!p->Out.empty()) out << " -> " << p->Out;
        out << "\n";
      }
      return 0;
    }
    std::string why;
    const int n = book.WriteAll(pos[0], why);
    if (n < 0) {
      err << "vgrdata art: " << why;
      if (!book.MissingPicture().empty()) err << "; " << MissingSourceHint(book.MissingPicture(), sources);
      err << "\n";
      return 1;
    }
    out << n << " pictures written to " << pos[0] << "\n";
    return 0;
  }

  if (sub == "sheet" || sub == "playfield") {
    if (pos.size() != 1) {
      err << kUsage;
      return 2;
    }
    TCollectedLog log;
    TMountedArchive archive;
    if (const std::string* a = Value(values, "--archive")) {
      if (!FileExists(*a) || !archive.Mount(*a)) {
        err << "vgrdata art: cannot mount " << *a << "\n";
        return 1;
      }
    }
    // Without the configuration and the object list the game's loaders stop
    // the program; say where they were looked for instead.
    std::string notFound;
    for (const char* needed : {"Zapkin.ini", "objects.lst"}) {
      TZRFileInfo info;
      ZRGetFileInfo(needed, info);
      if (info.Offset < 0) notFound += (notFound.empty() ? "" : " and ") + std::string(needed);
    }
    if (!notFound.empty()) {
      const std::string* a = Value(values, "--archive");
      err << "vgrdata art: the game's data (" << notFound << ") was not found in " << LookupPlaces(a ? *a : "")
          << "\n";
      return 1;
    }
    int level = 0, seed = 1;
    const std::string* levelText = Value(values, "--level");
    const std::string* seedText = Value(values, "--seed");
    if ((levelText && (!TryStrToInt(*levelText, level) || level < 1 || level > 53)) ||
        (seedText && !TryStrToInt(*seedText, seed))) {
      err << "vgrdata art: --level takes 1 to 53, --seed a number\n";
      return 2;
    }
    // Data the game cannot start with ends the program through Halt; the
    // tool reports it instead of vanishing. The handler stays installed: it
    // is the one the tests use as well, and the tool ends after a command.
    SetHaltHandler([](int code) { throw THaltRequest{code}; });
    int rc = 1;
    try {
      rc = sub == "sheet" ? Sheet(pos[0], out, err)
                          : Playfield(pos[0], Value(values, "--piece"), Value(values, "--pack-piece"),
                                      std::find(flags.begin(), flags.end(), "--interim") != flags.end(), level,
                                      static_cast<uint32_t>(seed), out, err);
    } catch (const THaltRequest& halt) {
      err << "vgrdata art: the game would stop here (exit code " << halt.ExitCode << ")\n";
      rc = 1;
    }
    const auto complaints = log.Complaints(true);
    for (const std::string& c : complaints) err << c << "\n";
    return rc != 0 ? rc : (complaints.empty() ? 0 : 1);
  }
  err << "vgrdata art: unknown subcommand '" << sub << "'\n" << kUsage;
  return 2;
}

}  // namespace vgrdata
