// A person handling a model in the viewing mode: turning it, zooming,
// resizing the window, looking through the file's camera and at the file's
// look, against pictures the program writes itself.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "harness.h"
#include "hostile3ds.h"

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
  std::map<std::string, std::string> records;  // by name: titles, figures
  std::string work;                            // the run's folder
};

struct ActionCase {
  const char* what;
  Writer write = WriteQuadWithCamera;
  std::vector<std::string> args = {"quad.3ds"}, reference = {};
  const char* steps;
  std::function<void(const Pictures&)> check;
  std::string out = "1\n";  // modelviewer's standard output and error
  std::string err = "";
  std::string env = "";  // switches for the run
};
void PrintTo(const ActionCase& c, std::ostream* out) { *out << c.what; }

// The pointer rests inside the window, where keys go without a window
// manager; Space then R stops the spin at its first picture. The steps wait
// on the program (run_viewer.sh): `settled` until it stands still with
// nothing left to draw, `after` until it has drawn what a command changed.
#define STILL "xdotool mousemove 400 300 key space r; settled; "
// Keeps the window's title in the records' `titles`, a line each.
#define TITLE "xdotool getwindowname $window >> $outdir/titles; "

// A 2 x 2 quad standing upright, in one colour.
w3ds::Bytes ColouredQuad(w3ds::RGB colour) {
  using namespace w3ds;
  return file3ds(editor()
                     .add(materialChunk("q", {}, colour))
                     .add(modelObject("quad", UprightQuad(), "q")));
}

// red.3ds, bad.3ds (not a 3DS file) and blue.3ds.
void WriteColours(const std::string& work) {
  WriteIn(work, "red.3ds", ColouredQuad({255, 0, 0}));
  WriteIn(work, "blue.3ds", ColouredQuad({0, 0, 255}));
  WriteIn(work, "bad.3ds", {'n', 'o', 't', ' ', '3', 'D', 'S'});
}

// The hues that make up most of a picture's coloured pixels; "" for none.
std::string HueOf(const Image& shot) {
  const Coloured c = ColouredOf(shot);
  std::string hue;
  for (const auto& [h, n] : c.hues)
    if (n > c.count / 2) hue = h;
  return c.count > 500 ? hue : "";
}

// A red quad, cut out by an opacity map of a black and a white half, before
// a larger blue one.
void WriteCutOut(const std::string& work) {
  using namespace w3ds;
  Convert(work, "half.png", "-size 32x32 xc:black xc:white +append");
  const auto quad = [](const std::string& name, float y, float size) {
    Mesh m = UprightQuad();
    for (Vec3& v : m.vertices) v = {size * v[0], y, size * v[2]};
    return modelObject(name, m, name);
  };
  WriteIn(
      work, "cut.3ds",
      file3ds(
          editor()
              .add(materialChunk("front", {}, {255, 0, 0})
                       .add(Chunk(0xA210).add(Chunk(0xA300).str("half.png"))))
              .add(materialChunk("back", {}, {0, 0, 255}))
              .add(quad("front", 0, 1))
              .add(quad("back", 1, 4))));
}

// The figure after "VmHWM:" in a record of /proc/PID/status, in kB; -1
// where there is none.
long PeakKb(const std::string& record) {
  const size_t at = record.find("VmHWM:");
  return at == std::string::npos ? -1 : std::atol(record.c_str() + at + 6);
}

// Flips to the next file `n` times, a flip every 50 ms, until the last is
// drawn (frames stop while a file is read); the peak memory.
#define FLIPS(n) \
  "xdotool key --delay 50 $(yes Next | head -n " #n "); drawn 2; "
#define PEAK(name) "grep VmHWM /proc/$viewer/status > $outdir/" name "; "

std::vector<ActionCase> ActionCases() {
  // clang-format off
  return {
      {.what = "a drag turns the model, other keys do nothing, R brings back "
               "the first picture",
       .reference = {"quad.3ds"},
       .steps = STILL "shot still; xdotool mousedown 1 mousemove 500 340 "
                "mouseup 1; settled; shot dragged; xdotool key x F1 1; "
                "settled; alive alive; xdotool key r; settled; "
                "shot reset; xdotool key Escape",
       .check = [](const Pictures& p) {
         EXPECT_LT(Differing(p.shots.at("still"), p.reference), 800 * 6);
         EXPECT_GT(Differing(p.shots.at("dragged"), p.reference), 5000);
         EXPECT_EQ("1", p.out);
         EXPECT_LT(Differing(p.shots.at("reset"), p.reference), 800 * 6);
       }},
      {.what = "the wheel brings the model nearer",
       .steps = STILL "shot before; xdotool click 4 click 4; settled; "
                "shot after; xdotool key q",
       .check = [](const Pictures& p) {
         // Two notches: (1 / 0.85)^4 = 1.9 times the area, nearly.
         EXPECT_GT(ColouredOf(p.shots.at("after")).count,
                   1.6 * ColouredOf(p.shots.at("before")).count);
       }},
      {.what = "a resized window shows what --size shows, in proportion",
       .reference = {"--size", "1000x500", "quad.3ds"},
       .steps = STILL "shot before; xdotool windowsize $window 1000 500; "
                "settled; shot after 1000x500; xdotool key Escape",
       .check = [](const Pictures& p) {
         const Coloured before = ColouredOf(p.shots.at("before"));
         const Coloured after = ColouredOf(p.shots.at("after"));
         ASSERT_EQ(1000, p.reference.w);
         EXPECT_LT(Differing(p.shots.at("after"), p.reference), 1000 * 5);
         EXPECT_NEAR(before.aspect(), after.aspect(), 0.03 * before.aspect());
         EXPECT_GE(after.hues.count("r") + after.hues.count("b"), 2u);
       }},
      {.what = "a new GL context at a resize draws as the first did: its "
               "shading programs made again, cut-outs still cut",
       .write = WriteCutOut, .args = {"cut.3ds"},
       .reference = {"--size", "1000x500", "cut.3ds"},
       .steps = STILL "xdotool windowsize $window 1000 500; sleep 1; "
                "shot after 1000x500; xdotool key Escape",
       .check = [](const Pictures& p) {
         ASSERT_EQ(1000, p.reference.w);
         Coloured after = ColouredOf(p.shots.at("after"));
         Coloured reference = ColouredOf(p.reference);
         EXPECT_GT(after.hues["r"], 1000);
         EXPECT_NEAR(after.hues["r"], reference.hues["r"], 200);
         EXPECT_LT(Differing(p.shots.at("after"), p.reference), 1000 * 5);
       },
       .out = "2\n", .env = "MODELVIEWER_NEW_CONTEXT=1 "},
      {.what = "L shows the file's look, and again the studio's",
       .write = [](const std::string& w) { WriteIn(w, "spot.3ds", SpotOnPlane()); },
       .args = {"spot.3ds"},
       .steps = STILL "shot still; after xdotool key l; shot after; "
                "after xdotool key l; shot reset; xdotool key Escape",
       .check = [](const Pictures& p) {
         const Image& lit = p.shots.at("after");
         EXPECT_GT(Differing(lit, p.shots.at("still")), 5000);
         EXPECT_EQ("r", Hue(lit.at(400, 300)));  // the red spot
         EXPECT_EQ("", Hue(p.shots.at("still").at(400, 300)));
         EXPECT_LT(Differing(p.shots.at("reset"), p.shots.at("still")), 800 * 6);
       }},
      {.what = "--camera 1 looks through the file's camera",
       .args = {"--camera", "1", "quad.3ds"}, .reference = {"quad.3ds"},
       .steps = "settled; shot camera; xdotool mousemove 400 300 key Escape",
       .check = [](const Pictures& p) {
         const Image& shot = p.shots.at("camera");
         EXPECT_GT(Differing(shot, p.reference), 5000);
         const Coloured c = ColouredOf(shot);
         EXPECT_NEAR(400, c.right - c.left + 1, 8);
         EXPECT_EQ("r", Hue(shot.at(400, c.top + 10)));
         EXPECT_EQ("b", Hue(shot.at(400, c.bottom - 10)));
       }},
      {.what = "Page Down shows the next file in the wireframe and pause chosen, "
               "a refused file says why, Home and Page Up go round to the last",
       .write = WriteColours, .args = {"red.3ds", "bad.3ds", "blue.3ds"},
       .steps = "drawn; shot first; " TITLE "xdotool key space w; settled; "
                "after xdotool key Next; shot refused; " TITLE "after xdotool "
                "key Next; shot second; settled; shot paused; " TITLE
                "xdotool key w; settled; after xdotool key Home; after "
                "xdotool key Prior; shot last; " TITLE "xdotool key Escape",
       .check = [](const Pictures& p) {
         const Coloured first = ColouredOf(p.shots.at("first"));
         Coloured second = ColouredOf(p.shots.at("second"));
         EXPECT_EQ("r", HueOf(p.shots.at("first")));
         EXPECT_EQ(0, ColouredOf(p.shots.at("refused")).count);
         // Blue lines, standing still.
         EXPECT_GT(second.hues["b"], 50);
         EXPECT_EQ(second.count, second.hues["b"]);
         EXPECT_LT(second.count, first.count / 4);
         EXPECT_LT(Differing(p.shots.at("second"), p.shots.at("paused")), 10);
         EXPECT_EQ("b", HueOf(p.shots.at("last")));
         EXPECT_EQ("red.3ds (1 of 3) - Model Viewer\n"
                   "bad.3ds (2 of 3): not a 3DS file (no main chunk 0x4D4D) - "
                   "Model Viewer\n"
                   "blue.3ds (3 of 3) - Model Viewer\n"
                   "blue.3ds (3 of 3) - Model Viewer\n",
                   p.records.at("titles"));
       },
       .out = "1\n1\n1\n1\n",
       .err = "modelviewer: bad.3ds: not a 3DS file (no main chunk 0x4D4D)\n"},
      {.what = "F12 and S write NAME-1.png, then NAME-3.png past a file there",
       .reference = {"quad.3ds"},
       .steps = STILL "echo kept > $workdir/quad-2.png; after xdotool key "
                "F12; after xdotool key s; xdotool key Escape",
       .check = [](const Pictures& p) {
         EXPECT_LT(Differing(ReadPng(p.work + "/quad-1.png"), p.reference),
                   800 * 6);
         EXPECT_EQ("kept\n", ReadText(p.work + "/quad-2.png"));
         EXPECT_LT(Differing(ReadPng(p.work + "/quad-3.png"), p.reference),
                   800 * 6);
       },
       .out = "1\nscreenshot written to quad-1.png\n"
              "screenshot written to quad-3.png\n"},
      {.what = "a screenshot that cannot be written is one line, and the "
               "window goes on",
       .write = [](const std::string& w) {
         WriteIn(w, std::string(250, 'n') + ".3ds",
                 ColouredQuad({255, 0, 0}));
       },
       .args = {std::string(250, 'n') + ".3ds"},
       .steps = "xdotool key F12; drawn 2; alive alive; xdotool key Escape",
       .check = [](const Pictures& p) { EXPECT_EQ("1", p.out); },
       .err = "modelviewer: cannot write a screenshot: File name too long\n"},
      {.what = "memory stays flat over 200 files flipped through",
       .write = [](const std::string& w) {
         using namespace w3ds;
         // A megabyte of texture a file, which would show if kept.
         Convert(w, "many/rb.png", "-size 512x512 xc:red");
         for (int i = 0; i < 20; ++i)
           WriteIn(w, "many/" + std::to_string(i) + ".3ds",
                   file3ds(editor()
                               .add(materialChunk("q").add(textureMap("rb.png")))
                               .add(modelObject("quad", UprightQuad(), "q"))));
       },
       .args = {"many"},
       .steps = FLIPS(10) PEAK("hwm10") FLIPS(190) PEAK("hwm200")
                "xdotool key Escape",
       .check = [](const Pictures& p) {
         const long ten = PeakKb(p.records.at("hwm10"));
         const long all = PeakKb(p.records.at("hwm200"));
         // The kernel notes the peak lazily: a later figure may be lower.
         ASSERT_GT(ten, 0);
         ASSERT_GT(all, 0);
         if (!kSanitized) {
           EXPECT_LT(all - ten, 4096) << ten << " " << all;
         }
       },
       .out = "?"},
      {.what = "SIGTERM while a large file loads ends the run within a second",
       .write = [](const std::string& w) {
         WriteQuadWithCamera(w);
         WriteIn(w, "large.3ds", hostile::ManyObjects(300000));
       },
       .args = {"quad.3ds", "large.3ds"},
       .steps = "xdotool key Next; titled large.3ds; " TITLE
                "t0=$(date +%s%N); "
                "kill -TERM $viewer; while kill -0 $viewer 2>/dev/null; do "
                "sleep 0.02; done; echo $((($(date +%s%N) - t0) / 1000000)) "
                "> $outdir/stopms",
       .check = [](const Pictures& p) {
         EXPECT_EQ("large.3ds (2 of 2) - Model Viewer\n",
                   p.records.at("titles"));
         const std::string ms = p.records.at("stopms");
         ASSERT_FALSE(ms.empty());
         // The sanitizers' leak check at exit takes longer.
         if (!kSanitized) {
           EXPECT_LT(std::atol(ms.c_str()), 3000);
         }
       }},
      {.what = "--watch: a file renamed over the one shown is shown in the "
               "person's view, one half written keeps the picture, and shown "
               "again when whole",
       .write = [](const std::string& w) {
         WriteIn(w, "shown.3ds", ColouredQuad({255, 0, 0}));
         WriteIn(w, "red.3ds", ColouredQuad({255, 0, 0}));
         WriteIn(w, "blue.3ds", ColouredQuad({0, 0, 255}));
       },
       .args = {"--watch", "shown.3ds"},
       .steps = STILL "xdotool mousedown 1 mousemove 460 300 mouseup 1; "
                "settled; shot turned; cp $workdir/blue.3ds $workdir/new; "
                "after mv $workdir/new $workdir/shown.3ds; shot renamed; "
                "head -c 40 $workdir/red.3ds > $workdir/shown.3ds; titled "
                "\"cut short\"; settled; shot half; " TITLE "after cp "
                "$workdir/red.3ds $workdir/shown.3ds; shot whole; " TITLE
                "xdotool key Escape",
       .check = [](const Pictures& p) {
         const Coloured turned = ColouredOf(p.shots.at("turned"));
         const Coloured renamed = ColouredOf(p.shots.at("renamed"));
         EXPECT_EQ("r", HueOf(p.shots.at("turned")));
         EXPECT_EQ("b", HueOf(p.shots.at("renamed")));
         // The same quad in the view the person turned it to.
         EXPECT_NEAR(turned.left, renamed.left, 2);
         EXPECT_NEAR(turned.right, renamed.right, 2);
         EXPECT_LT(Differing(p.shots.at("renamed"), p.shots.at("half")), 10);
         EXPECT_EQ("r", HueOf(p.shots.at("whole")));
         EXPECT_NE(std::string::npos,
                   p.records.at("titles").find("shown.3ds: the file is cut "
                                               "short"));
         EXPECT_NE(std::string::npos,
                   p.records.at("titles").find("\nshown.3ds - Model Viewer\n"));
       },
       .out = "1\n1\n1\n",
       .err = "modelviewer: shown.3ds: the file is cut short: it ends after 40 "
              "of the " + std::to_string(ColouredQuad({255, 0, 0}).size()) +
              " bytes its main chunk holds\n"},
  };
  // clang-format on
}

class Handling
    : public ::testing::TestWithParam<std::tuple<Build, ActionCase>> {};

}  // namespace

TEST_P(Handling, ThePictureFollowsThePerson) {
  const auto& [build, c] = GetParam();
  const std::string dir = TestDir();
  c.write(dir + "/work");
  Pictures pictures;
  if (!c.reference.empty()) {  // what --screenshot writes with those args
    std::vector<std::string> args = {"--screenshot", "ref.png"};
    args.insert(args.end(), c.reference.begin(), c.reference.end());
    EXPECT_EQ(0, RunViewer(build, dir, "none", "", 0, args).status);
    pictures.reference = ReadPng(dir + "/work/ref.png");
  }
  Outcome run = RunViewer(build, dir, "steps",
                          c.env + "VIEWER_STEPS='" + c.steps + "'", 0, c.args);
  EXPECT_EQ(0, run.status) << run.err;
  if (c.out != "?") {
    EXPECT_EQ(build.quiet ? "" : c.out, run.out);
  }
  EXPECT_EQ(build.quiet ? "" : c.err, run.err);
  for (const auto& entry : std::filesystem::directory_iterator(run.dir)) {
    const std::string name = entry.path().stem();
    if (entry.path().extension() == ".ppm")
      pictures.shots[name] = ReadPpm(entry.path());
    else if (name == "titles" || name.compare(0, 3, "hwm") == 0 ||
             name == "stopms")
      pictures.records[name] = ReadText(entry.path());
  }
  pictures.out = ReadText(run.dir + "/alive");
  pictures.work = dir + "/work";
  c.check(pictures);
}

INSTANTIATE_TEST_SUITE_P(Cases, Handling,
                         ::testing::Combine(::testing::ValuesIn(kBuilds),
                                            ::testing::ValuesIn(ActionCases())),
                         CaseName<ActionCase>);
