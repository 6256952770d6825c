// Decoding mesh and material chunks into caller arrays and records.
#include "testfile.h"

using namespace w3ds;

namespace {

chunk_header OpenChunk(Loader3DS& loader, const Chunk& chunk) {
  Open(loader, chunk.bytes());
  chunk_header h;
  loader.ReadHeader(&h);
  return h;
}

}  // namespace

TEST(ReadVertices, TwoCallsReturnTheCountThenFillInFileOrder) {
  Loader3DS loader;
  chunk_header h =
      OpenChunk(loader, vertexList({{1, 2, 3}, {-4.5f, 5e-3f, 6e7f}}));
  EXPECT_EQ(2, loader.ReadVertices(h, nullptr));
  EXPECT_EQ(8u, loader.readpos);  // just past the count
  float v[7];
  v[6] = 99;
  EXPECT_EQ(2, loader.ReadVertices(h, v));
  EXPECT_EQ(1.0f, v[0]);
  EXPECT_EQ(-4.5f, v[3]);
  EXPECT_EQ(5e-3f, v[4]);
  EXPECT_EQ(6e7f, v[5]);
  EXPECT_EQ(99.0f, v[6]);
  EXPECT_EQ(h.length, loader.readpos);
}

TEST(ArrayReaders, CountZeroWritesNothing) {
  Loader3DS loader;
  float f[1] = {5};
  unsigned short s[1] = {5};
  chunk_header h = OpenChunk(loader, vertexList({}));
  EXPECT_EQ(0, loader.ReadVertices(h, nullptr));
  EXPECT_EQ(0, loader.ReadVertices(h, f));
  h = OpenChunk(loader, faceList({}));
  EXPECT_EQ(0, loader.ReadFaces(h, s));
  h = OpenChunk(loader, mappingCoords({}));
  EXPECT_EQ(0, loader.ReadMappingCoords(h, f));
  EXPECT_EQ(5.0f, f[0]);
  EXPECT_EQ(5, s[0]);
}

TEST(ArrayReaders, WrongChunkKindReturnsMinusOneAndTouchesNothing) {
  Loader3DS loader;
  chunk_header h = OpenChunk(loader, faceList({{0, 1, 2, 0}}));
  loader.readpos = 3;
  float f[3] = {5, 5, 5};
  unsigned short s[3] = {5, 5, 5};
  int g[1] = {5};
  std::string name = "kept";
  EXPECT_EQ(-1, loader.ReadVertices(h, f));
  EXPECT_EQ(-1, loader.ReadMappingCoords(h, f));
  EXPECT_EQ(-1, loader.ReadSmoothingGroup(h, g));
  EXPECT_EQ(-1, loader.ReadMaterialRef(h, name, s));
  material mat;
  EXPECT_FALSE(loader.ReadMaterial(h, mat));
  EXPECT_EQ(5.0f, f[0]);
  EXPECT_EQ(5, g[0]);
  EXPECT_EQ("kept", name);
  EXPECT_EQ(3u, loader.readpos);

  Loader3DS empty;
  EXPECT_EQ(-1, empty.ReadFaces(h, s));
  texture tex;
  EXPECT_FALSE(empty.ReadTexture(h, tex));
}

TEST(ReadFaces, DropsFlagWord) {
  Loader3DS loader;
  chunk_header h = OpenChunk(loader, faceList({{0, 1, 2, 7}, {2, 1, 3, 0}}));
  unsigned short s[7];
  s[6] = 0xBEEF;
  EXPECT_EQ(2, loader.ReadFaces(h, nullptr));
  EXPECT_EQ(2, loader.ReadFaces(h, s));
  const unsigned short want[] = {0, 1, 2, 2, 1, 3, 0xBEEF};
  for (int i = 0; i < 7; ++i) EXPECT_EQ(want[i], s[i]) << i;
  EXPECT_EQ(h.start + 8 + 16, loader.readpos);
}

TEST(ReadMappingCoords, PairsInFileOrder) {
  Loader3DS loader;
  chunk_header h = OpenChunk(loader, mappingCoords({{0.25f, 1}, {0.5f, -2}}));
  float uv[4];
  EXPECT_EQ(2, loader.ReadMappingCoords(h, uv));
  EXPECT_EQ(0.25f, uv[0]);
  EXPECT_EQ(1.0f, uv[1]);
  EXPECT_EQ(0.5f, uv[2]);
  EXPECT_EQ(-2.0f, uv[3]);
}

TEST(ReadMaterialRef, FillsInReverseFileOrderAndNamesOnBothCalls) {
  Loader3DS loader;
  chunk_header h = OpenChunk(loader, materialRef("Steel", {5, 6, 7}));
  std::string name;
  EXPECT_EQ(3, loader.ReadMaterialRef(h, name, nullptr));
  EXPECT_EQ("Steel", name);
  EXPECT_EQ(h.start + 6 + 6 + 2, loader.readpos);
  unsigned short s[3];
  name.clear();
  EXPECT_EQ(3, loader.ReadMaterialRef(h, name, s));
  EXPECT_EQ("Steel", name);
  EXPECT_EQ(7, s[0]);
  EXPECT_EQ(6, s[1]);
  EXPECT_EQ(5, s[2]);
}

TEST(ReadSmoothingGroup, CountComesFromTheLength) {
  Loader3DS loader;
  chunk_header h = OpenChunk(loader, smoothingGroup({}));
  EXPECT_EQ(0, loader.ReadSmoothingGroup(h, nullptr));

  Chunk c = smoothingGroup({1, 2, 3, 4, 5, 6, 7, 8, 9, 0xFFFFFFFFu});
  c.u8(0xAA).u8(0xBB).u8(0xCC);  // 3 stray bytes
  h = OpenChunk(loader, c);
  loader.readpos = 2;
  EXPECT_EQ(10, loader.ReadSmoothingGroup(h, nullptr));
  EXPECT_EQ(2u, loader.readpos);  // the count-only call reads nothing
  int g[11];
  g[10] = 42;
  EXPECT_EQ(10, loader.ReadSmoothingGroup(h, g));
  EXPECT_EQ(1, g[0]);
  EXPECT_EQ(-1, g[9]);
  EXPECT_EQ(42, g[10]);
  EXPECT_EQ(h.start + 46, loader.readpos);
}

TEST(ReadMaterial, ReadsEachPropertyByPosition) {
  Loader3DS loader;
  chunk_header h =
      OpenChunk(loader, materialChunk("M", {255, 0, 0}, {128, 128, 128},
                                      {0, 0, 255}, 25, 10, 50));
  material mat;
  ASSERT_TRUE(loader.ReadMaterial(h, mat));
  EXPECT_EQ("M", mat.name);
  EXPECT_EQ(255, mat.ambient[0]);
  EXPECT_EQ(0, mat.ambient[2]);
  EXPECT_EQ(128, mat.diffuse[1]);
  EXPECT_EQ(0, mat.specular[0]);
  EXPECT_EQ(255, mat.specular[2]);
  EXPECT_EQ(25, mat.shininess);
  EXPECT_EQ(50, mat.transparency);
}

TEST(ReadMaterial, GammaCopyOfAColourIsPassedOver) {
  Loader3DS loader;
  Chunk m =
      Chunk(0xAFFF)
          .add(Chunk(0xA000).str("G"))
          .add(colour(0xA010, {1, 2, 3}).add(Chunk(0x0012).u8(9).u8(9).u8(9)))
          .add(colour(0xA020, {4, 5, 6}))
          .add(colour(0xA030, {7, 8, 9}))
          .add(percent(0xA040, 1))
          .add(percent(0xA041, 2))
          .add(percent(0xA050, 3));
  chunk_header h = OpenChunk(loader, m);
  material mat;
  ASSERT_TRUE(loader.ReadMaterial(h, mat));
  EXPECT_EQ(1, mat.ambient[0]);
  EXPECT_EQ(3, mat.ambient[2]);
  EXPECT_EQ(4, mat.diffuse[0]);
  EXPECT_EQ(9, mat.specular[2]);
  EXPECT_EQ(3, mat.transparency);
}

TEST(Records, DefaultMaterialIsEmptyAndZero) {
  material mat;
  EXPECT_EQ("", mat.name);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(0, mat.ambient[i]);
    EXPECT_EQ(0, mat.diffuse[i]);
    EXPECT_EQ(0, mat.specular[i]);
  }
  EXPECT_EQ(0, mat.shininess);
  EXPECT_EQ(0, mat.transparency);
  EXPECT_EQ("", texture().filename);
}

TEST(ReadTexture, NameOfAnyMapChunkKeptExactly) {
  Loader3DS loader;
  chunk_header h = OpenChunk(loader, textureMap("MAPS\\Rock Face.BMP"));
  texture tex;
  ASSERT_TRUE(loader.ReadTexture(h, tex));
  EXPECT_EQ("MAPS\\Rock Face.BMP", tex.filename);

  Chunk bump(0xA230);  // another map, laid out the same way
  bump.add(Chunk(0x0030).u16(50)).add(Chunk(0xA300).str("bump.bmp"));
  h = OpenChunk(loader, bump);
  ASSERT_TRUE(loader.ReadTexture(h, tex));
  EXPECT_EQ("bump.bmp", tex.filename);
}
