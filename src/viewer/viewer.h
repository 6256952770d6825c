// What the viewer's two ways of running share: the build settings, messages,
// start-up, the texture upload and the frame loop (main.cpp), the viewing
// mode for a file named on the command line (viewing_mode.cpp), and the
// platform layer (platform.cpp).
#ifndef MODELVIEWER_VIEWER_H
#define MODELVIEWER_VIEWER_H

#include <SDL.h>
#include <SDL_opengl.h>

#include <string>

#include "input_files.h"
#include "options.h"

#ifndef GL_BGRA_EXT
#define GL_BGRA_EXT 0x80E1
#endif

// Build settings: the only differences between the two programs.
#ifdef MODELVIEWER_QUIET
#define SLOTS 5
static const char kProgram[] = "modelviewer-quiet";
static const bool kDiagnostics = false;
static const GLenum kTextureFormat = GL_BGRA_EXT;
static const GLfloat kPlacement[3] = {0.0f, -1.0f, -4.0f};
static const bool kQuarterTurn = false;
#else
#define SLOTS 7
static const char kProgram[] = "modelviewer";
static const bool kDiagnostics = true;
static const GLenum kTextureFormat = GL_RGB;
static const GLfloat kPlacement[3] = {0.0f, -6.0f, -20.0f};
static const bool kQuarterTurn = true;  // model z up
#endif

extern int height;
extern int width;

// A line on standard error in the diagnostic build, with control bytes and
// bytes from 0x7F up written as \xNN.
void Warn(const std::string& message);
// The file's model count, on standard output (standard error when the
// screenshot goes to standard output).
void CountLine(int models);
// Warn, then end with status 1.
[[noreturn]] void Fail(const std::string& reason);

// SDL video, the OpenGL window and the fixed state, lights and projection.
// `viewing` asks for the viewing mode's window: resizable, with buffer swaps
// in step with the display and a finer depth buffer.
void StartUp(bool viewing);
// Makes the window `w` x `h` and the viewport with it. True when the GL
// context is a new one, whose fixed state has been set again: textures and
// state set after start-up are gone.
bool ResizeWindow(int w, int h);
// Uploads `image` (released here) as texture `name` in the build's pixel
// layout; `viewing` scales it down to what the GL takes, puts its bottom
// row at t = 0, and keeps an alpha channel that some pixel uses (`alpha`
// says whether it did). False, with the reason, when it cannot be used or
// the GL refuses it.
bool UploadTexture(GLuint name, SDL_Surface* image, std::string& why,
                   bool viewing, bool* alpha = nullptr);
// The largest image file read.
const unsigned long long kMaxImageFileBytes = 1ull << 30;
// Records a file this run has read, which no screenshot may replace.
void NoteInput(const std::string& path, const FileId& id);
// Fails the run when the screenshot would replace a file that is not a
// regular one or a file this run has read.
void CheckScreenshotTarget(const std::string& screenshot);
// Shows the frame just drawn; keeps its pixels first when a screenshot is due.
void Present();
// Turns of one event and one frame drawn by `render`, until a key is pressed
// or the window is closed. With a screenshot path, the first frame is written
// there as a PNG and the loop ends. `paced` draws at most about 60 frames a
// second. SIGINT and SIGTERM end it as closing the window does. False when
// the screenshot could not be written (reason on stderr).
bool RunFrames(int (*render)(), const std::string& screenshot, bool paced);
// Draws one frame with `render` and writes it to `screenshot` as a PNG;
// false, with the reason on stderr, when it cannot be written.
bool DrawAndWrite(int (*render)(), const std::string& screenshot);
// Waits out the rest of a 1/60 s frame that began at `start`, where the swap
// did not wait for the display (as under a virtual X server).
void Pace(Uint32 start);
// Whether SIGINT or SIGTERM asked the run to end.
bool Stopping();

// The image file that a 3DS file names, looked up from `folder` (empty: the
// working directory): exactly as stored, then DOS-style. False, with the
// name joined to the folder, when nothing matches.
bool ResolveFileName(const std::string& folder, const std::string& stored,
                     std::string& path);
// Makes standard output and error visible where the platform needs it.
void OpenConsole();

// The viewing mode: shows options.file, framed and in its own materials.
int RunViewingMode(const Options& options);

#endif
