// The real programs, run on their own Xvfb screen (run_viewer.sh) the way a
// person would: test folders, runs, text and pictures read back, the files
// that tests write, and the two builds every test runs.
#ifndef MODELVIEWER_HARNESS_H
#define MODELVIEWER_HARNESS_H

#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "writer3ds.h"

#ifndef VIEWER_DIR
#error VIEWER_DIR must name the directory with the viewer programs
#endif

#ifdef PROGRAMS_SANITIZED
const bool kSanitized = true;  // slower, and their memory is not their own
#else
const bool kSanitized = false;
#endif

struct Build {
  const char* program;
  bool quiet;
};
const Build kBuilds[] = {{"modelviewer", false}, {"modelviewer-quiet", true}};
inline const Build& kLoud = kBuilds[0];

// Test names and messages show the program, not the record's bytes.
inline void PrintTo(const Build& build, std::ostream* out) {
  *out << build.program;
}

// A test's name: the program, then the words of `what` in letters, digits
// and underscores, so that --gtest_filter can pick one case.
inline std::string NameOf(const Build& build, const std::string& what) {
  std::string name = build.quiet ? "modelviewer_quiet" : "modelviewer";
  bool gap = true;
  for (char c : what) {
    if (std::isalnum(static_cast<unsigned char>(c)) && gap) name += '_';
    if (std::isalnum(static_cast<unsigned char>(c))) name += c;
    gap = !std::isalnum(static_cast<unsigned char>(c));
  }
  return name;
}
inline std::string BuildName(const ::testing::TestParamInfo<Build>& info) {
  return NameOf(info.param, "");
}
template <typename Case>
std::string CaseName(
    const ::testing::TestParamInfo<std::tuple<Build, Case>>& info) {
  return NameOf(std::get<0>(info.param), std::get<1>(info.param).what);
}

inline std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

inline std::vector<std::string> LinesIn(const std::string& path) {
  std::istringstream text(ReadText(path));
  std::vector<std::string> lines;
  for (std::string line; std::getline(text, line);) lines.push_back(line);
  return lines;
}

// Runs a shell command that a test needs to succeed.
inline void Shell(const std::string& command) {
  if (std::system(command.c_str()) != 0) ADD_FAILURE() << "failed: " << command;
}

// A fresh folder of the current test, with an empty work/ inside.
inline std::string TestDir() {
  const ::testing::TestInfo* info =
      ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(info->test_suite_name()) + "." + info->name();
  std::replace(name.begin(), name.end(), '/', '_');
  std::string dir = ::testing::TempDir() + "viewer." + name;
  Shell(("rm -rf '" + dir + "' && mkdir -p '" + dir + "/work'").c_str());
  return dir;
}

struct Outcome {
  int status = -1;
  std::string out, err, dir;
  // With VIEWER_USAGE=1: the peak memory and the processor's seconds, -1
  // where no figure was read. With VIEWER_STOP: the seconds from the signal
  // to the end, -1 where none was measured.
  long kilobytes = -1;
  double processor = -1, stopped = -1;
  std::string screenshot() const { return dir + "/screen.ppm"; }
  std::string trace() const { return dir + "/trace"; }
};

// Runs `build` in `dir`/work with `args`. action: key, close, steps or none;
// `frames`: how many frames it draws before the screenshot and the action.
inline Outcome RunViewer(const Build& build, const std::string& dir,
                         const std::string& action, const std::string& env = "",
                         int frames = 0,
                         const std::vector<std::string>& args = {}) {
  std::ostringstream cmd;
  cmd << env << " bash " << TESTS_DIR << "/run_viewer.sh " << VIEWER_DIR << "/"
      << build.program << " '" << dir << "/work' '" << dir << "/out' " << action
      << " " << frames;
  for (const std::string& arg : args) cmd << " '" << arg << "'";
  // The run's own status is in its folder; none there fails below.
  if (std::system(cmd.str().c_str()) == -1) ADD_FAILURE() << "no shell";
  Outcome run;
  run.dir = dir + "/out";
  // No status means the run itself could not be made.
  std::string status = ReadText(run.dir + "/status");
  if (status.empty())
    ADD_FAILURE() << "no run of " << build.program << ": "
                  << ReadText(run.dir + "/harness_error");
  else
    run.status = std::atoi(status.c_str());
  long kilobytes;
  double user, system, stopped;
  if (std::istringstream(ReadText(run.dir + "/usage")) >> kilobytes >> user >>
      system) {
    run.kilobytes = kilobytes;
    run.processor = user + system;
  }
  if (std::istringstream(ReadText(run.dir + "/stopped")) >> stopped)
    run.stopped = stopped;
  run.out = ReadText(run.dir + "/stdout");
  // Leave out what the GL tracer itself says.
  for (const std::string& line : LinesIn(run.dir + "/stderr"))
    if (line.compare(0, 9, "apitrace:") != 0) run.err += line + "\n";
  return run;
}

inline int LinesOf(const std::string& text) {
  return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

// ---- Files ------------------------------------------------------------------

// `bytes` as `name` under `work`, folders and all.
inline void WriteIn(const std::string& work, const std::string& name,
                    const w3ds::Bytes& bytes) {
  Shell(("mkdir -p \"$(dirname '" + work + "/" + name + "')\"").c_str());
  ASSERT_TRUE(w3ds::writeFile(work + "/" + name, bytes));
}

// The bundled program's model.
inline void WriteModel(const std::string& dir, const w3ds::Bytes& bytes) {
  WriteIn(dir + "/work", "monster.3ds", bytes);
}

// One textured triangle: the smallest model the import accepts.
inline w3ds::Mesh Triangle() {
  return w3ds::Mesh{{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}},
                    {{0, 1, 2, 0}},
                    {{0, 0}, {1, 0}, {0, 1}}};
}

// A 2 x 2 quad standing on the file's xz plane about the origin, facing -y,
// mapped whole with v up.
inline w3ds::Mesh UprightQuad() {
  return {{{-1, 0, -1}, {1, 0, -1}, {1, 0, 1}, {-1, 0, 1}},
          {{0, 1, 2, 0}, {0, 2, 3, 0}},
          {{0, 0}, {1, 0}, {1, 1}, {0, 1}}};
}

// An image that ImageMagick's convert makes `how`, as `name` under `work`.
inline void Convert(const std::string& work, const std::string& name,
                    const std::string& how) {
  const std::string path = work + "/" + name;
  Shell(("mkdir -p \"$(dirname '" + path + "')\" && convert " + how + " '" +
         path + "'")
            .c_str());
}
// Four quadrants, red and green above, blue and white below.
const std::string kQuadrantImage =
    "-size 32x32 xc:red xc:lime +append \\( xc:blue xc:white +append \\) "
    "-append";
const std::string kRedAboveBlue = "-size 64x32 xc:red xc:blue -append";

// What a case writes into the work folder before the run.
using Writer = std::function<void(const std::string& work)>;

// An upright quad, red above and blue below, 2 x 2 about the origin, and a
// camera 10 in front of it with a 90 mm lens: through it, the quad is half
// the window wide.
inline void WriteQuadWithCamera(const std::string& work) {
  using namespace w3ds;
  Convert(work, "rb.png", kRedAboveBlue);
  WriteIn(
      work, "quad.3ds",
      file3ds(editor()
                  .add(materialChunk("q").add(textureMap("rb.png")))
                  .add(modelObject("quad", UprightQuad(), "q"))
                  .add(cameraObject("front", {0, -10, 0}, {0, 0, 0}, 0, 90))));
}

// An upright plane `size` x `size` about the origin, facing -y as
// UprightQuad does, in `cells` x `cells` squares, so that lights at the
// vertices show too.
inline w3ds::Mesh UprightGrid(float size, int cells) {
  w3ds::Mesh grid;
  for (int row = 0; row <= cells; ++row)
    for (int column = 0; column <= cells; ++column) {
      const float u = float(column) / cells, v = float(row) / cells;
      grid.vertices.push_back({size * (u - 0.5f), 0, size * (v - 0.5f)});
      grid.coords.push_back({u, v});
    }
  for (int row = 0; row < cells; ++row)
    for (int column = 0; column < cells; ++column) {
      const auto at = [&](int r, int c) {
        return static_cast<std::uint16_t>(r * (cells + 1) + c);
      };
      grid.faces.push_back(
          {at(row, column), at(row, column + 1), at(row + 1, column + 1), 0});
      grid.faces.push_back(
          {at(row, column), at(row + 1, column + 1), at(row + 1, column), 0});
    }
  return grid;
}

// A white plane 10 x 10 about the origin, facing -y, and a red spot 10 in
// front of it pointing at its middle with a hotspot of 20 and a falloff of
// 30 degrees: its full light falls within 1.76 of the middle, and none
// beyond 2.68.
inline w3ds::Bytes SpotOnPlane() {
  using namespace w3ds;
  const Mesh plane = UprightGrid(10, 20);
  return file3ds(editor()
                     .add(materialChunk("white", {0, 0, 0}, {255, 255, 255}))
                     .add(modelObject("plane", plane, "white"))
                     .add(lightObject("spot", {0, -10, 0},
                                      {floatColour({1, 0, 0}),
                                       spotlight({0, 0, 0}, 20, 30)})));
}

// ---- Images -----------------------------------------------------------------

struct RGBColour {
  int r, g, b;
};
const RGBColour kQuadrants[4] = {
    {255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};  // TL TR BL BR

// A BMP whose four quadrants are red, green (top), blue, white (bottom).
inline void WriteQuadrantBmp(const std::string& path, int w, int h, int depth) {
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

inline Image ReadPpm(const std::string& path) {
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

// A PNG (a screenshot of the program's own) read through a PPM copy.
inline Image ReadPng(const std::string& path) {
  Shell(("convert '" + path + "' '" + path + ".ppm'").c_str());
  return ReadPpm(path + ".ppm");
}

// Which channels of a lit pixel stand out: "r", "rg", "b" and so on; "" for
// greys and dark pixels.
inline std::string Hue(const RGBColour& c) {
  int high = std::max({c.r, c.g, c.b});
  if (high < 60) return "";
  std::string hue;
  if (c.r > high / 2) hue += "r";
  if (c.g > high / 2) hue += "g";
  if (c.b > high / 2) hue += "b";
  return hue == "rgb" ? "" : hue;
}

// Where the coloured pixels of a picture are, and their hues: all of them,
// and those above and below the middle.
struct Coloured {
  int count = 0, left = 1 << 20, right = -1, top = 1 << 20, bottom = -1;
  std::map<std::string, int> hues, upper, lower;
  double aspect() const { return double(right - left) / (bottom - top); }
};

inline Coloured ColouredOf(const Image& shot) {
  Coloured c;
  for (int y = 0; y < shot.h; ++y)
    for (int x = 0; x < shot.w; ++x) {
      const std::string hue = Hue(shot.at(x, y));
      if (hue.empty()) continue;
      ++c.count, ++c.hues[hue];
      ++(y < shot.h / 2 ? c.upper : c.lower)[hue];
      c.left = std::min(c.left, x), c.right = std::max(c.right, x);
      c.top = std::min(c.top, y), c.bottom = std::max(c.bottom, y);
    }
  return c;
}

#endif
