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
bool ResolveFileName(const std::string& folder, const std::string& stored,
                     std::string& path) {
  path = folder.empty() ? stored : folder + "\\" + stored;
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

#else

// Standard output and error already reach the terminal.
void OpenConsole() {}

// Where SDL has no start-up shim, do what it does: shut SDL down at exit, then
// hand over to the program.
int main(int argc, char* argv[]) {
  std::atexit(SDL_Quit);
  return SDL_main(argc, argv);
}

static bool IsDirectory(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Something to open as an image: present and not a directory.
static bool IsFile(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

static std::string Join(const std::string& dir, const std::string& name) {
  if (dir.empty() || name.empty() || name[0] == '/') return name;
  return dir.back() == '/' ? dir + name : dir + "/" + name;
}

// The entry of `dir` called `name`, a directory or not as `directory` asks:
// the exact name when there is one, else the first match without regard to
// case in byte order, so the choice does not depend on the listing's order.
static bool FindEntry(const std::string& dir, const std::string& name,
                      bool directory, std::string& found) {
  if (name == "." || name == "..") {
    found = name;
    return directory;
  }
  auto wanted = [&](const std::string& entry) {
    std::string path = Join(dir.empty() ? "." : dir, entry);
    return directory ? IsDirectory(path) : IsFile(path);
  };
  if (wanted(name)) {
    found = name;
    return true;
  }
  DIR* listing = opendir(dir.empty() ? "." : dir.c_str());
  if (!listing) return false;
  bool matched = false;
  while (dirent* entry = readdir(listing)) {
    std::string candidate = entry->d_name;
    if (strcasecmp(candidate.c_str(), name.c_str()) != 0) continue;
    if (matched && candidate >= found) continue;
    if (!wanted(candidate)) continue;
    found = candidate;
    matched = true;
  }
  closedir(listing);
  return matched;
}

// 3DS files name their images as DOS did ("MAPS\ROCK.BMP"): the stored name
// if such a file exists, else backslashes as separators, matched component by
// component without regard to case.
bool ResolveFileName(const std::string& folder, const std::string& stored,
                     std::string& path) {
  path = Join(folder, stored);
  if (IsFile(path)) return true;
  std::string name = stored;
  for (char& c : name)
    if (c == '\\') c = '/';
  const bool absolute = !name.empty() && name[0] == '/';
  std::string found_path = absolute ? "/" : folder;
  for (size_t begin = absolute ? 1 : 0; begin < name.size();) {
    size_t end = name.find('/', begin);
    if (end == std::string::npos) end = name.size();
    std::string component = name.substr(begin, end - begin), found;
    if (!component.empty()) {
      bool last = name.find_first_not_of('/', end) == std::string::npos;
      if (!FindEntry(found_path, component, !last, found)) return false;
      found_path = Join(found_path, found);
    }
    begin = end + 1;
  }
  if (!IsFile(found_path)) return false;
  path = found_path;
  return true;
}

#endif
