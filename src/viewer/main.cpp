// The bundled program: opens an 800 x 600 OpenGL window, imports every model
// of "monster.3ds" into the scene store, and draws it lit, textured and
// spinning until a key is pressed or the window is closed. And the entry of
// both programs, which hands a file named on the command line to the viewing
// mode (src/viewing) or to --info (src/scene/info.h).
//
// Two programs come from this file. MODELVIEWER_QUIET selects the settings
// of modelviewer-quiet; without it the file builds modelviewer.
#include <SDL.h>

#include <cstdlib>
#include <iostream>
#include <new>
#include <string>
#include <vector>

#include "base/file_names.h"
#include "base/input_files.h"
#include "base/messages.h"
#include "base/options.h"
#include "base/stop.h"
#include "images/image_files.h"
#include "images/png_writer.h"
#include "info/info.h"
#include "loader/3dsloader.h"
#include "modes/picture_mode.h"
#include "modes/viewing_mode.h"
#include "platform/libraries.h"
#include "platform/platform.h"
#include "platform/surface.h"
#include "render/render.h"
#include "render/textures.h"
#include "scene/document_model.h"
#include "view/spin.h"

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

// The scene store.
int height = 600;
int width = 800;
SDL_Surface* screen;
float angle;
float* geom[SLOTS];
unsigned short* faceslist[SLOTS];
float* normals[SLOTS];
float* mapcoords[SLOTS];
material materials[SLOTS];
int numfaces[SLOTS];
bool textured[SLOTS];
int numobjects;

static const char* const kModelFile = "monster.3ds";

// ---- Start-up
// ----------------------------------------------------------------

// The fixed GL state: viewport, depth test, lights, projection.
static void SetFixedState() {
  glViewport(0, 0, width, height);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LEQUAL);
  glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
  glClearDepth(1.0);
  glEnable(GL_LINE_SMOOTH);
  glHint(GL_POLYGON_SMOOTH_HINT, GL_NICEST);
  glEnable(GL_LIGHTING);
  glEnable(GL_LIGHT0);
  glEnable(GL_LIGHT1);

  // Both lights stand at one point, fixed in eye space; only light 1 adds an
  // ambient term.
  static const GLfloat position[4] = {3.0f, 5.0f, -2.0f, 1.0f};
  static const GLfloat white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
  static const GLfloat ambient[4] = {0.5f, 0.5f, 0.5f, 1.0f};
  glLightfv(GL_LIGHT0, GL_POSITION, position);
  glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
  glLightf(GL_LIGHT0, GL_LINEAR_ATTENUATION, 0.01f);
  glLightfv(GL_LIGHT1, GL_POSITION, position);
  glLightfv(GL_LIGHT1, GL_DIFFUSE, white);
  glLightf(GL_LIGHT1, GL_LINEAR_ATTENUATION, 0.01f);
  glLightfv(GL_LIGHT1, GL_AMBIENT, ambient);

  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(45.0, static_cast<double>(width) / static_cast<double>(height),
                 0.1f, 100.0);
}

// SDL video, the 800 x 600 window with a 16-bit depth buffer, and the fixed
// state. For a screenshot, an 800 x 600 picture drawn offscreen instead,
// where EGL can start.
static void StartUp(const std::string& screenshot, const Switches& switches,
                    DrawingSurface& surface, const Messages& messages) {
  std::string why;
  if (screenshot.empty()) {
    WindowFormat format;
    format.width = width;
    format.height = height;
    format.switches = switches;
    screen = OpenGlWindow(format, why);
    if (!screen) messages.Fail(why);
  } else {
    SurfaceFormat format;
    format.width = width;
    format.height = height;
    format.depthbits = 16;
    format.switches = switches;
    if (!surface.Open(format, why)) messages.Fail(why);
  }
  SetFixedState();
}

// ---- Import
// ------------------------------------------------------------------

// Refuses the file over model i. The model's name is looked up only when
// there is a line to write it in.
[[noreturn]] static void FailModel(Loader3DS& loader, int i,
                                   const std::string& what,
                                   const Messages& messages) {
  std::string name;
  if (messages.diagnostics()) loader.ModelName(i, name);
  messages.Fail(std::string(kModelFile) + ": model " + std::to_string(i) +
                " \"" + name + "\": " + what);
}

// Model i's BMP image, read as a regular file within the image limits,
// uploaded as texture i + 1.
static bool LoadTexture(int i, const std::string& stored, InputFiles& inputs,
                        std::string& why) {
  std::string path;
  FileNames("").Resolve(stored, path);
  std::vector<unsigned char> bytes;
  FileId id;
  Image image;
  if (!ReadRegularFile(path, kMaxImageFileBytes, bytes, id, why) ||
      !ImageSizeIsSafe(bytes, why))
    return false;
  inputs.Note(path, id);
  if (!DecodeBmp(bytes, image, why)) return false;
  TextureLayout layout;
  layout.opaque = kTextureFormat;
  if (!UploadTexture(i + 1, image, layout, why)) return false;
  // Every model is drawn textured from the first upload on.
  glEnable(GL_TEXTURE_2D);
  glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  return true;
}

// Slot i from model i: its arrays, material and texture, then the check
// that every corner names a vertex, last, so that a file missing a chunk or
// an image hears of that first; then its normals.
static void ImportModel(Loader3DS& loader, int i, const Messages& messages,
                        InputFiles& inputs) {
  DocumentModel m;
  if (const char* missing = ReadDocumentModel(loader, i, m))
    FailModel(loader, i, missing, messages);
  std::string why;
  textured[i] = m.mapped;
  if (m.mapped && !LoadTexture(i, m.image, inputs, why))
    FailModel(loader, i,
              "cannot load texture image \"" + m.image + "\": " + why,
              messages);
  why = CheckCorners(m);
  if (!why.empty()) FailModel(loader, i, why, messages);
  loader.SmoothNormals(m.facecount, m.faces, m.vertices, m.normals);
  geom[i] = m.vertices;
  normals[i] = m.normals;
  faceslist[i] = m.faces;
  mapcoords[i] = m.coords;
  numfaces[i] = m.facecount;
  materials[i] = m.mat;
  m.Forget();  // the scene store's now
}

static void Import(Loader3DS& loader, const Messages& messages,
                   InputFiles& inputs) {
  if (!loader.OpenFile(kModelFile))
    messages.Fail(std::string("cannot read ") + kModelFile +
                  " in the working directory");
  FileId id;
  if (IdentifyFile(kModelFile, id)) inputs.Note(kModelFile, id);
  numobjects = loader.ModelsCount();
  messages.CountLine(numobjects);
  if (numobjects > SLOTS) {
    messages.Warn(std::string(kModelFile) + " holds " +
                  std::to_string(numobjects) + " models; showing the first " +
                  std::to_string(SLOTS) + " and leaving out " +
                  std::to_string(numobjects - SLOTS));
    numobjects = SLOTS;
  }
  for (int i = 0; i < numobjects; ++i) ImportModel(loader, i, messages, inputs);
}

// ---- Frame loop and renderer
// -------------------------------------------------

// A frame up to its showing: cleared, the model placed and spun, every
// object drawn.
static void DrawModels() {
  glClearColor(0.0f, 0.0f, 0.0f, 0.5f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glTranslatef(kPlacement[0], kPlacement[1], kPlacement[2]);
  glRotatef(angle, 0.0f, 1.0f, 0.0f);
  if (kQuarterTurn) glRotatef(90.0f, -1.0f, 0.0f, 0.0f);  // model z up
  angle = NextAngle(angle);

  for (int i = 0; i < numobjects; ++i) {
    if (textured[i]) glBindTexture(GL_TEXTURE_2D, i + 1);
    glBegin(GL_TRIANGLES);
    for (int j = 0; j < numfaces[i]; ++j) {
      for (int k = 0; k < 3; ++k) {
        unsigned int v = faceslist[i][3 * j + k];
        glNormal3f(normals[i][3 * v], normals[i][3 * v + 1],
                   normals[i][3 * v + 2]);
        glTexCoord2f(mapcoords[i][2 * v], mapcoords[i][2 * v + 1]);
        glVertex3f(geom[i][3 * v], geom[i][3 * v + 1], geom[i][3 * v + 2]);
      }
    }
    glEnd();
  }
}

int Render() {
  DrawModels();
  SDL_GL_SwapBuffers();
  return 1;
}

// The first frame, drawn into the drawing surface and written as a PNG;
// false, with the reason on standard error, when it cannot be written.
static bool WriteFirstFrame(const std::string& screenshot,
                            DrawingSurface& surface, const Messages& messages,
                            const InputFiles& inputs) {
  StopPoint();
  DrawModels();
  const std::vector<unsigned char> pixels = surface.Read();
  StopPoint();
  std::string why;
  if (WriteScreenshot(screenshot, width, height, pixels, false, inputs, why))
    return true;
  messages.Warn("cannot write the screenshot " + screenshot + ": " + why);
  return false;
}

// Turns of one event and one frame, until a key is pressed, the window is
// closed or a stop signal comes.
static void RunFrames() {
  bool running = true;
  SDL_Event event;
  while (running) {
    if (SDL_PollEvent(&event) &&
        (event.type == SDL_KEYDOWN || event.type == SDL_QUIT))
      running = false;
    if (StopRequested()) running = false;
    Render();
  }
}

static int RunBundledProgram(const std::string& screenshot,
                             const Switches& switches, const Messages& messages,
                             InputFiles& inputs) {
  DrawingSurface surface;
  StartUp(screenshot, switches, surface, messages);
  Loader3DS loader;
  Import(loader, messages, inputs);

  bool shown = true;
  if (screenshot.empty())
    RunFrames();
  else
    shown = WriteFirstFrame(screenshot, surface, messages, inputs);

  for (int j = 0; j < SLOTS; ++j) {
    delete[] geom[j];
    delete[] faceslist[j];
    delete[] mapcoords[j];
    delete[] normals[j];
  }
  SDL_Quit();
  return shown ? 0 : 1;
}

// ---- Entry
// -------------------------------------------------------------------

// --help, --version and usage errors end here.
static void ActOnCommandLine(const Options& options, const Messages& messages) {
  switch (options.action) {
    case Options::kHelp:
      std::cout << HelpText(kProgram);
      std::exit(0);
    case Options::kVersion:
      std::cout << kProgram << " " << MODELVIEWER_VERSION << std::endl;
      std::exit(0);
    case Options::kUsageError:
      messages.Warn(options.error);
      if (messages.diagnostics()) std::cerr << UsageLines(kProgram);
      std::exit(2);
    case Options::kView:
      break;
  }
}

static int Run(const Options& options, Messages& messages) {
  if (options.screenshot == "-") messages.PictureOnStandardOutput();
  InputFiles inputs;
  std::string why;
  if (!options.screenshot.empty() && !options.folder &&
      !inputs.SafeTarget(options.screenshot, why))
    messages.Fail("cannot write the screenshot " + options.screenshot + ": " +
                  why);
  if (options.info != Options::kNoInfo)
    return RunInfo(options, messages, inputs);
  // Every other run starts a GL: the libraries' switches set while no
  // other thread runs.
  SetLibrarySwitches(options.switches);
  if (!options.file.empty() && !options.screenshot.empty())
    return RunPictures(options, kTextureFormat, messages, inputs);
  if (!options.file.empty())
    return RunViewingMode(options, kTextureFormat, messages, inputs);
  return RunBundledProgram(options.screenshot, options.switches, messages,
                           inputs);
}

extern "C" int SDL_main(int argc, char* argv[]) {
  if (kDiagnostics) OpenConsole();
  const Options options = ParseOptions(argc, argv);
  Messages messages(kDiagnostics);
  ActOnCommandLine(options, messages);
  CatchStopSignals();
  EndOnDisplayFailure(messages);
  // Allocations that fail end the run as any other failure does. A stop
  // request ends a run that was to write something as failed, and an open
  // window as a person's quit. A file is not made; what went to standard
  // output cannot be taken back.
  try {
    return Run(options, messages);
  } catch (const std::bad_alloc&) {
    messages.Fail("out of memory");
  } catch (const StopRequest&) {
    if (options.screenshot.empty() && options.info == Options::kNoInfo)
      return 0;
    const bool console =
        options.screenshot == "-" || options.info != Options::kNoInfo;
    messages.Warn(console ? "stopped by a signal: the output on standard "
                            "output is incomplete"
                          : "stopped by a signal: the output is not made");
    return 1;
  }
}
