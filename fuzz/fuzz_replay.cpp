// Replay files: any input either reads or is refused with a reason; one that
// reads writes back to a file that reads the same.
#include "FuzzSupport.h"
#include "ReplayUnit.h"

namespace {

bool Same(const TReplay& a, const TReplay& b) {
  if (a.FrameTotal != b.FrameTotal || a.Keys.size() != b.Keys.size() || a.Checks.size() != b.Checks.size()) {
    return false;
  }
  const TReplayHeader &ha = a.Header, &hb = b.Header;
  if (ha.FormatVersion != hb.FormatVersion || ha.Seed != hb.Seed || ha.StartMap != hb.StartMap ||
      ha.Mode != hb.Mode || ha.LastLevel != hb.LastLevel || ha.ProgramVersion != hb.ProgramVersion) {
    return false;
  }
  for (std::size_t i = 0; i < a.Keys.size(); ++i) {
    if (a.Keys[i].Frame != b.Keys[i].Frame || a.Keys[i].Changes != b.Keys[i].Changes) return false;
  }
  for (std::size_t i = 0; i < a.Checks.size(); ++i) {
    if (a.Checks[i].Frame != b.Checks[i].Frame || !(a.Checks[i].Checks == b.Checks[i].Checks)) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TReplay replay;
  std::string error;
  if (!replay.Decode(data, size, error)) {
    if (error.empty()) fuzz::Fail("a refused replay gives no reason");
    if (replay.FrameTotal != 0 || !replay.Keys.empty() || !replay.Checks.empty()) {
      fuzz::Fail("a refused replay keeps part of its content");
    }
    return 0;
  }
  const std::vector<uint8_t> bytes = replay.Encode();
  TReplay again;
  if (!again.Decode(bytes.data(), bytes.size(), error)) fuzz::Fail("a written replay does not read: " + error);
  if (!Same(replay, again)) fuzz::Fail("a written replay reads back different");
  return 0;
}
