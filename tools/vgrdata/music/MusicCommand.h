#pragma once
// `vgrdata music`: builds tracker modules from song sources, renders them to
// WAV for checking, and encodes a song's loop as MP3.

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

namespace vgrdata {

int RunMusicCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// A song source (.song) built into XM data, or an .xm file read as it is.
bool LoadModuleBytes(const std::string& fileName, std::vector<uint8_t>& module, std::string& error);

}  // namespace vgrdata
