#include "images/png_writer.h"

#include <fcntl.h>
#include <png.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "base/file_names.h"
#include "base/stop.h"

namespace {

struct PngFailure {
  char message[200];
  bool stopped;  // the run was asked to end
  int error;     // errno of a write that failed, else 0
};

void OnPngError(png_structp png, png_const_charp message) {
  PngFailure* failure = static_cast<PngFailure*>(png_get_error_ptr(png));
  std::snprintf(failure->message, sizeof failure->message, "%s", message);
  png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

// libpng's own writer reports any failed write as "Write Error"; this one
// keeps the system's reason (a full disk, say).
void WriteToFile(png_structp png, png_bytep data, png_size_t length) {
  std::FILE* out = static_cast<std::FILE*>(png_get_io_ptr(png));
  if (std::fwrite(data, 1, length, out) == length) return;
  PngFailure* failure = static_cast<PngFailure*>(png_get_error_ptr(png));
  failure->error = errno;
  png_error(png, std::strerror(errno));
}

void FlushFile(png_structp png) {
  std::fflush(static_cast<std::FILE*>(png_get_io_ptr(png)));
}

// Kept apart from anything with a destructor: libpng reports errors by
// jumping back to the setjmp here. A stop request ends it between rows.
bool WriteRows(std::FILE* out, int width, int height, bool alpha,
               png_bytep* rows, PngFailure* failure) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, failure,
                                            OnPngError, OnPngWarning);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_set_write_fn(png, out, WriteToFile, FlushFile);
  // One filter and zlib's run-length mode: quick, and small where most of
  // the picture is background. The default adaptive filters and level take
  // 20 to 30 ms a screenshot.
  png_set_compression_level(png, 1);
  png_set_compression_strategy(png, Z_RLE);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
  png_set_IHDR(png, info, width, height, 8,
               alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < height && !failure->stopped; ++y) {
    png_write_row(png, rows[y]);
    failure->stopped = StopRequested();
  }
  if (!failure->stopped) png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return !failure->stopped;
}

// The file that writing to `path` replaces: where its links lead, to the
// last name (which need not exist yet).
std::string FinalTarget(std::string path) {
  for (int hops = 0; hops < 40; ++hops) {
    struct stat info;
    if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) break;
    std::vector<char> link(static_cast<size_t>(info.st_size) + 1);
    const ssize_t length = readlink(path.c_str(), link.data(), link.size());
    if (length <= 0 || static_cast<size_t>(length) >= link.size()) break;
    const std::string to(link.data(), static_cast<size_t>(length));
    const std::string folder = FolderOf(path);
    path = to[0] == '/' || folder.empty() ? to : folder + "/" + to;
  }
  return path;
}

// Makes a file of a new name, ".modelviewer-" and six letters or digits, in
// the open folder `dir`, as mkstemp does but relative to the folder's
// descriptor. Its descriptor, or -1 with errno.
int CreateTemporary(int dir, std::string& name) {
  static const char kLetters[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  static unsigned long long state = 0;
  timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  state ^=
      static_cast<unsigned long long>(now.tv_nsec) * 0x9E3779B97F4A7C15ull ^
      static_cast<unsigned long long>(getpid()) << 32 ^ now.tv_sec;
  for (int attempt = 0; attempt < 100; ++attempt) {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    unsigned long long bits = state >> 20;
    name = ".modelviewer-";
    for (int k = 0; k < 6; ++k, bits /= 62) name += kLetters[bits % 62];
    const int fd =
        openat(dir, name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;  // errno is EEXIST
}

// A new file in the open folder `dir`, with the permissions (and, where the
// process may set them, the owner and group) of the file `name` there that
// it will replace, or those of a file made with fopen.
std::FILE* CreateBeside(int dir, const std::string& name,
                        std::string& temporary) {
  const int fd = CreateTemporary(dir, temporary);
  if (fd < 0) return nullptr;
  struct stat old;
  if (fstatat(dir, name.c_str(), &old, 0) == 0) {
    fchmod(fd, old.st_mode & 07777);
    if (fchown(fd, old.st_uid, old.st_gid) != 0) {
      // Another owner takes privileges the run does not have.
    }
  } else {
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
  }
  std::FILE* out = fdopen(fd, "wb");
  if (!out) {
    const int error = errno;
    close(fd);
    unlinkat(dir, temporary.c_str(), 0);
    errno = error;
  }
  return out;
}

std::string Reason(int error) { return std::strerror(error); }

}  // namespace

bool WritePng(const std::string& path, int width, int height,
              const unsigned char* pixels, bool alpha, std::string& why,
              int* error) {
  int ignored;
  int& failed = error ? *error : ignored;
  failed = 0;
  const bool console = path == "-";
  // The folder is held open: the new file is made, renamed and removed in
  // it even if it is renamed meanwhile, and nothing is left behind.
  const std::string target = console ? path : FinalTarget(path);
  const std::string name = target.substr(target.rfind('/') + 1);
  const std::string folder = FolderOf(target);
  const int dir = console ? -1
                          : open(folder.empty() ? "." : folder.c_str(),
                                 O_PATH | O_DIRECTORY | O_CLOEXEC);
  std::string temporary;
  std::FILE* out = console    ? stdout
                   : dir >= 0 ? CreateBeside(dir, name, temporary)
                              : nullptr;
  if (!out) {
    failed = errno;
    why = Reason(failed);
    if (dir >= 0) close(dir);
    return false;
  }
  const size_t row = (alpha ? 4 : 3) * static_cast<size_t>(width);
  std::vector<png_bytep> rows(height);
  for (int y = 0; y < height; ++y)
    rows[y] = const_cast<png_bytep>(pixels + row * (height - 1 - y));
  PngFailure failure = {"cannot encode the image", false, 0};
  bool written = WriteRows(out, width, height, alpha, rows.data(), &failure);
  const int closed = console ? std::fflush(out) : std::fclose(out);
  why = failure.message;
  failed = failure.error;
  if (written && closed != 0) written = false, failed = errno;
  if (written && !console &&
      renameat(dir, temporary.c_str(), dir, name.c_str()) != 0)
    written = false, failed = errno;
  if (!written && failed) why = Reason(failed);
  if (!written && !console) unlinkat(dir, temporary.c_str(), 0);  // its own
  if (dir >= 0) close(dir);
  if (failure.stopped) StopPoint();
  return written;
}

bool WriteScreenshot(const std::string& path, int width, int height,
                     const std::vector<unsigned char>& pixels, bool alpha,
                     const InputFiles& inputs, std::string& why, int* error) {
  if (error) *error = 0;
  return inputs.SafeTarget(path, why) &&
         WritePng(path, width, height, pixels.data(), alpha, why, error);
}
