// Decoding speed of compressed archive members per method byte, beside zlib's
// plain inflate of the same data, and the speed of the stream lookup over an
// archive of 1,000 members.
#include <benchmark/benchmark.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

// The encoders belong to the data tool, which the benchmark binary does not
// link; their one source file is compiled in here.
#include "../../tools/vgrdata/archive/ArchiveEncoders.cpp"

#include "CompressorUnit.h"
#include "HuffmanUnit.h"
#include "MAD4HighLevelUnit.h"
#include "ZRStream3.h"

namespace {

using vgrdata::TBytes;

constexpr std::size_t kMember = 1 << 20;

// Picture-like data: 24-bit pixels of gradients with flat areas and a little
// noise, the kind of member the game stores most.
const TBytes& Member() {
  static const TBytes data = [] {
    TBytes d;
    d.reserve(kMember);
    uint32_t x = 12345;
    for (std::size_t i = 0; d.size() < kMember; ++i) {
      x = x * 1103515245u + 12345u;
      const std::size_t px = i % 512, row = i / 512;
      const bool flat = ((px / 64) + (row / 32)) % 3 == 0;
      const uint8_t noise = static_cast<uint8_t>((x >> 20) & 3);
      d.push_back(flat ? 0 : static_cast<uint8_t>(px / 2 + noise));
      d.push_back(flat ? 0 : static_cast<uint8_t>(row + noise));
      d.push_back(flat ? 0 : static_cast<uint8_t>(128 + (px ^ row) % 64));
    }
    d.resize(kMember);
    return d;
  }();
  return data;
}

void BM_Decode(benchmark::State& state) {
  const uint8_t method = static_cast<uint8_t>(state.range(0));
  const TBytes container = *vgrdata::EncodeContainer(Member(), method);
  TCompressor compressor;
  for (auto _ : state) {
    TMemoryStream in(container);
    std::unique_ptr<TMemoryStream> out = compressor.Decompress(in);
    if (!out || out->Data.size() != kMember) state.SkipWithError("decoding failed");
    benchmark::DoNotOptimize(out->Data.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kMember));
  state.counters["ratio"] = static_cast<double>(container.size()) / static_cast<double>(kMember);
}
BENCHMARK(BM_Decode)
    ->ArgName("method")
    ->Arg(0x00)
    ->Arg(0x40)
    ->Arg(0x08)
    ->Arg(0x20)
    ->Arg(0x10)
    ->Arg(0x60)
    ->Arg(0x50)
    ->Arg(0x48)
    ->Arg(0x41)
    ->Arg(0x42)
    ->Arg(0x43)
    ->Arg(0x44)
    ->Arg(0x45)
    ->Arg(0x66)
    ->Unit(benchmark::kMillisecond);

// The reference: zlib's own one-call inflate of the same data.
void BM_PlainInflate(benchmark::State& state) {
  const TBytes z = vgrdata::ZDeflate(Member());
  TBytes out(kMember);
  for (auto _ : state) {
    uLongf size = static_cast<uLongf>(out.size());
    if (uncompress(out.data(), &size, z.data(), static_cast<uLong>(z.size())) != Z_OK) state.SkipWithError("inflate");
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kMember));
}
BENCHMARK(BM_PlainInflate)->Unit(benchmark::kMillisecond);

// An archive of 1,000 members in a scratch folder: plain and compressed ones
// of 1 to 4 KiB, under names with folders.
struct TThousand {
  std::string Folder;
  std::string File;
  std::vector<std::string> Names;

  TThousand() {
    std::string templ = (std::filesystem::temp_directory_path() / "vgrbench-XXXXXX").string();
    if (!::mkdtemp(templ.data())) std::abort();
    Folder = templ + "/";
    File = Folder + "bench.mad4";
    TMAD4MidLevel a;
    a.Mount(File, false);
    for (int i = 0; i < 1000; ++i) {
      Names.push_back("gfx\\set" + std::to_string(i % 10) + "\\item" + std::to_string(i) + ".tga");
      TBytes data(Member().begin() + i * 997, Member().begin() + i * 997 + 1024 + (i % 4) * 1024);
      const bool compressed = i % 2 == 0;
      const TBytes body = compressed ? *vgrdata::EncodeContainer(data, 0x40) : data;
      std::string payload(1, static_cast<char>(Names.back().size()));
      payload += Names.back();
      payload.append(body.begin(), body.end());
      TMemoryStream s(TBytes(payload.begin(), payload.end()));
      a.Add(compressed ? kFourCC_COMP : kFourCC_RAWD, s);
    }
  }
  ~TThousand() {
    std::error_code ec;
    std::filesystem::remove_all(Folder, ec);
  }
};

const TThousand& Thousand() {
  static const TThousand t;
  return t;
}

void BM_ZROpenStreamLookup(benchmark::State& state) {
  const TThousand& t = Thousand();
  const auto oldCwd = std::filesystem::current_path();
  std::filesystem::current_path(t.Folder);
  TMAD4HighLevel volumes;
  volumes.Mount(t.File, 100, true);
  TMAD4HighLevel* old = MAD4Volumes;
  MAD4Volumes = &volumes;
  std::size_t i = 0;
  for (auto _ : state) {
    std::unique_ptr<TStream> s = ZROpenStream(t.Names[i++ % t.Names.size()]);
    if (!s) state.SkipWithError("not found");
    benchmark::DoNotOptimize(s.get());
  }
  MAD4Volumes = old;
  std::filesystem::current_path(oldCwd);
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_ZROpenStreamLookup)->Unit(benchmark::kMicrosecond);

void BM_MountAndOpenAll(benchmark::State& state) {
  const TThousand& t = Thousand();
  for (auto _ : state) {
    TMAD4MidLevel a;
    a.Mount(t.File, true);
    for (const std::string& name : t.Names) {
      std::unique_ptr<TMemoryStream> s = a.OpenFile(name);
      if (!s) state.SkipWithError("not found");
      benchmark::DoNotOptimize(s.get());
    }
  }
}
BENCHMARK(BM_MountAndOpenAll)->Unit(benchmark::kMillisecond);

}  // namespace
