#include "scene/chunk_cursor.h"

#include <algorithm>
#include <cmath>

std::vector<chunk_header> Within(Loader3DS& loader,
                                 const chunk_header& parent) {
  std::vector<chunk_header> children = loader.Children(parent);
  const unsigned long long end = EndOf(parent);
  for (chunk_header& c : children)
    if (EndOf(c) > end) c.length = static_cast<unsigned int>(end - c.start);
  return children;
}

bool FirstWithin(Loader3DS& loader, const chunk_header& parent, unsigned int id,
                 chunk_header& found) {
  for (const chunk_header& c : Within(loader, parent))
    if (c.id == id) {
      found = c;
      return true;
    }
  return false;
}

ChunkCursor::ChunkCursor(Loader3DS& loader, const chunk_header& chunk)
    : loader_(loader) {
  end_ = std::min<unsigned long long>(EndOf(chunk), loader.filesize);
  pos_ = std::min(chunk.start + 0ull + kChunkHeaderSize, end_);
}

// The reader's position is set before every read, since other cursors and
// the reader's own calls move it in between.
bool ChunkCursor::Take(unsigned long long bytes) {
  if (!Has(bytes)) {
    pos_ = end_;
    return false;
  }
  loader_.Seek(static_cast<unsigned int>(pos_));
  pos_ += bytes;
  return true;
}

unsigned char ChunkCursor::Byte() { return Take(1) ? loader_.ReadCHAR() : 0; }

unsigned int ChunkCursor::Short() { return Take(2) ? loader_.ReadSHORT() : 0; }

unsigned int ChunkCursor::Uint() { return Take(4) ? loader_.ReadUINT() : 0; }

float ChunkCursor::Float() { return Take(4) ? loader_.ReadFLOAT() : 0.0f; }

float ChunkCursor::Finite(float otherwise) {
  const float v = Float();
  return std::isfinite(v) ? v : otherwise;
}

std::string ChunkCursor::String() {
  std::string text;
  while (Has(1)) {
    const unsigned char c = Byte();
    if (c == 0) break;
    text += static_cast<char>(c);
  }
  return text;
}

void ChunkCursor::Skip(unsigned long long bytes) {
  pos_ = Has(bytes) ? pos_ + bytes : end_;
}
