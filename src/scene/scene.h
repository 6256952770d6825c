// The scene room: what the programs know about a 3DS file, with no window
// and no OpenGL. The file's chunks read through one cursor, its meshes,
// materials, smoothing groups, keyframer, cameras and lights imported into
// plain records, and where everything is at a frame. Its files may use the
// standard library, the reader (src/loader) and the base room; the build
// links neither SDL nor GL into it. Tests, tools and the fuzzers use it
// directly.
//
// This header: a file's scene as the viewing mode draws it, in plain data.
// Every triangle mesh of every model, its faces grouped by the material that
// the file names for them, where the keyframer places each mesh, the file's
// cameras and lights, its ambient light, background and fog, and the box
// around everything drawn. import.h fills it.
#ifndef MODELVIEWER_SCENE_H
#define MODELVIEWER_SCENE_H

#include <string>
#include <vector>

#include "scene/cameras.h"
#include "scene/keyframer.h"
#include "scene/lights.h"
#include "scene/materials.h"
#include "scene/matrix.h"

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
  std::vector<float> normals;   // smoothed by groups; unit length
  std::vector<float> coords;    // u, v per vertex; empty without mapping
  std::vector<FaceGroup> groups;
  size_t filevertices = 0, faces = 0;  // as the file has them
  // The inverse of the mesh's own matrix (0x4160: X, Y, Z axes, origin),
  // which a node's placement undoes; false (and the identity) where it has
  // none, or none that can be inverted.
  bool invertible = false;
  Matrix inverse = Identity();
  float low[3] = {0, 0, 0}, high[3] = {0, 0, 0};  // its finite vertices
  bool bounded = false;
  double area = 0;  // of the faces it draws, in its own coordinates
};

// The faces of the mesh that its groups draw.
size_t DrawnFaces(const SceneMesh& mesh);

// One mesh drawn at one place: by a keyframer object node (its world matrix
// at a frame, times T(-pivot) M^-1), or as stored (node -1).
struct Placement {
  int mesh = 0;
  int node = -1;
};

// The most vertices and faces that all placements together may draw: far
// more than any real file, and a bound on what a crafted one can ask for
// (four vertices can carry 65 535 faces). A placement counts as that many
// more for what drawing it costs besides them.
const unsigned long long kMaxDrawnVerticesAndFaces = 20000000;
const unsigned long long kPlacementCost = 32;

struct Scene {
  bool recognised = false;  // the bytes start with a 3DS main chunk
  bool cutshort = false;    // the file ends before its main chunk does
  int models = 0;           // objects with a triangle mesh, as the file has
  std::vector<SceneMaterial> materials;
  std::vector<SceneMesh> meshes;      // those with faces to draw
  std::vector<std::string> warnings;  // what was left out, and why
  Keyframer keyframer;
  std::vector<Placement> placements;  // in the keyframer's node order
  // The object nodes whose pose counts (they place a mesh, or are the
  // ancestor of one that does), parents first; and each node's place among
  // them (-1: none). Nodes that place nothing cost nothing at a frame.
  std::vector<int> posed, slot;
  std::vector<SceneCamera> cameras;  // those that can be looked through
  std::vector<SceneLight> lights;    // those that stand somewhere
  Environment environment;           // ambient light, background, fog
  // The box around every finite vertex that a face draws; `bounded` is false
  // when there is none.
  bool bounded = false;
  float low[3] = {0, 0, 0}, high[3] = {0, 0, 0};
};

// Grows the box from `low` to `high` (empty while `bounded` is false) to
// take in `p`; a point with a coordinate that is not finite is passed over.
void GrowBox(const float* p, bool& bounded, float* low, float* high);

// Corner `corner` (0 to 7) of the mesh's box: bits 0, 1 and 2 take the high
// end of x, y and z.
void BoxCorner(const SceneMesh& mesh, int corner, float* p);

// Whether the material has a texture, specular, opacity or bump map: maps
// laid on the faces by their mapping coordinates.
bool HasMaps(const SceneMaterial& material);
// Materials whose maps some face can show: named by a group of a mesh with
// mapping coordinates, or with a reflection map of an image, which needs
// none.
std::vector<bool> MaterialsWithTexture(const Scene& scene);
// Whether some face shows a bump map or a reflection map of an image.
bool HasDrawnBumpsOrReflections(const Scene& scene);

#endif
