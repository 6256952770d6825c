#include "scene_import.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <sstream>

#include "chunks.h"

namespace {

const unsigned int kMaterialName = 0xA000;
const unsigned int kDiffuse = 0xA020;
const unsigned int kMapFileName = 0xA300;
const unsigned int kSpecular = 0xA030, kShininess = 0xA040;
const unsigned int kShininessStrength = 0xA041, kTransparency = 0xA050;
const unsigned int kTwoSided = 0xA081, kSelfIllumination = 0xA084;
const unsigned int kMapUScale = 0xA354, kMapVScale = 0xA356;
const unsigned int kMapUOffset = 0xA358, kMapVOffset = 0xA35A;
const unsigned int kMapRotation = 0xA35C;
const unsigned int kPercentInt = 0x0030, kPercentFloat = 0x0031;
const unsigned int kColourFloat = 0x0010, kColourBytes = 0x0011;
const unsigned int kColourBytesGamma = 0x0012, kColourFloatLinear = 0x0013;

// The C string that starts the chunk's data, ending at the chunk's end.
std::string StringAt(Loader3DS& loader, const chunk_header& chunk) {
  std::string text;
  loader.readpos = chunk.start + 6;
  loader.ReadCSTR(text);
  const unsigned long long room = chunk.length > 6 ? chunk.length - 6 : 0;
  if (text.size() > room) text.resize(room);
  return text;
}

float Unit(float value) {
  return value > 0.0f ? (value < 1.0f ? value : 1.0f) : 0.0f;  // NaN: 0
}

// The first colour chunk inside `parent`, bytes or floats, as 0 to 1.
void ReadColour(Loader3DS& loader, const chunk_header& parent, float* rgb) {
  for (const chunk_header& c : Within(loader, parent)) {
    loader.readpos = c.start + 6;
    if (c.id == kColourBytes || c.id == kColourBytesGamma) {
      unsigned char bytes[3];
      loader.ReadRGB2(bytes);
      for (int k = 0; k < 3; ++k) rgb[k] = bytes[k] / 255.0f;
      return;
    }
    if (c.id == kColourFloat || c.id == kColourFloatLinear) {
      loader.ReadRGB(rgb);
      for (int k = 0; k < 3; ++k) rgb[k] = Unit(rgb[k]);
      return;
    }
  }
}

// Sub-chunks are found by identifier, so materials that tools lay out in
// another order or form are read as well.
// The first percentage chunk inside `parent` as a fraction from 0 to 1: a
// 16-bit whole percent, or a float fraction.
float ReadPercent(Loader3DS& loader, const chunk_header& parent) {
  for (const chunk_header& c : Within(loader, parent)) {
    loader.readpos = c.start + 6;
    if (c.id == kPercentInt && c.length >= 8)
      return Unit(static_cast<short>(loader.ReadSHORT()) / 100.0f);
    if (c.id == kPercentFloat && c.length >= 10)
      return Unit(loader.ReadFLOAT());
  }
  return 0.0f;
}

// A float of the chunk's data; `otherwise` when it is missing or not finite.
float FloatIn(Loader3DS& loader, const chunk_header& c, float otherwise) {
  if (c.length < 10) return otherwise;
  loader.readpos = c.start + 6;
  const float v = loader.ReadFLOAT();
  return std::isfinite(v) ? v : otherwise;
}

void ReadTextureMap(Loader3DS& loader, const chunk_header& map,
                    SceneMaterial& m) {
  bool named = false;
  for (const chunk_header& part : Within(loader, map)) {
    if (part.id == kMapFileName && !named) {
      m.image = StringAt(loader, part);
      named = true;
    } else if (part.id == kMapUScale) {
      m.tiling.scale[0] = FloatIn(loader, part, 1);
    } else if (part.id == kMapVScale) {
      m.tiling.scale[1] = FloatIn(loader, part, 1);
    } else if (part.id == kMapUOffset) {
      m.tiling.offset[0] = FloatIn(loader, part, 0);
    } else if (part.id == kMapVOffset) {
      m.tiling.offset[1] = FloatIn(loader, part, 0);
    } else if (part.id == kMapRotation) {
      m.tiling.rotation = FloatIn(loader, part, 0);
    }
  }
}

SceneMaterial ReadMaterial(Loader3DS& loader, const chunk_header& chunk) {
  SceneMaterial m;
  bool named = false, coloured = false, mapped = false, specular = false;
  for (const chunk_header& c : Within(loader, chunk)) {
    if (c.id == kMaterialName && !named) {
      m.name = StringAt(loader, c);
      named = true;
    } else if (c.id == kDiffuse && !coloured) {
      ReadColour(loader, c, m.diffuse);
      coloured = true;
    } else if (c.id == kSpecular && !specular) {
      ReadColour(loader, c, m.specular);
      specular = true;
    } else if (c.id == kShininess) {
      m.shininess = ReadPercent(loader, c);
    } else if (c.id == kShininessStrength) {
      m.strength = ReadPercent(loader, c);
    } else if (c.id == kTransparency) {
      m.transparency = ReadPercent(loader, c);
    } else if (c.id == kSelfIllumination) {
      m.selfillumination = ReadPercent(loader, c);
    } else if (c.id == kTwoSided) {
      m.twosided = true;
    } else if (c.id == CHUNK_TEXTUREMAP && !mapped) {
      ReadTextureMap(loader, c, m);
      mapped = true;
    }
  }
  return m;
}

const unsigned int kMeshMatrix = 0x4160;
const unsigned int kCamera = 0x4700;

struct MeshChunks {
  chunk_header vertices, faces, coords, matrix;
  bool hasvertices = false, hasfaces = false, hascoords = false;
  bool hasmatrix = false;
};

MeshChunks FindMeshChunks(Loader3DS& loader, const chunk_header& mesh) {
  MeshChunks found;
  for (const chunk_header& c : Within(loader, mesh)) {
    if (c.id == CHUNK_VERTEXLIST && !found.hasvertices) {
      found.vertices = c;
      found.hasvertices = true;
    } else if (c.id == CHUNK_FACELIST && !found.hasfaces) {
      found.faces = c;
      found.hasfaces = true;
    } else if (c.id == CHUNK_MAPPINGCOORDS && !found.hascoords) {
      found.coords = c;
      found.hascoords = true;
    } else if (c.id == kMeshMatrix && !found.hasmatrix && c.length >= 6 + 48) {
      found.matrix = c;
      found.hasmatrix = true;
    }
  }
  return found;
}

// The smoothing group masks of the faces, one per face (0 where the chunk
// holds fewer); empty without a smoothing group chunk.
std::vector<int> ReadSmoothing(Loader3DS& loader, const chunk_header& facelist,
                               size_t faces) {
  std::vector<int> masks;
  chunk_header chunk;
  if (!loader.FindSmoothingGroup(facelist, chunk)) return masks;
  masks.resize(loader.ReadSmoothingGroup(chunk, nullptr));
  loader.ReadSmoothingGroup(chunk, masks.data());
  masks.resize(faces, 0);
  return masks;
}

// Unit length, in double precision: where faces all but cancel, a 32-bit
// length of what is left falls among the denormals and is off by percents.
// Where nothing is left (faces that cancel exactly, or have no area), the
// vertex takes `own`, the normal of one face at its corner, and where that
// face has no area either, +z: every vertex drawn is lit by some normal.
// `v` made unit length into `out`; false when it has no usable length.
bool UnitInto(const float* v, float* out) {
  const double x = v[0], y = v[1], z = v[2];
  const double length = std::sqrt(x * x + y * y + z * z);
  if (!(length > 0 && std::isfinite(length))) return false;
  out[0] = static_cast<float>(x / length);
  out[1] = static_cast<float>(y / length);
  out[2] = static_cast<float>(z / length);
  return true;
}

void Normalise(std::vector<float>& normals, const std::vector<float>& own) {
  for (size_t i = 0; i < normals.size(); i += 3) {
    float* n = &normals[i];
    if (UnitInto(n, n) || UnitInto(&own[i], n)) continue;
    n[0] = n[1] = 0.0f;
    n[2] = 1.0f;
  }
}

// The corners in order of their vertex, and within a vertex of their mask,
// in file order otherwise: a counting sort by vertex, so linear time.
std::vector<unsigned int> CornersByVertex(
    const std::vector<unsigned int>& faces, const std::vector<int>& masks,
    size_t vertices) {
  std::vector<unsigned int> first(vertices + 1, 0), order(faces.size());
  for (unsigned int v : faces) ++first[v + 1];
  for (size_t v = 0; v < vertices; ++v) first[v + 1] += first[v];
  std::vector<unsigned int> next(first.begin(), first.end() - 1);
  for (unsigned int c = 0; c < faces.size(); ++c) order[next[faces[c]]++] = c;
  // The corners of a vertex are mostly few: an insertion sort keeps them in
  // file order within a mask and allocates nothing; a crafted vertex that
  // many faces share takes the library's stable sort.
  auto by_mask = [&](unsigned int a, unsigned int b) {
    return masks[a / 3] < masks[b / 3];
  };
  for (size_t v = 0; v < vertices; ++v) {
    if (first[v + 1] - first[v] > 16) {
      std::stable_sort(order.begin() + first[v], order.begin() + first[v + 1],
                       by_mask);
      continue;
    }
    for (unsigned int i = first[v] + 1; i < first[v + 1]; ++i) {
      const unsigned int corner = order[i];
      unsigned int j = i;
      for (; j > first[v] && by_mask(corner, order[j - 1]); --j)
        order[j] = order[j - 1];
      order[j] = corner;
    }
  }
  return order;
}

// Normals that keep the edges between smoothing groups sharp. A corner takes
// the sum of the normals of the faces at its vertex that share a group with
// its face, made unit length; a face in no group (mask 0) stays flat.
// Corners of one vertex and one group share a vertex; elsewhere the vertex
// is copied, so the mesh then holds only the vertices it draws.
void SmoothByGroups(const std::vector<int>& masks,
                    std::vector<unsigned int>& faces, SceneMesh& mesh) {
  const size_t corners = faces.size();
  std::vector<float> facenormals(corners);
  Loader3DS reader;  // only for Normal, which needs no file
  for (size_t f = 0; f < corners / 3; ++f) {
    const unsigned int* c = &faces[3 * f];
    reader.Normal(&mesh.vertices[3 * size_t(c[0])],
                  &mesh.vertices[3 * size_t(c[1])],
                  &mesh.vertices[3 * size_t(c[2])], &facenormals[3 * f]);
  }
  const std::vector<unsigned int> order =
      CornersByVertex(faces, masks, mesh.vertices.size() / 3);
  auto same = [&](unsigned int a, unsigned int b) {
    return faces[a] == faces[b] && masks[a / 3] == masks[b / 3];
  };

  // Runs of corners with one vertex and one mask; each run becomes a vertex
  // (a corner of no group, one of its own).
  struct Run {
    size_t begin, end;
    float sum[3];
  };
  std::vector<Run> runs;
  runs.reserve(corners);
  for (size_t i = 0; i < corners; ++i) {
    const unsigned int c = order[i];
    if (runs.empty() || masks[c / 3] == 0 || !same(order[i - 1], c))
      runs.push_back({i, i, {0, 0, 0}});
    Run& run = runs.back();
    run.end = i + 1;
    for (int k = 0; k < 3; ++k) run.sum[k] += facenormals[3 * (c / 3) + k];
  }

  auto mask_of = [&](const Run& run) { return masks[order[run.begin] / 3]; };
  SceneMesh split;
  split.vertices.reserve(3 * runs.size());
  split.normals.reserve(3 * runs.size());
  std::vector<float> own;  // a face normal at each new vertex
  own.reserve(3 * runs.size());
  for (size_t r = 0; r < runs.size();) {
    // The runs of one vertex: each sums those that share a group with it.
    // Past 32 groups at one vertex, each takes the sum of all groups, so
    // that no vertex costs more than linear time.
    const unsigned int v = faces[order[runs[r].begin]];
    size_t last = r, grouped = 0;
    float all[3] = {0, 0, 0};
    for (; last < runs.size() && faces[order[runs[last].begin]] == v; ++last)
      if (mask_of(runs[last]) != 0) {
        ++grouped;
        for (int k = 0; k < 3; ++k) all[k] += runs[last].sum[k];
      }
    for (size_t i = r; i < last; ++i) {
      const int mask = mask_of(runs[i]);
      float n[3] = {runs[i].sum[0], runs[i].sum[1], runs[i].sum[2]};
      if (mask != 0 && grouped > 32) {
        for (int k = 0; k < 3; ++k) n[k] = all[k];
      } else if (mask != 0) {
        for (size_t j = r; j < last; ++j)
          if (j != i && (mask_of(runs[j]) & mask))
            for (int k = 0; k < 3; ++k) n[k] += runs[j].sum[k];
      }
      const unsigned int index =
          static_cast<unsigned int>(split.vertices.size() / 3);
      const size_t face = order[runs[i].begin] / 3;
      for (int k = 0; k < 3; ++k) {
        split.vertices.push_back(mesh.vertices[3 * size_t(v) + k]);
        split.normals.push_back(n[k]);
        own.push_back(facenormals[3 * face + k]);
      }
      if (!mesh.coords.empty())
        for (int k = 0; k < 2; ++k)
          split.coords.push_back(mesh.coords[2 * size_t(v) + k]);
      for (size_t o = runs[i].begin; o < runs[i].end; ++o)
        faces[order[o]] = index;
    }
    r = last;
  }
  mesh.vertices.swap(split.vertices);
  mesh.normals.swap(split.normals);
  mesh.coords.swap(split.coords);
  Normalise(mesh.normals, own);
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

// T(-pivot) M^-1 of a mesh that a node places; the identity, with a
// warning, where the mesh has no matrix or one without an inverse.
Matrix NodeLocal(const SceneMesh& mesh, const KeyframeNode& node,
                 bool& unusable) {
  Matrix m = Identity(), inverse = Identity();
  for (int axis = 0; axis < 4; ++axis)
    for (int k = 0; k < 3; ++k) m[4 * axis + k] = mesh.matrix[3 * axis + k];
  if (!mesh.hasmatrix || !InvertAffine(m, inverse)) unusable = true;
  Matrix pivot = Identity();
  for (int k = 0; k < 3; ++k) pivot[12 + k] = -node.pivot[k];
  return Multiply(pivot, inverse);
}

// Where each mesh is drawn: once for every node that names it (a dummy node
// or one that names no mesh draws nothing), and as stored where no node
// names it.
void Place(Scene& scene) {
  std::multimap<std::string, int> byname;
  for (size_t m = 0; m < scene.meshes.size(); ++m)
    byname.emplace(scene.meshes[m].name, static_cast<int>(m));
  std::vector<bool> placed(scene.meshes.size(), false);
  bool unusable = false;
  const Keyframer& kf = scene.keyframer;
  for (size_t n = 0; n < kf.nodes.size(); ++n) {
    if (kf.nodes[n].name == "$$$DUMMY") continue;
    auto range = byname.equal_range(kf.nodes[n].name);
    for (auto it = range.first; it != range.second; ++it) {
      Placement p;
      p.mesh = it->second;
      p.node = static_cast<int>(n);
      p.local = NodeLocal(scene.meshes[p.mesh], kf.nodes[n], unusable);
      scene.placements.push_back(p);
      placed[p.mesh] = true;
    }
  }
  for (size_t m = 0; m < scene.meshes.size(); ++m)
    if (!placed[m]) {
      Placement p;
      p.mesh = static_cast<int>(m);
      scene.placements.push_back(p);
    }
  if (unusable)
    scene.warnings.push_back(
        "a mesh that the keyframer places has no matrix (0x4160) that can be "
        "inverted; it is placed as stored");
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

  void Model(const chunk_header& object) {
    std::vector<chunk_header> meshes;
    for (const chunk_header& c : Within(loader_, object))
      if (c.id == CHUNK_TRIMESH) meshes.push_back(c);
    if (meshes.empty()) return Camera(object);  // or a light: not a model
    SceneMesh mesh;
    mesh.model = scene_.models++;
    mesh.name = StringAt(loader_, object);
    for (const chunk_header& chunk : meshes) Mesh(chunk, mesh);
  }

 private:
  // A camera whose position is its target, or whose lens is not a positive
  // number, shows nothing: it is passed over with a warning.
  void Camera(const chunk_header& object) {
    for (const chunk_header& c : Within(loader_, object)) {
      if (c.id != kCamera) continue;
      SceneCamera camera;
      camera.name = StringAt(loader_, object);
      if (c.length < 6 + 32) return;
      loader_.readpos = c.start + 6;
      for (float& p : camera.position) p = loader_.ReadFLOAT();
      for (float& t : camera.target) t = loader_.ReadFLOAT();
      camera.roll = loader_.ReadFLOAT();
      camera.lens = loader_.ReadFLOAT();
      bool finite = std::isfinite(camera.roll) && std::isfinite(camera.lens);
      bool apart = false;
      // Numbers past 1e30 are as good as infinite to a view.
      for (int k = 0; k < 3; ++k) {
        finite = finite && std::fabs(camera.position[k]) <= 1e30f &&
                 std::fabs(camera.target[k]) <= 1e30f;
        apart = apart || camera.position[k] != camera.target[k];
      }
      if (finite && apart && camera.lens > 0)
        scene_.cameras.push_back(camera);
      else
        scene_.warnings.push_back("camera \"" + camera.name +
                                  "\" is passed over: it looks at itself, "
                                  "its lens is not a positive number, or a "
                                  "number of it is not finite or is beyond "
                                  "1e30");
      return;
    }
  }

  void LeaveOut(const SceneMesh& mesh, const std::string& why) {
    std::ostringstream line;
    line << "model " << mesh.model << " \"" << mesh.name
         << "\" is left out: " << why;
    scene_.warnings.push_back(line.str());
  }

  void Mesh(const chunk_header& chunk, SceneMesh mesh) {
    MeshChunks found = FindMeshChunks(loader_, chunk);
    if (!found.hasvertices)
      return LeaveOut(mesh, "no vertex list chunk (0x4110)");
    if (!found.hasfaces) return LeaveOut(mesh, "no face list chunk (0x4120)");

    const int n = loader_.ReadVertices(found.vertices, nullptr);
    mesh.vertices.resize(3 * static_cast<size_t>(n));
    loader_.ReadVertices(found.vertices, mesh.vertices.data());
    std::vector<unsigned short> stored(
        3 * static_cast<size_t>(loader_.ReadFaces(found.faces, nullptr)));
    loader_.ReadFaces(found.faces, stored.data());
    if (stored.empty()) return;  // nothing to draw, nothing wrong
    mesh.filevertices = static_cast<size_t>(n);
    mesh.faces = stored.size() / 3;
    // Split vertices can pass 16-bit indices.
    std::vector<unsigned int> faces(stored.begin(), stored.end());
    std::vector<unsigned short>().swap(stored);
    for (size_t c = 0; c < faces.size(); ++c)
      if (faces[c] >= static_cast<unsigned int>(n)) {
        std::ostringstream why;
        why << "face " << c / 3 << " names vertex " << faces[c] << " of " << n;
        return LeaveOut(mesh, why.str());
      }

    if (found.hascoords) {
      // One pair per vertex; vertices without one get (0, 0).
      const int k = loader_.ReadMappingCoords(found.coords, nullptr);
      mesh.coords.assign(2 * static_cast<size_t>(k > n ? k : n), 0.0f);
      loader_.ReadMappingCoords(found.coords, mesh.coords.data());
      mesh.coords.resize(2 * static_cast<size_t>(n));
    }
    // Without smoothing groups, all faces form one group: every face at a
    // vertex is smoothed into its normal.
    std::vector<int> masks =
        ReadSmoothing(loader_, found.faces, faces.size() / 3);
    if (masks.empty()) masks.assign(faces.size() / 3, 1);
    SmoothByGroups(masks, faces, mesh);
    if (found.hasmatrix) {
      loader_.readpos = found.matrix.start + 6;
      for (float& m : mesh.matrix) m = loader_.ReadFLOAT();
      mesh.hasmatrix = true;
    }
    BoundMesh(mesh);
    Group(found.faces, faces, mesh);
    // Every vertex left is one that a face draws.
    if (mesh.bounded) {
      GrowBox(mesh.low, scene_.bounded, scene_.low, scene_.high);
      GrowBox(mesh.high, scene_.bounded, scene_.low, scene_.high);
    }
    scene_.meshes.push_back(std::move(mesh));
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

  // One group per material in use, in material order; unnamed faces first.
  void Group(const chunk_header& facelist,
             const std::vector<unsigned int>& faces, SceneMesh& mesh) {
    const size_t count = faces.size() / 3;
    std::vector<int> material = FaceMaterials(facelist, count);
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

}  // namespace

bool ImportScene(Loader3DS& loader, Scene& scene, std::string& why) {
  chunk_header main, editor;
  scene.recognised = loader.ReadMainHeader(&main) == CHUNK_MAIN;
  if (!scene.recognised) {
    why = "not a 3DS file (no main chunk 0x4D4D)";
    return false;
  }
  Importer importer(loader, scene);
  // Writers that leave out the version chunk put the editor chunk first.
  bool haseditor = false;
  for (const chunk_header& c : Within(loader, main))
    if (c.id == CHUNK_EDITOR) {
      editor = c;
      haseditor = true;
      break;
    }
  if (haseditor) {
    std::vector<chunk_header> objects, materials;
    for (const chunk_header& c : Within(loader, editor)) {
      if (c.id == CHUNK_OBJECT) objects.push_back(c);
      if (c.id == CHUNK_MATERIAL) materials.push_back(c);
    }
    importer.Materials(materials);
    for (const chunk_header& object : objects) importer.Model(object);
  }
  if (scene.meshes.empty()) {
    why = "no model that can be drawn";
    return false;
  }
  scene.keyframer = ReadKeyframer(loader, main);
  for (const std::string& warning : scene.keyframer.warnings)
    scene.warnings.push_back(warning);
  Place(scene);
  return true;
}

void GrowBox(const float* p, bool& bounded, float* low, float* high) {
  if (!std::isfinite(p[0]) || !std::isfinite(p[1]) || !std::isfinite(p[2]))
    return;
  for (int k = 0; k < 3; ++k) {
    if (!bounded || p[k] < low[k]) low[k] = p[k];
    if (!bounded || p[k] > high[k]) high[k] = p[k];
  }
  bounded = true;
}

SceneCamera CameraAt(const Scene& scene, const SceneCamera& camera,
                     double frame) {
  SceneCamera at = camera;
  for (const KeyframeNode& node : scene.keyframer.cameras) {
    if (node.name != camera.name) continue;
    TrackAt(node.position, frame, camera.position, at.position, 3);
    TrackAt(node.roll, frame, &camera.roll, &at.roll, 1);
    if (!node.fov.empty()) {
      float fov;
      TrackAt(node.fov, frame, &fov, &fov, 1);
      const double half = fov * std::acos(-1.0) / 360;
      if (half > 0 && half < std::acos(-1.0) / 2)
        at.lens = static_cast<float>(18 / std::tan(half));
    }
    break;
  }
  for (const KeyframeNode& node : scene.keyframer.targets)
    if (node.name == camera.name) {
      TrackAt(node.position, frame, camera.target, at.target, 3);
      break;
    }
  return at;
}

void PoseScene(const Scene& scene, double frame, std::vector<Matrix>& matrices,
               std::vector<bool>& shown) {
  std::vector<Matrix> world;
  std::vector<bool> visible;
  EvaluatePose(scene.keyframer, frame, world, visible);
  matrices.resize(scene.placements.size());
  shown.assign(scene.placements.size(), true);
  for (size_t i = 0; i < scene.placements.size(); ++i) {
    const Placement& p = scene.placements[i];
    matrices[i] = p.node < 0 ? p.local : Multiply(world[p.node], p.local);
    if (p.node >= 0) shown[i] = visible[p.node];
  }
}

bool SceneBox(const Scene& scene, double frame, bool sweep, float low[3],
              float high[3]) {
  const Keyframer& kf = scene.keyframer;
  const double span = kf.end - kf.start;
  const int samples = sweep && span > 0 ? 200 : 1;
  bool bounded = false;
  std::vector<Matrix> matrices;
  std::vector<bool> shown;
  for (int s = 0; s < samples; ++s) {
    const double f = samples > 1 ? kf.start + span * s / (samples - 1) : frame;
    PoseScene(scene, f, matrices, shown);
    for (size_t i = 0; i < matrices.size(); ++i) {
      const SceneMesh& mesh = scene.meshes[scene.placements[i].mesh];
      if (!shown[i] || !mesh.bounded) continue;
      for (int corner = 0; corner < 8; ++corner) {
        const float p[3] = {corner & 1 ? mesh.high[0] : mesh.low[0],
                            corner & 2 ? mesh.high[1] : mesh.low[1],
                            corner & 4 ? mesh.high[2] : mesh.low[2]};
        float q[3];
        Transform(matrices[i], p, q);
        GrowBox(q, bounded, low, high);
      }
    }
  }
  return bounded;
}
