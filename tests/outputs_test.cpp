// What the programs write is what they say: a failed write is a failure, a
// replaced picture keeps what the file it replaces had, and --info finds
// only the textures that the viewer would load.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>
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
  std::function<void(const std::string& work, const Outcome& run)> check = {};
};
void PrintTo(const OutputCase& c, std::ostream* out) { *out << c.what; }

class Outputs : public ::testing::TestWithParam<std::tuple<Build, OutputCase>> {
};

void Model(const std::string& work) {
  WriteIn(work, "m.3ds", hostile::TextureNames({"/dev/zero"}));
}

mode_t ModeOf(const std::string& path) {
  struct stat info;
  return lstat(path.c_str(), &info) == 0 ? info.st_mode : 0;
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
           [](const std::string& w, const Outcome&) {
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
           [](const std::string& w, const Outcome&) {
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
           [](const std::string& w, const Outcome& run) {
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
           [](const std::string& w, const Outcome& run) {
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
           [](const std::string&, const Outcome& run) {
             EXPECT_NE(std::string::npos, run.out.find("\"file\": null"))
                 << run.out;
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
  if (c.status) {
    EXPECT_EQ(build.quiet ? 0 : 1, LinesOf(run.err)) << run.err;
  }
  if (c.check) c.check(work, run);
}

INSTANTIATE_TEST_SUITE_P(Cases, Outputs,
                         ::testing::Combine(::testing::ValuesIn(kBuilds),
                                            ::testing::ValuesIn(OutputCases())),
                         CaseName<OutputCase>);
