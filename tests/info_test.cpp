// --info as JSON: every placement with its box, and the cameras where the
// keyframer takes them.
#include "info.h"

#include <gtest/gtest.h>

#include <cmath>
#include <nlohmann/json.hpp>
#include <string>

#include "import.h"
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
