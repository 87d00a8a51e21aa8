// What mounting the game's archive costs: the directory of the real archive
// beside the benchmark (build/bin/Voltigor.mad4, target vgr_data) read as
// the program reads it at start-up, mount and unmount. Read-only mounts the
// built archive itself; read/write, as the program mounts it, mounts a
// scratch copy, since unmounting rewrites the trailer. The files counter is
// the directory's size, to show the whole archive was read.
//   build/bin/vgr_bench --benchmark_filter=MountGameArchive
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "BenchFiles.h"
#include "MAD4MidLevelUnit.h"

namespace {

void BM_MountGameArchive(benchmark::State& state) {
  const bool readOnly = state.range(0) == 0;
  const std::string built = ArchiveBesideBench();
  if (access(built.c_str(), R_OK) != 0) {
    state.SkipWithError("build the archive first (target vgr_data)");
    return;
  }
  std::string archive = built;
  std::string folder;
  if (!readOnly) {
    std::string templ = (std::filesystem::temp_directory_path() / "vgrbench-XXXXXX").string();
    if (!::mkdtemp(templ.data())) {
      state.SkipWithError("no scratch folder");
      return;
    }
    folder = templ;
    archive = folder + "/Voltigor.mad4";
    std::filesystem::copy_file(built, archive);
  }
  int files = 0;
  for (auto _ : state) {
    TMAD4MidLevel a;
    a.Mount(archive, readOnly);
    files = a.FileCount();
    if (!a.Mounted || files == 0) state.SkipWithError("the archive did not mount");
    a.Unmount();
  }
  if (!folder.empty()) {
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
  }
  state.counters["files"] = files;
}
BENCHMARK(BM_MountGameArchive)->ArgName("readwrite")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
