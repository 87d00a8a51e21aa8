#pragma once
// `vgrdata sound`: renders sound-effect recipes into WAV files and reports
// the levels of WAV files.

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "SoundWav.h"

namespace vgrdata {

int RunSoundCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

void PrintLevels(std::ostream& out, const std::string& label, const TPcm& pcm);

}  // namespace vgrdata
