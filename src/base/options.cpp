#include "base/options.h"

#include <sys/stat.h>

#include <cstdlib>
#include <cstring>

namespace {

const char kNoPath[] = "--screenshot needs the path of the PNG to write";
const char kTwice[] = "--screenshot given twice";

bool Refuse(Options& options, const std::string& error) {
  options.action = Options::kUsageError;
  options.error = error;
  return false;
}

// A whole number from 0 to a million, or -1.
long WholeNumber(const std::string& text) {
  if (text.empty() || text.size() > 7 ||
      text.find_first_not_of("0123456789") != std::string::npos)
    return -1;
  const long n = std::stol(text);
  return n <= 1000000 ? n : -1;
}

// "LOW to HIGH", as the help and the errors say a range.
std::string Range(int low, int high) {
  return std::to_string(low) + " to " + std::to_string(high);
}

// How an option is written on the command line.
enum class Form {
  kBare,      // --name alone
  kSuffixed,  // --name, or --name=WORD
  kValued,    // --name VALUE or --name=VALUE
  kPath,      // --name PATH, where PATH is no option, or --name=PATH
};

// One option: how it is written, what it sets from its value (false once
// the action is decided: --help, --version or an error), and its lines in
// --help. Rows with no name are the help's lines on FILE.
struct OptionRow {
  const char* name;
  Form form;
  bool (*take)(Options& options, const std::string& value);
  std::string help;
};

bool TakeHelp(Options& options, const std::string&) {
  options.action = Options::kHelp;
  return false;
}

bool TakeVersion(Options& options, const std::string&) {
  options.action = Options::kVersion;
  return false;
}

bool TakeWatch(Options& options, const std::string&) {
  options.watch = true;
  return true;
}

bool TakeScreenshot(Options& options, const std::string& value) {
  if (!options.screenshot.empty()) return Refuse(options, kTwice);
  if (value.empty()) return Refuse(options, kNoPath);
  options.screenshot = value;
  return true;
}

bool TakeInfo(Options& options, const std::string& value) {
  if (value == "json") {
    options.info = Options::kInfoJson;
  } else if (value.empty() || value == "text") {
    options.info = Options::kInfoText;
  } else {
    return Refuse(options, "unknown option --info=" + value);
  }
  return true;
}

bool TakeFrame(Options& options, const std::string& value) {
  options.frame = WholeNumber(value);
  if (options.frame < 0)
    return Refuse(options, "--frame needs a whole number of frames, 0 or more");
  return true;
}

// WxH, each side from kMinSide to kMaxSide.
bool TakeSize(Options& options, const std::string& value) {
  const size_t x = value.find('x');
  const long w = x == std::string::npos ? -1 : WholeNumber(value.substr(0, x));
  const long h = x == std::string::npos ? -1 : WholeNumber(value.substr(x + 1));
  if (w < kMinSide || w > kMaxSide || h < kMinSide || h > kMaxSide)
    return Refuse(options, "--size needs WIDTHxHEIGHT, each from " +
                               Range(kMinSide, kMaxSide) + " pixels");
  options.sized = true;
  options.width = static_cast<int>(w);
  options.height = static_cast<int>(h);
  return true;
}

bool TakeThumbnail(Options& options, const std::string& value) {
  const long n = WholeNumber(value);
  if (n < kMinThumbnail || n > kMaxThumbnail)
    return Refuse(options, "--thumbnail needs a side from " +
                               Range(kMinThumbnail, kMaxThumbnail) + " pixels");
  options.thumbnail = static_cast<int>(n);
  return true;
}

bool TakeCamera(Options& options, const std::string& value) {
  const long n = WholeNumber(value);
  if (n < 1)
    return Refuse(options, "--camera needs a camera number, 1 or more");
  options.camera = static_cast<int>(n);
  return true;
}

bool TakeLook(Options& options, const std::string& value) {
  if (value != "studio" && value != "file")
    return Refuse(options, "--look needs studio or file");
  options.look = value == "file" ? Options::kFileLook : Options::kStudioLook;
  options.looked = true;
  return true;
}

// Every option, in the order --help gives them.
const std::vector<OptionRow>& Table() {
  static const std::vector<OptionRow> kTable = {
      {"", Form::kBare, nullptr,
       "  FILE.3ds            the model to show, framed to fit the window,\n"
       "                      in the materials its faces name; textures\n"
       "                      (BMP, PNG, JPEG, TGA, GIF) are looked up\n"
       "                      beside it. Without FILE: monster.3ds in the\n"
       "                      working directory, shown as the bundled\n"
       "                      sample is, until any key is pressed\n"
       "  FILE.3ds... | DIR   several files, one at a time in the window,\n"
       "                      in the order given; a folder stands for the\n"
       "                      3DS files in it (by content), in the order\n"
       "                      of their names, numbers by value\n"},
      {"--watch", Form::kBare, TakeWatch,
       "  --watch             show the file again when it changes on disk,\n"
       "                      keeping the view; a file half written keeps\n"
       "                      the picture shown\n"},
      {"--screenshot", Form::kPath, TakeScreenshot,
       "  --screenshot OUT.png  write the first frame as a PNG and end; -\n"
       "                      writes it to standard output. OUT is replaced\n"
       "                      only once the picture is whole, and never\n"
       "                      when it is the model or an image it uses, or\n"
       "                      not a regular file. Drawn offscreen, with no\n"
       "                      display needed\n"
       "  --screenshot DIR    with one FILE or more: DIR/NAME.png for each,\n"
       "                      in one run, and a summary line; DIR is a\n"
       "                      folder, or a name ending in /. A picture\n"
       "                      never replaces a FILE or an image one uses:\n"
       "                      it takes another name, and says so\n"},
      {"--thumbnail", Form::kValued, TakeThumbnail,
       "  --thumbnail N       the picture N x N (" +
           Range(kMinThumbnail, kMaxThumbnail) +
           "), three-quarter\n"
           "                      view, the model filling it, transparent\n"
           "                      around it; with --screenshot, without "
           "--size\n"},
      {"--frame", Form::kValued, TakeFrame,
       "  --frame N           start the file's animation at frame N (30\n"
       "                      frames a second); the screenshot or thumbnail\n"
       "                      shows it\n"},
      {"--size", Form::kValued, TakeSize,
       "  --size WxH          the window's and the screenshot's size, each\n"
       "                      side from " +
           Range(kMinSide, kMaxSide) + " (default " +
           std::to_string(Options().width) + "x" +
           std::to_string(Options().height) + ")\n"},
      {"--camera", Form::kValued, TakeCamera,
       "  --camera N          start looking through the file's N-th camera;\n"
       "                      a thumbnail is the square through it\n"},
      {"--look", Form::kValued, TakeLook,
       "  --look studio|file  studio (the default): two lights fixed to the\n"
       "                      eye and a dark grey background, alike for\n"
       "                      every file; file: the file's own lights,\n"
       "                      ambient light, background and fog, at the\n"
       "                      frame shown (L switches in the window)\n"},
      {"--info", Form::kSuffixed, TakeInfo,
       "  --info[=json]       write what was read from each FILE (meshes as\n"
       "                      placed, materials, maps found, cameras,\n"
       "                      lights, background and fog) as text or as\n"
       "                      JSON (with several FILEs, one document a\n"
       "                      line), and end; no window\n"},
      {"--help", Form::kBare, TakeHelp, "  --help              this text\n"},
      {"--version", Form::kBare, TakeVersion,
       "  --version           the version\n"},
  };
  return kTable;
}

// The value of `row` when `arg` (argument i) is that option, the next
// argument taken where the option's form asks for it; false when it is not.
bool Matches(const OptionRow& row, const std::string& arg, char* argv[],
             int argc, int& i, std::string& value) {
  const std::string name = row.name;
  if (name.empty()) return false;
  const bool assigned = arg.compare(0, name.size() + 1, name + "=") == 0;
  if (assigned && row.form != Form::kBare) {
    value = arg.substr(name.size() + 1);
    return true;
  }
  if (arg != name) return false;
  value.clear();
  if (row.form == Form::kValued) {
    value = i + 1 < argc ? argv[++i] : "";
  } else if (row.form == Form::kPath) {
    // The next argument, unless it is missing or an option.
    const bool path = i + 1 < argc && argv[i + 1][0] != '\0' &&
                      !(argv[i + 1][0] == '-' && argv[i + 1][1] != '\0');
    if (path) value = argv[++i];
  }
  return true;
}

// Takes one argument; false once the action is decided.
bool Take(Options& options, char* argv[], int argc, int& i, bool& literal) {
  const std::string arg = argv[i];
  if (!literal && arg == "--") {
    literal = true;
    return true;
  }
  if (!literal) {
    // A second --screenshot is refused before its value is looked at.
    if (!options.screenshot.empty() &&
        arg.compare(0, std::strlen("--screenshot"), "--screenshot") == 0)
      return Refuse(options, kTwice);
    std::string value;
    for (const OptionRow& row : Table())
      if (Matches(row, arg, argv, argc, i, value))
        return row.take(options, value);
    if (arg.size() > 1 && arg[0] == '-')
      return Refuse(options, "unknown option " + arg);
  }
  if (arg.empty()) return Refuse(options, "FILE is empty");
  if (options.files.empty()) options.file = arg;
  options.files.push_back(arg);
  return true;
}

// A folder that exists, or a name that ends in "/".
bool NamesFolder(const std::string& path) {
  struct stat info;
  return (!path.empty() && path.back() == '/') ||
         (stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode));
}

// What the options ask for together, once all are read.
void CheckTogether(Options& options) {
  const bool info = options.info != Options::kNoInfo;
  options.folder =
      !options.screenshot.empty() && !info && NamesFolder(options.screenshot);
  // --info opens no window and writes no picture.
  if (info && (!options.screenshot.empty() || options.sized || options.camera ||
               options.thumbnail || options.looked))
    Refuse(options,
           "--info takes no --screenshot, --size, --camera, --look or "
           "--thumbnail");
  else if (options.thumbnail && options.screenshot.empty())
    Refuse(options, "--thumbnail needs --screenshot");
  else if (options.thumbnail && options.sized)
    Refuse(options, "--thumbnail takes no --size: the picture is N x N");
  else if (options.files.size() > 1 && !options.screenshot.empty() && !info &&
           !options.folder)
    Refuse(options, "one FILE at most with --screenshot OUT.png (also given: " +
                        options.files[1] + ")");
  else if (options.watch && (info || !options.screenshot.empty()))
    Refuse(options, "--watch is for the window: no --screenshot or --info");
  // The bundled program's window and view are fixed.
  else if (options.file.empty() && (info || options.watch))
    Refuse(options, std::string(info ? "--info" : "--watch") + " needs a FILE");
  else if (options.file.empty() && (options.sized || options.camera ||
                                    options.thumbnail || options.looked))
    Refuse(options, "--size, --camera, --look and --thumbnail need a FILE");
}

}  // namespace

Switches ReadSwitches() {
  const auto on = [](const char* name) {
    const char* value = std::getenv(name);
    return value && std::strcmp(value, "1") == 0;
  };
  Switches switches;
  switches.noshaders = on("MODELVIEWER_NO_SHADERS");
  switches.noegl = on("MODELVIEWER_NO_EGL");
  switches.newcontexts = on("MODELVIEWER_NEW_CONTEXT");
  const char* tile = std::getenv("MODELVIEWER_TILE_SIDE");
  const long side = tile ? WholeNumber(tile) : -1;
  if (side >= 16) switches.tileside = static_cast<int>(side);
  const char* driver = std::getenv("SDL_VIDEODRIVER");
  if (driver) switches.videodriver = driver;
  const char* display = std::getenv("DISPLAY");
  switches.display = display && *display;
  return switches;
}

Options ParseOptions(int argc, char* argv[]) {
  Options options;
  options.switches = ReadSwitches();
  bool literal = false;
  for (int i = 1; i < argc; ++i)
    if (!Take(options, argv, argc, i, literal)) return options;
  CheckTogether(options);
  return options;
}

std::string UsageLines(const std::string& program) {
  const std::string indent(program.size() + 8, ' ');
  return "usage: " + program +
         " [--watch] [--frame N] [--size WxH] [--camera N]\n" + indent +
         "[--look studio|file] [FILE.3ds... | DIR...]\n" + "       " + program +
         " --screenshot OUT.png [--frame N] [--size WxH] [--camera N]\n" +
         indent + "[--look studio|file] [FILE.3ds]\n" + "       " + program +
         " --screenshot DIR [--thumbnail N | --size WxH] [--frame N]\n" +
         indent + "[--camera N] [--look studio|file] FILE.3ds...\n" +
         "       " + program + " --info[=json] [--frame N] FILE.3ds...\n" +
         "       " + program + " --help | --version\n";
}

std::string HelpText(const std::string& program) {
  std::string help = UsageLines(program) +
                     "\n"
                     "Shows a 3DS model lit, textured and spinning.\n"
                     "\n";
  for (const OptionRow& row : Table()) help += row.help;
  return help +
         "\n"
         "Controls, with FILE:\n"
         "  left drag           turn the model; a window's width is a turn\n"
         "  right or middle drag  move the model with the pointer (also\n"
         "                      Shift + left drag)\n"
         "  wheel, + and -      nearer and farther, 15 % a step\n"
         "  arrow keys          turn the model 5 degrees the way they point\n"
         "  Space               pause, or start what is stopped\n"
         "  R                   back to the first picture\n"
         "  C                   the file's cameras in turn, then the "
         "turntable\n"
         "  W                   wireframe on and off\n"
         "  L                   the file's look on and off (see --look)\n"
         "  Page Down or N, Page Up or P  the next or the previous file,\n"
         "                      round from the last to the first\n"
         "  Home, End           the first file, the last file\n"
         "  F12 or S            write the picture in the window as\n"
         "                      NAME-1.png, NAME-2.png... in the working\n"
         "                      directory, never over a file\n"
         "  Esc or Q            end\n"
         "The window can be resized. Dragging or turning stops the spin.\n"
         "\n"
         "Exit status: 0 shown or written, 1 refused or failed (in a folder\n"
         "of pictures: any file refused), 2 wrong usage. SIGINT, SIGTERM and\n"
         "SIGHUP end a run that writes with 1, and no file half made is left;\n"
         "a picture or --info on standard output is left incomplete.\n";
}
