// The viewing mode: a 3DS file named on the command line, every model of it
// framed to fit the window, drawn in the materials that its faces name, with
// BMP, PNG or JPEG textures found beside the file. What cannot be drawn is
// left out with a warning; only a file with nothing to draw is refused.
#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <iostream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "3dsloader.h"
#include "controls.h"
#include "framing.h"
#include "image_files.h"
#include "info.h"
#include "scene_import.h"
#include "viewer.h"

namespace {

// A dark neutral grey, against which both black and white materials show.
const GLfloat kBackground = 0.2f;

// What RenderFile draws; the frame loop calls a plain function.
struct Shown {
  Scene scene;
  Framing framing;
  std::vector<GLuint> textures;  // per material; 0: drawn in its colour
  std::vector<bool> alpha;       // per material: its texture has alpha
  Controls controls;             // the view and the clocks
  double startframe = 0;         // of the file's animation, at the first frame
  std::vector<Matrix> matrices;  // the placements' at this frame
  std::vector<bool> visible;
};
Shown shown;

std::string FolderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return "";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// The image beside the model: as stored, DOS-style, and last by its bare
// name, since tools often store the folder of the machine they ran on.
std::string FindImage(const std::string& folder, const std::string& stored) {
  std::string path, bare;
  if (ResolveFileName(folder, stored, path)) return path;
  size_t cut = stored.find_last_of("/\\");
  if (cut != std::string::npos &&
      ResolveFileName(folder, stored.substr(cut + 1), bare))
    return bare;
  return path;
}

// Materials whose texture some face can show: one with mapping coordinates.
std::vector<bool> MaterialsWithTexture(const Scene& scene) {
  std::vector<bool> wanted(scene.materials.size(), false);
  for (const SceneMesh& mesh : scene.meshes)
    if (!mesh.coords.empty())
      for (const FaceGroup& group : mesh.groups)
        if (group.material >= 0 &&
            !scene.materials[group.material].image.empty())
          wanted[group.material] = true;
  return wanted;
}

// The texture of an image file's bytes (released here), or 0 with the
// reason. Its header must promise a size within the limits before a pixel
// is decoded.
GLuint TextureFromFile(const std::string& path,
                       std::vector<unsigned char>& bytes, bool& alpha,
                       std::string& why) {
  SDL_Surface* image =
      ImageSizeIsSafe(bytes, why) ? DecodeImage(path, bytes, why) : nullptr;
  std::vector<unsigned char>().swap(bytes);
  if (!image) return 0;
  GLuint name = 0;
  glGenTextures(1, &name);
  if (!UploadTexture(name, image, why, true, &alpha)) {
    glDeleteTextures(1, &name);
    return 0;
  }
  return name;
}

// Each image file once, however many materials or names lead to it; one
// warning per image that cannot be used, whose faces then keep their
// material's colour. `again`: into a new GL context, without the warnings.
void LoadTextures(const std::string& file, bool again = false) {
  const Scene& scene = shown.scene;
  const std::string folder = FolderOf(file);
  const std::vector<bool> wanted = MaterialsWithTexture(scene);
  std::map<std::string, GLuint> byname;
  std::map<FileId, GLuint> byfile;
  std::set<GLuint> withalpha;
  shown.textures.assign(scene.materials.size(), 0);
  shown.alpha.assign(scene.materials.size(), false);
  for (size_t m = 0; m < scene.materials.size(); ++m) {
    if (!wanted[m]) continue;
    const std::string& stored = scene.materials[m].image;
    auto known = byname.find(stored);
    if (known == byname.end()) {
      const std::string path = FindImage(folder, stored);
      std::vector<unsigned char> bytes;
      FileId id;
      std::string why;
      GLuint name = 0;
      bool warned = false;
      if (!ReadRegularFile(path, kMaxImageFileBytes, bytes, id, why)) {
        // nothing to decode
      } else if (byfile.count(id)) {
        name = byfile[id];
        warned = true;  // under the name that first led to it
      } else {
        NoteInput(path, id);
        bool alpha = false;
        name = byfile[id] = TextureFromFile(path, bytes, alpha, why);
        if (alpha) withalpha.insert(name);
      }
      if (!name && !warned && !again)
        Warn(file + ": cannot use texture image \"" + stored + "\": " + why);
      known = byname.emplace(stored, name).first;
    }
    shown.textures[m] = known->second;
    shown.alpha[m] = withalpha.count(known->second) > 0;
  }
}

// The GL state of this mode, set after the shared start-up: lights that
// move with the camera, colours from the materials, vertex arrays. The
// projection is set with each frame.
void SetUpView() {
  // Given under the identity, so they stay put in eye space; directional,
  // so they light a model of any size alike. A key light from above and a
  // little to the right, a faint fill from the left, and some ambient light
  // (with OpenGL's own 0.2): a box shows its top brightest, then its front,
  // then its sides, and nothing is washed out.
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  static const GLfloat key[4] = {0.3f, 0.5f, 0.8f, 0.0f};
  static const GLfloat fill[4] = {-0.8f, -0.1f, 0.4f, 0.0f};
  static const GLfloat keycolour[4] = {0.7f, 0.7f, 0.7f, 1.0f};
  static const GLfloat fillcolour[4] = {0.25f, 0.25f, 0.25f, 1.0f};
  static const GLfloat ambient[4] = {0.05f, 0.05f, 0.05f, 1.0f};
  glLightfv(GL_LIGHT0, GL_POSITION, key);
  glLightfv(GL_LIGHT0, GL_DIFFUSE, keycolour);
  glLightfv(GL_LIGHT1, GL_POSITION, fill);
  glLightfv(GL_LIGHT1, GL_DIFFUSE, fillcolour);
  glLightfv(GL_LIGHT1, GL_AMBIENT, ambient);
  for (GLenum light : {GL_LIGHT0, GL_LIGHT1})
    glLightf(light, GL_LINEAR_ATTENUATION, 0.0f);
  // Faces seen from behind (open meshes, faces wound either way) are lit
  // as well as those seen from the front.
  glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, GL_TRUE);
  glEnable(GL_COLOR_MATERIAL);
  glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
  // Highlights on textured faces too: the specular term is added after the
  // texture.
  glLightModeli(GL_LIGHT_MODEL_COLOR_CONTROL, GL_SEPARATE_SPECULAR_COLOR);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_NORMAL_ARRAY);
  // The keyframer's scales would change the normals' length.
  glEnable(GL_NORMALIZE);
}

// The texture matrix of a map's tiling: scaled, turned about the image's
// centre, then offset; the image repeats beyond its edges.
void UseTiling(const Tiling& t) {
  glMatrixMode(GL_TEXTURE);
  glLoadIdentity();
  glTranslatef(t.offset[0], t.offset[1], 0.0f);
  glTranslatef(0.5f, 0.5f, 0.0f);
  glRotatef(t.rotation, 0.0f, 0.0f, 1.0f);
  glTranslatef(-0.5f, -0.5f, 0.0f);
  glScalef(t.scale[0], t.scale[1], 1.0f);
  glMatrixMode(GL_MODELVIEW);
}

// Blended: a transparent material, or a texture whose alpha some pixel uses
// (on a mesh that shows it).
bool Transparent(int material, bool hascoords) {
  return material >= 0 && (shown.scene.materials[material].transparency > 0 ||
                           (hascoords && shown.alpha[material]));
}

// A textured face shows its image under the light; any other face the
// diffuse colour of its material, or the neutral grey. Highlights come from
// the specular colour times its strength, added after the texture; a
// transparent material lets 1 - transparency of what is behind through.
void UseMaterial(int material, bool hascoords) {
  GLuint texture = material >= 0 && hascoords ? shown.textures[material] : 0;
  static const SceneMaterial kNone;
  const SceneMaterial& m =
      material >= 0 ? shown.scene.materials[material] : kNone;
  const float alpha = 1.0f - m.transparency;
  if (texture) {
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture);
    UseTiling(m.tiling);
    glColor4f(1.0f, 1.0f, 1.0f, alpha);
  } else {
    glDisable(GL_TEXTURE_2D);
    glColor4f(m.diffuse[0], m.diffuse[1], m.diffuse[2], alpha);
  }
  // A shininess of 0 would make the exponent 0: the "highlight" would then
  // cover every lit face alike and wash it out, so it means none.
  const float level = m.shininess > 0 ? m.strength : 0.0f;
  const GLfloat specular[4] = {m.specular[0] * level, m.specular[1] * level,
                               m.specular[2] * level, 1.0f};
  const GLfloat glow[4] = {m.diffuse[0] * m.selfillumination,
                           m.diffuse[1] * m.selfillumination,
                           m.diffuse[2] * m.selfillumination, 1.0f};
  glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, specular);
  glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, 128.0f * m.shininess);
  glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, glow);
}

// The file's animation frame, `elapsed` milliseconds of animation after the
// first one: 30 frames a second from the frame asked for, looping over the
// segment.
double AnimationFrame(const Keyframer& kf, double elapsed) {
  double frame = shown.startframe + elapsed * 0.03;
  const double span = kf.end - kf.start;
  if (frame > kf.end && span > 0)
    frame = kf.start + std::fmod(frame - kf.start, span);
  return frame;
}

// The scene posed at this frame, seen from the controls' view: the turntable
// looking down at the box's centre, a person's orbit, or a file's camera
// where it stands at this frame (one that shows nothing then keeps the last
// view). Near and far planes hold the whole scene. Returns the view's
// matrix, as loaded.
Matrix PlaceModel() {
  const Scene& scene = shown.scene;
  Controls& controls = shown.controls;
  const double frame = AnimationFrame(scene.keyframer, controls.animation);
  PoseScene(scene, frame, shown.matrices, shown.visible);
  if (controls.camera >= 0)
    CameraView(CameraAt(scene, scene.cameras[controls.camera], frame),
               controls.view);
  double nearplane, farplane;
  ClipPlanes(controls.view, shown.framing.centre, shown.framing.radius,
             nearplane, farplane);
  const double aspect = static_cast<double>(width) / height;
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(VerticalFov(controls.view, aspect), aspect, nearplane,
                 farplane);
  const Matrix view = ViewMatrix(controls.view);
  glMatrixMode(GL_MODELVIEW);
  glLoadMatrixf(view.data());
  return view;
}

// Whether `m` mirrors what it moves: its faces then wind the other way.
bool Mirrors(const Matrix& m) {
  const double det =
      double(m[0]) * (double(m[5]) * m[10] - double(m[9]) * m[6]) -
      double(m[4]) * (double(m[1]) * m[10] - double(m[9]) * m[2]) +
      double(m[8]) * (double(m[1]) * m[6] - double(m[5]) * m[2]);
  return det < 0;
}

// Placement i's mesh in its place, its vertex arrays set. A mirrored
// placement's faces still face out: the winding that counts as the front
// is turned with it.
const SceneMesh& Enter(size_t i) {
  const SceneMesh& mesh = shown.scene.meshes[shown.scene.placements[i].mesh];
  glPushMatrix();
  const bool moved = shown.scene.placements[i].node >= 0;
  if (moved) glMultMatrixf(shown.matrices[i].data());
  glFrontFace(moved && Mirrors(shown.matrices[i]) ? GL_CW : GL_CCW);
  glVertexPointer(3, GL_FLOAT, 0, mesh.vertices.data());
  glNormalPointer(GL_FLOAT, 0, mesh.normals.data());
  if (!mesh.coords.empty()) {
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glTexCoordPointer(2, GL_FLOAT, 0, mesh.coords.data());
  } else {
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  }
  return mesh;
}

void Draw(const SceneMesh& mesh, const FaceGroup& group) {
  UseMaterial(group.material, !mesh.coords.empty());
  glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(group.corners.size()),
                 GL_UNSIGNED_INT, group.corners.data());
}

// One frame: each material group of each placed mesh in one call, the
// opaque ones first, then the transparent ones from far to near by the
// depth of their box's centre, blended, without writing depth.
int RenderFile() {
  glClearColor(kBackground, kBackground, kBackground, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glPolygonMode(GL_FRONT_AND_BACK,
                shown.controls.wireframe ? GL_LINE : GL_FILL);
  const Matrix view = PlaceModel();
  struct Later {
    float depth;
    size_t placement, group;
  };
  std::vector<Later> later;
  for (size_t i = 0; i < shown.scene.placements.size(); ++i) {
    if (!shown.visible[i]) continue;
    const SceneMesh& mesh = Enter(i);
    for (size_t g = 0; g < mesh.groups.size(); ++g) {
      if (!Transparent(mesh.groups[g].material, !mesh.coords.empty())) {
        Draw(mesh, mesh.groups[g]);
        continue;
      }
      float eye[3];
      const Matrix to_eye = shown.scene.placements[i].node >= 0
                                ? Multiply(view, shown.matrices[i])
                                : view;
      Transform(to_eye, mesh.groups[g].centre, eye);
      later.push_back({eye[2], i, g});
    }
    glPopMatrix();
  }
  std::stable_sort(
      later.begin(), later.end(),
      [](const Later& a, const Later& b) { return a.depth < b.depth; });
  if (!later.empty()) {
    glEnable(GL_BLEND);
    glDepthMask(GL_FALSE);
    for (const Later& l : later) {
      const SceneMesh& mesh = Enter(l.placement);
      Draw(mesh, mesh.groups[l.group]);
      glPopMatrix();
    }
    glDepthMask(GL_TRUE);
    glDisable(GL_BLEND);
  }
  Present();
  return 1;
}

// Reads and imports the file; the reader's copy of it is gone on return.
void Import(const std::string& file, bool countline) {
  Loader3DS loader;
  FileId id;
  std::string why;
  if (!OpenModelFile(file, loader, id, why)) Fail(why);
  NoteInput(file, id);
  bool drawable = ImportScene(loader, shown.scene, why);
  if (countline && kDiagnostics && shown.scene.recognised)
    CountLine(shown.scene.models);
  for (const std::string& warning : shown.scene.warnings)
    Warn(file + ": " + warning);
  if (!drawable) Fail(file + ": " + why);
}

}  // namespace

int RunInfo(const Options& options) {
  Import(options.file, false);
  const std::string folder = FolderOf(options.file);
  const ImageFinder find = [&](const std::string& stored) {
    std::string path = FindImage(folder, stored);
    FileId id;
    return IdentifyFile(path, id) ? path : std::string();
  };
  std::cout << (options.info == Options::kInfoJson
                    ? InfoJson(shown.scene, options.file, options.frame, find)
                    : InfoText(shown.scene, options.file, options.frame, find))
            << std::flush;
  return 0;
}

namespace {

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
    default:
      return Command::kNone;
  }
}

// What the events waiting at one frame ask for. Pointer moves are summed,
// and only the last size the window was given counts, so that a flood of
// events costs one frame.
struct Input {
  bool redraw = false;
  double turn[2] = {0, 0}, pan[2] = {0, 0};
  bool resized = false;
  int w = 0, h = 0;
};

// The pointer's moves summed so far, applied before anything after them.
void Move(Input& in) {
  Controls& controls = shown.controls;
  for (int pan = 0; pan < 2; ++pan) {
    double* sum = pan ? in.pan : in.turn;
    if (!sum[0] && !sum[1]) continue;
    Drag(controls, sum[0], sum[1], pan == 1, width, height);
    sum[0] = sum[1] = 0;
    in.redraw = true;
  }
}

void TakeEvent(const SDL_Event& event, std::set<int>& held, Input& in) {
  Controls& controls = shown.controls;
  if (event.type == SDL_KEYDOWN || event.type == SDL_MOUSEBUTTONDOWN) Move(in);
  switch (event.type) {
    case SDL_QUIT:
      controls.quit = true;
      break;
    case SDL_KEYDOWN: {
      const SDLKey key = event.key.keysym.sym;
      Apply(controls, CommandOf(key, !held.insert(key).second));
      in.redraw = true;
      break;
    }
    case SDL_KEYUP:
      held.erase(event.key.keysym.sym);
      break;
    case SDL_MOUSEMOTION: {
      const Uint8 buttons = event.motion.state;
      const bool shift = (SDL_GetModState() & KMOD_SHIFT) != 0;
      double* sum = nullptr;
      if (buttons & (SDL_BUTTON_RMASK | SDL_BUTTON_MMASK) ||
          (buttons & SDL_BUTTON_LMASK && shift))
        sum = in.pan;
      else if (buttons & SDL_BUTTON_LMASK)
        sum = in.turn;
      if (sum) {
        sum[0] += event.motion.xrel;
        sum[1] += event.motion.yrel;
      }
      break;
    }
    case SDL_MOUSEBUTTONDOWN:
      if (event.button.button == SDL_BUTTON_WHEELUP) Wheel(controls, 1);
      if (event.button.button == SDL_BUTTON_WHEELDOWN) Wheel(controls, -1);
      in.redraw = true;
      break;
    case SDL_VIDEORESIZE:
      in.resized = in.redraw = true;
      in.w = event.resize.w;
      in.h = event.resize.h;
      break;
    case SDL_ACTIVEEVENT:
      // Keys let go of elsewhere send no release here.
      if (!event.active.gain && (event.active.state & SDL_APPINPUTFOCUS))
        held.clear();
      in.redraw = true;
      break;
    case SDL_VIDEOEXPOSE:
      in.redraw = true;
      break;
  }
}

// Every event waiting now.
Input TakeEvents(std::set<int>& held) {
  Input in;
  SDL_Event event;
  while (SDL_PollEvent(&event)) TakeEvent(event, held, in);
  Move(in);
  return in;
}

// The window at the size asked for, within what it can be; in a new GL
// context, the state and textures again.
void Resize(const Input& in, const std::string& file) {
  const int w = std::min(std::max(in.w, 64), 8192);
  const int h = std::min(std::max(in.h, 64), 8192);
  if (ResizeWindow(w, h)) {
    SetUpView();
    LoadTextures(file, true);
  }
}

// Until nothing waits: a little sleep at a time, so that a stop signal is
// seen too.
void WaitForEvents() {
  SDL_Event event;
  while (!Stopping()) {
    SDL_PumpEvents();
    if (SDL_PeepEvents(&event, 1, SDL_PEEKEVENT, SDL_ALLEVENTS) > 0) return;
    SDL_Delay(10);
  }
}

// Frames while something moves or a person acts, at most about 60 a second;
// nothing drawn, and the processor left alone, while the picture stands.
void RunControls(const std::string& file) {
  const Keyframer& kf = shown.scene.keyframer;
  const bool animated = kf.present && kf.end > kf.start;
  SDL_EnableKeyRepeat(SDL_DEFAULT_REPEAT_DELAY, SDL_DEFAULT_REPEAT_INTERVAL);
  std::set<int> held;
  bool redraw = true;
  Uint32 last = SDL_GetTicks();
  while (!shown.controls.quit && !Stopping()) {
    const Uint32 start = SDL_GetTicks();
    Advance(shown.controls, start - last);
    last = start;
    const Input in = TakeEvents(held);
    if (in.resized) Resize(in, file);
    if (shown.controls.quit || Stopping()) break;
    if (redraw || in.redraw || Moving(shown.controls, animated)) {
      RenderFile();
      redraw = false;
      Pace(start);
    } else {
      WaitForEvents();
    }
  }
}

}  // namespace

int RunViewingMode(const Options& options) {
  if (options.info != Options::kNoInfo) return RunInfo(options);
  Import(options.file, true);
  const int cameras = static_cast<int>(shown.scene.cameras.size());
  if (options.camera > cameras)
    Fail(options.file + ": --camera " + std::to_string(options.camera) +
         ": the file has " + std::to_string(cameras) +
         (cameras == 1 ? " camera" : " cameras") +
         " that can be looked through");
  CheckScreenshotTarget(options.screenshot);
  const Keyframer& kf = shown.scene.keyframer;
  shown.startframe = options.frame >= 0 ? options.frame : kf.start;
  // The whole animation stays in the window.
  float low[3], high[3];
  if (kf.present && SceneBox(shown.scene, shown.startframe, true, low, high))
    shown.framing = FrameBox(low, high);
  else
    shown.framing = FrameBox(shown.scene.low, shown.scene.high);
  shown.controls =
      StartControls(TurntableView(shown.framing), cameras, options.camera - 1);
  width = options.width;
  height = options.height;
  StartUp(true);
  SetUpView();
  LoadTextures(options.file);
  bool ok = true;
  if (options.screenshot.empty())
    RunControls(options.file);
  else
    ok = DrawAndWrite(RenderFile, options.screenshot);
  SDL_Quit();
  return ok ? 0 : 1;
}
