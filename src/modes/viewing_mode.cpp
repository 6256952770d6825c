#include "modes/viewing_mode.h"

#include <algorithm>
#include <string>

#include "base/stop.h"
#include "modes/window_files.h"
#include "platform/events.h"
#include "platform/platform.h"

namespace {

// The window of the files, one at a time, as a person handles it.
class ViewingWindow {
 public:
  ViewingWindow(const Options& options, GLenum opaquetextures,
                const Messages& messages)
      : messages_(messages),
        files_(options, ViewingLayout(opaquetextures), messages) {
    window_.width = options.width;
    window_.height = options.height;
    window_.depthbits = 24;  // people come close to large models
    window_.resizable = true;
    window_.switches = options.switches;
  }

  int Run() {
    std::string why;
    if (!files_.Open(why) || !OpenGlWindow(window_, why)) messages_.Fail(why);
    files_.SetUpGl();
    Loop();
    CloseGlWindow();
    return 0;
  }

 private:
  void Follow(const FrameInput& in) {
    for (const Step& step : in.steps) {
      Controls& controls = files_.controls();
      if (step.kind == Step::kCommand && !files_.Act(step.command))
        Apply(controls, step.command);
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
    if (fresh) files_.NewContext();
  }

  // Frames while something moves or a person acts, at most about 60 a
  // second; nothing drawn, and the processor left alone, while the picture
  // stands. Ends on a person's word or a stop signal, even in the middle of
  // a long frame: the events that come while the GL draws are looked at
  // between its slices of work, and followed once the frame is done.
  void Loop() {
    WindowEvents events;
    FrameInput during;  // taken while a frame was drawn
    bool redraw = true;
    unsigned int last = Ticks();
    auto quits = [&] {
      events.Take(during);
      return during.Quits();
    };
    while (!files_.controls().quit && !StopRequested()) {
      const unsigned int start = Ticks();
      Advance(files_.controls(), start - last);
      last = start;
      FrameInput in = std::move(during);
      during = FrameInput();
      events.Take(in);
      Follow(in);
      if (in.resized) Resize(in.width, in.height);
      if (files_.controls().quit || StopRequested()) break;
      if (files_.Update(start)) redraw = true;
      // While the next file is read, the picture before it stands still
      // (but for a new size): its frames would only delay the next one's.
      const bool stepping = files_.Stepping() && !in.resized;
      if (redraw || (!stepping && (in.redraw || Moving(files_.controls(),
                                                       files_.Animated())))) {
        if (files_.Draw(window_.width, window_.height, quits)) {
          ShowFrame();
          redraw = false;
        }
        PaceFrame(start);
      } else {
        events.WaitForEvents(
            [this] { return StopRequested() || files_.Waiting(Ticks()); });
      }
    }
  }

  const Messages& messages_;
  WindowFormat window_;
  WindowFiles files_;
};

}  // namespace

// Each file shown notes the files it reads in inputs of its own.
int RunViewingMode(const Options& options, GLenum opaquetextures,
                   Messages& messages, InputFiles&) {
  ViewingWindow window(options, opaquetextures, messages);
  return window.Run();
}
