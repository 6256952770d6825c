// What the keys, drags, the wheel and time do to the viewing mode's view.
#include "view/controls.h"

#include <gtest/gtest.h>

#include <vector>

#include "testfile.h"

namespace {

enum Step { kDrag = 100, kWheel, kTime };
const int kPause = int(Command::kPause), kReset = int(Command::kReset),
          kNext = int(Command::kNextCamera);

struct ControlsCase {
  const char* what;
  int cameras = 0, start = -1;
  std::vector<int> steps;  // Commands, or the steps above
  bool spinning = false, paused = false;
  int camera = -1;
  bool atstart = false;  // the view and the clock are those of the start
};
void PrintTo(const ControlsCase& c, std::ostream* out) { *out << c.what; }

const ControlsCase kControlsCases[] = {
    // clang-format off
    {.what = "the turntable spins", .steps = {kTime}, .spinning = true},
    {.what = "a drag stops the spin", .steps = {kDrag, kTime}},
    {.what = "Space after a drag spins again", .steps = {kDrag, kPause},
     .spinning = true},
    {.what = "Space pauses both", .steps = {kPause, kTime}, .spinning = true,
     .paused = true, .atstart = true},
    {.what = "R keeps the pause and brings back the first frame",
     .steps = {kTime, kPause, kDrag, kWheel, kReset}, .spinning = true,
     .paused = true, .atstart = true},
    {.what = "C with no camera does nothing", .steps = {kNext},
     .spinning = true, .atstart = true},
    {.what = "C steps through the cameras and back to the turntable",
     .cameras = 2, .steps = {kNext, kNext, kNext}, .spinning = true,
     .atstart = true},
    {.what = "a drag in a camera leaves it; C goes on to the next",
     .cameras = 2, .start = 0, .steps = {kDrag, kNext}, .camera = 1},
    {.what = "R goes back to the camera started in", .cameras = 2,
     .start = 0, .steps = {kNext, kTime, kReset}, .camera = 0,
     .atstart = true},
    {.what = "an arrow key turns and stops the spin",
     .steps = {int(Command::kTurnLeft)}},
    // clang-format on
};

class Controlled : public ::testing::TestWithParam<ControlsCase> {};

}  // namespace

TEST_P(Controlled, AsTheControlsTableSays) {
  const ControlsCase& c = GetParam();
  Framing framing;
  framing.centre[0] = framing.centre[1] = framing.centre[2] = 0;
  framing.distance = 10;
  const View turntable = TurntableView(framing);
  Controls controls = StartControls(turntable, c.cameras, c.start);
  for (int step : c.steps) {
    if (step == kDrag)
      Drag(controls, 40, 10, false, 800, 600);
    else if (step == kWheel)
      Wheel(controls, 2);
    else if (step == kTime)
      Advance(controls, 1000);
    else
      Apply(controls, Command(step));
  }
  EXPECT_EQ(c.spinning, controls.spinning);
  EXPECT_EQ(c.paused, controls.paused);
  EXPECT_EQ(c.camera, controls.camera);
  const bool atstart = controls.animation == 0 &&
                       controls.view.yaw == turntable.yaw &&
                       controls.view.elevation == turntable.elevation &&
                       controls.view.distance == turntable.distance;
  EXPECT_EQ(c.atstart, atstart);
}

INSTANTIATE_TEST_SUITE_P(Controls, Controlled,
                         ::testing::ValuesIn(kControlsCases),
                         CaseName<ControlsCase>);
