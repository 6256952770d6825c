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
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <map>
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

static std::string Join(const std::string& dir, const std::string& name) {
  if (dir.empty() || name.empty() || name[0] == '/') return name;
  return dir.back() == '/' ? dir + name : dir + "/" + name;
}

static bool IsRegular(int dirfd, const std::string& name) {
  struct stat info;
  return fstatat(dirfd, name.c_str(), &info, 0) == 0 && S_ISREG(info.st_mode);
}

static std::string Lower(std::string text) {
  for (char& c : text)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// Each folder's entries, read once however many names are looked up in it:
// by lower-case name, the entries of that name in byte order.
using Listing = std::map<std::string, std::vector<std::string> >;

static const std::vector<std::string>* EntriesLike(int dirfd,
                                                   const std::string& name) {
  static std::map<std::pair<dev_t, ino_t>, Listing> listings;
  struct stat info;
  if (fstat(dirfd, &info) != 0) return nullptr;
  auto cached = listings.find({info.st_dev, info.st_ino});
  if (cached == listings.end()) {
    Listing& listing = listings[{info.st_dev, info.st_ino}];
    cached = listings.find({info.st_dev, info.st_ino});
    const int fd = openat(dirfd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (DIR* entries = fd >= 0 ? fdopendir(fd) : nullptr) {
      while (dirent* entry = readdir(entries))
        listing[Lower(entry->d_name)].push_back(entry->d_name);
      closedir(entries);
    } else if (fd >= 0) {
      close(fd);
    }
    for (auto& names : listing)
      std::sort(names.second.begin(), names.second.end());
  }
  auto found = cached->second.find(Lower(name));
  return found == cached->second.end() ? nullptr : &found->second;
}

// The entry of the folder `dirfd` called `name`, without regard to case: a
// folder (opened into `next`) or, for the last component, a regular file.
// The exact name wins, else the first match in byte order, so the choice
// does not depend on the listing's order.
static bool FindEntry(int dirfd, const std::string& name, bool last, int& next,
                      std::string& found) {
  auto take = [&](const std::string& entry) {
    if (last) return IsRegular(dirfd, entry);
    next = openat(dirfd, entry.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    return next >= 0;
  };
  found = name;
  if (take(name)) return true;
  if (const std::vector<std::string>* entries = EntriesLike(dirfd, name))
    for (const std::string& entry : *entries)
      if (entry != name && take(entry)) {
        found = entry;
        return true;
      }
  return false;
}

// The components of a DOS name, with "." dropped and ".." taken back
// against the component before it, as DOS resolves them: by the name, not
// the folders it leads through.
static std::vector<std::string> DosComponents(const std::string& name) {
  std::vector<std::string> components;
  size_t begin = 0;
  while (begin <= name.size()) {
    size_t end = name.find_first_of("/\\", begin);
    if (end == std::string::npos) end = name.size();
    std::string component = name.substr(begin, end - begin);
    begin = end + 1;
    if (component.empty() || component == ".") continue;
    if (component == ".." && !components.empty() && components.back() != "..")
      components.pop_back();
    else
      components.push_back(std::move(component));
  }
  return components;
}

// 3DS files name their images as DOS did ("MAPS\ROCK.BMP"): the stored name
// if such a regular file exists, else backslashes as separators, matched
// component by component without regard to case. Each component costs one
// look-up from the folder before it, so the time is linear in the name.
bool ResolveFileName(const std::string& folder, const std::string& stored,
                     std::string& path) {
  path = Join(folder, stored);
  if (IsRegular(AT_FDCWD, path)) return true;
  const bool absolute =
      !stored.empty() && (stored[0] == '/' || stored[0] == '\\');
  const std::vector<std::string> components = DosComponents(stored);
  if (components.empty()) return false;
  std::string found_path = absolute ? "/" : folder;
  int dirfd = open(found_path.empty() ? "." : found_path.c_str(),
                   O_PATH | O_DIRECTORY | O_CLOEXEC);
  bool resolved = dirfd >= 0;
  for (size_t i = 0; resolved && i < components.size(); ++i) {
    const bool last = i + 1 == components.size();
    int next = -1;
    std::string found;
    resolved = FindEntry(dirfd, components[i], last, next, found);
    found_path = Join(found_path, found);
    if (resolved && !last) {
      close(dirfd);
      dirfd = next;
    }
  }
  if (dirfd >= 0) close(dirfd);
  if (resolved) path = found_path;
  return resolved;
}

#endif
