// What the viewer needs from the platform: the process entry, the console of
// the diagnostic build, and file names as the 3DS files' home system saw them.
#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>
#endif

extern "C" int SDL_main(int argc, char* argv[]);

#ifdef _WIN32

// SDL's start-up shim sent standard output and error into files; put them
// back on a console window.
void OpenConsole() {
  AllocConsole();
  std::freopen("CON", "w", stdout);
  std::freopen("CON", "w", stderr);
}

// Names are not case-sensitive here, and backslashes are separators.
std::string ResolveFileName(const std::string& stored) { return stored; }

#else

// Standard output and error already reach the terminal.
void OpenConsole() {}

// Where SDL has no start-up shim, do what it does: shut SDL down at exit, then
// hand over to the program.
int main(int argc, char* argv[]) {
  std::atexit(SDL_Quit);
  return SDL_main(argc, argv);
}

static bool Exists(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0;
}

// The entry of `dir` whose name matches `name` regardless of case.
static bool FindIgnoringCase(const std::string& dir, const std::string& name,
                             std::string& found) {
  if (name.empty() || name == "." || name == "..") {
    found = name;
    return true;
  }
  DIR* listing = opendir(dir.empty() ? "." : dir.c_str());
  if (!listing) return false;
  bool matched = false;
  while (dirent* entry = readdir(listing)) {
    if (strcasecmp(entry->d_name, name.c_str()) == 0) {
      found = entry->d_name;
      matched = true;
      break;
    }
  }
  closedir(listing);
  return matched;
}

// 3DS files name their images as DOS did ("MAPS\ROCK.BMP"): the stored name
// if such a file exists, else backslashes as separators, matched component by
// component without regard to case. Unresolved names come back unchanged.
std::string ResolveFileName(const std::string& stored) {
  if (Exists(stored)) return stored;
  std::string name = stored;
  for (char& c : name)
    if (c == '\\') c = '/';
  std::string path = name[0] == '/' ? "/" : "";
  size_t begin = path.size();
  while (begin <= name.size()) {
    size_t end = name.find('/', begin);
    if (end == std::string::npos) end = name.size();
    std::string component = name.substr(begin, end - begin), found;
    if (!component.empty()) {
      if (!FindIgnoringCase(path, component, found)) return stored;
      path += found;
      if (end < name.size()) path += '/';
    }
    begin = end + 1;
  }
  return path;
}

#endif
