// The bundled program, which shows monster.3ds of the working directory:
// its GL call stream (apitrace), its turns of one event and one frame, the
// pixels of its textures, what it refuses, its object slots, and files
// written by modelling tools.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "harness.h"
#include "loader/3dsloader.h"
#include "writer3ds.h"

using namespace w3ds;

namespace {

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

// The GL calls of a trace, one per line, without call numbers; window-system
// calls other than the buffer swap and state queries are left out.
std::vector<std::string> GlCalls(const std::string& trace) {
  std::string dumpfile = trace + ".txt";
  Shell(("apitrace dump --color=never '" + trace + "' > '" + dumpfile +
         "' 2>/dev/null")
            .c_str());
  std::vector<std::string> calls;
  for (const std::string& line : LinesIn(dumpfile)) {
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
      "glMatrixMode(mode = GL_MODELVIEW)", "glLoadIdentity()",
      "glEnable(cap = GL_DEPTH_TEST)", "glDepthFunc(func = GL_LEQUAL)",
      "glHint(target = GL_PERSPECTIVE_CORRECTION_HINT, mode = GL_NICEST)",
      "glClearDepth(depth = 1)", "glEnable(cap = GL_LINE_SMOOTH)",
      "glHint(target = GL_POLYGON_SMOOTH_HINT, mode = GL_NICEST)",
      "glEnable(cap = GL_LIGHTING)", "glEnable(cap = GL_LIGHT0)",
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
      "glMatrixMode(mode = GL_PROJECTION)", "glLoadIdentity()",
      // The perspective of aspect 800/600 and near plane 0.1f (widened), as
      // the GLU call leaves it; an exact 0.1 would give -0.2002002002002002.
      "glMultMatrixd(m = {1.810660171779821, 0, 0, 0, 0, 2.414213562373095, 0, "
      "0, 0, 0, -1.002002002031864, -1, 0, 0, -0.2002002031864019, 0})"};
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
      "GL_MODULATE)"};
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
      "glRotatef(angle = " + F(angle) + ", x = 0, y = 1, z = 0)"};
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

class BundledProgram : public ::testing::TestWithParam<Build> {};

}  // namespace

// ---- The GL stream ----------------------------------------------------------

TEST_P(BundledProgram, GlStreamOfStartUpImportAndFirstTwoFrames) {
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

TEST_P(BundledProgram, EmptySceneDrawsNothingAndIsBlack) {
  const Build build = GetParam();
  std::string dir = TestDir();
  WriteModel(dir, file3ds(editor().add(object("light").add(Chunk(0x4600)))));
  Outcome run = RunViewer(build, dir, "key", "TRACE=1", 1);
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

TEST_P(BundledProgram, OldGlGetsTexturesScaledToPowersOfTwo) {
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

// ---- Ending the run ---------------------------------------------------------

// Each turn of the frame loop takes at most one event, then draws and
// presents one frame; a key press ends the loop after the frame of its own
// turn. turn_log.c writes "poll TYPE" (0: no event) and "swap" for each call.
TEST_P(BundledProgram, KeyPressEndsAfterOneMoreFrame) {
  const Build build = GetParam();
  std::string dir = TestDir();
  WriteModel(dir, file3ds(editor()));
  Outcome run = RunViewer(build, dir, "key", "TRACE=1");
  EXPECT_EQ(0, run.status) << run.err;
  EXPECT_EQ(build.quiet ? "" : "0\n", run.out);
  EXPECT_EQ("", run.err);
  const std::vector<std::string> calls = LinesIn(run.dir + "/turns");
  ASSERT_GE(calls.size(), 2u);
  ASSERT_EQ(0u, calls.size() % 2);
  for (size_t i = 0; i < calls.size(); i += 2) {
    EXPECT_EQ("poll", calls[i].substr(0, 4)) << "call " << i;
    EXPECT_EQ("swap", calls[i + 1]) << "call " << i + 1;
  }
  // The first key press is taken in the last turn, and the trace ends with
  // that turn's frame: nothing is drawn after it.
  const auto key = std::find(calls.begin(), calls.end(),
                             "poll " + std::to_string(SDL_KEYDOWN));
  EXPECT_EQ(calls.size() - 2, size_t(key - calls.begin()));
  std::vector<std::string> got = GlCalls(run.trace());
  ASSERT_FALSE(got.empty());
  EXPECT_EQ("glXSwapBuffers", got.back());
  EXPECT_EQ(int(calls.size() / 2), CountOf(got, "glXSwapBuffers"));
}

TEST_P(BundledProgram, ClosingTheWindowEndsTheRun) {
  const Build build = GetParam();
  std::string dir = TestDir();
  WriteModel(dir, file3ds(editor()));
  Outcome run = RunViewer(build, dir, "close");
  EXPECT_EQ(0, run.status) << run.err;
  EXPECT_EQ(build.quiet ? "" : "0\n", run.out);
}

TEST_P(BundledProgram, MouseAndKeyReleaseDoNotEndTheRun) {
  const Build build = GetParam();
  std::string dir = TestDir();
  WriteModel(dir, file3ds(editor()));
  // The script's action runs after xdotool has moved, clicked and released;
  // only its key press may end the program.
  Outcome run = RunViewer(build, dir, "key",
                          "VIEWER_PRE_ACTION='xdotool mousemove 10 10 click 1 "
                          "keyup space mousemove 400 300; settled'");
  EXPECT_EQ(0, run.status);
  EXPECT_EQ("1", ReadText(run.dir + "/alive_before_key"));
}

// ---- Pixels -----------------------------------------------------------------

// Shows the square textured with a quadrant image written at `imagefile`
// (under the working directory) and named `stored` in the 3DS file.
void ExpectTexturedSquare(const Build& build, int w, int h, int depth,
                          const std::string& imagefile,
                          const std::string& stored) {
  std::string dir = TestDir();
  std::string path = dir + "/work/" + imagefile;
  Shell(("mkdir -p \"$(dirname '" + path + "')\"").c_str());
  WriteQuadrantBmp(path, w, h, depth);
  WriteModel(dir, TexturedSquareFile(build, stored));
  Outcome run = RunViewer(build, dir, "key", "WAIT_FOR_PICTURE=1");
  ASSERT_EQ(0, run.status) << run.err;
  ExpectQuadrantColours(build, run);
}

TEST_P(BundledProgram, TextureQuadrantsShowTheirTrueColours) {
  ExpectTexturedSquare(GetParam(), 64, 64, 24, "quad.bmp", "quad.bmp");
}

TEST_P(BundledProgram, PaddedRowsOf150PixelsShowTheirTrueColours) {
  ExpectTexturedSquare(GetParam(), 150, 100, 24, "quad.bmp", "quad.bmp");
}

// Paletted BMP files and DOS names are the images room's (images_test.cpp).

// ---- What the import refuses and what it repairs ----------------------------

struct Refusal {
  const char* what;
  Bytes file;
  const char* reason;  // part of modelviewer's one line
};
void PrintTo(const Refusal& r, std::ostream* out) { *out << r.what; }

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
  auto real = [](const std::string& name) {
    const std::string bytes = ReadText(TEST_DATA_DIR "/" + name);
    return Bytes(bytes.begin(), bytes.end());
  };
  auto textured = [&](const std::string& image) {
    return file3ds(editor()
                       .add(materialChunk("m").add(textureMap(image)))
                       .add(modelObject("good", tri, "m")));
  };
  // clang-format off
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
       file3ds(editor().add(materialChunk("m"))
                       .add(modelObject("good", bad, "m"))),
       "model 0 \"good\": face 0 names vertex 3 of 3"},
      // The model's other checks come first.
      {"no mapping coordinates and a face beyond the vertices",
       model(trimesh().add(vl).add(Chunk(faceList(bad.faces)).add(mr))),
       "model 0 \"good\": no mapping coordinates chunk"},
      {"missing texture image", textured("nothere.bmp"),
       "model 0 \"good\": cannot load texture image \"nothere.bmp\""},
      {"texture image that is not a BMP", textured("monster.3ds"),
       "cannot load texture image \"monster.3ds\""},
      // Names from the file cannot split the line or reach the terminal.
      {"control bytes in the model name",
       file3ds(editor().add(materialChunk("m")).add(
           object("two\nlines\x1b[2J\xc3\xa9").add(trimesh().add(vl).add(fl)))),
       "model 0 \"two\\x0alines\\x1b[2J\\xc3\\xa9\": no material reference"},
      {"control bytes in the texture name", textured("a\rb\x9b\x7f.bmp"),
       "cannot load texture image \"a\\x0db\\x9b\\x7f.bmp\""},
      // Files written by modelling tools.
      {"a box without materials", real("RotatingCube.3DS"),
       "no material reference chunk"},
      {"a box whose PNG texture is not shipped",
       real("cube_with_diffuse_texture.3DS"),
       "cannot load texture image \"TEST.PNG\""},
  };
  // clang-format on
}

class Refused : public ::testing::TestWithParam<std::tuple<Build, Refusal>> {};

TEST_P(Refused, WithStatusOneAndOneLine) {
  const auto& [build, r] = GetParam();
  std::string dir = TestDir();
  WriteModel(dir, r.file);
  Outcome run = RunViewer(build, dir, "none");
  EXPECT_EQ(1, run.status);
  if (build.quiet) {
    EXPECT_EQ("", run.out + run.err);
    return;
  }
  EXPECT_EQ("1\n", run.out);
  EXPECT_NE(std::string::npos, run.err.find(r.reason)) << run.err;
  EXPECT_EQ(1, LinesOf(run.err)) << run.err;
}

INSTANTIATE_TEST_SUITE_P(Files, Refused,
                         ::testing::Combine(::testing::ValuesIn(kBuilds),
                                            ::testing::ValuesIn(Refusals())),
                         CaseName<Refusal>);

TEST_P(BundledProgram, MissingModelFileEndsWithStatusOne) {
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

TEST_P(BundledProgram, VideoThatCannotStartEndsWithStatusOne) {
  ExpectStartUpFailure(GetParam(), "SDL_VIDEODRIVER_OVERRIDE=nosuchdriver",
                       "modelviewer: cannot initialise video");
}

TEST_P(BundledProgram, WindowThatCannotOpenEndsWithStatusOne) {
  ExpectStartUpFailure(GetParam(), "XVFB_ARGS='-extension GLX'",
                       "modelviewer: cannot open the OpenGL window");
}

TEST_P(BundledProgram, MoreModelsThanSlotsShowsTheFirstOnes) {
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

INSTANTIATE_TEST_SUITE_P(Builds, BundledProgram, ::testing::ValuesIn(kBuilds),
                         BuildName);

// ---- Files written by real modelling tools ----------------------------------

TEST(RealFiles, RifleIsShownTextured) {
  std::string dir = TestDir();
  Shell(("cp " TEST_DATA_DIR "/mar_rifle.3ds '" + dir +
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
