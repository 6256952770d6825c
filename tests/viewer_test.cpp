// The real programs, run on their own Xvfb screen with real key presses: exit
// status and output, the GL call stream (apitrace) and screenshot pixels.
#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "3dsloader.h"
#include "hostile3ds.h"
#include "writer3ds.h"

#ifndef VIEWER_DIR
#error VIEWER_DIR must name the directory with the viewer programs
#endif

using namespace w3ds;

namespace {

struct Build {
  const char* program;
  bool quiet;
};
const Build kLoud{"modelviewer", false};
const Build kQuiet{"modelviewer-quiet", true};

// Test names and messages show the program, not the record's bytes.
void PrintTo(const Build& build, std::ostream* out) { *out << build.program; }

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// A fresh folder of the current test; `part` tells apart the runs of one test.
std::string TestDir(const std::string& part = "") {
  const ::testing::TestInfo* info =
      ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name =
      std::string(info->test_suite_name()) + "." + info->name() + part;
  for (char& c : name)
    if (c == '/') c = '_';
  std::string dir = ::testing::TempDir() + "viewer." + name;
  std::system(("rm -rf '" + dir + "' && mkdir -p '" + dir + "/work'").c_str());
  return dir;
}

struct Outcome {
  int status = -1;
  std::string out, err, dir;
  std::string screenshot() const { return dir + "/screen.ppm"; }
  std::string trace() const { return dir + "/trace"; }
};

// Runs `build` in `dir`/work with `args`. action: key, close or none.
Outcome RunViewer(const Build& build, const std::string& dir,
                  const std::string& action, const std::string& env = "",
                  double seconds = 0,
                  const std::vector<std::string>& args = {}) {
  std::ostringstream cmd;
  cmd << env << " bash " << TESTS_DIR << "/run_viewer.sh " << VIEWER_DIR << "/"
      << build.program << " '" << dir << "/work' '" << dir << "/out' " << action
      << " " << seconds;
  for (const std::string& arg : args) cmd << " '" << arg << "'";
  std::system(cmd.str().c_str());
  Outcome run;
  run.dir = dir + "/out";
  // No status means the run itself could not be made.
  std::string status = ReadText(run.dir + "/status");
  if (status.empty())
    ADD_FAILURE() << "no run of " << build.program << ": "
                  << ReadText(run.dir + "/harness_error");
  else
    run.status = std::atoi(status.c_str());
  run.out = ReadText(run.dir + "/stdout");
  // Leave out what the GL tracer itself says.
  std::istringstream err(ReadText(run.dir + "/stderr"));
  for (std::string line; std::getline(err, line);)
    if (line.compare(0, 9, "apitrace:") != 0) run.err += line + "\n";
  return run;
}

void WriteModel(const std::string& dir, const Bytes& bytes) {
  ASSERT_TRUE(writeFile(dir + "/work/monster.3ds", bytes));
}

// ---- Images --------------------------------------------------------------

struct RGBColour {
  int r, g, b;
};
const RGBColour kQuadrants[4] = {
    {255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};  // TL TR BL BR

// A BMP whose four quadrants are red, green (top), blue, white (bottom).
void WriteQuadrantBmp(const std::string& path, int w, int h, int depth) {
  SDL_Surface* s =
      depth == 8 ? SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, 8, 0, 0, 0, 0)
                 : SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, 24, 0xFF0000,
                                        0x00FF00, 0x0000FF, 0);
  ASSERT_NE(nullptr, s);
  if (depth == 8) {
    SDL_Color palette[4];
    for (int i = 0; i < 4; ++i)
      palette[i] = {Uint8(kQuadrants[i].r), Uint8(kQuadrants[i].g),
                    Uint8(kQuadrants[i].b), 0};
    SDL_SetColors(s, palette, 0, 4);
  }
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      int q = (y < h / 2 ? 0 : 2) + (x < w / 2 ? 0 : 1);
      Uint8* p = static_cast<Uint8*>(s->pixels) + y * s->pitch +
                 x * s->format->BytesPerPixel;
      if (depth == 8) {
        *p = Uint8(q);
      } else {
        Uint32 pixel = SDL_MapRGB(s->format, kQuadrants[q].r, kQuadrants[q].g,
                                  kQuadrants[q].b);
        for (int k = 0; k < 3; ++k) p[k] = Uint8(pixel >> (8 * k));
      }
    }
  ASSERT_EQ(0, SDL_SaveBMP(s, path.c_str()));
  SDL_FreeSurface(s);
}

struct Image {
  int w = 0, h = 0;
  std::vector<unsigned char> rgb;
  RGBColour at(int x, int y) const {
    const unsigned char* p = &rgb[3 * (y * w + x)];
    return {p[0], p[1], p[2]};
  }
};

Image ReadPpm(const std::string& path) {
  Image image;
  std::ifstream in(path, std::ios::binary);
  // Header fields, skipping comment lines such as ImageMagick's.
  auto field = [&in]() {
    std::string token;
    while (in >> token && token[0] == '#') std::getline(in, token);
    return token;
  };
  std::string magic = field();
  image.w = std::atoi(field().c_str());
  image.h = std::atoi(field().c_str());
  field();  // maximum value
  in.get();
  if (magic != "P6" || image.w <= 0) return Image();
  image.rgb.resize(3 * image.w * image.h);
  in.read(reinterpret_cast<char*>(image.rgb.data()), image.rgb.size());
  return image;
}

// ---- Fixtures --------------------------------------------------------------

// One textured triangle: the smallest model the import accepts.
Mesh Triangle() {
  return Mesh{{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}},
              {{0, 1, 2, 0}},
              {{0, 0}, {1, 0}, {0, 1}}};
}

// A square facing the viewer, textured corner to corner with the first image
// row at its top (t = 0), placed for each build's view: modelviewer turns
// model z up, modelviewer-quiet keeps y up.
Mesh FacingSquare(const Build& build) {
  Mesh m;
  if (build.quiet)
    m.vertices = {{-1, 0, 0}, {1, 0, 0}, {1, 2, 0}, {-1, 2, 0}};
  else
    m.vertices = {{-4, 0, 2}, {4, 0, 2}, {4, 0, 10}, {-4, 0, 10}};
  m.coords = {{0, 1}, {1, 1}, {1, 0}, {0, 0}};
  m.faces = {{0, 1, 2, 0}, {0, 2, 3, 0}};
  return m;
}

// Screen pixel of the square's point at fractions (fx, fy) from its centre
// (-1 left/bottom, 1 right/top), before any spin.
void SquarePixel(const Build& build, float fx, float fy, int& x, int& y) {
  const double f = 1 / std::tan(22.5 * M_PI / 180);
  double ex = build.quiet ? fx : 4 * fx;
  double ey = build.quiet ? fy : 4 * fy;  // square centres sit on eye y = 0
  double ez = build.quiet ? 4 : 20;
  x = static_cast<int>(400 + ex / ez * f / (800.0 / 600) * 400);
  y = static_cast<int>(300 - ey / ez * f * 300);
}

Bytes TexturedSquareFile(const Build& build, const std::string& image) {
  return file3ds(editor()
                     .add(materialChunk("quad").add(textureMap(image)))
                     .add(modelObject("square", FacingSquare(build), "quad")));
}

void ExpectQuadrantColours(const Build& build, const Outcome& run) {
  Image shot = ReadPpm(run.screenshot());
  ASSERT_EQ(800, shot.w) << run.err;
  // Samples close to the vertical centre line stay in their quadrant while
  // the square turns by anything up to 80 degrees.
  const float fx[4] = {-0.15f, 0.15f, -0.15f, 0.15f};
  const float fy[4] = {0.5f, 0.5f, -0.5f, -0.5f};
  for (int q = 0; q < 4; ++q) {
    int x, y;
    SquarePixel(build, fx[q], fy[q], x, y);
    RGBColour c = shot.at(x, y);
    auto high = [](int v) { return v > 100; };
    auto low = [](int v) { return v < 50; };
    bool match = true;
    for (int k = 0; k < 3; ++k) {
      int want = (&kQuadrants[q].r)[k], got = (&c.r)[k];
      match = match && (want ? high(got) : low(got));
    }
    EXPECT_TRUE(match) << build.program << " quadrant " << q << " at " << x
                       << "," << y << " is " << c.r << "," << c.g << "," << c.b;
  }
}

// ---- GL stream --------------------------------------------------------------

// The GL calls of a trace, one per line, without call numbers; window-system
// calls other than the buffer swap and state queries are left out.
std::vector<std::string> GlCalls(const std::string& trace) {
  std::string dumpfile = trace + ".txt";
  std::system(("apitrace dump --color=never '" + trace + "' > '" + dumpfile +
               "' 2>/dev/null")
                  .c_str());
  std::istringstream dump(ReadText(dumpfile));
  std::vector<std::string> calls;
  std::string line;
  while (std::getline(dump, line)) {
    size_t space = line.find(' ');
    if (line.empty() || line[0] == '/' || space == std::string::npos) continue;
    std::string call = line.substr(space + 1);
    if (call.find("// fake") != std::string::npos) continue;
    if (call.compare(0, 14, "glXSwapBuffers") == 0)
      call = "glXSwapBuffers";
    else if (call.compare(0, 3, "glX") == 0 || call.compare(0, 5, "glGet") == 0)
      continue;
    calls.push_back(call);
  }
  return calls;
}

std::string F(float v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.7g", v);
  return text;
}

std::vector<std::string> StartUpCalls() {
  return {
      "glViewport(x = 0, y = 0, width = 800, height = 600)",
      "glMatrixMode(mode = GL_MODELVIEW)",
      "glLoadIdentity()",
      "glEnable(cap = GL_DEPTH_TEST)",
      "glDepthFunc(func = GL_LEQUAL)",
      "glHint(target = GL_PERSPECTIVE_CORRECTION_HINT, mode = GL_NICEST)",
      "glClearDepth(depth = 1)",
      "glEnable(cap = GL_LINE_SMOOTH)",
      "glHint(target = GL_POLYGON_SMOOTH_HINT, mode = GL_NICEST)",
      "glEnable(cap = GL_LIGHTING)",
      "glEnable(cap = GL_LIGHT0)",
      "glEnable(cap = GL_LIGHT1)",
      "glLightfv(light = GL_LIGHT0, pname = GL_POSITION, params = {3, 5, -2, "
      "1})",
      "glLightfv(light = GL_LIGHT0, pname = GL_DIFFUSE, params = {1, 1, 1, 1})",
      "glLightf(light = GL_LIGHT0, pname = GL_LINEAR_ATTENUATION, param = "
      "0.01)",
      "glLightfv(light = GL_LIGHT1, pname = GL_POSITION, params = {3, 5, -2, "
      "1})",
      "glLightfv(light = GL_LIGHT1, pname = GL_DIFFUSE, params = {1, 1, 1, 1})",
      "glLightf(light = GL_LIGHT1, pname = GL_LINEAR_ATTENUATION, param = "
      "0.01)",
      "glLightfv(light = GL_LIGHT1, pname = GL_AMBIENT, params = {0.5, 0.5, "
      "0.5, 1})",
      "glMatrixMode(mode = GL_PROJECTION)",
      "glLoadIdentity()",
      // The perspective of aspect 800/600 and near plane 0.1f (widened), as
      // the GLU call leaves it; an exact 0.1 would give -0.2002002002002002.
      "glMultMatrixd(m = {1.810660171779821, 0, 0, 0, 0, 2.414213562373095, 0, "
      "0, 0, 0, -1.002002002031864, -1, 0, 0, -0.2002002031864019, 0})",
  };
}

std::vector<std::string> UploadCalls(const Build& build, int name, int w,
                                     int h) {
  // What the upload reads: every row padded to 4 bytes but the last.
  int bpp = build.quiet ? 4 : 3;
  int bytes = ((bpp * w + 3) & ~3) * (h - 1) + bpp * w;
  std::ostringstream image;
  image << "glTexImage2D(target = GL_TEXTURE_2D, level = 0, internalformat = "
           "3, width = "
        << w << ", height = " << h
        << ", border = 0, format = " << (build.quiet ? "GL_BGRA" : "GL_RGB")
        << ", type = GL_UNSIGNED_BYTE, pixels = blob(" << bytes << "))";
  return {
      "glBindTexture(target = GL_TEXTURE_2D, texture = " +
          std::to_string(name) + ")",
      image.str(),
      "glTexParameteri(target = GL_TEXTURE_2D, pname = GL_TEXTURE_MIN_FILTER, "
      "param = GL_LINEAR)",
      "glTexParameteri(target = GL_TEXTURE_2D, pname = GL_TEXTURE_MAG_FILTER, "
      "param = GL_LINEAR)",
      "glEnable(cap = GL_TEXTURE_2D)",
      "glTexEnvf(target = GL_TEXTURE_ENV, pname = GL_TEXTURE_ENV_MODE, param = "
      "GL_MODULATE)",
  };
}

// One object's draw calls from its decoded mesh, normals as the reader
// computes them.
void AppendObject(std::vector<std::string>& calls, const Mesh& mesh,
                  int bindname) {
  std::vector<float> v, uv, n(3 * mesh.vertices.size(), 0.0f);
  std::vector<unsigned short> f;
  for (const Vec3& p : mesh.vertices) v.insert(v.end(), p.begin(), p.end());
  for (const Vec2& p : mesh.coords) uv.insert(uv.end(), p.begin(), p.end());
  uv.resize(2 * std::max(mesh.coords.size(), mesh.vertices.size()), 0.0f);
  for (const Face& p : mesh.faces) f.insert(f.end(), p.begin(), p.begin() + 3);
  Loader3DS().SmoothNormals(mesh.faces.size(), f.data(), v.data(), n.data());
  if (bindname)
    calls.push_back("glBindTexture(target = GL_TEXTURE_2D, texture = " +
                    std::to_string(bindname) + ")");
  calls.push_back("glBegin(mode = GL_TRIANGLES)");
  for (unsigned short i : f) {
    calls.push_back("glNormal3f(nx = " + F(n[3 * i]) + ", ny = " +
                    F(n[3 * i + 1]) + ", nz = " + F(n[3 * i + 2]) + ")");
    calls.push_back("glTexCoord2f(s = " + F(uv[2 * i]) +
                    ", t = " + F(uv[2 * i + 1]) + ")");
    calls.push_back("glVertex3f(x = " + F(v[3 * i]) + ", y = " +
                    F(v[3 * i + 1]) + ", z = " + F(v[3 * i + 2]) + ")");
  }
  calls.push_back("glEnd()");
}

std::vector<std::string> FrameStart(const Build& build, float angle) {
  std::vector<std::string> calls = {
      "glClearColor(red = 0, green = 0, blue = 0, alpha = 0.5)",
      "glClear(mask = GL_DEPTH_BUFFER_BIT | GL_COLOR_BUFFER_BIT)",
      "glMatrixMode(mode = GL_MODELVIEW)",
      "glLoadIdentity()",
      build.quiet ? "glTranslatef(x = 0, y = -1, z = -4)"
                  : "glTranslatef(x = 0, y = -6, z = -20)",
      "glRotatef(angle = " + F(angle) + ", x = 0, y = 1, z = 0)",
  };
  if (!build.quiet)
    calls.push_back("glRotatef(angle = 90, x = -1, y = 0, z = 0)");
  return calls;
}

void ExpectPrefix(const std::vector<std::string>& want,
                  const std::vector<std::string>& got) {
  ASSERT_GE(got.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i)
    ASSERT_EQ(want[i], got[i]) << "call " << i;
}

int CountOf(const std::vector<std::string>& calls, const std::string& call) {
  int n = 0;
  for (const std::string& c : calls) n += c == call;
  return n;
}

class BothBuilds : public ::testing::TestWithParam<Build> {};

std::string BuildName(const ::testing::TestParamInfo<Build>& info) {
  return info.param.quiet ? "modelviewer_quiet" : "modelviewer";
}

}  // namespace

// ---- The GL stream
// -----------------------------------------------------------

TEST_P(BothBuilds, GlStreamOfStartUpImportAndFirstTwoFrames) {
  const Build build = GetParam();
  std::string dir = TestDir();
  WriteQuadrantBmp(dir + "/work/quad.bmp", 150, 100, 24);
  // Model 0 textured; model 1 paired with a material without a map, with one
  // vertex that no face uses and fewer coordinate pairs than vertices.
  Mesh square = FacingSquare(build);
  Mesh tri;
  tri.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 0, 1}, {5, 5, 5}};
  tri.coords = {{0.5f, 0.25f}, {1, 0}};
  tri.faces = {{0, 2, 1, 0}};
  WriteModel(dir,
             file3ds(editor()
                         .add(materialChunk("quad").add(textureMap("quad.bmp")))
                         .add(materialChunk("plain"))
                         .add(object("camera"))
                         .add(modelObject("square", square, "quad"))
                         .add(modelObject("tri", tri, "plain"))));
  Outcome run = RunViewer(build, dir, "key", "TRACE=1");
  ASSERT_EQ(0, run.status) << run.err;
  std::vector<std::string> want = StartUpCalls();
  for (const std::string& c : UploadCalls(build, 1, 150, 100))
    want.push_back(c);
  float angle = 0;
  for (int frame = 0; frame < 2; ++frame) {
    for (const std::string& c : FrameStart(build, angle)) want.push_back(c);
    AppendObject(want, square, 1);
    AppendObject(want, tri, 0);
    want.push_back("glXSwapBuffers");
    angle = static_cast<float>(angle + 0.2);
  }
  std::vector<std::string> got = GlCalls(run.trace());
  ExpectPrefix(want, got);
  // One texture only: slot 1 has no map and creates no texture object.
  EXPECT_EQ(0,
            CountOf(got, "glBindTexture(target = GL_TEXTURE_2D, texture = 2)"));
}

TEST_P(BothBuilds, EmptySceneDrawsNothingAndIsBlack) {
  const Build build = GetParam();
  std::string dir = TestDir();
  WriteModel(dir, file3ds(editor().add(object("light").add(Chunk(0x4600)))));
  Outcome run = RunViewer(build, dir, "key", "TRACE=1", 0.3);
  ASSERT_EQ(0, run.status) << run.err;
  EXPECT_EQ(build.quiet ? "" : "0\n", run.out);
  EXPECT_EQ("", run.err);
  std::vector<std::string> got = GlCalls(run.trace());
  std::vector<std::string> want = StartUpCalls();
  for (const std::string& c : FrameStart(build, 0)) want.push_back(c);
  want.push_back("glXSwapBuffers");
  ExpectPrefix(want, got);
  EXPECT_EQ(0, CountOf(got, "glBegin(mode = GL_TRIANGLES)"));
  Image shot = ReadPpm(run.screenshot());
  ASSERT_EQ(800, shot.w);
  int brightest = 0;
  for (unsigned char c : shot.rgb) brightest = std::max<int>(brightest, c);
  EXPECT_EQ(0, brightest);
}

TEST_P(BothBuilds, OldGlGetsTexturesScaledToPowersOfTwo) {
  const Build build = GetParam();
  std::string dir = TestDir();
  WriteQuadrantBmp(dir + "/work/quad.bmp", 150, 100, 24);
  WriteModel(dir, TexturedSquareFile(build, "quad.bmp"));
  // An OpenGL 1.4 without non-power-of-two textures.
  Outcome run =
      RunViewer(build, dir, "key",
                "TRACE=1 WAIT_FOR_PICTURE=1 MESA_GL_VERSION_OVERRIDE=1.4 "
                "MESA_EXTENSION_OVERRIDE=-GL_ARB_texture_non_power_of_two");
  ASSERT_EQ(0, run.status) << run.err;
  std::vector<std::string> got = GlCalls(run.trace());
  EXPECT_EQ(1, CountOf(got, UploadCalls(build, 1, 256, 128)[1]));
  ExpectQuadrantColours(build, run);
}

// ---- Ending the run
// ------------------------------------------------------------

TEST_P(BothBuilds, KeyPressEndsAfterOneMoreFrame) {
  const Build build = GetParam();
  std::string dir = TestDir();
  WriteModel(dir, file3ds(editor()));
  // Sent as soon as the window exists: the pointer's move and the key are the
  // only events, so the key ends the second or third turn.
  Outcome run = RunViewer(build, dir, "key", "TRACE=1");
  EXPECT_EQ(0, run.status) << run.err;
  EXPECT_EQ(build.quiet ? "" : "0\n", run.out);
  EXPECT_EQ("", run.err);
  std::vector<std::string> got = GlCalls(run.trace());
  int frames = CountOf(got, "glXSwapBuffers");
  EXPECT_GE(frames, 1);
}

TEST_P(BothBuilds, ClosingTheWindowEndsTheRun) {
  const Build build = GetParam();
  std::string dir = TestDir();
  WriteModel(dir, file3ds(editor()));
  Outcome run = RunViewer(build, dir, "close");
  EXPECT_EQ(0, run.status) << run.err;
  EXPECT_EQ(build.quiet ? "" : "0\n", run.out);
}

TEST_P(BothBuilds, MouseAndKeyReleaseDoNotEndTheRun) {
  const Build build = GetParam();
  std::string dir = TestDir();
  WriteModel(dir, file3ds(editor()));
  // The script's action runs after xdotool has moved, clicked and released;
  // only its key press may end the program.
  Outcome run = RunViewer(build, dir, "key",
                          "VIEWER_PRE_ACTION='xdotool mousemove 10 10 click 1 "
                          "keyup space mousemove 400 300 sleep 0.5'");
  EXPECT_EQ(0, run.status);
  EXPECT_EQ("1", ReadText(run.dir + "/alive_before_key"));
}

// ---- Pixels
// ----------------------------------------------------------------------

// Shows the square textured with a quadrant image written at `imagefile`
// (under the working directory) and named `stored` in the 3DS file, beside
// a folder `decoy` if one is named.
void ExpectTexturedSquare(const Build& build, int w, int h, int depth,
                          const std::string& imagefile,
                          const std::string& stored,
                          const std::string& decoy = "") {
  std::string dir = TestDir();
  std::string path = dir + "/work/" + imagefile;
  std::system(("mkdir -p \"$(dirname '" + path + "')\"").c_str());
  if (!decoy.empty())
    std::system(("mkdir -p '" + dir + "/work/" + decoy + "'").c_str());
  WriteQuadrantBmp(path, w, h, depth);
  WriteModel(dir, TexturedSquareFile(build, stored));
  Outcome run = RunViewer(build, dir, "key", "WAIT_FOR_PICTURE=1");
  ASSERT_EQ(0, run.status) << run.err;
  ExpectQuadrantColours(build, run);
}

TEST_P(BothBuilds, TextureQuadrantsShowTheirTrueColours) {
  ExpectTexturedSquare(GetParam(), 64, 64, 24, "quad.bmp", "quad.bmp");
}

TEST_P(BothBuilds, PaddedRowsOf150PixelsShowTheirTrueColours) {
  ExpectTexturedSquare(GetParam(), 150, 100, 24, "quad.bmp", "quad.bmp");
}

TEST_P(BothBuilds, PalettedBmpShowsItsColours) {
  ExpectTexturedSquare(GetParam(), 150, 100, 8, "quad.bmp", "quad.bmp");
}

TEST_P(BothBuilds, DosTextureNameResolvesWithoutRegardToCase) {
  ExpectTexturedSquare(GetParam(), 64, 64, 24, "Maps/quad.bmp",
                       "MAPS\\QUAD.BMP");
}

TEST_P(BothBuilds, AFolderNamedLikeTheImageIsPassedOver) {
  ExpectTexturedSquare(GetParam(), 64, 64, 24, "Quad.bmp", "quad.bmp",
                       "quad.bmp");
}

// ---- What the import refuses and what it repairs
// ---------------------------------

struct Refusal {
  const char* what;
  Bytes file;
  const char* reason;  // part of modelviewer's one line
};

std::vector<Refusal> Refusals() {
  Mesh tri = Triangle();
  auto model = [&](Chunk mesh) {
    return file3ds(
        editor().add(materialChunk("m")).add(object("good").add(mesh)));
  };
  Chunk vl = vertexList(tri.vertices), fl = faceList(tri.faces),
        mc = mappingCoords(tri.coords), mr = materialRef("m", {0});
  Mesh bad = tri;
  bad.faces = {{0, 1, 3, 0}};
  return {
      {"no vertex list", model(trimesh().add(Chunk(fl).add(mr)).add(mc)),
       "model 0 \"good\": no vertex list chunk"},
      {"no face list", model(trimesh().add(vl).add(mc)),
       "model 0 \"good\": no face list chunk"},
      {"no material reference", model(trimesh().add(vl).add(fl).add(mc)),
       "model 0 \"good\": no material reference chunk"},
      {"no mapping coordinates",
       model(trimesh().add(vl).add(Chunk(fl).add(mr))),
       "model 0 \"good\": no mapping coordinates chunk"},
      {"face index beyond the vertices",
       file3ds(
           editor().add(materialChunk("m")).add(modelObject("good", bad, "m"))),
       "model 0 \"good\": face 0 names vertex 3 of 3"},
      // The model's other checks come first.
      {"no mapping coordinates and a face beyond the vertices",
       model(trimesh().add(vl).add(Chunk(faceList(bad.faces)).add(mr))),
       "model 0 \"good\": no mapping coordinates chunk"},
      {"missing texture image",
       file3ds(editor()
                   .add(materialChunk("m").add(textureMap("nothere.bmp")))
                   .add(modelObject("good", tri, "m"))),
       "model 0 \"good\": cannot load texture image \"nothere.bmp\""},
      {"texture image that is not a BMP",
       file3ds(editor()
                   .add(materialChunk("m").add(textureMap("monster.3ds")))
                   .add(modelObject("good", tri, "m"))),
       "cannot load texture image \"monster.3ds\""},
      // Names from the file cannot split the line or reach the terminal.
      {"control bytes in the model name",
       file3ds(editor()
                   .add(materialChunk("m"))
                   .add(object("two\nlines\x1b[2J\xc3\xa9")
                            .add(trimesh().add(vl).add(fl)))),
       "model 0 \"two\\x0alines\\x1b[2J\\xc3\\xa9\": no material reference"},
      {"control bytes in the texture name",
       file3ds(editor()
                   .add(materialChunk("m").add(textureMap("a\rb\x9b\x7f.bmp")))
                   .add(modelObject("good", tri, "m"))),
       "cannot load texture image \"a\\x0db\\x9b\\x7f.bmp\""},
  };
}

TEST_P(BothBuilds, EveryRefusalEndsWithStatusOneAndOneLine) {
  const Build build = GetParam();
  for (const Refusal& r : Refusals()) {
    std::string dir = TestDir();
    WriteModel(dir, r.file);
    Outcome run = RunViewer(build, dir, "none");
    EXPECT_EQ(1, run.status) << r.what;
    if (build.quiet) {
      EXPECT_EQ("", run.out + run.err) << r.what;
      continue;
    }
    EXPECT_EQ("1\n", run.out) << r.what;
    EXPECT_NE(std::string::npos, run.err.find(r.reason))
        << r.what << ": " << run.err;
    EXPECT_EQ(1, std::count(run.err.begin(), run.err.end(), '\n')) << run.err;
  }
}

TEST_P(BothBuilds, MissingModelFileEndsWithStatusOne) {
  const Build build = GetParam();
  std::string dir = TestDir();
  Outcome run = RunViewer(build, dir, "none");
  EXPECT_EQ(1, run.status);
  EXPECT_EQ("", run.out);
  EXPECT_EQ(
      build.quiet
          ? ""
          : "modelviewer: cannot read monster.3ds in the working directory\n",
      run.err);
}

// Start-up fails under `env`: status 1, and modelviewer's line starts with
// `reason`; nothing at all from modelviewer-quiet.
void ExpectStartUpFailure(const Build& build, const std::string& env,
                          const std::string& reason) {
  std::string dir = TestDir();
  WriteModel(dir, file3ds(editor()));
  Outcome run = RunViewer(build, dir, "none", env);
  EXPECT_EQ(1, run.status);
  EXPECT_EQ("", run.out);
  if (build.quiet)
    EXPECT_EQ("", run.err);
  else
    EXPECT_EQ(0u, run.err.find(reason)) << run.err;
}

TEST_P(BothBuilds, VideoThatCannotStartEndsWithStatusOne) {
  ExpectStartUpFailure(GetParam(), "SDL_VIDEODRIVER_OVERRIDE=nosuchdriver",
                       "modelviewer: cannot initialise video");
}

TEST_P(BothBuilds, WindowThatCannotOpenEndsWithStatusOne) {
  ExpectStartUpFailure(GetParam(), "XVFB_ARGS='-extension GLX'",
                       "modelviewer: cannot open the OpenGL window");
}

TEST_P(BothBuilds, MoreModelsThanSlotsShowsTheFirstOnes) {
  const Build build = GetParam();
  std::string dir = TestDir();
  Mesh tri = Triangle();
  Chunk ed = editor();
  for (int i = 0; i < 9; ++i)
    ed.add(modelObject("m" + std::to_string(i), tri, "x"));
  WriteModel(dir, file3ds(ed));
  Outcome run = RunViewer(build, dir, "key", "TRACE=1");
  ASSERT_EQ(0, run.status) << run.err;
  int slots = build.quiet ? 5 : 7;
  if (build.quiet) {
    EXPECT_EQ("", run.out + run.err);
  } else {
    EXPECT_EQ("9\n", run.out);  // the file's count, before the slots cut it
    EXPECT_EQ(
        "modelviewer: monster.3ds holds 9 models; showing the first 7 "
        "and leaving out 2\n",
        run.err);
  }
  std::vector<std::string> got = GlCalls(run.trace());
  int frames = CountOf(got, "glXSwapBuffers");
  EXPECT_EQ(slots * frames, CountOf(got, "glBegin(mode = GL_TRIANGLES)"));
}

// ---- Viewing mode: a file named on the command line
// ---------------------------

// A box of six sides from x to x + 2, each side two faces that show the whole
// texture and name the material `side(s)`.
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

// Which channels of a lit pixel stand out: "r", "rg", "b" and so on; "" for
// greys and dark pixels.
std::string Hue(const RGBColour& c) {
  int high = std::max({c.r, c.g, c.b});
  if (high < 60) return "";
  std::string hue;
  if (c.r > high / 2) hue += "r";
  if (c.g > high / 2) hue += "g";
  if (c.b > high / 2) hue += "b";
  return hue == "rgb" ? "" : hue;
}

struct ViewingCase {
  const char* what;
  std::function<void(const std::string& work)> write;  // files under work/
  std::vector<std::string> args;
  int status;
  const char* out;  // modelviewer's standard output; "*..." in both builds
  const char* err;  // part of its only line on standard error; "" for none
  std::vector<std::string> hues = {}, absent = {};  // ≥ 500 pixels; none
  int colours = 0;  // at least this many of the six pure hues
  // Hues that must make up most coloured pixels above and below the middle.
  std::string top = "", bottom = "";
  bool wide = false;  // what is drawn is over twice as wide as it is tall
  // Shapes or bands along the middle row: runs of one kind of pixel (a hue,
  // dark or bright) between background or another kind.
  int segments = 0;
  std::string env = "";
};

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

void WriteIn(const std::string& work, const std::string& name,
             const Bytes& bytes) {
  std::system(("mkdir -p \"$(dirname '" + work + "/" + name + "')\"").c_str());
  ASSERT_TRUE(writeFile(work + "/" + name, bytes));
}

void CopyIn(const std::string& work, const std::vector<std::string>& files) {
  for (const std::string& f : files)
    std::system(("mkdir -p '" + work + "/models' && cp '" TEST_DATA_DIR "/" +
                 f + "' '" + work + "/models/'")
                    .c_str());
}

// The quadrant image as `name`, in the format that its extension says.
void WriteImage(const std::string& work, const std::string& name) {
  WriteQuadrantBmp(work + "/quad.bmp", 64, 64, 24);
  const std::string path = work + "/" + name;
  std::system(("mkdir -p \"$(dirname '" + path + "')\" && convert '" + work +
               "/quad.bmp' '" + path + "' && rm '" + work + "/quad.bmp'")
                  .c_str());
}

// A 2 x 2 quad standing on the file's xz plane about the origin, facing -y,
// mapped whole with v up.
Mesh UprightQuad() {
  return {{{-1, 0, -1}, {1, 0, -1}, {1, 0, 1}, {-1, 0, 1}},
          {{0, 1, 2, 0}, {0, 2, 3, 0}},
          {{0, 0}, {1, 0}, {1, 1}, {0, 1}}};
}

// An upright quad, red above and blue below, 2 x 2 about the origin, and a
// camera 10 in front of it with a 90 mm lens: through it, the quad is half
// the window wide.
void WriteQuadWithCamera(const std::string& work) {
  std::system(("convert -size 64x32 xc:red -size 64x32 xc:blue -append '" +
               work + "/rb.png'")
                  .c_str());
  const Mesh quad = UprightQuad();
  WriteIn(
      work, "quad.3ds",
      file3ds(editor()
                  .add(materialChunk("q").add(textureMap("rb.png")))
                  .add(modelObject("quad", quad, "q"))
                  .add(cameraObject("front", {0, -10, 0}, {0, 0, 0}, 0, 90))));
}

// A quad standing on the file's xy plane, facing the camera, whose image
// (of the format `extension` names) is red above and blue below.
ViewingCase Upright(const std::vector<std::string>& shot,
                    const std::string& extension) {
  const std::string image = "rb." + extension;
  return {"an upright quad whose image is red above and blue below",
          [=](const std::string& w) {
            std::system(("mkdir -p '" + w + "/models' && convert -size 64x32 " +
                         "xc:red -size 64x32 xc:blue -append '" + w +
                         "/models/" + image + "'")
                            .c_str());
            const Mesh quad = UprightQuad();
            WriteIn(w, "models/box.3ds",
                    file3ds(editor()
                                .add(materialChunk("q").add(textureMap(image)))
                                .add(modelObject("quad", quad, "q"))));
          },
          shot,
          0,
          "1\n",
          "",
          {"r", "b"},
          {},
          0,
          "r",
          "b"};
}

std::vector<ViewingCase> ViewingCases() {
  auto all = [](const std::string& m) { return [m](int) { return m; }; };
  const std::vector<std::string> shot = {"--screenshot", "shot.png",
                                         "models/box.3ds"};
  Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0};
  auto upright = [&](const std::string& e) { return Upright(shot, e); };
  return {
      {"textures beside a file in another folder: a PNG, and a JPEG stored "
       "under another case",
       [=](const std::string& w) {
         WriteImage(w, "models/quad.png");
         WriteImage(w, "models/Maps/quad2.jpg");
         WriteIn(
             w, "models/box.3ds",
             file3ds(editor()
                         .add(materialChunk("png").add(textureMap("quad.png")))
                         .add(materialChunk("jpeg").add(
                             textureMap("MAPS\\QUAD2.JPG")))
                         .add(Box("a", -3, all("png")))
                         .add(Box("b", 1, all("jpeg")))));
       },
       shot,
       0,
       "2\n",
       "",
       {"r", "g", "b"},
       {}},
      {"a red CMYK JPEG texture",
       [=](const std::string& w) {
         std::system(("mkdir -p '" + w + "/models' && convert -size 64x64 " +
                      "xc:red -colorspace CMYK '" + w + "/models/cmyk.jpg'")
                         .c_str());
         WriteIn(
             w, "models/box.3ds",
             file3ds(editor()
                         .add(materialChunk("c").add(textureMap("cmyk.jpg")))
                         .add(Box("a", -1, all("c")))));
       },
       shot,
       0,
       "1\n",
       "",
       {"r"},
       {"b", "g"}},
      // The file's z axis is up, the camera looks along +y, and v = 0 is
      // the image's bottom row.
      upright("png"),
      upright("tga"),
      {"a flat plate in the xy plane",
       [=](const std::string& w) {
         Mesh plate{{{-5, -5, 0}, {5, -5, 0}, {5, 5, 0}, {-5, 5, 0}},
                    {{0, 1, 2, 0}, {0, 2, 3, 0}},
                    {{0, 0}, {1, 0}, {1, 1}, {0, 1}}};
         WriteIn(w, "models/box.3ds",
                 file3ds(editor()
                             .add(materialChunk("p", {}, {255, 0, 0}))
                             .add(modelObject("plate", plate, "p"))));
       },
       shot,
       0,
       "1\n",
       "",
       {"r"},
       {},
       0,
       "",
       "",
       true},
      {"a transparent quad before an opaque one: mixed where they overlap",
       [=](const std::string& w) {
         Mesh back{{{-2, 2, -1}, {1, 2, -1}, {1, 2, 1}, {-2, 2, 1}},
                   {{0, 1, 2, 0}, {0, 2, 3, 0}},
                   {}};
         Mesh front = back;
         for (Vec3& v : front.vertices) v = {v[0] + 1, -2, v[2]};
         WriteIn(w, "models/box.3ds",
                 file3ds(editor()
                             .add(materialChunk("red", {}, {255, 0, 0}))
                             .add(materialChunk("blue", {}, {0, 0, 255}, {}, 0,
                                                0, 50))
                             .add(modelObject("back", back, "red"))
                             .add(modelObject("front", front, "blue"))));
       },
       shot,
       0,
       "2\n",
       "",
       {"r", "b", "rb"},
       {}},
      {"a texture whose alpha lets the quad behind it show through",
       [=](const std::string& w) {
         WriteImage(w, "models/quad.tga");
         std::system(("convert -size 16x16 xc:'rgba(255,0,0,0.5)' '" + w +
                      "/models/half.png'")
                         .c_str());
         const Mesh quad = UprightQuad();
         Mesh behind = quad;
         for (Vec3& v : behind.vertices) v = {v[0] + 3, 2, v[2]};
         Mesh before = quad;
         for (Vec3& v : before.vertices) v = {v[0] + 3.5f, 0, v[2]};
         WriteIn(
             w, "models/box.3ds",
             file3ds(editor()
                         .add(materialChunk("t").add(textureMap("quad.tga")))
                         .add(materialChunk("a").add(textureMap("half.png")))
                         .add(materialChunk("g", {}, {0, 255, 0}))
                         .add(modelObject("tga", quad, "t"))
                         .add(modelObject("behind", behind, "g"))
                         .add(modelObject("before", before, "a"))));
       },
       shot,
       0,
       "3\n",
       "",
       {"r", "g", "b", "rg"},
       {}},
      {"a half black, half white texture with u scale 2: four bands",
       [=](const std::string& w) {
         std::system(("mkdir -p '" + w + "/models' && convert -size 32x64 " +
                      "xc:black -size 32x64 xc:white +append '" + w +
                      "/models/bw.png'")
                         .c_str());
         const Mesh quad = UprightQuad();
         WriteIn(
             w, "models/box.3ds",
             file3ds(editor()
                         .add(materialChunk("q").add(
                             textureMap("bw.png").add(Chunk(0xA354).f32(2))))
                         .add(modelObject("quad", quad, "q"))));
       },
       shot,
       0,
       "1\n",
       "",
       {},
       {},
       0,
       "",
       "",
       false,
       4},
      {"two instances of a cube, side by side",
       [=](const std::string& w) {
         WriteIn(w, "models/box.3ds",
                 file3ds(editor()
                             .add(materialChunk("c", {}, {255, 0, 0}))
                             .add(Box("box", 0, all("c"))),
                         {objectNode(0, "box", 0xFFFF,
                                     {track(0xB020, {{0, -4, 0, 0}})}),
                          objectNode(1, "box", 0xFFFF,
                                     {track(0xB020, {{0, 4, 0, 0}})})}));
       },
       shot,
       0,
       "1\n",
       "has no matrix (0x4160)",
       {"r"},
       {},
       0,
       "",
       "",
       false,
       2},
      {"six sides in six colours",
       [=](const std::string& w) {
         const RGB colours[6] = {{255, 0, 0},   {0, 255, 0},   {0, 0, 255},
                                 {255, 255, 0}, {0, 255, 255}, {255, 0, 255}};
         Chunk ed = editor();
         for (int s = 0; s < 6; ++s)
           ed.add(materialChunk("c" + std::to_string(s), {}, colours[s]));
         WriteIn(w, "models/box.3ds", file3ds(ed.add(Box("box", 0, [](int s) {
                   return "c" + std::to_string(s);
                 }))));
       },
       shot,
       0,
       "1\n",
       "",
       {},
       {},
       2},
      {"faces that name the second material chunk",
       [=](const std::string& w) {
         WriteIn(w, "models/box.3ds",
                 file3ds(editor()
                             .add(materialChunk("first", {}, {255, 0, 0}))
                             .add(materialChunk("second", {}, {0, 255, 0}))
                             .add(Box("box", 0, all("second")))));
       },
       shot,
       0,
       "1\n",
       "",
       {"g"},
       {"r"}},
      {"a missing image leaves its faces in their colour",
       [=](const std::string& w) {
         WriteIn(w, "models/box.3ds",
                 file3ds(editor()
                             .add(materialChunk("m", {}, {0, 0, 255})
                                      .add(textureMap("gone.png")))
                             .add(Box("box", 0, all("m")))));
       },
       shot,
       0,
       "1\n",
       "modelviewer: models/box.3ds: cannot use texture image "
       "\"gone.png\": ",
       {"b"},
       {}},
      {"a file without a model to draw",
       [=](const std::string& w) {
         WriteIn(w, "models/box.3ds", file3ds(editor().add(object("camera"))));
       },
       shot, 1, "0\n",
       "modelviewer: models/box.3ds: no model that can be drawn"},
      {"a file that is not a 3DS file",
       [=](const std::string& w) { WriteIn(w, "models/box.3ds", png); }, shot,
       1, "", "models/box.3ds: not a 3DS file"},
      {"a screenshot that cannot be written",
       [=](const std::string& w) {
         WriteIn(w, "models/box.3ds",
                 file3ds(editor().add(Box("box", 0, all("m")))));
       },
       {"--screenshot", "no/such/folder/shot.png", "models/box.3ds"},
       1,
       "1\n",
       "cannot write the screenshot no/such/folder/shot.png"},
      {"the bundled program's first frame",
       [=](const std::string& w) {
         std::system(("cp " SAMPLE_DIR "/* '" + w + "'").c_str());
       },
       {"--screenshot", "shot.png"},
       0,
       "5\n",
       "",
       {"g"},
       {}},
      // Files written by modelling tools, copied with what lies beside them.
      {"the textured rifle",
       [=](const std::string& w) {
         CopyIn(w, {"mar_rifle.3ds", "m_rifl.bmp"});
       },
       {"--screenshot", "shot.png", "models/mar_rifle.3ds"},
       0,
       "1\n",
       ""},
      {"a box without materials",
       [=](const std::string& w) { CopyIn(w, {"RotatingCube.3DS"}); },
       {"--screenshot", "shot.png", "models/RotatingCube.3DS"},
       0,
       "1\n",
       ""},
      {"a box whose PNG texture is not shipped",
       [=](const std::string& w) {
         CopyIn(w, {"cube_with_diffuse_texture.3DS"});
       },
       {"--screenshot", "shot.png", "models/cube_with_diffuse_texture.3DS"},
       0,
       "1\n",
       "cannot use texture image \"TEST.PNG\""},
      {"--info=json without a display, in both builds",
       [=](const std::string& w) {
         WriteIn(w, "models/box.3ds",
                 file3ds(editor().add(Box("box", 0, all("m")))));
       },
       {"--info=json", "models/box.3ds"},
       0,
       "*\"models\": 1",
       "",
       {},
       {},
       0,
       "",
       "",
       false,
       0,
       "VIEWER_WRAPPER='env -u DISPLAY'"},
      {"an unknown option",
       nullptr,
       {"--bogus"},
       2,
       "",
       "unknown option --bogus"},
      {"--screenshot without a path",
       nullptr,
       {"a.3ds", "--screenshot"},
       2,
       "",
       "--screenshot needs the path"},
      {"two files", nullptr, {"a.3ds", "b.3ds"}, 2, "", "one FILE at most"},
      {"a window too small",
       nullptr,
       {"--size", "20x20", "a.3ds"},
       2,
       "",
       "--size needs WIDTHxHEIGHT"},
      {"a camera the file does not have",
       [](const std::string& w) { WriteQuadWithCamera(w); },
       {"--camera", "2", "quad.3ds"},
       1,
       "1\n",
       "quad.3ds: --camera 2: the file has 1 camera that can be looked "
       "through"},
      {"help", nullptr, {"--help", "--bogus"}, 0, "*usage: ", ""},
      {"version",
       nullptr,
       {"--version"},
       0,
       "* " MODELVIEWER_VERSION "\n",
       ""}};
}

TEST_P(BothBuilds, ViewingModeShowsFilesAndRefusesWhatItCannot) {
  const Build build = GetParam();
  int part = 0;
  for (const ViewingCase& c : ViewingCases()) {
    SCOPED_TRACE(c.what);
    std::string dir = TestDir("." + std::to_string(part++));
    if (c.write) c.write(dir + "/work");
    Outcome run = RunViewer(build, dir, "none", c.env, 0, c.args);
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
      EXPECT_EQ(1, std::count(run.err.begin(), run.err.end(), '\n')) << run.err;
    }
    if (c.status != 0 || c.args[0] != "--screenshot") continue;
    // An 800 x 600 RGB picture; the hues counted that it must show or not.
    std::string picture = dir + "/work/shot.png";
    std::system(("identify -format '%w %h %[channels]' '" + picture + "' > '" +
                 picture + ".txt' && convert '" + picture + "' '" + picture +
                 ".ppm'")
                    .c_str());
    EXPECT_EQ("800 600 srgb", ReadText(picture + ".txt"));
    Image shot = ReadPpm(picture + ".ppm");
    ASSERT_EQ(800, shot.w);
    std::map<std::string, int> pixels;
    for (int y = 0; y < shot.h; ++y)
      for (int x = 0; x < shot.w; ++x) ++pixels[Hue(shot.at(x, y))];
    for (const std::string& hue : c.hues) EXPECT_GE(pixels[hue], 500) << hue;
    for (const std::string& hue : c.absent) EXPECT_EQ(0, pixels[hue]) << hue;
    int colours = 0;
    for (const char* hue : {"r", "g", "b", "rg", "gb", "rb"})
      colours += pixels[hue] >= 500;
    EXPECT_GE(colours, c.colours);
    // Where the coloured pixels are: the main hue of each half, and the
    // extent of them all.
    std::map<std::string, int> half[2];
    int left = shot.w, right = -1, top = shot.h, bottom = -1;
    for (int y = 0; y < shot.h; ++y)
      for (int x = 0; x < shot.w; ++x) {
        const std::string hue = Hue(shot.at(x, y));
        if (hue.empty()) continue;
        ++half[y < shot.h / 2 ? 0 : 1][hue];
        left = std::min(left, x), right = std::max(right, x);
        top = std::min(top, y), bottom = std::max(bottom, y);
      }
    auto main_hue = [](const std::map<std::string, int>& counts) {
      std::string best;
      for (const auto& h : counts)
        if (best.empty() || h.second > counts.at(best)) best = h.first;
      return best;
    };
    if (!c.top.empty()) {
      EXPECT_EQ(c.top, main_hue(half[0]));
    }
    if (!c.bottom.empty()) {
      EXPECT_EQ(c.bottom, main_hue(half[1]));
    }
    if (c.wide) {
      EXPECT_GT(right - left, 2 * (bottom - top));
    }
    if (c.segments) {
      EXPECT_EQ(c.segments, Segments(shot, (top + bottom) / 2));
    }
  }
}

// ---- A person handling the model ------------------------------------------

// Where the red and blue pixels are.
struct Coloured {
  int count = 0, left = 1 << 20, right = -1, top = 1 << 20, bottom = -1;
  std::map<std::string, int> hues;
  double aspect() const { return double(right - left) / (bottom - top); }
};

Coloured ColouredOf(const Image& shot) {
  Coloured c;
  for (int y = 0; y < shot.h; ++y)
    for (int x = 0; x < shot.w; ++x) {
      const std::string hue = Hue(shot.at(x, y));
      if (hue.empty()) continue;
      ++c.count, ++c.hues[hue];
      c.left = std::min(c.left, x), c.right = std::max(c.right, x);
      c.top = std::min(c.top, y), c.bottom = std::max(c.bottom, y);
    }
  return c;
}

// Pixels of two pictures of one size that differ by more than blending.
int Differing(const Image& a, const Image& b) {
  if (a.w != b.w || a.h != b.h) return a.w * a.h + 1;
  int n = 0;
  for (size_t i = 0; i < a.rgb.size(); i += 3)
    n += std::abs(a.rgb[i] - b.rgb[i]) + std::abs(a.rgb[i + 1] - b.rgb[i + 1]) +
             std::abs(a.rgb[i + 2] - b.rgb[i + 2]) >
         24;
  return n;
}

struct Pictures {
  std::map<std::string, Image> shots;  // taken by the steps
  Image reference;                     // --screenshot with `reference` args
  std::string out;                     // the steps' other records
};

struct ActionCase {
  const char* what;
  std::vector<std::string> args, reference;
  const char* steps;
  std::function<void(const Pictures&)> check;
};

// The pointer rests inside the window, where keys go without a window
// manager; Space then R stops the spin at its first picture.
#define STILL "xdotool mousemove 400 300 key space r; sleep 0.7; "

std::vector<ActionCase> ActionCases() {
  return {
      {"a drag turns the model, other keys do nothing, R brings back the "
       "first picture",
       {"quad.3ds"},
       {"quad.3ds"},
       STILL "shot still; xdotool mousedown 1 mousemove 500 340 mouseup 1; "
             "sleep 0.7; shot dragged; xdotool key x F1 1; sleep 0.5; "
             "alive alive; xdotool key r; sleep 0.7; shot reset; "
             "xdotool key Escape",
       [](const Pictures& p) {
         EXPECT_LT(Differing(p.shots.at("still"), p.reference), 800 * 6);
         EXPECT_GT(Differing(p.shots.at("dragged"), p.reference), 5000);
         EXPECT_EQ("1", p.out);
         EXPECT_LT(Differing(p.shots.at("reset"), p.reference), 800 * 6);
       }},
      {"the wheel brings the model nearer",
       {"quad.3ds"},
       {},
       STILL "shot before; xdotool click 4 click 4; sleep 0.7; shot after; "
             "xdotool key q",
       [](const Pictures& p) {
         // Two notches: (1 / 0.85)^4 = 1.9 times the area, nearly.
         EXPECT_GT(ColouredOf(p.shots.at("after")).count,
                   1.6 * ColouredOf(p.shots.at("before")).count);
       }},
      {"a resized window shows what --size shows, in proportion",
       {"quad.3ds"},
       {"--size", "1000x500", "quad.3ds"},
       STILL "shot before; xdotool windowsize $window 1000 500; sleep 1; "
             "shot after 1000x500; xdotool key Escape",
       [](const Pictures& p) {
         const Coloured before = ColouredOf(p.shots.at("before"));
         const Coloured after = ColouredOf(p.shots.at("after"));
         ASSERT_EQ(1000, p.reference.w);
         EXPECT_LT(Differing(p.shots.at("after"), p.reference), 1000 * 5);
         EXPECT_NEAR(before.aspect(), after.aspect(), 0.03 * before.aspect());
         EXPECT_GE(after.hues.count("r") + after.hues.count("b"), 2u);
       }},
      {"--camera 1 looks through the file's camera",
       {"--camera", "1", "quad.3ds"},
       {"quad.3ds"},
       "sleep 0.5; shot camera; xdotool mousemove 400 300 key Escape",
       [](const Pictures& p) {
         const Image& shot = p.shots.at("camera");
         EXPECT_GT(Differing(shot, p.reference), 5000);
         const Coloured c = ColouredOf(shot);
         EXPECT_NEAR(400, c.right - c.left + 1, 8);
         EXPECT_EQ("r", Hue(shot.at(400, c.top + 10)));
         EXPECT_EQ("b", Hue(shot.at(400, c.bottom - 10)));
       }},
  };
}

TEST_P(BothBuilds, PeopleTurnZoomResizeAndLookThroughCameras) {
  const Build build = GetParam();
  int part = 0;
  for (const ActionCase& c : ActionCases()) {
    SCOPED_TRACE(c.what);
    const std::string dir = TestDir("." + std::to_string(part++));
    WriteQuadWithCamera(dir + "/work");
    Pictures pictures;
    if (!c.reference.empty()) {
      std::vector<std::string> args = {"--screenshot", "ref.png"};
      args.insert(args.end(), c.reference.begin(), c.reference.end());
      Outcome ref = RunViewer(build, dir, "none", "", 0, args);
      ASSERT_EQ(0, ref.status) << ref.err;
      std::system(
          ("convert '" + dir + "/work/ref.png' '" + dir + "/work/ref.ppm'")
              .c_str());
      pictures.reference = ReadPpm(dir + "/work/ref.ppm");
    }
    Outcome run =
        RunViewer(build, dir, "steps",
                  std::string("VIEWER_STEPS='") + c.steps + "'", 0.5, c.args);
    EXPECT_EQ(0, run.status) << run.err;
    EXPECT_EQ(build.quiet ? "" : "1\n", run.out);
    EXPECT_EQ("", run.err);
    for (const char* name :
         {"still", "dragged", "reset", "before", "after", "camera"})
      if (std::ifstream(run.dir + "/" + name + ".ppm"))
        pictures.shots[name] = ReadPpm(run.dir + "/" + name + ".ppm");
    pictures.out = ReadText(run.dir + "/alive");
    c.check(pictures);
  }
}

INSTANTIATE_TEST_SUITE_P(Viewer, BothBuilds, ::testing::Values(kLoud, kQuiet),
                         BuildName);

// ---- Files written by real modelling tools
// ---------------------------------------

TEST(RealFiles, RifleIsShownTextured) {
  std::string dir = TestDir();
  std::system(("cp " TEST_DATA_DIR "/mar_rifle.3ds '" + dir +
               "/work/monster.3ds' && cp " TEST_DATA_DIR "/m_rifl.bmp '" + dir +
               "/work/'")
                  .c_str());
  Outcome run = RunViewer(kLoud, dir, "key", "WAIT_FOR_PICTURE=1", 1);
  ASSERT_EQ(0, run.status) << run.err;
  EXPECT_EQ("1\n", run.out);
  Image shot = ReadPpm(run.screenshot());
  ASSERT_EQ(800, shot.w);
  // The rifle is large for this view: at every angle it covers a good part
  // of the window, at least in the ambient light.
  int lit = 0;
  for (size_t i = 0; i < shot.rgb.size(); i += 3)
    lit += shot.rgb[i] + shot.rgb[i + 1] + shot.rgb[i + 2] > 30;
  EXPECT_GT(lit, 800 * 600 / 10);
}

TEST(RealFiles, FilesWithoutMaterialOrImageAreRefused) {
  const char* files[][2] = {{"RotatingCube.3DS", "no material reference chunk"},
                            {"cube_with_diffuse_texture.3DS",
                             "cannot load texture image \"TEST.PNG\""}};
  for (auto& f : files) {
    std::string dir = TestDir();
    std::system(("cp '" TEST_DATA_DIR "/" + std::string(f[0]) + "' '" + dir +
                 "/work/monster.3ds'")
                    .c_str());
    Outcome run = RunViewer(kLoud, dir, "none");
    EXPECT_EQ(1, run.status) << f[0];
    EXPECT_NE(std::string::npos, run.err.find(f[1])) << f[0] << ": " << run.err;
  }
}

// ---- Malformed input: shown (0) or refused with a reason (1), never worse
// ---------

namespace {

// A BMP file with the given header values and as many pixel bytes as given.
Bytes Bmp(int w, int h, int bpp, unsigned colours, const Bytes& palette,
          const Bytes& pixels) {
  Chunk b(0);  // the writer's byte helpers, without a chunk header
  b.u8('B').u8('M').u32(54 + palette.size() + pixels.size()).u32(0);
  b.u32(54 + palette.size());
  b.u32(40).u32(w).u32(h).u16(1).u16(bpp).u32(0).u32(pixels.size());
  b.u32(2835).u32(2835).u32(colours).u32(0);
  b.raw(palette).raw(pixels);
  return b.data;
}

void ExpectShownOrRefused(const Outcome& run, const std::string& what) {
  EXPECT_TRUE(run.status == 0 || run.status == 1) << what << ": " << run.status;
  if (run.status == 1) {
    EXPECT_EQ(1, std::count(run.err.begin(), run.err.end(), '\n'))
        << what << ": " << run.err;
  }
  EXPECT_EQ(std::string::npos, run.err.find("Sanitizer")) << what << run.err;
}

}  // namespace

TEST(Malformed, BrokenBmpFilesAreRefused) {
  const Bytes palette(4 * 4, 0x80);
  const struct {
    const char* what;
    Bytes bmp;
  } cases[] = {
      {"palette larger than 8 bits allow",
       Bmp(8, 8, 8, 1000, palette, Bytes(64))},
      {"pixel indices past the palette",
       Bmp(8, 8, 8, 2, palette, Bytes(64, 200))},
      {"dimensions far beyond the data",
       Bmp(30000, 30000, 24, 0, {}, Bytes(100))},
      {"truncated pixel data", Bmp(64, 64, 24, 0, {}, Bytes(192 * 32))},
      {"no pixels at all", Bmp(0, 0, 24, 0, {}, {})},
  };
  Mesh tri = Triangle();
  for (const auto& c : cases) {
    std::string dir = TestDir();
    ASSERT_TRUE(writeFile(dir + "/work/t.bmp", c.bmp));
    WriteModel(dir,
               file3ds(editor()
                           .add(materialChunk("m").add(textureMap("t.bmp")))
                           .add(modelObject("tri", tri, "m"))));
    Outcome run = RunViewer(kLoud, dir, "key");
    EXPECT_EQ(1, run.status) << c.what;
    EXPECT_NE(std::string::npos, run.err.find("cannot load texture image"))
        << c.what << ": " << run.err;
    ExpectShownOrRefused(run, c.what);
  }
}

TEST(Malformed, TruncatedCopiesOfTheSample) {
  std::string sample = ReadText(SAMPLE_DIR "/monster.3ds");
  const size_t cuts[] = {0,
                         5,
                         6,
                         15,
                         16,
                         21,
                         22,
                         40,
                         100,
                         1000,
                         sample.size() / 3,
                         sample.size() / 2,
                         sample.size() - 1};
  for (size_t cut : cuts) {
    std::string dir = TestDir();
    std::system(("cp " SAMPLE_DIR "/monster.bmp '" + dir + "/work/'").c_str());
    WriteModel(dir, Bytes(sample.begin(), sample.begin() + cut));
    Outcome run = RunViewer(kLoud, dir, "key");
    ExpectShownOrRefused(run, "cut at " + std::to_string(cut));
  }
}

TEST(Malformed, BrokenChunksAreShownOrRefused) {
  Mesh tri = Triangle();
  Chunk zero = modelObject("zero", tri, "m");
  zero.kids[0].kids[1].length(0);  // mapping coordinates of length 0
  Chunk counts = modelObject("counts", tri, "m");
  counts.kids[0].kids[0].data[0] = 0xFF;  // 255 vertices claimed, 3 stored
  Chunk png = materialChunk("m").add(textureMap("t.png"));
  const struct {
    const char* what;
    Bytes file;
  } cases[] = {
      {"a chunk length of 0", file3ds(editor().add(zero))},
      {"counts larger than the chunk", file3ds(editor().add(counts))},
      {"a PNG as texture",
       file3ds(editor().add(png).add(modelObject("p", tri, "m")))},
  };
  for (const auto& c : cases) {
    std::string dir = TestDir();
    // The PNG signature and a little more: not a BMP.
    ASSERT_TRUE(writeFile(dir + "/work/t.png", Bytes{0x89, 'P', 'N', 'G', '\r',
                                                     '\n', 0x1A, '\n', 0, 0}));
    WriteModel(dir, c.file);
    Outcome run = RunViewer(kLoud, dir, "key");
    ExpectShownOrRefused(run, c.what);
  }
}

// ---- Hostile files, paths and signals ------------------------------------

#if defined(__SANITIZE_ADDRESS__)
const bool kSanitized = true;  // slower, and its memory is not the program's
#else
const bool kSanitized = false;
#endif

// Every entry under `dir` by its path: a regular file by its bytes (by its
// size and time of change past 64 MB), anything else by its type alone (a
// FIFO is never read).
std::map<std::string, std::string> Snapshot(const std::string& dir) {
  namespace fs = std::filesystem;
  std::map<std::string, std::string> entries;
  for (const auto& entry : fs::recursive_directory_iterator(dir)) {
    const fs::file_status status = entry.symlink_status();
    const std::string path = entry.path().string();
    if (!fs::is_regular_file(status))
      entries[path] = "type " + std::to_string(static_cast<int>(status.type()));
    else if (fs::file_size(path) < (64 << 20))
      entries[path] = ReadText(path);
    else
      entries[path] =
          std::to_string(fs::file_size(path)) + " bytes, changed " +
          std::to_string(fs::last_write_time(path).time_since_epoch().count());
  }
  return entries;
}

// The CRC of a PNG chunk's type and data.
std::uint32_t PngCrc(const unsigned char* bytes, size_t length) {
  std::uint32_t crc = 0xFFFFFFFF;
  for (size_t i = 0; i < length; ++i) {
    crc ^= bytes[i];
    for (int k = 0; k < 8; ++k) crc = crc >> 1 ^ (0xEDB88320 & (0 - (crc & 1)));
  }
  return ~crc;
}

// A small image file made by ImageMagick, then claiming to be `w` x `h`
// pixels in its header: PNG (IHDR, with its CRC made anew) or JPEG (SOF0).
void WriteClaimingImage(const std::string& path, int w, int h) {
  const bool png = path.substr(path.size() - 4) == ".png";
  std::system(("convert -size 8x8 xc:red '" + path + "'").c_str());
  std::string bytes = ReadText(path);
  auto put16 = [&](size_t at, int v) {
    bytes[at] = char(v >> 8);
    bytes[at + 1] = char(v);
  };
  if (png) {  // IHDR data at 16: width, height as 32-bit big-endian
    put16(16, 0), put16(18, w), put16(20, 0), put16(22, h);
    const std::uint32_t crc =
        PngCrc(reinterpret_cast<const unsigned char*>(bytes.data()) + 12, 17);
    put16(29, crc >> 16), put16(31, crc & 0xFFFF);
  } else {  // SOF0: FF C0, length, precision, height, width
    const size_t sof = bytes.find("\xFF\xC0");
    ASSERT_NE(std::string::npos, sof);
    put16(sof + 5, h), put16(sof + 7, w);
  }
  ASSERT_TRUE(writeFile(path, Bytes(bytes.begin(), bytes.end())));
}

struct HostileCase {
  const char* what;
  std::function<void(const std::string& work)> write;  // files under work/
  std::vector<std::string> args;
  int status;
  const char* err;  // part of modelviewer's standard error; "" for none
  double seconds;   // at most, start to end
  long megabytes;   // peak memory at most; 0: not checked
  std::string env = "";
};

// Sends a signal once the window is open; the program must be gone a second
// later (the leak check that the sanitizers run at exit is left out here, as
// it takes longer than that).
std::string Signal(const std::string& name) {
  return "ASAN_OPTIONS=detect_leaks=0:verify_asan_link_order=0 "
         "VIEWER_PRE_ACTION='kill -" +
         name + " $viewer; sleep 0.7'";
}

Bytes Textured(const std::string& image) {
  return hostile::TextureNames({image});
}

std::vector<HostileCase> HostileCases() {
  auto model = [](const std::string& w) {
    WriteIn(w, "m.3ds", Textured("t.bmp"));
    WriteImage(w, "t.bmp");
  };
  auto shot = [](const std::string& out) {
    return std::vector<std::string>{"--screenshot", out, "m.3ds"};
  };
  return {
      // Screenshots never destroy anything.
      {"a screenshot onto a device node",
       [=](const std::string& w) {
         model(w);
         std::system(("mknod '" + w + "/full' c 1 7").c_str());
       },
       shot("full"), 1,
       "cannot write the screenshot full: is not a regular file", 5, 0},
      {"a screenshot onto the model by another name", model, shot("./m.3ds"), 1,
       "cannot write the screenshot ./m.3ds: it is m.3ds, which this run reads",
       5, 0},
      {"a screenshot onto the model through a link",
       [=](const std::string& w) {
         model(w);
         std::system(("ln -s m.3ds '" + w + "/link.png'").c_str());
       },
       shot("link.png"), 1, "it is m.3ds, which this run reads", 5, 0},
      {"a screenshot onto the model's image", model, shot("t.bmp"), 1,
       "cannot write the screenshot t.bmp: it is t.bmp, which this run reads",
       5, 0},
      {"a screenshot onto the bundled model",
       [](const std::string& w) {
         std::system(("cp " SAMPLE_DIR "/* '" + w + "'").c_str());
       },
       {"--screenshot", "monster.3ds"},
       1,
       "cannot write the screenshot monster.3ds: it is monster.3ds",
       5,
       0},
      {"a second --screenshot",
       model,
       {"--screenshot", "a.png", "--screenshot", "b.png", "m.3ds"},
       2,
       "--screenshot given twice",
       5,
       0},
      {"an empty FILE",
       model,
       {"--screenshot", "a.png", ""},
       2,
       "FILE is empty",
       5,
       0},
      // Inputs come only from regular files, and nothing waits for them.
      {"a FIFO as FILE",
       [](const std::string& w) {
         std::system(("mkfifo '" + w + "/f.3ds'").c_str());
       },
       {"f.3ds"},
       1,
       "cannot read f.3ds: is not a regular file",
       5,
       0},
      {"a folder as FILE",
       nullptr,
       {"."},
       1,
       "cannot read .: is a directory",
       5,
       0},
      {"a FIFO and standard input as textures",
       [](const std::string& w) {
         WriteIn(w, "m.3ds", hostile::TextureNames({"p.bmp", "/dev/stdin"}));
         std::system(("mkfifo '" + w + "/p.bmp'").c_str());
       },
       shot("s.png"), 0,
       "cannot use texture image \"p.bmp\": is not a regular file", 5, 0},
      {"SIGTERM with the window open",
       model,
       {"m.3ds"},
       0,
       "",
       10,
       0,
       Signal("TERM")},
      {"SIGINT with the window open",
       model,
       {"m.3ds"},
       0,
       "",
       10,
       0,
       Signal("INT")},
      {"no display",
       model,
       {"m.3ds"},
       1,
       "no display (DISPLAY is not set); --screenshot draws without one",
       5,
       0,
       "VIEWER_WRAPPER='env -u DISPLAY -u SDL_VIDEODRIVER'"},
      {"no display, a screenshot drawn offscreen", model, shot("s.png"), 0, "",
       5, 0, "VIEWER_WRAPPER='env -u DISPLAY -u SDL_VIDEODRIVER'"},
      // Time and memory are bounded by the file's size.
      {"1 800 meshes that run past their objects to one shared vertex list",
       [](const std::string& w) {
         WriteIn(w, "m.3ds", hostile::OverlappingMeshes(1800));
       },
       shot("s.png"), 0, "model 1800 \"o1799\" is left out: no vertex list", 5,
       250},
      {"100 000 meshes that run past their objects",
       [](const std::string& w) {
         WriteIn(w, "m.3ds", hostile::OverlappingMeshes(100000, false));
       },
       shot("s.png"), 0, "model 100000 \"o99999\" is left out", 10, 300},
      {"a sparse file of 4 GiB - 1 bytes",
       [](const std::string& w) {
         std::system(("truncate -s 4294967295 '" + w + "/m.3ds'").c_str());
       },
       shot("s.png"), 1, "m.3ds: not a 3DS file", 5, 100},
      {"a 3DS header on a sparse file past 4 GiB",
       [](const std::string& w) {
         WriteIn(w, "m.3ds", Bytes{0x4D, 0x4D, 0, 0, 0, 0});
         std::system(("truncate -s 4294967306 '" + w + "/m.3ds'").c_str());
       },
       shot("s.png"), 1, "cannot read m.3ds: is larger than 4294967295 bytes",
       5, 100},
      {"a 38 MB file in 90 MB of address space",
       [](const std::string& w) {
         WriteIn(w, "m.3ds", hostile::BigMeshes(40));
       },
       shot("s.png"), 1, "out of memory", 10, 0,
       "VIEWER_WRAPPER='prlimit --as=90000000'"},
      {"300 texture names of 4 000 bytes",
       [](const std::string& w) {
         WriteIn(w, "m.3ds",
                 hostile::TextureNames(
                     hostile::LongNames(300, 4000, "a\\..\\", "t.bmp")));
         WriteImage(w, "t.bmp");
         std::system(("mkdir '" + w + "/a'").c_str());
       },
       shot("s.png"), 0, "", 8, 300},
      // Images are bounded before they are decoded, and decoded once.
      {"a JPEG that declares 16 000 x 44 000 pixels",
       [](const std::string& w) {
         WriteIn(w, "m.3ds", Textured("t.jpg"));
         WriteClaimingImage(w + "/t.jpg", 16000, 44000);
       },
       shot("s.png"), 0,
       "cannot use texture image \"t.jpg\": it is 16000 x 44000 pixels; the "
       "most "
       "taken is 8192 on a side and 64 megapixels",
       5, 250},
      {"a PNG that declares 16 383 x 32 767 pixels",
       [](const std::string& w) {
         WriteIn(w, "m.3ds", Textured("t.png"));
         WriteClaimingImage(w + "/t.png", 16383, 32767);
       },
       shot("s.png"), 0, "it is 16383 x 32767 pixels", 5, 250},
      {"a 4 x 17 000 BMP",
       [](const std::string& w) {
         WriteIn(w, "m.3ds", Textured("t.bmp"));
         WriteQuadrantBmp(w + "/t.bmp", 4, 17000, 24);
       },
       shot("s.png"), 0, "it is 4 x 17000 pixels", 5, 250},
      {"a 4 x 17 000 BMP in the bundled program",
       [](const std::string& w) {
         std::system(("cp " SAMPLE_DIR "/* '" + w + "'").c_str());
         WriteQuadrantBmp(w + "/monster.bmp", 4, 17000, 24);
       },
       {"--screenshot", "s.png"},
       1,
       "cannot load texture image \"monster.bmp\": it is 4 x 17000 pixels",
       5,
       250},
      {"60 names that lead to one 4096 x 4096 PNG",
       [](const std::string& w) {
         WriteIn(w, "m.3ds",
                 hostile::TextureNames(
                     hostile::LongNames(60, 60, ".\\", "big.png")));
         std::system(
             ("convert -size 4096x4096 gradient:red-blue '" + w + "/big.png'")
                 .c_str());
       },
       shot("s.png"), 0, "", 10, 400},
      {"a PNG with a broken chunk",
       [](const std::string& w) {
         WriteIn(w, "m.3ds", Textured("t.png"));
         WriteImage(w, "t.png");
         std::string png = ReadText(w + "/t.png");
         png[29] ^= 0x55;  // the header's CRC
         writeFile(w + "/t.png", Bytes(png.begin(), png.end()));
       },
       shot("s.png"), 0, "cannot use texture image \"t.png\": IHDR: CRC error",
       5, 0},
  };
}

TEST_P(BothBuilds, HostileFilesPathsAndSignalsEndCleanly) {
  const Build build = GetParam();
  int part = 0;
  for (const HostileCase& c : HostileCases()) {
    SCOPED_TRACE(c.what);
    // The sanitizers reserve far more address space than any limit here.
    if (kSanitized && c.env.find("prlimit") != std::string::npos) continue;
    std::string dir = TestDir("." + std::to_string(part++));
    const std::string work = dir + "/work";
    if (c.write) c.write(work);
    const auto before = Snapshot(work);
    const bool signal = c.env.find("PRE_ACTION") != std::string::npos;
    const std::string peak = dir + "/peak";
    // The leak check at exit is left to the other tests: here it would only
    // add time, and LeakSanitizer's own thread has been seen to fail at the
    // exit of a large scene.
    std::string env = c.env;
    if (kSanitized && env.find("ASAN_OPTIONS") == std::string::npos)
      env += " ASAN_OPTIONS=detect_leaks=0:verify_asan_link_order=0";
    if (!kSanitized && c.megabytes)
      env += " VIEWER_WRAPPER='/usr/bin/time -f %M -o " + peak + "'";
    const auto start = std::chrono::steady_clock::now();
    Outcome run =
        RunViewer(build, dir, signal ? "key" : "none", env, 0.5, c.args);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start)
            .count();
    EXPECT_EQ(c.status, run.status) << run.err;
    if (build.quiet || !*c.err)
      EXPECT_EQ("", run.err);
    else
      EXPECT_NE(std::string::npos, run.err.find(c.err)) << run.err;
    EXPECT_EQ(std::string::npos, run.err.find("libpng")) << run.err;
    if (c.status == 1) {  // the reason, in one line
      EXPECT_EQ(build.quiet ? 0 : 1,
                std::count(run.err.begin(), run.err.end(), '\n'))
          << run.err;
    }
    if (signal) {
      EXPECT_EQ("0", ReadText(run.dir + "/alive_before_key"));
    }
    EXPECT_LT(seconds, c.seconds * (kSanitized ? 4 : 1));
    if (!kSanitized && c.megabytes) {
      EXPECT_LT(std::atol(ReadText(peak).c_str()), c.megabytes * 1024)
          << "KB at peak";
    }
    // Nothing around the run was changed or removed.
    auto after = Snapshot(work);
    for (const auto& entry : before)
      EXPECT_EQ(entry.second, after[entry.first]) << entry.first;
  }
}
