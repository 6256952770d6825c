// How materials are lit and mapped: each material's shading mode, specular
// highlights per pixel, opacity maps, mirrored maps, and the fixed-function
// lights where there are no shaders.
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

namespace {

// A model a case writes as m.3ds (with the images it names), and what its
// picture must show.
struct LookCase {
  const char* what;
  Writer write;
  std::function<void(const Image&)> check;
};
void PrintTo(const LookCase& c, std::ostream* out) { *out << c.what; }

std::vector<LookCase> LookCases() {
  return {
      // Metal: the highlight in the diffuse colour, not the specular white
      // that Phong shading gives the same ball.
      {.what = "metal shines in its own colour",
       .write =
           [](const std::string& w) {
             WriteIn(w, "m.3ds", Icosahedron(4, {200, 0, 0}));
           },
       .check =
           [](const Image& shot) {
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
       .write =
           [](const std::string& w) {
             Convert(w, "black.png", "-size 8x8 xc:black");
             WriteIn(
                 w, "m.3ds",
                 Icosahedron(3, {0, 0, 0}, 15, {Map(0xA204, "black.png", 0)}));
           },
       .check = [](const Image& shot) { EXPECT_LT(Brightest(shot), 100); }},
      // An opacity map whose alpha counts (flags 0x40), opaque in its outer
      // thirds and clear in the middle, where its colour is white: the blue
      // shows through the middle of the red. Taken by brightness instead,
      // only the middle would stay red.
      {.what = "an opacity map by its alpha channel",
       .write =
           [](const std::string& w) {
             Convert(w, "alpha.png",
                     "-size 32x32 xc:black 'xc:rgba(255,255,255,0)' xc:black "
                     "+append");
             WriteIn(w, "m.3ds", InFront({Map(0xA210, "alpha.png", 0x40)}));
           },
       .check =
           [](const Image& shot) { EXPECT_EQ("b r b r b", HuesAlong(shot)); }},
  };
}

class Looks : public ::testing::TestWithParam<std::tuple<Build, LookCase>> {};

}  // namespace

TEST_P(Looks, ThePictureShowsTheMaterial) {
  const auto& [build, c] = GetParam();
  const std::string dir = TestDir();
  c.write(dir + "/work");
  const Outcome run =
      RunViewer(build, dir, "none", "VIEWER_WRAPPER='env -u DISPLAY'", 0,
                {"--size", "300x300", "--screenshot", "s.png", "m.3ds"});
  ASSERT_EQ(0, run.status) << run.err;
  c.check(ReadPng(dir + "/work/s.png"));
}

INSTANTIATE_TEST_SUITE_P(Cases, Looks,
                         ::testing::Combine(::testing::ValuesIn(kBuilds),
                                            ::testing::ValuesIn(LookCases())),
                         CaseName<LookCase>);

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
