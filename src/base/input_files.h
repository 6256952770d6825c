// The files the viewer reads: only regular files, opened so that a FIFO or a
// device can never block the program, read within a size limit, and known by
// their identity on disk so that nothing the viewer writes can replace them.
#ifndef MODELVIEWER_INPUT_FILES_H
#define MODELVIEWER_INPUT_FILES_H

#include <map>
#include <string>
#include <vector>

#include "loader/3dsloader.h"

// A file as the file system knows it, whatever name led to it.
struct FileId {
  unsigned long long device = 0, inode = 0;
  bool operator<(const FileId& other) const {
    return device != other.device ? device < other.device : inode < other.inode;
  }
  bool operator==(const FileId& other) const {
    return device == other.device && inode == other.inode;
  }
};

// Reads the regular file at `path` whole into `bytes`. False, with the
// reason ("is a directory", "is not a regular file", "is larger than ...",
// the system's word), for anything else or a file over `limit` bytes.
bool ReadRegularFile(const std::string& path, unsigned long long limit,
                     std::vector<unsigned char>& bytes, FileId& id,
                     std::string& why);

// Opens `path` without waiting and tells what it is in `info`: the
// descriptor of a regular file, or -1 with the reason ("is a directory",
// "is not a regular file", or the system's).
int OpenRegular(const std::string& path, struct stat& info, std::string& why);

// Opens a 3DS file into `loader`: a regular file of at most 4 GiB - 1 bytes
// (the format's 32-bit lengths) whose first 6 bytes are a main chunk header,
// checked before the rest is read. False, with the reason, otherwise.
//
// A file of kMappedModelBytes or more is mapped into memory (read-only,
// private) instead of read, so that only the chunks walked are read from
// disk; the loader unmaps it when it lets it go. Should the file become
// shorter while it is mapped, what it no longer holds reads as zeros
// instead of ending the program, and ModelFileShrank says so.
bool OpenModelFile(const std::string& path, Loader3DS& loader, FileId& id,
                   std::string& why);
const unsigned long long kMappedModelBytes = 16ull << 20;

// Whether the file that OpenModelFile mapped last on this thread has become
// shorter while it was mapped.
bool ModelFileShrank();

// Whether `path` is a regular file that the program may read, as it would
// open it: its identity in `id`; false, with the reason, otherwise.
bool ReadableFile(const std::string& path, FileId& id, std::string& why);

// The identity of the file at `path` (links followed); false when there is
// none.
bool IdentifyFile(const std::string& path, FileId& id);

// The largest image file read.
const unsigned long long kMaxImageFileBytes = 1ull << 30;

// The files a run reads, by identity, which nothing it writes may replace:
// those it has read, and those it is going to read.
class InputFiles {
 public:
  // The first path noted for a file is the one that messages name.
  void Note(const std::string& path, const FileId& id) {
    inputs_.emplace(id, path);
  }
  // Whether the file at `path` (links followed) is one of the inputs; its
  // path as noted in `input`.
  bool Holds(const std::string& path, std::string& input) const;
  // Where a screenshot may go: "-" (standard output), a path where nothing
  // is, or a regular file that is none of the inputs. False, with the
  // reason, otherwise.
  bool SafeTarget(const std::string& path, std::string& why) const;

 private:
  std::map<FileId, std::string> inputs_;
};

#endif
