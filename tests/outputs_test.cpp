// What the programs write is what they say: a failed write is a failure, a
// replaced picture keeps what the file it replaces had, a folder of
// pictures replaces none of its inputs, and --info finds only the textures
// that the viewer would load.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "harness.h"
#include "hostile3ds.h"
#include "writer3ds.h"

using namespace w3ds;

namespace {

struct OutputCase {
  std::string what;
  std::function<void(const std::string& work)> write = {};  // under work/
  std::vector<std::string> args = {};
  int status = 0;
  std::string env = "";
  // What the run left, checked after it.
  std::function<void(const std::string& work, const Outcome& run, bool quiet)>
      check = {};
  // A part of each of modelviewer's lines on standard error, in order; when
  // none is given, a run that fails says why in one line.
  std::vector<std::string> err = {};
};
void PrintTo(const OutputCase& c, std::ostream* out) { *out << c.what; }

class Outputs : public ::testing::TestWithParam<std::tuple<Build, OutputCase>> {
};

void Model(const std::string& work) {
  WriteIn(work, "m.3ds", hostile::TextureNames({"/dev/zero"}));
}

std::vector<std::string> Split(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);)
    if (!line.empty()) lines.push_back(line);
  return lines;
}

mode_t ModeOf(const std::string& path) {
  struct stat info;
  return lstat(path.c_str(), &info) == 0 ? info.st_mode : 0;
}

// An untextured model, and one whose texture is `image`, as `name`s.
void Plain(const std::string& work, const std::vector<std::string>& names) {
  for (const std::string& name : names)
    WriteIn(work, name,
            file3ds(editor().add(modelObject("t", Triangle(), "m"))));
}
void TexturedBy(const std::string& work, const std::string& name,
                const std::string& image) {
  WriteIn(work, name, hostile::TextureNames({image}));
}

// Each image is still the 16 x 16 picture it was, and each picture is made.
void Kept(const std::string& work, const std::vector<std::string>& images,
          const std::vector<std::string>& pictures) {
  for (const std::string& image : images)
    EXPECT_EQ(16, ReadPng(work + "/" + image).w) << image << " is replaced";
  for (const std::string& picture : pictures)
    EXPECT_EQ(32, ReadPng(work + "/" + picture).w) << picture;
}

// A wall texture, the model of that name, and another model that uses it.
void Walls(const std::string& work) {
  Convert(work, "wall.png", "-size 16x16 xc:red");
  Plain(work, {"wall.3ds", "mid.3ds"});
  TexturedBy(work, "wall2.3ds", "wall.png");
}

// Runs the program with its output through a pipe that takes 10 bytes.
const char kPipe[] = "\"$@\" | head -c 10 > /dev/null; exit ${PIPESTATUS[0]}";
// Runs it on a terminal 60 columns wide; what it writes there comes out on
// standard output.
const char kNarrow[] =
    "exec script -qec \"stty cols 60 rows 24; exec $(printf '%q ' \"$@\")\" "
    "/dev/null";
const std::string kLongName =
    "a-rather-long-folder-name-for-a-narrow-terminal/model.3ds";

// A red quad hidden until frame 10 and from frame 100, beside a blue one
// always shown.
void RedFromFrame10(const std::string& work) {
  Mesh blue = UprightQuad();
  for (Vec3& v : blue.vertices) v[0] += 3;
  WriteIn(work, "m.3ds",
          file3ds(editor()
                      .add(materialChunk("red", {0, 0, 0}, {255, 0, 0}))
                      .add(materialChunk("blue", {0, 0, 0}, {0, 0, 255}))
                      .add(modelObject("red", UprightQuad(), "red"))
                      .add(modelObject("blue", blue, "blue")),
                  {objectNode(0, "red", 0xFFFF,
                              {track(0xB029, {{0}, {10}, {100}})}),
                   objectNode(1, "blue", 0xFFFF)}));
}

std::vector<OutputCase> OutputCases() {
  return {
      {.what = "info into a full device",
       .write =
           [](const std::string& w) {
             Model(w);
             Shell(("echo 'exec \"$@\" > /dev/full' > '" + w + "/full.sh'")
                       .c_str());
           },
       .args = {"--info=json", "m.3ds"},
       .status = 1,
       .env = "VIEWER_WRAPPER='sh full.sh'"},
      {.what = "a private picture stays private",
       .write =
           [](const std::string& w) {
             Model(w);
             WriteIn(w, "s.png", Bytes{1});
             chmod((w + "/s.png").c_str(), 0600);
           },
       .args = {"--screenshot", "s.png", "m.3ds"},
       .check =
           [](const std::string& w, const Outcome&, bool) {
             EXPECT_EQ(0600u, ModeOf(w + "/s.png") & 07777);
             EXPECT_GT(ReadText(w + "/s.png").size(), 100u);
           }},
      {.what = "a link is followed and stays",
       .write =
           [](const std::string& w) {
             Model(w);
             WriteIn(w, "pictures/s.png", Bytes{1});
             symlink("pictures/s.png", (w + "/link.png").c_str());
           },
       .args = {"--screenshot", "link.png", "m.3ds"},
       .check =
           [](const std::string& w, const Outcome&, bool) {
             EXPECT_TRUE(S_ISLNK(ModeOf(w + "/link.png")));
             EXPECT_GT(ReadText(w + "/pictures/s.png").size(), 100u);
           }},
      // The GL's own lines stay off standard error: here Mesa's, where its
      // shader cache cannot be made.
      {.what = "a read-only cache folder: nothing but our lines",
       .write =
           [](const std::string& w) {
             WriteIn(w, "m.3ds",
                     file3ds(editor().add(modelObject("t", Triangle(), "m"))));
           },
       .args = {"--thumbnail", "64", "--screenshot", "s.png", "m.3ds"},
       .env = "XDG_CACHE_HOME=/proc/self",
       .check =
           [](const std::string& w, const Outcome& run, bool) {
             EXPECT_EQ("", run.err);
             EXPECT_GT(ReadText(w + "/s.png").size(), 100u);
           }},
      // A thumbnail shows the first frame at which something shows: here
      // the triangle, which hide keys hide at frame 0 and show at 50.
      {.what = "a model hidden at the first frame: a thumbnail of a later one",
       .write =
           [](const std::string& w) {
             Chunk segment(0xB008);
             Chunk matrix(0x4160);  // the mesh's own, which its node undoes
             for (float v : {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0}) matrix.f32(v);
             Chunk object = modelObject("t", Triangle(), "m");
             object.kids[0].add(matrix);
             WriteIn(w, "m.3ds",
                     file3ds(editor().add(object),
                             {segment.u32(0).u32(100),
                              objectNode(0, "t", 0xFFFF,
                                         {track(0xB029, {{0}, {50}})})}));
           },
       .args = {"--thumbnail", "64", "--screenshot", "s.png", "m.3ds"},
       .check =
           [](const std::string& w, const Outcome& run, bool) {
             EXPECT_EQ("", run.err);
             Shell("convert '" + w +
                   "/s.png' -alpha extract -depth 8 'gray:" + w + "/alpha'");
             const std::string alpha = ReadText(w + "/alpha");
             ASSERT_EQ(64u * 64, alpha.size());
             EXPECT_GT(64 * 64 - std::count(alpha.begin(), alpha.end(), 0),
                       500);
           }},
      {.what = "a texture that is a device is not found",
       .write = Model,
       .args = {"--info=json", "m.3ds"},
       .check =
           [](const std::string&, const Outcome& run, bool) {
             EXPECT_NE(std::string::npos, run.out.find("\"file\": null"))
                 << run.out;
           }},
      {.what = "info into a pipe closed early",
       .write =
           [](const std::string& w) {
             WriteIn(w, "m.3ds", hostile::ManyObjects(3000));
             WriteIn(w, "pipe.sh", Bytes(kPipe, kPipe + sizeof kPipe - 1));
           },
       .args = {"--info=json", "m.3ds"},
       .status = 1,
       .env = "VIEWER_WRAPPER='bash pipe.sh'",
       .err = {"cannot write the information: Broken pipe"}},
      // A folder of pictures replaces none of its inputs, whatever their
      // order: the picture takes another name, and says so.
      {.what = "a folder onto the texture of a model after it",
       .write = Walls,
       .args = {"--thumbnail", "32", "--screenshot", ".", "wall.3ds", "mid.3ds",
                "wall2.3ds"},
       .check =
           [](const std::string& w, const Outcome&, bool) {
             Kept(w, {"wall.png"}, {"wall.3ds.png", "mid.png", "wall2.png"});
           },
       .err = {"the picture of wall.3ds is ./wall.3ds.png: this run reads "
               "./wall.png (as wall.png)"}},
      {.what = "a folder onto the texture of a model before it",
       .write = Walls,
       .args = {"--thumbnail", "32", "--screenshot", ".", "wall2.3ds",
                "mid.3ds", "wall.3ds"},
       .check =
           [](const std::string& w, const Outcome&, bool) {
             Kept(w, {"wall.png"}, {"wall.3ds.png", "mid.png", "wall2.png"});
           },
       .err = {"the picture of wall.3ds is ./wall.3ds.png: this run reads "
               "./wall.png (as wall.png)"}},
      {.what = "a folder onto an image among its FILEs",
       .write =
           [](const std::string& w) {
             Plain(w, {"m1/a.3ds", "m2/a.3ds"});
             Convert(w, "pics/a.3ds.png", "-size 16x16 xc:blue");
           },
       .args = {"--thumbnail", "32", "--screenshot", "pics", "m1/a.3ds",
                "m2/a.3ds", "pics/a.3ds.png"},
       .status = 1,
       .check =
           [](const std::string& w, const Outcome&, bool) {
             Kept(w, {"pics/a.3ds.png"}, {"pics/a.png", "pics/a.3ds-2.png"});
           },
       .err = {"the picture of m2/a.3ds is pics/a.3ds-2.png: this run reads "
               "pics/a.3ds.png",
               "pics/a.3ds.png: not a 3DS file"}},
      // The progress line stays within the terminal's width, with the end
      // of the name.
      {.what = "a folder's progress on a narrow terminal",
       .write =
           [](const std::string& w) {
             Plain(w, {kLongName});
             WriteIn(w, "narrow.sh",
                     Bytes(kNarrow, kNarrow + sizeof kNarrow - 1));
           },
       .args = {"--thumbnail", "32", "--screenshot", "out/", kLongName,
                kLongName, kLongName},
       .env = "VIEWER_WRAPPER='bash narrow.sh'",
       .check =
           [](const std::string&, const Outcome& run, bool quiet) {
             std::string out = run.out;
             for (size_t at; (at = out.find("\033[K")) != std::string::npos;)
               out.erase(at, 3);
             std::replace(out.begin(), out.end(), '\r', '\n');
             int progress = 0;
             for (const std::string& line : Split(out)) {
               EXPECT_LT(line.size(), 60u) << line;
               progress += line.find("...") != std::string::npos &&
                           line.find("terminal/model.3ds") != std::string::npos;
             }
             EXPECT_EQ(quiet ? 0 : 3, progress) << run.out;
           }},
      // Thumbnails of the frame and through the camera asked for.
      {.what = "a thumbnail of frame 50",
       .write = RedFromFrame10,
       .args = {"--thumbnail", "64", "--frame", "50", "--screenshot", "t.png",
                "m.3ds"},
       .check =
           [](const std::string& w, const Outcome&, bool) {
             Coloured c = ColouredOf(ReadPng(w + "/t.png"));
             EXPECT_GT(c.hues["r"], 100) << "the red quad, shown at frame 50";
             EXPECT_GT(c.hues["b"], 100);
           }},
      {.what = "a thumbnail through the file's camera",
       .write = WriteQuadWithCamera,
       .args = {"--thumbnail", "64", "--camera", "1", "--screenshot", "t.png",
                "quad.3ds"},
       .check =
           [](const std::string& w, const Outcome&, bool) {
             Coloured c = ColouredOf(ReadPng(w + "/t.png"));
             EXPECT_NEAR(32, c.right - c.left + 1, 3) << "half the width";
             EXPECT_GT(c.upper["r"], 500);
             EXPECT_GT(c.lower["b"], 500);
           }},
  };
}

}  // namespace

TEST_P(Outputs, SayWhatTheyWrote) {
  const auto& [build, c] = GetParam();
  const std::string dir = TestDir(), work = dir + "/work";
  if (c.write) c.write(work);
  const Outcome run =
      RunViewer(build, dir, "none", "VIEWER_WRAPPER='env -u DISPLAY' " + c.env,
                0, c.args);
  EXPECT_EQ(c.status, run.status) << run.err;
  if (!c.err.empty()) {
    const std::vector<std::string> lines = Split(run.err);
    ASSERT_EQ(build.quiet ? 0 : c.err.size(), lines.size()) << run.err;
    for (size_t k = 0; k < lines.size(); ++k)
      EXPECT_NE(std::string::npos, lines[k].find(c.err[k])) << lines[k];
  } else if (c.status) {
    EXPECT_EQ(build.quiet ? 0 : 1, LinesOf(run.err)) << run.err;
  }
  if (c.check) c.check(work, run, build.quiet);
}

INSTANTIATE_TEST_SUITE_P(Cases, Outputs,
                         ::testing::Combine(::testing::ValuesIn(kBuilds),
                                            ::testing::ValuesIn(OutputCases())),
                         CaseName<OutputCase>);
