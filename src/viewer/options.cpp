#include "options.h"

namespace {

const std::string kScreenshot = "--screenshot";
const std::string kScreenshotIs = "--screenshot=";
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

bool TakeFrame(Options& options, const std::string& value) {
  options.frame = WholeNumber(value);
  if (options.frame < 0)
    return Refuse(options, "--frame needs a whole number of frames, 0 or more");
  return true;
}

// Takes one argument; false once the action is decided.
bool Take(Options& options, char* argv[], int argc, int& i, bool& literal) {
  const std::string arg = argv[i];
  if (!literal && arg == "--") {
    literal = true;
  } else if (!literal && arg == "--help") {
    options.action = Options::kHelp;
    return false;
  } else if (!literal && arg == "--version") {
    options.action = Options::kVersion;
    return false;
  } else if (!literal && !options.screenshot.empty() &&
             arg.compare(0, kScreenshot.size(), kScreenshot) == 0) {
    return Refuse(options, kTwice);
  } else if (!literal && arg == kScreenshot) {
    // The next argument, unless it is missing or an option.
    if (i + 1 >= argc || argv[i + 1][0] == '\0' ||
        (argv[i + 1][0] == '-' && argv[i + 1][1] != '\0'))
      return Refuse(options, kNoPath);
    options.screenshot = argv[++i];
  } else if (!literal &&
             arg.compare(0, kScreenshotIs.size(), kScreenshotIs) == 0) {
    options.screenshot = arg.substr(kScreenshotIs.size());
    if (options.screenshot.empty()) return Refuse(options, kNoPath);
  } else if (!literal && (arg == "--info" || arg == "--info=text")) {
    options.info = Options::kInfoText;
  } else if (!literal && arg == "--info=json") {
    options.info = Options::kInfoJson;
  } else if (!literal && arg == "--frame") {
    return TakeFrame(options, i + 1 < argc ? argv[++i] : "");
  } else if (!literal && arg.compare(0, 8, "--frame=") == 0) {
    return TakeFrame(options, arg.substr(8));
  } else if (!literal && arg.size() > 1 && arg[0] == '-') {
    return Refuse(options, "unknown option " + arg);
  } else if (!options.file.empty()) {
    return Refuse(options, "one FILE at most (also given: " + arg + ")");
  } else if (arg.empty()) {
    return Refuse(options, "FILE is empty");
  } else {
    options.file = arg;
  }
  return true;
}

}  // namespace

Options ParseOptions(int argc, char* argv[]) {
  Options options;
  bool literal = false;
  for (int i = 1; i < argc; ++i)
    if (!Take(options, argv, argc, i, literal)) return options;
  if (options.info != Options::kNoInfo && options.action == Options::kView &&
      options.file.empty())
    Refuse(options, "--info needs a FILE");
  return options;
}

std::string UsageLines(const std::string& program) {
  return "usage: " + program +
         " [--screenshot OUT.png] [--frame N] [FILE.3ds]\n" + "       " +
         program + " --help | --version\n";
}

std::string HelpText(const std::string& program) {
  return UsageLines(program) +
         "\n"
         "Shows a 3DS model lit, textured and spinning; any key or closing "
         "the\n"
         "window ends it.\n"
         "\n"
         "  FILE.3ds            the model to show, framed to fit the window,\n"
         "                      in the materials its faces name; textures\n"
         "                      (BMP, PNG, JPEG) are looked up beside it.\n"
         "                      Without FILE: monster.3ds in the working\n"
         "                      directory, shown as the bundled sample is.\n"
         "  --screenshot OUT.png  write the first frame as an 800 x 600 PNG\n"
         "                      and end; - writes it to standard output. OUT\n"
         "                      is replaced only once the picture is whole,\n"
         "                      and never when it is the model or an image\n"
         "                      it uses, or not a regular file\n"
         "  --frame N           start the file's animation at frame N (30\n"
         "                      frames a second); the screenshot shows it\n"
         "  --info[=json]       write what was read from FILE (meshes as "
         "placed,\n"
         "                      materials, textures found, cameras) as text\n"
         "                      or as one JSON document, and end; no window\n"
         "  --help              this text\n"
         "  --version           the version\n"
         "\n"
         "Exit status: 0 shown or written, 1 refused or failed, 2 wrong "
         "usage.\n";
}
