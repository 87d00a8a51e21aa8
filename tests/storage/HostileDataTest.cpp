// Mutated archives and containers, seeded and repeatable: nothing may crash,
// hang, or read or write outside the file (the sanitizer builds check the
// memory side), and a writable archive must stay walkable.
#include <gtest/gtest.h>
#include <zlib.h>

#include "CompressorUnit.h"
#include "MAD4HighLevelUnit.h"
#include "StorageTestSupport.h"
#include "SystemUnit.h"

using namespace storagetest;

namespace {

TBytes RandomBytes(std::size_t n) {
  TBytes b(n);
  for (auto& x : b) x = static_cast<uint8_t>(Random(256));
  return b;
}

TBytes ValidArchive() {
  TBytes text = Bytes("some text that compresses, some text that compresses, some text");
  uLongf size = compressBound(static_cast<uLong>(text.size()));
  TBytes z(size + 1);
  z[0] = 0x40;
  compress(z.data() + 1, &size, text.data(), static_cast<uLong>(text.size()));
  z.resize(size + 1);
  TBytes stored{0x03, 0, 0, 0, 0, 1, 2, 3, 4};
  TBytes rle{0x08, 0, 0, 0, 0, 5, 10, 0, 0, 0, 0x82, 0x41, 0x01, 0x42, 0x43};
  TBytes huff{0x20, 0, 0, 0, 0, 0, 3, 0, 0, 0, 3, 0};
  TBytes tree = Bits("0 1" + Bits8('a') + " 1" + Bits8('b') + "011");
  huff.insert(huff.end(), tree.begin(), tree.end());
  TBytes rel;
  PutU32(rel, 8);
  TBytes fver{2, 'v', '1', 1, 'x'};
  return Archive({Chunk("RAWD", Named("raw.txt", Bytes("plain"))), Chunk("COMP", Named("z.txt", z)),
                  Chunk("COMP", Named("s.bin", stored)), Chunk("COMP", Named("r.bin", rle)),
                  Chunk("COMP", Named("h.bin", huff)), Chunk("LINK", Named("l.txt", rel)), Chunk("FVER", fver),
                  NullChunk(5), NullChunk(20)});
}

bool WalksCleanly(const std::string& file) {
  TMAD4LowLevel a;
  a.Mount(file, true);
  return a.Mounted && !a.Damaged();
}

}  // namespace

TEST(HostileData, RandomContainersForEveryMethodByte) {
  Randomize(77);
  TCompressor c;
  int decoded = 0;
  for (int m = 0; m < 256; ++m) {
    for (int i = 0; i < 60; ++i) {
      TBytes data = RandomBytes(Random(80));
      if (!data.empty()) data[0] = static_cast<uint8_t>(m);
      TMemoryStream in(data);
      std::unique_ptr<TMemoryStream> out = c.Decompress(in);
      if (out) {
        ++decoded;
        EXPECT_EQ(out->Position(), 0);
      }
    }
  }
  EXPECT_GT(decoded, 0);
}

TEST(HostileData, MutatedArchivesNeverBreakTheReaderOrTheFile) {
  vgrtest::TTempDir dir;
  const std::string file = dir / "m.mad4";
  const TBytes base = ValidArchive();
  Randomize(4242);
  int walkable = 0, damaged = 0, refused = 0;
  for (int round = 0; round < 400; ++round) {
    TBytes bytes = base;
    const uint32_t flips = 1 + Random(4);
    for (uint32_t f = 0; f < flips; ++f) bytes[Random(static_cast<uint32_t>(bytes.size()))] = static_cast<uint8_t>(Random(256));
    if (Random(8) == 0) bytes.resize(Random(static_cast<uint32_t>(bytes.size())));
    vgrtest::WriteFile(file, bytes);
    bool wasDamaged = false;
    bool mounted = false;
    {
      TMAD4HighLevel volumes;
      volumes.Mount(file, 100, false);
      TMAD4MidLevel& a = *volumes.Volumes[0].Archive;
      mounted = a.Mounted;
      wasDamaged = a.Damaged();
      for (const char* name : {"raw.txt", "z.txt", "s.bin", "r.bin", "h.bin", "l.txt", "*V", ""}) {
        volumes.IsExists(name);
        volumes.OpenStream(name);
      }
      for (int i = 0; i < a.FileCount(); ++i) a.OpenFile(a.GetFileData(i)->Name);
      TMemoryStream extra(RandomBytes(Random(40)));
      a.Add(FourCC("RAWD"), extra);
    }
    if (!mounted) {
      ++refused;
      EXPECT_EQ(vgrtest::ReadBinaryFile(file), bytes) << round;
    } else if (wasDamaged) {
      ++damaged;
      EXPECT_EQ(vgrtest::ReadBinaryFile(file), bytes) << round;
    } else {
      ++walkable;
      EXPECT_TRUE(WalksCleanly(file)) << round;
    }
  }
  // the mutations reach every kind of outcome
  EXPECT_GT(walkable, 0);
  EXPECT_GT(damaged, 0);
  EXPECT_GT(refused, 0);
}
