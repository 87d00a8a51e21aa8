#pragma once
// What every fuzz target shares: the units the parsers need, a scratch folder
// (the working folder for targets whose parsers look files up by name), and
// input helpers.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ZRStream3.h"

namespace fuzz {

// Starts the storage units, the key-name table and the setup command handler
// once, makes the scratch folder, and turns a fatal exit into a THaltRequest
// exception. Safe to call on every input.
void Start();
// Makes the scratch folder the working folder, so that the stream lookup
// finds loose files written there. Corpus paths must then be absolute.
void EnterScratch();
// Opens the headless 640 by 400 display once (for targets that make images).
void OpenDisplay();
// Starts the audio layer once, without a sound device.
void StartAudio();

// The path of `name` inside the scratch folder.
std::string Scratch(const std::string& name);
bool WriteScratch(const std::string& name, const uint8_t* data, size_t size);
void RemoveScratch(const std::string& name);

// A memory stream holding the input, positioned at 0.
std::unique_ptr<TMemoryStream> StreamOf(const uint8_t* data, size_t size);

// Consumes the input from the front: bytes, little numbers and strings.
class TInput {
 public:
  TInput(const uint8_t* data, size_t size) : Data_(data), Size_(size) {}
  bool Empty() const { return Pos_ >= Size_; }
  uint8_t Byte() { return Pos_ < Size_ ? Data_[Pos_++] : 0; }
  uint16_t Word() { return static_cast<uint16_t>(Byte() | (Byte() << 8)); }
  std::vector<uint8_t> Bytes(size_t n);
  std::vector<uint8_t> Rest();

 private:
  const uint8_t* Data_;
  size_t Size_;
  size_t Pos_ = 0;
};

// A failed harness check: prints the message and aborts, so the fuzzer keeps
// the input.
[[noreturn]] void Fail(const std::string& message);

}  // namespace fuzz
