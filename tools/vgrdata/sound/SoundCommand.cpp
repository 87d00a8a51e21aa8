#include "SoundCommand.h"

#include <cstdio>
#include <iomanip>
#include <ostream>

#include "SoundSynth.h"
#include "SoundWav.h"
#include "ToolFiles.h"
#include "ToolOptions.h"
#include "ZRStream3.h"

namespace vgrdata {

void PrintLevels(std::ostream& out, const std::string& label, const TPcm& pcm) {
  const TLevelStats st = MeasureLevels(pcm);
  out << std::fixed << std::setprecision(2) << label << ": " << pcm.Seconds() << " s, " << pcm.Channels
      << (pcm.Channels == 1 ? " channel, " : " channels, ") << pcm.Rate << " Hz, peak " << st.PeakDb
      << " dBFS, rms " << st.RmsDb << " dBFS, " << st.ClippedSamples << " clipped samples, longest silence "
      << st.LongestSilence << " s, first and last frame at " << std::setprecision(4) << st.StartLevel << " and "
      << st.EndLevel << " of full scale (0: no click), end-to-start jump " << std::setprecision(2)
      << st.WrapJumpRatio << " times a typical step (about 1: a seamless loop)\n";
}

namespace {

const char* const kUsage =
    "usage: vgrdata sound RECIPE OUT.wav     render a sound-effect recipe\n"
    "       vgrdata sound stats FILE.wav...  print the levels of WAV files\n";

}  // namespace

int RunSoundCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (const auto refused = CheckCommandLine(args, 0, "sound", kUsage, out, err)) return *refused;
  if (!args.empty() && args[0] == "stats") {
    if (args.size() < 2) {
      err << kUsage;
      return 2;
    }
    int rc = 0;
    for (size_t i = 1; i < args.size(); ++i) {
      std::vector<uint8_t> data;
      TPcm pcm;
      std::string why;
      data = ReadInputFile(args[i]);
      if (!ReadWav(data, pcm, why)) {
        err << "vgrdata sound: " << args[i] << ": " << (why.empty() ? "cannot read" : why) << "\n";
        rc = 1;
        continue;
      }
      PrintLevels(out, args[i], pcm);
    }
    return rc;
  }
  if (args.size() != 2) {
    err << kUsage;
    return 2;
  }
  std::vector<uint8_t> text = ReadInputFile(args[0]);
  TSoundRecipe recipe;
  std::string why;
  if (!ParseSoundRecipe(std::string(text.begin(), text.end()), recipe, why)) {
    err << args[0] << ": " << why << "\n";
    return 1;
  }
  TPcm pcm;
  pcm.Rate = recipe.Rate;
  pcm.Samples = RenderSound(recipe);
  WriteOutputFile(args[1], WriteWav(pcm));
  PrintLevels(out, args[1], pcm);
  return 0;
}

}  // namespace vgrdata
