// Pictures written as PNG files through libpng, within the images room:
// to a new file beside the one they replace, renamed over it once whole.
#ifndef MODELVIEWER_PNG_WRITER_H
#define MODELVIEWER_PNG_WRITER_H

#include <string>
#include <vector>

#include "base/input_files.h"

// Writes `height` rows of `width` red, green, blue (and, with `alpha`,
// alpha) bytes, stored bottom row first as OpenGL reads them, as an 8-bit
// PNG, top row first, to `path` or, for "-", to standard output. The
// picture goes to a new file in the folder of the file that `path` names
// (through any links), which it then replaces with the permissions it had;
// a failed write leaves it as it was. The folder is held open meanwhile, so
// that the new file is renamed or removed there even when the folder has
// been moved. A stop request removes the new file and throws. False, with the
// reason, when it cannot be written; then `error`, where given, is the errno of
// the system call that failed (0 when none did).
bool WritePng(const std::string& path, int width, int height,
              const unsigned char* pixels, bool alpha, std::string& why,
              int* error = nullptr);

// A frame read back from the GL written as WritePng does, once `inputs`
// say that it may replace what is at `path`. False, with the reason (and
// `error` as WritePng gives it), otherwise.
bool WriteScreenshot(const std::string& path, int width, int height,
                     const std::vector<unsigned char>& pixels, bool alpha,
                     const InputFiles& inputs, std::string& why,
                     int* error = nullptr);

#endif
