// The base room: what every other room uses. The command line, the
// program's messages, stop requests, and the files a run reads (only regular
// files, found by their DOS names too, known by their identity on disk).
// Its files may use the standard library, POSIX calls and the reader
// (src/loader), nothing else.
//
// This header: the command line, read once into one record before anything
// starts.
#ifndef MODELVIEWER_OPTIONS_H
#define MODELVIEWER_OPTIONS_H

#include <string>
#include <vector>

// The sides a window or screenshot may have, in pixels, and a thumbnail.
const int kMinSide = 64, kMaxSide = 8192;
const int kMinThumbnail = 16, kMaxThumbnail = 4096;

// The environment's switches that the programs read, read once with the
// options and passed down to where they count.
struct Switches {
  bool noshaders = false;  // MODELVIEWER_NO_SHADERS=1: lit per vertex
  bool noegl = false;      // MODELVIEWER_NO_EGL=1: pictures in a window
  // MODELVIEWER_TILE_SIDE=N: pictures drawn in tiles of at most N pixels a
  // side (from 16); 0 where it is not set or not a whole number.
  int tileside = 0;
  // MODELVIEWER_NEW_CONTEXT=1: each resize of the window gives it a new GL
  // context, as SDL does on some platforms (for tests).
  bool newcontexts = false;
  // SDL_VIDEODRIVER as the person set it ("" for none: X11 is taken), and
  // whether DISPLAY names a display.
  std::string videodriver;
  bool display = false;
};

// The switches as the environment sets them now.
Switches ReadSwitches();

struct Options {
  enum Action { kView, kHelp, kVersion, kUsageError };
  Action action = kView;
  std::string file;  // the first FILE: viewing mode; empty: the bundled one
  std::vector<std::string> files;  // every FILE, in order
  std::string screenshot;          // --screenshot OUT.png: first frame to a PNG
  bool folder = false;             // --screenshot DIR: a picture a FILE, in DIR
  int thumbnail = 0;               // --thumbnail N: N x N, transparent; 0: none
  long frame = -1;  // --frame N: the animation's first frame; -1: start
  enum Info { kNoInfo, kInfoText, kInfoJson };
  Info info = kNoInfo;  // --info[=json]: describe FILE, open no window
  int width = 800, height = 600;  // --size WxH: the window and screenshot
  bool sized = false;             // --size was given
  int camera = 0;      // --camera N: start looking through the N-th; 0: none
  bool watch = false;  // --watch: the file shown again when it changes
  // --look studio (two lights fixed to the eye, dark grey behind) or --look
  // file (the file's own lights, ambient light, background and fog).
  enum Look { kStudioLook, kFileLook };
  Look look = kStudioLook;
  bool looked = false;  // --look was given
  std::string error;    // what is wrong with the command line
  Switches switches;    // from the environment
};

// Reads `modelviewer [--watch] [--frame N] [--size WxH] [--camera N]
// [--look studio|file] [FILE...]`, `--screenshot OUT.png [...] [FILE]`,
// `--screenshot DIR [--thumbnail N] FILE...`, `--info[=json] FILE...` and
// `--help`, `--version`. "--" ends the options. OUT names a folder when it
// is one or ends in "/". An empty FILE, a second --screenshot, several FILEs
// with --screenshot OUT.png, a --thumbnail without --screenshot, with
// --size or outside kMinThumbnail to kMaxThumbnail, --watch with
// --screenshot or --info, a --look other than studio or file, --info with
// --look, or --info, --watch, --size, --camera, --look or --thumbnail
// without a FILE is a usage error. The first of --help, --version or an
// error decides the action. One table of options holds how each is written,
// what it sets, its ranges and its lines in --help. The environment's
// switches are read with them.
Options ParseOptions(int argc, char* argv[]);

// The usage lines of `program`, and the --help text that adds what each
// argument does.
std::string UsageLines(const std::string& program);
std::string HelpText(const std::string& program);

#endif
