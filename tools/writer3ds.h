// A tiny 3DS writer for fixtures built in code. Chunks nest through add() and
// their lengths are filled in when the bytes are made, so a fixture reads like
// the file it builds:
//   file3ds(editor().add(object("A").add(trimesh().add(vertexList({...})))))
#ifndef MODELVIEWER_WRITER3DS_H
#define MODELVIEWER_WRITER3DS_H

#include <array>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace w3ds {

using Bytes = std::vector<std::uint8_t>;

struct Chunk {
  std::uint16_t id;
  Bytes data;  // the chunk's own data, in front of sub-chunks
  std::vector<Chunk> kids;
  bool forceLength = false;  // store `forcedLength` instead of the real one
  std::uint32_t forcedLength = 0;

  explicit Chunk(std::uint16_t chunkid) : id(chunkid) {}

  Chunk& u8(std::uint8_t v) {
    data.push_back(v);
    return *this;
  }
  Chunk& u16(std::uint16_t v) {
    data.push_back(v & 0xFF);
    data.push_back(v >> 8);
    return *this;
  }
  Chunk& u32(std::uint32_t v) {
    for (int i = 0; i < 4; ++i) data.push_back((v >> (8 * i)) & 0xFF);
    return *this;
  }
  Chunk& f32(float f) {
    std::uint32_t bits;
    std::memcpy(&bits, &f, 4);
    return u32(bits);
  }
  Chunk& str(const std::string& s) {  // zero-terminated
    data.insert(data.end(), s.begin(), s.end());
    data.push_back(0);
    return *this;
  }
  Chunk& raw(const Bytes& b) {
    data.insert(data.end(), b.begin(), b.end());
    return *this;
  }
  Chunk& add(const Chunk& kid) {
    kids.push_back(kid);
    return *this;
  }
  Chunk& length(std::uint32_t stored) {
    forceLength = true;
    forcedLength = stored;
    return *this;
  }

  std::uint32_t size() const {
    std::uint32_t total = 6 + static_cast<std::uint32_t>(data.size());
    for (const Chunk& k : kids) total += k.size();
    return total;
  }
  void appendTo(Bytes& out) const {
    std::uint32_t len = forceLength ? forcedLength : size();
    out.push_back(id & 0xFF);
    out.push_back(id >> 8);
    for (int i = 0; i < 4; ++i) out.push_back((len >> (8 * i)) & 0xFF);
    out.insert(out.end(), data.begin(), data.end());
    for (const Chunk& k : kids) k.appendTo(out);
  }
  Bytes bytes() const {
    Bytes out;
    appendTo(out);
    return out;
  }
};

using Vec3 = std::array<float, 3>;
using Vec2 = std::array<float, 2>;
using Face = std::array<std::uint16_t, 4>;  // a, b, c, flag word
using RGB = std::array<std::uint8_t, 3>;

// Editor chunk, opened by the 10-byte mesh version chunk that real files carry
// (so its value's low byte stands at offset 28 of the file).
inline Chunk editor() { return Chunk(0x3D3D).add(Chunk(0x3D3E).u32(3)); }
inline Chunk object(const std::string& name) { return Chunk(0x4000).str(name); }
inline Chunk trimesh() { return Chunk(0x4100); }

inline Chunk vertexList(const std::vector<Vec3>& vertices) {
  Chunk c(0x4110);
  c.u16(static_cast<std::uint16_t>(vertices.size()));
  for (const Vec3& v : vertices) c.f32(v[0]).f32(v[1]).f32(v[2]);
  return c;
}

inline Chunk faceList(const std::vector<Face>& faces) {
  Chunk c(0x4120);
  c.u16(static_cast<std::uint16_t>(faces.size()));
  for (const Face& f : faces) c.u16(f[0]).u16(f[1]).u16(f[2]).u16(f[3]);
  return c;
}

inline Chunk materialRef(const std::string& name,
                         const std::vector<std::uint16_t>& faces) {
  Chunk c(0x4130);
  c.str(name).u16(static_cast<std::uint16_t>(faces.size()));
  for (std::uint16_t f : faces) c.u16(f);
  return c;
}

inline Chunk mappingCoords(const std::vector<Vec2>& coords) {
  Chunk c(0x4140);
  c.u16(static_cast<std::uint16_t>(coords.size()));
  for (const Vec2& uv : coords) c.f32(uv[0]).f32(uv[1]);
  return c;
}

inline Chunk smoothingGroup(const std::vector<std::uint32_t>& groups) {
  Chunk c(0x4150);
  for (std::uint32_t g : groups) c.u32(g);
  return c;
}

inline Chunk colour(std::uint16_t id, RGB rgb) {
  return Chunk(id).add(Chunk(0x0011).u8(rgb[0]).u8(rgb[1]).u8(rgb[2]));
}

inline Chunk percent(std::uint16_t id, std::uint16_t value) {
  return Chunk(id).add(Chunk(0x0030).u16(value));
}

inline Chunk textureMap(const std::string& filename,
                        std::uint16_t strength = 100) {
  return Chunk(0xA200)
      .add(Chunk(0x0030).u16(strength))
      .add(Chunk(0xA300).str(filename));
}

// A material chunk laid out as modelling tools write it.
inline Chunk materialChunk(const std::string& name, RGB ambient = {0, 0, 0},
                           RGB diffuse = {0, 0, 0}, RGB specular = {0, 0, 0},
                           std::uint16_t shininess = 0,
                           std::uint16_t strength = 0,
                           std::uint16_t transparency = 0) {
  return Chunk(0xAFFF)
      .add(Chunk(0xA000).str(name))
      .add(colour(0xA010, ambient))
      .add(colour(0xA020, diffuse))
      .add(colour(0xA030, specular))
      .add(percent(0xA040, shininess))
      .add(percent(0xA041, strength))
      .add(percent(0xA050, transparency));
}

// A camera object (0x4700): where it stands, what it looks at, its roll in
// degrees and its lens in mm.
inline Chunk cameraObject(const std::string& name, Vec3 position, Vec3 target,
                          float roll, float lens) {
  Chunk c(0x4700);
  for (float v : position) c.f32(v);
  for (float v : target) c.f32(v);
  c.f32(roll).f32(lens);
  return object(name).add(c);
}

// A float colour chunk (0x0010), or another kind of float colour.
inline Chunk floatColour(Vec3 rgb, std::uint16_t id = 0x0010) {
  return Chunk(id).f32(rgb[0]).f32(rgb[1]).f32(rgb[2]);
}

// A light object (0x4600): where it stands, then its parts (a colour, a
// spot chunk, flags and ranges).
inline Chunk lightObject(const std::string& name, Vec3 position,
                         const std::vector<Chunk>& parts = {}) {
  Chunk light(0x4600);
  light.f32(position[0]).f32(position[1]).f32(position[2]);
  for (const Chunk& part : parts) light.add(part);
  return object(name).add(light);
}

// A spotlight's chunk (0x4610): what it points at, its hotspot and falloff.
inline Chunk spotlight(Vec3 target, float hotspot, float falloff) {
  return Chunk(0x4610)
      .f32(target[0])
      .f32(target[1])
      .f32(target[2])
      .f32(hotspot)
      .f32(falloff);
}

// A keyframer track: flags, 8 unused bytes, the stored key count (that of
// `keys` unless given), then each key: its frame, spline flags 0, the values.
inline Chunk track(std::uint16_t id,
                   const std::vector<std::vector<float>>& keys,
                   std::uint32_t count = ~0u) {
  Chunk c(id);
  c.u16(0).u32(0).u32(0).u32(count == ~0u ? std::uint32_t(keys.size()) : count);
  for (const auto& key : keys) {
    c.u32(static_cast<std::uint32_t>(key[0])).u16(0);
    for (std::size_t k = 1; k < key.size(); ++k) c.f32(key[k]);
  }
  return c;
}

// A keyframer object node: its id, the mesh it draws, its parent's id
// (0xFFFF: none) and its tracks.
inline Chunk objectNode(std::uint16_t id, const std::string& mesh,
                        std::uint16_t parent,
                        const std::vector<Chunk>& tracks = {}) {
  Chunk c(0xB002);
  c.add(Chunk(0xB030).u16(id));
  c.add(Chunk(0xB010).str(mesh).u16(0).u16(0).u16(parent));
  for (const Chunk& t : tracks) c.add(t);
  return c;
}

// A keyframer node of any kind (0xB001 to 0xB007) without an id chunk: the
// name it gives, no parent, and its tracks.
inline Chunk keyframerNode(std::uint16_t kind, const std::string& name,
                           const std::vector<Chunk>& tracks = {}) {
  Chunk c(kind);
  c.add(Chunk(0xB010).str(name).u16(0).u16(0).u16(0xFFFF));
  for (const Chunk& t : tracks) c.add(t);
  return c;
}

// Main chunk with its 10-byte version chunk at offset 6, then `editorchunk`
// and, when given, a keyframer chunk of `nodes`.
inline Bytes file3ds(const Chunk& editorchunk,
                     const std::vector<Chunk>& nodes) {
  Chunk kf(0xB000);
  for (const Chunk& n : nodes) kf.add(n);
  return Chunk(0x4D4D)
      .add(Chunk(0x0002).u32(3))
      .add(editorchunk)
      .add(kf)
      .bytes();
}

// Main chunk with its 10-byte version chunk at offset 6, then `editorchunk`.
inline Bytes file3ds(const Chunk& editorchunk) {
  return Chunk(0x4D4D).add(Chunk(0x0002).u32(3)).add(editorchunk).bytes();
}

// One textured model: an object holding a mesh with everything the viewer
// needs, paired with a material chunk whose map names `image`.
struct Mesh {
  std::vector<Vec3> vertices;
  std::vector<Face> faces;
  std::vector<Vec2> coords;
};

inline Chunk modelObject(const std::string& name, const Mesh& mesh,
                         const std::string& materialname) {
  std::vector<std::uint16_t> all;
  for (std::size_t f = 0; f < mesh.faces.size(); ++f)
    all.push_back(static_cast<std::uint16_t>(f));
  return object(name).add(
      trimesh()
          .add(vertexList(mesh.vertices))
          .add(mappingCoords(mesh.coords))
          .add(faceList(mesh.faces).add(materialRef(materialname, all))));
}

inline bool writeFile(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

}  // namespace w3ds

#endif
