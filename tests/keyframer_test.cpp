// The keyframer: where each mesh is drawn, at any frame, and what crafted
// sections of the file are repaired into.
#include <gtest/gtest.h>

#include <cmath>
#include <ctime>
#include <functional>
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
  pose.imported = CheckedImport(loader, scene, why);
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
  ASSERT_TRUE(CheckedImport(loader, scene, why));
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
  ASSERT_TRUE(CheckedImport(loader, scene, why));
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

namespace {

#ifdef __SANITIZE_ADDRESS__
const double kSlowedBy = 4;  // what the sanitizers' checks cost
#else
const double kSlowedBy = 1;
#endif

Chunk CubeEditor() { return editor().add(Cube("box")); }

// Each node one unit on from its parent, the last drawing the cube.
Bytes Chain() {
  std::vector<Chunk> chain;
  for (int i = 0; i < 65535; ++i)
    chain.push_back(
        objectNode(std::uint16_t(i), i == 65534 ? "box" : "$$$DUMMY",
                   std::uint16_t(i == 0 ? 0xFFFF : i - 1), {Moved(1, 0, 0)}));
  return file3ds(CubeEditor(), chain);
}

Bytes Instances() {
  std::vector<Chunk> instances;
  for (int i = 0; i < 65535; ++i)
    instances.push_back(objectNode(std::uint16_t(i), "box", 0xFFFF));
  return file3ds(CubeEditor(), instances);
}

// A file whose keyframer places a unit cube, what it is posed into at a
// frame, and the scene's box along x there.
struct NodesCase {
  const char* what;
  std::function<Bytes()> file;
  double frame = 0;
  size_t placements = 1, shown = 1;
  float lowx = 0, highx = 1;
  size_t warnings = 0;
  const char* warning = "";  // part of the first warning
};
void PrintTo(const NodesCase& c, std::ostream* out) { *out << c.what; }

std::vector<NodesCase> NodesCases() {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  auto with = [](std::vector<Chunk> nodes) {
    return [=] { return file3ds(CubeEditor(), nodes); };
  };
  // clang-format off
  return {
      {.what = "no keyframer: as stored",
       .file = [] { return file3ds(CubeEditor()); }},
      {.what = "four instances, two units apart",
       .file = with({objectNode(0, "box", 0xFFFF, {Moved(0, 0, 0)}),
                     objectNode(1, "box", 0xFFFF, {Moved(2, 0, 0)}),
                     objectNode(2, "box", 0xFFFF, {Moved(4, 0, 0)}),
                     objectNode(3, "box", 0xFFFF, {Moved(6, 0, 0)})}),
       .placements = 4, .shown = 4, .highx = 7},
      {.what = "a dummy parent moves its child",
       .file = with({objectNode(7, "$$$DUMMY", 0xFFFF, {Moved(10, 0, 0)}),
                     objectNode(8, "box", 7, {Moved(1, 0, 0)})}),
       .lowx = 11, .highx = 12},
      {.what = "after the last key, held",
       .file = with({objectNode(0, "box", 0xFFFF,
                                {track(0xB020, {{0, 0, 0, 0},
                                                {10, 10, 0, 0}})})}),
       .frame = 50, .lowx = 10, .highx = 11},
      {.what = "keys out of order and on one frame",
       .file = with({objectNode(0, "box", 0xFFFF,
                                {track(0xB020, {{10, 10, 0, 0}, {0, 3, 0, 0},
                                                {0, 5, 0, 0}})})}),
       .lowx = 5, .highx = 6},
      {.what = "a key count far beyond the chunk",
       .file = with({objectNode(0, "box", 0xFFFF,
                                {track(0xB020, {{0, 2, 0, 0}}, 0xFFFFFFFF)})}),
       .lowx = 2, .highx = 3},
      {.what = "non-finite values count as 0",
       .file = with({objectNode(0, "box", 0xFFFF,
                                {track(0xB020, {{0, nan, 0, 0}}),
                                 track(0xB021, {{0, nan, 0, 0, 1}})})})},
      {.what = "a zero axis and a zero scale",
       .file = with({objectNode(0, "box", 0xFFFF,
                                {track(0xB021, {{0, 1, 0, 0, 0}}),
                                 track(0xB022, {{0, 0, 0, 0}})})}),
       .highx = 0},
      {.what = "tracks without keys",
       .file = with({objectNode(0, "box", 0xFFFF,
                                {track(0xB020, {}), track(0xB021, {}),
                                 track(0xB022, {})})})},
      {.what = "a parent that names no node, and a loop",
       .file = with({objectNode(0, "box", 99, {Moved(1, 0, 0)}),
                     objectNode(1, "box", 2), objectNode(2, "box", 1)}),
       .placements = 3, .shown = 3, .highx = 2, .warnings = 2,
       .warning = "parents that do not exist"},
      {.what = "a node that names itself as its parent",
       .file = with({objectNode(5, "box", 5, {Moved(1, 0, 0)})}), .lowx = 1,
       .highx = 2, .warnings = 1,
       .warning = "name themselves as their parent, a loop"},
      {.what = "a hidden node",
       .file = with({objectNode(0, "box", 0xFFFF, {track(0xB029, {{0}})})}),
       .shown = 0},
      {.what = "a chain of 65 535 nodes", .file = Chain, .lowx = 65535,
       .highx = 65536},
      {.what = "65 535 instances of one mesh", .file = Instances,
       .placements = 65535, .shown = 65535},
  };
  // clang-format on
}

class Nodes : public ::testing::TestWithParam<NodesCase> {};

}  // namespace

// Within a second of processor time each, however many nodes.
TEST_P(Nodes, PlaceInstancesHierarchiesAndCraftedSections) {
  const NodesCase& c = GetParam();
  const Bytes file = c.file();
  const std::clock_t start = std::clock();
  Pose pose = PoseOf(file, c.frame);
  const double seconds = double(std::clock() - start) / CLOCKS_PER_SEC;
  ASSERT_TRUE(pose.imported);
  EXPECT_EQ(c.placements, pose.placements);
  EXPECT_EQ(c.shown, pose.shown);
  if (c.shown) {
    EXPECT_NEAR(c.lowx, pose.low[0], 1e-3);
    EXPECT_NEAR(c.highx, pose.high[0], 1e-3);
  }
  EXPECT_EQ(c.warnings, pose.warnings.size());
  if (*c.warning && !pose.warnings.empty()) {
    EXPECT_NE(std::string::npos, pose.warnings[0].find(c.warning))
        << pose.warnings[0];
  }
  EXPECT_LT(seconds, kSlowedBy) << "seconds of processor time";
}

INSTANTIATE_TEST_SUITE_P(Keyframer, Nodes, ::testing::ValuesIn(NodesCases()),
                         CaseName<NodesCase>);

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
  ASSERT_TRUE(CheckedImport(loader, scene, why)) << why;
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
