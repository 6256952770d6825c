// What the keys, drags, the wheel and time do to the viewing mode's view.
#include "controls.h"

#include <gtest/gtest.h>

#include <vector>

TEST(Controls, KeysAndDragsActAsTheControlsTableSays) {
  Framing framing;
  framing.centre[0] = framing.centre[1] = framing.centre[2] = 0;
  framing.distance = 10;
  const View turntable = TurntableView(framing);
  enum Step { kDrag = 100, kWheel, kTime };
  const struct {
    const char* what;
    int cameras, start;
    std::vector<int> steps;  // Commands, or the steps above
    bool spinning, paused;
    int camera;
    bool atstart;  // the view and the clock are those of the first frame
  } cases[] = {
      {"the turntable spins", 0, -1, {kTime}, true, false, -1, false},
      {"a drag stops the spin", 0, -1, {kDrag, kTime}, false, false, -1, false},
      {"Space after a drag spins again",
       0,
       -1,
       {kDrag, int(Command::kPause)},
       true,
       false,
       -1,
       false},
      {"Space pauses both",
       0,
       -1,
       {int(Command::kPause), kTime},
       true,
       true,
       -1,
       true},
      {"R keeps the pause and brings back the first frame",
       0,
       -1,
       {kTime, int(Command::kPause), kDrag, kWheel, int(Command::kReset)},
       true,
       true,
       -1,
       true},
      {"C with no camera does nothing",
       0,
       -1,
       {int(Command::kNextCamera)},
       true,
       false,
       -1,
       true},
      {"C steps through the cameras and back to the turntable",
       2,
       -1,
       {int(Command::kNextCamera), int(Command::kNextCamera),
        int(Command::kNextCamera)},
       true,
       false,
       -1,
       true},
      {"a drag in a camera leaves it; C goes on to the next",
       2,
       0,
       {kDrag, int(Command::kNextCamera)},
       false,
       false,
       1,
       false},
      {"R goes back to the camera started in",
       2,
       0,
       {int(Command::kNextCamera), kTime, int(Command::kReset)},
       false,
       false,
       0,
       true},
      {"an arrow key turns and stops the spin",
       0,
       -1,
       {int(Command::kTurnLeft)},
       false,
       false,
       -1,
       false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
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
}
