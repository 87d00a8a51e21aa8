#include "MusicCommand.h"

#include <cstdlib>
#include <iomanip>
#include <ostream>

#include "MusicRender.h"
#include "MusicSong.h"
#include "MusicXM.h"
#include "SoundCommand.h"
#include "ToolFiles.h"
#include "ToolOptions.h"

namespace vgrdata {

namespace {

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

const char* const kUsage =
    "usage: vgrdata music build SONG OUT.xm          build a module from a song source\n"
    "       vgrdata music render SONG OUT.wav [SECS]  play it through once and SECS (default 10)\n"
    "                                                 past its loop jump into a WAV\n"
    "       vgrdata music mp3 SONG OUT.mp3            encode one repetition of its loop\n"
    "       vgrdata music measure SONG...             print length, loop, levels, loudness range,\n"
    "                                                 stereo side level and the click at the loop join\n"
    "SONG is a song source (.song) or a module (.xm).\n";

bool ParseNumberArg(const std::string& s, double& v) {
  char* end = nullptr;
  v = std::strtod(s.c_str(), &end);
  return !s.empty() && end && *end == '\0';
}

}  // namespace

bool LoadModuleBytes(const std::string& fileName, std::vector<uint8_t>& module, std::string& error) {
  std::vector<uint8_t> data = ReadInputFile(fileName);
  if (EndsWith(fileName, ".xm") || EndsWith(fileName, ".XM")) {
    module = std::move(data);
    return true;
  }
  TXmModule m;
  TSongInfo info;
  const std::string folder = fileName.substr(0, fileName.find_last_of('/') + 1);
  const TIncludeResolver resolve = [&](const std::string& name, std::string& text) {
    std::vector<uint8_t> bytes;
    if (name.find("..") != std::string::npos) return false;
    bytes = ReadInputFile(folder + name);
    text.assign(bytes.begin(), bytes.end());
    return true;
  };
  if (!ParseSong(std::string(data.begin(), data.end()), m, info, error, resolve)) {
    error = fileName + ": " + error;
    return false;
  }
  module = WriteXm(m);
  return true;
}

namespace {

int Measure(const std::vector<std::string>& songs, std::ostream& out, std::ostream& err) {
  out << "song                 length   loop   peak    rms  range   side  join\n"
         "                          s      s   dBFS   dBFS     dB     dB  jump\n";
  int rc = 0;
  for (const std::string& song : songs) {
    std::vector<uint8_t> module;
    std::string why;
    TSongMeasure m;
    if (!LoadModuleBytes(song, module, why) || !MeasureModule(module, m, why)) {
      err << "vgrdata music: " << song << ": " << why << "\n";
      rc = 1;
      continue;
    }
    std::string name = song.substr(song.find_last_of('/') + 1);
    name = name.substr(0, name.find_last_of('.'));
    out << std::left << std::setw(18) << name << std::right << std::fixed << std::setprecision(1) << std::setw(9)
        << m.Seconds << std::setw(7) << m.LoopSeconds << std::setw(7) << m.PeakDb << std::setw(7) << m.RmsDb
        << std::setw(7) << m.RangeDb << std::setw(7) << m.SideDb << std::setw(6) << m.JoinJump << "\n";
  }
  return rc;
}

}  // namespace

int RunMusicCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (const auto refused =
          CheckCommandLine(args, 1, "music", kUsage, out, err, {"build", "render", "mp3", "measure"})) {
    return *refused;
  }
  if (args.size() >= 2 && args[0] == "measure")
    return Measure(std::vector<std::string>(args.begin() + 1, args.end()), out, err);
  if (args.size() < 3 || (args[0] != "build" && args[0] != "render" && args[0] != "mp3") ||
      (args.size() > 3 && args[0] != "render") || args.size() > 4) {
    err << kUsage;
    return 2;
  }
  double after = 10;
  if (args.size() == 4 && (!ParseNumberArg(args[3], after) || after < 0 || after > 600)) {
    err << "vgrdata music: SECS is a number of seconds from 0 to 600, not '" << args[3] << "'\n";
    err << kUsage;
    return 2;
  }
  std::vector<uint8_t> module;
  std::string why;
  if (!LoadModuleBytes(args[1], module, why)) {
    err << "vgrdata music: " << why << "\n";
    return 1;
  }
  if (args[0] == "build") {
    // Only a module that libxmp plays through and loops is written.
    TModuleRender r;
    if (!RenderModule(module, 0, false, r, why)) {
      err << "vgrdata music: " << args[1] << ": " << why << "\n";
      return 1;
    }
    WriteOutputFile(args[2], module);
    out << std::fixed << std::setprecision(1) << args[2] << ": " << module.size() << " bytes, loops at "
        << static_cast<double>(r.LoopTarget) / r.Pcm.Rate << " s, jumps back at "
        << static_cast<double>(r.LoopEnd) / r.Pcm.Rate << " s\n";
    return 0;
  }
  if (args[0] == "render") {
    TModuleRender r;
    if (!RenderModule(module, after, false, r, why)) {
      err << "vgrdata music: " << args[1] << ": " << why << "\n";
      return 1;
    }
    WriteOutputFile(args[2], WriteWav(r.Pcm));
    out << std::fixed << std::setprecision(2) << "loop: enters at " << static_cast<double>(r.LoopTarget) / r.Pcm.Rate
        << " s, jumps back at " << static_cast<double>(r.LoopEnd) / r.Pcm.Rate << " s, rms "
        << WindowRmsDb(r.Pcm, r.LoopEnd > 22050 ? r.LoopEnd - 22050 : 0, 44100)
        << " dBFS over the second around the jump\n";
    PrintLevels(out, args[2], r.Pcm);
    return 0;
  }
  TPcm loop;
  std::vector<uint8_t> mp3;
  if (!RenderLoopSection(module, loop, why) || !EncodeMp3(loop, mp3, why)) {
    err << "vgrdata music: " << args[1] << ": " << why << "\n";
    return 1;
  }
  WriteOutputFile(args[2], mp3);
  PrintLevels(out, args[2] + " (before encoding)", loop);
  return 0;
}

}  // namespace vgrdata
