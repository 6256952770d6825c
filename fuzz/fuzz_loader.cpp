// libFuzzer target: any bytes as a 3DS file, opened and walked through
// everything the reader offers, with every array allocated at exactly the
// count that the reader returned.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "3dsloader.h"
#include "walk3ds.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  static const std::string path =
      "/tmp/modelviewer-fuzz-" + std::to_string(getpid()) + ".3ds";
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return 0;
  std::fwrite(data, 1, size, file);
  std::fclose(file);

  Loader3DS loader;
  if (!loader.OpenFile(path)) return 0;
  WalkSummary summary = WalkAll(loader, false);
  if (summary.broken) __builtin_trap();  // counts of the two calls differ
  return 0;
}
