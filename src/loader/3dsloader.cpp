#include "loader/3dsloader.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#ifndef _WIN32
int OpenWithoutWaiting(const std::string& filename, struct stat& info) {
  const int fd =
      open(filename.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0 || fstat(fd, &info) == 0) return fd;
  const int error = errno;
  close(fd);
  errno = error;
  return -1;
}
#endif

namespace {

// Values are assembled from little-endian bytes, so unaligned offsets and
// big-endian hosts need no special case.
unsigned int LoadU16(const unsigned char* p) {
  return static_cast<unsigned int>(p[0]) | static_cast<unsigned int>(p[1]) << 8;
}

unsigned int LoadU32(const unsigned char* p) {
  return static_cast<unsigned int>(p[0]) |
         static_cast<unsigned int>(p[1]) << 8 |
         static_cast<unsigned int>(p[2]) << 16 |
         static_cast<unsigned int>(p[3]) << 24;
}

float LoadF32(const unsigned char* p) {
  unsigned int bits = LoadU32(p);
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

// Bulk decode of little-endian floats: one copy on little-endian hosts, which
// is what keeps decoding big meshes close to the cost of reading the file.
void LoadFloats(const unsigned char* p, unsigned int count, float* dest) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  std::memcpy(dest, p, static_cast<size_t>(count) * 4);
#else
  for (unsigned int i = 0; i < count; ++i) dest[i] = LoadF32(p + 4 * i);
#endif
}

// Only a regular file is read.
std::FILE* OpenRegularFile(const std::string& filename) {
#ifdef _WIN32
  return std::fopen(filename.c_str(), "rb");
#else
  struct stat info;
  const int fd = OpenWithoutWaiting(filename, info);
  if (fd < 0) return nullptr;
  std::FILE* file = nullptr;
  if (S_ISREG(info.st_mode)) file = fdopen(fd, "rb");
  if (!file) close(fd);
  return file;
#endif
}

const unsigned int kMainHeaderEnd = 16;  // main header + the 10-byte chunk
const unsigned int kVersionOffset = 28;
const unsigned int kHeaderSize = 6;

}  // namespace

Loader3DS::Loader3DS(const std::string& filename) { OpenFile(filename); }

Loader3DS::~Loader3DS() { ReleaseBytes(); }

void Loader3DS::ReleaseBytes() {
  if (release_)
    release_(filebuffer, filesize);
  else
    delete[] filebuffer;
  release_ = nullptr;
  filebuffer = nullptr;
}

bool Loader3DS::OpenFile(const std::string& filename) {
  ReleaseBytes();
  readpos = 0;
  filesize = 0;

  std::FILE* file = OpenRegularFile(filename);
  if (!file) return false;
  long size = -1;
  if (std::fseek(file, 0, SEEK_END) == 0) size = std::ftell(file);
  // Sizes are 32-bit throughout; a larger file would be silently cut.
  if (size < 0 || static_cast<unsigned long long>(size) > kLargest3dsFile ||
      std::fseek(file, 0, SEEK_SET) != 0) {
    std::fclose(file);
    return false;
  }
  unsigned char* buffer = new (std::nothrow) unsigned char[size];
  bool complete =
      buffer && std::fread(buffer, 1, size, file) == static_cast<size_t>(size);
  std::fclose(file);
  if (!complete) {
    delete[] buffer;
    return false;
  }
  filebuffer = buffer;
  filesize = static_cast<unsigned int>(size);
  return true;
}

void Loader3DS::TakeBytes(unsigned char* bytes, unsigned int size) {
  ReleaseBytes();
  filebuffer = bytes;
  filesize = bytes ? size : 0;
  readpos = 0;
}

void Loader3DS::TakeMappedBytes(unsigned char* bytes, unsigned int size,
                                void (*release)(unsigned char*, unsigned int)) {
  TakeBytes(bytes, size);
  release_ = bytes ? release : nullptr;
}

// The one place that hands out file bytes: `count` bytes at `readpos`, or null
// (with `readpos` at the end) when the file does not hold that many.
const unsigned char* Loader3DS::Take(unsigned int count) {
  if (readpos > filesize || count > filesize - readpos) {
    readpos = filesize;
    return nullptr;
  }
  const unsigned char* bytes = filebuffer + readpos;
  readpos += count;
  return bytes;
}

void Loader3DS::SetPos(unsigned long long pos) {
  readpos = pos > filesize ? filesize : static_cast<unsigned int>(pos);
}

unsigned long long Loader3DS::ChunkEnd(const chunk_header& chunk) const {
  unsigned long long end =
      static_cast<unsigned long long>(chunk.start) + chunk.length;
  return end > filesize ? filesize : end;
}

// The stored item count, cut to the items that lie between `from` and the
// chunk's end (within the file).
unsigned int Loader3DS::ItemsInChunk(const chunk_header& chunk,
                                     unsigned long long from,
                                     unsigned int stored,
                                     unsigned int itemsize) const {
  unsigned long long end = ChunkEnd(chunk);
  unsigned long long room = end > from ? (end - from) / itemsize : 0;
  return stored < room ? stored : static_cast<unsigned int>(room);
}

unsigned int Loader3DS::ReadUINT() {
  if (!filebuffer) return 0;
  const unsigned char* p = Take(4);
  return p ? LoadU32(p) : 0;
}

int Loader3DS::ReadINT() { return static_cast<int>(ReadUINT()); }

unsigned short Loader3DS::ReadSHORT() {
  if (!filebuffer) return 0;
  const unsigned char* p = Take(2);
  return p ? static_cast<unsigned short>(LoadU16(p)) : 0;
}

unsigned char Loader3DS::ReadCHAR() {
  if (!filebuffer) return 0;
  const unsigned char* p = Take(1);
  return p ? *p : 0;
}

float Loader3DS::ReadFLOAT() {
  if (!filebuffer) return 0.0f;
  const unsigned char* p = Take(4);
  return p ? LoadF32(p) : 0.0f;
}

bool Loader3DS::ReadCSTR(std::string& text) {
  if (!filebuffer) return false;
  unsigned int left = readpos < filesize ? filesize - readpos : 0;
  const void* zero = std::memchr(filebuffer + (filesize - left), 0, left);
  unsigned int length =
      zero ? static_cast<unsigned int>(static_cast<const unsigned char*>(zero) -
                                       (filebuffer + (filesize - left)))
           : left;
  const unsigned char* bytes = Take(length);
  text.assign(reinterpret_cast<const char*>(bytes), length);
  if (zero) Take(1);
  return true;
}

bool Loader3DS::ReadDATA(unsigned int count, void* dest) {
  if (!filebuffer) return false;
  const unsigned char* p = Take(count);
  if (dest) {
    if (p)
      std::memcpy(dest, p, count);
    else
      std::memset(dest, 0, count);
  }
  return true;
}

bool Loader3DS::ReadRGB(float* rgb) {
  if (!filebuffer) return false;
  if (!rgb) return ReadDATA(12, nullptr);
  for (int i = 0; i < 3; ++i) rgb[i] = ReadFLOAT();
  return true;
}

bool Loader3DS::ReadRGB2(unsigned char* rgb) {
  if (!filebuffer) return false;
  if (!rgb) return ReadDATA(3, nullptr);
  for (int i = 0; i < 3; ++i) rgb[i] = ReadCHAR();
  return true;
}

unsigned int Loader3DS::Seek(unsigned int offset) {
  if (filesize == 0)
    readpos = 0;
  else
    readpos = offset < filesize ? offset : filesize - 1;
  return readpos;
}

unsigned int Loader3DS::Seek(bool forward, unsigned int distance) {
  long long target = static_cast<long long>(readpos) +
                     (forward ? 1 : -1) * static_cast<long long>(distance);
  if (target < 0)
    readpos = 0;
  else if (target >= static_cast<long long>(filesize))
    readpos = filesize == 0 ? 0 : filesize - 1;
  else
    readpos = static_cast<unsigned int>(target);
  return readpos;
}

bool Loader3DS::SkipChunk(const chunk_header& chunk) {
  if (!filebuffer) return false;
  SetPos(static_cast<unsigned long long>(chunk.start) + chunk.length);
  return true;
}

unsigned int Loader3DS::ReadHeader(chunk_header* header) {
  if (!filebuffer) return 0;
  chunk_header scratch;
  chunk_header& h = header ? *header : scratch;
  h.start = readpos;
  h.id = ReadSHORT();
  h.length = ReadUINT();
  return h.id;
}

unsigned int Loader3DS::ReadMainHeader(chunk_header* header) {
  readpos = 0;
  return ReadHeader(header);
}

unsigned int Loader3DS::GetVersion() {
  if (!filebuffer) return 0;
  unsigned int saved = readpos;
  SetPos(kVersionOffset);
  unsigned int version = ReadCHAR();
  readpos = saved;
  return version;
}

bool Loader3DS::ReadData(const chunk_header& chunk, void* dest) {
  if (!filebuffer || !dest) return false;
  SetPos(static_cast<unsigned long long>(chunk.start) + kHeaderSize);
  ReadDATA(chunk.length < kHeaderSize ? 0 : chunk.length - kHeaderSize, dest);
  SkipChunk(chunk);
  return true;
}

// Positions the reader on the first sub-chunk of `parent`, stepping over the
// own data that object and face list chunks keep in front of their children.
void Loader3DS::EnterChildren(const chunk_header& parent) {
  SetPos(static_cast<unsigned long long>(parent.start) + kHeaderSize);
  if (parent.id == CHUNK_OBJECT) {
    std::string name;
    ReadCSTR(name);
  } else if (parent.id == CHUNK_FACELIST) {
    unsigned int faces = ReadSHORT();
    ReadDATA(faces * 8, nullptr);
  }
}

// Reads the next sibling header before `end`. False, ending the scan, at the
// end, on a header cut off by the end of the file, and on a stored length
// below 6, which could not move the scan forward.
bool Loader3DS::NextChild(unsigned long long end, chunk_header& child) {
  if (readpos >= end || readpos > filesize || filesize - readpos < kHeaderSize)
    return false;
  ReadHeader(&child);
  return child.length >= kHeaderSize;
}

bool Loader3DS::FindChunk(const chunk_header& parent, chunk_header& found,
                          unsigned int chunkid, unsigned int index) {
  if (!filebuffer) return false;
  unsigned int saved = readpos;
  EnterChildren(parent);
  unsigned long long end =
      static_cast<unsigned long long>(parent.start) + parent.length;
  while (NextChild(end, found)) {
    if (found.id == chunkid) {
      if (index == 0) {
        readpos = saved;
        return true;
      }
      --index;
    }
    SkipChunk(found);
  }
  return false;
}

bool Loader3DS::FindEdit3DS(const chunk_header& parent, chunk_header& found) {
  if (!filebuffer || parent.id != CHUNK_MAIN) return false;
  SetPos(kMainHeaderEnd);
  if (parent.length <= kMainHeaderEnd) return false;
  while (NextChild(parent.length, found)) {
    if (found.id == CHUNK_EDITOR) return true;
    SkipChunk(found);
  }
  return false;
}

bool Loader3DS::FindObject(const chunk_header& parent, chunk_header& found,
                           unsigned int index) {
  return parent.id == CHUNK_EDITOR &&
         FindChunk(parent, found, CHUNK_OBJECT, index);
}

bool Loader3DS::HasTriMesh(const chunk_header& object) {
  chunk_header mesh;
  return FindChunk(object, mesh, CHUNK_TRIMESH, 0);
}

// One pass over the editor's objects. `readpos` ends as a search object by
// object would leave it: where the last failed mesh search stopped, or where
// the call began.
bool Loader3DS::FindModel(const chunk_header& parent, chunk_header& found,
                          unsigned int index) {
  if (!filebuffer || parent.id != CHUNK_EDITOR) return false;
  unsigned int resume = readpos;
  EnterChildren(parent);
  unsigned long long end =
      static_cast<unsigned long long>(parent.start) + parent.length;
  while (NextChild(end, found)) {
    if (found.id == CHUNK_OBJECT) {
      if (HasTriMesh(found)) {
        if (index == 0) {
          readpos = resume;
          return true;
        }
        --index;
      } else {
        resume = readpos;
      }
    }
    SkipChunk(found);
  }
  return false;
}

bool Loader3DS::FindTriMesh(const chunk_header& parent, chunk_header& found,
                            unsigned int index) {
  return parent.id == CHUNK_OBJECT &&
         FindChunk(parent, found, CHUNK_TRIMESH, index);
}

bool Loader3DS::FindVertexList(const chunk_header& parent,
                               chunk_header& found) {
  return parent.id == CHUNK_TRIMESH &&
         FindChunk(parent, found, CHUNK_VERTEXLIST, 0);
}

bool Loader3DS::FindFaceList(const chunk_header& parent, chunk_header& found) {
  return parent.id == CHUNK_TRIMESH &&
         FindChunk(parent, found, CHUNK_FACELIST, 0);
}

bool Loader3DS::FindMappingCoords(const chunk_header& parent,
                                  chunk_header& found) {
  return parent.id == CHUNK_TRIMESH &&
         FindChunk(parent, found, CHUNK_MAPPINGCOORDS, 0);
}

bool Loader3DS::FindMaterialRef(const chunk_header& parent, chunk_header& found,
                                unsigned int index) {
  return parent.id == CHUNK_FACELIST &&
         FindChunk(parent, found, CHUNK_MATERIALREF, index);
}

bool Loader3DS::FindSmoothingGroup(const chunk_header& parent,
                                   chunk_header& found) {
  return parent.id == CHUNK_FACELIST &&
         FindChunk(parent, found, CHUNK_SMOOTHINGGROUP, 0);
}

bool Loader3DS::FindMaterial(const chunk_header& parent, chunk_header& found,
                             unsigned int index) {
  return parent.id == CHUNK_EDITOR &&
         FindChunk(parent, found, CHUNK_MATERIAL, index);
}

bool Loader3DS::FindTexture(const chunk_header& parent, chunk_header& found,
                            unsigned int chunkid) {
  return parent.id == CHUNK_MATERIAL && FindChunk(parent, found, chunkid, 0);
}

std::vector<chunk_header> Loader3DS::Children(const chunk_header& parent) {
  std::vector<chunk_header> children;
  if (!filebuffer) return children;
  unsigned int saved = readpos;
  EnterChildren(parent);
  unsigned long long end =
      static_cast<unsigned long long>(parent.start) + parent.length;
  chunk_header child;
  while (NextChild(end, child)) {
    children.push_back(child);
    SkipChunk(child);
  }
  readpos = saved;
  return children;
}

// One pass over the object's children; `readpos` ends where a failed search
// for one more mesh would leave it.
int Loader3DS::MeshesCount(const chunk_header& parent) {
  if (parent.id != CHUNK_OBJECT) return -1;
  if (!filebuffer) return 0;
  EnterChildren(parent);
  unsigned long long end =
      static_cast<unsigned long long>(parent.start) + parent.length;
  int count = 0;
  chunk_header child;
  while (NextChild(end, child)) {
    if (child.id == CHUNK_TRIMESH) ++count;
    SkipChunk(child);
  }
  return count;
}

bool Loader3DS::FindEditor(chunk_header& editor) {
  chunk_header main;
  return ReadMainHeader(&main) != 0 && FindEdit3DS(main, editor);
}

// Counting walks the editor's children once, so files with very many objects
// cost linear time.
int Loader3DS::CountEditorChildren(unsigned int chunkid, bool modelsonly) {
  if (!filebuffer) return 0;
  unsigned int saved = readpos;
  int count = 0;
  chunk_header editor;
  if (FindEditor(editor)) {
    EnterChildren(editor);
    unsigned long long end =
        static_cast<unsigned long long>(editor.start) + editor.length;
    chunk_header child;
    while (NextChild(end, child)) {
      if (child.id == chunkid && (!modelsonly || HasTriMesh(child))) ++count;
      SkipChunk(child);
    }
  }
  readpos = saved;
  return count;
}

int Loader3DS::ObjectsCount() {
  return CountEditorChildren(CHUNK_OBJECT, false);
}

int Loader3DS::ModelsCount() { return CountEditorChildren(CHUNK_OBJECT, true); }

int Loader3DS::MaterialsCount() {
  return CountEditorChildren(CHUNK_MATERIAL, false);
}

bool Loader3DS::ModelName(unsigned int index, std::string& text) {
  unsigned int saved = readpos;
  chunk_header editor, object;
  if (FindEditor(editor) && FindModel(editor, object, index)) {
    SetPos(static_cast<unsigned long long>(object.start) + kHeaderSize);
    ReadCSTR(text);
    readpos = saved;
    return true;
  }
  text.clear();
  return false;
}

bool Loader3DS::GetModel(unsigned int index, chunk_header& found) {
  chunk_header editor;
  return FindEditor(editor) && FindModel(editor, found, index);
}

bool Loader3DS::GetMesh(unsigned int modelindex, unsigned int meshindex,
                        chunk_header& found) {
  chunk_header editor, object;
  return FindEditor(editor) && FindModel(editor, object, modelindex) &&
         FindTriMesh(object, found, meshindex);
}

bool Loader3DS::GetMaterial(unsigned int index, chunk_header& found) {
  chunk_header editor;
  return FindEditor(editor) && FindMaterial(editor, found, index);
}

bool Loader3DS::GetTexture(unsigned int materialindex, chunk_header& found,
                           unsigned int chunkid) {
  chunk_header materialchunk;
  return GetMaterial(materialindex, materialchunk) &&
         FindTexture(materialchunk, found, chunkid);
}

// The array readers check the whole byte range once and then decode in bulk.
int Loader3DS::ReadVertices(const chunk_header& chunk, float* vertices) {
  if (!filebuffer || chunk.id != CHUNK_VERTEXLIST) return -1;
  SetPos(static_cast<unsigned long long>(chunk.start) + kHeaderSize);
  unsigned int stored = ReadSHORT();
  unsigned int count = ItemsInChunk(chunk, readpos, stored, 12);
  if (!vertices) return static_cast<int>(count);
  LoadFloats(Take(count * 12), count * 3, vertices);
  return static_cast<int>(count);
}

int Loader3DS::ReadFaces(const chunk_header& chunk, unsigned short* faces) {
  if (!filebuffer || chunk.id != CHUNK_FACELIST) return -1;
  SetPos(static_cast<unsigned long long>(chunk.start) + kHeaderSize);
  unsigned int stored = ReadSHORT();
  unsigned int count = ItemsInChunk(chunk, readpos, stored, 8);
  if (!faces) return static_cast<int>(count);
  const unsigned char* p = Take(count * 8);
  for (unsigned int f = 0; f < count; ++f, p += 8) {
    // Three corners; the flag word behind them is dropped.
    faces[3 * f] = static_cast<unsigned short>(LoadU16(p));
    faces[3 * f + 1] = static_cast<unsigned short>(LoadU16(p + 2));
    faces[3 * f + 2] = static_cast<unsigned short>(LoadU16(p + 4));
  }
  return static_cast<int>(count);
}

int Loader3DS::ReadSmoothingGroup(const chunk_header& chunk, int* groups) {
  if (!filebuffer || chunk.id != CHUNK_SMOOTHINGGROUP) return -1;
  // No count field: the chunk's length says how many masks it holds.
  unsigned long long data =
      static_cast<unsigned long long>(chunk.start) + kHeaderSize;
  unsigned int stored =
      chunk.length < kHeaderSize ? 0 : (chunk.length - kHeaderSize) / 4;
  unsigned int count = ItemsInChunk(chunk, data, stored, 4);
  if (!groups) return static_cast<int>(count);
  SetPos(data);
  const unsigned char* p = Take(count * 4);
  for (unsigned int i = 0; i < count; ++i)
    groups[i] = static_cast<int>(LoadU32(p + 4 * i));
  return static_cast<int>(count);
}

int Loader3DS::ReadMappingCoords(const chunk_header& chunk, float* coords) {
  if (!filebuffer || chunk.id != CHUNK_MAPPINGCOORDS) return -1;
  SetPos(static_cast<unsigned long long>(chunk.start) + kHeaderSize);
  unsigned int stored = ReadSHORT();
  unsigned int count = ItemsInChunk(chunk, readpos, stored, 8);
  if (!coords) return static_cast<int>(count);
  LoadFloats(Take(count * 8), count * 2, coords);
  return static_cast<int>(count);
}

int Loader3DS::ReadMaterialRef(const chunk_header& chunk, std::string& name,
                               unsigned short* faces) {
  if (!filebuffer || chunk.id != CHUNK_MATERIALREF) return -1;
  SetPos(static_cast<unsigned long long>(chunk.start) + kHeaderSize);
  ReadCSTR(name);
  unsigned int stored = ReadSHORT();
  unsigned int count = ItemsInChunk(chunk, readpos, stored, 2);
  if (!faces) return static_cast<int>(count);
  const unsigned char* p = Take(count * 2);
  for (unsigned int i = 0; i < count; ++i)
    faces[count - 1 - i] = static_cast<unsigned short>(LoadU16(p + 2 * i));
  return static_cast<int>(count);
}

// A colour sub-chunk: its header, the first inner colour chunk's header, three
// bytes, then on behind the whole sub-chunk (past a gamma-corrected copy).
void Loader3DS::ReadColourChunk(unsigned char* rgb) {
  chunk_header outer;
  ReadHeader(&outer);
  ReadHeader(nullptr);
  ReadRGB2(rgb);
  SkipChunk(outer);
}

// A percentage sub-chunk: two headers, then the 16-bit value.
void Loader3DS::ReadPercentChunk(unsigned short& value) {
  ReadHeader(nullptr);
  ReadHeader(nullptr);
  value = ReadSHORT();
}

void Loader3DS::SkipUnlessEmpty() {
  chunk_header header;
  if (ReadHeader(&header) != 0) SkipChunk(header);
}

// Read by position, as 3DS files lay a material out: name, ambient, diffuse,
// specular, shininess, shininess strength (passed over), transparency.
bool Loader3DS::ReadMaterial(const chunk_header& chunk, material& mat) {
  if (!filebuffer || chunk.id != CHUNK_MATERIAL) return false;
  SetPos(static_cast<unsigned long long>(chunk.start) + kHeaderSize);
  ReadHeader(nullptr);
  ReadCSTR(mat.name);
  ReadColourChunk(mat.ambient);
  ReadColourChunk(mat.diffuse);
  ReadColourChunk(mat.specular);
  ReadPercentChunk(mat.shininess);
  SkipUnlessEmpty();
  ReadPercentChunk(mat.transparency);
  return true;
}

// A map chunk: its percentage sub-chunk, then the file name sub-chunk.
bool Loader3DS::ReadTexture(const chunk_header& chunk, texture& tex) {
  if (!filebuffer) return false;
  SetPos(static_cast<unsigned long long>(chunk.start) + kHeaderSize);
  SkipUnlessEmpty();
  ReadHeader(nullptr);
  ReadCSTR(tex.filename);
  return true;
}

namespace {

// (b - a) x (c - b) made unit length; the zero vector for a triangle without
// area or with non-finite corners, never a division by zero.
inline void UnitNormal(const float* a, const float* b, const float* c,
                       float* out) {
  float ux = b[0] - a[0], uy = b[1] - a[1], uz = b[2] - a[2];
  float vx = c[0] - b[0], vy = c[1] - b[1], vz = c[2] - b[2];
  float nx = uy * vz - uz * vy;
  float ny = uz * vx - ux * vz;
  float nz = ux * vy - uy * vx;
  float len = std::sqrt(nx * nx + ny * ny + nz * nz);
  if (!(len > 0.0f) || !std::isfinite(len)) {
    out[0] = out[1] = out[2] = 0.0f;
    return;
  }
  out[0] = nx / len;
  out[1] = ny / len;
  out[2] = nz / len;
}

}  // namespace

bool Loader3DS::Normal(const float* a, const float* b, const float* c,
                       float* out) {
  if (!a || !b || !c || !out) return false;
  UnitNormal(a, b, c, out);
  return true;
}

bool Loader3DS::FlatNormals(int count, const unsigned short* faces,
                            const float* vertices, float* normals) {
  if (!faces || !vertices || !normals) return false;
  for (int f = 0; f < count; ++f) {
    const unsigned short* corner = faces + 3 * f;
    Normal(vertices + 3 * corner[0], vertices + 3 * corner[1],
           vertices + 3 * corner[2], normals + 3 * f);
  }
  return true;
}

namespace {
struct NormalSum {
  float x, y, z;
  unsigned int faces;
};
}  // namespace

// Each face's normal is added once to each of its corners, in face order, so
// every sum is formed in the same order as a vertex-by-vertex scan would form
// it, in time linear in the face count.
bool Loader3DS::SmoothNormals(unsigned int count, const unsigned short* faces,
                              const float* vertices, float* normals) {
  if (!faces || !vertices || !normals) return false;
  if (count == 0) return true;
  const size_t corners = static_cast<size_t>(count) * 3;
  unsigned int highest = 0;
  for (size_t i = 0; i < corners; ++i)
    if (faces[i] > highest) highest = faces[i];
  // Indices of 3 * count or more are never written.
  size_t slots = highest + 1u < corners ? highest + 1u : corners;
  NormalSum* sums = new (std::nothrow) NormalSum[slots]();
  if (!sums) return false;

  for (size_t f = 0; f < count; ++f) {
    const unsigned short* corner = faces + 3 * f;
    // A face that names a vertex twice has no area. Skipped before its cross
    // product is formed: where a multiply and an add are fused, a == c would
    // leave a tiny non-zero product and a normal pointing anywhere.
    if (corner[0] == corner[1] || corner[1] == corner[2] ||
        corner[0] == corner[2])
      continue;
    float n[3];
    UnitNormal(vertices + 3 * corner[0], vertices + 3 * corner[1],
               vertices + 3 * corner[2], n);
    if (n[0] == 0.0f && n[1] == 0.0f && n[2] == 0.0f) continue;
    for (int k = 0; k < 3; ++k) {
      unsigned int v = corner[k];
      if (v >= slots) continue;
      sums[v].x += n[0];
      sums[v].y += n[1];
      sums[v].z += n[2];
      ++sums[v].faces;
    }
  }

  for (size_t v = 0; v < slots; ++v) {
    if (sums[v].faces == 0) continue;
    float k = static_cast<float>(sums[v].faces);
    float mx = sums[v].x / k, my = sums[v].y / k, mz = sums[v].z / k;
    float len = std::sqrt(mx * mx + my * my + mz * mz);
    float* out = normals + 3 * v;
    if (len > 0.0f && std::isfinite(len)) {
      out[0] = mx / len;
      out[1] = my / len;
      out[2] = mz / len;
    } else {
      out[0] = out[1] = out[2] = 0.0f;  // faces back to back cancel out
    }
  }
  delete[] sums;
  return true;
}
