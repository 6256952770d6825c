// What the viewing mode draws, imported from a 3DS file into plain data:
// every triangle mesh of every model, its faces grouped by the material that
// the file names for them, and the box around everything drawn. No window and
// no OpenGL are involved, so tests and the fuzzer build scenes directly.
#ifndef MODELVIEWER_SCENE_IMPORT_H
#define MODELVIEWER_SCENE_IMPORT_H

#include <string>
#include <vector>

#include "3dsloader.h"
#include "keyframer.h"

// The colour of faces that no material names, and of materials without a
// diffuse colour: a neutral light grey.
const float kNeutralGrey = 0.75f;

// How a texture map lies on its faces: u, v scale and offset, and a turn in
// degrees.
struct Tiling {
  float scale[2] = {1, 1};
  float offset[2] = {0, 0};
  float rotation = 0;
};

struct SceneMaterial {
  std::string name;
  float diffuse[3] = {kNeutralGrey, kNeutralGrey, kNeutralGrey};  // 0 to 1
  float specular[3] = {0, 0, 0};
  // Fractions from 0 to 1.
  float shininess = 0, strength = 0, transparency = 0, selfillumination = 0;
  bool twosided = false;
  std::string image;  // the texture map's image, as stored; empty: none
  Tiling tiling;
};

// Faces of one mesh that share a material: one draw call.
struct FaceGroup {
  int material = -1;  // index into Scene::materials; -1: none named
  std::vector<unsigned int> corners;  // three vertex indices per face
  float centre[3] = {0, 0, 0};        // of the box around its vertices
};

struct SceneMesh {
  int model = 0;                // the model's index among the file's models
  std::string name;             // the model's name
  std::vector<float> vertices;  // x, y, z per vertex
  std::vector<float> normals;   // smoothed by groups; unit length, or zero
  std::vector<float> coords;    // u, v per vertex; empty without mapping
  std::vector<FaceGroup> groups;
  size_t filevertices = 0, faces = 0;  // as the file has them
  // The mesh's own matrix (0x4160: X, Y, Z axes, origin), when it has one.
  bool hasmatrix = false;
  float matrix[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
  float low[3] = {0, 0, 0}, high[3] = {0, 0, 0};  // its finite vertices
  bool bounded = false;
};

// A camera of the file (0x4700): where it stands, what it looks at, its
// roll in degrees and its lens in mm.
struct SceneCamera {
  std::string name;
  float position[3] = {0, 0, 0}, target[3] = {0, 0, 0};
  float roll = 0, lens = 0;
};

// One mesh drawn at one place: by a keyframer node (world at a frame, then
// `local`, which is T(-pivot) M^-1), or as stored (node -1).
struct Placement {
  int mesh = 0;
  int node = -1;
  Matrix local = Identity();
};

struct Scene {
  bool recognised = false;  // the bytes start with a 3DS main chunk
  int models = 0;           // objects with a triangle mesh, as the file has
  std::vector<SceneMaterial> materials;
  std::vector<SceneMesh> meshes;      // those with faces to draw
  std::vector<std::string> warnings;  // what was left out, and why
  Keyframer keyframer;
  std::vector<Placement> placements;  // in the keyframer's node order
  std::vector<SceneCamera> cameras;   // those that can be looked through
  // The box around every finite vertex that a face draws; `bounded` is false
  // when there is none.
  bool bounded = false;
  float low[3] = {0, 0, 0}, high[3] = {0, 0, 0};
};

// Grows the box from `low` to `high` (empty while `bounded` is false) to
// take in `p`; a point with a coordinate that is not finite is passed over.
void GrowBox(const float* p, bool& bounded, float* low, float* high);

// Imports every model of the file that `loader` holds. A mesh without a
// vertex list or a face list, or whose faces name vertices it does not have,
// is left out with a warning. False, with the reason, when the bytes are not
// a 3DS file or hold no face to draw. Linear in the size of the file.
bool ImportScene(Loader3DS& loader, Scene& scene, std::string& why);

// The camera at `frame`, moved by the keyframer's camera and target nodes of
// its name where the file animates it: position, target, roll, and the
// field of view as a lens on a 36 mm film back.
SceneCamera CameraAt(const Scene& scene, const SceneCamera& camera,
                     double frame);

// Each placement's matrix at `frame`, and whether it is shown.
void PoseScene(const Scene& scene, double frame, std::vector<Matrix>& matrices,
               std::vector<bool>& shown);

// The box around every shown placement at `frame`, from the corners of its
// mesh's box; with `sweep`, around the whole segment, sampled at no more
// than 200 frames. False when nothing is shown.
bool SceneBox(const Scene& scene, double frame, bool sweep, float low[3],
              float high[3]);

#endif
