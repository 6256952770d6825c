#include "base/input_files.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
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

// The model files mapped now (one a thread that imports, at most
// kMappings), and whether the one this thread imports has become shorter. A
// read of a mapped page that the file no longer holds raises SIGBUS in the
// thread that reads; the handler puts zero pages in its place, from there
// to the mapping's end, and the read goes on.
const int kMappings = 8;
struct Mapping {
  std::atomic<unsigned char*> start{nullptr};
  std::atomic<size_t> length{0};
};
Mapping mappings[kMappings];
thread_local volatile sig_atomic_t shrank = 0;

void OnBusError(int, siginfo_t* info, void*) {
  unsigned char* at = static_cast<unsigned char*>(info->si_addr);
  for (Mapping& mapping : mappings) {
    unsigned char* start = mapping.start.load();
    const size_t length = mapping.length.load();
    if (!start || at < start || at >= start + length) continue;
    const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    unsigned char* from =
        start + (static_cast<size_t>(at - start) & ~(page - 1));
    if (mmap(from, static_cast<size_t>(start + length - from), PROT_READ,
             MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) != MAP_FAILED) {
      shrank = 1;
      return;
    }
  }
  // Not a model's: the fault comes again, and ends the program as ever.
  signal(SIGBUS, SIG_DFL);
}

void Unmap(unsigned char* bytes, unsigned int size) {
  for (Mapping& mapping : mappings)
    if (mapping.start.load() == bytes) {
      mapping.length = 0;
      mapping.start = nullptr;
    }
  munmap(bytes, size);
}

// The file mapped into memory, handed to `loader`; false where it cannot
// be mapped.
bool MapInto(int fd, unsigned long long size, Loader3DS& loader) {
  static const bool handled = [] {
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_sigaction = OnBusError;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    return sigaction(SIGBUS, &action, nullptr) == 0;
  }();
  if (!handled) return false;
  void* bytes = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
  if (bytes == MAP_FAILED) return false;
  unsigned char* start = static_cast<unsigned char*>(bytes);
  for (Mapping& mapping : mappings) {
    unsigned char* free = nullptr;
    if (!mapping.start.compare_exchange_strong(free, start)) continue;
    mapping.length = size;  // before a byte of it is read
    loader.TakeMappedBytes(start, static_cast<unsigned int>(size), Unmap);
    return true;
  }
  munmap(bytes, size);  // read instead
  return false;
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
  shrank = 0;
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
  } else if (size >= kMappedModelBytes && MapInto(fd, size, loader)) {
    close(fd);
    return true;
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

bool ModelFileShrank() { return shrank != 0; }

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
