// A person handling a model in the viewing mode: turning it, zooming,
// resizing the window, looking through the file's camera and at the file's
// look, against pictures the program writes itself.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "harness.h"

namespace {

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
  std::vector<std::string> args = {"quad.3ds"}, reference = {};
  const char* steps;
  std::function<void(const Pictures&)> check;
};
void PrintTo(const ActionCase& c, std::ostream* out) { *out << c.what; }

// The pointer rests inside the window, where keys go without a window
// manager; Space then R stops the spin at its first picture.
#define STILL "xdotool mousemove 400 300 key space r; sleep 0.7; "

std::vector<ActionCase> ActionCases() {
  // clang-format off
  return {
      {.what = "a drag turns the model, other keys do nothing, R brings back "
               "the first picture",
       .reference = {"quad.3ds"},
       .steps = STILL "shot still; xdotool mousedown 1 mousemove 500 340 "
                "mouseup 1; sleep 0.7; shot dragged; xdotool key x F1 1; "
                "sleep 0.5; alive alive; xdotool key r; sleep 0.7; "
                "shot reset; xdotool key Escape",
       .check = [](const Pictures& p) {
         EXPECT_LT(Differing(p.shots.at("still"), p.reference), 800 * 6);
         EXPECT_GT(Differing(p.shots.at("dragged"), p.reference), 5000);
         EXPECT_EQ("1", p.out);
         EXPECT_LT(Differing(p.shots.at("reset"), p.reference), 800 * 6);
       }},
      {.what = "the wheel brings the model nearer",
       .steps = STILL "shot before; xdotool click 4 click 4; sleep 0.7; "
                "shot after; xdotool key q",
       .check = [](const Pictures& p) {
         // Two notches: (1 / 0.85)^4 = 1.9 times the area, nearly.
         EXPECT_GT(ColouredOf(p.shots.at("after")).count,
                   1.6 * ColouredOf(p.shots.at("before")).count);
       }},
      {.what = "a resized window shows what --size shows, in proportion",
       .reference = {"--size", "1000x500", "quad.3ds"},
       .steps = STILL "shot before; xdotool windowsize $window 1000 500; "
                "sleep 1; shot after 1000x500; xdotool key Escape",
       .check = [](const Pictures& p) {
         const Coloured before = ColouredOf(p.shots.at("before"));
         const Coloured after = ColouredOf(p.shots.at("after"));
         ASSERT_EQ(1000, p.reference.w);
         EXPECT_LT(Differing(p.shots.at("after"), p.reference), 1000 * 5);
         EXPECT_NEAR(before.aspect(), after.aspect(), 0.03 * before.aspect());
         EXPECT_GE(after.hues.count("r") + after.hues.count("b"), 2u);
       }},
      {.what = "L shows the file's look, and again the studio's",
       .args = {"spot.3ds"},
       .steps = STILL "shot still; xdotool key l; sleep 0.7; shot after; "
                "xdotool key l; sleep 0.7; shot reset; xdotool key Escape",
       .check = [](const Pictures& p) {
         const Image& lit = p.shots.at("after");
         EXPECT_GT(Differing(lit, p.shots.at("still")), 5000);
         EXPECT_EQ("r", Hue(lit.at(400, 300)));  // the red spot
         EXPECT_EQ("", Hue(p.shots.at("still").at(400, 300)));
         EXPECT_LT(Differing(p.shots.at("reset"), p.shots.at("still")), 800 * 6);
       }},
      {.what = "--camera 1 looks through the file's camera",
       .args = {"--camera", "1", "quad.3ds"}, .reference = {"quad.3ds"},
       .steps = "sleep 0.5; shot camera; xdotool mousemove 400 300 key Escape",
       .check = [](const Pictures& p) {
         const Image& shot = p.shots.at("camera");
         EXPECT_GT(Differing(shot, p.reference), 5000);
         const Coloured c = ColouredOf(shot);
         EXPECT_NEAR(400, c.right - c.left + 1, 8);
         EXPECT_EQ("r", Hue(shot.at(400, c.top + 10)));
         EXPECT_EQ("b", Hue(shot.at(400, c.bottom - 10)));
       }},
  };
  // clang-format on
}

class Handling
    : public ::testing::TestWithParam<std::tuple<Build, ActionCase>> {};

}  // namespace

TEST_P(Handling, ThePictureFollowsThePerson) {
  const auto& [build, c] = GetParam();
  const std::string dir = TestDir();
  WriteQuadWithCamera(dir + "/work");
  WriteIn(dir + "/work", "spot.3ds", SpotOnPlane());
  Pictures pictures;
  if (!c.reference.empty()) {  // what --screenshot writes with those args
    std::vector<std::string> args = {"--screenshot", "ref.png"};
    args.insert(args.end(), c.reference.begin(), c.reference.end());
    EXPECT_EQ(0, RunViewer(build, dir, "none", "", 0, args).status);
    pictures.reference = ReadPng(dir + "/work/ref.png");
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

INSTANTIATE_TEST_SUITE_P(Cases, Handling,
                         ::testing::Combine(::testing::ValuesIn(kBuilds),
                                            ::testing::ValuesIn(ActionCases())),
                         CaseName<ActionCase>);
