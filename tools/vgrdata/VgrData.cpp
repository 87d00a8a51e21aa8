#include "VgrData.h"

#include "Archive.h"
#include "ArtCommand.h"
#include "FontCommand.h"
#include "LevelCommand.h"
#include "MapCommand.h"
#include "MusicCommand.h"
#include "PackCommand.h"
#include "PictureCommand.h"
#include "SoundCommand.h"
#include "ToolFiles.h"
#include "ToolOptions.h"

#include <functional>
#include <ostream>

namespace vgrdata {

namespace {

struct TCommand {
  const char* Name;
  const char* Usage;
  const char* Summary;
  std::function<int(const std::vector<std::string>&, std::ostream&, std::ostream&)> Run;
};

const std::vector<TCommand>& Commands() {
  static const std::vector<TCommand> commands = {
      {"archive", "archive create|add|link|version|remove|list|extract|pack|check ARCHIVE ...",
       "build, edit, list, unpack and check a chunk archive (Voltigor.mad4)", ArchiveCommand},
      {"sound", "sound RECIPE OUT.wav | sound stats FILE.wav...",
       "render a sound-effect recipe (data/sfx) into a 16-bit WAV, or print WAV levels", RunSoundCommand},
      {"music", "music build|render|mp3 SONG OUT [SECS] | music measure SONG...",
       "build a tracker module from a song source (data/music), render it to WAV with libxmp, or encode its loop as MP3",
       RunMusicCommand},
      {"map", "map convert IN OUT A|B|T|W|X | map show IN",
       "convert a tile map between MAPB, MAPW, MAPT and MAPX, or show its texts, wraps and layers", MapCommand},
      {"pack", "pack build OUT [--format mpck|mpkt|mpkb] [--chain FILE] MAPFILE... | pack list PACK | pack extract PACK NAME OUT",
       "build a map pack (Zapkin.mpk) from map files, list it, or take one map out", PackCommand},
      {"picture", "picture IN OUT.bmp [--archive ARCHIVE] [--mask OUT.txt]",
       "load a picture name as the game does (reader by extension, :transformation, colour key, [frames]) into a "
       "24-bit BMP with transparent pixels in magenta, print its size, attribute type, frames and flags, and "
       "optionally write its collision mask as text",
       PictureCommand},
      {"icon", "icon IN OUT.png --size N [--archive ARCHIVE]",
       "draw a picture name as a square PNG icon of N pixels: its drawn part enlarged by a whole factor, "
       "pixels kept sharp, on a transparent background",
       IconCommand},
      {"font", "font build|render|sheet|info ...",
       "build a game font (.zrr or TGA) from an outline font with FreeType, or draw a text with any font as the "
       "game does",
       FontCommand},
      {"art", "art build|list|sheet|playfield ...",
       "draw the game's pictures from data/art into TGA files, or show the finished data as a contact "
       "sheet or as the play screen",
       ArtCommand},
      {"level", "level check PACK|PIECE... [--objects FILE]",
       "check level pieces or a map pack against the rules of a playable level", LevelCommand},
  };
  return commands;
}

void PrintHelp(std::ostream& out) {
  out << "Usage: vgrdata <command> [arguments]\n"
         "Builds and inspects the data of Voltigor.\n\n"
         "Commands:\n";
  for (const TCommand& c : Commands()) out << "  " << c.Usage << "\n      " << c.Summary << "\n";
  out << "\nOptions:\n"
         "  --help       show this help\n"
         "  --version    show the tool's version\n";
}

}  // namespace

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.empty()) {
    PrintHelp(err);
    return 2;
  }
  const std::string& cmd = args[0];
  if (cmd == "--help" || cmd == "-h" || cmd == "help") {
    PrintHelp(out);
    return 0;
  }
  if (cmd == "--version") {
    out << "vgrdata " << VGR_VERSION << "\n";
    return 0;
  }
  for (const TCommand& c : Commands()) {
    if (cmd != c.Name) continue;
    // The one place a command's failure ends up when it is thrown: a file
    // it cannot use, a stream that failed, memory that ran out.
    std::vector<std::string> rest(args.begin() + 1, args.end());
    // Help for a subcommand is its command's usage, whatever else is on the
    // line: "--help" is never taken for a file name (and then created). The
    // first word goes along: a subcommand with a help of its own shows it.
    if (AsksForHelp(rest)) {
      std::vector<std::string> help = {"--help"};
      if (!rest.empty() && !rest[0].empty() && rest[0][0] != '-') help.push_back(rest[0]);
      rest = help;
    }
    ForgetInputFiles();
    try {
      return c.Run(rest, out, err);
    } catch (const TFileProblem& e) {
      err << "vgrdata " << cmd << ": " << e.what() << "\n";
    } catch (const std::exception& e) {
      err << "vgrdata " << cmd << ": failed: " << e.what() << "\n";
    } catch (...) {
      err << "vgrdata " << cmd << ": failed\n";
    }
    return 1;
  }
  err << "vgrdata: unknown command '" << cmd << "' (see vgrdata --help)\n";
  return 2;
}

}  // namespace vgrdata
