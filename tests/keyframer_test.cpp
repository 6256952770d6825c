// The keyframer: where each mesh is drawn, at any frame, and what crafted
// sections of the file are repaired into.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <limits>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "import.h"
#include "info.h"
#include "pose.h"
#include "testfile.h"
#include "writer3ds.h"

using namespace w3ds;

namespace {

Chunk Moved(float x, float y, float z) { return track(0xB020, {{0, x, y, z}}); }

// A unit cube at the origin, with the identity as its own matrix.
Chunk Cube(const std::string& name) {
  std::vector<Vec3> v;
  for (int i = 0; i < 8; ++i)
    v.push_back({float(i & 1), float(i >> 1 & 1), float(i >> 2 & 1)});
  Chunk matrix(0x4160);
  for (float m : {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0}) matrix.f32(m);
  return object(name).add(trimesh()
                              .add(vertexList(v))
                              .add(matrix)
                              .add(faceList({{0, 1, 3, 0}, {4, 5, 7, 0}})));
}

Bytes WithKeyframer(const Chunk& objects, const std::vector<Chunk>& nodes) {
  return file3ds(objects, nodes);
}

struct Pose {
  bool imported = false;
  size_t placements = 0, shown = 0;
  float low[3] = {0, 0, 0}, high[3] = {0, 0, 0};
  std::vector<std::string> warnings;
};

Pose PoseOf(const Bytes& file, double frame) {
  Loader3DS loader;
  Pose pose;
  Open(loader, file);
  Scene scene;
  std::string why;
  pose.imported = ImportScene(loader, scene, why);
  if (!pose.imported) return pose;
  std::vector<Matrix> matrices;
  std::vector<bool> shown;
  PoseScene(scene, frame, matrices, shown);
  pose.placements = matrices.size();
  for (bool s : shown) pose.shown += s;
  SceneBox(scene, frame, false, pose.low, pose.high);
  pose.warnings = scene.warnings;
  return pose;
}

}  // namespace

TEST(Keyframer, RotatingCubeReturnsToItsStoredVerticesFromItsLastKey) {
  Loader3DS loader;
  ASSERT_TRUE(loader.OpenFile(TEST_DATA_DIR "/RotatingCube.3DS"));
  Scene scene;
  std::string why;
  ASSERT_TRUE(ImportScene(loader, scene, why));
  ASSERT_EQ(182u, scene.keyframer.nodes[0].rotation.count);
  ASSERT_EQ(1u, scene.placements.size());
  const SceneMesh& mesh = scene.meshes[0];
  for (double frame : {0.0, 90.0, 181.0, 240.0}) {
    std::vector<Matrix> matrices;
    std::vector<bool> shown;
    PoseScene(scene, frame, matrices, shown);
    float worst = 0;
    for (size_t v = 0; v < mesh.vertices.size(); v += 3) {
      float p[3];
      Transform(matrices[0], &mesh.vertices[v], p);
      for (int k = 0; k < 3; ++k)
        worst = std::max(worst, std::fabs(p[k] - mesh.vertices[v + k]));
    }
    // Rotations accumulate, with the stored sense negated, about the pivot.
    if (frame >= 181)
      EXPECT_LT(worst, 1e-3f) << "frame " << frame;
    else
      EXPECT_GT(worst, 1.0f) << "frame " << frame;
  }
}

TEST(Keyframer, NodesPlaceInstancesHierarchiesAndCraftedSections) {
  const Chunk cube = editor().add(Cube("box"));
  const float nan = std::numeric_limits<float>::quiet_NaN();
  std::vector<Chunk> chain;  // each node one unit on from its parent
  for (int i = 0; i < 65535; ++i)
    chain.push_back(
        objectNode(std::uint16_t(i), i == 65534 ? "box" : "$$$DUMMY",
                   std::uint16_t(i == 0 ? 0xFFFF : i - 1), {Moved(1, 0, 0)}));
  std::vector<Chunk> instances;
  for (int i = 0; i < 65535; ++i)
    instances.push_back(objectNode(std::uint16_t(i), "box", 0xFFFF));
  const struct {
    const char* what;
    Bytes file;
    double frame;
    size_t placements, shown;
    float lowx, highx;  // the scene's box along x
    size_t warnings;
  } cases[] = {
      {"no keyframer: as stored", file3ds(cube), 0, 1, 1, 0, 1, 0},
      {"four instances, two units apart",
       WithKeyframer(cube, {objectNode(0, "box", 0xFFFF, {Moved(0, 0, 0)}),
                            objectNode(1, "box", 0xFFFF, {Moved(2, 0, 0)}),
                            objectNode(2, "box", 0xFFFF, {Moved(4, 0, 0)}),
                            objectNode(3, "box", 0xFFFF, {Moved(6, 0, 0)})}),
       0, 4, 4, 0, 7, 0},
      {"a dummy parent moves its child",
       WithKeyframer(cube,
                     {objectNode(7, "$$$DUMMY", 0xFFFF, {Moved(10, 0, 0)}),
                      objectNode(8, "box", 7, {Moved(1, 0, 0)})}),
       0, 1, 1, 11, 12, 0},
      {"keys between frames follow the spline; after the last, held",
       WithKeyframer(
           cube, {objectNode(0, "box", 0xFFFF,
                             {track(0xB020, {{0, 0, 0, 0}, {10, 10, 0, 0}})})}),
       50, 1, 1, 10, 11, 0},
      {"keys out of order and on one frame",
       WithKeyframer(
           cube,
           {objectNode(
               0, "box", 0xFFFF,
               {track(0xB020, {{10, 10, 0, 0}, {0, 3, 0, 0}, {0, 5, 0, 0}})})}),
       0, 1, 1, 5, 6, 0},
      {"a key count far beyond the chunk",
       WithKeyframer(cube,
                     {objectNode(0, "box", 0xFFFF,
                                 {track(0xB020, {{0, 2, 0, 0}}, 0xFFFFFFFF)})}),
       0, 1, 1, 2, 3, 0},
      {"non-finite values count as 0",
       WithKeyframer(cube, {objectNode(0, "box", 0xFFFF,
                                       {track(0xB020, {{0, nan, 0, 0}}),
                                        track(0xB021, {{0, nan, 0, 0, 1}})})}),
       0, 1, 1, 0, 1, 0},
      {"a zero axis and a zero scale",
       WithKeyframer(cube, {objectNode(0, "box", 0xFFFF,
                                       {track(0xB021, {{0, 1, 0, 0, 0}}),
                                        track(0xB022, {{0, 0, 0, 0}})})}),
       0, 1, 1, 0, 0, 0},
      {"a parent that names no node, and a loop",
       WithKeyframer(cube, {objectNode(0, "box", 99, {Moved(1, 0, 0)}),
                            objectNode(1, "box", 2), objectNode(2, "box", 1)}),
       0, 3, 3, 0, 2, 2},
      {"a hidden node",
       WithKeyframer(cube,
                     {objectNode(0, "box", 0xFFFF, {track(0xB029, {{0}})})}),
       0, 1, 0, 0, 0, 0},
      {"a chain of 65 535 nodes", WithKeyframer(cube, chain), 0, 1, 1, 65535,
       65536, 0},
      {"65 535 instances of one mesh", WithKeyframer(cube, instances), 0, 65535,
       65535, 0, 1, 0},
  };
  for (const auto& c : cases) {
    const auto start = std::chrono::steady_clock::now();
    Pose pose = PoseOf(c.file, c.frame);
    ASSERT_TRUE(pose.imported) << c.what;
    EXPECT_EQ(c.placements, pose.placements) << c.what;
    EXPECT_EQ(c.shown, pose.shown) << c.what;
    if (c.shown) {
      EXPECT_NEAR(c.lowx, pose.low[0], 1e-3) << c.what;
      EXPECT_NEAR(c.highx, pose.high[0], 1e-3) << c.what;
    }
    EXPECT_EQ(c.warnings, pose.warnings.size()) << c.what;
    EXPECT_LT(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start)
            .count(),
        5.0)
        << c.what;
  }
}

TEST(Info, JsonListsEveryPlacementWithItsBoxInTheFilesCoordinates) {
  // Two instances of a cube under a dummy moved 10 along x, and a name with
  // bytes that are not UTF-8.
  Chunk ed = editor()
                 .add(Cube("box"))
                 .add(materialChunk("m\xe9tal", {}, {255, 0, 0})
                          .add(textureMap("none.png")));
  Loader3DS loader;
  Open(loader,
       file3ds(ed, {objectNode(0, "$$$DUMMY", 0xFFFF, {Moved(10, 0, 0)}),
                    objectNode(1, "box", 0, {Moved(0, 0, 0)}),
                    objectNode(2, "box", 0, {Moved(0, 3, 0)})}));
  Scene scene;
  std::string why;
  ASSERT_TRUE(ImportScene(loader, scene, why));
  const nlohmann::json info = nlohmann::json::parse(InfoJson(
      scene, "f.3ds", -1, [](const std::string&) { return std::string(); }));
  for (const char* key : {"file", "models", "frame", "frames", "box", "nodes",
                          "materials", "cameras", "warnings"})
    EXPECT_TRUE(info.contains(key)) << key;
  ASSERT_EQ(2u, info["nodes"].size());
  const float lows[2][3] = {{10, 0, 0}, {10, 3, 0}};
  for (int n = 0; n < 2; ++n)
    for (int k = 0; k < 3; ++k) {
      EXPECT_FLOAT_EQ(lows[n][k],
                      info["nodes"][n]["box"]["low"][k].get<float>());
      EXPECT_FLOAT_EQ(lows[n][k] + 1,
                      info["nodes"][n]["box"]["high"][k].get<float>());
    }
  EXPECT_FLOAT_EQ(4, info["box"]["high"][1].get<float>());
  EXPECT_EQ("m\xc3\xa9tal", info["materials"][0]["name"]);
  EXPECT_TRUE(info["materials"][0]["texture"]["file"].is_null());
  EXPECT_EQ(2, info["materials"][0]["texture"]["scale"].size());
}

TEST(Info, CamerasMoveWithTheirNodesAndBrokenOnesArePassedOver) {
  auto camera = [](const std::string& name, float lens) {
    Chunk c(0x4700);
    for (float v : {0.0f, -10.0f, 0.0f, 0.0f, 0.0f, 0.0f, 5.0f, lens}) c.f32(v);
    return object(name).add(c);
  };
  auto node = [](std::uint16_t id, const std::string& name,
                 std::vector<Chunk> tracks) {
    Chunk c(id);
    c.add(Chunk(0xB010).str(name).u16(0).u16(0).u16(0xFFFF));
    for (const Chunk& t : tracks) c.add(t);
    return c;
  };
  const float fov = 2 * std::atan(18.0f / 35) * 180 / std::acos(-1.0f);
  Chunk ed =
      editor().add(Cube("box")).add(camera("cam", 50)).add(camera("flat", 0));
  Loader3DS loader;
  Open(loader,
       file3ds(ed, {node(0xB003, "cam",
                         {track(0xB020, {{0, 0, -20, 0}}),
                          track(0xB023, {{0, fov}}), track(0xB024, {{0, 30}})}),
                    node(0xB004, "cam", {track(0xB020, {{0, 1, 0, 0}})})}));
  Scene scene;
  std::string why;
  ASSERT_TRUE(ImportScene(loader, scene, why));
  const nlohmann::json info = nlohmann::json::parse(InfoJson(
      scene, "f.3ds", 0, [](const std::string&) { return std::string(); }));
  ASSERT_EQ(1u, info["cameras"].size());
  const nlohmann::json& cam = info["cameras"][0];
  EXPECT_FLOAT_EQ(-20, cam["position"][1].get<float>());
  EXPECT_FLOAT_EQ(1, cam["target"][0].get<float>());
  EXPECT_FLOAT_EQ(30, cam["roll"].get<float>());
  EXPECT_NEAR(35, cam["lens"].get<float>(), 1e-3);
  ASSERT_EQ(1u, info["warnings"].size());
  EXPECT_NE(std::string::npos,
            info["warnings"][0].get<std::string>().find("\"flat\""));
}
