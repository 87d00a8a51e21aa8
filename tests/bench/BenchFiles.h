#pragma once
// Where the benchmarks find the game's built data: beside the benchmark
// program, as the game finds it beside itself.

#include <filesystem>
#include <string>

#include "ParametersUnit.h"

inline std::string ArchiveBesideBench() {
  const std::filesystem::path self = TParameters::FromCommandLine(0, nullptr).front();
  return (self.parent_path() / "Voltigor.mad4").string();
}
