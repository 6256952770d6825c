#include "platform/libraries.h"

#include <X11/Xlib.h>
#include <pwd.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace {

// Whether the person set one of the GL's switches for its own lines: then
// they are theirs to read, and not caught.
bool lines_asked = false;

// Sets an environment switch, unless the person has set it.
void Default(const char* name, const char* value) {
  if (std::getenv(name)) lines_asked = true;
  setenv(name, value, 0);
}

// Whether Mesa can keep its shader cache in `folder`: it is a folder, or
// one can be made there. Made to find out, and removed again, so that
// nothing is left that the GL would not have made itself.
bool FolderCanBe(const std::string& folder) {
  struct stat info;
  if (stat(folder.c_str(), &info) == 0) return S_ISDIR(info.st_mode);
  if (mkdir(folder.c_str(), 0755) != 0) return errno == EEXIST;
  rmdir(folder.c_str());
  return true;
}

// Whether the folder of Mesa's shader cache can be, where Mesa looks for
// it: under its own variable, else the XDG cache folder, else .cache in the
// home folder.
bool ShaderCacheCanBe() {
  for (const char* name :
       {"MESA_SHADER_CACHE_DIR", "MESA_GLSL_CACHE_DIR", "XDG_CACHE_HOME"}) {
    const char* folder = std::getenv(name);
    if (folder)
      return FolderCanBe(folder) &&
             FolderCanBe(std::string(folder) + "/mesa_shader_cache");
  }
  const passwd* account = getpwuid(getuid());
  if (!account || !account->pw_dir) return true;  // Mesa goes without
  const std::string cache = std::string(account->pw_dir) + "/.cache";
  return FolderCanBe(cache) && FolderCanBe(cache + "/mesa_shader_cache");
}

}  // namespace

void SetLibrarySwitches(const Switches& switches) {
  if (switches.videodriver.empty()) setenv("SDL_VIDEODRIVER", "x11", 1);
  Default("EGL_LOG_LEVEL", "fatal");  // its warnings, when a driver fails
  Default("LIBGL_DEBUG", "quiet");    // GLX's errors, likewise
  Default("MESA_DEBUG", "silent");
  // Mesa says so in a line where the folder of its shader cache cannot be
  // made (a read-only home, say), and goes on without it.
  if (!std::getenv("MESA_SHADER_CACHE_DISABLE") &&
      !std::getenv("MESA_GLSL_CACHE_DISABLE") && !ShaderCacheCanBe())
    Default("MESA_SHADER_CACHE_DISABLE", "true");
}

namespace {

// A copy: the handlers may run as the process ends.
Messages display_messages(false);
// While a window opens, the X server's refusals are kept here for its
// reason; at other times they end the run.
std::string* opening_refusal = nullptr;

[[noreturn]] void EndForTheDisplay(const std::string& line) {
  display_messages.Warn(line);
  _exit(1);  // no exit handlers: they would talk to the server again
}

int OnLostDisplay(Display* display) {
  EndForTheDisplay(std::string("lost the display ") + DisplayString(display) +
                   ": the X server ended or closed the connection");
}

int OnRefusal(Display* display, XErrorEvent* error) {
  char text[160] = "";
  XGetErrorText(display, error->error_code, text, sizeof text);
  const std::string refusal = "the X server refused a request (" +
                              std::string(text) + ", request " +
                              std::to_string(error->request_code) + "." +
                              std::to_string(error->minor_code) + ")";
  if (!opening_refusal) EndForTheDisplay(refusal);
  if (opening_refusal->empty()) *opening_refusal = refusal;
  return 0;
}

}  // namespace

void EndOnDisplayFailure(const Messages& messages) {
  display_messages = messages;
  XSetIOErrorHandler(OnLostDisplay);
  XSetErrorHandler(OnRefusal);
}

DisplayRefusals::DisplayRefusals() { opening_refusal = &first_; }

DisplayRefusals::~DisplayRefusals() { opening_refusal = nullptr; }

namespace {

// The most of the caught text kept for a reason.
const size_t kMostCaught = 400;

}  // namespace

CaughtErrors::CaughtErrors() {
  if (lines_asked) return;
  std::fflush(stderr);
  caught_ = memfd_create("caught-errors", MFD_CLOEXEC);
  if (caught_ < 0) return;  // nothing caught: the lines stay as they are
  saved_ = dup(2);
  if (saved_ >= 0 && dup2(caught_, 2) >= 0) return;
  if (saved_ >= 0) close(saved_);
  close(caught_);
  caught_ = -1;
}

CaughtErrors::~CaughtErrors() { Lines(); }

std::string CaughtErrors::Lines() {
  if (caught_ < 0) return "";
  std::fflush(stderr);
  dup2(saved_, 2);
  close(saved_);
  char text[kMostCaught];
  const ssize_t got = pread(caught_, text, sizeof text, 0);
  close(caught_);
  caught_ = -1;
  std::string lines;
  std::string line;
  for (ssize_t i = 0; i <= got; ++i) {
    if (i < got && text[i] != '\n') {
      line += text[i];
      continue;
    }
    if (line.empty()) continue;
    lines += (lines.empty() ? "" : "; ") + line;
    line.clear();
  }
  return lines;
}
