#include "PictureCommand.h"

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <ostream>

#include "Logger.h"
#include "MAD4HighLevelUnit.h"
#include "ParametersUnit.h"
#include "RawPictureUnit.h"
#include "ZRStream3.h"

namespace vgrdata {

namespace {

const char* const kUsage = "usage: vgrdata picture IN OUT.bmp [--archive ARCHIVE]\n";

// The readers report through the run log; while a command runs, a log in a
// scratch folder collects their warnings so that they can be shown.
class TCollectedLog {
 public:
  TCollectedLog() {
    std::string templ = (std::filesystem::temp_directory_path() / "vgrdata-XXXXXX").string();
    if (::mkdtemp(templ.data()) == nullptr) return;
    Dir_ = templ + "/";
    TParameters params({Dir_ + "vgrdata"});
    Logger_ = std::make_unique<TLogger>(Dir_ + "picture.log", false, &params);
    Logger_->SetLevels("SWE");
    Previous_ = Log;
    Log = Logger_.get();
  }
  ~TCollectedLog() {
    if (Previous_ != nullptr) Log = Previous_;
    Logger_.reset();
    std::error_code ec;
    if (!Dir_.empty()) std::filesystem::remove_all(Dir_, ec);
  }
  TCollectedLog(const TCollectedLog&) = delete;
  TCollectedLog& operator=(const TCollectedLog&) = delete;

  // Warning and error lines written so far.
  std::vector<std::string> Complaints() const {
    std::vector<std::string> lines;
    if (!Logger_) return lines;
    std::ifstream in(Dir_ + "picture.log", std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (!line.empty() && (line[0] == '[' || line[0] == '{')) lines.push_back(line);
    }
    return lines;
  }

 private:
  std::string Dir_;
  std::unique_ptr<TLogger> Logger_;
  TLogger* Previous_ = nullptr;
};

// Makes an archive the lookup's volume set for the command's duration.
class TMountedArchive {
 public:
  TMountedArchive() = default;
  ~TMountedArchive() {
    if (Active_) MAD4Volumes = Previous_;
  }
  TMountedArchive(const TMountedArchive&) = delete;
  TMountedArchive& operator=(const TMountedArchive&) = delete;

  bool Mount(const std::string& fileName) {
    Volumes_ = std::make_unique<TMAD4HighLevel>();
    Volumes_->Mount(fileName, 100, true);
    if (Volumes_->Volumes.empty() || !Volumes_->Volumes.back().Archive ||
        !Volumes_->Volumes.back().Archive->Mounted) {
      return false;
    }
    Previous_ = MAD4Volumes;
    MAD4Volumes = Volumes_.get();
    Active_ = true;
    return true;
  }

 private:
  std::unique_ptr<TMAD4HighLevel> Volumes_;
  TMAD4HighLevel* Previous_ = nullptr;
  bool Active_ = false;
};

// What the game makes of a picture's attribute block when it becomes an image.
struct TImageAttributes {
  bool Animated = false;
  int32_t Frames = 0;
  bool ColorKeyed = false;
  bool RandomStart = false;
  bool FlagB = false;
  bool FlagC = false;
  int32_t AttrA = 0;
  int32_t AttrB = 0;
  int32_t StartFrame = 0;
};

TImageAttributes AttributesOf(const TRawPicture& p) {
  TImageAttributes a;
  if (p.ExtraType != etShort && p.ExtraType != etLong) return a;
  const uint8_t b1 = p.GetExtraByte(1);
  a.Frames = p.FrameCount();
  a.Animated = a.Frames > 0;
  a.FlagB = (b1 & AttrFlagB) != 0;
  a.FlagC = (b1 & AttrFlagC) != 0;
  a.ColorKeyed = (b1 & AttrColorKeyed) != 0;
  a.RandomStart = (b1 & AttrRandomStart) != 0;
  if (p.ExtraType == etLong) {
    a.AttrA = p.GetExtraByte(2);
    a.AttrB = p.GetExtraByte(3);
    if (!a.RandomStart) a.StartFrame = p.GetExtraByte(4) + p.GetExtraByte(5) * 256;
  }
  return a;
}

// Cuts frames first to last out of a strip, as the image loader's frame
// selection does; false when the selection lies outside the strip.
bool CutFrames(TRawPicture& p, TImageAttributes& a, int32_t first, int32_t last) {
  const bool range = last >= first;
  if (first < 0 || first >= a.Frames || (range && last >= a.Frames)) return false;
  if (!range) last = first;
  const int32_t fw = p.Width / a.Frames;
  const int32_t count = last - first + 1;
  TRawPicture cut(fw * count, p.Height);
  for (int32_t y = 0; y < p.Height; ++y) {
    std::copy_n(p.PixelAt(first * fw, y), static_cast<size_t>(fw) * count * 3, cut.PixelAt(0, y));
  }
  cut.ExtraType = p.ExtraType;
  cut.Extra = p.Extra;
  p = std::move(cut);
  a.StartFrame = 0;
  a.RandomStart = false;
  if (range) {
    a.Frames = count;
  } else {
    a.Animated = false;
    a.Frames = 1;
    a.FlagB = a.FlagC = false;
    a.AttrA = a.AttrB = 0;
  }
  return true;
}

std::string FlagsText(const TImageAttributes& a) {
  std::string s;
  auto add = [&s](const char* f) { s += (s.empty() ? "" : ", ") + std::string(f); };
  if (a.ColorKeyed) add("colour-keyed");
  if (a.RandomStart) add("random start");
  if (a.FlagB) add("B");
  if (a.FlagC) add("C");
  return s.empty() ? "none" : s;
}

}  // namespace

int PictureCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  std::vector<std::string> positional;
  std::string archive;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--archive" && i + 1 < args.size()) {
      archive = args[++i];
    } else if (args[i] == "--help" || args[i] == "-h") {
      out << kUsage;
      return 0;
    } else if (args[i].rfind("--", 0) == 0) {
      err << "vgrdata picture: unknown option '" << args[i] << "'\n" << kUsage;
      return 2;
    } else {
      positional.push_back(args[i]);
    }
  }
  if (positional.size() != 2) {
    err << kUsage;
    return 2;
  }
  const std::string& in = positional[0];
  const std::string& outName = positional[1];

  TMountedArchive mounted;
  if (!archive.empty()) {
    if (!FileExists(archive)) {
      err << "vgrdata picture: no archive " << archive << "\n";
      return 1;
    }
    if (!mounted.Mount(archive)) {
      err << "vgrdata picture: " << archive << " is not an archive\n";
      return 1;
    }
  }

  TCollectedLog log;
  const TPictureName name = ParsePictureName(in);
  const std::string ext = PictureExtension(name.FileName);
  TRawPicture picture;
  if (!ReadPictureFile(picture, name.FileName)) {
    err << "vgrdata picture: Unknown file extension! (" << ext << ")\n";
    return 1;
  }
  for (const std::string& line : log.Complaints()) err << line << "\n";
  if (picture.Width == 0) {
    err << "vgrdata picture: " << name.FileName << " could not be decoded\n";
    return 1;
  }
  const int32_t attributeType = picture.ExtraType;
  const size_t before = log.Complaints().size();
  picture.MultiTransform(name.Transform);
  const auto after = log.Complaints();
  for (size_t i = before; i < after.size(); ++i) err << after[i] << "\n";

  TImageAttributes attrs = AttributesOf(picture);
  if (name.FirstFrame >= 0 && attrs.Animated) {
    if (!CutFrames(picture, attrs, name.FirstFrame, name.LastFrame)) {
      err << "vgrdata picture: frame selection outside the " << attrs.Frames << " frames of " << name.FileName
          << "\n";
      return 1;
    }
  }

  {
    TFileStream f(outName, fmCreate);
    if (!f.IsOpen() || !WriteBMP24(picture, f)) {
      err << "vgrdata picture: cannot write " << outName << "\n";
      return 1;
    }
  }
  out << in << " -> " << outName << "\n";
  out << "size: " << picture.Width << "x" << picture.Height << "\n";
  out << "attribute type: " << attributeType << "\n";
  out << "frames: " << (attrs.Animated ? attrs.Frames : 1) << (attrs.Animated ? " (animated)" : "") << "\n";
  out << "flags: " << FlagsText(attrs) << "\n";
  if (attributeType == etLong) {
    out << "attribute A: " << attrs.AttrA << "\nattribute B: " << attrs.AttrB << "\n";
    out << "start frame: " << (attrs.RandomStart ? "random" : std::to_string(attrs.StartFrame)) << "\n";
  }
  return 0;
}

}  // namespace vgrdata
