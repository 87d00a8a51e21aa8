// The game's own sounds and songs, built from data/ as the data build does,
// loaded from Zapkin.ini by the program's collections and played through the
// program's audio layer: every one loads without an error, is audible, stays
// below full scale, and every song (and the MP3 theme) loops without a gap.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cmath>
#include <dirent.h>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "BASS.h"
#include "MusicCollectionUnit.h"
#include "MusicCommand.h"
#include "MusicRender.h"
#include "MusicSong.h"
#include "PlaylistUnit.h"
#include "SoundSynth.h"
#include "SoundWav.h"
#include "TestSupport.h"
#include "ToolFiles.h"
#include "WaveCollectionUnit.h"
#include "ZRINIFile.h"

using namespace vgrdata;

namespace {

const std::string kData = vgrtest::SourceDir() + "/data/";

std::vector<std::string> FilesEndingIn(const std::string& folder, const std::string& tail) {
  std::vector<std::string> names;
  if (DIR* d = opendir(folder.c_str())) {
    while (dirent* e = readdir(d)) {
      const std::string n = e->d_name;
      if (n.size() > tail.size() && n.compare(n.size() - tail.size(), tail.size(), tail) == 0)
        names.push_back(n.substr(0, n.size() - tail.size()));
    }
    closedir(d);
  }
  std::sort(names.begin(), names.end());
  return names;
}

struct TSongData {
  std::vector<uint8_t> Module;
  size_t LoopTarget = 0, LoopEnd = 0;  // frames, as libxmp plays it
};

// Everything the data build stages, made once for the whole suite.
struct TStage {
  vgrtest::TTempDir Dir;
  std::map<std::string, TSongData> Songs;
  std::vector<std::string> Effects;
  size_t ThemeLoopFrames = 0;
};
std::unique_ptr<TStage> Stage;

// Runs a test inside the staged folder, where the lookup finds loose files,
// with the audio library started without an output device.
class InStage {
 public:
  InStage() {
    char buf[PATH_MAX];
    Old_ = getcwd(buf, sizeof buf) ? buf : ".";
    EXPECT_EQ(chdir(Stage->Dir.Path().c_str()), 0);
    EXPECT_TRUE(BASS_Init(BASS_DEVICE_NOSOUND, 44100, 0, nullptr, nullptr));
    BASS_SetVolume(100.0f);
  }
  ~InStage() {
    BASS_Free();
    EXPECT_EQ(chdir(Old_.c_str()), 0);
  }

 private:
  std::string Old_;
};

TPcm RenderOutput(double seconds) {
  TPcm pcm;
  pcm.Channels = 2;
  const size_t frames = static_cast<size_t>(seconds * 44100);
  pcm.Samples.resize(frames * 2);
  for (size_t at = 0; at < frames; at += 4096) {
    const DWORD n = static_cast<DWORD>(std::min<size_t>(4096, frames - at));
    EXPECT_TRUE(BASS_RenderOutput(pcm.Samples.data() + at * 2, n));
  }
  return pcm;
}

// The quietest 20 ms window of [first, first + count) in dBFS.
double QuietestWindow(const TPcm& pcm, size_t first, size_t count) {
  double quietest = 0;
  for (size_t at = first; at + 882 <= first + count; at += 441)
    quietest = std::min(quietest, WindowRmsDb(pcm, at, 882));
  return quietest;
}

// Normalised correlation of the left channel at [a, a + count) and [b, b + count).
double Correlation(const TPcm& pcm, size_t a, size_t b, size_t count) {
  double ab = 0, aa = 0, bb = 0;
  for (size_t i = 0; i < count; ++i) {
    const double x = pcm.Samples[(a + i) * 2], y = pcm.Samples[(b + i) * 2];
    ab += x * y;
    aa += x * x;
    bb += y * y;
  }
  return aa > 0 && bb > 0 ? ab / std::sqrt(aa * bb) : 0.0;
}

std::vector<std::string> Errors(const std::vector<std::string>& lines) {
  std::vector<std::string> bad;
  for (const std::string& l : lines)
    if (!l.empty() && (l[0] == '{' || l[0] == '[')) bad.push_back(l);
  return bad;
}

class GameAudio : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    Stage = std::make_unique<TStage>();
    const std::string dir = Stage->Dir.Path();
    ASSERT_EQ(mkdir((dir + "sfx").c_str(), 0755), 0);
    ASSERT_EQ(mkdir((dir + "music").c_str(), 0755), 0);
    for (const std::string& name : FilesEndingIn(kData + "sfx", ".sfx")) {
      std::vector<uint8_t> text = ReadInputFile(kData + "sfx/" + name + ".sfx");
      TSoundRecipe r;
      std::string why;
      ASSERT_TRUE(ParseSoundRecipe(std::string(text.begin(), text.end()), r, why)) << name << ": " << why;
      TPcm pcm;
      pcm.Rate = r.Rate;
      pcm.Samples = RenderSound(r);
      WriteOutputFile(dir + "sfx/" + name + ".wav", WriteWav(pcm));
      Stage->Effects.push_back(name);
    }
    for (const std::string& name : FilesEndingIn(kData + "music", ".song")) {
      TSongData& song = Stage->Songs[name];
      std::string why;
      ASSERT_TRUE(LoadModuleBytes(kData + "music/" + name + ".song", song.Module, why)) << why;
      WriteOutputFile(dir + "music/" + name + ".xm", song.Module);
      TModuleRender r;
      ASSERT_TRUE(RenderModule(song.Module, 0, false, r, why)) << name << ": " << why;
      song.LoopTarget = r.LoopTarget;
      song.LoopEnd = r.LoopEnd;
    }
    TPcm loop;
    std::vector<uint8_t> mp3;
    std::string why;
    ASSERT_TRUE(RenderLoopSection(Stage->Songs["theme"].Module, loop, why)) << why;
    ASSERT_TRUE(EncodeMp3(loop, mp3, why)) << why;
    WriteOutputFile(dir + "music/theme.mp3", mp3);
    Stage->ThemeLoopFrames = loop.Frames();
    std::vector<uint8_t> ini = ReadInputFile(kData + "Zapkin.ini");
    WriteOutputFile(dir + "Zapkin.ini", ini);
  }
  static void TearDownTestSuite() { Stage.reset(); }
};

}  // namespace

TEST_F(GameAudio, DataHoldsNineEffectsAndSevenSongs) {
  ASSERT_TRUE(Stage);
  EXPECT_EQ(Stage->Effects.size(), 9u);
  EXPECT_GE(Stage->Songs.size(), 7u);
}

TEST_F(GameAudio, StartUpLoadsEverySongEffectAndPlaylistWithoutAnError) {
  ASSERT_TRUE(Stage);
  vgrtest::TScopedLog log;
  InStage here;
  TIniFile ini("Zapkin.ini", true);
  TMusicCollection music;
  TWaveCollection waves;
  TPlayLists lists;
  music.Load(ini, "Music");
  waves.Load(ini, "Waves");
  lists.Load(ini, "Playlists");
  EXPECT_EQ(music.Count(), static_cast<int32_t>(Stage->Songs.size()) + 1);  // and the MP3 theme
  // Songs are loaded when played.
  for (const auto& item : music.Items) {
    item->Play();
    ASSERT_TRUE(item->Music) << item->Name;
    EXPECT_NE(item->Music->fMusic, 0u) << item->Name;
    item->Stop();
  }
  EXPECT_EQ(Errors(log.Lines()), std::vector<std::string>());
  const std::vector<std::string> effects = {"Spring",       "Falling",  "Sliding on ICE", "Create VGR", "Destroy VGR",
                                            "Piece Pickup", "Shocking", "Landing",        "Death"};
  EXPECT_EQ(waves.Count(), 9);
  for (const std::string& name : effects) {
    TWaveCollectionItem* item = waves.Find(name);
    ASSERT_NE(item, nullptr) << name;
    EXPECT_NE(item->Wave->fWave, 0u) << name;
  }
  // Level k plays entry (k - 1) mod count: over 25 levels a player hears at
  // least five construction songs and three interim songs, and every entry
  // names a loaded song.
  const std::map<std::string, int> least = {{"Menu", 1}, {"Constructing", 5}, {"Interim", 3}, {"Gameover", 1},
                                            {"Outro", 1}};
  EXPECT_EQ(lists.Count(), 5);
  for (const auto& [name, count] : least) {
    TPlayList* list = lists.Find(name);
    ASSERT_NE(list, nullptr) << name;
    EXPECT_GE(list->Count(), count) << name;
    for (const std::string& song : list->Strings) EXPECT_NE(music.Find(song), nullptr) << name << ": " << song;
  }
  // The menu starts with the MP3: streamed straight from its file.
  EXPECT_EQ(music.Find(lists.Find("Menu")->CurrentSong())->Title, "Voltigor Theme");
}

TEST_F(GameAudio, EveryEffectIsAudibleUnclippedAndEndsOrLoops) {
  ASSERT_TRUE(Stage);
  InStage here;
  TIniFile ini("Zapkin.ini", true);
  // The RMS of each effect at its volume: none stands out from the others.
  std::map<std::string, double> levels;
  for (int32_t i = 0; i < ini.ListItemCount("Waves"); ++i) {
    const std::string name = ini.ReadListItem("Waves", i);
    const std::string section = "Waves." + name;
    SCOPED_TRACE(name);
    const bool looped = ini.ReadBool(section, "Looped", false);
    std::string file = ini.ReadString(section, "File", "*");
    std::replace(file.begin(), file.end(), '\\', '/');
    const DWORD flags = BASS_SAMPLE_OVER_POS | (looped ? BASS_SAMPLE_LOOP : 0);
    const HSAMPLE sample = BASS_SampleLoad(false, file.c_str(), 0, 0, ini.ReadInteger(section, "Max", 1), flags);
    ASSERT_NE(sample, 0u);
    BASS_SAMPLE info;
    ASSERT_TRUE(BASS_SampleGetInfo(sample, &info));
    const double seconds = info.length / 2.0 / info.chans / info.freq;
    info.volume = ini.ReadInteger(section, "Volume", 100) / 100.0f;
    std::vector<uint8_t> bytes;
    TPcm wav;
    std::string why;
    bytes = ReadInputFile(file);
    ASSERT_TRUE(ReadWav(bytes, wav, why)) << why;
    levels[name] = MeasureLevels(wav).RmsDb + ToDb(info.volume);
    ASSERT_TRUE(BASS_SampleSetInfo(sample, &info));
    const HCHANNEL ch = BASS_SampleGetChannel(sample, false);
    ASSERT_TRUE(BASS_ChannelPlay(ch, false));
    const TPcm out = RenderOutput(looped ? seconds * 3.5 : seconds + 0.3);
    const TLevelStats st = MeasureLevels(out);
    EXPECT_LT(st.PeakDb, -1.0);
    EXPECT_EQ(st.ClippedSamples, 0u);
    EXPECT_GT(st.RmsDb, -30.0);
    if (looped) {
      // A falling whistle for as long as the fall lasts: no gap at the joins.
      EXPECT_GT(QuietestWindow(out, 0, out.Frames()), -40.0);
      EXPECT_EQ(BASS_ChannelIsActive(ch), BASS_ACTIVE_PLAYING);
      BASS_ChannelStop(ch);
    } else {
      EXPECT_EQ(BASS_ChannelIsActive(ch), BASS_ACTIVE_STOPPED);
    }
    BASS_SampleFree(sample);
  }
  ASSERT_EQ(levels.size(), 9u);
  std::vector<double> sorted;
  for (const auto& [name, db] : levels) sorted.push_back(db);
  std::sort(sorted.begin(), sorted.end());
  const double median = sorted[sorted.size() / 2];
  for (const auto& [name, db] : levels) EXPECT_NEAR(db, median, 4.0) << name;
}

TEST_F(GameAudio, EverySongIsAudibleUnclippedAndLoopsWithoutAGap) {
  ASSERT_TRUE(Stage);
  InStage here;
  for (const auto& [name, song] : Stage->Songs) {
    SCOPED_TRACE(name);
    const HMUSIC music = BASS_MusicLoad(true, song.Module.data(), 0, static_cast<DWORD>(song.Module.size()),
                                        BASS_SAMPLE_LOOP | BASS_MUSIC_RAMPS, 0);
    ASSERT_NE(music, 0u);
    ASSERT_TRUE(BASS_ChannelPlay(music, true));
    const TPcm out = RenderOutput(static_cast<double>(song.LoopEnd) / 44100 + 3.0);
    BASS_MusicFree(music);
    const TLevelStats st = MeasureLevels(out);
    EXPECT_LT(st.PeakDb, -1.0);
    EXPECT_EQ(st.ClippedSamples, 0u);
    EXPECT_GT(st.RmsDb, -26.0);
    EXPECT_LT(st.LongestSilence, 0.5);
    // Around the jump back there is no hole, and what follows the jump is
    // the loop entry again.
    EXPECT_GT(QuietestWindow(out, song.LoopEnd - 44100, 2 * 44100), -45.0);
    EXPECT_NEAR(WindowRmsDb(out, song.LoopEnd + 4410, 88200), WindowRmsDb(out, song.LoopTarget + 4410, 88200), 3.0);
  }
}

TEST_F(GameAudio, SongsHaveTheirLengthsAndLoopPoints) {
  ASSERT_TRUE(Stage);
  const auto seconds = [](size_t frames) { return static_cast<double>(frames) / 44100; };
  // The theme plays about a minute before it starts over; the game-over
  // tune is short; the others run at least twenty seconds per repetition.
  EXPECT_GE(seconds(Stage->Songs["theme"].LoopEnd), 50.0);
  EXPECT_LE(seconds(Stage->Songs["theme"].LoopEnd), 75.0);
  EXPECT_LE(seconds(Stage->Songs["gameover"].LoopEnd), 30.0);
  for (const auto& [name, song] : Stage->Songs) {
    EXPECT_LT(song.LoopTarget, song.LoopEnd) << name;
    if (name != "gameover") {
      EXPECT_GE(seconds(song.LoopEnd - song.LoopTarget), 20.0) << name;
    }
  }
}

// Players hear a construction or interim song for minutes: each runs at
// least a minute before it repeats, with quiet and loud sections, and every
// song spreads its instruments over the stereo field (the side signal L-R
// within 20 dB of the middle L+R) and joins its loop without a click.
TEST_F(GameAudio, SongsAreStereoAndInGameSongsHaveSections) {
  ASSERT_TRUE(Stage);
  InStage here;
  TIniFile ini("Zapkin.ini", true);
  std::map<std::string, std::string> fileOf;  // song name -> source name
  const int32_t songs = ini.ReadInteger("Music", "NumberOfSongs", 0);
  for (int32_t i = 1; i <= songs; ++i) {
    const std::string section = "Music.Song" + std::to_string(i);
    std::string file = ini.ReadString(section, "File", "*");
    file = file.substr(file.find('\\') + 1);
    fileOf[ini.ReadString(section, "Name", ini.ReadString(section, "Title", ""))] = file.substr(0, file.rfind('.'));
  }
  std::map<std::string, bool> inGame;
  for (const char* list : {"Playlists.Constructing", "Playlists.Interim"})
    for (int32_t i = 0; i < ini.ListItemCount(list); ++i) inGame[fileOf[ini.ReadListItem(list, i)]] = true;
  EXPECT_EQ(inGame.size(), 8u);

  for (const auto& [name, song] : Stage->Songs) {
    SCOPED_TRACE(name);
    TSongMeasure m;
    std::string why;
    ASSERT_TRUE(MeasureModule(song.Module, m, why)) << why;
    EXPECT_GT(m.SideDb, -20.0);
    EXPECT_LT(m.SideDb, -8.0);  // the middle carries the song: nothing sits hard left or right
    EXPECT_LT(m.JoinJump, 3.0);
    if (inGame.count(name)) {
      EXPECT_GE(m.LoopSeconds, 60.0);
      EXPECT_GE(m.RangeDb, 6.0);
    }
  }
  for (const auto& [name, wanted] : inGame) EXPECT_TRUE(Stage->Songs.count(name)) << name;
}

TEST_F(GameAudio, ThemeMp3StreamsFromItsFileAndLoopsWithoutAGap) {
  ASSERT_TRUE(Stage);
  InStage here;
  const HSTREAM stream = BASS_StreamCreateFile(false, "music/theme.mp3", 0, 0, BASS_SAMPLE_LOOP);
  ASSERT_NE(stream, 0u);
  ASSERT_TRUE(BASS_ChannelPlay(stream, true));
  const size_t loop = Stage->ThemeLoopFrames;
  const TPcm out = RenderOutput(static_cast<double>(loop) / 44100 + 2.0);
  BASS_MusicFree(stream);
  const TLevelStats st = MeasureLevels(out);
  EXPECT_LT(st.PeakDb, -0.5);
  EXPECT_EQ(st.ClippedSamples, 0u);
  EXPECT_GT(st.RmsDb, -26.0);
  EXPECT_GT(QuietestWindow(out, loop - 44100, 2 * 44100), -45.0);
  // After one repetition it starts over at once: the second pass lines up
  // with the first sample for sample. Encoder delay or padding played as
  // silence would shift it by a thousand samples or more.
  EXPECT_NEAR(WindowRmsDb(out, loop + 4410, 44100), WindowRmsDb(out, 4410, 44100), 1.0);
  EXPECT_GT(Correlation(out, loop, 0, 22050), 0.95);
  EXPECT_GT(Correlation(out, loop + 22050, 22050, 22050), 0.95);
}

// What the program plays, sample for sample: every song and effect, loaded
// through the collections from Zapkin.ini as the program does, is rendered
// and its checksum compared with tests/tools/music/golden/audio_render.txt. Each
// song plays twice (stopped and restarted between) and sounds the same both
// times. When a change of the sound is intended, rewrite the table with
//   VGR_UPDATE_GOLDEN=1 build/bin/tools_tests --gtest_filter='GameAudio.EverySong*Same*'
TEST_F(GameAudio, EverySongAndEffectSoundsTheSameAsRecorded) {
  ASSERT_TRUE(Stage);
  InStage here;
  TIniFile ini("Zapkin.ini", true);
  TMusicCollection music;
  TWaveCollection waves;
  music.Load(ini, "Music");
  waves.Load(ini, "Waves");
  const auto checksum = [](const TPcm& pcm) {
    uint64_t h = 1469598103934665603ull;  // FNV-1a over the 16-bit values
    for (int16_t v : pcm.Samples) {
      const uint16_t u = static_cast<uint16_t>(v);
      h = (h ^ (u & 0xFF)) * 1099511628211ull;
      h = (h ^ (u >> 8)) * 1099511628211ull;
    }
    return h;
  };
  std::map<std::string, uint64_t> sums;
  for (const auto& item : music.Items) {
    SCOPED_TRACE(item->Name);
    item->Play();
    ASSERT_NE(item->Music, nullptr);
    ASSERT_NE(item->Music->fMusic, 0u);
    const uint64_t first = checksum(RenderOutput(2.5));
    item->Stop();
    // Loaded again from its file, the song starts as it did.
    item->Play();
    EXPECT_EQ(checksum(RenderOutput(2.5)), first);
    item->Stop();
    sums["music " + item->Name] = first;
  }
  for (const auto& item : waves.Items) {
    SCOPED_TRACE(item->Name);
    const uint32_t ch = item->Wave->Play();
    ASSERT_NE(ch, kNoChannel);
    sums["wave " + item->Name] = checksum(RenderOutput(1.5));
    BASS_ChannelStop(ch);
  }
  ASSERT_EQ(sums.size(), music.Items.size() + waves.Items.size());

  const std::string path = vgrtest::SourceDir() + "/tests/tools/music/golden/audio_render.txt";
  if (std::getenv("VGR_UPDATE_GOLDEN")) {
    std::string text;
    for (const auto& [name, sum] : sums) text += std::to_string(sum) + " " + name + "\n";
    WriteOutputFile(path, std::vector<uint8_t>(text.begin(), text.end()));
  }
  std::vector<uint8_t> bytes = ReadInputFile(path);
  std::map<std::string, uint64_t> golden;
  std::string text(bytes.begin(), bytes.end());
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t end = std::min(text.find('\n', at), text.size());
    const std::string line = text.substr(at, end - at);
    const std::size_t blank = line.find(' ');
    if (blank != std::string::npos) golden[line.substr(blank + 1)] = std::stoull(line.substr(0, blank));
    at = end + 1;
  }
  EXPECT_EQ(sums, golden);
}

// Held notes play an instrument's loop over and over: the end of every loop
// must lead smoothly back into its start, or each pass would click.
TEST(MusicInstruments, EveryLoopJoinsSmoothly) {
  for (const std::string& name : FilesEndingIn(kData + "music", ".song")) {
    std::vector<uint8_t> text = ReadInputFile(kData + "music/" + name + ".song");
    const TIncludeResolver resolve = [](const std::string& file, std::string& out) {
      const std::vector<uint8_t> bytes = ReadInputFile(kData + "music/" + file);
      out.assign(bytes.begin(), bytes.end());
      return true;
    };
    TXmModule m;
    TSongInfo info;
    std::string why;
    ASSERT_TRUE(ParseSong(std::string(text.begin(), text.end()), m, info, why, resolve)) << name << ": " << why;
    EXPECT_FALSE(info.Title.empty()) << name;
    for (const TXmInstrument& ins : m.Instruments) {
      SCOPED_TRACE(name + " " + ins.Name);
      int peak = 0;
      for (int16_t v : ins.Sample) peak = std::max(peak, std::abs(static_cast<int>(v)));
      EXPECT_GT(peak, 16000);  // samples use their range; the level is the volume's job
      EXPECT_LT(std::abs(ins.Sample.front()), 200);  // a note starts without a click
      if (!ins.LoopLength) continue;
      TPcm loop;
      loop.Samples.assign(ins.Sample.begin() + ins.LoopStart, ins.Sample.begin() + ins.LoopStart + ins.LoopLength);
      EXPECT_LT(MeasureLevels(loop).WrapJumpRatio, 3.0);
      EXPECT_GT(ins.LoopLength, 2000u);
    }
  }
}
