// Inputs the fuzzers found in the audio layer, kept as cases (the same inputs
// are replayed from fuzz/corpus/module/).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "AudioFixtures.h"
#include "BASS.h"

using namespace audiotest;

namespace {

// An XM module with `channels` channels, one empty pattern of 4 rows played
// twice and no instruments.
std::vector<uint8_t> MakeXm(uint16_t channels) {
  std::vector<uint8_t> m;
  auto text = [&](std::string s, size_t n) {
    s.resize(n, ' ');
    m.insert(m.end(), s.begin(), s.end());
  };
  auto u16 = [&](uint32_t v) {
    m.push_back(static_cast<uint8_t>(v));
    m.push_back(static_cast<uint8_t>(v >> 8));
  };
  text("Extended Module: ", 17);
  text("empty", 20);
  m.push_back(0x1A);
  text("vgr test", 20);
  u16(0x0104);
  u16(276);  // header size, 32 bits
  u16(0);
  u16(2);         // song length
  u16(0);         // restart
  u16(channels);
  u16(1);         // patterns
  u16(0);         // instruments
  u16(1);         // linear frequencies
  u16(6);         // speed
  u16(125);       // tempo
  m.resize(m.size() + 256, 0);  // order table: pattern 0 twice
  // Pattern 0: header length 9, packing 0, 4 rows, no data.
  u16(9);
  u16(0);
  m.push_back(0);
  u16(4);
  u16(0);
  return m;
}

class AudioFindings : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(BASS_Init(BASS_DEVICE_NOSOUND, 44100, 0, nullptr, nullptr)); }
  void TearDown() override { BASS_Free(); }
};

TEST_F(AudioFindings, ModuleWithoutChannelsIsRefusedInsteadOfHangingTheMixer) {
  // Rendering such a module made libxmp wait forever for samples.
  const auto none = MakeXm(0);
  EXPECT_EQ(BASS_MusicLoad(true, none.data(), 0, static_cast<DWORD>(none.size()), 0, 44100), 0u);
  // The same module with channels loads and renders (silence: no instruments).
  const auto two = MakeXm(2);
  const HMUSIC music = BASS_MusicLoad(true, two.data(), 0, static_cast<DWORD>(two.size()), 0, 44100);
  ASSERT_NE(music, 0u) << BASS_ErrorGetCode();
  ASSERT_TRUE(BASS_ChannelPlay(music, true));
  const auto out = Render(4410);
  EXPECT_EQ(out.size(), 2u * 4410);
  EXPECT_EQ(AudibleFrames(out), 0u);
  BASS_MusicFree(music);
}

}  // namespace
