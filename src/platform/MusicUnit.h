#pragma once
// One looping piece of music: an MP3 stream or a tracker module, read through
// the stream lookup so that it may come from disk or from the archive.

#include <cstdint>
#include <string>
#include <vector>

class TMusic {
 public:
  // Loads; a missing or unplayable file leaves fMusic 0 with an error entry.
  explicit TMusic(const std::string& name);
  ~TMusic();
  TMusic(const TMusic&) = delete;
  TMusic& operator=(const TMusic&) = delete;

  // Starts from the beginning.
  void Play();
  void Stop();

  uint32_t fMusic = 0;
  // The file's contents while the library streams a compressed MP3 from
  // memory; it must outlive the library's stream, so it goes only in the
  // destructor. A module's bytes are released once the library has loaded
  // them: it plays from its own copy.
  std::vector<uint8_t> Buffer;
  int32_t BufferSize = -1;  // size of the file read into memory; -1: the library reads the file itself
};

void MusicUnit_Startup();
