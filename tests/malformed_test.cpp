// Malformed files: every walk must stay inside the buffer and terminate, and
// array readers must never write more items than they return. Run under the
// sanitizer build to catch reads outside the buffer.
#include <algorithm>

#include "testfile.h"
#include "walk3ds.h"

using namespace w3ds;

namespace {

Bytes SmallScene() {
  Mesh tri{{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}},
           {{0, 1, 2, 0}},
           {{0, 0}, {1, 0}, {0, 1}}};
  Chunk ed = editor();
  ed.add(materialChunk("mat", {1, 2, 3}, {4, 5, 6}, {7, 8, 9}, 10, 20, 30)
             .add(textureMap("a.bmp")));
  ed.add(object("cam").add(Chunk(0x4700).u32(1)));
  Chunk model = modelObject("tri", tri, "mat");
  model.kids[0].kids[2].add(smoothingGroup({1}));
  ed.add(model);
  return file3ds(ed);
}

WalkSummary WalkBytes(const Bytes& bytes) {
  Loader3DS loader;
  Open(loader, bytes);
  return WalkAll(loader);
}

// Sets the 32-bit value at `offset` (a chunk's stored length or a count).
void Poke32(Bytes& bytes, size_t offset, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[offset + i] = (value >> (8 * i)) & 0xFF;
}

}  // namespace

TEST(Malformed, SmallSceneWalksCompletely) {
  WalkSummary s = WalkBytes(SmallScene());
  EXPECT_EQ(1, s.models);
  EXPECT_EQ(3 + 3 + 1 + 1 + 1, s.items);
  EXPECT_FALSE(s.broken);
}

TEST(Malformed, TruncatedAtEveryByte) {
  Bytes whole = SmallScene();
  for (size_t n = 0; n <= whole.size(); ++n) {
    Bytes cut(whole.begin(), whole.begin() + n);
    WalkSummary s = WalkBytes(cut);
    EXPECT_FALSE(s.broken) << "cut at " << n;
    EXPECT_LE(s.models, 1);
  }
}

TEST(Malformed, ZeroSmallAndHugeValuesAtEveryOffset) {
  Bytes whole = SmallScene();
  // Every 4-byte window in turn, which covers each stored length and count.
  std::vector<size_t> lengths;
  for (size_t at = 2; at + 4 <= whole.size(); ++at) lengths.push_back(at);
  for (std::uint32_t bad : {0u, 3u, 6u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
    for (size_t at : lengths) {
      Bytes b = whole;
      Poke32(b, at, bad);
      WalkSummary s = WalkBytes(b);
      EXPECT_FALSE(s.broken) << "value " << bad << " at " << at;
    }
  }
}

TEST(Malformed, CountsLargerThanTheChunkAreCutToItsBytes) {
  Loader3DS loader;
  // Vertex count 1000 with room for 2 vertices, then a sibling chunk.
  Chunk mesh = trimesh();
  Chunk verts(0x4110);
  verts.u16(1000).f32(1).f32(2).f32(3).f32(4).f32(5).f32(6).f32(7);
  mesh.add(verts).add(mappingCoords({{1, 1}}));
  Open(loader, mesh.bytes());
  chunk_header m, vl, mc;
  loader.ReadHeader(&m);
  ASSERT_TRUE(loader.FindVertexList(m, vl));
  EXPECT_EQ(2, loader.ReadVertices(vl, nullptr));
  std::vector<float> v(7, -1);
  EXPECT_EQ(2, loader.ReadVertices(vl, v.data()));
  EXPECT_EQ(6.0f, v[5]);
  EXPECT_EQ(-1.0f, v[6]);
  ASSERT_TRUE(loader.FindMappingCoords(m, mc));
  EXPECT_EQ(1, loader.ReadMappingCoords(mc, nullptr));

  // A face count of 65535 in a face list cut short by the file's end.
  Chunk faces(0x4120);
  faces.u16(65535).u16(0).u16(1).u16(2).u16(0).u16(9);
  faces.length(0xFFFFFFFFu);
  Open(loader, faces.bytes());
  chunk_header fl;
  loader.ReadHeader(&fl);
  EXPECT_EQ(1, loader.ReadFaces(fl, nullptr));

  // A material reference whose count runs past its chunk.
  Chunk ref(0x4130);
  ref.str("m").u16(500).u16(3);
  Open(loader, ref.bytes());
  chunk_header mr;
  loader.ReadHeader(&mr);
  std::string name;
  unsigned short one[2] = {0, 0xBEEF};
  EXPECT_EQ(1, loader.ReadMaterialRef(mr, name, one));
  EXPECT_EQ(3, one[0]);
  EXPECT_EQ(0xBEEF, one[1]);

  // A smoothing group whose length runs past the file.
  Chunk groups = smoothingGroup({1, 2});
  groups.length(4000);
  Open(loader, groups.bytes());
  chunk_header sg;
  loader.ReadHeader(&sg);
  EXPECT_EQ(2, loader.ReadSmoothingGroup(sg, nullptr));
  groups.length(3);
  Open(loader, groups.bytes());
  loader.ReadHeader(&sg);
  EXPECT_EQ(0, loader.ReadSmoothingGroup(sg, nullptr));
}

TEST(Malformed, StringsWithoutTerminatorEndAtTheFile) {
  Bytes b = SmallScene();
  // Cut inside the model's name "tri": the object name runs to the end.
  Bytes name{'t', 'r', 'i', 0};
  auto it = std::search(b.begin(), b.end(), name.begin(), name.end());
  ASSERT_NE(b.end(), it);
  Bytes cut(b.begin(), it + 2);
  EXPECT_FALSE(WalkBytes(cut).broken);

  Loader3DS loader;
  Chunk mat(0xAFFF);
  mat.add(Chunk(0xA000).raw({'n', 'o', 'z', 'e', 'r', 'o'}));
  Open(loader, mat.bytes());
  chunk_header h;
  loader.ReadHeader(&h);
  material m;
  EXPECT_TRUE(loader.ReadMaterial(h, m));
  EXPECT_EQ("nozero", m.name);
  EXPECT_EQ(loader.filesize, loader.readpos);
}

TEST(Malformed, SelfContainingAndOverlappingChunksTerminate) {
  // An editor whose first child claims the whole editor again, and a child
  // whose start + length wraps around 32 bits.
  Bytes b = file3ds(editor().add(object("x").length(0xFFFFFFF0u)));
  WalkSummary s = WalkBytes(b);
  EXPECT_EQ(0, s.models);
  Bytes loop = file3ds(editor().add(Chunk(0x3D3D).length(6)).add(object("y")));
  EXPECT_EQ(0, WalkBytes(loop).models);
}
