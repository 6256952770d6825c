#include "modes/file_loader.h"

#include <new>

#include "base/stop.h"

LoadResult LoadNow(const LoadOrder& order, const LoadSettings& settings) {
  LoadResult result;
  result.order = order;
  try {
    std::unique_ptr<LoadedFile> file(
        new LoadedFile(settings.layout, *settings.messages, *settings.objects));
    if (file->shown.Load(order.path, true, result.why, order.reload) &&
        file->shown.Start(settings.frame, settings.camera, result.why))
      result.file = std::move(file);
  } catch (const std::bad_alloc&) {
    result.why = order.path + ": out of memory";
  }
  return result;
}

FileLoader::~FileLoader() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    quit_ = true;
    if (busy_) RequestStop();
  }
  wake_.notify_one();
  if (thread_.joinable()) thread_.join();
}

void FileLoader::Ask(const LoadOrder& order) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    next_ = order;
    asked_ = true;
  }
  if (!thread_.joinable()) thread_ = std::thread(&FileLoader::Work, this);
  wake_.notify_one();
}

bool FileLoader::Take(LoadResult& result) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!ready_) return false;
  result = std::move(done_);
  done_ = LoadResult();
  ready_ = false;
  return true;
}

void FileLoader::Work() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return quit_ || asked_; });
    if (quit_) return;
    const LoadOrder order = next_;
    asked_ = false;
    busy_ = true;
    lock.unlock();
    LoadResult result;
    try {
      result = LoadNow(order, settings_);
    } catch (const StopRequest&) {
      // The run ends; the window sees the request itself.
      lock.lock();
      busy_ = false;
      return;
    }
    lock.lock();
    busy_ = false;
    // A file asked for no more, or one not taken, is dropped: none of it
    // is in the GL yet.
    if (asked_) continue;
    done_ = std::move(result);
    ready_ = true;
  }
}
