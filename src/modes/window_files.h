// The files of the viewing mode's window: the collection (scene/collection.h)
// and the one file of it that is shown, loaded on the loader's thread
// (file_loader.h) and set up in the GL when it is whole; the window's title;
// the screenshot key; and, with --watch, the file shown read again when it
// changes on disk. Only the file shown is kept: the one before it, its
// textures and its renderer, is freed when the next is set up.
#ifndef MODELVIEWER_WINDOW_FILES_H
#define MODELVIEWER_WINDOW_FILES_H

#include <functional>
#include <memory>
#include <string>

#include "base/file_watch.h"
#include "base/messages.h"
#include "base/options.h"
#include "modes/file_loader.h"
#include "render/gl_objects.h"
#include "scene/collection.h"
#include "view/controls.h"

class WindowFiles {
 public:
  WindowFiles(const Options& options, const TextureLayout& layout,
              const Messages& messages);
  // Before the window's GL context goes: every file's GL objects freed.
  ~WindowFiles();

  // The FILEs gathered, and the first that can be shown loaded, before the
  // window opens; each file refused on the way says why in a line. False,
  // with the last reason, when none can be shown.
  bool Open(std::string& why);
  // Into the GL context now current: the file shown, and the title; `again`
  // in a new context of the same window, without the warnings.
  void SetUpGl(bool again = false);
  // The window's GL context is a new one: its objects made whole again.
  void NewContext();

  // A command of the window's own: next, previous, first or last file, or
  // the screenshot key. False for any other command.
  bool Act(Command command);
  // Takes a file that finished loading, and starts reading the file shown
  // again where --watch saw it change. True when the picture changed.
  bool Update(unsigned int now);
  // Whether Update has something to do: the window stops waiting for
  // events.
  bool Waiting(unsigned int now);

  // The person's controls of the file shown (of an empty window where none
  // is).
  Controls& controls() { return shown_ ? shown_->shown.controls() : spare_; }
  bool Animated() const { return shown_ && shown_->shown.Animated(); }
  // Whether another file is being read to take the place of the one shown,
  // whose picture then stands still: it is drawn only when asked.
  bool Stepping() const { return loading_ && !reloading_; }
  // Draws the file shown, or clears the window where it was refused; then
  // writes the picture where the screenshot key asked. False where `giveup`
  // gave the frame up (as ShownFile::Draw).
  bool Draw(int width, int height, const std::function<bool()>& giveup = {});

 private:
  void Ask(bool reload);
  // Whether the file shown changed and has been still long enough to be
  // read again.
  bool ReloadDue(unsigned int now);
  void Show(LoadResult& result);
  void Refuse(const LoadResult& result);
  void SetTitle(const std::string& problem = "");
  void WatchCurrent();
  void WriteScreenshot(int width, int height);

  const Options& options_;
  const Messages& messages_;
  GlObjects objects_;  // the window's context's, for every file
  const LoadSettings settings_;
  Collection collection_;
  std::unique_ptr<LoadedFile> shown_;  // null: the file at the place refused
  size_t shownat_ = 0;                 // its place in the collection
  Controls spare_;                     // an empty window's
  bool wireframe_ = false, paused_ = false;  // the person's, file to file
  FileLoader loader_;
  unsigned long long asked_ = 0;  // the serial of the last order
  bool loading_ = false;          // that order is not yet taken
  bool reloading_ = false;        // and reads the file shown again
  FileWatch watch_;
  bool watching_ = false;
  bool changed_ = false;        // the file changed, not yet read again
  unsigned int changedat_ = 0;  // when it last did
  bool screenshot_ = false;     // asked for, with the next frame
};

#endif
