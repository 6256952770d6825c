// How materials are lit and mapped: each material's shading mode, specular
// highlights per pixel, opacity maps, mirrored maps, the file's look (its
// lights, fog and background), bump and reflection maps, and the
// fixed-function lights where there are no shaders.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "harness.h"
#include "writer3ds.h"

using namespace w3ds;

namespace {

class Shading : public ::testing::TestWithParam<Build> {};

// A shiny black icosahedron in one smoothing group, lit in `mode` (0xA100),
// its material taking `maps` too.
Bytes Icosahedron(std::uint16_t mode, RGB diffuse = {0, 0, 0},
                  std::uint16_t shininess = 15,
                  const std::vector<Chunk>& maps = {}) {
  const float t = (1 + std::sqrt(5.0f)) / 2;
  Mesh m;
  m.vertices = {{-1, t, 0}, {1, t, 0}, {-1, -t, 0}, {1, -t, 0},
                {0, -1, t}, {0, 1, t}, {0, -1, -t}, {0, 1, -t},
                {t, 0, -1}, {t, 0, 1}, {-t, 0, -1}, {-t, 0, 1}};
  m.faces = {{0, 11, 5, 0},  {0, 5, 1, 0},  {0, 1, 7, 0},  {0, 7, 10, 0},
             {0, 10, 11, 0}, {1, 5, 9, 0},  {5, 11, 4, 0}, {11, 10, 2, 0},
             {10, 7, 6, 0},  {7, 1, 8, 0},  {3, 9, 4, 0},  {3, 4, 2, 0},
             {3, 2, 6, 0},   {3, 6, 8, 0},  {3, 8, 9, 0},  {4, 9, 5, 0},
             {2, 4, 11, 0},  {6, 2, 10, 0}, {8, 6, 7, 0},  {9, 8, 1, 0}};
  m.coords.assign(m.vertices.size(), {0, 0});
  Chunk model = modelObject("ico", m, "m");
  model.kids[0].kids[2].add(
      smoothingGroup(std::vector<std::uint32_t>(m.faces.size(), 1)));
  Chunk material =
      materialChunk("m", {0, 0, 0}, diffuse, {255, 255, 255}, shininess, 100);
  for (const Chunk& map : maps) material.add(map);
  return file3ds(
      editor().add(material.add(Chunk(0xA100).u16(mode))).add(model));
}

// A quad `size` times 2 x 2 facing the viewer at depth `y`, in the
// material `name`.
Chunk Quad(const std::string& object, const std::string& name, float y,
           float size = 1) {
  Mesh quad = UprightQuad();
  for (Vec3& v : quad.vertices) v = {size * v[0], y, size * v[2]};
  return modelObject(object, quad, name);
}

// A map chunk of `id` naming `image`, with map flags and a u scale.
Chunk Map(std::uint16_t id, const std::string& image, std::uint16_t flags,
          float uscale = 1) {
  return Chunk(id)
      .add(Chunk(0xA300).str(image))
      .add(Chunk(0xA351).u16(flags))
      .add(Chunk(0xA354).f32(uscale));
}

// A red quad in front of a larger blue one, the red one's material taking
// `maps` too.
Bytes InFront(const std::vector<Chunk>& maps) {
  Chunk front = materialChunk("front", {}, {255, 0, 0});
  for (const Chunk& map : maps) front.add(map);
  return file3ds(editor()
                     .add(front)
                     .add(materialChunk("back", {}, {0, 0, 255}))
                     .add(Quad("front", "front", 0, 1))
                     .add(Quad("back", "back", 1, 4)));
}

Image Shot(const std::string& dir, const std::string& file,
           const std::string& env = "VIEWER_WRAPPER='env -u DISPLAY'",
           Outcome* outcome = nullptr) {
  const Outcome run =
      RunViewer(::testing::TestWithParam<Build>::GetParam(), dir, "none", env,
                0, {"--size", "300x300", "--screenshot", "s.png", file});
  EXPECT_EQ(0, run.status) << run.err;
  if (outcome) *outcome = run;
  return ReadPng(dir + "/work/s.png");
}

int Brightest(const Image& shot) {
  int brightest = 0;
  for (unsigned char c : shot.rgb) brightest = std::max<int>(brightest, c);
  return brightest;
}

// The colours that at least `least` pixels share.
int CommonColours(const Image& shot, int least) {
  std::map<int, int> count;
  for (size_t i = 0; i < shot.rgb.size(); i += 3)
    ++count[shot.rgb[i] << 16 | shot.rgb[i + 1] << 8 | shot.rgb[i + 2]];
  int common = 0;
  for (const auto& c : count) common += c.second >= least;
  return common;
}

// The hues along the middle row, each run of one counted once.
std::string HuesAlong(const Image& shot) {
  std::string runs, last;
  for (int x = 0; x < shot.w; ++x) {
    const std::string hue = Hue(shot.at(x, shot.h / 2));
    if (!hue.empty() && hue != last) runs += (runs.empty() ? "" : " ") + hue;
    if (!hue.empty()) last = hue;
  }
  return runs;
}

}  // namespace

// A shiny black low-poly ball: its vertices miss the highlight, which Phong
// shading finds between them; flat shading gives each face one colour.
TEST_P(Shading, EachMaterialIsLitInItsOwnMode) {
  const std::string dir = TestDir(), work = dir + "/work";
  for (int mode : {1, 2, 3})
    WriteIn(work, "ico" + std::to_string(mode) + ".3ds",
            Icosahedron(mode, mode == 1 ? RGB{128, 128, 128} : RGB{0, 0, 0},
                        mode == 1 ? 0 : 15));
  const Image phong = Shot(dir, "ico3.3ds"), gouraud = Shot(dir, "ico2.3ds");
  EXPECT_GT(Brightest(phong), 200);
  EXPECT_LT(Brightest(gouraud), 150);
  // Flat and dull: a colour a face, some 10 faces in sight, and the
  // background; smoothed, the same ball has hundreds of colours.
  EXPECT_LE(CommonColours(Shot(dir, "ico1.3ds"), 40), 16);
}

// An opacity map of a black and a white half on a red quad in front of a
// larger blue one: the blue shows through the black half, so half the red
// is left. A map mirrored at each repeat shows red, blue, blue, red where
// repeated it shows red, blue, red, blue.
TEST_P(Shading, OpacityMapsAndMirroredMaps) {
  const std::string dir = TestDir(), work = dir + "/work";
  Shell(("convert -size 32x32 xc:black xc:white +append '" + work +
         "/half.png' && convert -size 32x32 xc:red xc:blue +append '" + work +
         "/rb.png'")
            .c_str());
  WriteIn(work, "cut0.3ds", InFront({}));
  WriteIn(work, "cut1.3ds", InFront({Map(0xA210, "half.png", 0)}));
  for (int mirrored : {0, 1})
    WriteIn(work, "tiled" + std::to_string(mirrored) + ".3ds",
            file3ds(editor()
                        .add(materialChunk("m").add(
                            Map(0xA200, "rb.png", mirrored ? 0x02 : 0, 2)))
                        .add(Quad("q", "m", 0))));
  const Coloured whole = ColouredOf(Shot(dir, "cut0.3ds"));
  const Coloured cut = ColouredOf(Shot(dir, "cut1.3ds"));
  EXPECT_NEAR(0.5, double(cut.hues.at("r")) / whole.hues.at("r"), 0.1);
  EXPECT_GT(cut.hues.at("b"), whole.hues.at("b") + cut.hues.at("r") / 2);
  EXPECT_EQ("r b r b", HuesAlong(Shot(dir, "tiled0.3ds")));
  EXPECT_EQ("r b r", HuesAlong(Shot(dir, "tiled1.3ds")));
}

// Where there are no shaders, OpenGL 1.1's lights draw the picture, and one
// line says so.
TEST_P(Shading, WithoutShadersTheFixedLightsDraw) {
  const std::string dir = TestDir();
  WriteIn(dir + "/work", "ico.3ds", Icosahedron(3, {200, 0, 0}));
  Outcome run;
  const Image shot =
      Shot(dir, "ico.3ds",
           "VIEWER_WRAPPER='env -u DISPLAY' MODELVIEWER_NO_SHADERS=1", &run);
  EXPECT_GT(ColouredOf(shot).hues["r"], 1000);
  if (!GetParam().quiet) {
    EXPECT_EQ(1, LinesOf(run.err));
    EXPECT_NE(std::string::npos, run.err.find("lit per vertex")) << run.err;
  }
}

INSTANTIATE_TEST_SUITE_P(Both, Shading, ::testing::ValuesIn(kBuilds),
                         BuildName);

namespace {

// A floor 10 wide and 100 long from the origin along +y, lit by an omni
// light high above it, seen through a camera above its near end looking
// along it; fog from 5 (none) to 60 (whole) of dark blue, and behind it a
// gradient background from green at the top.
Bytes FogOverFloor() {
  Mesh floor;
  const int rows = 50;
  for (int r = 0; r <= rows; ++r) {
    const float y = 100.0f * r / rows;
    floor.vertices.insert(floor.vertices.end(), {{-5, y, 0}, {5, y, 0}});
    floor.coords.insert(floor.coords.end(), {{0, 0}, {1, 0}});
  }
  for (int r = 0; r < rows; ++r) {
    const std::uint16_t a = static_cast<std::uint16_t>(2 * r);
    floor.faces.push_back({a, std::uint16_t(a + 1), std::uint16_t(a + 3), 0});
    floor.faces.push_back({a, std::uint16_t(a + 3), std::uint16_t(a + 2), 0});
  }
  return file3ds(editor()
                     .add(materialChunk("white", {0, 0, 0}, {255, 255, 255}))
                     .add(modelObject("floor", floor, "white"))
                     .add(lightObject("sun", {0, 50, 200}))
                     .add(cameraObject("eye", {0, -5, 3}, {0, 40, 0}, 0, 35))
                     .add(Chunk(0x2200).f32(5).f32(0).f32(60).f32(100).add(
                         floatColour({0.1f, 0.1f, 0.5f})))
                     .add(Chunk(0x2201))
                     .add(Chunk(0x1300)
                              .f32(0.5f)
                              .add(floatColour({0, 0.6f, 0}))
                              .add(floatColour({0, 0, 0}))
                              .add(floatColour({0, 0, 0})))
                     .add(Chunk(0x1301)));
}

// A map chunk of `id` naming `image`, at `percent`.
Chunk MapAt(std::uint16_t id, const std::string& image, std::uint16_t percent) {
  return Chunk(id)
      .add(Chunk(0x0030).u16(percent))
      .add(Chunk(0xA300).str(image));
}

// A grey plane whose bump map, stripes.png, stands in 8 stripes across it;
// no light of its own.
Bytes BumpedPlane() {
  return file3ds(editor()
                     .add(materialChunk("m", {0, 0, 0}, {160, 160, 160})
                              .add(MapAt(0xA230, "stripes.png", 100)))
                     .add(modelObject("plane", UprightGrid(10, 1), "m")));
}

// A smooth black ball of radius 1 whose reflection map is sky.png.
Bytes ReflectingBall() {
  Mesh ball;
  const int rings = 16, segments = 32;
  const float pi = 3.14159265f;
  for (int r = 0; r <= rings; ++r)
    for (int s = 0; s <= segments; ++s) {
      const float a = pi * r / rings, b = 2 * pi * s / segments;
      ball.vertices.push_back(
          {std::sin(a) * std::cos(b), std::sin(a) * std::sin(b), std::cos(a)});
      ball.coords.push_back({float(s) / segments, float(r) / rings});
    }
  const auto at = [&](int r, int s) {
    return static_cast<std::uint16_t>(r * (segments + 1) + s);
  };
  for (int r = 0; r < rings; ++r)
    for (int s = 0; s < segments; ++s) {
      ball.faces.push_back({at(r, s), at(r + 1, s), at(r + 1, s + 1), 0});
      ball.faces.push_back({at(r, s), at(r + 1, s + 1), at(r, s + 1), 0});
    }
  Chunk model = modelObject("ball", ball, "m");
  model.kids[0].kids[2].add(
      smoothingGroup(std::vector<std::uint32_t>(ball.faces.size(), 1)));
  return file3ds(editor()
                     .add(materialChunk("m").add(MapAt(0xA220, "sky.png", 100)))
                     .add(model));
}

void WriteLookFiles(const std::string& work) {
  WriteIn(work, "spot.3ds", SpotOnPlane());
  WriteIn(work, "fog.3ds", FogOverFloor());
  WriteIn(work, "bump.3ds", BumpedPlane());
  WriteIn(work, "ball.3ds", ReflectingBall());
  Convert(work, "stripes.png",
          "-size 4x16 xc:white xc:black xc:white xc:black xc:white xc:black "
          "xc:white xc:black +append");
  Convert(work, "sky.png", kQuadrantImage);
  Shell("cp '" TEST_DATA_DIR "/spot_on_plane_studio.png' '" + work +
        "/before.png'");
  WriteIn(work, "metal.3ds", Icosahedron(4, {200, 0, 0}));
  Convert(work, "black.png", "-size 8x8 xc:black");
  WriteIn(work, "specular.3ds",
          Icosahedron(3, {0, 0, 0}, 15, {Map(0xA204, "black.png", 0)}));
  // Opaque in its outer thirds and clear in the middle, where its colour
  // is white.
  Convert(work, "alpha.png",
          "-size 32x32 xc:black 'xc:rgba(255,255,255,0)' xc:black +append");
  WriteIn(work, "alpha.3ds", InFront({Map(0xA210, "alpha.png", 0x40)}));
}

// Within `tolerance` of `r`, `g`, `b` in every channel.
bool Near(const RGBColour& c, int r, int g, int b, int tolerance) {
  return std::abs(c.r - r) <= tolerance && std::abs(c.g - g) <= tolerance &&
         std::abs(c.b - b) <= tolerance;
}

int Brightness(const RGBColour& c) { return std::max({c.r, c.g, c.b}); }

// Runs of lit pixels along the middle row, on black: a plane lit all over
// is one.
int StripesAlong(const Image& shot) {
  int runs = 0;
  bool lit = false;
  for (int x = 0; x < shot.w; ++x) {
    const bool now = Brightness(shot.at(x, shot.h / 2)) > 40;
    runs += now && !lit;
    lit = now;
  }
  return runs;
}

// A 300 x 300 picture of a file that WriteLookFiles writes, and what it
// must show; its standard error, a line each, holding `err`.
struct LookCase {
  std::string what;
  std::vector<std::string> args;
  std::vector<std::string> err = {};
  std::function<void(const Image&, const std::string& work)> check;
  std::string env = "";
};
void PrintTo(const LookCase& c, std::ostream* out) { *out << c.what; }

// In the 300 x 300 picture of the plane, 20 pixels are about 1 across it.
const int kSpotX = 150, kSpotY = 147;

std::vector<LookCase> LookCases() {
  return {
      {.what = "a red spot lights the white plane red inside its cone only",
       .args = {"--look", "file", "spot.3ds"},
       .check =
           [](const Image& shot, const std::string&) {
             EXPECT_TRUE(Near(shot.at(kSpotX, kSpotY), 255, 0, 0, 40));
             EXPECT_TRUE(Near(shot.at(kSpotX - 25, kSpotY), 255, 0, 0, 40));
             // 4 from the middle: on the plane, past the falloff.
             EXPECT_LT(Brightness(shot.at(kSpotX - 80, kSpotY)), 16);
             EXPECT_LT(Brightness(shot.at(kSpotX + 80, kSpotY)), 16);
           }},
      {.what = "the studio look of the same file is as it was",
       .args = {"spot.3ds"},
       .check =
           [](const Image& shot, const std::string& work) {
             const Image before = ReadPng(work + "/before.png");
             ASSERT_EQ(300, before.w);
             EXPECT_TRUE(before.rgb == shot.rgb);
           }},
      {.what = "without shaders the spot lights the plane at its vertices",
       .args = {"--look", "file", "spot.3ds"},
       .err = {"lit per vertex"},
       .check =
           [](const Image& shot, const std::string&) {
             EXPECT_EQ("r", Hue(shot.at(kSpotX, kSpotY)));
             EXPECT_LT(Brightness(shot.at(kSpotX - 80, kSpotY)), 16);
           },
       .env = "MODELVIEWER_NO_SHADERS=1"},
      {.what = "fog darkens the far end of a long floor to its colour",
       .args = {"--look", "file", "--camera", "1", "fog.3ds"},
       .check =
           [](const Image& shot, const std::string&) {
             EXPECT_GT(Brightness(shot.at(150, 295)), 200);          // 5.6 away
             EXPECT_TRUE(Near(shot.at(150, 141), 26, 26, 128, 16));  // 100
             const RGBColour between = shot.at(150, 160);
             EXPECT_GT(between.b, between.r + 40);
             // Above the horizon, the gradient's top colour.
             EXPECT_TRUE(Near(shot.at(150, 2), 0, 153, 0, 8));
           }},
      {.what = "a bump map of stripes shows stripes of light on a flat plane",
       .args = {"--look", "file", "bump.3ds"},
       .err = {"no light of the file's is on"},
       .check =
           [](const Image& shot, const std::string&) {
             // 8 stripes, of which the 4 edges from white to black lean
             // away from the light.
             EXPECT_GE(StripesAlong(shot), 4);
           }},
      {.what = "a reflection map shows its image on a ball",
       .args = {"ball.3ds"},
       .check =
           [](const Image& shot, const std::string&) {
             Coloured c = ColouredOf(shot);
             EXPECT_GT(c.upper["r"], 1000);
             EXPECT_GT(c.upper["g"], 1000);
             EXPECT_GT(c.lower["b"], 1000);
           }},
      // Metal: the highlight in the diffuse colour, not the specular white
      // that Phong shading gives the same ball.
      {.what = "metal shines in its own colour",
       .args = {"metal.3ds"},
       .check =
           [](const Image& shot, const std::string&) {
             RGBColour brightest{0, 0, 0};
             for (int y = 0; y < shot.h; ++y)
               for (int x = 0; x < shot.w; ++x) {
                 const RGBColour c = shot.at(x, y);
                 if (c.r + c.g + c.b > brightest.r + brightest.g + brightest.b)
                   brightest = c;
               }
             EXPECT_GT(brightest.r, 200);
             EXPECT_EQ("r", Hue(brightest))
                 << brightest.r << " " << brightest.g << " " << brightest.b;
           }},
      // A black specular map (0xA204) takes the highlight away from the
      // shiny black ball, which Phong shading otherwise lights past 200.
      {.what = "a black specular map takes the highlight away",
       .args = {"specular.3ds"},
       .check = [](const Image& shot,
                   const std::string&) { EXPECT_LT(Brightest(shot), 100); }},
      // An opacity map whose alpha counts (flags 0x40) lets the blue behind
      // show through the middle of the red; taken by brightness instead,
      // only the middle would stay red.
      {.what = "an opacity map by its alpha channel",
       .args = {"alpha.3ds"},
       .check =
           [](const Image& shot, const std::string&) {
             EXPECT_EQ("b r b r b", HuesAlong(shot));
           }},
      {.what = "without shaders reflection maps are left out, with a warning",
       .args = {"ball.3ds"},
       .err = {"lit per vertex", "bump and reflection maps are not drawn"},
       .check =
           [](const Image& shot, const std::string&) {
             EXPECT_EQ(0, ColouredOf(shot).count);
           },
       .env = "MODELVIEWER_NO_SHADERS=1"},
  };
}

class Looks : public ::testing::TestWithParam<std::tuple<Build, LookCase>> {};

}  // namespace

TEST_P(Looks, ThePictureShowsIt) {
  const auto& [build, c] = GetParam();
  const std::string dir = TestDir();
  WriteLookFiles(dir + "/work");
  std::vector<std::string> args = {"--size", "300x300", "--screenshot",
                                   "s.png"};
  args.insert(args.end(), c.args.begin(), c.args.end());
  const Outcome run = RunViewer(
      build, dir, "none", "VIEWER_WRAPPER='env -u DISPLAY' " + c.env, 0, args);
  ASSERT_EQ(0, run.status) << run.err;
  if (!build.quiet) {
    EXPECT_EQ(int(c.err.size()), LinesOf(run.err)) << run.err;
    for (const std::string& said : c.err)
      EXPECT_NE(std::string::npos, run.err.find(said)) << run.err;
  }
  const Image shot = ReadPng(dir + "/work/s.png");
  ASSERT_EQ(300, shot.w);
  c.check(shot, dir + "/work");
}

INSTANTIATE_TEST_SUITE_P(Cases, Looks,
                         ::testing::Combine(::testing::ValuesIn(kBuilds),
                                            ::testing::ValuesIn(LookCases())),
                         CaseName<LookCase>);
