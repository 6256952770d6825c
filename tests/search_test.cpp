// Chunk searches and the scene directory by index.
#include "testfile.h"

using namespace w3ds;

namespace {

Chunk meshOf(int vertices) {
  std::vector<Vec3> v(vertices, Vec3{1, 2, 3});
  return trimesh().add(vertexList(v));
}

// Objects A (mesh), B (no mesh) and C (mesh), then two materials.
Bytes threeObjects() {
  return file3ds(editor()
                     .add(object("A").add(meshOf(1)))
                     .add(object("B").add(Chunk(0x4600).u32(0)))
                     .add(materialChunk("first"))
                     .add(object("C").add(meshOf(2)).add(meshOf(3)))
                     .add(materialChunk("second")));
}

chunk_header EditorOf(Loader3DS& loader) {
  chunk_header main, editor;
  loader.ReadMainHeader(&main);
  EXPECT_TRUE(loader.FindEdit3DS(main, editor));
  return editor;
}

}  // namespace

TEST(FindChunk, SkipsOtherIdentifiersBetweenMatches) {
  Loader3DS loader;
  Chunk parent(0x7777);
  parent.add(Chunk(0x1).u8(1)).add(Chunk(0x2).u8(2)).add(Chunk(0x1).u8(3));
  Open(loader, parent.bytes());
  chunk_header p, found;
  loader.ReadHeader(&p);
  loader.readpos = 2;
  ASSERT_TRUE(loader.FindChunk(p, found, 0x1, 1));
  EXPECT_EQ(20u, found.start);
  EXPECT_EQ(7u, found.length);
  EXPECT_EQ(2u, loader.readpos);  // restored after success

  EXPECT_FALSE(loader.FindChunk(p, found, 0x1, 2));
  EXPECT_EQ(20u, found.start);  // the last header examined
  EXPECT_EQ(27u, loader.readpos);
  EXPECT_FALSE(loader.FindChunk(p, found, 0x10001, 0));  // above 16 bits
}

TEST(FindChunk, DoesNotDescendIntoChildren) {
  Loader3DS loader;
  Chunk parent(0x7777);
  parent.add(Chunk(0x2).add(Chunk(0x1).u8(1)));
  Open(loader, parent.bytes());
  chunk_header p, found;
  loader.ReadHeader(&p);
  EXPECT_FALSE(loader.FindChunk(p, found, 0x1, 0));
}

TEST(FindChunk, StepsOverObjectNameAndFaceArray) {
  Loader3DS loader;
  Bytes bytes = file3ds(editor().add(object("abc").add(trimesh().add(
      faceList({{0, 1, 2, 0}, {1, 2, 3, 0}}).add(materialRef("m", {0}))))));
  Open(loader, bytes);
  chunk_header object, mesh, faces, ref;
  ASSERT_TRUE(loader.GetModel(0, object));
  ASSERT_TRUE(loader.FindTriMesh(object, mesh, 0));
  EXPECT_EQ(object.start + 6 + 4, mesh.start);
  ASSERT_TRUE(loader.FindFaceList(mesh, faces));
  ASSERT_TRUE(loader.FindMaterialRef(faces, ref, 0));
  EXPECT_EQ(faces.start + 8 + 8 * 2, ref.start);
}

TEST(FindChunk, LargeFaceCountSkipsItsWholeArray) {
  std::vector<Face> many(40000, Face{0, 0, 0, 0});
  Loader3DS loader;
  Open(loader, faceList(many).add(smoothingGroup({1})).bytes());
  chunk_header faces, group;
  loader.ReadHeader(&faces);
  ASSERT_TRUE(loader.FindSmoothingGroup(faces, group));
  EXPECT_EQ(8u + 320000u, group.start);
}

TEST(FindChunk, ShortChildLengthEndsTheScan) {
  for (unsigned int bad : {0u, 1u, 5u}) {
    Loader3DS loader;
    Chunk parent(0x7777);
    parent.add(Chunk(0x2).length(bad)).add(Chunk(0x1));
    Open(loader, parent.bytes());
    chunk_header p, found;
    loader.ReadHeader(&p);
    EXPECT_FALSE(loader.FindChunk(p, found, 0x1, 0)) << bad;
  }
}

TEST(FindEdit3DS, StartsAtOffset16AndFindsEditorBehindOtherChunks) {
  Loader3DS loader;
  Bytes bytes = Chunk(0x4D4D)
                    .add(Chunk(0x0002).u32(3))
                    .add(Chunk(0x1234).u32(0).u32(0))
                    .add(editor())
                    .bytes();
  Open(loader, bytes);
  chunk_header main, found;
  loader.ReadMainHeader(&main);
  ASSERT_TRUE(loader.FindEdit3DS(main, found));
  EXPECT_EQ(30u, found.start);
  EXPECT_EQ(36u, loader.readpos);  // behind the editor's header

  // An editor chunk directly at offset 6 is not where the scan begins.
  Open(loader, Chunk(0x4D4D).add(editor()).add(Chunk(0x0002).u32(3)).bytes());
  loader.ReadMainHeader(&main);
  EXPECT_FALSE(loader.FindEdit3DS(main, found));
}

TEST(FindEdit3DS, RequiresMainIdentifierAndLengthAbove16) {
  Loader3DS loader;
  Bytes bytes = file3ds(editor().add(object("A").add(meshOf(1))));
  bytes[0] = 0x4C;
  Open(loader, bytes);
  EXPECT_EQ(0, loader.ObjectsCount());
  EXPECT_EQ(0, loader.ModelsCount());
  chunk_header found;
  EXPECT_FALSE(loader.GetModel(0, found));

  bytes[0] = 0x4D;
  bytes[2] = 16;
  bytes[3] = bytes[4] = bytes[5] = 0;
  Open(loader, bytes);
  EXPECT_EQ(0, loader.ModelsCount());
  EXPECT_EQ(0, loader.MaterialsCount());
}

TEST(TypedSearches, WrongParentFailsWithoutMoving) {
  Loader3DS loader;
  Open(loader, threeObjects());
  chunk_header editor = EditorOf(loader), found;
  loader.readpos = 3;
  EXPECT_FALSE(loader.FindTriMesh(editor, found, 0));
  EXPECT_FALSE(loader.FindVertexList(editor, found));
  EXPECT_FALSE(loader.FindMaterialRef(editor, found, 0));
  EXPECT_FALSE(loader.FindTexture(editor, found, CHUNK_TEXTUREMAP));
  EXPECT_FALSE(loader.FindModel(found, found, 0));
  EXPECT_FALSE(loader.FindEdit3DS(editor, found));
  EXPECT_EQ(-1, loader.MeshesCount(editor));
  EXPECT_EQ(3u, loader.readpos);
}

TEST(Directory, ObjectsWithoutMeshesAreNotModels) {
  Loader3DS loader;
  Open(loader, threeObjects());
  loader.readpos = 9;
  EXPECT_EQ(3, loader.ObjectsCount());
  EXPECT_EQ(2, loader.ModelsCount());
  EXPECT_EQ(2, loader.MaterialsCount());
  EXPECT_EQ(9u, loader.readpos);

  std::string name;
  EXPECT_TRUE(loader.ModelName(1, name));
  EXPECT_EQ("C", name);
  EXPECT_EQ(9u, loader.readpos);
  EXPECT_FALSE(loader.ModelName(2, name));
  EXPECT_EQ("", name);

  chunk_header c, editor = EditorOf(loader), object;
  ASSERT_TRUE(loader.GetModel(1, c));
  ASSERT_TRUE(loader.FindObject(editor, object, 2));
  EXPECT_EQ(object.start, c.start);
  EXPECT_EQ(2, loader.MeshesCount(c));
}

TEST(Directory, GetMeshTakesTheNthMeshOfTheNthModel) {
  Loader3DS loader;
  Open(loader, threeObjects());
  chunk_header mesh, list;
  ASSERT_TRUE(loader.GetMesh(1, 1, mesh));
  ASSERT_TRUE(loader.FindVertexList(mesh, list));
  EXPECT_EQ(3, loader.ReadVertices(list, nullptr));
  EXPECT_FALSE(loader.GetMesh(1, 2, mesh));
  EXPECT_FALSE(loader.GetMesh(2, 0, mesh));
}

TEST(Directory, MaterialsAndTexturesByPosition) {
  Loader3DS loader;
  Open(loader,
       file3ds(editor()
                   .add(materialChunk("zeta"))
                   .add(materialChunk("alpha").add(textureMap("T.BMP")))));
  chunk_header chunk, map;
  material mat;
  ASSERT_TRUE(loader.GetMaterial(0, chunk));
  ASSERT_TRUE(loader.ReadMaterial(chunk, mat));
  EXPECT_EQ("zeta", mat.name);
  EXPECT_FALSE(loader.FindTexture(chunk, map, CHUNK_TEXTUREMAP));
  EXPECT_FALSE(loader.GetTexture(0, map, CHUNK_TEXTUREMAP));
  ASSERT_TRUE(loader.GetTexture(1, map, CHUNK_TEXTUREMAP));
  texture tex;
  ASSERT_TRUE(loader.ReadTexture(map, tex));
  EXPECT_EQ("T.BMP", tex.filename);
  EXPECT_FALSE(loader.GetMaterial(2, chunk));
  EXPECT_FALSE(loader.GetTexture(2, map, CHUNK_TEXTUREMAP));
}

TEST(Directory, NoFileMeansNoModels) {
  Loader3DS loader;
  chunk_header found;
  std::string name = "x";
  EXPECT_EQ(0, loader.ModelsCount());
  EXPECT_EQ(0, loader.ObjectsCount());
  EXPECT_FALSE(loader.ModelName(0, name));
  EXPECT_EQ("", name);
  EXPECT_FALSE(loader.GetMaterial(0, found));
}

TEST(Directory, ManyObjectsAreCountedInOnePass) {
  // 20000 empty objects: a scan per object would take minutes.
  Chunk ed = editor();
  for (int i = 0; i < 20000; ++i) ed.add(object(""));
  ed.add(object("last").add(meshOf(1)));
  Loader3DS loader;
  Open(loader, file3ds(ed));
  EXPECT_EQ(20001, loader.ObjectsCount());
  EXPECT_EQ(1, loader.ModelsCount());
  std::string name;
  EXPECT_TRUE(loader.ModelName(0, name));
  EXPECT_EQ("last", name);
}
