#include "base/input_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>

#include "base/chunk_format.h"
#include "base/stop.h"

namespace {

FileId IdOf(const struct stat& info) {
  FileId id;
  id.device = info.st_dev;
  id.inode = info.st_ino;
  return id;
}

// What is wrong with reading something of this type, or "" for a regular
// file.
const char* NotRegular(mode_t mode) {
  if (S_ISREG(mode)) return "";
  return S_ISDIR(mode) ? "is a directory" : "is not a regular file";
}

}  // namespace

int OpenRegular(const std::string& path, struct stat& info, std::string& why) {
  const int fd = OpenWithoutWaiting(path, info);
  if (fd < 0) {
    why = std::strerror(errno);
    return -1;
  }
  why = NotRegular(info.st_mode);
  if (why.empty()) return fd;
  close(fd);
  return -1;
}

namespace {

// Reads exactly `count` bytes; false, with the reason, otherwise.
bool ReadExactly(int fd, unsigned char* dest, unsigned long long count,
                 std::string& why) {
  // In steps, so that a stop request is seen between them.
  const size_t kStep = 16u << 20;
  while (count > 0) {
    if (StopRequested()) {
      why = "stopped";
      return false;
    }
    const size_t step = count < kStep ? count : kStep;
    const ssize_t got = read(fd, dest, step);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      why = got < 0 ? std::strerror(errno) : "the file became shorter";
      return false;
    }
    dest += got;
    count -= static_cast<unsigned long long>(got);
  }
  return true;
}

std::string TooLarge(unsigned long long limit) {
  return "is larger than " + std::to_string(limit) + " bytes";
}

}  // namespace

bool ReadRegularFile(const std::string& path, unsigned long long limit,
                     std::vector<unsigned char>& bytes, FileId& id,
                     std::string& why) {
  struct stat info;
  const int fd = OpenRegular(path, info, why);
  if (fd < 0) return false;
  id = IdOf(info);
  const unsigned long long size = static_cast<unsigned long long>(info.st_size);
  bool read = false;
  if (size > limit) {
    why = TooLarge(limit);
  } else {
    bytes.resize(size);
    read = ReadExactly(fd, bytes.data(), size, why);
  }
  close(fd);
  StopPoint();
  return read;
}

bool OpenModelFile(const std::string& path, Loader3DS& loader, FileId& id,
                   std::string& why) {
  struct stat info;
  const int fd = OpenRegular(path, info, why);
  if (fd < 0) {
    why = "cannot read " + path + ": " + why;
    return false;
  }
  id = IdOf(info);
  const unsigned long long size = static_cast<unsigned long long>(info.st_size);
  const unsigned int kHeader = kChunkHeaderSize;  // the main chunk's
  unsigned char head[kHeader];
  unsigned char* buffer = nullptr;
  bool opened = false;
  if (size > kLargest3dsFile) {
    why = "cannot read " + path + ": " + TooLarge(kLargest3dsFile) +
          ", the most a 3DS file can hold";
  } else if (size < kHeader || !ReadExactly(fd, head, kHeader, why) ||
             !NamesMainChunk(head)) {
    // Nothing more is read of a file that does not start as a 3DS file.
    why = path + ": " + kNoMainChunk;
  } else if (!(buffer = new (std::nothrow) unsigned char[size])) {
    why = "out of memory";
  } else {
    std::memcpy(buffer, head, kHeader);
    opened = ReadExactly(fd, buffer + kHeader, size - kHeader, why);
    if (!opened) why = "cannot read " + path + ": " + why;
  }
  close(fd);
  if (!opened) {
    delete[] buffer;
    StopPoint();
    return false;
  }
  loader.TakeBytes(buffer, static_cast<unsigned int>(size));
  return true;
}

bool ReadableFile(const std::string& path, FileId& id, std::string& why) {
  struct stat info;
  const int fd = OpenRegular(path, info, why);
  if (fd < 0) return false;
  id = IdOf(info);
  close(fd);
  return true;
}

bool IdentifyFile(const std::string& path, FileId& id) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0) return false;
  id = IdOf(info);
  return true;
}

bool InputFiles::Holds(const std::string& path, std::string& input) const {
  struct stat info;
  if (stat(path.c_str(), &info) != 0) return false;
  const auto found = inputs_.find(IdOf(info));
  if (found == inputs_.end()) return false;
  input = found->second;
  return true;
}

bool InputFiles::SafeTarget(const std::string& path, std::string& why) const {
  if (path == "-") return true;
  struct stat info;
  if (stat(path.c_str(), &info) != 0) return true;  // nothing there yet
  why = NotRegular(info.st_mode);
  if (!why.empty()) return false;
  std::string input;
  if (!Holds(path, input)) return true;
  why = "it is " + input + ", which this run reads";
  return false;
}
