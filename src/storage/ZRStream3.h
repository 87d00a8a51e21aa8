#pragma once
// The lookup that opens any data file by name: a loose file in the current
// folder, then beside the program, then a member of a mounted archive.

#include <cstdint>
#include <memory>
#include <string>

#include "StreamUnit.h"

// Where a data file lies: the file to open, the first data byte in it, the
// data size and whether it is in the compressed container.
struct TZRFileInfo {
  std::string FileName;
  int32_t Offset = -1;
  int32_t Size = -1;
  bool Compressed = false;
};

// A readable, seekable stream positioned at 0, or null when the name is found
// nowhere. The caller owns it.
std::unique_ptr<TStream> ZROpenStream(const std::string& name);
void ZRGetFileInfo(const std::string& name, TZRFileInfo& info);

void ZRStream3_Startup();
