#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "PictureFixtures.h"
#include "RawPictureUnit.h"
#include "TestSupport.h"
#include "ZRStream3.h"

using namespace picfix;

namespace {

using TReader = void (TRawPicture::*)(TStream&);

struct TSample {
  const char* name;
  TReader reader;
  Bytes file;
};

std::vector<TSample> Samples() {
  TGAHeader tga;
  tga.Width = 3;
  tga.Height = 2;
  TGAHeader rle = tga;
  rle.Type = 10;
  TGAHeader rle9 = tga;
  rle9.Type = 9;
  rle9.MapType = 1;
  rle9.MapLength = 2;
  rle9.Depth = 8;
  Bytes stacked(16, 0);
  stacked[0] = 2;
  stacked[6] = 0x80;
  Bytes mi = {'M', 'I', 0, 1, '1', '6', 0, 0, 2, 0, 2, 0};
  Bytes cel = {0x19, 0x91, 2, 0, 1, 0};
  cel.resize(32 + 768, 1);
  return {
      {"tga 24", &TRawPicture::ReadTGA, MakeTGA(tga, {0x02, 0x40}, Bytes(18, 0x42))},
      {"tga restack", &TRawPicture::ReadTGA, MakeTGA(tga, stacked, Bytes(18, 0x42))},
      {"tga rle", &TRawPicture::ReadTGA, MakeTGA(rle, Bytes(32, 0), Bytes{0x82, 1, 2, 3, 0x02, 1, 2, 3, 4, 5, 6, 7, 8, 9})},
      {"tga rle9", &TRawPicture::ReadTGA, MakeTGA(rle9, {}, Bytes{1, 2, 3, 4, 5, 6, 0x85, 1})},
      {"bmp 4", &TRawPicture::ReadBMP, MakeBMP(3, 2, 4, 0, std::vector<uint32_t>(16, 7), Bytes{0x12, 0x30, 0, 0, 0x45, 0x60, 0, 0})},
      {"bmp rle8", &TRawPicture::ReadBMP, MakeBMP(3, 2, 8, 1, {1, 2}, Bytes{3, 1, 0, 0, 0, 3, 1, 0, 1, 0, 0, 1}, 2)},
      {"bmp 24", &TRawPicture::ReadBMP, MakeBMP(2, 2, 24, 0, {}, Bytes(16, 0x21))},
      {"mi", &TRawPicture::ReadMI, Cat({mi, Bytes(8, 0x99)})},
      {"cel", &TRawPicture::ReadCEL, Cat({cel, Bytes{1, 2}})},
      {"kep", &TRawPicture::ReadKEP, Bytes{1, 0, 1, 0, 5, 6, 7, 8}},
      {"k16", &TRawPicture::ReadK16, Bytes{1, 0, 1, 0, 5, 6}},
      {"gsd", &TRawPicture::ReadGSD, Bytes{2, 0, 1, 0, 5, 6}},
      {"mator", &TRawPicture::ReadMATOR,
       Chunk("MATR", Cat({Chunk("MAIN", U32s({1, 1})), Chunk("PALE", U32s({1, 0xFFFFFF})), Chunk("FRAM", U16s({0})),
                          Chunk("FRAM", U16s({3}))}))},
  };
}

// Every byte of each sample replaced by values that make sizes, counts and
// packet headers extreme: the readers must keep to their buffers (the
// sanitizer builds check that) and leave a consistent picture.
TEST(MalformedPictures, EveryByteMutated) {
  vgrtest::TScopedLog log;
  for (const auto& sample : Samples()) {
    {
      TRawPicture p;
      TMemoryStream s(sample.file);
      (p.*sample.reader)(s);
      ASSERT_GT(p.Width, 0) << sample.name << ": the sample itself decodes";
    }
    for (size_t i = 0; i < sample.file.size(); ++i) {
      for (uint8_t v : {0x00, 0x01, 0x7F, 0x80, 0xFF}) {
        Bytes file = sample.file;
        file[i] = v;
        TRawPicture p;
        TMemoryStream s(file);
        // The TGA decoder's complaints would flood the test output.
        const bool tga = sample.reader == static_cast<TReader>(&TRawPicture::ReadTGA);
        if (tga) testing::internal::CaptureStdout();
        (p.*sample.reader)(s);
        if (tga) testing::internal::GetCapturedStdout();
        ASSERT_GE(p.Width, 0) << sample.name << " byte " << i << " = " << int(v);
        ASSERT_GE(p.Height, 0) << sample.name << " byte " << i << " = " << int(v);
        ASSERT_LE(p.Height, MaxPictureSide) << sample.name << " byte " << i << " = " << int(v);
        ASSERT_EQ(p.Pixels.size(), static_cast<size_t>(p.Width) * p.Height * 3)
            << sample.name << " byte " << i << " = " << int(v);
      }
    }
  }
}

TEST(MalformedPictures, HugeSizesAreRefusedBeforeAllocating) {
  // Claims of the largest sizes with almost no data behind them.
  TGAHeader tga;
  tga.Width = 16384;
  tga.Height = 16384;
  TGAHeader rle = tga;
  rle.Type = 10;
  const TSample cases[] = {
      {"tga", &TRawPicture::ReadTGA, MakeTGA(tga, {}, Bytes(64, 0))},
      {"tga rle", &TRawPicture::ReadTGA, MakeTGA(rle, {}, Bytes{0xFF, 0, 0, 0})},
      {"bmp", &TRawPicture::ReadBMP, MakeBMP(4096, 16384, 24, 0, {}, Bytes(64, 0))},
      {"gsd", &TRawPicture::ReadGSD, Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0}},
      {"k16", &TRawPicture::ReadK16, Bytes{0x00, 0x40, 0x00, 0x40, 0}},
      {"kep", &TRawPicture::ReadKEP, Bytes{0x00, 0x40, 0x00, 0x40, 0}},
  };
  for (const auto& c : cases) {
    vgrtest::TScopedLog log;
    TRawPicture p;
    TMemoryStream s(c.file);
    (p.*c.reader)(s);
    EXPECT_EQ(p.Width, 0) << c.name;
    EXPECT_TRUE(p.Pixels.empty()) << c.name;
    size_t warnings = 0;
    for (const auto& l : log.Lines()) warnings += !l.empty() && l[0] == '[';
    EXPECT_EQ(warnings, 1u) << c.name;
  }
}

}  // namespace
