// --info as JSON: every placement with its box, the cameras and lights where
// the keyframer takes them, the ambient light, background, fog and maps.
#include "info/info.h"

#include <gtest/gtest.h>

#include <cmath>
#include <nlohmann/json.hpp>
#include <string>

#include "scene/import.h"
#include "scene/pose.h"
#include "scene_check.h"
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
      "ambient background box box_from cameras file fog frame frames lights "
      "materials models nodes warnings",
      keys(json));
  EXPECT_EQ("vertices", json["box_from"]);
  EXPECT_EQ("high low", keys(json["box"]));
  EXPECT_EQ("box faces instance mesh name vertices", keys(json["nodes"][0]));
  EXPECT_EQ(
      "bump_map diffuse name opacity_map reflection_map shading shininess "
      "specular specular_map texture transparency two_sided",
      keys(json["materials"][0]));
  EXPECT_EQ("amount file mirrored offset rotation scale stored tiled",
            keys(json["materials"][0]["texture"]));
  EXPECT_EQ("lens name position roll target", keys(json["cameras"][0]));
  EXPECT_EQ("gradient solid use", keys(json["background"]));
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
  unsigned char* copy = new unsigned char[bytes.size()];
  std::copy(bytes.begin(), bytes.end(), copy);
  loader.TakeBytes(copy, static_cast<unsigned int>(bytes.size()));
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
    EXPECT_TRUE(FiniteJson(info)) << c.what << ": " << info.dump();
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
       {node(0xB007, 7, "spot", 0xFFFF, {2, 0, 0}),
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

namespace {

// A generated file, and what --info=json says of it at `frame` at `path`
// (a JSON pointer), worked out by hand.
struct LightingCase {
  std::string what;
  Bytes file;
  std::string path;
  nlohmann::json expected;
  long frame = -1;
};
void PrintTo(const LightingCase& c, std::ostream* out) { *out << c.what; }

// Equal, numbers to within a millionth.
bool Near(const nlohmann::json& a, const nlohmann::json& b) {
  if (a.is_number() && b.is_number())
    return std::fabs(a.get<double>() - b.get<double>()) < 1e-6;
  if (a.type() != b.type() || a.size() != b.size()) return false;
  if (a.is_object()) {
    for (auto it = a.begin(); it != a.end(); ++it)
      if (!b.contains(it.key()) || !Near(it.value(), b[it.key()])) return false;
    return true;
  }
  if (a.is_array()) {
    for (size_t i = 0; i < a.size(); ++i)
      if (!Near(a[i], b[i])) return false;
    return true;
  }
  return a == b;
}

Bytes WithCube(Chunk ed, const std::vector<Chunk>& nodes = {}) {
  ed.add(Cube("box"));
  return nodes.empty() ? file3ds(ed) : file3ds(ed, nodes);
}

Chunk WithMap(std::uint16_t id, std::uint16_t percent, const char* image) {
  Chunk map(id);
  map.add(Chunk(0x0030).u16(percent));
  if (image) map.add(Chunk(0xA300).str(image));
  return materialChunk("m").add(map);
}

// A map's fields as a map with no tiling of its own has them.
nlohmann::json Map(const nlohmann::json& stored, double amount) {
  return {{"stored", stored},  {"file", nullptr},  {"amount", amount},
          {"scale", {1, 1}},   {"offset", {0, 0}}, {"rotation", 0},
          {"mirrored", false}, {"tiled", true}};
}

nlohmann::json Omni(const std::string& name, std::vector<float> at,
                    std::vector<float> colour) {
  return {{"name", name},
          {"kind", "omni"},
          {"position", at},
          {"target", nullptr},
          {"colour", colour},
          {"multiplier", 1},
          {"hotspot", nullptr},
          {"falloff", nullptr},
          {"roll", nullptr},
          {"off", false},
          {"attenuation", {{"on", false}, {"inner", 0}, {"outer", 0}}}};
}

std::vector<LightingCase> LightingCases() {
  const Chunk segment = Chunk(0xB008).u32(0).u32(10);
  nlohmann::json attenuated = Omni("lamp", {1, 2, 3}, {0.5, 0.25, 1});
  attenuated["multiplier"] = 2;
  attenuated["attenuation"] = {{"on", true}, {"inner", 10}, {"outer", 100}};
  nlohmann::json off = Omni("dark", {0, 0, 0}, {1, 1, 1});
  off["off"] = true;
  nlohmann::json spot = Omni("spot", {0, 0, 10}, {1, 128 / 255.0, 0});
  spot.update({{"kind", "spot"},
               {"target", {0, 0, 0}},
               {"hotspot", 30},
               {"falloff", 45},
               {"roll", 15}});
  // Keys at frames 0 and 10 with tension, continuity and bias 0: halfway
  // between them at frame 5.
  nlohmann::json moved = Omni("spot", {5, 10, 0}, {0.5, 0, 0.5});
  moved.update({{"kind", "spot"},
                {"target", {5, 0, 0}},
                {"hotspot", 30},
                {"falloff", 50},
                {"roll", 45}});
  nlohmann::json automatic = Map(nullptr, 0.25);
  automatic["automatic"] = true;
  nlohmann::json sky = Map("sky.png", 0.6);
  sky["automatic"] = false;
  return {
      {.what = "an omni light, attenuated",
       .file = WithCube(editor().add(lightObject(
           "lamp", {1, 2, 3},
           {floatColour({0.5f, 0.25f, 1}), Chunk(0x465B).f32(2), Chunk(0x4625),
            Chunk(0x4659).f32(10), Chunk(0x465A).f32(100)}))),
       .path = "/lights",
       .expected = {attenuated}},
      {.what = "a spot with a target, a cone and a roll",
       .file = WithCube(editor().add(lightObject(
           "spot", {0, 0, 10},
           {colour(0x0011, {255, 128, 0}).kids[0],
            spotlight({0, 0, 0}, 30, 45).add(Chunk(0x4656).f32(15))}))),
       .path = "/lights",
       .expected = {spot}},
      {.what = "a light that is off, white without a colour",
       .file = WithCube(
           editor().add(lightObject("dark", {0, 0, 0}, {Chunk(0x4620)}))),
       .path = "/lights",
       .expected = {off}},
      {.what = "a spot that its nodes move, colour, widen and roll",
       .file = WithCube(
           editor().add(
               lightObject("spot", {0, 0, 10}, {spotlight({0, 0, 0}, 30, 45)})),
           {segment,
            keyframerNode(0xB007, "spot",
                          {track(0xB020, {{0, 0, 0, 0}, {10, 10, 20, 0}}),
                           track(0xB025, {{0, 1, 0, 0}, {10, 0, 0, 1}}),
                           track(0xB027, {{0, 20}, {10, 40}}),
                           track(0xB028, {{0, 40}, {10, 60}}),
                           track(0xB024, {{0, 0}, {10, 90}})}),
            keyframerNode(0xB006, "spot",
                          {track(0xB020, {{0, 0, 0, 0}, {10, 10, 0, 0}})})}),
       .path = "/lights",
       .expected = {moved},
       .frame = 5},
      {.what = "the ambient light",
       .file = WithCube(
           editor().add(Chunk(0x2100).add(floatColour({0.1f, 0.2f, 0.3f})))),
       .path = "/ambient",
       .expected = {0.1, 0.2, 0.3}},
      {.what = "a solid background, used",
       .file = WithCube(editor()
                            .add(Chunk(0x1200).add(floatColour({0, 0, 1})))
                            .add(Chunk(0x1201))),
       .path = "/background",
       .expected = {{"solid", {0, 0, 1}},
                    {"gradient", nullptr},
                    {"use", "solid"}}},
      {.what = "a gradient and a solid background, the gradient used last",
       .file =
           WithCube(editor()
                        .add(Chunk(0x1201))
                        .add(Chunk(0x1200).add(floatColour({0, 0, 1})))
                        .add(Chunk(0x1300)
                                 .f32(0.25f)
                                 .add(floatColour({1, 0, 0}))
                                 .add(floatColour({0, 1, 0}))
                                 .add(floatColour({0, 0, 1}))
                                 .add(floatColour({0.5f, 0.5f, 0.5f}, 0x0013)))
                        .add(Chunk(0x1301))),
       .path = "/background",
       .expected = {{"solid", {0, 0, 1}},
                    {"gradient",
                     {{"top", {1, 0, 0}},
                      {"middle", {0, 1, 0}},
                      {"bottom", {0, 0, 1}},
                      {"midpoint", 0.25}}},
                    {"use", "gradient"}}},
      {.what = "a solid background and a bitmap one, the bitmap used last",
       .file = WithCube(editor()
                            .add(Chunk(0x1200).add(floatColour({0, 0, 1})))
                            .add(Chunk(0x1201))
                            .add(Chunk(0x1100).str("sky.png"))
                            .add(Chunk(0x1101))),
       .path = "/background",
       .expected = {{"solid", {0, 0, 1}},
                    {"gradient", nullptr},
                    {"use", "none"}}},
      {.what = "fog over the background, used",
       .file = WithCube(editor()
                            .add(Chunk(0x2200)
                                     .f32(10)
                                     .f32(20)
                                     .f32(200)
                                     .f32(80)
                                     .add(floatColour({0.5f, 0.5f, 0.5f}))
                                     .add(Chunk(0x2210)))
                            .add(Chunk(0x2201))),
       .path = "/fog",
       .expected = {{"near", 10},
                    {"near_density", 0.2},
                    {"far", 200},
                    {"far_density", 0.8},
                    {"colour", {0.5, 0.5, 0.5}},
                    {"background", true},
                    {"use", true}}},
      {.what = "a bump map of 40 %",
       .file = WithCube(editor().add(WithMap(0xA230, 40, "bump.png"))),
       .path = "/materials/0/bump_map",
       .expected = Map("bump.png", 0.4)},
      {.what = "a reflection map of a bitmap",
       .file = WithCube(editor().add(WithMap(0xA220, 60, "sky.png"))),
       .path = "/materials/0/reflection_map",
       .expected = sky},
      {.what = "an automatic reflection map, without a bitmap",
       .file = WithCube(editor().add(WithMap(0xA220, 25, nullptr))),
       .path = "/materials/0/reflection_map",
       .expected = automatic},
  };
}

class Lighting : public ::testing::TestWithParam<LightingCase> {};

}  // namespace

TEST_P(Lighting, InfoJsonSaysWhatTheFileHolds) {
  const LightingCase& c = GetParam();
  const nlohmann::json info = InfoOf(c.file, c.frame);
  ASSERT_TRUE(info.is_object()) << info;
  const nlohmann::json& read = info.at(nlohmann::json::json_pointer(c.path));
  EXPECT_TRUE(Near(c.expected, read))
      << read.dump() << "\n  expected " << c.expected.dump();
  EXPECT_TRUE(FiniteJson(info)) << info.dump();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Lighting, ::testing::ValuesIn(LightingCases()),
    [](const ::testing::TestParamInfo<LightingCase>& info) {
      std::string name;
      for (char ch : info.param.what)
        name += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
      return name;
    });
