// Decoding speed of the game's picture formats at screen size (640 by 400):
// raw and run-length TGA, 24-bit and 8-bit BMP, and a transformation string
// on a 16-frame sprite strip. Loading a level decodes dozens of these, so a
// decode should stay well under a frame period.
#include <benchmark/benchmark.h>

#include "../assets/PictureFixtures.h"
#include "RawPictureUnit.h"
#include "ZRStream3.h"

using namespace picfix;

namespace {

constexpr int kW = 640;
constexpr int kH = 400;

uint32_t Colour(int x, int y) { return static_cast<uint32_t>((x / 8) * 0x010203 + (y / 8) * 0x030201); }

Bytes RawTGA() {
  TGAHeader h;
  h.Width = kW;
  h.Height = kH;
  Bytes body;
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      Bytes p = BGR(Colour(x, y));
      body.insert(body.end(), p.begin(), p.end());
    }
  return MakeTGA(h, {}, body);
}

// Runs of eight equal pixels, as flat game art compresses.
Bytes RunLengthTGA() {
  TGAHeader h;
  h.Type = 10;
  h.Width = kW;
  h.Height = kH;
  Bytes body;
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; x += 8) {
      body.push_back(0x87);
      Bytes p = BGR(Colour(x, y));
      body.insert(body.end(), p.begin(), p.end());
    }
  return MakeTGA(h, {}, body);
}

Bytes BMP24() {
  Bytes body;
  for (int y = kH - 1; y >= 0; --y)
    for (int x = 0; x < kW; ++x) {
      Bytes p = BGR(Colour(x, y));
      body.insert(body.end(), p.begin(), p.end());
    }
  return MakeBMP(kW, kH, 24, 0, {}, body);
}

Bytes BMP8() {
  std::vector<uint32_t> pal;
  for (uint32_t i = 0; i < 256; ++i) pal.push_back(i * 0x010101);
  Bytes body;
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) body.push_back(static_cast<uint8_t>(x ^ y));
  return MakeBMP(kW, kH, 8, 0, pal, body);
}

void Decode(benchmark::State& state, const Bytes& file, void (TRawPicture::*reader)(TStream&)) {
  TMemoryStream s(file);
  for (auto _ : state) {
    s.SetPosition(0);
    TRawPicture p;
    (p.*reader)(s);
    benchmark::DoNotOptimize(p.Pixels.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kW * kH * 3);
}

void BM_TGARaw(benchmark::State& state) { Decode(state, RawTGA(), &TRawPicture::ReadTGA); }
void BM_TGARunLength(benchmark::State& state) { Decode(state, RunLengthTGA(), &TRawPicture::ReadTGA); }
void BM_BMP24(benchmark::State& state) { Decode(state, BMP24(), &TRawPicture::ReadBMP); }
void BM_BMP8(benchmark::State& state) { Decode(state, BMP8(), &TRawPicture::ReadBMP); }

void BM_TransformStrip(benchmark::State& state) {
  TRawPicture strip(16 * 32, 32);
  strip.SetExtraType(etShort);
  strip.SetExtraByte(0, 16);
  for (auto _ : state) {
    TRawPicture p = strip;
    p.MultiTransform("HRD");
    benchmark::DoNotOptimize(p.Pixels.data());
  }
}

BENCHMARK(BM_TGARaw)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TGARunLength)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BMP24)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BMP8)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TransformStrip)->Unit(benchmark::kMicrosecond);

}  // namespace
