#include "scene/chunk_cursor.h"

#include <algorithm>
#include <cmath>

#include "scene/chunk_ids.h"

std::vector<chunk_header> Within(Loader3DS& loader,
                                 const chunk_header& parent) {
  std::vector<chunk_header> children = loader.Children(parent);
  const unsigned long long end = EndOf(parent);
  for (chunk_header& c : children)
    if (EndOf(c) > end) c.length = static_cast<unsigned int>(end - c.start);
  return children;
}

std::vector<chunk_header> Within(Loader3DS& loader, const chunk_header& parent,
                                 unsigned int data) {
  if (parent.length < kChunkHeaderSize + 0ull + data) return {};
  // The same end, with the data taken as part of a header that the walk
  // passes over.
  chunk_header shifted;
  shifted.start = parent.start + data;
  shifted.length = parent.length - data;
  if (shifted.start < parent.start) return {};  // past 4 GiB: no file's
  return Within(loader, shifted);
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

float Clamped(float value, float low, float high, float otherwise) {
  if (std::isnan(value)) return otherwise;
  return std::max(low, std::min(high, value));
}

namespace {

using namespace chunk_ids;

bool IsColour(unsigned int id) {
  return id == kColourFloat || id == kColourBytes || id == kColourBytesGamma ||
         id == kColourFloatLinear;
}

}  // namespace

int ReadColours(Loader3DS& loader, const std::vector<chunk_header>& parts,
                float* rgb, int count) {
  int found = 0;
  unsigned int kind = 0;
  for (const chunk_header& c : parts) {
    if (found == count) break;
    if (!IsColour(c.id) || (found > 0 && c.id != kind)) continue;
    kind = c.id;
    ChunkCursor in(loader, c);
    float* colour = rgb + 3 * found++;
    const bool bytes = c.id == kColourBytes || c.id == kColourBytesGamma;
    for (int k = 0; k < 3; ++k)
      colour[k] = bytes ? in.Byte() / 255.0f : Clamped(in.Float(), 0, 1, 0);
  }
  return found;
}

bool ReadPercent(Loader3DS& loader, const chunk_header& parent,
                 float& fraction) {
  for (const chunk_header& c : Within(loader, parent)) {
    ChunkCursor in(loader, c);
    if (c.id == kPercentInt && in.Has(2)) {
      fraction = static_cast<short>(in.Short()) / 100.0f;
      return true;
    }
    if (c.id == kPercentFloat && in.Has(4)) {
      fraction = in.Float();
      return true;
    }
  }
  return false;
}
