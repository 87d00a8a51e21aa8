#include "FuzzSupport.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "BASS.h"
#include "CompressorUnit.h"
#include "HuffmanUnit.h"
#include "MyZStreamUnit.h"
#include "SetupCommandUnit.h"
#include "SystemUnit.h"
#include "ZR_SDL.h"

namespace fuzz {
namespace {

std::string Folder;

void RemoveFolder() {
  std::error_code ec;
  if (!Folder.empty()) std::filesystem::remove_all(Folder, ec);
}

}  // namespace

void Start() {
  static bool started = false;
  if (started) return;
  started = true;
  ::setenv("SDL_VIDEODRIVER", "dummy", 1);
  ::setenv("SDL_AUDIODRIVER", "dummy", 1);
  SetHaltHandler([](int code) { throw THaltRequest{code}; });
  std::string templ = (std::filesystem::temp_directory_path() / "vgr-fuzz-XXXXXX").string();
  if (::mkdtemp(templ.data()) == nullptr) Fail("cannot make the scratch folder");
  Folder = templ + "/";
  std::atexit(RemoveFolder);
  MyZStreamUnit_Startup();
  HuffmanUnit_Startup();
  CompressorUnit_Startup();
  KeyNames_Startup();
  SetupCommandUnit_Startup();
}

void OpenDisplay() {
  Start();
  static bool open = false;
  if (open) return;
  open = true;
  ClearKeys();
  Initialize(640, 400, 32, VF_BACKBUFFER);
}

void StartAudio() {
  Start();
  static bool started = false;
  if (started) return;
  started = true;
  if (!BASS_Init(BASS_DEVICE_NOSOUND, 44100, 0, nullptr, nullptr)) Fail("cannot start the audio layer");
}

void EnterScratch() {
  Start();
  if (::chdir(Folder.c_str()) != 0) Fail("cannot enter the scratch folder");
}

std::string Scratch(const std::string& name) { return Folder + name; }

bool WriteScratch(const std::string& name, const uint8_t* data, size_t size) {
  std::ofstream out(Scratch(name), std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  return static_cast<bool>(out);
}

void RemoveScratch(const std::string& name) { ::unlink(Scratch(name).c_str()); }

std::unique_ptr<TMemoryStream> StreamOf(const uint8_t* data, size_t size) {
  auto s = std::make_unique<TMemoryStream>();
  s->Data.assign(data, data + size);
  s->SetPosition(0);
  return s;
}

std::vector<uint8_t> TInput::Bytes(size_t n) {
  n = std::min(n, Size_ - std::min(Pos_, Size_));
  std::vector<uint8_t> out(Data_ + Pos_, Data_ + Pos_ + n);
  Pos_ += n;
  return out;
}

std::vector<uint8_t> TInput::Rest() { return Bytes(Size_); }

void Fail(const std::string& message) {
  std::fprintf(stderr, "fuzz check failed: %s\n", message.c_str());
  std::abort();
}

}  // namespace fuzz
