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

// Reads a whole file; false when it cannot be read.
bool ReadFileBytes(const std::string& fileName, std::vector<uint8_t>& data);
bool WriteFileBytes(const std::string& fileName, const std::vector<uint8_t>& data);
void PrintLevels(std::ostream& out, const std::string& label, const TPcm& pcm);

}  // namespace vgrdata
