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
#include "framing.h"
#include "image_files.h"
#include "info.h"
#include "scene_import.h"
#include "spin.h"
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
  bool started = false;
  Uint32 firstframe = 0;
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
// material's colour.
void LoadTextures(const std::string& file) {
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
      if (!name && !warned)
        Warn(file + ": cannot use texture image \"" + stored + "\": " + why);
      known = byname.emplace(stored, name).first;
    }
    shown.textures[m] = known->second;
    shown.alpha[m] = withalpha.count(known->second) > 0;
  }
}

// The GL state of this mode, set once after the shared start-up: projection
// from the scene's size, lights that move with the camera, colours from the
// materials, vertex arrays.
void SetUpView(const Framing& framing) {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(kFieldOfView,
                 static_cast<double>(width) / static_cast<double>(height),
                 framing.nearplane, framing.farplane);

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

// The file's animation frame, `elapsed` milliseconds after the first one:
// 30 frames a second from the frame asked for, looping over the segment.
double AnimationFrame(const Keyframer& kf, Uint32 elapsed) {
  double frame = shown.startframe + elapsed * 0.03;
  const double span = kf.end - kf.start;
  if (frame > kf.end && span > 0)
    frame = kf.start + std::fmod(frame - kf.start, span);
  return frame;
}

// The camera looks at the box's centre from above; the model turns about
// the vertical axis through it, a turn every 30 seconds.
void PlaceModel(const Framing& f) {
  Uint32 now = SDL_GetTicks();
  if (!shown.started) {
    shown.started = true;
    shown.firstframe = now;
  }
  PoseScene(shown.scene,
            AnimationFrame(shown.scene.keyframer, now - shown.firstframe),
            shown.matrices, shown.visible);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glTranslatef(0.0f, 0.0f, -f.distance);
  glRotatef(static_cast<GLfloat>(kElevation), 1.0f, 0.0f, 0.0f);
  glRotatef(TimedAngle(now - shown.firstframe), 0.0f, 1.0f, 0.0f);
  glRotatef(90.0f, -1.0f, 0.0f, 0.0f);  // the file's z up, looking along +y
  glTranslatef(-f.centre[0], -f.centre[1], -f.centre[2]);
}

// One frame: each material group of each mesh in one call.
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
  PlaceModel(shown.framing);
  Matrix view;
  glGetFloatv(GL_MODELVIEW_MATRIX, view.data());
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

int RunViewingMode(const Options& options) {
  if (options.info != Options::kNoInfo) return RunInfo(options);
  Import(options.file, true);
  CheckScreenshotTarget(options.screenshot);
  const Keyframer& kf = shown.scene.keyframer;
  shown.startframe = options.frame >= 0 ? options.frame : kf.start;
  // The whole animation stays in the window.
  float low[3], high[3];
  if (kf.present && SceneBox(shown.scene, shown.startframe, true, low, high))
    shown.framing = FrameBox(low, high);
  else
    shown.framing = FrameBox(shown.scene.low, shown.scene.high);
  StartUp(true);
  SetUpView(shown.framing);
  LoadTextures(options.file);
  bool ok = RunFrames(RenderFile, options.screenshot, true);
  SDL_Quit();
  return ok ? 0 : 1;
}
