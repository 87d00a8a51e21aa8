// Song sources into XM modules: the notation, the module writer as libxmp
// reads it back, tuning, rendering and the MP3 encoder.
#include <gtest/gtest.h>
#include <mpg123.h>
#include <xmp.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "MusicCommand.h"
#include "MusicRender.h"
#include "MusicSong.h"
#include "MusicXM.h"
#include "SoundSynth.h"
#include "SoundWav.h"
#include "TestSupport.h"
#include "VgrData.h"

using namespace vgrdata;

namespace {

// A one-layer instrument and a hold drum, then whatever the test adds.
const char* const kHead =
    "title Test Song\nspeed 6\nbpm 125\nchannels 4\nrows 16\n"
    "instrument lead\n root C5\n length 0.3\n loop 0.1\n envelope 0:64 4:48 sustain 1\n fadeout 800\n"
    " layer\n  wave sine\n end\nend\n"
    "instrument kick\n length 0.2\n hold\n layer\n  wave sine\n  freq 150@0 50@0.1\n env 0.001 0.15 0 0.02\n end\nend\n"
    "drum kk kick C4 v40\n";

bool Parse(const std::string& body, TXmModule& m, std::string& why) {
  TSongInfo info;
  return ParseSong(std::string(kHead) + body, m, info, why);
}

const TXmCell& Cell(const TXmModule& m, int pattern, int row, int channel) {
  return m.Patterns[static_cast<size_t>(pattern)].Cells[static_cast<size_t>(row * m.Channels + channel)];
}

struct TXmpModule {
  xmp_context Ctx = xmp_create_context();
  bool Loaded = false;
  xmp_module_info Info{};
  explicit TXmpModule(std::vector<uint8_t> data) {
    Loaded = xmp_load_module_from_memory(Ctx, data.data(), static_cast<long>(data.size())) == 0;
    if (Loaded) xmp_get_module_info(Ctx, &Info);
  }
  ~TXmpModule() {
    if (Loaded) xmp_release_module(Ctx);
    xmp_free_context(Ctx);
  }
  const xmp_event& Event(int pattern, int row, int channel) const {
    const xmp_module& mod = *Info.mod;
    const int track = mod.xxp[pattern]->index[channel];
    return mod.xxt[track]->event[row];
  }
};

double CrossingRate(const TPcm& pcm, size_t first, size_t count) {
  int n = 0;
  for (size_t i = first + 1; i < first + count; ++i)
    if (pcm.Samples[(i - 1) * 2] < 0 && pcm.Samples[i * 2] >= 0) ++n;
  return n * static_cast<double>(pcm.Rate) / static_cast<double>(count);
}

}  // namespace

TEST(MusicSong, NotesLengthsRestsAndTiesBecomeCells) {
  TXmModule m;
  std::string why;
  ASSERT_TRUE(Parse("pattern A\n 1: @lead C4:4 -:2 .:2 A4:2 ~v20 Bb4 .:4\n 2: kk:8 kk\nend\norder A\n", m, why))
      << why;
  ASSERT_EQ(m.Patterns.size(), 1u);
  EXPECT_EQ(Cell(m, 0, 0, 0).Note, 49);         // C-4
  EXPECT_EQ(Cell(m, 0, 0, 0).Instrument, 1);
  EXPECT_EQ(Cell(m, 0, 0, 0).Volume, 0);        // instrument default
  EXPECT_TRUE(Cell(m, 0, 4, 0).Empty());        // held on
  EXPECT_EQ(Cell(m, 0, 6, 0).Note, kXmKeyOff);  // the rest releases it
  EXPECT_EQ(Cell(m, 0, 8, 0).Note, 58);
  EXPECT_EQ(Cell(m, 0, 8, 0).Volume, 0x10 + 20);
  EXPECT_EQ(Cell(m, 0, 10, 0).Note, 59);        // A#4, default length 2
  EXPECT_EQ(Cell(m, 0, 10, 0).Volume, 0);
  EXPECT_EQ(Cell(m, 0, 12, 0).Note, kXmKeyOff);
  EXPECT_EQ(Cell(m, 0, 0, 1).Note, 49);
  EXPECT_EQ(Cell(m, 0, 0, 1).Instrument, 2);
  EXPECT_EQ(Cell(m, 0, 0, 1).Volume, 0x10 + 40);
  EXPECT_TRUE(Cell(m, 0, 7, 1).Empty());
  EXPECT_EQ(Cell(m, 0, 8, 1).Note, 49);
  EXPECT_TRUE(Cell(m, 0, 15, 1).Empty());  // a drum rings out: no release
}

TEST(MusicSong, NoteAtThePatternEndIsReleasedOnItsLastTick) {
  TXmModule m;
  std::string why;
  ASSERT_TRUE(Parse("pattern A\n 1: @lead C4:8 E4:8 ~vib46\nend\norder A\n", m, why)) << why;
  EXPECT_EQ(Cell(m, 0, 8, 0).Effect, 0);       // vibrato from the second row
  EXPECT_EQ(Cell(m, 0, 9, 0).Effect, 4);
  EXPECT_EQ(Cell(m, 0, 9, 0).Param, 0x46);
  EXPECT_EQ(Cell(m, 0, 15, 0).Effect, 0x14);   // key off ...
  EXPECT_EQ(Cell(m, 0, 15, 0).Param, 5);       // ... on tick 5 of speed 6
}

TEST(MusicSong, EffectsOfNoteChanges) {
  struct TCase {
    const char* Change;
    int Row;
    uint8_t Effect, Param;
  };
  const std::vector<TCase> cases = {
      {"~a47", 0, 0x00, 0x47}, {"~a47", 3, 0x00, 0x47}, {"~p10", 0, 0x03, 0x10}, {"~p10", 1, 0x03, 0x00},
      {"~u08", 0, 0x01, 0x08}, {"~d08", 2, 0x02, 0x08}, {"~f4", 0, 0x00, 0x00},  {"~f4", 1, 0x0A, 0x04},
      {"~fi3", 1, 0x0A, 0x30}, {"~c3", 0, 0x0E, 0xC3},  {"~e2", 0, 0x0E, 0xD2},  {"~xF08", 0, 0x0F, 0x08},
  };
  for (const TCase& c : cases) {
    TXmModule m;
    std::string why;
    ASSERT_TRUE(Parse(std::string("pattern A\n 1: @lead C4:4 ") + c.Change + " .:12\nend\norder A\n", m, why))
        << c.Change << ": " << why;
    EXPECT_EQ(Cell(m, 0, c.Row, 0).Effect, c.Effect) << c.Change << " row " << c.Row;
    EXPECT_EQ(Cell(m, 0, c.Row, 0).Param, c.Param) << c.Change << " row " << c.Row;
  }
}

TEST(MusicSong, RepeatsPhrasesAndTransposition) {
  TXmModule m;
  std::string why;
  ASSERT_TRUE(Parse("phrase up @lead C4:2 E4\npattern A\n 1: ($up)x2 $up+12 (G4:1 A4)x2\nend\norder A\n", m,
                    why))
      << why;
  const int expected[16] = {49, 0, 53, 0, 49, 0, 53, 0, 61, 0, 65, 0, 56, 58, 56, 58};
  for (int row = 0; row < 16; ++row) EXPECT_EQ(Cell(m, 0, row, 0).Note, expected[row]) << "row " << row;
}

TEST(MusicSong, OrderLoopPointAndUnusedInstruments) {
  TXmModule m;
  std::string why;
  ASSERT_TRUE(Parse("pattern A\n 2: kk:16\nend\npattern B\n 2: kk:8 kk\nend\norder A B | B A B\n", m, why)) << why;
  EXPECT_EQ(m.Order, (std::vector<uint8_t>{0, 1, 1, 0, 1}));
  EXPECT_EQ(m.Restart, 2);
  // Only the drum is played: the unused lead is left out and the drum is
  // instrument 1.
  ASSERT_EQ(m.Instruments.size(), 1u);
  EXPECT_EQ(m.Instruments[0].Name, "kick");
  EXPECT_EQ(Cell(m, 0, 0, 1).Instrument, 1);
}

TEST(MusicSong, MistakesNameTheirLine) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"pattern A\n 1: @lead C4:4\nend\norder A\n", "lasts 4 rows, the pattern 16"},
      {"pattern A\n 1: @lead C4:20\nend\norder A\n", "lasts 20 rows"},
      {"pattern A\n 1: C4:16\nend\norder A\n", "before any '@instrument'"},
      {"pattern A\n 1: @flute C4:16\nend\norder A\n", "unknown instrument 'flute'"},
      {"pattern A\n 1: $nothing\nend\norder A\n", "unknown phrase"},
      {"pattern A\n 1: (kk:4 kk:4\nend\norder A\n", "'(' without ')'"},
      {"pattern A\n 1: (kk:4)y2 kk:12\nend\norder A\n", "bad repeat"},
      {"pattern A\n 1: ~v10 kk:16\nend\norder A\n", "must follow a note"},
      {"pattern A\n 1: @lead C4:16 ~q1\nend\norder A\n", "unknown note change"},
      {"pattern A\n 1: @lead C9:16\nend\norder A\n", "outside C0..B7"},
      {"pattern A\n 1: @lead H4:16\nend\norder A\n", "not a note"},
      {"pattern A\n 1: @lead B7:8 $x+5\nend\nphrase x B7\norder A\n", "unknown phrase"},
      {"pattern A\n 9: kk:16\nend\norder A\n", "channel number"},
      {"pattern A\n 1: kk:16\nend\norder B\n", "unknown pattern 'B'"},
      {"pattern A\n 1: kk:16\n", "block without 'end'"},
      {"pattern A\n 1: kk:16\nend\n", "no order list"},
      {"drum C4 kick C4\n", "no note names"},
      {"instrument x\n envelope 0:64 0:32\n layer\n end\nend\n", "must rise"},
      {"instrument x\n envelope 0:64 sustain 3\n layer\n end\nend\n", "missing point"},
      {"instrument lead\nend\n", "defined twice"},
      {"channels 3\n", "even count"},
      {"include other.inc\n", "cannot include"},
  };
  for (const auto& [body, expected] : cases) {
    TXmModule m;
    std::string why;
    EXPECT_FALSE(Parse(body, m, why)) << body;
    EXPECT_NE(why.find(expected), std::string::npos) << body << " -> " << why;
    EXPECT_EQ(why.rfind("line ", 0), 0u) << why;
  }
}

TEST(MusicSong, IncludesComeFromTheResolver) {
  TXmModule m;
  TSongInfo info;
  std::string why;
  const TIncludeResolver resolve = [](const std::string& name, std::string& text) {
    if (name != "drums.inc") return false;
    text = "instrument snare\n length 0.1\n hold\n layer\n  wave noise\n end\nend\ndrum sn snare C4\n";
    return true;
  };
  ASSERT_TRUE(ParseSong("channels 2\nrows 4\ninclude drums.inc\npattern A\n 1: sn:4\nend\norder A\n", m, info, why,
                        resolve))
      << why;
  EXPECT_EQ(m.Instruments.size(), 1u);
  EXPECT_FALSE(ParseSong("include nested.inc\n", m, info, why, [](const std::string&, std::string& text) {
    text = "include again.inc\n";
    return true;
  }));
  EXPECT_NE(why.find("cannot include"), std::string::npos) << why;
}

TEST(MusicXM, LibxmpReadsBackWhatWasWritten) {
  TXmModule m;
  std::string why;
  ASSERT_TRUE(Parse("pattern A\n 1: @lead C4:4 ~v33 . E4:4 ~vib46 .\n 2: kk:16\nend\n"
                    "pattern B 8\n 1: @lead G4:8\nend\norder A | B A\n",
                    m, why))
      << why;
  TXmpModule x(WriteXm(m));
  ASSERT_TRUE(x.Loaded);
  const xmp_module& mod = *x.Info.mod;
  EXPECT_STREQ(mod.name, "Test Song");
  EXPECT_EQ(mod.chn, 4);
  EXPECT_GE(mod.pat, 2);  // libxmp may add an empty pattern of its own
  EXPECT_EQ(mod.len, 3);
  EXPECT_EQ(mod.rst, 1);
  EXPECT_EQ(mod.ins, 2);
  EXPECT_EQ(mod.spd, 6);
  EXPECT_EQ(mod.bpm, 125);
  EXPECT_EQ(mod.xxp[1]->rows, 8);
  // libxmp counts notes from C-0 = 12 (plus one): XM C-4 (49) is 61.
  EXPECT_EQ(x.Event(0, 0, 0).note, 61);
  EXPECT_EQ(x.Event(0, 0, 0).ins, 1);
  EXPECT_EQ(x.Event(0, 0, 0).vol, 34);  // volume column 33, plus one
  EXPECT_EQ(x.Event(0, 4, 0).note, XMP_KEY_OFF);
  EXPECT_EQ(x.Event(0, 9, 0).fxt, 4);
  EXPECT_EQ(x.Event(0, 9, 0).fxp, 0x46);
  EXPECT_EQ(x.Event(0, 0, 1).ins, 2);
  // Sample data and loop survive the delta coding.
  const xmp_sample& s = mod.xxs[mod.xxi[0].sub[0].sid];
  EXPECT_EQ(s.len, static_cast<int>(m.Instruments[0].Sample.size()));
  EXPECT_EQ(s.lps, static_cast<int>(m.Instruments[0].LoopStart));
  EXPECT_EQ(s.lpe, static_cast<int>(m.Instruments[0].LoopStart + m.Instruments[0].LoopLength));
  EXPECT_TRUE(s.flg & XMP_SAMPLE_LOOP);
  const auto* data = reinterpret_cast<const int16_t*>(s.data);
  for (size_t i = 0; i < m.Instruments[0].Sample.size(); i += 97) EXPECT_EQ(data[i], m.Instruments[0].Sample[i]);
  EXPECT_EQ(mod.xxi[0].aei.npt, 2);
  EXPECT_EQ(mod.xxi[0].rls, 2 * 800);  // libxmp keeps the fade-out doubled
}

TEST(MusicXM, LimitsAreChecked) {
  TXmModule m;
  m.Patterns.push_back({4, std::vector<TXmCell>(32)});
  m.Order = {0};
  std::string why;
  EXPECT_TRUE(CheckXm(m, why)) << why;
  TXmModule bad = m;
  bad.Order = {1};
  EXPECT_FALSE(CheckXm(bad, why));
  bad = m;
  bad.Restart = 1;
  EXPECT_FALSE(CheckXm(bad, why));
  bad = m;
  bad.Patterns[0].Cells.pop_back();
  EXPECT_FALSE(CheckXm(bad, why));
  bad = m;
  bad.Instruments.resize(1);
  bad.Instruments[0].Sample.resize(10);
  bad.Instruments[0].LoopStart = 8;
  bad.Instruments[0].LoopLength = 4;
  EXPECT_FALSE(CheckXm(bad, why));
}

TEST(MusicXM, TuningMakesCFourPlayTheRootAsMiddleC) {
  for (double rate : {22050.0, 32000.0, 44100.0}) {
    for (double root : {NoteFrequency(48), NoteFrequency(60), NoteFrequency(72), 300.0}) {
      int8_t rel, fine;
      XmTuning(rate, root, rel, fine);
      const double c4Rate = 8363.0 * std::pow(2.0, (rel + fine / 128.0) / 12.0);
      const double cents = 1200.0 * std::log2(c4Rate / (rate * NoteFrequency(60) / root));
      EXPECT_LT(std::abs(cents), 0.5) << rate << " " << root;
    }
  }
}

TEST(MusicRender, NotesSoundAtTheirPitchAndTheSongLoops) {
  TXmModule m;
  std::string why;
  ASSERT_TRUE(Parse("pattern A\n 1: @lead A4:16\nend\npattern B\n 1: @lead A5:16\nend\norder A | B\n", m, why))
      << why;
  TModuleRender r;
  ASSERT_TRUE(RenderModule(WriteXm(m), 1.0, false, r, why)) << why;
  EXPECT_EQ(r.LoopTarget, static_cast<size_t>(1.92 * 44100));
  EXPECT_EQ(r.LoopEnd, static_cast<size_t>(2 * 1.92 * 44100));
  EXPECT_NEAR(CrossingRate(r.Pcm, 8000, 44100), 440, 2);
  EXPECT_NEAR(CrossingRate(r.Pcm, r.LoopTarget + 8000, 44100), 880, 2);

  TPcm loop;
  ASSERT_TRUE(RenderLoopSection(WriteXm(m), loop, why)) << why;
  EXPECT_EQ(loop.Frames(), static_cast<size_t>(1.92 * 44100));
}

// RMS in dBFS of one channel (0 left, 1 right) of a stereo render.
double ChannelDb(const TPcm& pcm, int channel, double from, double seconds) {
  const size_t first = static_cast<size_t>(from * pcm.Rate), count = static_cast<size_t>(seconds * pcm.Rate);
  double sum = 0;
  for (size_t i = first; i < first + count; ++i) {
    const double v = pcm.Samples[i * 2 + static_cast<size_t>(channel)] / 32768.0;
    sum += v * v;
  }
  return ToDb(std::sqrt(sum / static_cast<double>(count)));
}

// An instrument panned left, the same notes moved right by the channel's
// pan, then centred: libxmp plays them where they were put, and the
// measure sees the side signal only where there is one.
TEST(MusicRender, PannedNotesSoundWhereTheyWerePut) {
  const std::string left =
      "instrument left\n root C5\n length 0.3\n loop 0.1\n pan -70\n layer\n  wave sine\n end\nend\n";
  TXmModule m;
  std::string why;
  ASSERT_TRUE(Parse(left + "pattern A\n 1: @left A4:16\nend\n"
                           "pattern B\n 1: P70 @left A4:4 A4 A4 A4 ~e2\nend\n"
                           "pattern C\n 1: P0 @left A4:16\nend\norder A B | C\n",
                    m, why))
      << why;
  // The channel's pan goes with every note: in the effect column, or in the
  // volume column when a first-row effect holds the other.
  EXPECT_EQ(Cell(m, 1, 0, 0).Effect, 8);
  EXPECT_EQ(Cell(m, 1, 0, 0).Param, 217);
  EXPECT_EQ(Cell(m, 1, 12, 0).Effect, 0x0E);
  EXPECT_EQ(Cell(m, 1, 12, 0).Volume, 0xCD);
  EXPECT_EQ(m.Instruments[0].Pan, 39);

  TModuleRender r;
  ASSERT_TRUE(RenderModule(WriteXm(m), 1.0, false, r, why)) << why;
  ASSERT_EQ(r.LoopTarget, static_cast<size_t>(2 * 1.92 * 44100));
  EXPECT_GT(ChannelDb(r.Pcm, 0, 0.3, 1.2) - ChannelDb(r.Pcm, 1, 0.3, 1.2), 6.0);
  EXPECT_GT(ChannelDb(r.Pcm, 1, 2.2, 1.2) - ChannelDb(r.Pcm, 0, 2.2, 1.2), 6.0);
  EXPECT_NEAR(ChannelDb(r.Pcm, 1, 4.2, 1.2), ChannelDb(r.Pcm, 0, 4.2, 1.2), 0.2);

  TSongMeasure measure;
  ASSERT_TRUE(MeasureModule(WriteXm(m), measure, why)) << why;
  EXPECT_NEAR(measure.Seconds, 3 * 1.92, 0.01);
  EXPECT_NEAR(measure.LoopSeconds, 1.92, 0.01);
  EXPECT_LT(measure.SideDb, -60);  // the loop is pattern C alone, in the middle
  ASSERT_TRUE(Parse(left + "pattern A\n 1: @left A4:16\nend\norder A\n", m, why)) << why;
  ASSERT_TRUE(MeasureModule(WriteXm(m), measure, why)) << why;
  // Pan -70 at the mixer's 70 % separation: L-R is 0.7 * 0.7 of L+R.
  EXPECT_NEAR(measure.SideDb, 20 * std::log10(0.7 * 0.7), 0.3);
  EXPECT_LT(measure.JoinJump, 3);

  // A pan has nowhere to go when the note fills both columns.
  EXPECT_FALSE(Parse("pattern A\n 1: P70 V40 @lead A4:16 ~e2\nend\norder A\n", m, why));
  EXPECT_NE(why.find("panned note"), std::string::npos) << why;
}

TEST(MusicRender, SongThatNeverLoopsIsRefused) {
  TXmModule m;
  std::string why;
  // Pattern break into itself at row 0 forever: position 0 row 0 is met
  // again and again, so it does loop; a jump past the end does not exist.
  ASSERT_TRUE(Parse("pattern A\n 1: @lead A4:16\nend\norder A\n", m, why)) << why;
  TModuleRender r;
  EXPECT_TRUE(RenderModule(WriteXm(m), 0, false, r, why)) << why;
  EXPECT_FALSE(RenderModule(std::vector<uint8_t>{1, 2, 3}, 0, false, r, why));
  EXPECT_NE(why.find("cannot load"), std::string::npos);
}

TEST(MusicRender, Mp3IsGaplessThroughItsInfoTag) {
  TPcm pcm;
  pcm.Channels = 2;
  const size_t frames = 44100;
  for (size_t i = 0; i < frames; ++i) {
    const auto v = static_cast<int16_t>(8000 * std::sin(2 * 3.14159265358979 * 440.0 * i / 44100.0));
    pcm.Samples.push_back(v);
    pcm.Samples.push_back(v);
  }
  std::vector<uint8_t> mp3;
  std::string why;
  ASSERT_TRUE(EncodeMp3(pcm, mp3, why)) << why;
  ASSERT_GT(mp3.size(), 1000u);
  const std::string head(mp3.begin(), mp3.begin() + 200);
  EXPECT_TRUE(head.find("Info") != std::string::npos || head.find("Xing") != std::string::npos);

  // A gapless decoder gives back exactly the frames that went in.
  mpg123_init();
  mpg123_handle* h = mpg123_new(nullptr, nullptr);
  ASSERT_NE(h, nullptr);
  mpg123_param(h, MPG123_FLAGS, MPG123_GAPLESS | MPG123_QUIET, 0);
  ASSERT_EQ(mpg123_open_feed(h), MPG123_OK);
  ASSERT_EQ(mpg123_feed(h, mp3.data(), mp3.size()), MPG123_OK);
  std::vector<unsigned char> buf(65536);
  size_t bytes = 0, total = 0;
  double sum = 0;
  for (;;) {
    const int rc = mpg123_read(h, buf.data(), buf.size(), &bytes);
    for (size_t i = 0; i + 1 < bytes; i += 2) {
      const int16_t s = static_cast<int16_t>(buf[i] | (buf[i + 1] << 8));
      sum += static_cast<double>(s) * s;
    }
    total += bytes;
    if (rc == MPG123_NEW_FORMAT || (rc == MPG123_OK && bytes)) continue;
    if (rc != MPG123_OK) break;
    if (!bytes) break;
  }
  mpg123_delete(h);
  EXPECT_EQ(total / 4, frames);
  EXPECT_NEAR(std::sqrt(sum / (total / 2.0)), 8000 / std::sqrt(2.0), 300);
}

TEST(MusicCommand, BuildsRendersAndEncodes) {
  vgrtest::TTempDir dir;
  vgrtest::WriteFile(dir / "kit.inc", "instrument kick\n length 0.2\n hold\n layer\n  wave sine\n  freq 120\n"
                                      "  env 0.001 0.15 0 0.02\n end\nend\ndrum kk kick C4\n");
  vgrtest::WriteFile(dir / "s.song", "channels 2\nrows 16\ninclude kit.inc\npattern A\n 1: (kk:4)x4\nend\norder A\n");
  std::ostringstream out, err;
  ASSERT_EQ(vgrdata::Run({"music", "build", dir / "s.song", dir / "s.xm"}, out, err), 0) << err.str();
  EXPECT_NE(out.str().find("jumps back at 1.9 s"), std::string::npos) << out.str();
  ASSERT_EQ(vgrdata::Run({"music", "render", dir / "s.xm", dir / "s.wav", "1"}, out, err), 0) << err.str();
  TPcm pcm;
  std::string why;
  ASSERT_TRUE(ReadWav(vgrtest::ReadBinaryFile(dir / "s.wav"), pcm, why)) << why;
  EXPECT_EQ(pcm.Channels, 2);
  EXPECT_NEAR(pcm.Seconds(), 2.92, 0.01);
  ASSERT_EQ(vgrdata::Run({"music", "mp3", dir / "s.song", dir / "s.mp3"}, out, err), 0) << err.str();
  EXPECT_GT(vgrtest::ReadBinaryFile(dir / "s.mp3").size(), 1000u);

  vgrtest::WriteFile(dir / "bad.song", "pattern A\n");
  std::ostringstream out2, err2;
  EXPECT_EQ(vgrdata::Run({"music", "build", dir / "bad.song", dir / "bad.xm"}, out2, err2), 1);
  EXPECT_NE(err2.str().find("bad.song: line 1"), std::string::npos) << err2.str();
  EXPECT_EQ(vgrdata::Run({"music", "play", dir / "s.song", dir / "x"}, out2, err2), 2);
}
