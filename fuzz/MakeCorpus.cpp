// Writes the seed corpora of the fuzz targets: small valid files of every
// variant, made through the program's own writers and the data tool's
// encoders, so that the fuzzers start from inputs that reach deep. Usage:
//   fuzz_make_corpus <corpus folder>
// Every file stays within 4 KiB.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>
#include <vector>

#include "ArchiveEncoders.h"
#include "CompressorUnit.h"
#include "FontFiles.h"
#include "MAD4MidLevelUnit.h"
#include "MusicRender.h"
#include "MusicXM.h"
#include "RawPictureUnit.h"
#include "ReplayUnit.h"
#include "SoundWav.h"
#include "TgaWriter.h"
#include "XMapChainUnit.h"
#include "XMapPackUnit.h"
#include "XMapUnit.h"
#include "ZRStream3.h"
#include "../tests/assets/PictureFixtures.h"

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

namespace {

fs::path Root;
int Written = 0;
bool Ok = true;

void Put(const std::string& target, const std::string& name, const Bytes& data) {
  if (data.empty()) {
    std::fprintf(stderr, "seed %s/%s is empty: its writer failed\n", target.c_str(), name.c_str());
    Ok = false;
    return;
  }
  if (data.size() > 4096) {
    std::fprintf(stderr, "seed %s/%s is %zu bytes, over 4 KiB\n", target.c_str(), name.c_str(), data.size());
    Ok = false;
    return;
  }
  fs::create_directories(Root / target);
  std::ofstream out(Root / target / name, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
  ++Written;
}

void PutText(const std::string& target, const std::string& name, const std::string& text) {
  Put(target, name, Bytes(text.begin(), text.end()));
}

Bytes Prefixed(uint8_t first, const Bytes& rest) {
  Bytes b{first};
  b.insert(b.end(), rest.begin(), rest.end());
  return b;
}

Bytes Sample(size_t n) {
  const std::string text = "Voltigor: the professor builds his creature, piece by piece. ";
  Bytes b;
  for (size_t i = 0; i < n; ++i) b.push_back(static_cast<uint8_t>(i % 3 == 0 ? i * 7 : text[i % text.size()]));
  return b;
}

Bytes StoredChunk(const std::string& name, const Bytes& payload) {
  Bytes c{static_cast<uint8_t>(name.size())};
  c.insert(c.end(), name.begin(), name.end());
  c.insert(c.end(), payload.begin(), payload.end());
  return c;
}

Bytes ReadBack(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// ------------------------------------------------------------------ archives
void Archives() {
  const fs::path tmp = Root / "archive.tmp";
  auto store = [](TMAD4MidLevel& a, uint32_t type, const std::string& name, const Bytes& payload) {
    TMemoryStream s;
    s.Data = StoredChunk(name, payload);
    return a.StoreFile(type, s);
  };
  fs::remove(tmp);
  {
    TMAD4MidLevel a;
    a.Mount(tmp.string(), false);
    const int32_t first = store(a, kFourCC_RAWD, "a.txt", Sample(60));
    store(a, kFourCC_COMP, "font\\hamp.zrr", *vgrdata::EncodeContainer(Sample(300), kMethodZlib));
    store(a, kFourCC_COMP, "b.bin", *vgrdata::EncodeContainer(Sample(200), 0x14));
    store(a, kFourCC_RAWD, "gone.txt", Sample(40));
    Bytes rel{static_cast<uint8_t>(first), static_cast<uint8_t>(first >> 8), 0, 0};
    store(a, kFourCC_LINK, "link.txt", rel);
    TMemoryStream version;
    version.Data = {3, '1', '.', '0', 4, 't', 'e', 's', 't'};
    a.StoreFile(kFourCC_FVER, version);
    a.RemoveFile("gone.txt");
    store(a, kFourCC_RAWD, "", Bytes{});
  }
  const Bytes archive = ReadBack(tmp);
  Put("archive_mount", "members.mad4", archive);
  Bytes madu = archive;
  madu[3] = 'U';
  Put("archive_mount", "madu.mad4", madu);
  // An archive behind other data: the trailer's distance finds its start.
  Bytes behind(16, 0xEE);
  behind.insert(behind.end(), archive.begin(), archive.end());
  Put("archive_mount", "behind-data.mad4", behind);
  // Free space in two pieces side by side, as a crash between a removal and
  // the unmount leaves it: a read-write mount merges them.
  {
    Bytes split = archive;
    const std::string null = "NULL";
    const auto at = static_cast<size_t>(std::search(split.begin(), split.end(), null.begin(), null.end()) - split.begin());
    const uint32_t size = at + 8 <= split.size() ? split[at + 4] | split[at + 5] << 8 | split[at + 6] << 16 |
                                                       uint32_t{split[at + 7]} << 24
                                                 : 0;
    if (size < 24) {
      std::fprintf(stderr, "seed archive_mount/split-free.mad4: no free chunk of 24 bytes to split\n");
      Ok = false;
    } else {
      const uint32_t first = 8, second = size - first - 8;
      for (int i = 0; i < 4; ++i) {
        split[at + 4 + i] = static_cast<uint8_t>(first >> (8 * i));
        split[at + 16 + i] = static_cast<uint8_t>(null[static_cast<size_t>(i)]);
        split[at + 20 + i] = static_cast<uint8_t>(second >> (8 * i));
      }
      Put("archive_mount", "split-free.mad4", split);
    }
  }
  fs::remove(tmp);
  {
    TMAD4MidLevel a;
    a.Mount(tmp.string(), false);
  }
  Put("archive_mount", "empty.mad4", ReadBack(tmp));
  fs::remove(tmp);

  // Scripts of the operations target, as its harness reads them: an op byte
  // names member op >> 5 and does op % 7 (add, compressed add, remove, link,
  // remount, second reader, disk full), then come the op's own bytes.
  enum TOp { opAdd, opCompressed, opRemove, opLink, opRemount, opLook, opDiskFull };
  auto op = [](int member, TOp kind) {
    int x = 0;
    while ((member * 32 + x) % 7 != kind) ++x;
    return static_cast<uint8_t>(member * 32 + x);
  };
  Put("archive_ops", "adds-removes",
      Bytes{op(0, opAdd), 100, 0, 7, op(1, opAdd), 50, 0, 9, op(0, opRemove), op(2, opAdd), 20, 0, 3,
            op(0, opRemount), op(0, opLook)});
  Put("archive_ops", "split-reuse",
      Bytes{op(0, opAdd), 200, 0, 1, op(1, opAdd), 10, 0, 2, op(0, opRemove), op(2, opAdd), 100, 0, 3,
            op(3, opAdd), 50, 0, 4, op(0, opRemount)});
  Put("archive_ops", "compressed",
      Bytes{op(0, opCompressed), 200, 0, 5, 3, op(1, opCompressed), 40, 0, 6, 9, op(0, opRemount), op(0, opLook)});
  Put("archive_ops", "links",
      Bytes{op(0, opAdd), 30, 0, 1, op(1, opLink), 0, op(0, opRemount), op(0, opAdd), 30, 0, 2, op(0, opLook),
            op(0, opRemount)});
  Put("archive_ops", "disk-full-add",
      Bytes{op(0, opAdd), 100, 0, 1, op(1, opAdd), 200, 0, 2, op(2, opLink), 1, op(0, opDiskFull), 3, op(3, opAdd),
            0, 1, 3});
  Put("archive_ops", "disk-full-remount",
      Bytes{op(0, opAdd), 100, 0, 1, op(1, opAdd), 20, 0, 2, op(1, opRemove), op(0, opDiskFull), 0, op(0, opRemount)});
}

// ------------------------------------------------------------------ codecs
void Codecs() {
  const Bytes text = Sample(400);
  const auto methods = vgrdata::MeaningfulMethods();
  for (size_t i = 0; i < methods.size(); ++i) {
    if (auto packed = vgrdata::EncodeContainer(text, methods[i])) {
      char name[32];
      std::snprintf(name, sizeof name, "method-%02x", methods[i]);
      Put("compressor", name, *packed);
      Put("codec_roundtrip", name, Prefixed(static_cast<uint8_t>(i), Sample(64 + i * 3)));
    }
  }
  Put("inflate", "text", vgrdata::ZDeflate(text));
  Put("inflate", "empty", vgrdata::ZDeflate(Bytes{}));
  Put("inflate", "runs", vgrdata::ZDeflate(Bytes(2000, 'x')));
}

// ------------------------------------------------------------------ pictures
TRawPicture Picture(int w, int h, int frames) {
  TRawPicture p(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* px = p.PixelAt(x, y);
      px[0] = static_cast<uint8_t>(x * 40);
      px[1] = static_cast<uint8_t>(y * 60);
      px[2] = static_cast<uint8_t>((x + y) % 3 ? 200 : 0);
    }
  if (frames > 1) {
    p.SetExtraType(etShort);
    p.SetExtraByte(0, static_cast<uint8_t>(frames));
    p.SetExtraByte(1, AttrColorKeyed);
  }
  return p;
}

void Pictures() {
  using namespace picfix;
  struct {
    const char* name;
    TRawPicture pic;
    vgrdata::TTgaPixels pixels;
    bool rle;
  } tgas[] = {
      {"tga-true", Picture(6, 4, 1), vgrdata::TTgaPixels::TrueColor, false},
      {"tga-true-rle", Picture(8, 3, 2), vgrdata::TTgaPixels::TrueColor, true},
      {"tga-grey", Picture(5, 5, 1), vgrdata::TTgaPixels::Grey, false},
      {"tga-grey-rle", Picture(9, 2, 3), vgrdata::TTgaPixels::Grey, true},
  };
  for (auto& t : tgas) {
    TMemoryStream s;
    vgrdata::WriteTGA(t.pic, s, t.pixels, t.rle);
    Put("picture", t.name, Prefixed(prTGA, s.Data));
  }
  {
    TRawPicture longBlock = Picture(4, 2, 1);
    longBlock.SetExtraType(etLong);
    longBlock.SetExtraByte(0, 2);
    longBlock.SetExtraByte(6, AttrStackedFrames);
    TMemoryStream s;
    vgrdata::WriteTGA(longBlock, s);
    Put("picture", "tga-long-block", Prefixed(prTGA, s.Data));
  }
  {
    // Colour-mapped, 16-bit and bottom-up TGA variants the writer does not make.
    TGAHeader h;
    h.Type = 1;
    h.MapType = 1;
    h.MapLength = 4;
    h.MapEntryBits = 24;
    h.Depth = 8;
    h.Width = 4;
    h.Height = 2;
    Bytes body = Cat({BGR(0), BGR(0xFF0000), BGR(0x00FF00), BGR(0x0000FF), Bytes{0, 1, 2, 3, 3, 2, 1, 0}});
    Put("picture", "tga-mapped", Prefixed(prTGA, MakeTGA(h, Bytes{}, body)));
    TGAHeader h16;
    h16.Depth = 16;
    h16.Width = 2;
    h16.Height = 2;
    h16.Descriptor = 0;
    Put("picture", "tga-16-bottom-up", Prefixed(prTGA, MakeTGA(h16, Bytes{1, 0}, U16s({0x7C00, 0x03E0, 0x001F, 0x7FFF}))));
  }
  {
    TMemoryStream s;
    WriteBMP24(Picture(5, 3, 1), s);
    Put("picture", "bmp-24", Prefixed(prBMP, s.Data));
    // Bit 7 reads the file by name: through the extension of a picture name,
    // and with bit 6 as a bare name the reader completes.
    Put("picture", "named-bmp-24", Prefixed(0x80 | prBMP, s.Data));
    Put("picture", "named-bare-bmp-24", Prefixed(0xC0 | prBMP, s.Data));
    Put("picture", "bmp-8", Prefixed(prBMP, MakeBMP(3, 2, 8, 0, {0, 0xFF0000, 0x00FF00}, Bytes{0, 1, 2, 0, 2, 1, 0, 0})));
    Put("picture", "bmp-4-rle", Prefixed(prBMP, MakeBMP(4, 2, 4, 2, {0, 0xFF0000, 0x00FF00}, Bytes{4, 0x12, 0, 0, 2, 0x21, 0, 0, 0, 1})));
    Put("picture", "bmp-8-rle", Prefixed(prBMP, MakeBMP(4, 2, 8, 1, {0, 0xFF0000}, Bytes{4, 1, 0, 0, 0, 4, 1, 0, 1, 0, 0, 0, 1})));
  }
  Bytes cel = {0x19, 0x91};
  Put16(cel, 2);
  Put16(cel, 2);
  cel.resize(32, 0);
  Bytes pal(768, 0);
  for (size_t i = 0; i < pal.size(); ++i) pal[i] = static_cast<uint8_t>(i % 64);
  Put("picture", "cel", Prefixed(prCEL, Cat({cel, pal, Bytes{1, 2, 3, 4}})));
  auto mi = [](const char* code, uint16_t w, uint16_t h, const Bytes& body) {
    Bytes b = {'M', 'I', 0x00, 0x01, static_cast<uint8_t>(code[0]), static_cast<uint8_t>(code[1]), 0xAB, 0xCD};
    Put16(b, w);
    Put16(b, h);
    return Cat({b, body});
  };
  Put("picture", "mi-grey", Prefixed(prMI, mi("GS", 2, 2, Bytes{0, 0x40, 0x80, 0xFF})));
  Put("picture", "mi-24", Prefixed(prMI, mi("24", 2, 1, Bytes{1, 2, 3, 4, 5, 6})));
  Put("picture", "mi-16", Prefixed(prMI, mi("16", 2, 1, U16s({0xF800, 0x001F}))));
  auto sized = [](uint16_t w, uint16_t h, const Bytes& body) {
    Bytes b;
    Put16(b, w);
    Put16(b, h);
    return Cat({b, body});
  };
  Put("picture", "kep", Prefixed(prKEP, sized(2, 1, Bytes{1, 2, 3, 1, 2, 3})));
  Put("picture", "k16", Prefixed(prK16, sized(2, 2, U16s({0x001F, 0x07E0, 0xF800, 0xFFFF}))));
  Put("picture", "gsd", Prefixed(prGSD, sized(3, 1, Bytes{1, 0x7F, 0xFE})));
  Bytes inner = Cat({Chunk("VERS", U32s({3})), Chunk("PALE", U32s({3, 0xFF, 0xFF00, 0xFF0000})),
                     Chunk("MAIN", U32s({2, 2})), Chunk("FRAM", U16s({0, 1, 2, 1})), Chunk("FRAM", U16s({2, 1, 0, 0}))});
  Put("picture", "mator", Prefixed(prMATOR, Chunk("MATR", inner)));

  // Transformation strings and frame selections over a small picture.
  const char* names[] = {"a.tga:H", "a.tga:VRr", "pic[1..2]:ID", "pic[0]:HVHV", "x.tga[2..1]:rrrr", "y:D", "z[a..b]"};
  uint8_t n = 0;
  for (const char* name : names) {
    const std::string s = name;
    Bytes b{static_cast<uint8_t>(4 + n), static_cast<uint8_t>(3 + n), static_cast<uint8_t>(n % 4)};
    b.insert(b.end(), s.begin(), s.end());
    Put("transform", "name" + std::to_string(n++), b);
  }
}

// ------------------------------------------------------------------ text formats
void Texts() {
  PutText("ini", "sections",
          "; comment\r\n[Music]\r\nNumberOfSongs=2\r\n[Music.Song1]\r\nFile=music\\theme.xm\r\nTitle=Theme\r\n"
          "[*Playlists]\r\nMenu\r\nInterim\r\n[*Menu]\r\n1\r\n2\r\n[Flags]\r\nOn=yes\r\nOff=0\r\nBad=12x\r\n");
  PutText("ini", "edge", "key before any section=1\n[]\n=empty key\n[A=B]\nx=1\n  [ Spaced ]  \n k = v \n[*]\nitem\n");
  PutText("gfxlist", "layout1", "a.tga,A\r\nb.tga,B,*\r\na.tga:H,AH\r\nb.tga[0..1],BF\r\nmissing.tga,M\r\n!END\r\nc,ignored\r\n");
  PutText("gfxlist", "layout2", "[GFX]\r\nCount=2\r\n[*GFX]\r\na.tga,A\r\nb.tga,B,*\r\n");
  PutText("scroller", "credits", "VOLTIGOR   a game of bits and bolts.   Thanks for playing!\r\n\x1b after the end");
  PutText("scroller", "plain", "Hello");
  const char* setups[][2] = {{"\x00", "X=10|Y=20|Width=200|Height=100|Font1=1|Item=NEW GAME|Item=QUIT"},
                             {"\x00", "KeyUp=UP|KeyDown=down|Background=ff8000|RowHeight=18"},
                             {"\x01", "Item=one|Item=two|ScrollBar=1|SBColor1=102030|KeySelect=RETURN"},
                             {"\x02", "PasswordChar=*|MaxLength=8|Transparent=yes|TextCase=UPPER"},
                             {"\x03", "RealWidth=640|RealHeight=800|ViewTop=0"}};
  for (int i = 0; i < 5; ++i) {
    std::string s(1, setups[i][0][0]);
    s += setups[i][1];
    PutText("setup", "cmd" + std::to_string(i), s);
  }
  auto resources = [](const std::string& objects, const std::string& monsters) {
    Bytes b{static_cast<uint8_t>(objects.size()), static_cast<uint8_t>(objects.size() >> 8)};
    b.insert(b.end(), objects.begin(), objects.end());
    b.insert(b.end(), monsters.begin(), monsters.end());
    return b;
  };
  Put("resources", "basic", resources(">1\r\n#SOLID,1\r\na.tga,1,solid\r\nb.tga,2,wire\r\n%12,13,14\r\n!END\r\n",
                                      "MONS01a,1,0\r\nMONS02b,2,3,1\r\n"));
  Put("resources", "sequences",
      resources(">44,5\r\n>2\r\n>3\r\n%1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17\r\na.tga,7,piece1\r\n!END\r\n",
                "MONS03a,255\r\n\r\nXXXX07a,3,2,1,0\r\n"));
}

// ------------------------------------------------------------------ maps
void Maps() {
  // Printable cells, so that the text format holds the map (a line feed or
  // carriage return among them sends the save to hex), and two wraps, so that
  // every format carries its wrap table.
  TXMap map;
  map.Grow(5, 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) map.SetPhysicalTile(x, y, 'A' + (x * 3 + y * 5) % 17);
  map.AddLogicalWrap('A', 1);
  map.AddLogicalWrap('F', 2);
  map.RebuildLogical();
  TXMap wide;
  wide.Grow(3, 2);
  wide.SetPhysicalTile(1, 1, 1000);
  Bytes textMap;
  for (char mode : {'B', 'W', 'T', 'X'}) {
    TMemoryStream s;
    if (map.Save(s, mode) != mode) {
      std::fprintf(stderr, "seed xmap/map-%c was saved in another format\n", mode);
      Ok = false;
    }
    Put("xmap", std::string("map-") + mode, s.Data);
    if (mode == 'T') textMap = s.Data;
  }
  {
    TMemoryStream s;
    wide.Save(s, 'W');
    Put("xmap", "map-words", s.Data);
  }
  TXMapPack pack;
  TMemoryStream bin;
  map.Save(bin, 'B');
  pack.AddEntry("M1", "first", textMap);
  pack.AddEntry("m2", "", bin.Data);
  pack.AddEntry("empty", "", Bytes{});
  // A writer that refuses its pack must not leave an empty seed behind.
  const auto putPack = [](const std::string& name, bool saved, const TMemoryStream& s) {
    if (!saved) {
      std::fprintf(stderr, "cannot write the seed pack %s\n", name.c_str());
      Ok = false;
      return;
    }
    Put("xmappack", name, s.Data);
  };
  TXMapPack binPack;  // binary packs hold no infos
  binPack.AddEntry("M1", "", textMap);
  binPack.AddEntry("m2", "", bin.Data);
  binPack.AddEntry("empty", "", Bytes{});
  TMemoryStream mpkb;
  putPack("mpkb", binPack.SaveMPKB(mpkb), mpkb);
  TXMapPack textPack;
  textPack.AddEntry("M1", "", textMap);
  textPack.AddEntry("M2", "", textMap);
  TMemoryStream mpkt;
  putPack("mpkt", textPack.SaveMPKT(mpkt), mpkt);
  TMemoryStream mpck;
  putPack("mpck", pack.SaveMPCK(mpck), mpck);
  pack.Chain = std::make_unique<TXMapChain>();
  pack.Chain->Add({'M', 0, 0});
  pack.Chain->Add({'C', 1, 2});
  pack.Chain->Add({'M', 1, 0});
  pack.Chain->Add({'G', 5, 0});
  pack.Chain->Add({'M', 7, 0});
  TMemoryStream chained;
  putPack("mpck-chain", pack.SaveMPCK(chained), chained);
  TMemoryStream chain;
  pack.Chain->Save(chain);
  Put("xmapchain", "chain", chain.Data);
}

// ------------------------------------------------------------ level checks
// An object list, then a construction piece that keeps most rules (floor,
// start, pieces, exit, a monster, dots, ice, a transporter and a wire) and
// breaks a few, as a piece file and inside a pack.
void LevelChecks() {
  const std::string objects =
      ">1\n#S,1\n#W,2\n#I,3\n#T,4\n#L,5\n#1,7\n#2,8\n#3,9\n#4,10\n#5,11\n#6,12\n#7,13\n#E,16\n"
      "w,1,S\nx,2,W\ny,4,I\nz,5,T\nv,6,L\na,7,1\nb,8,2\nc,9,3\nd,10,4\ne,11,5\nf,12,6\ng,13,7\n"
      "q,16,E\n!END\n";
  // A cell holds the character 32 + the object number.
  TXMap map;
  map.Grow(32, 22);
  const auto put = [&map](int x, int y, int object) { map.SetPhysicalTile(x, y, 32 + object); };
  struct TCell {
    int X, Y, Object;
  };
  const auto putAll = [&put](std::initializer_list<TCell> cells) {
    for (const TCell& c : cells) put(c.X, c.Y, c.Object);
  };
  for (int y = 0; y < 22; ++y)
    for (int x = 0; x < 32; ++x) put(x, y, y == 21 || (y == 4 && x < 10) ? 1 : 0);
  for (int i = 0; i < 7; ++i) put(12 + i, 20, 7 + i);
  putAll({{24, 4, 16}, {2, 10, 4}, {3, 10, 4}, {2, 11, 1}, {3, 11, 1}, {6, 15, 5}, {8, 15, 2}, {30, 21, 99}});
  map.ExtraLines = {"1", "20,2,9,5,2,3", "20,20,28,21,-1,4", "3,30,31,31,9,21", "", "", std::string(176, '0')};
  map.ExtraLines[6][40] = 'F';
  map.ExtraLines[6][100] = 'g';
  // The map in the smallest of the formats, to stay within the fuzzers'
  // input length.
  const auto smallest = [&map] {
    Bytes best;
    for (char mode : {'B', 'W', 'T', 'X'}) {
      TMemoryStream s;
      map.Save(s, mode);
      if (best.empty() || s.Data.size() < best.size()) best = s.Data;
    }
    return best;
  };
  // A seed: which kind of map, the object list's length and text, the map.
  const auto seed = [](uint8_t which, const std::string& list, const Bytes& body) {
    Bytes b{which, static_cast<uint8_t>(list.size()), static_cast<uint8_t>(list.size() >> 8)};
    b.insert(b.end(), list.begin(), list.end());
    b.insert(b.end(), body.begin(), body.end());
    return b;
  };
  const Bytes piece = smallest();
  Put("levelcheck", "construction", seed(1, objects, piece));
  Put("levelcheck", "interim", seed(0, objects, piece));
  // The same piece breaking other rules: the start floor gone, a piece twice,
  // the exit hidden under a wall, a short dot line, ice into a wall, a
  // transporter at the edge, a wire that burns into nothing, a background
  // that is no number; and with an object list that never ends, and a map of
  // the wrong size.
  putAll({{4, 4, 0}, {20, 20, 7}, {24, 4, 0}, {24, 3, 1}, {4, 10, 1}, {0, 15, 5}, {1, 15, 5}});
  map.ExtraLines[0] = "x";
  map.ExtraLines[6] = "0F0";
  const std::string unended = objects.substr(0, objects.size() - 5);
  Put("levelcheck", "broken", seed(1, unended + "#O,0\nu,3,O\n!END\n", smallest()));
  Put("levelcheck", "no-end", seed(1, unended, piece));
  TXMap small;
  small.Grow(10, 3);
  TMemoryStream smallMap;
  small.Save(smallMap, 'B');
  Put("levelcheck", "wrong-size", seed(0, objects, smallMap.Data));
  TXMapPack pack;
  pack.AddEntry("01.mpp", "", piece);
  TMemoryStream packed;
  if (pack.SaveMPCK(packed)) Put("levelcheck", "pack", seed(1, objects, packed.Data));
}

// ------------------------------------------------------------------ fonts
void Fonts() {
  vgrdata::TZRRFontData zrr;
  zrr.CellWidth = 5;
  zrr.GlyphHeight = 6;
  zrr.Flags = zrrSparse | zrrDescender;
  for (int c : {'A', 'B', 'g', 'y', '0', '1', ' '}) {
    zrr.Present[c] = true;
    zrr.Cells[c].assign(30, 0);
    for (int i = 0; i < 30; i += (c % 3) + 1) zrr.Cells[c][i] = 1;
  }
  Put("font", "zrr-sparse", Prefixed(1, vgrdata::EncodeZRR(zrr)));
  vgrdata::TZRRFontData dense;
  dense.CellWidth = 10;
  dense.GlyphHeight = 3;
  for (int c = 0; c < 256; ++c) {
    dense.Present[c] = true;
    dense.Cells[c].assign(30, static_cast<uint8_t>(c & 1));
  }
  Put("font", "zrr-dense", Prefixed(1, vgrdata::EncodeZRR(dense)));

  std::array<bool, 256> present{};
  std::array<vgrdata::TGlyphBox, 256> boxes{};
  TRawPicture sheet(12, 5);
  for (int i = 0; i < 3; ++i) {
    present['a' + i] = true;
    boxes['a' + i] = {static_cast<uint16_t>(i * 4), 0, static_cast<uint16_t>(i * 4 + 3), 4};
  }
  for (int x = 0; x < 12; ++x) sheet.PixelAt(x, x % 5)[0] = sheet.PixelAt(x, x % 5)[1] = sheet.PixelAt(x, x % 5)[2] = 255;
  const Bytes block = vgrdata::EncodeTGAFontBlock(present, boxes);
  sheet.SetExtraType(etExtended);
  for (size_t i = 0; i < 32; ++i) sheet.SetExtraByte(static_cast<int32_t>(i), block[i]);
  sheet.Extra.insert(sheet.Extra.end(), block.begin() + 32, block.end());
  TMemoryStream s;
  vgrdata::WriteTGA(sheet, s, vgrdata::TTgaPixels::Grey);
  Put("font", "tga-font", Prefixed(0, s.Data));
}

// ------------------------------------------------------------------ audio
void Audio() {
  vgrdata::TPcm mono;
  mono.Rate = 22050;
  for (int i = 0; i < 400; ++i) mono.Samples.push_back(static_cast<int16_t>((i % 40 - 20) * 800));
  Put("wave", "mono.wav", vgrdata::WriteWav(mono));
  vgrdata::TPcm stereo;
  stereo.Channels = 2;
  for (int i = 0; i < 300; ++i) stereo.Samples.push_back(static_cast<int16_t>(i * 97));
  Put("wave", "stereo.wav", vgrdata::WriteWav(stereo));

  // Short MP3s, mono and stereo: samples may be MP3 too, and songs stream.
  vgrdata::TPcm tone;
  tone.Rate = 22050;
  for (int i = 0; i < 1500; ++i) tone.Samples.push_back(static_cast<int16_t>((i % 50 - 25) * 600));
  vgrdata::TPcm chord;
  chord.Rate = 44100;
  chord.Channels = 2;
  for (int i = 0; i < 1200; ++i) {
    chord.Samples.push_back(static_cast<int16_t>((i % 64 - 32) * 500));
    chord.Samples.push_back(static_cast<int16_t>((i % 37 - 18) * 700));
  }
  for (const auto& [name, pcm] : {std::pair{"tone.mp3", &tone}, std::pair{"chord.mp3", &chord}}) {
    Bytes mp3;
    std::string error;
    if (!vgrdata::EncodeMp3(*pcm, mp3, error)) {
      std::fprintf(stderr, "cannot encode %s: %s\n", name, error.c_str());
      Ok = false;
      continue;
    }
    Put("wave", name, mp3);
    Put("mp3stream", name, mp3);
  }

  vgrdata::TXmModule m;
  m.Name = "seed";
  m.Channels = 2;
  m.Order = {0, 0};
  vgrdata::TXmPattern p;
  p.Rows = 8;
  p.Cells.resize(16);
  p.Cells[0] = {49, 1, 0x40, 0, 0};
  p.Cells[5] = {52, 1, 0, 0x0C, 0x20};
  p.Cells[10] = {vgrdata::kXmKeyOff, 0, 0, 0, 0};
  m.Patterns.push_back(p);
  vgrdata::TXmInstrument ins;
  ins.Name = "saw";
  for (int i = 0; i < 256; ++i) ins.Sample.push_back(static_cast<int16_t>((i % 32) * 1000 - 16000));
  ins.LoopLength = 32;
  ins.VolumeEnvelope.Points = {{0, 64}, {10, 32}, {20, 0}};
  ins.VolumeEnvelope.Sustain = 1;
  m.Instruments.push_back(ins);
  Put("module", "song.xm", vgrdata::WriteXm(m));
}

// ------------------------------------------------------------------ replays
void Replays() {
  TReplay r;
  r.Header.Seed = 12345;
  r.Header.StartMap = 2;
  r.Header.LastLevel = 3;
  r.Header.ProgramVersion = "Voltigor V1.05 Build 0063";
  r.FrameTotal = 10;
  Put("replay", "empty", r.Encode());
  r.Header.Mode = true;
  r.Keys = {{0, {{275, true}}}, {40, {{275, false}, {32, true}}}, {41, {{32, false}, {270, true}, {27, true}}}};
  TReplayChecks c;
  for (int i = 0; i < TReplayChecks::Parts; ++i) c.Values[static_cast<std::size_t>(i)] = 0x01020304u * (i + 1);
  r.Checks = {{0, c}, {60, c}, {120, c}};
  r.FrameTotal = 150;
  Put("replay", "keys-and-checks", r.Encode());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: fuzz_make_corpus <corpus folder>\n");
    return 2;
  }
  Root = argv[1];
  fs::create_directories(Root);
  Archives();
  Codecs();
  Pictures();
  Texts();
  Maps();
  LevelChecks();
  Fonts();
  Audio();
  Replays();
  std::printf("%d seed files written\n", Written);
  return Ok ? 0 : 1;
}
