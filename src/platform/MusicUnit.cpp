#include "MusicUnit.h"

#include <limits>
#include <utility>

#include "BASS.h"
#include "Logger.h"
#include "StreamUnit.h"
#include "ZRStream3.h"
#include "ZRToolbox.h"

namespace {

const char* const kCreateLoc = "MusicUnit, TMusic.Create";
constexpr DWORD kStreamFlags = BASS_SAMPLE_LOOP;
constexpr DWORD kModuleFlags = BASS_SAMPLE_LOOP | BASS_MUSIC_RAMPS;  // 0x404

bool IsMp3Name(const std::string& name) {
  return name.size() > 4 && UpperCase(name.substr(name.size() - 4)) == ".MP3";
}

// The whole file through the lookup; false when it cannot be opened or is
// empty (the program reports that as a failed load).
bool ReadWhole(const std::string& name, std::vector<uint8_t>& buffer) {
  auto stream = ZROpenStream(name);
  if (!stream) return false;
  // A member the archive unpacked is in memory already: its bytes are taken
  // over rather than copied, a song's size less at the program's peak.
  auto* memory = dynamic_cast<TMemoryStream*>(stream.get());
  if (memory && memory->Position() == 0) {
    buffer = std::move(memory->Data);
  } else {
    buffer = stream->ReadAll();
  }
  return !buffer.empty() && buffer.size() <= static_cast<size_t>(std::numeric_limits<int32_t>::max());
}

void Release(std::vector<uint8_t>& buffer) {
  buffer.clear();
  buffer.shrink_to_fit();
}

}  // namespace

TMusic::TMusic(const std::string& name) {
  if (IsMp3Name(name)) {
    TZRFileInfo info;
    ZRGetFileInfo(name, info);
    if (!info.Compressed) {
      BufferSize = -1;
      // Streamed straight from the file that holds it, the archive included.
      // An empty member is not passed on: length 0 would mean "to the end of
      // the file" and play whatever follows it in the archive.
      if (!info.FileName.empty() && info.Offset >= 0 && info.Size != 0) {
        const QWORD size = info.Size > 0 ? static_cast<QWORD>(info.Size) : 0;
        fMusic = BASS_StreamCreateFile(false, info.FileName.c_str(), static_cast<QWORD>(info.Offset), size,
                                       kStreamFlags);
      }
    } else if (ReadWhole(name, Buffer)) {
      BufferSize = static_cast<int32_t>(Buffer.size());
      fMusic = BASS_StreamCreateFile(true, Buffer.data(), 0, static_cast<QWORD>(BufferSize), kStreamFlags);
    }
  } else if (ReadWhole(name, Buffer)) {
    BufferSize = static_cast<int32_t>(Buffer.size());
    fMusic = BASS_MusicLoad(true, Buffer.data(), 0, static_cast<DWORD>(BufferSize), kModuleFlags, 0);
    // The library keeps its own decoded copy of a module; the file's bytes
    // are not read again.
    Release(Buffer);
  }
  if (fMusic == 0) {
    Log->Error("BASS: Loading " + name + " failed", kCreateLoc);
  } else {
    Log->Status("BASS: Loading " + name + " was successful. (fMusic=" + std::to_string(fMusic) + ")", kCreateLoc);
  }
}

TMusic::~TMusic() {
  // Streams and modules alike; the library stops reading the buffer here,
  // before it goes.
  BASS_MusicFree(fMusic);
  Release(Buffer);
  Log->Status("BASS: Music freed.", "MusicUnit, TMusic.Destroy");
}

void TMusic::Play() {
  BASS_ChannelPlay(fMusic, true);
  Log->Status("BASS: Music started.", "MusicUnit, TMusic.Play");
}

void TMusic::Stop() {
  BASS_ChannelStop(fMusic);
  Log->Status("BASS: Music stopped.", "MusicUnit, TMusic.Stop");
}

void MusicUnit_Startup() { LogUnitVersion("MusicUnit", "1.00"); }
