#include "scene/import.h"

#include <cmath>
#include <map>
#include <set>
#include <unordered_map>

#include "base/file_names.h"
#include "base/messages.h"
#include "base/stop.h"
#include "scene/chunk_cursor.h"
#include "scene/chunk_ids.h"
#include "scene/placement.h"
#include "scene/smoothing.h"

namespace {

using namespace chunk_ids;

const unsigned int kMeshMatrixBytes = 48;  // X, Y, Z axes and origin

struct MeshChunks {
  chunk_header vertices, faces, coords, matrix;
  bool hasvertices = false, hasfaces = false, hascoords = false;
  bool hasmatrix = false;
};

// The first of each kind, and a matrix that is whole.
MeshChunks FindMeshChunks(Loader3DS& loader, const chunk_header& mesh) {
  MeshChunks found;
  auto take = [](const chunk_header& c, chunk_header& into, bool& has) {
    if (!has) into = c, has = true;
  };
  for (const chunk_header& c : Within(loader, mesh)) {
    if (c.id == CHUNK_VERTEXLIST) take(c, found.vertices, found.hasvertices);
    if (c.id == CHUNK_FACELIST) take(c, found.faces, found.hasfaces);
    if (c.id == CHUNK_MAPPINGCOORDS) take(c, found.coords, found.hascoords);
    if (c.id == kMeshMatrix && ChunkCursor(loader, c).Has(kMeshMatrixBytes))
      take(c, found.matrix, found.hasmatrix);
  }
  return found;
}

// The smoothing group masks of the faces, one per face (0 where the chunk
// holds fewer); without a smoothing group chunk, all faces form one group:
// every face at a vertex is smoothed into its normal.
std::vector<int> ReadSmoothing(Loader3DS& loader, const chunk_header& facelist,
                               size_t faces) {
  std::vector<int> masks;
  chunk_header chunk;
  if (!loader.FindSmoothingGroup(facelist, chunk))
    return std::vector<int>(faces, 1);
  masks.resize(loader.ReadSmoothingGroup(chunk, nullptr));
  loader.ReadSmoothingGroup(chunk, masks.data());
  masks.resize(faces, 0);
  return masks;
}

// Leaves out the faces that name a vertex that is not finite, with their
// masks and materials; how many it left out.
size_t KeepFiniteFaces(const std::vector<float>& vertices,
                       std::vector<unsigned int>& faces,
                       std::vector<int>& masks, std::vector<int>& materials) {
  auto finite = [&](unsigned int v) {
    return std::isfinite(vertices[3 * size_t(v)]) &&
           std::isfinite(vertices[3 * size_t(v) + 1]) &&
           std::isfinite(vertices[3 * size_t(v) + 2]);
  };
  size_t kept = 0;
  const size_t count = faces.size() / 3;
  for (size_t f = 0; f < count; ++f) {
    const unsigned int* c = &faces[3 * f];
    if (!finite(c[0]) || !finite(c[1]) || !finite(c[2])) continue;
    for (int k = 0; k < 3; ++k) faces[3 * kept + k] = c[k];
    masks[kept] = masks[f];
    materials[kept] = materials[f];
    ++kept;
  }
  faces.resize(3 * kept);
  masks.resize(kept);
  materials.resize(kept);
  return count - kept;
}

// The centre of the box around the group's finite vertices.
void Centre(FaceGroup& group, const std::vector<float>& vertices) {
  float low[3] = {0, 0, 0}, high[3] = {0, 0, 0};
  bool bounded = false;
  for (unsigned int v : group.corners)
    GrowBox(&vertices[3 * size_t(v)], bounded, low, high);
  for (int k = 0; k < 3; ++k) group.centre[k] = 0.5f * (low[k] + high[k]);
}

// The box around the mesh's finite vertices, all of which faces draw.
void BoundMesh(SceneMesh& mesh) {
  for (size_t v = 0; v < mesh.vertices.size(); v += 3)
    GrowBox(&mesh.vertices[v], mesh.bounded, mesh.low, mesh.high);
}

// The inverse of the mesh's own matrix, which a node's placement undoes.
void InvertMeshMatrix(const float* stored, SceneMesh& mesh) {
  Matrix m = Identity();
  for (int axis = 0; axis < 4; ++axis)
    for (int k = 0; k < 3; ++k) m[4 * axis + k] = stored[3 * axis + k];
  mesh.invertible = InvertAffine(m, mesh.inverse);
}

// The area of the faces (three corners each), in double precision.
double FaceArea(const std::vector<float>& vertices,
                const std::vector<unsigned int>& faces) {
  double area = 0;
  for (size_t f = 0; f + 2 < faces.size(); f += 3) {
    const float* a = &vertices[3 * size_t(faces[f])];
    const float* b = &vertices[3 * size_t(faces[f + 1])];
    const float* c = &vertices[3 * size_t(faces[f + 2])];
    double u[3], v[3];
    for (int k = 0; k < 3; ++k) u[k] = double(b[k]) - a[k];
    for (int k = 0; k < 3; ++k) v[k] = double(c[k]) - a[k];
    const double x = u[1] * v[2] - u[2] * v[1], y = u[2] * v[0] - u[0] * v[2],
                 z = u[0] * v[1] - u[1] * v[0];
    area += 0.5 * std::sqrt(x * x + y * y + z * z);
  }
  return area;
}

class Importer {
 public:
  Importer(Loader3DS& loader, Scene& scene) : loader_(loader), scene_(scene) {}

  void Materials(const std::vector<chunk_header>& chunks) {
    for (const chunk_header& c : chunks) {
      scene_.materials.push_back(ReadMaterial(loader_, c));
      // A name given twice means its first material.
      byname_.emplace(scene_.materials.back().name,
                      static_cast<int>(scene_.materials.size()) - 1);
    }
  }

  // An object with triangle meshes is a model; one with a camera is a
  // camera, one with a light a light.
  void Object(const chunk_header& object) {
    std::vector<chunk_header> meshes;
    for (const chunk_header& c : Within(loader_, object))
      if (c.id == CHUNK_TRIMESH) meshes.push_back(c);
    if (meshes.empty()) {
      Camera(object);
      return Light(object);
    }
    SceneMesh mesh;
    mesh.model = scene_.models++;
    mesh.name = ChunkCursor(loader_, object).String();
    for (const chunk_header& chunk : meshes) Mesh(chunk, mesh);
  }

 private:
  // A camera that shows nothing is passed over with a warning.
  void Camera(const chunk_header& object) {
    chunk_header c;
    SceneCamera camera;
    const std::string name = ChunkCursor(loader_, object).String();
    if (!FirstWithin(loader_, object, kCamera, c) ||
        !ReadCamera(loader_, c, name, camera))
      return;
    if (CameraShowsSomething(camera))
      scene_.cameras.push_back(camera);
    else
      scene_.warnings.push_back(
          "camera \"" + camera.name +
          "\" is passed over: it looks at itself, its lens is not a positive "
          "number, or a number of it is not finite or is beyond 1e30");
  }

  // A light that stands nowhere is passed over with a warning.
  void Light(const chunk_header& object) {
    chunk_header c;
    SceneLight light;
    const std::string name = ChunkCursor(loader_, object).String();
    if (!FirstWithin(loader_, object, kLight, c) ||
        !ReadLight(loader_, c, name, light))
      return;
    if (LightStandsSomewhere(light))
      scene_.lights.push_back(light);
    else
      scene_.warnings.push_back(
          "light \"" + light.name +
          "\" is passed over: a number of its position or target is not "
          "finite or is beyond 1e30, or it is a spot that points at itself");
  }

  void Warn(const SceneMesh& mesh, const std::string& what) {
    scene_.warnings.push_back("model " + std::to_string(mesh.model) + " \"" +
                              mesh.name + "\" " + what);
  }
  void LeaveOut(const SceneMesh& mesh, const std::string& why) {
    Warn(mesh, "is left out: " + why);
  }

  void Mesh(const chunk_header& chunk, SceneMesh mesh) {
    StopPoint();
    const MeshChunks found = FindMeshChunks(loader_, chunk);
    if (!found.hasvertices)
      return LeaveOut(mesh, "no vertex list chunk (0x4110)");
    if (!found.hasfaces) return LeaveOut(mesh, "no face list chunk (0x4120)");
    std::vector<unsigned int> faces;
    std::string why;
    if (!ReadGeometry(found, mesh, faces, why)) return LeaveOut(mesh, why);
    std::vector<int> masks = ReadSmoothing(loader_, found.faces, mesh.faces);
    std::vector<int> materials = FaceMaterials(found.faces, mesh.faces);
    if (const size_t dropped =
            KeepFiniteFaces(mesh.vertices, faces, masks, materials))
      Warn(mesh, "has " + std::to_string(dropped) +
                     " faces left out: a vertex of theirs is not finite");
    if (faces.empty()) return;  // nothing to draw
    if (found.hascoords) ReadCoords(found.coords, mesh);
    SmoothByGroups(masks, faces, mesh.vertices, mesh.coords, mesh.normals);
    if (found.hasmatrix) ReadMeshMatrix(found.matrix, mesh);
    BoundMesh(mesh);
    mesh.area = FaceArea(mesh.vertices, faces);
    Group(materials, faces, mesh);
    // Every vertex left is one that a face draws.
    if (mesh.bounded) {
      GrowBox(mesh.low, scene_.bounded, scene_.low, scene_.high);
      GrowBox(mesh.high, scene_.bounded, scene_.low, scene_.high);
    }
    scene_.meshes.push_back(std::move(mesh));
  }

  // The vertices and the faces, in 32-bit indices since split vertices can
  // pass 16 bits; false, with the reason, when a face names a vertex that
  // the list does not have.
  bool ReadGeometry(const MeshChunks& found, SceneMesh& mesh,
                    std::vector<unsigned int>& faces, std::string& why) {
    const int n = loader_.ReadVertices(found.vertices, nullptr);
    mesh.vertices.resize(3 * static_cast<size_t>(n));
    loader_.ReadVertices(found.vertices, mesh.vertices.data());
    std::vector<unsigned short> stored(
        3 * static_cast<size_t>(loader_.ReadFaces(found.faces, nullptr)));
    loader_.ReadFaces(found.faces, stored.data());
    mesh.filevertices = static_cast<size_t>(n);
    mesh.faces = stored.size() / 3;
    for (size_t c = 0; c < stored.size(); ++c)
      if (stored[c] >= n) {
        why = FaceNamesMissingVertex(c / 3, stored[c], mesh.filevertices);
        return false;
      }
    faces.assign(stored.begin(), stored.end());
    return true;
  }

  // One pair per vertex; vertices without one get (0, 0).
  void ReadCoords(const chunk_header& chunk, SceneMesh& mesh) {
    const size_t n = mesh.vertices.size() / 3;
    const size_t k =
        static_cast<size_t>(loader_.ReadMappingCoords(chunk, nullptr));
    mesh.coords.assign(2 * (k > n ? k : n), 0.0f);
    loader_.ReadMappingCoords(chunk, mesh.coords.data());
    mesh.coords.resize(2 * n);
    for (float& c : mesh.coords)
      if (!std::isfinite(c)) c = 0.0f;
  }

  void ReadMeshMatrix(const chunk_header& chunk, SceneMesh& mesh) {
    ChunkCursor in(loader_, chunk);
    float stored[12];
    for (float& m : stored) m = in.Float();
    InvertMeshMatrix(stored, mesh);
  }

  // The material of each face: the first reference that names the face.
  std::vector<int> FaceMaterials(const chunk_header& facelist, size_t count) {
    const int kNone = -1;
    std::vector<int> materials(count, kNone);
    std::vector<bool> named(count, false);
    std::vector<unsigned short> indices;
    for (const chunk_header& c : Within(loader_, facelist)) {
      if (c.id != CHUNK_MATERIALREF) continue;
      std::string name;
      const int n = loader_.ReadMaterialRef(c, name, nullptr);
      indices.resize(n > 0 ? n : 0);
      loader_.ReadMaterialRef(c, name, indices.data());
      auto known = byname_.find(name);
      const int material = known == byname_.end() ? kNone : known->second;
      for (unsigned short f : indices)
        if (f < count && !named[f]) {
          named[f] = true;
          materials[f] = material;
        }
    }
    return materials;
  }

  // One group per material in use (`material` per face), in material
  // order; unnamed faces first.
  void Group(const std::vector<int>& material,
             const std::vector<unsigned int>& faces, SceneMesh& mesh) {
    const size_t count = faces.size() / 3;
    std::map<int, size_t> group;  // material -> corners, then group index
    for (int m : material) group[m] += 3;
    for (auto& entry : group) {
      const size_t corners = entry.second;
      entry.second = mesh.groups.size();
      mesh.groups.emplace_back();
      mesh.groups.back().material = entry.first;
      mesh.groups.back().corners.reserve(corners);
    }
    for (size_t f = 0; f < count; ++f) {
      std::vector<unsigned int>& out = mesh.groups[group[material[f]]].corners;
      out.insert(out.end(), faces.begin() + 3 * f, faces.begin() + 3 * f + 3);
    }
    for (FaceGroup& g : mesh.groups) Centre(g, mesh.vertices);
  }

  Loader3DS& loader_;
  Scene& scene_;
  std::map<std::string, int> byname_;
};

// Writers that leave out the version chunk put the editor chunk first: it
// is looked for among all the main chunk's children.
void ImportEditor(Loader3DS& loader, const chunk_header& main, Scene& scene) {
  chunk_header editor;
  if (!FirstWithin(loader, main, CHUNK_EDITOR, editor)) return;
  std::vector<chunk_header> objects, materials;
  const std::vector<chunk_header> children = Within(loader, editor);
  for (const chunk_header& c : children) {
    if (c.id == CHUNK_OBJECT) objects.push_back(c);
    if (c.id == CHUNK_MATERIAL) materials.push_back(c);
  }
  scene.environment = ReadEnvironment(loader, children);
  Importer importer(loader, scene);
  importer.Materials(materials);
  for (const chunk_header& object : objects) {
    StopPoint();
    importer.Object(object);
  }
}

}  // namespace

bool ImportScene(Loader3DS& loader, Scene& scene, std::string& why) {
  chunk_header main;
  scene.recognised = loader.ReadMainHeader(&main) == CHUNK_MAIN;
  if (!scene.recognised) {
    why = kNoMainChunk;
    return false;
  }
  // What is there is shown, but the file is said to be incomplete.
  scene.cutshort = main.length > loader.filesize;
  if (scene.cutshort)
    scene.warnings.push_back("the file is cut short: it ends after " +
                             std::to_string(loader.filesize) + " of the " +
                             std::to_string(main.length) +
                             " bytes its main chunk holds");
  ImportEditor(loader, main, scene);
  if (scene.meshes.empty()) {
    why = "no model that can be drawn";
    return false;
  }
  scene.keyframer = ReadKeyframer(loader, main);
  for (const std::string& warning : scene.keyframer.warnings)
    scene.warnings.push_back(warning);
  PlaceMeshes(scene);
  LinkCameras(scene);
  LinkLights(scene);
  FindPosed(scene);
  return true;
}

bool LoadScene(const std::string& path, bool countline,
               const Messages& messages, InputFiles& inputs, Scene& scene,
               std::string& why, bool whole) {
  Loader3DS loader;
  FileId id;
  if (!OpenModelFile(path, loader, id, why)) return false;
  inputs.Note(path, id);
  const bool drawable = ImportScene(loader, scene, why);
  if (ModelFileShrank()) {
    why = "cannot read " + path + ": the file became shorter while it was read";
    return false;
  }
  if (whole && scene.cutshort) {
    why = path + ": " + scene.warnings.front();  // the first says so
    return false;
  }
  if (countline && scene.recognised) messages.CountLine(scene.models);
  for (const std::string& warning : scene.warnings)
    messages.Warn(path + ": " + warning);
  if (!drawable) why = path + ": " + why;
  return drawable;
}

void NoteFilesRead(const std::string& path, InputFiles& inputs) {
  FileId id;
  if (IdentifyFile(path, id)) inputs.Note(path, id);
  Loader3DS loader;
  std::string why;
  chunk_header main, editor;
  if (!OpenModelFile(path, loader, id, why) ||
      loader.ReadMainHeader(&main) != CHUNK_MAIN ||
      !FirstWithin(loader, main, CHUNK_EDITOR, editor))
    return;
  // The materials as the import finds them: among the editor's children.
  FileNames names(FolderOf(path));
  std::set<std::string> looked;
  for (const chunk_header& c : Within(loader, editor)) {
    if (c.id != CHUNK_MATERIAL) continue;
    const SceneMaterial m = ReadMaterial(loader, c);
    // Every map the material names, those the renderer does not draw too.
    for (const TextureMap* map : m.Maps()) {
      if (map->image.empty() || !looked.insert(map->image).second) continue;
      std::string found;
      FileId image;
      if (FindMap(names, map->image, found, image, why))
        inputs.Note(found, image);
    }
  }
}
