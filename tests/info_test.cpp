// --info as JSON: every placement with its box, and the cameras where the
// keyframer takes them.
#include "info/info.h"

#include <gtest/gtest.h>

#include <cmath>
#include <nlohmann/json.hpp>
#include <string>

#include "scene/import.h"
#include "scene/pose.h"
#include "testfile.h"

using namespace w3ds;

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
  ASSERT_TRUE(CheckedImport(loader, scene, why));
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

// One small file in both forms, field by field: a prism whose own box is
// twice its area, turned 45 degrees about z, so that its box as drawn is
// the square of +-sqrt(1/2) about the origin, where the corners of its own
// box turn to +-sqrt(2); a material with two maps, and a camera. The JSON's
// keys come in the order that a dump by key gives.
TEST(Info, BothFormsTellEveryFieldOfASmallFile) {
  std::vector<Vec3> prism;
  for (float z : {0.0f, 1.0f})
    for (Vec3 v : {Vec3{1, 0, z}, {0, 1, z}, {-1, 0, z}, {0, -1, z}})
      prism.push_back(v);
  Chunk matrix(0x4160);
  for (float m : {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0}) matrix.f32(m);
  Chunk material = materialChunk("m", {}, {255, 0, 0}, {255, 255, 255}, 50, 100)
                       .add(Chunk(0xA081))
                       .add(textureMap("t.png"))
                       .add(Chunk(0xA204).add(Chunk(0xA300).str("s.png")));
  const float eighth = static_cast<float>(std::acos(-1.0) / 4);
  Loader3DS loader;
  Open(loader,
       file3ds(editor()
                   .add(material)
                   .add(object("gem").add(
                       trimesh()
                           .add(vertexList(prism))
                           .add(matrix)
                           .add(faceList({{0, 1, 2, 0},
                                          {0, 2, 3, 0},
                                          {4, 5, 6, 0},
                                          {4, 6, 7, 0}})
                                    .add(materialRef("m", {0, 1, 2, 3})))))
                   .add(cameraObject("cam", {0, -10, 0}, {0, 0, 0}, 0, 50)),
               {objectNode(0, "gem", 0xFFFF,
                           {Chunk(0xB011).str("a"),
                            track(0xB021, {{0, eighth, 0, 0, 1}})})}));
  Scene scene;
  std::string why;
  ASSERT_TRUE(CheckedImport(loader, scene, why)) << why;
  const ImageFinder find = [](const std::string& stored) {
    return stored == "t.png" ? std::string("maps/t.png") : std::string();
  };
  const char* const box =
      "box (-0.707107 -0.707107 0) to (0.707107 0.707107 1)";
  EXPECT_EQ(std::string("f.3ds: 1 models, 1 drawn, frame 0 of 0 to 0, ") + box +
                ", boxes from the vertices\n"
                "  mesh \"gem\" (instance \"a\"): 8 vertices, 4 faces, " +
                box +
                "\n"
                "  material \"m\": diffuse 1 0 0, specular 1 1 1, shininess "
                "0.5, transparency 0, two-sided, phong, texture \"t.png\" "
                "found as maps/t.png, specular map \"s.png\" missing\n"
                "  camera \"cam\": at 0 -10 0, looking at 0 0 0, roll 0, lens "
                "50 mm\n",
            InfoText(scene, "f.3ds", -1, find));
  const auto json =
      nlohmann::ordered_json::parse(InfoJson(scene, "f.3ds", -1, find));
  auto keys = [](const nlohmann::ordered_json& object) {
    std::string names;
    for (auto it = object.begin(); it != object.end(); ++it)
      names += (names.empty() ? "" : " ") + it.key();
    return names;
  };
  EXPECT_EQ(
      "box box_from cameras file frame frames materials models nodes warnings",
      keys(json));
  EXPECT_EQ("vertices", json["box_from"]);
  EXPECT_EQ("high low", keys(json["box"]));
  EXPECT_EQ("box faces instance mesh name vertices", keys(json["nodes"][0]));
  EXPECT_EQ(
      "diffuse name opacity_map shading shininess specular specular_map "
      "texture transparency two_sided",
      keys(json["materials"][0]));
  EXPECT_EQ("file mirrored offset rotation scale stored tiled",
            keys(json["materials"][0]["texture"]));
  EXPECT_EQ("lens name position roll target", keys(json["cameras"][0]));
  for (int k = 0; k < 2; ++k) {
    EXPECT_NEAR(-std::sqrt(0.5), json["box"]["low"][k].get<double>(), 1e-6);
    EXPECT_NEAR(std::sqrt(0.5), json["box"]["high"][k].get<double>(), 1e-6);
  }
  // Past the budget, the corners of the prism's own box stand for it.
  const std::vector<float> corners = DrawnPoints(scene, 0, 7);
  ASSERT_EQ(24u, corners.size());
  float low[3], high[3];
  bool bounded = false;
  for (size_t p = 0; p < corners.size(); p += 3)
    GrowBox(&corners[p], bounded, low, high);
  for (int k = 0; k < 2; ++k) {
    EXPECT_NEAR(-std::sqrt(2.0), low[k], 1e-6);
    EXPECT_NEAR(std::sqrt(2.0), high[k], 1e-6);
  }
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
  ASSERT_TRUE(CheckedImport(loader, scene, why));
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

namespace {

const float kNaN = std::nanf("");

// The --info=json of `bytes`, at `frame`, textures all missing.
nlohmann::json InfoOf(const Bytes& bytes, long frame = -1,
                      const std::string& file = "f.3ds") {
  Loader3DS loader;
  Open(loader, bytes);
  Scene scene;
  std::string why;
  if (!CheckedImport(loader, scene, why)) return why;
  return nlohmann::json::parse(InfoJson(
      scene, file, frame, [](const std::string&) { return std::string(); }));
}

// A unit triangle whose own matrix is `m` (axes, then origin).
Chunk Placed(const std::string& name, std::vector<float> m, Vec3 first = {}) {
  Chunk matrix(0x4160);
  for (float v : m) matrix.f32(v);
  return object(name).add(trimesh()
                              .add(vertexList({first, {1, 0, 0}, {0, 0, 1}}))
                              .add(matrix)
                              .add(faceList({{0, 1, 2, 0}})));
}
const std::vector<float> kStill = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};

Chunk WithPivot(Chunk node, float p) {
  Chunk pivot(0xB013);
  for (int k = 0; k < 3; ++k) pivot.f32(p);
  return node.add(pivot);
}

// Every number in `value` is finite: the writer would have made the others
// null, which only a missing map, file or box may be.
bool AllFinite(const nlohmann::json& value, const std::string& key = "") {
  if (value.is_null())
    return key == "file" || key == "box" ||
           key.find("map") != std::string::npos || key == "texture";
  for (auto it = value.begin(); value.is_structured() && it != value.end();
       ++it)
    if (!AllFinite(*it, value.is_object() ? it.key() : key)) return false;
  return true;
}

}  // namespace

// Seven ways to numbers past the floats' range: the placement is left out
// with a warning, and nothing that is not finite is told.
TEST(Info, PlacementsThatAreNotFiniteAreLeftOutWithAWarning) {
  std::vector<Chunk> chain;
  for (std::uint16_t n = 0; n < 200; ++n)
    chain.push_back(objectNode(n, "a", n ? n - 1 : 0xFFFF,
                               {track(0xB022, {{0, 2, 2, 2}})}));
  const struct {
    const char* what;
    Bytes file;
  } cases[] = {
      {"a stored vertex that is not a number",
       file3ds(editor()
                   .add(Placed("a", kStill, {kNaN, 0, 0}))
                   .add(Placed("b", kStill)))},
      {"a mesh matrix with an origin that is not a number",
       file3ds(
           editor().add(Placed("a", {1, 0, 0, 0, 1, 0, 0, 0, 1, kNaN, 0, 0})),
           {objectNode(0, "a", 0xFFFF)})},
      {"axes so small that the inverse overflows",
       file3ds(editor().add(Placed(
                   "a", {1e-39f, 0, 0, 0, 1e20f, 0, 0, 0, 1e20f, 0, 0, 0})),
               {objectNode(0, "a", 0xFFFF)})},
      {"a spline between -3e38 and 3e38 that overshoots",
       file3ds(editor().add(Placed("a", kStill)),
               {objectNode(0, "a", 0xFFFF,
                           {track(0xB020, {{0, 3e38f, 0, 0},
                                           {10, -3e38f, 0, 0},
                                           {20, 3e38f, 0, 0}})})})},
      {"200 nodes in a chain that each scale by 2",
       file3ds(editor().add(Placed("a", kStill)), chain)},
      {"two moves of 3e38 summed",
       file3ds(editor().add(Placed("a", kStill)),
               {objectNode(0, "$$$DUMMY", 0xFFFF, {Moved(3e38f, 0, 0)}),
                objectNode(1, "a", 0, {Moved(3e38f, 0, 0)})})},
      {"a huge pivot times a huge scale",
       file3ds(
           editor().add(Placed("a", kStill)),
           {WithPivot(objectNode(0, "a", 0xFFFF,
                                 {track(0xB022, {{0, 1e30f, 1e30f, 1e30f}})}),
                      1e30f)})},
  };
  for (const auto& c : cases) {
    const nlohmann::json info = InfoOf(c.file, 5);
    ASSERT_TRUE(info.is_object()) << c.what << ": " << info;
    EXPECT_TRUE(AllFinite(info)) << c.what << ": " << info.dump();
    const std::string warnings = info["warnings"].dump();
    EXPECT_TRUE(warnings.find("left out") != std::string::npos ||
                warnings.find("inverted") != std::string::npos)
        << c.what << ": " << warnings;
  }
}

// Nodes of every kind are parents: a mesh under a camera node or a light
// node is placed by that node's position alone, and a camera under a moving
// object moves with it.
TEST(Info, EveryNodeKindPlacesItsChildren) {
  auto node = [](std::uint16_t kind, std::uint16_t id, const std::string& name,
                 std::uint16_t parent, Vec3 at) {
    return Chunk(kind)
        .add(Chunk(0xB030).u16(id))
        .add(Chunk(0xB010).str(name).u16(0).u16(0).u16(parent))
        .add(Moved(at[0], at[1], at[2]))
        .add(track(0xB021, {{0, 1.5f, 0, 0, 1}}))  // turns: not for these
        .add(track(0xB022, {{0, 3, 3, 3}}));       // scales: not for these
  };
  Chunk ed = editor()
                 .add(Cube("box"))
                 .add(cameraObject("cam", {0, -10, 0}, {0, 0, 0}, 0, 35));
  const struct {
    const char* what;
    std::vector<Chunk> nodes;
    float low[3];  // of the box's placement: its parent's position, plus
                   // the box's own move of (1, 0, 0)
  } cases[] = {
      {"a mesh under a camera node",
       {node(0xB003, 7, "cam", 0xFFFF, {0, 5, 0}),
        objectNode(1, "box", 7, {Moved(1, 0, 0)})},
       {1, 5, 0}},
      {"a mesh under an omni light node",
       {node(0xB005, 7, "lamp", 0xFFFF, {0, 0, 4}),
        objectNode(1, "box", 7, {Moved(1, 0, 0)})},
       {1, 0, 4}},
      {"a mesh under a spot light node",
       {node(0xB006, 7, "spot", 0xFFFF, {2, 0, 0}),
        objectNode(1, "box", 7, {Moved(1, 0, 0)})},
       {3, 0, 0}},
  };
  for (const auto& c : cases) {
    const nlohmann::json info = InfoOf(file3ds(ed, c.nodes));
    ASSERT_EQ(1u, info["nodes"].size()) << c.what;
    for (int k = 0; k < 3; ++k)
      EXPECT_FLOAT_EQ(c.low[k], info["nodes"][0]["box"]["low"][k].get<float>())
          << c.what << " " << k;
    EXPECT_EQ(std::string::npos, info["warnings"].dump().find("do not exist"))
        << c.what;
  }
  // The camera under an object moved by (10, 0, 0): at (10, -10, 0) by its
  // own node's (0, -10, 0) and its parent's move.
  const nlohmann::json moved =
      InfoOf(file3ds(ed, {objectNode(3, "$$$DUMMY", 0xFFFF, {Moved(10, 0, 0)}),
                          node(0xB003, 4, "cam", 3, {0, -10, 0})}));
  ASSERT_EQ(1u, moved["cameras"].size());
  EXPECT_FLOAT_EQ(10, moved["cameras"][0]["position"][0].get<float>());
  EXPECT_FLOAT_EQ(-10, moved["cameras"][0]["position"][1].get<float>());
}

// --frame past the segment means what the picture shows: the animation
// looped; and paths are kept as they are where they are UTF-8.
TEST(Info, FramesPastTheSegmentLoopAndPathsKeepTheirUtf8) {
  Chunk segment(0xB008);
  segment.u32(0).u32(10);
  Bytes file = file3ds(
      editor().add(Cube("box")),
      {segment, objectNode(0, "box", 0xFFFF,
                           {track(0xB020, {{0, 0, 0, 0}, {10, 10, 0, 0}})})});
  EXPECT_EQ(3, InfoOf(file, 13)["frame"].get<long>());
  EXPECT_FLOAT_EQ(3,
                  InfoOf(file, 13)["nodes"][0]["box"]["low"][0].get<float>());
  EXPECT_EQ("r\xc3\xa9.3ds", InfoOf(file, -1, "r\xc3\xa9.3ds")["file"]);
  EXPECT_EQ("r\xc3\xa9.3ds", InfoOf(file, -1, "r\xe9.3ds")["file"]);
}
