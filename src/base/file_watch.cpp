#include "base/file_watch.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

FileWatch::~FileWatch() {
  if (fd_ >= 0) close(fd_);
}

bool FileWatch::Watch(const std::string& path, std::string& why) {
  if (fd_ < 0) fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (fd_ < 0) {
    why = std::strerror(errno);
    return false;
  }
  if (folder_ >= 0) inotify_rm_watch(fd_, folder_);
  Changed();  // what the old file's folder said is of no interest now
  const size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "."
                             : slash == 0               ? "/"
                                                        : path.substr(0, slash);
  name_ = slash == std::string::npos ? path : path.substr(slash + 1);
  // Written (each write, and its close), made, or renamed into place.
  folder_ = inotify_add_watch(
      fd_, folder.c_str(),
      IN_MODIFY | IN_CLOSE_WRITE | IN_CREATE | IN_MOVED_TO | IN_ONLYDIR);
  if (folder_ < 0) {
    why = std::strerror(errno);
    return false;
  }
  return true;
}

bool FileWatch::Changed() {
  if (fd_ < 0) return false;
  bool changed = false;
  // Events are whole in each read: a name is never cut between two.
  alignas(inotify_event) char buffer[16384];
  for (;;) {
    const ssize_t got = read(fd_, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    for (ssize_t at = 0;
         at + static_cast<ssize_t>(sizeof(inotify_event)) <= got;) {
      const inotify_event* event =
          reinterpret_cast<const inotify_event*>(buffer + at);
      const ssize_t next = at + static_cast<ssize_t>(sizeof(inotify_event)) +
                           static_cast<ssize_t>(event->len);
      if (next > got) break;
      if (event->wd == folder_ && event->len > 0 &&
          name_ == std::string(event->name, strnlen(event->name, event->len)))
        changed = true;
      // A queue that overflowed may have lost the file's own event.
      if (event->mask & IN_Q_OVERFLOW) changed = true;
      at = next;
    }
  }
  return changed;
}
