// Crafted 3DS files that cost far more than their size in a reader that
// trusts their lengths, counts or names: for the tests that bound the
// viewer's time and memory, and for the benchmarks' peak figures.
#ifndef MODELVIEWER_HOSTILE3DS_H
#define MODELVIEWER_HOSTILE3DS_H

#include <unistd.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "writer3ds.h"

namespace hostile {

using namespace w3ds;

// One small triangle in the material `material`, with mapping coordinates.
inline Chunk Triangle(const std::string& name, float x = 0,
                      const std::string& material = "") {
  Chunk faces = faceList({{0, 1, 2, 0}});
  if (!material.empty()) faces.add(materialRef(material, {0}));
  return object(name).add(
      trimesh()
          .add(vertexList({{x, 0, 0}, {x + 1, 0, 0}, {x, 0, 1}}))
          .add(mappingCoords({{0, 0}, {1, 0}, {0, 1}}))
          .add(faces));
}

// A triangle to show, then `objects` meshes whose stored lengths run past
// their object to the editor's end, and there, with `shared`, one 65 535-
// vertex list. A reader that does not cut each chunk to its parent's end
// scans every later object once per mesh, and reads that list once per mesh.
inline Bytes OverlappingMeshes(int objects, bool shared = true) {
  Chunk ed = editor();
  ed.add(Triangle("shown"));
  for (int i = 0; i < objects; ++i)
    ed.add(
        object("o" + std::to_string(i))
            .add(trimesh().length(0x7FFFFFF0).add(faceList({{0, 1, 2, 0}}))));
  if (!shared) return file3ds(ed);
  std::vector<Vec3> list(65535);
  for (size_t v = 0; v < list.size(); ++v)
    list[v] = {float(v % 256), float(v / 256), 0};
  return file3ds(ed.add(vertexList(list)));
}

// `objects` separate triangles.
inline Bytes ManyObjects(int objects) {
  Chunk ed = editor();
  for (int i = 0; i < objects; ++i)
    ed.add(Triangle("t" + std::to_string(i), i));
  return file3ds(ed);
}

// `objects` meshes of 65 535 vertices each and a face for every three: an
// honest file whose scene outgrows a small memory limit.
inline Bytes BigMeshes(int objects) {
  std::vector<Vec3> vertices(65535);
  std::vector<Face> faces;
  for (size_t v = 0; v < vertices.size(); ++v)
    vertices[v] = {float(v % 256), float(v / 256), float(v % 7)};
  for (std::uint16_t v = 0; v + 2 < 65535; v += 3)
    faces.push_back({v, std::uint16_t(v + 1), std::uint16_t(v + 2), 0});
  Chunk ed = editor();
  for (int i = 0; i < objects; ++i)
    ed.add(object("o" + std::to_string(i))
               .add(trimesh().add(vertexList(vertices)).add(faceList(faces))));
  return file3ds(ed);
}

// One triangle per name, each in a material of its own whose texture map is
// that name.
inline Bytes TextureNames(const std::vector<std::string>& names) {
  Chunk ed = editor();
  for (size_t i = 0; i < names.size(); ++i) {
    const std::string material = "m" + std::to_string(i);
    ed.add(materialChunk(material).add(textureMap(names[i])));
    ed.add(Triangle("t" + std::to_string(i), float(i), material));
  }
  return file3ds(ed);
}

// `count` names of about `length` bytes that lead to `image` through `step`
// repeated (such as "A\\..\\"), each a step shorter than the one before.
inline std::vector<std::string> LongNames(int count, size_t length,
                                          const std::string& step,
                                          const std::string& image) {
  std::vector<std::string> names;
  std::string name;
  while (name.size() + image.size() < length) name += step;
  for (int i = 0; i < count; ++i) {
    const size_t cut = step.size() * static_cast<size_t>(i);
    names.push_back(name.substr(0, name.size() > cut ? name.size() - cut : 0) +
                    image);
  }
  return names;
}

// ---- Scenes that ask for far more work than their bytes -------------------

// `meshes` one-triangle meshes all named "a", and `nodes` object nodes that
// each name "a": every node places every mesh.
inline Bytes SharedNames(int meshes, int nodes) {
  Chunk matrix(0x4160);  // the identity, which the nodes undo
  for (float m : {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0}) matrix.f32(m);
  Chunk ed = editor();
  for (int i = 0; i < meshes; ++i) {
    Chunk triangle = Triangle("a", float(i));
    triangle.kids[0].add(matrix);
    ed.add(triangle);
  }
  std::vector<Chunk> kf;
  for (int n = 0; n < nodes; ++n)
    kf.push_back(objectNode(std::uint16_t(n), "a", 0xFFFF));
  return file3ds(ed, kf);
}

// One mesh of `faces` small faces in a row of 256 columns, in no smoothing
// group (so every corner is a vertex of its own: three drawn vertices a
// face), placed by `nodes` nodes side by side: what it costs is its
// vertices, not the pixels it covers.
inline Bytes InstancedMesh(int faces, int nodes) {
  std::vector<Vec3> vertices;
  const int count = faces + 2 < 65535 ? faces + 2 : 65535;
  for (int v = 0; v < count; ++v)
    vertices.push_back({float(v % 256), float(v / 256), float(v % 2)});
  std::vector<Face> list;
  for (int f = 0; f < faces; ++f) {
    const std::uint16_t v = std::uint16_t(f % (count - 2));
    list.push_back(Face{v, std::uint16_t(v + 1), std::uint16_t(v + 2), 0});
  }
  std::vector<std::uint32_t> groups(list.size(), 0);
  Chunk matrix(0x4160);  // the identity, which the nodes undo
  for (float m : {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0}) matrix.f32(m);
  Chunk ed = editor().add(
      object("big").add(trimesh()
                            .add(vertexList(vertices))
                            .add(matrix)
                            .add(faceList(list).add(smoothingGroup(groups)))));
  std::vector<Chunk> kf;
  for (int n = 0; n < nodes; ++n)
    kf.push_back(objectNode(std::uint16_t(n), "big", 0xFFFF,
                            {track(0xB020, {{0, 300.0f * n, 0, 0}})}));
  return file3ds(ed, kf);
}

// `faces` faces over the four vertices of one upright unit square, each
// half of it in turn, so that every face covers half of a picture framed on
// it: all of them fill it `faces` / 2 times over. Placed by `nodes` nodes
// (0: as stored), each a millionth nearer the front than the one before so
// that no two are alike and each is drawn over the last, along a segment
// of 100 frames that the framing sweeps; or with `copies`, all at one place.
inline Bytes StackedFaces(int faces, int nodes, bool copies = false) {
  std::vector<Vec3> vertices = {{0, 0, 0}, {1, 0, 0}, {1, 0, 1}, {0, 0, 1}};
  std::vector<Face> list;
  for (int f = 0; f < faces; ++f)
    list.push_back(f % 2 ? Face{0, 2, 3, 0} : Face{0, 1, 2, 0});
  Chunk matrix(0x4160);  // the identity, which the nodes undo
  for (float m : {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0}) matrix.f32(m);
  Chunk ed = editor().add(object("square").add(
      trimesh().add(vertexList(vertices)).add(matrix).add(faceList(list))));
  if (nodes == 0) return file3ds(ed);
  std::vector<Chunk> kf;
  for (int n = 0; n < nodes; ++n) {
    std::vector<Chunk> tracks;
    const float y = -1e-6f * n;
    if (!copies)
      tracks.push_back(track(0xB020, {{0, 0, y, 0}, {100, 0, y, 0}}));
    kf.push_back(objectNode(std::uint16_t(n), "square", 0xFFFF, tracks));
  }
  return file3ds(ed, kf);
}

// `count` empty object node chunks (6 bytes each).
inline Bytes EmptyNodes(int count) {
  Bytes body;
  for (int n = 0; n < count; ++n) Chunk(0xB002).appendTo(body);
  Bytes file = Chunk(0x4D4D)
                   .add(Chunk(0x0002).u32(3))
                   .add(editor().add(Triangle("a")))
                   .bytes();
  // The keyframer chunk: a segment, then the nodes.
  Chunk kf(0xB000);
  kf.add(Chunk(0xB008).u32(0).u32(100));
  Bytes head = kf.bytes();
  const std::uint32_t length = std::uint32_t(head.size() + body.size());
  for (int i = 0; i < 4; ++i) head[2 + i] = (length >> (8 * i)) & 0xFF;
  file.insert(file.end(), head.begin(), head.end());
  file.insert(file.end(), body.begin(), body.end());
  const std::uint32_t total = std::uint32_t(file.size());
  for (int i = 0; i < 4; ++i) file[2 + i] = (total >> (8 * i)) & 0xFF;
  return file;
}

// A node of the triangle with `count` hide keys of 6 bytes each.
inline Bytes ManyHideKeys(std::uint32_t count) {
  Chunk hide(0xB029);
  hide.u16(0).u32(0).u32(0).u32(count);
  hide.data.reserve(hide.data.size() + 6ull * count);
  for (std::uint32_t k = 0; k < count; ++k) hide.u32(k).u16(0);
  Chunk node = objectNode(0, "a", 0xFFFF);
  node.add(hide);
  return file3ds(editor().add(Triangle("a")), {node});
}

// `cameras` cameras and `nodes` camera nodes, none of which names one of
// them but the last.
inline Bytes ManyCameraNodes(int cameras, int nodes) {
  Chunk ed = editor().add(Triangle("a"));
  for (int c = 0; c < cameras; ++c)
    ed.add(
        cameraObject("c" + std::to_string(c), {0, -10, 0}, {0, 0, 0}, 0, 35));
  std::vector<Chunk> kf;
  for (int n = 0; n < nodes; ++n)
    kf.push_back(Chunk(0xB003).add(Chunk(0xB010)
                                       .str(n + 1 == nodes ? "c0" : "x")
                                       .u16(0)
                                       .u16(0)
                                       .u16(0xFFFF)));
  return file3ds(ed, kf);
}

// ---- Files that cost far more than their bytes beside the model ---------

// A PNG chunk: its length, type, data and CRC.
inline void PngChunk(Bytes& png, const char* type, const Bytes& data) {
  Chunk length(0);  // the writer's byte helpers, without a chunk header
  const std::uint32_t n = std::uint32_t(data.size());
  for (int i = 3; i >= 0; --i) length.u8((n >> (8 * i)) & 0xFF);
  Bytes body(type, type + 4);
  body.insert(body.end(), data.begin(), data.end());
  const std::uint32_t crc = std::uint32_t(crc32(0, body.data(), body.size()));
  png.insert(png.end(), length.data.begin(), length.data.end());
  png.insert(png.end(), body.begin(), body.end());
  for (int i = 3; i >= 0; --i) png.push_back((crc >> (8 * i)) & 0xFF);
}

// A `side` x `side` RGBA PNG of one colour, packed as tightly as zlib
// packs: an 8192 x 8192 one is 0.27 MB on disk and 256 MB decoded.
inline Bytes FlatPng(std::uint32_t side) {
  const Bytes signature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  Bytes png = signature;
  Chunk header(0);
  for (std::uint32_t v : {side, side})
    for (int i = 3; i >= 0; --i) header.u8((v >> (8 * i)) & 0xFF);
  header.u8(8).u8(6).u8(0).u8(0).u8(0);  // 8 bits, RGBA, not interlaced
  PngChunk(png, "IHDR", header.data);
  // Each row: filter 0, then its pixels.
  Bytes row(1 + 4 * size_t(side), 0x80);
  row[0] = 0;
  Bytes packed(1 << 20);
  Bytes idat;
  z_stream z{};
  deflateInit(&z, 9);
  for (std::uint32_t y = 0; y <= side; ++y) {
    z.next_in = row.data();
    z.avail_in = y < side ? uInt(row.size()) : 0;
    const int flush = y < side ? Z_NO_FLUSH : Z_FINISH;
    do {
      z.next_out = packed.data();
      z.avail_out = uInt(packed.size());
      deflate(&z, flush);
      idat.insert(idat.end(), packed.data(),
                  packed.data() + (packed.size() - z.avail_out));
    } while (z.avail_out == 0);
  }
  deflateEnd(&z);
  PngChunk(png, "IDAT", idat);
  PngChunk(png, "IEND", {});
  return png;
}

// A model of `count` triangles, each in a material whose texture map is an
// image of its own, map0.png and on, in `stem`.3ds; those images too (as
// FlatPng makes them) in `folder`. False when a file cannot be written.
inline bool ManyLargeMaps(const std::string& folder, const std::string& stem,
                          int count, std::uint32_t side) {
  std::vector<std::string> names;
  for (int i = 0; i < count; ++i)
    names.push_back("map" + std::to_string(i) + ".png");
  const Bytes png = FlatPng(side);
  for (const std::string& name : names)
    if (!writeFile(folder + "/" + name, png)) return false;
  return writeFile(folder + "/" + stem + ".3ds", TextureNames(names));
}

// A main chunk's header that holds `size` bytes, as a file of that size
// whose rest is a hole: 6 bytes on disk.
inline bool SparseMainChunk(const std::string& path, std::uint32_t size) {
  Chunk head(0);
  head.u16(0x4D4D).u32(size);
  return writeFile(path, head.data) && truncate(path.c_str(), size) == 0;
}

}  // namespace hostile

#endif
