#include "scene/collection.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>

#include "base/chunk_format.h"
#include "base/input_files.h"
#include "base/messages.h"
#include "base/stop.h"

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The end of the run of digits that starts at `i`.
size_t DigitsEnd(const std::string& s, size_t i) {
  while (i < s.size() && IsDigit(s[i])) ++i;
  return i;
}

// The first digit of a run that counts: leading zeros skipped, but one.
size_t Significant(const std::string& s, size_t begin, size_t end) {
  while (begin + 1 < end && s[begin] == '0') ++begin;
  return begin;
}

// The name after the last slash.
std::string BaseName(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

bool NaturalLess(const std::string& a, const std::string& b) {
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (IsDigit(a[i]) && IsDigit(b[j])) {
      const size_t aend = DigitsEnd(a, i), bend = DigitsEnd(b, j);
      const size_t ai = Significant(a, i, aend), bj = Significant(b, j, bend);
      // More digits is a larger number; of as many, the first to differ.
      if (aend - ai != bend - bj) return aend - ai < bend - bj;
      const int order = a.compare(ai, aend - ai, b, bj, bend - bj);
      if (order != 0) return order < 0;
      if (aend - i != bend - j) return aend - i < bend - j;
      i = aend, j = bend;
      continue;
    }
    const int ca = std::tolower(static_cast<unsigned char>(a[i]));
    const int cb = std::tolower(static_cast<unsigned char>(b[j]));
    if (ca != cb) return ca < cb;
    ++i, ++j;
  }
  if (a.size() - i != b.size() - j) return a.size() - i < b.size() - j;
  return a < b;  // alike but for case: in a fixed order all the same
}

bool StartsAsModel(const std::string& path) {
  struct stat info;
  std::string why;
  const int fd = OpenRegular(path, info, why);
  if (fd < 0) return false;
  unsigned char header[kChunkHeaderSize];
  const bool model =
      read(fd, header, sizeof header) == static_cast<ssize_t>(sizeof header) &&
      NamesMainChunk(header);
  close(fd);
  return model;
}

bool ModelsInFolder(const std::string& dir, std::vector<std::string>& files,
                    std::string& why) {
  DIR* folder = opendir(dir.c_str());
  if (!folder) {
    why = std::strerror(errno);
    return false;
  }
  const std::string prefix = dir.back() == '/' ? dir : dir + "/";
  std::vector<std::string> names;
  size_t seen = 0;
  while (const dirent* entry = readdir(folder)) {
    if (StopCheckDue(++seen) && StopRequested()) break;
    const std::string name = entry->d_name;
    if (name.empty() || name[0] == '.') continue;
    if (StartsAsModel(prefix + name)) names.push_back(name);
  }
  closedir(folder);
  StopPoint();
  std::sort(names.begin(), names.end(), NaturalLess);
  for (const std::string& name : names) files.push_back(prefix + name);
  return true;
}

bool Collection::Gather(const std::vector<std::string>& args,
                        std::vector<std::string>& warnings) {
  files_.clear();
  position_ = 0;
  for (const std::string& arg : args) {
    struct stat info;
    if (stat(arg.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
      files_.push_back(arg);  // a file that is not there is refused later
      continue;
    }
    std::string why;
    const size_t before = files_.size();
    if (!ModelsInFolder(arg, files_, why))
      warnings.push_back("cannot read the folder " + arg + ": " + why);
    else if (files_.size() == before)
      warnings.push_back(arg + ": no 3DS file in the folder");
  }
  return !files_.empty();
}

void Collection::Step(Move move) {
  const size_t n = files_.size();
  switch (move) {
    case Move::kNext:
      position_ = (position_ + 1) % n;
      break;
    case Move::kPrevious:
      position_ = (position_ + n - 1) % n;
      break;
    case Move::kFirst:
      position_ = 0;
      break;
    case Move::kLast:
      position_ = n - 1;
      break;
  }
}

std::string Collection::Title(const std::string& problem) const {
  std::string title = BaseName(Current());
  if (files_.size() > 1)
    title += " (" + std::to_string(position_ + 1) + " of " +
             std::to_string(files_.size()) + ")";
  if (!problem.empty()) {
    // Reasons start with the file's path, which the title has named.
    const std::string named = Current() + ": ";
    title += ": " + (problem.compare(0, named.size(), named) == 0
                         ? problem.substr(named.size())
                         : problem);
  }
  // One line, in UTF-8, whatever bytes the names hold.
  title = PathToUtf8(title);
  for (char& c : title)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  return title + " - Model Viewer";
}
