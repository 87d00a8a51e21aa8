// Music and sounds stored in the archive: uncompressed members stream or load
// straight from the archive file, compressed ones through memory.
#include <gtest/gtest.h>

#include <filesystem>

#include "AudioFixtures.h"
#include "BASS.h"
#include "MAD4HighLevelUnit.h"
#include "MusicUnit.h"
#include "TestSupport.h"
#include "WaveUnit.h"

using namespace audiotest;

namespace {

using TBytes = std::vector<uint8_t>;

TBytes Chunk(const char* tag, const std::string& name, const TBytes& data) {
  TBytes body{static_cast<uint8_t>(name.size())};
  Append(body, TBytes(name.begin(), name.end()));
  Append(body, data);
  TBytes c;
  PutId(c, tag);
  Put32(c, static_cast<uint32_t>(body.size()));
  Append(c, body);
  return c;
}

// The compressed container without any stage: method byte 0, four bytes, the data.
TBytes Stored(const TBytes& data) {
  TBytes c{0, 0, 0, 0, 0};
  Append(c, data);
  return c;
}

TBytes Archive(const std::vector<TBytes>& chunks) {
  TBytes b;
  PutId(b, "MAD4");
  Put32(b, 0);
  for (const TBytes& c : chunks) Append(b, c);
  PutId(b, "ENDS");
  Put32(b, 4);
  Put32(b, static_cast<uint32_t>(b.size() + 4));
  const uint32_t size = static_cast<uint32_t>(b.size() - 8);
  for (int i = 0; i < 4; ++i) b[static_cast<size_t>(4 + i)] = static_cast<uint8_t>(size >> (8 * i));
  return b;
}

using vgrtest::Matching;

class FromArchive : public ::testing::Test {
 protected:
  void SetUp() override {
    OldCwd_ = std::filesystem::current_path();
    std::filesystem::current_path(Dir_.Path());
    OldVolumes_ = MAD4Volumes;
    MAD4Volumes = &Volumes_;
    const TBytes mp3 = MakeMp3(0.3, 44100);
    const TBytes mod = MakeMod();
    const TBytes wav = ConstantWav(7000, 500);
    vgrtest::WriteFile(Dir_ / "data.mad4",
                       Archive({Chunk("RAWD", "music\\theme.mp3", mp3), Chunk("COMP", "music\\packed.mp3", Stored(mp3)),
                                Chunk("RAWD", "tune.mod", mod), Chunk("COMP", "packed.mod", Stored(mod)),
                                Chunk("RAWD", "sfx\\jump.wav", wav), Chunk("COMP", "sfx\\boom.wav", Stored(wav)),
                                Chunk("COMP", "broken.mp3", TBytes{0x40, 1, 2, 3, 4, 5}),
                                Chunk("RAWD", "empty.mp3", TBytes{}), Chunk("RAWD", "empty.wav", TBytes{}),
                                Chunk("RAWD", "after.mp3", mp3)}));
    Volumes_.Mount(Dir_ / "data.mad4", 100, true);
    ASSERT_TRUE(BASS_Init(BASS_DEVICE_NOSOUND, 44100, 0, nullptr, nullptr));
    BASS_SetVolume(100.0f);
  }
  void TearDown() override {
    BASS_Free();
    MAD4Volumes = OldVolumes_;
    std::filesystem::current_path(OldCwd_);
  }

  vgrtest::TTempDir Dir_;
  vgrtest::TScopedLog Log_;
  TMAD4HighLevel Volumes_;
  TMAD4HighLevel* OldVolumes_ = nullptr;
  std::filesystem::path OldCwd_;
};

TEST_F(FromArchive, MusicStreamsOrLoadsAsItIsStored) {
  const struct {
    const char* Name;
    bool InMemory;
    bool Kept;  // only a stream read from memory needs the file's bytes while it plays
  } cases[] = {{"music\\theme.mp3", false, false},
               {"music\\packed.mp3", true, true},
               {"tune.mod", true, false},
               {"packed.mod", true, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TMusic music(c.Name);
    ASSERT_NE(music.fMusic, 0u);
    EXPECT_EQ(music.BufferSize >= 0, c.InMemory);
    EXPECT_EQ(music.Buffer.size(), c.Kept ? static_cast<size_t>(music.BufferSize) : 0u);
    music.Play();
    EXPECT_GT(Peak(Render(8820), 0), 1000);
    music.Stop();
  }
}

TEST_F(FromArchive, WavesLoadFromTheArchiveFileOrFromMemory) {
  const struct {
    const char* Name;
    const char* Debug;
    bool InMemory;
  } cases[] = {{"sfx\\jump.wav", "Not compressed", false}, {"sfx\\boom.wav", "Compressed", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const size_t before = Matching(Log_.Lines(), std::string("<WaveUnit, TWave.Create> ") + c.Debug).size();
    TWave wave(c.Name, 1, false);
    ASSERT_NE(wave.fWave, 0u);
    EXPECT_EQ(wave.BufferSize >= 0, c.InMemory);
    EXPECT_TRUE(wave.Buffer.empty());  // the library plays its own decoded copy
    EXPECT_EQ(Matching(Log_.Lines(), std::string("<WaveUnit, TWave.Create> ") + c.Debug).size(), before + 1);
    wave.Play();
    const auto b = Render(1000);
    EXPECT_EQ(Left(b, 0), 7000);
    EXPECT_EQ(AudibleFrames(b), 500u);
  }
}

TEST_F(FromArchive, EmptyMemberDoesNotReadOnIntoTheNextOne) {
  TMusic music("empty.mp3");
  EXPECT_EQ(music.fMusic, 0u);
  TWave wave("empty.wav", 1, false);
  EXPECT_EQ(wave.fWave, 0u);
  EXPECT_EQ(Matching(Log_.Lines(), "{WaveUnit, TWave.Create} BASS: Loading empty.wav failed").size(), 1u);
}

TEST_F(FromArchive, MemberThatCannotBeOpenedIsAFailedLoad) {
  TMusic music("broken.mp3");
  EXPECT_EQ(music.fMusic, 0u);
  EXPECT_EQ(Matching(Log_.Lines(), "{MusicUnit, TMusic.Create} BASS: Loading broken.mp3 failed").size(), 1u);
}

}  // namespace
