// The viewing mode, a file named on the command line: what each case's
// screenshot shows, and what it says or refuses.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "harness.h"
#include "writer3ds.h"

using namespace w3ds;

namespace {

// A box of six sides from x to x + 2, each side two faces that show the whole
// texture and name the material `side(s)`: bottom, top, -x, +x, front, back.
Chunk Box(const std::string& name, float x,
          const std::function<std::string(int)>& side) {
  static const int kCorner[6][4][3] = {
      {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}},
      {{0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}},
      {{0, 0, 0}, {0, 1, 0}, {0, 1, 1}, {0, 0, 1}},
      {{1, 0, 0}, {1, 1, 0}, {1, 1, 1}, {1, 0, 1}},
      {{0, 0, 0}, {1, 0, 0}, {1, 0, 1}, {0, 0, 1}},
      {{0, 1, 0}, {1, 1, 0}, {1, 1, 1}, {0, 1, 1}}};
  Mesh m;
  for (int s = 0; s < 6; ++s) {
    const std::uint16_t v = static_cast<std::uint16_t>(4 * s);
    for (const auto& c : kCorner[s])
      m.vertices.push_back({x + 2.0f * c[0], 2.0f * c[1], 2.0f * c[2]});
    m.coords.insert(m.coords.end(), {{0, 1}, {1, 1}, {1, 0}, {0, 0}});
    m.faces.push_back({v, std::uint16_t(v + 1), std::uint16_t(v + 2), 0});
    m.faces.push_back({v, std::uint16_t(v + 2), std::uint16_t(v + 3), 0});
  }
  Chunk faces = faceList(m.faces);
  for (int s = 0; s < 6; ++s)
    faces.add(
        materialRef(side(s), {std::uint16_t(2 * s), std::uint16_t(2 * s + 1)}));
  return object(name).add(trimesh()
                              .add(vertexList(m.vertices))
                              .add(mappingCoords(m.coords))
                              .add(faces));
}

struct ViewingCase {
  std::string what;
  Writer write = {};
  std::vector<std::string> args = {"--screenshot", "shot.png",
                                   "models/box.3ds"};
  int status = 0;
  const char* out = "1\n";  // modelviewer's standard output; "*..." in both
  const char* err = "";     // part of its only line on standard error
  std::vector<std::string> hues = {}, absent = {};  // ≥ 500 pixels; none
  int colours = 0;  // at least this many of the six pure hues
  // Hues that must make up most coloured pixels above and below the middle.
  std::string top = "", bottom = "";
  bool wide = false;  // what is drawn is over twice as wide as it is tall
  // Shapes or bands along the middle row: runs of one kind of pixel (a hue,
  // dark or bright) between background or another kind.
  int segments = 0;
  // Faces without a material: light grey, nothing coloured, on dark grey.
  bool grey = false;
  std::string env = "";
};
void PrintTo(const ViewingCase& c, std::ostream* out) { *out << c.what; }

// The kind of a pixel on the dark grey background: its hue, "dark" (a black
// material), "bright" (a white or grey one), or "" for the background.
std::string Kind(const RGBColour& c) {
  const std::string hue = Hue(c);
  if (!hue.empty()) return hue;
  const int high = std::max({c.r, c.g, c.b});
  return high < 30 ? "dark" : high > 100 ? "bright" : "";
}

int Segments(const Image& shot, int y) {
  int count = 0, run = 0;
  std::string last;
  for (int x = 0; x < shot.w; ++x) {
    const std::string kind = Kind(shot.at(x, y));
    run = kind == last ? run + 1 : 1;
    // A run counts once it is wider than an edge's blend.
    if (!kind.empty() && run == 4) ++count;
    last = kind;
  }
  return count;
}

// Pixels of one grey between 0.5 and 0.8: lit faces without a material.
int LightGreys(const Image& shot) {
  int n = 0;
  for (size_t i = 0; i < shot.rgb.size(); i += 3) {
    const int r = shot.rgb[i], g = shot.rgb[i + 1], b = shot.rgb[i + 2];
    n += r == g && g == b && r >= 128 && r <= 204;
  }
  return n;
}

std::string MainHue(const std::map<std::string, int>& counts) {
  auto most = std::max_element(
      counts.begin(), counts.end(),
      [](const auto& a, const auto& b) { return a.second < b.second; });
  return most == counts.end() ? "" : most->first;
}

// Writes models/box.3ds, and beside it images that ImageMagick makes, each
// by its name and how.
Writer Files(const Bytes& model,
             const std::map<std::string, std::string>& images = {}) {
  return [=](const std::string& w) {
    for (const auto& [name, how] : images) Convert(w + "/models", name, how);
    WriteIn(w, "models/box.3ds", model);
  };
}

// Real files of tests/data, copied into models/.
Writer Copies(const std::vector<std::string>& files) {
  return [=](const std::string& w) {
    for (const std::string& f : files) {
      const std::string bytes = ReadText(TEST_DATA_DIR "/" + f);
      WriteIn(w, "models/" + f, Bytes(bytes.begin(), bytes.end()));
    }
  };
}

Chunk Plain(const std::string& name, RGB colour) {
  return materialChunk(name, {}, colour);
}
Chunk Mapped(const std::string& name, const std::string& image) {
  return materialChunk(name).add(textureMap(image));
}

// `mesh` with every vertex moved along x and put at `y`.
Mesh At(Mesh mesh, float dx, float y) {
  for (Vec3& v : mesh.vertices) v = {v[0] + dx, y, v[2]};
  return mesh;
}

// A box's node at `at`, turned by `angle` about `axis` (in the file's sense).
Chunk Placed(std::uint16_t id, Vec3 at, float angle = 0, Vec3 axis = {}) {
  std::vector<Chunk> tracks = {track(0xB020, {{0, at[0], at[1], at[2]}})};
  if (angle)
    tracks.push_back(track(0xB021, {{0, angle, axis[0], axis[1], axis[2]}}));
  return objectNode(id, "box", 0xFFFF, tracks);
}

std::vector<ViewingCase> ViewingCases() {
  auto all = [](const std::string& m) { return [m](int) { return m; }; };
  const Writer box = Files(file3ds(editor().add(Box("box", 0, all("m")))));
  // A quad standing on the file's xz plane, facing the camera.
  auto upright = [](const std::string& image) {
    return file3ds(editor()
                       .add(Mapped("q", image))
                       .add(modelObject("quad", UprightQuad(), "q")));
  };
  const Mesh plate{{{-5, -5, 0}, {5, -5, 0}, {5, 5, 0}, {-5, 5, 0}},
                   {{0, 1, 2, 0}, {0, 2, 3, 0}},
                   {{0, 0}, {1, 0}, {1, 1}, {0, 1}}};
  const Mesh back{{{-2, 2, -1}, {1, 2, -1}, {1, 2, 1}, {-2, 2, 1}},
                  {{0, 1, 2, 0}, {0, 2, 3, 0}},
                  {}};
  const RGB colours[6] = {{255, 0, 0},   {0, 255, 0},   {0, 0, 255},
                          {255, 255, 0}, {0, 255, 255}, {255, 0, 255}};
  Chunk sixcolours = editor();
  for (int s = 0; s < 6; ++s)
    sixcolours.add(Plain("c" + std::to_string(s), colours[s]));
  sixcolours.add(Box("box", 0, [](int s) { return "c" + std::to_string(s); }));
  const float half = static_cast<float>(std::acos(-1.0));
  // clang-format off
  return {
      {.what = "textures beside a file in another folder: a PNG, and a JPEG "
               "stored under another case",
       .write = Files(file3ds(editor().add(Mapped("png", "quad.png"))
                                      .add(Mapped("jpeg", "MAPS\\QUAD2.JPG"))
                                      .add(Box("a", -3, all("png")))
                                      .add(Box("b", 1, all("jpeg")))),
                      {{"quad.png", kQuadrantImage},
                       {"Maps/quad2.jpg", kQuadrantImage}}),
       .out = "2\n", .hues = {"r", "g", "b"}},
      // The file's z axis is up, the camera looks along +y, and v = 0 is
      // the image's bottom row.
      {.what = "an upright quad whose PNG image is red above and blue below",
       .write = Files(upright("rb.png"), {{"rb.png", kRedAboveBlue}}),
       .hues = {"r", "b"}, .top = "r", .bottom = "b"},
      {.what = "a flat plate in the xy plane",
       .write = Files(file3ds(editor().add(Plain("p", {255, 0, 0}))
                                      .add(modelObject("plate", plate, "p")))),
       .hues = {"r"}, .wide = true},
      {.what = "a transparent quad before an opaque one: mixed where they "
               "overlap",
       .write = Files(file3ds(
           editor().add(Plain("red", {255, 0, 0}))
                   .add(materialChunk("blue", {}, {0, 0, 255}, {}, 0, 0, 50))
                   .add(modelObject("back", back, "red"))
                   .add(modelObject("front", At(back, 1, -2), "blue")))),
       .out = "2\n", .hues = {"r", "b", "rb"}},
      {.what = "a texture whose alpha lets the quad behind it show through",
       .write = Files(file3ds(
           editor().add(Mapped("t", "quad.tga")).add(Mapped("a", "half.png"))
                   .add(Plain("g", {0, 255, 0}))
                   .add(modelObject("tga", UprightQuad(), "t"))
                   .add(modelObject("behind", At(UprightQuad(), 3, 2), "g"))
                   .add(modelObject("before", At(UprightQuad(), 3.5f, 0),
                                    "a"))),
           {{"quad.tga", kQuadrantImage},
            {"half.png", "-size 16x16 xc:'rgba(255,0,0,0.5)'"}}),
       .out = "3\n", .hues = {"r", "g", "b", "rg"}},
      {.what = "a half black, half white texture with u scale 2: four bands",
       .write = Files(file3ds(
           editor().add(materialChunk("q").add(
                        textureMap("bw.png").add(Chunk(0xA354).f32(2))))
                   .add(modelObject("quad", UprightQuad(), "q"))),
           {{"bw.png", "-size 32x64 xc:black xc:white +append"}}),
       .segments = 4},
      {.what = "two instances of a cube, side by side",
       .write = Files(file3ds(
           editor().add(Plain("c", {255, 0, 0})).add(Box("box", 0, all("c"))),
           {Placed(0, {-4, 0, 0}), Placed(1, {4, 0, 0})})),
       .err = "has no matrix (0x4160)", .hues = {"r"}, .segments = 2},
      // One box shows its front and top only: three instances, two of them
      // turned half a turn about (1, 0, -1) and (1, -1, 0), bring each side
      // to the front or the top once.
      {.what = "six sides in six colours",
       .write = Files(file3ds(sixcolours,
                              {Placed(0, {-6, 0, 0}),
                               Placed(1, {0, 2, 2}, half, {1, 0, -1}),
                               Placed(2, {6, 2, 2}, half, {1, -1, 0})})),
       .err = "has no matrix (0x4160)", .colours = 6},
      {.what = "faces that name the second material chunk",
       .write = Files(file3ds(editor().add(Plain("first", {255, 0, 0}))
                                      .add(Plain("second", {0, 255, 0}))
                                      .add(Box("box", 0, all("second"))))),
       .hues = {"g"}, .absent = {"r"}},
      {.what = "a missing image leaves its faces in their colour",
       .write = Files(file3ds(
           editor().add(Plain("m", {0, 0, 255}).add(textureMap("gone.png")))
                   .add(Box("box", 0, all("m"))))),
       .err = "modelviewer: models/box.3ds: cannot use texture image "
              "\"gone.png\": ",
       .hues = {"b"}},
      {.what = "a file without a model to draw",
       .write = Files(file3ds(editor().add(object("camera")))), .status = 1,
       .out = "0\n",
       .err = "modelviewer: models/box.3ds: no model that can be drawn"},
      {.what = "a file that is not a 3DS file",
       .write = Files({0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0}),
       .status = 1, .out = "", .err = "models/box.3ds: not a 3DS file"},
      {.what = "a screenshot that cannot be written", .write = box,
       .args = {"--screenshot", "no/such/folder/shot.png", "models/box.3ds"},
       .status = 1,
       .err = "cannot write the screenshot no/such/folder/shot.png"},
      {.what = "the bundled program's first frame",
       .write = [](const std::string& w) {
         Shell(("cp " SAMPLE_DIR "/* '" + w + "'").c_str());
       },
       .args = {"--screenshot", "shot.png"}, .out = "5\n", .hues = {"g"}},
      // Files written by modelling tools, copied with what lies beside them.
      // The rifle's material is white: olive comes from its texture only.
      {.what = "the textured rifle",
       .write = Copies({"mar_rifle.3ds", "m_rifl.bmp"}),
       .args = {"--screenshot", "shot.png", "models/mar_rifle.3ds"},
       .hues = {"rg"}},
      {.what = "a box without materials", .write = Copies({"RotatingCube.3DS"}),
       .args = {"--screenshot", "shot.png", "models/RotatingCube.3DS"},
       .grey = true},
      {.what = "a box whose PNG texture is not shipped",
       .write = Copies({"cube_with_diffuse_texture.3DS"}),
       .args = {"--screenshot", "shot.png",
                "models/cube_with_diffuse_texture.3DS"},
       .err = "cannot use texture image \"TEST.PNG\""},
      {.what = "--info=json without a display, in both builds", .write = box,
       .args = {"--info=json", "models/box.3ds"}, .out = "*\"models\": 1",
       .env = "VIEWER_WRAPPER='env -u DISPLAY'"},
      {.what = "an unknown option", .args = {"--bogus"}, .status = 2,
       .out = "", .err = "unknown option --bogus"},
      {.what = "--screenshot without a path", .args = {"a.3ds", "--screenshot"},
       .status = 2, .out = "", .err = "--screenshot needs the path"},
      {.what = "two files with one screenshot",
       .args = {"--screenshot", "s.png", "a.3ds", "b.3ds"}, .status = 2,
       .out = "", .err = "one FILE at most with --screenshot OUT.png"},
      {.what = "a folder without a 3DS file in the window",
       .write = Files({0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0}),
       .args = {"models"}, .status = 1, .out = "",
       .err = "modelviewer: models: no 3DS file in the folder"},
      {.what = "a window too small", .args = {"--size", "20x20", "a.3ds"},
       .status = 2, .out = "", .err = "--size needs WIDTHxHEIGHT"},
      {.what = "a camera the file does not have", .write = WriteQuadWithCamera,
       .args = {"--camera", "2", "quad.3ds"}, .status = 1,
       .err = "quad.3ds: --camera 2: the file has 1 camera that can be looked "
              "through"},
      {.what = "help", .args = {"--help", "--bogus"}, .out = "*usage: "},
      {.what = "version", .args = {"--version"},
       .out = "* " MODELVIEWER_VERSION "\n"}};
  // clang-format on
}

// Standard output and error: modelviewer's count of models and its one line
// (a usage error adds the usage); nothing from modelviewer-quiet but --help
// and --version.
void ExpectMessages(const Build& build, const ViewingCase& c,
                    const Outcome& run) {
  EXPECT_EQ(c.status, run.status) << run.err;
  if (c.out[0] == '*')  // --help and --version speak in both builds
    EXPECT_NE(std::string::npos, run.out.find(c.out + 1)) << run.out;
  else
    EXPECT_EQ(build.quiet ? "" : c.out, run.out);
  if (build.quiet || !*c.err) {
    EXPECT_EQ("", run.err);
  } else if (c.status == 2) {
    EXPECT_EQ(0u, run.err.find(std::string("modelviewer: ") + c.err))
        << run.err;
    EXPECT_NE(std::string::npos, run.err.find("\nusage: modelviewer "))
        << run.err;
  } else {
    EXPECT_NE(std::string::npos, run.err.find(c.err)) << run.err;
    EXPECT_EQ(1, LinesOf(run.err)) << run.err;
  }
}

// An 800 x 600 RGB picture with the hues, places, bands and greys the case
// asks for.
void ExpectPicture(const ViewingCase& c, const std::string& picture) {
  Shell(("identify -format '%w %h %[channels]' '" + picture + "' > '" +
         picture + ".txt'")
            .c_str());
  EXPECT_EQ("800 600 srgb", ReadText(picture + ".txt"));
  const Image shot = ReadPng(picture);
  ASSERT_EQ(800, shot.w);
  Coloured coloured = ColouredOf(shot);
  for (const std::string& hue : c.hues)
    EXPECT_GE(coloured.hues[hue], 500) << hue;
  for (const std::string& hue : c.absent)
    EXPECT_EQ(0, coloured.hues[hue]) << hue;
  int colours = 0;
  for (const char* hue : {"r", "g", "b", "rg", "gb", "rb"})
    colours += coloured.hues[hue] >= 500;
  EXPECT_GE(colours, c.colours);
  if (!c.top.empty()) {
    EXPECT_EQ(c.top, MainHue(coloured.upper));
  }
  if (!c.bottom.empty()) {
    EXPECT_EQ(c.bottom, MainHue(coloured.lower));
  }
  if (c.wide) {
    EXPECT_GT(coloured.right - coloured.left,
              2 * (coloured.bottom - coloured.top));
  }
  if (c.segments) {  // along the middle row of what is coloured, or all
    const int y = coloured.count ? (coloured.top + coloured.bottom) / 2
                                 : (shot.h - 1) / 2;
    EXPECT_EQ(c.segments, Segments(shot, y));
  }
  if (c.grey) {
    EXPECT_GT(LightGreys(shot), 10000);
    EXPECT_EQ(0, coloured.count);
    const RGBColour corner = shot.at(0, 0);
    EXPECT_TRUE(corner.r == 51 && corner.g == 51 && corner.b == 51)
        << corner.r << "," << corner.g << "," << corner.b;
  }
}

class ViewingMode
    : public ::testing::TestWithParam<std::tuple<Build, ViewingCase>> {};

}  // namespace

TEST_P(ViewingMode, ShowsTheFileOrRefusesIt) {
  const auto& [build, c] = GetParam();
  const std::string dir = TestDir();
  if (c.write) c.write(dir + "/work");
  Outcome run = RunViewer(build, dir, "none", c.env, 0, c.args);
  ExpectMessages(build, c, run);
  if (c.status == 0 && c.args[0] == "--screenshot")
    ExpectPicture(c, dir + "/work/shot.png");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ViewingMode,
    ::testing::Combine(::testing::ValuesIn(kBuilds),
                       ::testing::ValuesIn(ViewingCases())),
    CaseName<ViewingCase>);
