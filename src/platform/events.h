// The window's events, turned into the viewing mode's steps (controls.h).
#ifndef MODELVIEWER_EVENTS_H
#define MODELVIEWER_EVENTS_H

#include <functional>
#include <set>
#include <vector>

#include "view/controls.h"

union SDL_Event;
struct SDL_MouseMotionEvent;

// One thing a person did, in the order done.
struct Step {
  enum Kind { kCommand, kTurn, kPan, kWheel };
  Kind kind = kCommand;
  Command command = Command::kNone;
  double dx = 0, dy = 0;  // pixels the pointer moved (y down)
  int notches = 0;        // positive: nearer
};

// What the events waiting at one frame ask for. Pointer moves are summed
// until something else comes, and only the last size the window was given
// counts, so that a flood of events costs one frame.
struct FrameInput {
  std::vector<Step> steps;
  bool redraw = false;
  bool resized = false;
  int width = 0, height = 0;
  // Whether a step asks to end.
  bool Quits() const;
};

class WindowEvents {
 public:
  // Held keys repeat.
  WindowEvents();
  // Every event waiting now, added to `in` (after what it holds).
  void Take(FrameInput& in);
  // Until an event waits, a little sleep at a time, so that `stop` is seen
  // too.
  void WaitForEvents(const std::function<bool()>& stop);

 private:
  void TakeEvent(const SDL_Event& event, FrameInput& in);
  void TakeMotion(const SDL_MouseMotionEvent& motion);
  void EndMove(FrameInput& in);

  std::set<int> held_;       // keys down, so that a repeat is known
  double turn_[2], pan_[2];  // pointer moves summed so far
};

#endif
