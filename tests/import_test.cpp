// The import of a file's models: materials by name, face groups, what cannot
// be drawn, and smoothing groups.
#include "scene/import.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <string>
#include <vector>

#include "base/input_files.h"
#include "testfile.h"
#include "writer3ds.h"

using namespace w3ds;

// Four faces over four vertices, with mapping coordinates.
static Chunk FourFaces(const std::string& name) {
  return object(name).add(
      trimesh()
          .add(vertexList({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 2}}))
          .add(mappingCoords({{0, 0}, {1, 0}}))
          .add(
              faceList({{0, 1, 2, 0}, {1, 3, 2, 0}, {0, 3, 1, 0}, {0, 2, 3, 0}})
                  .add(materialRef("green", {1, 7, 2}))
                  .add(materialRef("red", {2, 0}))
                  .add(materialRef("nosuch", {3}))));
}

TEST(SceneImport, FacesTakeTheMaterialThatTheFileNamesFirst) {
  // "green" keeps its colour as floats and comes before its name; "red" is
  // laid out as tools usually write it, with a texture map.
  Chunk green = Chunk(0xAFFF)
                    .add(Chunk(0xA020).add(Chunk(0x0010).f32(0).f32(1).f32(0)))
                    .add(Chunk(0xA000).str("green"));
  Loader3DS loader;
  Open(loader, file3ds(editor()
                           .add(materialChunk("red", {9, 9, 9}, {255, 0, 0})
                                    .add(textureMap("MAPS\\RED.PNG")))
                           .add(green)
                           .add(materialChunk("green", {0, 0, 255}))
                           .add(FourFaces("m"))));
  Scene scene;
  std::string why;
  ASSERT_TRUE(CheckedImport(loader, scene, why)) << why;
  ASSERT_EQ(3u, scene.materials.size());
  EXPECT_EQ("MAPS\\RED.PNG", scene.materials[0].texture.image);
  EXPECT_EQ(1.0f, scene.materials[0].diffuse[0]);
  EXPECT_EQ(0.0f, scene.materials[0].diffuse[1]);
  EXPECT_EQ("green", scene.materials[1].name);
  EXPECT_EQ(1.0f, scene.materials[1].diffuse[1]);

  // Face 3 names a material the file does not have; face 2 is named twice
  // and keeps green; face index 7 is beyond the faces and is ignored.
  ASSERT_EQ(1u, scene.meshes.size());
  const SceneMesh& mesh = scene.meshes[0];
  ASSERT_EQ(3u, mesh.groups.size());
  const int material[3] = {-1, 0, 1};
  const std::vector<unsigned int> corners[3] = {
      {0, 2, 3}, {0, 1, 2}, {1, 3, 2, 0, 3, 1}};
  for (int g = 0; g < 3; ++g) {
    EXPECT_EQ(material[g], mesh.groups[g].material) << g;
    EXPECT_EQ(corners[g], mesh.groups[g].corners) << g;
  }
  EXPECT_EQ(8u, mesh.coords.size());  // two pairs given, two padded
  EXPECT_TRUE(scene.bounded);
  EXPECT_EQ(2.0f, scene.high[2]);
}

TEST(SceneImport, LeavesOutWhatCannotBeDrawnAndRefusesAFileWithNothing) {
  Mesh tri{{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2, 0}}, {}};
  Mesh beyond = tri;
  beyond.faces = {{0, 1, 3, 0}};
  Chunk novertices = object("nov").add(trimesh().add(faceList(tri.faces)));
  Chunk nofaces = object("nof").add(trimesh().add(vertexList(tri.vertices)));
  Chunk far = modelObject("far", beyond, "m");
  // Far away but named by no face: not part of the box.
  Mesh stray = tri;
  stray.vertices.push_back({1e9f, 1e9f, 1e9f});
  const struct {
    const char* what;
    Bytes file;
    bool drawable;
    const char* why;
    std::vector<std::string> warnings;
  } cases[] = {
      // clang-format off
      {"no editor", Chunk(0x4D4D).bytes(), false, "no model that can be drawn",
       {}},
      {"no version chunk: the editor comes first",
       Chunk(0x4D4D).add(editor().add(modelObject("ok", tri, "m"))).bytes(),
       true, "", {}},
      {"only broken models", file3ds(editor().add(novertices).add(far)), false,
       "no model that can be drawn",
       {"model 0 \"nov\" is left out: no vertex list chunk (0x4110)",
        "model 1 \"far\" is left out: face 0 names vertex 3 of 3"}},
      {"broken models beside a good one",
       file3ds(editor().add(nofaces).add(modelObject("ok", stray, "m"))
                       .add(far)),
       true, "",
       {"model 0 \"nof\" is left out: no face list chunk (0x4120)",
        "model 2 \"far\" is left out: face 0 names vertex 3 of 3"}},
      // clang-format on
  };
  for (const auto& c : cases) {
    Loader3DS loader;
    Open(loader, c.file);
    Scene scene;
    std::string why;
    EXPECT_EQ(c.drawable, CheckedImport(loader, scene, why)) << c.what;
    EXPECT_EQ(c.why, why) << c.what;
    EXPECT_EQ(c.warnings, scene.warnings) << c.what;
    if (c.drawable) {
      EXPECT_EQ(1.0f, scene.high[0]) << c.what;
    }
  }
}

TEST(SceneImport, SmoothingGroupsKeepTheEdgesBetweenThemSharp) {
  // A cube over 8 shared corners, two faces a side, behind `unused` vertices
  // that no face names.
  const std::uint16_t sides[6][4] = {{0, 2, 6, 4}, {1, 3, 7, 5}, {0, 1, 5, 4},
                                     {2, 3, 7, 6}, {0, 1, 3, 2}, {4, 5, 7, 6}};
  // Each side's normal as its winding gives it.
  const Vec3 sidenormal[6] = {{1, 0, 0},  {1, 0, 0}, {0, -1, 0},
                              {0, -1, 0}, {0, 0, 1}, {0, 0, 1}};
  auto groups = [](std::uint32_t (*mask)(int side)) {
    std::vector<std::uint32_t> masks;
    for (int f = 0; f < 12; ++f) masks.push_back(mask(f / 2));
    return smoothingGroup(masks);
  };
  const struct {
    const char* what;
    bool chunk;
    Chunk masks;
    size_t vertices;
    bool sharp;
    std::uint16_t unused;
  } cases[] = {
      {"no smoothing groups", false, Chunk(0), 8, false, 0},
      {"no smoothing groups, faces naming only vertices past 3 x their count",
       false, Chunk(0), 8, false, 40},
      {"one group", true, groups([](int) { return 1u; }), 8, false, 0},
      {"a group a side", true, groups([](int s) { return 1u << s; }), 24, true,
       0},
      {"no group: flat", true, groups([](int) { return 0u; }), 36, true, 0},
  };
  for (const auto& c : cases) {
    std::vector<Vec3> corners(c.unused, Vec3{9, 9, 9});
    for (int i = 0; i < 8; ++i)
      corners.push_back({float(i & 1), float(i >> 1 & 1), float(i >> 2 & 1)});
    std::vector<Face> faces;
    for (const auto& s : sides) {
      const std::uint16_t u = c.unused;
      faces.push_back({std::uint16_t(s[0] + u), std::uint16_t(s[1] + u),
                       std::uint16_t(s[2] + u), 0});
      faces.push_back({std::uint16_t(s[0] + u), std::uint16_t(s[2] + u),
                       std::uint16_t(s[3] + u), 0});
    }
    Chunk facelist = faceList(faces);
    if (c.chunk) facelist.add(c.masks);
    Loader3DS loader;
    Open(loader, file3ds(editor().add(object("cube").add(
                     trimesh().add(vertexList(corners)).add(facelist)))));
    Scene scene;
    std::string why;
    ASSERT_TRUE(CheckedImport(loader, scene, why)) << c.what;
    const SceneMesh& mesh = scene.meshes[0];
    EXPECT_EQ(3 * c.vertices, mesh.vertices.size()) << c.what;
    ASSERT_EQ(mesh.vertices.size(), mesh.normals.size()) << c.what;
    // Sharp: each corner has its side's normal. Smooth: the sum of the
    // normals of the faces at its vertex, made unit length.
    const std::vector<unsigned int>& drawn = mesh.groups[0].corners;
    ASSERT_EQ(36u, drawn.size()) << c.what;
    for (size_t corner = 0; corner < 36; ++corner) {
      Vec3 want = sidenormal[corner / 6];
      if (!c.sharp) {
        want = {0, 0, 0};
        for (size_t f = 0; f < faces.size(); ++f)
          for (int k = 0; k < 3; ++k)
            if (faces[f][k] == faces[corner / 3][corner % 3])
              for (int a = 0; a < 3; ++a) want[a] += sidenormal[f / 2][a];
        const float length = std::sqrt(want[0] * want[0] + want[1] * want[1] +
                                       want[2] * want[2]);
        for (float& a : want) a /= length;
      }
      for (int a = 0; a < 3; ++a)
        EXPECT_NEAR(want[a], mesh.normals[3 * drawn[corner] + a], 1e-6f)
            << c.what << ", corner " << corner;
    }
  }
}

TEST(SceneImport, FlatFacesStayFlatPast65536SplitVertices) {
  // A strip of faces folded along the y axis, alternately in the z = 0 and
  // the x = 0 plane, in no smoothing group: 66 000 corners of their own.
  std::vector<Vec3> vertices;
  std::vector<Face> faces;
  const int kSteps = 11000;
  for (int i = 0; i < kSteps; ++i) {
    const float y = static_cast<float>(i);
    vertices.push_back({0, y, 0});
    vertices.push_back({1, y, 0});
    vertices.push_back({0, y, 1});
  }
  for (int i = 0; i + 1 < kSteps; ++i) {
    const std::uint16_t v = static_cast<std::uint16_t>(3 * i);
    faces.push_back({v, std::uint16_t(v + 1), std::uint16_t(v + 3), 0});
    faces.push_back({v, std::uint16_t(v + 3), std::uint16_t(v + 2), 0});
  }
  Chunk facelist = faceList(faces).add(
      smoothingGroup(std::vector<std::uint32_t>(faces.size(), 0)));
  Loader3DS loader;
  Open(loader, file3ds(editor().add(object("strip").add(
                   trimesh().add(vertexList(vertices)).add(facelist)))));
  Scene scene;
  std::string why;
  ASSERT_TRUE(CheckedImport(loader, scene, why));
  const SceneMesh& mesh = scene.meshes[0];
  ASSERT_EQ(9 * faces.size(), mesh.vertices.size());
  const std::vector<unsigned int>& drawn = mesh.groups[0].corners;
  for (size_t corner = 0; corner < drawn.size(); ++corner) {
    const float* n = &mesh.normals[3 * drawn[corner]];
    const bool zplane = corner / 3 % 2 == 0;
    ASSERT_EQ(zplane ? 0.0f : 1.0f, n[0]) << corner;
    ASSERT_EQ(0.0f, n[1]) << corner;
    ASSERT_EQ(zplane ? 1.0f : 0.0f, n[2]) << corner;
  }
}

// A model file of 16 MiB or more is mapped, not read: should it become
// shorter while it is imported, the pages that it no longer holds read as
// zeros instead of raising SIGBUS, and the import says that it shrank.
TEST(SceneImport, AMappedFileThatBecomesShorterReadsAsZeros) {
  Chunk ed = editor();
  ed.add(Chunk(0x1234).raw(Bytes(kMappedModelBytes)));  // passed over
  ed.add(object("a").add(trimesh()
                             .add(vertexList({{0, 0, 0}, {1, 0, 0}, {0, 0, 1}}))
                             .add(faceList({{0, 1, 2, 0}}))));
  const std::string path = TempPath("large.3ds");
  ASSERT_TRUE(writeFile(path, file3ds(ed)));
  Loader3DS loader;
  FileId id;
  std::string why;
  ASSERT_TRUE(OpenModelFile(path, loader, id, why)) << why;
  ASSERT_EQ(0, truncate(path.c_str(), 4096));
  Scene scene;
  EXPECT_FALSE(ImportScene(loader, scene, why)) << "the mesh past the end";
  EXPECT_TRUE(ModelFileShrank());
  EXPECT_EQ(0, loader.filebuffer[loader.filesize - 1]);
}
