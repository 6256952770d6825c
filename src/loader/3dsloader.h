// Reader for binary 3DS mesh files.
//
// A Loader3DS holds one file whole in memory and reads it through a single
// read position. Every read is checked against the file size: no file, however
// malformed, makes the reader touch memory outside its buffer. A read that
// would pass the end of the file yields zeros and leaves `readpos` at
// `filesize`; the position therefore never stands beyond the end of the file.
//
// All multi-byte values in the file are little-endian and may be unaligned;
// values are assembled from bytes, so the reader is correct on any host.
#ifndef MODELVIEWER_3DSLOADER_H
#define MODELVIEWER_3DSLOADER_H

#include <string>
#include <vector>

// The most bytes a 3DS file can hold: its lengths are 32-bit.
const unsigned long long kLargest3dsFile = 0xFFFFFFFFull;

#ifndef _WIN32
struct stat;
// Opens `filename` for reading without waiting, so that a FIFO without a
// writer, or a device, can never hold the program, and tells what it is in
// `info`: the descriptor (the caller takes only a regular file), or -1 with
// errno set.
int OpenWithoutWaiting(const std::string& filename, struct stat& info);
#endif

// Chunk identifiers the reader searches for or tests.
enum : unsigned int {
  CHUNK_MAIN = 0x4D4D,
  CHUNK_EDITOR = 0x3D3D,
  CHUNK_OBJECT = 0x4000,
  CHUNK_TRIMESH = 0x4100,
  CHUNK_VERTEXLIST = 0x4110,
  CHUNK_FACELIST = 0x4120,
  CHUNK_MATERIALREF = 0x4130,
  CHUNK_MAPPINGCOORDS = 0x4140,
  CHUNK_SMOOTHINGGROUP = 0x4150,
  CHUNK_MATERIAL = 0xAFFF,
  CHUNK_TEXTUREMAP = 0xA200,
};

// One chunk of the file: identifier, absolute offset of its first header byte,
// and its stored length (header, own data and sub-chunks together).
struct chunk_header {
  unsigned short id = 0;
  unsigned int start = 0;
  unsigned int length = 0;
};

// What ReadMaterial decodes from a material chunk. Colours are the bytes as
// stored; percentages are not scaled. Numeric fields start at zero.
struct material {
  std::string name;
  unsigned char ambient[3] = {0, 0, 0};
  unsigned char diffuse[3] = {0, 0, 0};
  unsigned char specular[3] = {0, 0, 0};
  unsigned short shininess = 0;
  unsigned short transparency = 0;
};

// What ReadTexture decodes from a map chunk: the image name exactly as stored.
struct texture {
  std::string filename;
};

class Loader3DS {
 public:
  // The whole file, owned by the loader; null while no file is loaded.
  unsigned char* filebuffer = nullptr;
  // Byte offset of the next read; always at most `filesize`.
  unsigned int readpos = 0;
  unsigned int filesize = 0;

  Loader3DS() = default;
  // Opens the file; whether that worked is not reported (see OpenFile).
  explicit Loader3DS(const std::string& filename);
  ~Loader3DS();
  Loader3DS(const Loader3DS&) = delete;
  Loader3DS& operator=(const Loader3DS&) = delete;

  // Reads the whole named file into memory, releasing any file held before.
  // False, holding no file, when the file cannot be opened, is not a regular
  // file (it is never waited for), cannot be sized, allocated or read in
  // full, or is 4 GiB or larger. A 0-byte file opens.
  bool OpenFile(const std::string& filename);
  // Holds `size` bytes already in memory as the file, in place of any file
  // held before: `bytes` must come from new[], and the loader owns it from
  // here on (null with size 0 holds no file). For callers that read the file
  // their own way, and for bytes that never were a file.
  void TakeBytes(unsigned char* bytes, unsigned int size);
  // The same for bytes that the caller has mapped into memory (or holds
  // otherwise): they are read in place and never written to, and when the
  // loader lets them go (another file, or its end) it calls
  // `release(bytes, size)` instead of delete[].
  void TakeMappedBytes(unsigned char* bytes, unsigned int size,
                       void (*release)(unsigned char*, unsigned int));

  // Primitive readers: read at `readpos` and advance by the width read.
  // Without a file they return 0 and move nothing; past the end of the file
  // they return 0 and leave `readpos` at `filesize`.
  unsigned int ReadUINT();
  int ReadINT();
  unsigned short ReadSHORT();
  unsigned char ReadCHAR();
  float ReadFLOAT();

  // Block readers: false without a file. A null destination skips the bytes.
  // ReadCSTR takes the bytes up to the first zero byte and consumes the zero;
  // a string without one ends at the end of the file. A block that would pass
  // the end of the file fills its destination with zeros (`readpos` at end).
  bool ReadCSTR(std::string& text);
  bool ReadDATA(unsigned int count, void* dest);
  bool ReadRGB(float* rgb);
  bool ReadRGB2(unsigned char* rgb);

  // Absolute seek; an offset at or beyond the end of the file is bounded to
  // its last byte (0 on an empty file), as the relative seek does. Returns
  // the new `readpos`.
  unsigned int Seek(unsigned int offset);
  // Relative seek, clamped to [0, filesize - 1] (0 on an empty file).
  unsigned int Seek(bool forward, unsigned int distance);

  // Moves `readpos` behind the chunk (bounded to the end of the file).
  // False without a file.
  bool SkipChunk(const chunk_header& chunk);
  // Reads a 6-byte header at `readpos` (into a scratch record when `header` is
  // null) and returns its identifier; 0 without a file.
  unsigned int ReadHeader(chunk_header* header);
  // ReadHeader at offset 0, whatever `readpos` was. The identifier is not
  // checked here.
  unsigned int ReadMainHeader(chunk_header* header);
  // The byte at offset 28; `readpos` unchanged. 0 without a file or when the
  // file is shorter.
  unsigned int GetVersion();
  // Copies the chunk's `length` - 6 bytes behind its header to `dest` and
  // leaves `readpos` behind the chunk. False, moving nothing, without a file
  // or with a null `dest`.
  bool ReadData(const chunk_header& chunk, void* dest);

  // Searches. Each finds a direct child of `parent` and writes it to `found`;
  // on success `readpos` is restored, on failure `found` holds the last header
  // examined. A child whose stored length is below 6, or a header cut off by
  // the end of the file, ends the scan: the search fails.
  // `index` counts only children with the identifier sought.
  bool FindChunk(const chunk_header& parent, chunk_header& found,
                 unsigned int chunkid, unsigned int index);
  // The editor chunk among the chunks from offset 16 up to the main chunk's
  // end. `readpos` stays behind the editor chunk's header on success.
  bool FindEdit3DS(const chunk_header& parent, chunk_header& found);
  // Typed searches: false at once, moving nothing, when `parent` is not of the
  // kind named.
  bool FindObject(const chunk_header& parent, chunk_header& found,
                  unsigned int index);  // parent: editor
  // The `index`-th object that holds a triangle mesh (a model).
  bool FindModel(const chunk_header& parent, chunk_header& found,
                 unsigned int index);  // parent: editor
  bool FindTriMesh(const chunk_header& parent, chunk_header& found,
                   unsigned int index);  // parent: object
  bool FindVertexList(const chunk_header& parent,
                      chunk_header& found);  // parent: triangle mesh
  bool FindFaceList(const chunk_header& parent,
                    chunk_header& found);  // parent: triangle mesh
  bool FindMappingCoords(const chunk_header& parent,
                         chunk_header& found);  // parent: triangle mesh
  bool FindMaterialRef(const chunk_header& parent, chunk_header& found,
                       unsigned int index);  // parent: face list
  bool FindSmoothingGroup(const chunk_header& parent,
                          chunk_header& found);  // parent: face list
  bool FindMaterial(const chunk_header& parent, chunk_header& found,
                    unsigned int index);  // parent: editor
  // The first child with identifier `chunkid` (not an index).
  bool FindTexture(const chunk_header& parent, chunk_header& found,
                   unsigned int chunkid);  // parent: material

  // Every direct child of `parent`, in file order, in one pass and by the
  // searches' rules: the parent's own data is stepped over, and the walk ends
  // at the parent's end, at a header cut off by the end of the file, or at a
  // stored length below 6. `readpos` is restored. Empty without a file.
  std::vector<chunk_header> Children(const chunk_header& parent);

  // Counts. MeshesCount is -1 when `parent` is not an object chunk. The others
  // are 0 without a file or editor chunk and restore `readpos`.
  int MeshesCount(const chunk_header& parent);
  int ObjectsCount();
  int ModelsCount();
  int MaterialsCount();

  // Directory by index, each starting from the main chunk. ModelName empties
  // `text` when there is no such model. `readpos` is left where the last
  // search left it (ModelName restores it on success).
  bool ModelName(unsigned int index, std::string& text);
  bool GetModel(unsigned int index, chunk_header& found);
  bool GetMesh(unsigned int modelindex, unsigned int meshindex,
               chunk_header& found);
  bool GetMaterial(unsigned int index, chunk_header& found);
  bool GetTexture(unsigned int materialindex, chunk_header& found,
                  unsigned int chunkid);

  // Array readers, two calls each: with a null destination they return the
  // item count, with a destination they fill that many items and return the
  // same count. -1, writing nothing and moving nothing, without a file or when
  // the chunk is not of the accepted kind. The count is the stored one, cut
  // to the items that the chunk's bytes hold (within the file), so a
  // destination sized by the count-only call is never overrun.
  // `readpos` is left behind the last byte consumed.
  int ReadVertices(const chunk_header& chunk, float* vertices);  // 3 per item
  int ReadFaces(const chunk_header& chunk,
                unsigned short* faces);  // 3 corner indices per face
  int ReadSmoothingGroup(const chunk_header& chunk, int* groups);
  int ReadMappingCoords(const chunk_header& chunk, float* coords);  // u, v
  // Also sets `name`, on both calls. Fills the face indices in reverse file
  // order: the first index of the file goes to the last slot.
  int ReadMaterialRef(const chunk_header& chunk, std::string& name,
                      unsigned short* faces);

  // Record readers: read by position (see the .cpp). ReadMaterial is false,
  // writing nothing, when the chunk is not a material chunk; ReadTexture
  // accepts any chunk. Both are false without a file.
  bool ReadMaterial(const chunk_header& chunk, material& mat);
  bool ReadTexture(const chunk_header& chunk, texture& tex);

  // Unit normal of the triangle a, b, c: (b - a) x (c - b), normalised.
  // A triangle without area (or with non-finite corners) gets the zero vector
  // and true. False, writing nothing, when a pointer is null.
  bool Normal(const float* a, const float* b, const float* c, float* out);
  // One normal per face into `normals` (3 floats per face).
  bool FlatNormals(int count, const unsigned short* faces,
                   const float* vertices, float* normals);
  // Per-vertex mean of the normals of the faces that use the vertex, made
  // unit length. Faces without area contribute nothing; a vertex whose mean is
  // zero gets the zero vector. Only slots of used vertices below 3 * count are
  // written. Callers must pass face indices below the vertex count of
  // `vertices` and size `normals` to that count. Linear in `count`.
  bool SmoothNormals(unsigned int count, const unsigned short* faces,
                     const float* vertices, float* normals);

 private:
  void ReleaseBytes();
  const unsigned char* Take(unsigned int count);
  void SetPos(unsigned long long pos);
  unsigned long long ChunkEnd(const chunk_header& chunk) const;
  unsigned int ItemsInChunk(const chunk_header& chunk, unsigned long long from,
                            unsigned int stored, unsigned int itemsize) const;
  void EnterChildren(const chunk_header& parent);
  bool NextChild(unsigned long long end, chunk_header& child);
  bool FindEditor(chunk_header& editor);
  bool HasTriMesh(const chunk_header& object);
  int CountEditorChildren(unsigned int chunkid, bool modelsonly);
  void ReadColourChunk(unsigned char* rgb);
  void ReadPercentChunk(unsigned short& value);
  void SkipUnlessEmpty();

  // How mapped bytes are let go; null for bytes from new[].
  void (*release_)(unsigned char*, unsigned int) = nullptr;
};

#endif
