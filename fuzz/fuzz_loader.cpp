// libFuzzer target: any bytes as a 3DS file, handed to the reader from memory
// and walked through everything it offers, with every array allocated at
// exactly the count that the reader returned.
#include <cstdint>
#include <cstring>

#include "loader/3dsloader.h"
#include "walk3ds.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  // The reader's buffer is public: the bytes go in as OpenFile would put
  // them, without a file written for every input.
  Loader3DS loader;
  unsigned char* bytes = new unsigned char[size ? size : 1];
  std::memcpy(bytes, data, size);
  loader.TakeBytes(bytes, static_cast<unsigned int>(size));
  WalkSummary summary = WalkAll(loader, false);
  if (summary.broken) __builtin_trap();  // counts of the two calls differ
  return 0;
}
