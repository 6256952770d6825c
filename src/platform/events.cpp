#include "platform/events.h"

#include <SDL.h>

namespace {

// How long the loop sleeps between looks at the queue while nothing moves.
const Uint32 kWaitMs = 10;

// The command of a key; a key held down (repeating) only turns and zooms.
Command CommandOf(SDLKey key, bool repeat) {
  switch (key) {
    case SDLK_LEFT:
      return Command::kTurnLeft;
    case SDLK_RIGHT:
      return Command::kTurnRight;
    case SDLK_UP:
      return Command::kTurnUp;
    case SDLK_DOWN:
      return Command::kTurnDown;
    case SDLK_PLUS:
    case SDLK_EQUALS:
    case SDLK_KP_PLUS:
      return Command::kZoomIn;
    case SDLK_MINUS:
    case SDLK_KP_MINUS:
      return Command::kZoomOut;
    default:
      break;
  }
  if (repeat) return Command::kNone;
  switch (key) {
    case SDLK_ESCAPE:
    case SDLK_q:
      return Command::kQuit;
    case SDLK_SPACE:
      return Command::kPause;
    case SDLK_r:
      return Command::kReset;
    case SDLK_c:
      return Command::kNextCamera;
    case SDLK_w:
      return Command::kWireframe;
    case SDLK_l:
      return Command::kLook;
    case SDLK_PAGEDOWN:
    case SDLK_n:
      return Command::kNextFile;
    case SDLK_PAGEUP:
    case SDLK_p:
      return Command::kPreviousFile;
    case SDLK_HOME:
      return Command::kFirstFile;
    case SDLK_END:
      return Command::kLastFile;
    case SDLK_F12:
    case SDLK_s:
      return Command::kScreenshot;
    default:
      return Command::kNone;
  }
}

Step CommandStep(Command command) {
  Step step;
  step.command = command;
  return step;
}

}  // namespace

WindowEvents::WindowEvents() : turn_{0, 0}, pan_{0, 0} {
  SDL_EnableKeyRepeat(SDL_DEFAULT_REPEAT_DELAY, SDL_DEFAULT_REPEAT_INTERVAL);
}

// The pointer's moves summed so far, as steps before anything after them.
void WindowEvents::EndMove(FrameInput& in) {
  for (int pan = 0; pan < 2; ++pan) {
    double* sum = pan ? pan_ : turn_;
    if (!sum[0] && !sum[1]) continue;
    Step step;
    step.kind = pan ? Step::kPan : Step::kTurn;
    step.dx = sum[0];
    step.dy = sum[1];
    in.steps.push_back(step);
    sum[0] = sum[1] = 0;
    in.redraw = true;
  }
}

void WindowEvents::TakeMotion(const SDL_MouseMotionEvent& motion) {
  const Uint8 buttons = motion.state;
  const bool shift = (SDL_GetModState() & KMOD_SHIFT) != 0;
  double* sum = nullptr;
  if (buttons & (SDL_BUTTON_RMASK | SDL_BUTTON_MMASK) ||
      (buttons & SDL_BUTTON_LMASK && shift))
    sum = pan_;
  else if (buttons & SDL_BUTTON_LMASK)
    sum = turn_;
  if (sum) {
    sum[0] += motion.xrel;
    sum[1] += motion.yrel;
  }
}

void WindowEvents::TakeEvent(const SDL_Event& event, FrameInput& in) {
  if (event.type == SDL_KEYDOWN || event.type == SDL_MOUSEBUTTONDOWN)
    EndMove(in);
  switch (event.type) {
    case SDL_QUIT:
      in.steps.push_back(CommandStep(Command::kQuit));
      break;
    case SDL_KEYDOWN: {
      const SDLKey key = event.key.keysym.sym;
      in.steps.push_back(
          CommandStep(CommandOf(key, !held_.insert(key).second)));
      in.redraw = true;
      break;
    }
    case SDL_KEYUP:
      held_.erase(event.key.keysym.sym);
      break;
    case SDL_MOUSEMOTION:
      TakeMotion(event.motion);
      break;
    case SDL_MOUSEBUTTONDOWN: {
      Step wheel;
      wheel.kind = Step::kWheel;
      if (event.button.button == SDL_BUTTON_WHEELUP) wheel.notches = 1;
      if (event.button.button == SDL_BUTTON_WHEELDOWN) wheel.notches = -1;
      if (wheel.notches) in.steps.push_back(wheel);
      in.redraw = true;
      break;
    }
    case SDL_VIDEORESIZE:
      in.resized = in.redraw = true;
      in.width = event.resize.w;
      in.height = event.resize.h;
      break;
    case SDL_ACTIVEEVENT:
      // Keys let go of elsewhere send no release here.
      if (!event.active.gain && (event.active.state & SDL_APPINPUTFOCUS))
        held_.clear();
      in.redraw = true;
      break;
    case SDL_VIDEOEXPOSE:
      in.redraw = true;
      break;
  }
}

bool FrameInput::Quits() const {
  for (const Step& step : steps)
    if (step.kind == Step::kCommand && step.command == Command::kQuit)
      return true;
  return false;
}

void WindowEvents::Take(FrameInput& in) {
  SDL_Event event;
  while (SDL_PollEvent(&event)) TakeEvent(event, in);
  EndMove(in);
}

void WindowEvents::WaitForEvents(const std::function<bool()>& stop) {
  SDL_Event event;
  while (!stop()) {
    SDL_PumpEvents();
    if (SDL_PeepEvents(&event, 1, SDL_PEEKEVENT, SDL_ALLEVENTS) > 0) return;
    SDL_Delay(kWaitMs);
  }
}
