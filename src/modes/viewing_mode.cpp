#include "modes/viewing_mode.h"

#include <algorithm>
#include <string>

#include "base/stop.h"
#include "modes/shown_file.h"
#include "platform/events.h"
#include "platform/platform.h"

namespace {

// The window of one file, as a person handles it.
class ViewingWindow {
 public:
  ViewingWindow(const Options& options, GLenum opaquetextures,
                const Messages& messages, InputFiles& inputs)
      : options_(options),
        messages_(messages),
        shown_(ViewingLayout(opaquetextures), messages, inputs) {
    window_.width = options.width;
    window_.height = options.height;
    window_.depthbits = 24;  // people come close to large models
    window_.resizable = true;
  }

  int Run() {
    std::string why;
    if (!shown_.Load(options_.file, true, why) ||
        !shown_.Start(options_.frame, options_.camera, why) ||
        !OpenGlWindow(window_, why))
      messages_.Fail(why);
    shown_.SetUpGl(true);
    Loop();
    CloseGlWindow();
    return 0;
  }

 private:
  void Follow(const FrameInput& in) {
    Controls& controls = shown_.controls();
    for (const Step& step : in.steps) {
      if (step.kind == Step::kCommand) Apply(controls, step.command);
      if (step.kind == Step::kWheel) Wheel(controls, step.notches);
      if (step.kind == Step::kTurn || step.kind == Step::kPan)
        Drag(controls, step.dx, step.dy, step.kind == Step::kPan, window_.width,
             window_.height);
    }
  }

  // The window at the size asked for, within what it can be; in a new GL
  // context, the state and textures again.
  void Resize(int width, int height) {
    window_.width = std::min(std::max(width, kMinSide), kMaxSide);
    window_.height = std::min(std::max(height, kMinSide), kMaxSide);
    bool fresh = false;
    std::string why;
    if (!ResizeGlWindow(window_, fresh, why)) messages_.Fail(why);
    if (fresh) shown_.SetUpGl(false);
  }

  // Frames while something moves or a person acts, at most about 60 a
  // second; nothing drawn, and the processor left alone, while the picture
  // stands. Ends on a person's word or a stop signal, even in the middle of
  // a long frame: the events that come while the GL draws are looked at
  // between its slices of work, and followed once the frame is done.
  void Loop() {
    Controls& controls = shown_.controls();
    const bool animated = shown_.Animated();
    WindowEvents events;
    FrameInput during;  // taken while a frame was drawn
    bool redraw = true;
    unsigned int last = Ticks();
    auto quits = [&] {
      events.Take(during);
      return during.Quits();
    };
    while (!controls.quit && !StopRequested()) {
      const unsigned int start = Ticks();
      Advance(controls, start - last);
      last = start;
      FrameInput in = std::move(during);
      during = FrameInput();
      events.Take(in);
      Follow(in);
      if (in.resized) Resize(in.width, in.height);
      if (controls.quit || StopRequested()) break;
      if (redraw || in.redraw || Moving(controls, animated)) {
        if (shown_.Draw(window_.width, window_.height, false, quits)) {
          ShowFrame();
          redraw = false;
        }
        PaceFrame(start);
      } else {
        events.WaitForEvents(StopRequested);
      }
    }
  }

  const Options& options_;
  const Messages& messages_;
  WindowFormat window_;
  ShownFile shown_;
};

}  // namespace

int RunViewingMode(const Options& options, GLenum opaquetextures,
                   Messages& messages, InputFiles& inputs) {
  ViewingWindow window(options, opaquetextures, messages, inputs);
  return window.Run();
}
