// The keyframer: where each mesh is drawn, at any frame, and what crafted
// sections of the file are repaired into.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "scene/import.h"
#include "scene/lighting.h"
#include "scene/pose.h"
#include "testfile.h"
#include "writer3ds.h"

using namespace w3ds;

namespace {

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

TEST(Keyframer, BetweenKeysThePositionFollowsTheSplineAndTheTurnTheSlerp) {
  // Keys on frames 0, 10 and 20; frame 2.5 is a quarter of the way (s) from
  // the first to the second.
  //
  // Position x at 0, 10, 30, a Hermite spline with tension, continuity and
  // bias 0: the first key leaves along its chord, 10; the second arrives
  // along the mean of its chords, (10 + 20) / 2 = 15. At s = 1/4 the basis
  // is h00 = 27/32, h01 = 5/32, h10 = 9/64, h11 = -3/64, so
  // x = 5/32 * 10 + 9/64 * 10 - 3/64 * 15 = 2.265625 (a line: 2.5).
  //
  // Rotation: +90 degrees about z, then +90 about x, stored in the sense
  // opposite to a right-handed turn, each on from the one before: A = Rz(-90)
  // and B = Rx(-90) A. The slerp from A to B turns evenly about x: at s =
  // 1/4 it is Rx(-22.5) A. The x axis goes by A to (0, -1, 0), then to
  // (0, -cos 22.5, sin 22.5) = (0, -0.92388, 0.38268); the y axis goes to
  // (1, 0, 0) and stays. (A straight blend made unit turns 21.6, not 22.5.)
  const float quarter = static_cast<float>(std::acos(-1.0) / 2);
  Loader3DS loader;
  Open(loader,
       file3ds(
           editor().add(Cube("box")),
           {objectNode(
               0, "box", 0xFFFF,
               {track(0xB020, {{0, 0, 0, 0}, {10, 10, 0, 0}, {20, 30, 0, 0}}),
                track(0xB021,
                      {{0, quarter, 0, 0, 1}, {10, quarter, 1, 0, 0}})})}));
  Scene scene;
  std::string why;
  ASSERT_TRUE(ImportScene(loader, scene, why));
  std::vector<Matrix> matrices;
  std::vector<bool> shown;
  PoseScene(scene, 2.5, matrices, shown);
  ASSERT_EQ(1u, matrices.size());
  const float from[3][3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  const float to[3][3] = {
      {2.265625f, 0, 0}, {2.265625f, -0.92388f, 0.38268f}, {3.265625f, 0, 0}};
  for (int p = 0; p < 3; ++p) {
    float got[3];
    Transform(matrices[0], from[p], got);
    for (int k = 0; k < 3; ++k)
      EXPECT_NEAR(to[p][k], got[k], 1e-4) << "point " << p << ", axis " << k;
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
    const char* warning = "";  // part of the first warning
  } cases[] = {
      {"no keyframer: as stored", file3ds(cube), 0, 1, 1, 0, 1, 0},
      {"four instances, two units apart",
       file3ds(cube, {objectNode(0, "box", 0xFFFF, {Moved(0, 0, 0)}),
                      objectNode(1, "box", 0xFFFF, {Moved(2, 0, 0)}),
                      objectNode(2, "box", 0xFFFF, {Moved(4, 0, 0)}),
                      objectNode(3, "box", 0xFFFF, {Moved(6, 0, 0)})}),
       0, 4, 4, 0, 7, 0},
      {"a dummy parent moves its child",
       file3ds(cube, {objectNode(7, "$$$DUMMY", 0xFFFF, {Moved(10, 0, 0)}),
                      objectNode(8, "box", 7, {Moved(1, 0, 0)})}),
       0, 1, 1, 11, 12, 0},
      {"after the last key, held",
       file3ds(cube,
               {objectNode(0, "box", 0xFFFF,
                           {track(0xB020, {{0, 0, 0, 0}, {10, 10, 0, 0}})})}),
       50, 1, 1, 10, 11, 0},
      {"keys out of order and on one frame",
       file3ds(
           cube,
           {objectNode(
               0, "box", 0xFFFF,
               {track(0xB020, {{10, 10, 0, 0}, {0, 3, 0, 0}, {0, 5, 0, 0}})})}),
       0, 1, 1, 5, 6, 0},
      {"a key count far beyond the chunk",
       file3ds(cube, {objectNode(0, "box", 0xFFFF,
                                 {track(0xB020, {{0, 2, 0, 0}}, 0xFFFFFFFF)})}),
       0, 1, 1, 2, 3, 0},
      {"non-finite values count as 0",
       file3ds(cube, {objectNode(0, "box", 0xFFFF,
                                 {track(0xB020, {{0, nan, 0, 0}}),
                                  track(0xB021, {{0, nan, 0, 0, 1}})})}),
       0, 1, 1, 0, 1, 0},
      {"a zero axis and a zero scale",
       file3ds(cube, {objectNode(0, "box", 0xFFFF,
                                 {track(0xB021, {{0, 1, 0, 0, 0}}),
                                  track(0xB022, {{0, 0, 0, 0}})})}),
       0, 1, 1, 0, 0, 0},
      {"a parent that names no node, and a loop",
       file3ds(cube, {objectNode(0, "box", 99, {Moved(1, 0, 0)}),
                      objectNode(1, "box", 2), objectNode(2, "box", 1)}),
       0, 3, 3, 0, 2, 2, "parents that do not exist"},
      {"a node that names itself as its parent",
       file3ds(cube, {objectNode(5, "box", 5, {Moved(1, 0, 0)})}), 0, 1, 1, 1,
       2, 1, "name themselves as their parent, a loop"},
      {"a hidden node",
       file3ds(cube, {objectNode(0, "box", 0xFFFF, {track(0xB029, {{0}})})}), 0,
       1, 0, 0, 0, 0},
      {"a chain of 65 535 nodes", file3ds(cube, chain), 0, 1, 1, 65535, 65536,
       0},
      {"65 535 instances of one mesh", file3ds(cube, instances), 0, 65535,
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
    if (*c.warning && !pose.warnings.empty()) {
      EXPECT_NE(std::string::npos, pose.warnings[0].find(c.warning))
          << c.what << ": " << pose.warnings[0];
    }
    EXPECT_LT(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start)
            .count(),
        5.0)
        << c.what;
  }
}

// The file's look takes the lights that are on at the frame, and of more
// than it draws, the brightest: here 10 lights, ever brighter, the
// brightest off and the faintest moved to the top by its node.
TEST(Keyframer, TheFilesLookTakesTheBrightestLightsThatAreOn) {
  Chunk ed = editor().add(Cube("box"));
  for (int i = 0; i < 10; ++i) {
    std::vector<Chunk> parts = {floatColour({0.1f * i, 0.1f * i, 0.1f * i})};
    if (i == 9) parts.push_back(Chunk(0x4620));
    ed.add(lightObject("l" + std::to_string(i), {0, 0, float(i)}, parts));
  }
  // The faintest, twice as bright at frame 10 as the sixth ever is.
  const Bytes file = file3ds(
      ed, {Chunk(0xB008).u32(0).u32(10),
           keyframerNode(0xB005, "l0",
                         {track(0xB025, {{0, 0, 0, 0}, {10, 1, 1, 1}})})});
  Loader3DS loader;
  Open(loader, file);
  Scene scene;
  std::string why;
  ASSERT_TRUE(ImportScene(loader, scene, why)) << why;
  const struct {
    double frame;
    std::vector<std::string> drawn;
  } cases[] = {{0, {"l1", "l2", "l3", "l4", "l5", "l6", "l7", "l8"}},
               {10, {"l0", "l2", "l3", "l4", "l5", "l6", "l7", "l8"}}};
  for (const auto& c : cases) {
    const ScenePose pose(scene, c.frame);
    const FrameLighting lighting = LightingAt(pose, c.frame);
    EXPECT_EQ(9u, lighting.on);
    std::vector<std::string> drawn;
    for (const SceneLight& l : lighting.lights) drawn.push_back(l.name);
    EXPECT_EQ(c.drawn, drawn) << "frame " << c.frame;
  }
}
