// How the scene library reads a file's chunks: every read within one chunk,
// and every chunk's children cut to its end, so that no crafted length makes
// a read reach into bytes that the chunk does not hold.
#ifndef MODELVIEWER_CHUNK_CURSOR_H
#define MODELVIEWER_CHUNK_CURSOR_H

#include <string>
#include <vector>

#include "base/chunk_format.h"
#include "loader/3dsloader.h"

// Where the chunk ends, in 64 bits: a chunk near the end of a 4 GiB file
// cannot wrap round to its start.
inline unsigned long long EndOf(const chunk_header& chunk) {
  return static_cast<unsigned long long>(chunk.start) + chunk.length;
}

// The children of `parent`, each cut to the parent's end: every byte of the
// file is read as the data of one chunk at each level, so a walk stays linear
// in the file's size however the lengths are crafted.
std::vector<chunk_header> Within(Loader3DS& loader, const chunk_header& parent);

// The same, for a chunk whose children follow `data` bytes of its own data
// (a light's position, a fog's planes); none where the chunk holds no more.
std::vector<chunk_header> Within(Loader3DS& loader, const chunk_header& parent,
                                 unsigned int data);

// The first child of `parent` with identifier `id`; false when there is none.
bool FirstWithin(Loader3DS& loader, const chunk_header& parent, unsigned int id,
                 chunk_header& found);

// Reads the data of one chunk, from just behind its header to its end (or
// the file's), through the reader's own bounds-checked readers. Has() says
// whether a read of that many bytes fits; a read that does not fit yields 0
// (or an empty string) and leaves the cursor at the end.
class ChunkCursor {
 public:
  ChunkCursor(Loader3DS& loader, const chunk_header& chunk);

  bool Has(unsigned long long bytes) const { return end_ - pos_ >= bytes; }
  unsigned long long Left() const { return end_ - pos_; }
  unsigned char Byte();
  unsigned int Short();
  unsigned int Uint();
  float Float();
  // A float that is not finite reads as `otherwise`.
  float Finite(float otherwise = 0.0f);
  // The bytes up to the first zero byte, or to the chunk's end.
  std::string String();
  void Skip(unsigned long long bytes);

 private:
  bool Take(unsigned long long bytes);

  Loader3DS& loader_;
  unsigned long long pos_, end_;
};

// `value` held between `low` and `high`; NaN as `otherwise`.
float Clamped(float value, float low, float high, float otherwise);

// The format's colour chunks among `parts`, each as 0 to 1: 24-bit (0x0011,
// 0x0012) or float (0x0010, 0x0013). The first `count` colours of the kind
// that comes first (a file may store each colour again in another kind), a
// float that is not finite as 0; how many it found.
int ReadColours(Loader3DS& loader, const std::vector<chunk_header>& parts,
                float* rgb, int count = 1);

// The first percentage chunk inside `parent` as a fraction (50 % is 0.5): a
// 16-bit whole percent (0x0030), or a float fraction (0x0031), as stored,
// which may not be finite. False when there is none.
bool ReadPercent(Loader3DS& loader, const chunk_header& parent,
                 float& fraction);

#endif
