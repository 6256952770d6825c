#include "base/file_names.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>

namespace {

std::string Join(const std::string& dir, const std::string& name) {
  if (dir.empty() || name.empty() || name[0] == '/') return name;
  return dir.back() == '/' ? dir + name : dir + "/" + name;
}

bool IsRegular(int dirfd, const std::string& name) {
  struct stat info;
  return fstatat(dirfd, name.c_str(), &info, 0) == 0 && S_ISREG(info.st_mode);
}

std::string Lower(std::string text) {
  for (char& c : text)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// The components of a DOS name, with "." dropped and ".." taken back
// against the component before it, as DOS resolves them: by the name, not
// the folders it leads through.
std::vector<std::string> DosComponents(const std::string& name) {
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

}  // namespace

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return "";
  return slash == 0 ? "/" : path.substr(0, slash);
}

const std::vector<std::string>* FileNames::EntriesLike(
    int dirfd, const std::string& name) {
  struct stat info;
  if (fstat(dirfd, &info) != 0) return nullptr;
  const auto key = std::make_pair<unsigned long long, unsigned long long>(
      info.st_dev, info.st_ino);
  auto cached = listings_.find(key);
  if (cached == listings_.end()) {
    cached = listings_.emplace(key, Listing()).first;
    Listing& listing = cached->second;
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
bool FileNames::FindEntry(int dirfd, const std::string& name, bool last,
                          int& next, std::string& found) {
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

bool FileNames::Resolve(const std::string& stored, std::string& path) {
  path = Join(folder_, stored);
  if (IsRegular(AT_FDCWD, path)) return true;
  const bool absolute =
      !stored.empty() && (stored[0] == '/' || stored[0] == '\\');
  const std::vector<std::string> components = DosComponents(stored);
  if (components.empty()) return false;
  std::string found_path = absolute ? "/" : folder_;
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

bool FileNames::FindImage(const std::string& stored, std::string& path) {
  std::string bare;
  if (Resolve(stored, path)) return true;
  const size_t cut = stored.find_last_of("/\\");
  if (cut == std::string::npos || !Resolve(stored.substr(cut + 1), bare))
    return false;
  path = bare;
  return true;
}

bool FindMap(FileNames& names, const std::string& stored, std::string& path,
             FileId& id, std::string& why) {
  names.FindImage(stored, path);
  return ReadableFile(path, id, why);
}
