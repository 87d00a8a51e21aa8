// The archive as the data tool edits it: the input is a script of adds
// (stored and compressed), removes, links, unmounts and mounts, checked after
// every step against a model of the members kept in memory. The disk may
// fill up partway: from then on writes fail, the step that meets the full
// disk must say so, and every member it did not touch must still read back.
#include <algorithm>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "ArchiveEncoders.h"
#include "FileWriteHook.h"
#include "FuzzSupport.h"
#include "MAD4MidLevelUnit.h"

namespace {

struct TMember {
  int32_t ChunkStart = 0;
  bool Link = false;
  int32_t Target = 0;            // links: chunk start of the linked member
  std::vector<uint8_t> Bytes;    // stored files: their contents
};

using TModel = std::map<std::string, TMember>;

std::vector<uint8_t> Contents(fuzz::TInput& in, size_t limit) {
  // Lengths up to a few KiB so that exact fits, splits and end placement all
  // happen; the pattern keeps the data cheap to make.
  const size_t len = in.Word() % limit;
  const uint8_t seed = in.Byte();
  std::vector<uint8_t> out(len);
  for (size_t i = 0; i < len; ++i) out[i] = static_cast<uint8_t>(seed + (i * (seed | 1)) / 7);
  return out;
}

std::vector<uint8_t> Chunk(const std::string& name, const std::vector<uint8_t>& payload) {
  std::vector<uint8_t> c;
  c.reserve(1 + name.size() + payload.size());
  c.push_back(static_cast<uint8_t>(name.size()));
  c.insert(c.end(), name.begin(), name.end());
  c.insert(c.end(), payload.begin(), payload.end());
  return c;
}

std::optional<std::vector<uint8_t>> Expected(const TModel& model, const TMember& m) {
  if (!m.Link) return m.Bytes;
  for (const auto& [n, other] : model)
    if (!other.Link && other.ChunkStart == m.Target) return other.Bytes;
  return std::nullopt;  // the linked member is gone, or is itself a link
}

void CheckMember(TMAD4MidLevel& archive, const TModel& model, const std::string& name, const TMember& m) {
  auto s = archive.OpenFile(name);
  auto want = Expected(model, m);
  if (want.has_value() != (s != nullptr)) fuzz::Fail("member opens when it should not, or not at all: " + name);
  if (s && s->Data != *want) fuzz::Fail("member reads back wrong: " + name);
}

void CheckCount(TMAD4MidLevel& archive, const TModel& model) {
  if (archive.FileCount() != static_cast<int>(model.size()))
    fuzz::Fail("directory holds " + std::to_string(archive.FileCount()) + " entries, model " +
               std::to_string(model.size()));
}

void Check(TMAD4MidLevel& archive, const TModel& model) {
  CheckCount(archive, model);
  for (const auto& [name, m] : model) CheckMember(archive, model, name, m);
}

// The full disk: writes pass until WritesLeft runs out, then all fail.
int64_t WritesLeft = 0;
int64_t Refused = 0;
bool FullDiskHook(int64_t, int64_t) {
  if (WritesLeft > 0) {
    --WritesLeft;
    return true;
  }
  ++Refused;
  return false;
}

// Every member the failed step did not touch reads back, and so does every
// link to one of them. A link to the touched member, or one left without its
// member, may meet whatever the failed step wrote where that member was.
void CheckUntouched(TMAD4MidLevel& archive, const TModel& model, const std::string& touched) {
  for (const auto& [name, m] : model) {
    if (name == touched) continue;
    if (m.Link) {
      const int32_t to = m.Target;
      auto target = std::find_if(model.begin(), model.end(),
                                 [to](const auto& e) { return !e.second.Link && e.second.ChunkStart == to; });
      if (target == model.end() || target->first == touched) continue;
    }
    CheckMember(archive, model, name, m);
  }
}

bool Remove(TMAD4MidLevel& archive, TModel& model, const std::string& name) {
  if (!model.count(name)) return true;
  if (!archive.RemoveFile(name)) return false;
  model.erase(name);
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Start();
  const std::string file = fuzz::Scratch("ops.mad4");
  fuzz::RemoveScratch("ops.mad4");
  fuzz::TInput in(data, size);
  TModel model;
  // The member the step that met the full disk was writing, once one has.
  std::optional<std::string> failedOn;
  {
    TMAD4MidLevel archive;
    archive.Mount(file, false);
    if (!archive.Mounted) fuzz::Fail("cannot create the archive");
    int steps = 0;
    while (!in.Empty() && steps++ < 64 && !failedOn) {
      const uint8_t op = in.Byte();
      const std::string name = "m" + std::to_string(op >> 5);
      const int64_t refusedBefore = Refused;
      // A step failed: on a full disk that is its report, else a fault.
      auto failed = [&](const std::string& what) {
        if (Refused == refusedBefore) fuzz::Fail(what);
        failedOn = name;
      };
      switch (op % 7) {
        case 0:
        case 1: {  // add, stored or compressed
          if (!Remove(archive, model, name)) {
            failed("cannot remove " + name);
            break;
          }
          TMember m;
          // Compressed members are kept short: the codecs have targets of
          // their own, and encoding and decoding several KiB per step took
          // half of this target's time.
          m.Bytes = Contents(in, op % 6 == 1 ? 600 : 5000);
          std::vector<uint8_t> payload = m.Bytes;
          uint32_t type = kFourCC_RAWD;
          if (op % 6 == 1) {
            const auto methods = vgrdata::MeaningfulMethods();
            auto packed = vgrdata::EncodeContainer(m.Bytes, methods[in.Byte() % methods.size()]);
            if (packed) {
              payload = *packed;
              type = kFourCC_COMP;
            }
          }
          TMemoryStream s;
          s.Data = Chunk(name, payload);
          m.ChunkStart = archive.StoreFile(type, s);
          if (m.ChunkStart < 0) {
            failed("cannot add " + name);
            break;
          }
          model[name] = m;
          break;
        }
        case 2:  // remove
          if (!Remove(archive, model, name)) failed("cannot remove " + name);
          break;
        case 3: {  // link to another member
          const std::string target = "m" + std::to_string(in.Byte() % 8);
          auto it = model.find(target);
          if (it == model.end() || target == name) break;
          const int32_t to = it->second.ChunkStart;
          if (!Remove(archive, model, name)) {
            failed("cannot remove " + name);
            break;
          }
          TMember m;
          m.Link = true;
          m.Target = to;
          std::vector<uint8_t> rel{static_cast<uint8_t>(to), static_cast<uint8_t>(to >> 8),
                                   static_cast<uint8_t>(to >> 16), static_cast<uint8_t>(to >> 24)};
          TMemoryStream s;
          s.Data = Chunk(name, rel);
          m.ChunkStart = archive.StoreFile(kFourCC_LINK, s);
          if (m.ChunkStart < 0) {
            failed("cannot link " + name);
            break;
          }
          model[name] = m;
          break;
        }
        case 4:  // unmount (trailer rewrite, free space merged) and mount again
          archive.Unmount();
          archive.Mount(file, false);
          // An unmount that meets the full disk logs it and touches no member.
          if (Refused > refusedBefore)
            failedOn = "";
          else if (!archive.Mounted || archive.Damaged())
            fuzz::Fail("archive does not mount again");
          break;
        case 5:  // a read-only look from a second handle
        {
          TMAD4MidLevel reader;
          reader.Mount(file, true);
          for (const auto& [n, m] : model)
            if (!m.Link && (!reader.OpenFile(n) || reader.OpenFile(n)->Data != m.Bytes))
              fuzz::Fail("second handle reads " + n + " wrong");
          break;
        }
        case 6:  // the disk fills up after a few more writes
          if (Refused == 0 && WritesLeft == 0) {
            WritesLeft = in.Byte() % 32;
            SetFileWriteHook(FullDiskHook);
          }
          break;
      }
      if (Refused > refusedBefore && !failedOn) fuzz::Fail("a write failed and the step reported success");
      if (failedOn) break;
      // Reading every member back after every step decoded each one up to
      // 64 times and held the target to a few hundred inputs a second. Data
      // an add or remove damaged stays damaged, so the full check at every
      // remount and at the end still finds it; between them the count and
      // the member just written are checked.
      CheckCount(archive, model);
      if (op % 6 >= 4 || steps % 16 == 0) {
        Check(archive, model);
      } else if (auto it = model.find(name); it != model.end()) {
        CheckMember(archive, model, name, it->second);
      }
    }
  }
  // The last unmount may have met the full disk too; its failure is logged.
  const bool diskFull = Refused > 0;
  SetFileWriteHook(nullptr);
  WritesLeft = 0;
  Refused = 0;
  TMAD4MidLevel archive;
  archive.Mount(file, true);
  if (!archive.Mounted) fuzz::Fail("archive does not mount after a full disk");
  if (diskFull) {
    CheckUntouched(archive, model, failedOn.value_or(""));
    return 0;
  }
  if (archive.Damaged()) fuzz::Fail("archive damaged after unmount");
  Check(archive, model);
  return 0;
}
