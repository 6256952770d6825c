// Tells when a file changes on disk: written in place, or replaced by
// another file renamed over it, as tools that save safely do. The file's
// folder is watched (inotify), so that a new file under the same name is
// seen as well as the old one written.
#ifndef MODELVIEWER_FILE_WATCH_H
#define MODELVIEWER_FILE_WATCH_H

#include <string>

class FileWatch {
 public:
  FileWatch() = default;
  FileWatch(const FileWatch&) = delete;
  FileWatch& operator=(const FileWatch&) = delete;
  ~FileWatch();

  // Watches `path` from now on, in place of what was watched before. False,
  // with the reason, when its folder cannot be watched.
  bool Watch(const std::string& path, std::string& why);
  // Whether the file was written, made or renamed into place since the last
  // call. Takes every event waiting, and never waits.
  bool Changed();

 private:
  int fd_ = -1;
  int folder_ = -1;   // the watch on the file's folder
  std::string name_;  // the file's name in it
};

#endif
