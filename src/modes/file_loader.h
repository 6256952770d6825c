// Files read for the window away from it: a file's scene is imported and
// framed on a thread of its own, and handed to the window finished, so that
// the window takes keys, shows titles and ends at once however long a file
// takes. Only what touches the GL (textures, the renderer) is left for the
// window's thread.
#ifndef MODELVIEWER_FILE_LOADER_H
#define MODELVIEWER_FILE_LOADER_H

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "base/input_files.h"
#include "base/messages.h"
#include "modes/shown_file.h"

// A file as loaded, with the files it read, which a screenshot never
// replaces.
struct LoadedFile {
  LoadedFile(const TextureLayout& layout, const Messages& messages,
             GlObjects& objects)
      : shown(layout, messages, inputs, objects) {}
  InputFiles inputs;
  ShownFile shown;
};

// What to load: the file at a place of the collection.
struct LoadOrder {
  std::string path;
  size_t position = 0;
  bool reload = false;  // the file shown, read again: refused when cut short
  unsigned long long serial = 0;  // which order of the window's this is
};

// What a load gave: the file, or why it was refused.
struct LoadResult {
  LoadOrder order;
  std::unique_ptr<LoadedFile> file;  // null when refused
  std::string why;
};

// How every file is loaded: the texture layout and GL objects of the
// window, where each file's animation starts and the camera looked through
// (as --frame and --camera say).
struct LoadSettings {
  TextureLayout layout;
  const Messages* messages = nullptr;
  GlObjects* objects = nullptr;
  long frame = -1;
  int camera = 0;
};

// Imports and frames the file that `order` names, with its count line and
// warnings. A stop request is thrown on.
LoadResult LoadNow(const LoadOrder& order, const LoadSettings& settings);

// One file at a time on a thread of its own, started with the first order.
class FileLoader {
 public:
  explicit FileLoader(const LoadSettings& settings) : settings_(settings) {}
  FileLoader(const FileLoader&) = delete;
  FileLoader& operator=(const FileLoader&) = delete;
  // A load under way is stopped: the run is ending.
  ~FileLoader();

  // Loads `order` next, in place of an order not yet begun; a load under
  // way is finished first, and its file dropped.
  void Ask(const LoadOrder& order);
  // Whether a load is finished and waits to be taken. Cheap.
  bool Ready() const { return ready_; }
  // The load finished last; false when none waits.
  bool Take(LoadResult& result);

 private:
  void Work();

  const LoadSettings settings_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool asked_ = false, busy_ = false, quit_ = false;
  LoadOrder next_;
  LoadResult done_;
  std::atomic<bool> ready_{false};
  std::thread thread_;
};

#endif
