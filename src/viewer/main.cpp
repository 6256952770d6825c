// The viewer: opens an 800 x 600 OpenGL window, imports every model of
// "monster.3ds" into the scene store, and draws it lit, textured and spinning
// until a key is pressed or the window is closed.
//
// Two programs come from this file. MODELVIEWER_QUIET selects the settings of
// modelviewer-quiet (viewer.h); without it the file builds modelviewer. With
// a file named on the command line, both show that file in the viewing mode
// (viewing_mode.cpp), which shares start-up, texture upload and frame loop.
#include <GL/glu.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <new>
#include <sstream>
#include <string>
#include <vector>

#include "3dsloader.h"
#include "image_files.h"
#include "input_files.h"
#include "options.h"
#include "spin.h"
#include "viewer.h"

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

// Bytes that could split a line or reach the terminal as a control sequence
// (names come from the file) are written as \xNN.
static std::string Printable(const std::string& text) {
  std::string clean;
  for (unsigned char c : text) {
    if (c >= 0x20 && c < 0x7F) {
      clean += static_cast<char>(c);
    } else {
      static const char kHex[] = "0123456789abcdef";
      clean += "\\x";
      clean += kHex[c >> 4];
      clean += kHex[c & 15];
    }
  }
  return clean;
}

// Standard output carries the picture when the screenshot goes there.
static bool picture_on_stdout = false;

void CountLine(int models) {
  (picture_on_stdout ? std::cerr : std::cout) << models << std::endl;
}

void Warn(const std::string& message) {
  if (kDiagnostics)
    std::cerr << "modelviewer: " << Printable(message) << std::endl;
}

// The one way out on failure: the diagnostic build says why; both end with
// status 1, running the exit handlers.
[[noreturn]] void Fail(const std::string& reason) {
  Warn(reason);
  std::exit(1);
}

// Array allocation that ends the program instead of throwing.
template <class T>
static T* Allocate(size_t count, bool zeroed = false) {
  T* array =
      zeroed ? new (std::nothrow) T[count]() : new (std::nothrow) T[count];
  if (!array) Fail("out of memory");
  return array;
}

// The files this run has read, which no screenshot may replace.
static std::vector<InputFile> inputs;

void NoteInput(const std::string& path, const FileId& id) {
  inputs.push_back({id, path});
}

void CheckScreenshotTarget(const std::string& screenshot) {
  std::string why;
  if (!screenshot.empty() && !ScreenshotTargetIsSafe(screenshot, inputs, why))
    Fail("cannot write the screenshot " + screenshot + ": " + why);
}

// SIGINT and SIGTERM end the frame loop as closing the window does.
static volatile std::sig_atomic_t stopping = 0;

static void OnStopSignal(int) { stopping = 1; }

static void EndOnStopSignals() {
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

// SDL falls back to drivers that draw on a text console, writing escape
// codes to the terminal; the X11 driver is taken unless one is asked for.
static void ChooseVideoDriver() {
  const char* driver = std::getenv("SDL_VIDEODRIVER");
  if (!driver || !*driver) {
    setenv("SDL_VIDEODRIVER", "x11", 1);
    driver = "x11";
  }
  const char* display = std::getenv("DISPLAY");
  if (std::strcmp(driver, "x11") == 0 && (!display || !*display))
    Fail("no display (DISPLAY is not set); use --screenshot under xvfb-run");
}

// The document's fixed GL state: viewport, depth test, lights, projection.
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

// The window's flags: the viewing mode's window can be resized.
static Uint32 WindowFlags(bool viewing) {
  return SDL_HWSURFACE | SDL_OPENGL | (viewing ? SDL_RESIZABLE : 0);
}

static bool viewing_window = false;

void StartUp(bool viewing) {
  ChooseVideoDriver();
  if (SDL_Init(SDL_INIT_VIDEO) < 0)
    Fail(std::string("cannot initialise video: ") + SDL_GetError());
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
  // A person may come close to a model that is large: depth keeps its
  // precision from near planes much closer than the far one.
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, viewing ? 24 : 16);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  if (viewing) SDL_GL_SetAttribute(SDL_GL_SWAP_CONTROL, 1);
  viewing_window = viewing;
  screen = SDL_SetVideoMode(width, height, 32, WindowFlags(viewing));
  if (!screen)
    Fail(std::string("cannot open the OpenGL window: ") + SDL_GetError());
  SetFixedState();
}

bool ResizeWindow(int w, int h) {
  width = w;
  height = h;
  screen = SDL_SetVideoMode(width, height, 32, WindowFlags(viewing_window));
  if (!screen) Fail(std::string("cannot resize the window: ") + SDL_GetError());
  // Where the platform gives a new GL context, the state set at start-up
  // is gone with the old one (lighting is on in ours from the start).
  const bool fresh = !glIsEnabled(GL_LIGHTING);
  if (fresh) SetFixedState();
  glViewport(0, 0, width, height);
  return fresh;
}

// Refuses the file over model i. The model's name is looked up only when
// there is a line to write it in.
[[noreturn]] static void FailModel(Loader3DS& loader, int i,
                                   const std::string& what) {
  if (kDiagnostics) {
    std::string name;
    loader.ModelName(i, name);
    std::ostringstream line;
    line << kModelFile << ": model " << i << " \"" << name << "\": " << what;
    Warn(line.str());
  }
  std::exit(1);
}

// True when the GL cannot take textures whose sides are not powers of two.
static bool NeedsPowerOfTwo() {
  static int answer = -1;
  if (answer < 0) {
    const char* version =
        reinterpret_cast<const char*>(glGetString(GL_VERSION));
    const char* extensions =
        reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    bool modern = version && std::atoi(version) >= 2;
    bool extension = extensions &&
                     std::strstr(extensions, "GL_ARB_texture_non_power_of_two");
    answer = !(modern || extension);
  }
  return answer == 1;
}

static GLint MaxTextureSize() {
  GLint limit = 64;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &limit);
  return limit;
}

static int PowerOfTwoAtLeast(int n, int limit) {
  int p = 1;
  while (p < n && p < limit) p *= 2;
  return p;
}

// The image in exactly the pixel layout that the upload declares: red, green,
// blue bytes, or blue, green, red, alpha bytes, whatever the BMP's depth.
static SDL_Surface* Convert(SDL_Surface* image, int bits, const Uint32* m) {
  SDL_Surface* layout =
      SDL_CreateRGBSurface(SDL_SWSURFACE, 1, 1, bits, m[0], m[1], m[2], m[3]);
  if (!layout) return nullptr;
  SDL_Surface* converted =
      SDL_ConvertSurface(image, layout->format, SDL_SWSURFACE);
  SDL_FreeSurface(layout);
  return converted;
}

// The image as red, green, blue, alpha bytes when some pixel of it is not
// opaque; null otherwise.
static SDL_Surface* WithAlpha(SDL_Surface* image) {
  if (!image->format->Amask) return nullptr;
#if SDL_BYTEORDER == SDL_LIL_ENDIAN
  const Uint32 rgba[4] = {0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000};
#else
  const Uint32 rgba[4] = {0xFF000000, 0x00FF0000, 0x0000FF00, 0x000000FF};
#endif
  SDL_Surface* pixels = Convert(image, 32, rgba);
  if (!pixels) return nullptr;
  for (int y = 0; y < pixels->h; ++y) {
    const Uint8* row =
        static_cast<const Uint8*>(pixels->pixels) + y * pixels->pitch;
    for (int x = 0; x < pixels->w; ++x)
      if (row[4 * x + 3] != 255) return pixels;
  }
  SDL_FreeSurface(pixels);
  return nullptr;
}

static SDL_Surface* ConvertForUpload(SDL_Surface* image) {
  const bool bgra = kTextureFormat == GL_BGRA_EXT;
  // Masks of a pixel read as one number in the host's byte order.
#if SDL_BYTEORDER == SDL_LIL_ENDIAN
  const Uint32 rgb[4] = {0x0000FF, 0x00FF00, 0xFF0000, 0};
  const Uint32 bgr_a[4] = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
#else
  const Uint32 rgb[4] = {0xFF0000, 0x00FF00, 0x0000FF, 0};
  const Uint32 bgr_a[4] = {0x0000FF00, 0x00FF0000, 0xFF000000, 0x000000FF};
#endif
  return Convert(image, bgra ? 32 : 24, bgra ? bgr_a : rgb);
}

// Where the GL needs it, the image is scaled to powers of two. For the
// viewing mode, it is also scaled down to the largest size the GL takes, and
// its bottom row goes first, where 3DS mapping coordinates put v = 0.
// Nothing is uploaded when it cannot be used, and an upload that the GL
// refuses is reported.
bool UploadTexture(GLuint name, SDL_Surface* image, std::string& why,
                   bool viewing, bool* alpha) {
  // In the viewing mode, an image with an alpha channel keeps it.
  SDL_Surface* pixels = viewing ? WithAlpha(image) : nullptr;
  const GLenum format = pixels ? GL_RGBA : kTextureFormat;
  const GLint internal = pixels ? GL_RGBA : 3;
  if (alpha) *alpha = pixels != nullptr;
  if (!pixels) pixels = ConvertForUpload(image);
  SDL_FreeSurface(image);
  // OpenGL reads rows padded to 4 bytes (its default unpack alignment).
  const int bpp = pixels ? pixels->format->BytesPerPixel : 0;
  if (!pixels || pixels->pitch != ((pixels->w * bpp + 3) & ~3)) {
    why = "cannot convert it to the upload's pixel layout";
    SDL_FreeSurface(pixels);
    return false;
  }
  if (viewing) FlipRows(pixels);
  const bool fit = viewing;

  GLsizei w = pixels->w, h = pixels->h;
  void* data = pixels->pixels;
  unsigned char* scaled = nullptr;
  const bool powers = NeedsPowerOfTwo();
  if (powers || fit) {
    const GLint limit = MaxTextureSize();
    GLsizei sw = powers ? PowerOfTwoAtLeast(w, limit) : w;
    GLsizei sh = powers ? PowerOfTwoAtLeast(h, limit) : h;
    if (fit) {
      sw = sw < limit ? sw : limit;
      sh = sh < limit ? sh : limit;
    }
    if (sw != w || sh != h) {
      size_t pitch = (static_cast<size_t>(sw) * bpp + 3) & ~size_t(3);
      scaled = Allocate<unsigned char>(pitch * sh);
      GLint error =
          gluScaleImage(format, w, h, GL_UNSIGNED_BYTE, pixels->pixels, sw, sh,
                        GL_UNSIGNED_BYTE, scaled);
      if (error != 0) {
        std::ostringstream reason;
        reason << "cannot scale it to " << sw << " x " << sh << ": "
               << gluErrorString(error);
        why = reason.str();
        delete[] scaled;
        SDL_FreeSurface(pixels);
        return false;
      }
      w = sw;
      h = sh;
      data = scaled;
    }
  }

  // Errors left by earlier calls are not this upload's.
  for (int i = 0; i < 16 && glGetError() != GL_NO_ERROR; ++i) {
  }
  glBindTexture(GL_TEXTURE_2D, name);
  glTexImage2D(GL_TEXTURE_2D, 0, internal, w, h, 0, format, GL_UNSIGNED_BYTE,
               data);
  const GLenum refused = glGetError();
  if (refused != GL_NO_ERROR) {
    std::ostringstream reason;
    reason << "OpenGL refuses its " << w << " x " << h
           << " pixels: " << gluErrorString(refused);
    why = reason.str();
    delete[] scaled;
    SDL_FreeSurface(pixels);
    return false;
  }
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glEnable(GL_TEXTURE_2D);
  glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  delete[] scaled;
  SDL_FreeSurface(pixels);
  return true;
}

// A BMP image file, read as a regular file within the image limits.
static SDL_Surface* LoadBmp(const std::string& path, std::string& why) {
  std::vector<unsigned char> bytes;
  FileId id;
  if (!ReadRegularFile(path, kMaxImageFileBytes, bytes, id, why) ||
      !ImageSizeIsSafe(bytes, why))
    return nullptr;
  NoteInput(path, id);
  SDL_Surface* image = SDL_LoadBMP_RW(
      SDL_RWFromConstMem(bytes.data(), static_cast<int>(bytes.size())), 1);
  if (!image) why = SDL_GetError();
  return image;
}

static void ImportModel(Loader3DS& loader, int i) {
  chunk_header mesh, vertexlist, facelist, materialref, materialchunk, mapping,
      texturemap;
  loader.GetMesh(i, 0, mesh);

  if (!loader.FindVertexList(mesh, vertexlist))
    FailModel(loader, i, "no vertex list chunk (0x4110)");
  int vertices = loader.ReadVertices(vertexlist, nullptr);
  geom[i] = Allocate<float>(3 * vertices);
  loader.ReadVertices(vertexlist, geom[i]);
  // Zeroed, so a vertex that no triangle uses has a defined normal.
  normals[i] = Allocate<float>(3 * vertices, true);

  if (!loader.FindFaceList(mesh, facelist))
    FailModel(loader, i, "no face list chunk (0x4120)");
  numfaces[i] = loader.ReadFaces(facelist, nullptr);
  faceslist[i] = Allocate<unsigned short>(3 * numfaces[i]);
  loader.ReadFaces(facelist, faceslist[i]);

  if (!loader.FindMaterialRef(facelist, materialref, 0))
    FailModel(loader, i, "no material reference chunk (0x4130)");

  bool hasmaterial = loader.GetMaterial(i, materialchunk);
  if (hasmaterial) loader.ReadMaterial(materialchunk, materials[i]);

  if (!loader.FindMappingCoords(mesh, mapping))
    FailModel(loader, i, "no mapping coordinates chunk (0x4140)");
  int pairs = loader.ReadMappingCoords(mapping, nullptr);
  // One pair per vertex at least; vertices without one get (0, 0).
  mapcoords[i] =
      Allocate<float>(2 * (pairs > vertices ? pairs : vertices), true);
  loader.ReadMappingCoords(mapping, mapcoords[i]);

  if (hasmaterial &&
      loader.FindTexture(materialchunk, texturemap, CHUNK_TEXTUREMAP)) {
    if (loader.GetTexture(i, texturemap, CHUNK_TEXTUREMAP)) {
      texture map;
      loader.ReadTexture(texturemap, map);
      textured[i] = true;
      std::string path, why;
      ResolveFileName("", map.filename, path);
      SDL_Surface* image = LoadBmp(path, why);
      if (!image || !UploadTexture(i + 1, image, why, false))
        FailModel(loader, i,
                  "cannot load texture image \"" + map.filename + "\": " + why);
    } else {
      textured[i] = false;
    }
  }

  // The renderer indexes every per-vertex array by the corners. Checked
  // last, so that a file missing a chunk or an image hears of that first.
  for (int c = 0; c < 3 * numfaces[i]; ++c)
    if (faceslist[i][c] >= vertices) {
      std::ostringstream why;
      why << "face " << c / 3 << " names vertex " << faceslist[i][c] << " of "
          << vertices;
      FailModel(loader, i, why.str());
    }

  loader.SmoothNormals(numfaces[i], faceslist[i], geom[i], normals[i]);
}

static void Import(Loader3DS& loader) {
  if (!loader.OpenFile(kModelFile))
    Fail(std::string("cannot read ") + kModelFile +
         " in the working directory");
  FileId id;
  if (IdentifyFile(kModelFile, id)) NoteInput(kModelFile, id);
  numobjects = loader.ModelsCount();
  if (kDiagnostics) CountLine(numobjects);
  if (numobjects > SLOTS) {
    std::ostringstream why;
    why << kModelFile << " holds " << numobjects
        << " models; showing the first " << SLOTS << " and leaving out "
        << numobjects - SLOTS;
    Warn(why.str());
    numobjects = SLOTS;
  }
  for (int j = 0; j < SLOTS; ++j) {
    geom[j] = nullptr;
    faceslist[j] = nullptr;
    mapcoords[j] = nullptr;
    normals[j] = nullptr;
    textured[j] = false;
  }
  for (int i = 0; i < numobjects; ++i) ImportModel(loader, i);
}

int Render() {
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
  Present();
  return 1;
}

// The frame's pixels, while a screenshot is due: read from the back buffer
// before the swap, the one moment they are sure to be there.
static std::vector<unsigned char>* capture;

void Present() {
  if (capture) {
    capture->resize(3 * static_cast<size_t>(width) * height);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE,
                 capture->data());
  }
  SDL_GL_SwapBuffers();
}

bool Stopping() { return stopping != 0; }

bool DrawAndWrite(int (*render)(), const std::string& screenshot) {
  std::vector<unsigned char> pixels;
  capture = &pixels;
  render();
  capture = nullptr;
  CheckScreenshotTarget(screenshot);
  std::string why;
  if (WritePng(screenshot, width, height, pixels.data(), why)) return true;
  Warn("cannot write the screenshot " + screenshot + ": " + why);
  return false;
}

void Pace(Uint32 start) {
  const Uint32 kFrameMs = 17;
  Uint32 spent = SDL_GetTicks() - start;
  if (spent < kFrameMs) SDL_Delay(kFrameMs - spent);
}

bool RunFrames(int (*render)(), const std::string& screenshot, bool paced) {
  bool running = true;
  SDL_Event event;
  while (running) {
    Uint32 start = paced ? SDL_GetTicks() : 0;
    if (SDL_PollEvent(&event) &&
        (event.type == SDL_KEYDOWN || event.type == SDL_QUIT))
      running = false;
    if (stopping) running = false;
    if (!screenshot.empty()) return DrawAndWrite(render, screenshot);
    render();
    if (paced) Pace(start);
  }
  return true;
}

// --help, --version and usage errors; the action for anything else.
static void ActOnCommandLine(const Options& options) {
  switch (options.action) {
    case Options::kHelp:
      std::cout << HelpText(kProgram);
      std::exit(0);
    case Options::kVersion:
      std::cout << kProgram << " " << MODELVIEWER_VERSION << std::endl;
      std::exit(0);
    case Options::kUsageError:
      Warn(options.error);
      if (kDiagnostics) std::cerr << UsageLines(kProgram);
      std::exit(2);
    case Options::kView:
      break;
  }
}

static int Run(const Options& options) {
  picture_on_stdout = options.screenshot == "-";
  EndOnStopSignals();
  CheckScreenshotTarget(options.screenshot);
  if (!options.file.empty()) return RunViewingMode(options);

  StartUp(false);
  Loader3DS loader;
  Import(loader);

  bool shown = RunFrames(Render, options.screenshot, false);

  for (int j = 0; j < SLOTS; ++j) {
    delete[] geom[j];
    delete[] faceslist[j];
    delete[] mapcoords[j];
    delete[] normals[j];
  }
  SDL_Quit();
  return shown ? 0 : 1;
}

extern "C" int SDL_main(int argc, char* argv[]) {
  if (kDiagnostics) OpenConsole();
  const Options options = ParseOptions(argc, argv);
  ActOnCommandLine(options);
  // Allocations that fail end the run as any other failure does.
  try {
    return Run(options);
  } catch (const std::bad_alloc&) {
    Fail("out of memory");
  }
}
