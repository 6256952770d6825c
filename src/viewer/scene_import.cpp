#include "scene_import.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <sstream>

namespace {

const unsigned int kMaterialName = 0xA000;
const unsigned int kDiffuse = 0xA020;
const unsigned int kMapFileName = 0xA300;
const unsigned int kColourFloat = 0x0010, kColourBytes = 0x0011;
const unsigned int kColourBytesGamma = 0x0012, kColourFloatLinear = 0x0013;

std::string StringAt(Loader3DS& loader, const chunk_header& chunk) {
  std::string text;
  loader.readpos = chunk.start + 6;
  loader.ReadCSTR(text);
  return text;
}

float Unit(float value) {
  return value > 0.0f ? (value < 1.0f ? value : 1.0f) : 0.0f;  // NaN: 0
}

// The first colour chunk inside `parent`, bytes or floats, as 0 to 1.
void ReadColour(Loader3DS& loader, const chunk_header& parent, float* rgb) {
  for (const chunk_header& c : loader.Children(parent)) {
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
SceneMaterial ReadMaterial(Loader3DS& loader, const chunk_header& chunk) {
  SceneMaterial m;
  bool named = false, coloured = false;
  for (const chunk_header& c : loader.Children(chunk)) {
    if (c.id == kMaterialName && !named) {
      m.name = StringAt(loader, c);
      named = true;
    } else if (c.id == kDiffuse && !coloured) {
      ReadColour(loader, c, m.diffuse);
      coloured = true;
    } else if (c.id == CHUNK_TEXTUREMAP && m.image.empty()) {
      for (const chunk_header& part : loader.Children(c))
        if (part.id == kMapFileName) {
          m.image = StringAt(loader, part);
          break;
        }
    }
  }
  return m;
}

struct MeshChunks {
  chunk_header vertices, faces, coords;
  bool hasvertices = false, hasfaces = false, hascoords = false;
};

MeshChunks FindMeshChunks(Loader3DS& loader, const chunk_header& mesh) {
  MeshChunks found;
  for (const chunk_header& c : loader.Children(mesh)) {
    if (c.id == CHUNK_VERTEXLIST && !found.hasvertices) {
      found.vertices = c;
      found.hasvertices = true;
    } else if (c.id == CHUNK_FACELIST && !found.hasfaces) {
      found.faces = c;
      found.hasfaces = true;
    } else if (c.id == CHUNK_MAPPINGCOORDS && !found.hascoords) {
      found.coords = c;
      found.hascoords = true;
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

bool OneGroup(const std::vector<int>& masks) {
  for (int m : masks)
    if (m == 0 || m != masks[0]) return false;
  return true;
}

// Unit length, or zero, in double precision: where faces all but cancel, a
// 32-bit length of what is left falls among the denormals and is off by
// percents.
void Normalise(std::vector<float>& normals) {
  for (size_t i = 0; i < normals.size(); i += 3) {
    float* n = &normals[i];
    const double x = n[0], y = n[1], z = n[2];
    const double length = std::sqrt(x * x + y * y + z * z);
    const bool usable = length > 0 && std::isfinite(length);
    n[0] = usable ? static_cast<float>(x / length) : 0.0f;
    n[1] = usable ? static_cast<float>(y / length) : 0.0f;
    n[2] = usable ? static_cast<float>(z / length) : 0.0f;
  }
}

// Normals that keep the edges between smoothing groups sharp. A corner takes
// the sum of the normals of the faces at its vertex that share a group with
// its face (made unit length by the caller); a face in no group stays flat.
// Corners of one vertex and one group share a vertex; elsewhere the vertex is
// copied. False, changing nothing, when the copies would not fit 16-bit
// indices.
bool SmoothByGroups(const std::vector<int>& masks,
                    std::vector<unsigned short>& faces, SceneMesh& mesh) {
  const size_t corners = faces.size();
  std::vector<float> facenormals(corners);
  Loader3DS reader;  // only for Normal, which needs no file
  for (size_t f = 0; f < corners / 3; ++f) {
    const unsigned short* c = &faces[3 * f];
    reader.Normal(&mesh.vertices[3 * size_t(c[0])],
                  &mesh.vertices[3 * size_t(c[1])],
                  &mesh.vertices[3 * size_t(c[2])], &facenormals[3 * f]);
  }
  auto key = [&](unsigned int c) {
    return static_cast<unsigned long long>(faces[c]) << 32 |
           static_cast<unsigned int>(masks[c / 3]);
  };
  std::vector<unsigned int> order(corners);
  for (unsigned int c = 0; c < corners; ++c) order[c] = c;
  std::sort(order.begin(), order.end(),
            [&](unsigned int a, unsigned int b) { return key(a) < key(b); });

  // Runs of corners with one vertex and one mask; each run becomes a vertex
  // (a corner of no group, one of its own).
  struct Run {
    size_t begin, end;
    float sum[3];
  };
  std::vector<Run> runs;
  for (size_t i = 0; i < corners; ++i) {
    const unsigned int c = order[i];
    if (runs.empty() || masks[c / 3] == 0 || key(order[i - 1]) != key(c))
      runs.push_back({i, i, {0, 0, 0}});
    Run& run = runs.back();
    run.end = i + 1;
    for (int k = 0; k < 3; ++k) run.sum[k] += facenormals[3 * (c / 3) + k];
  }
  if (runs.size() > 65536) return false;

  auto mask_of = [&](const Run& run) { return masks[order[run.begin] / 3]; };
  SceneMesh split;
  for (size_t r = 0; r < runs.size();) {
    // The runs of one vertex: each sums those that share a group with it.
    // Past 32 groups at one vertex, each takes the sum of all groups, so
    // that no vertex costs more than linear time.
    const unsigned short v = faces[order[runs[r].begin]];
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
      const unsigned short index =
          static_cast<unsigned short>(split.vertices.size() / 3);
      for (int k = 0; k < 3; ++k) {
        split.vertices.push_back(mesh.vertices[3 * size_t(v) + k]);
        split.normals.push_back(n[k]);
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
  return true;
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
    for (const chunk_header& c : loader_.Children(object))
      if (c.id == CHUNK_TRIMESH) meshes.push_back(c);
    if (meshes.empty()) return;  // a camera, a light: not a model
    SceneMesh mesh;
    mesh.model = scene_.models++;
    mesh.name = StringAt(loader_, object);
    for (const chunk_header& chunk : meshes) Mesh(chunk, mesh);
  }

 private:
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
    std::vector<unsigned short> faces(
        3 * static_cast<size_t>(loader_.ReadFaces(found.faces, nullptr)));
    loader_.ReadFaces(found.faces, faces.data());
    if (faces.empty()) return;  // nothing to draw, nothing wrong
    for (size_t c = 0; c < faces.size(); ++c)
      if (faces[c] >= n) {
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
    // Without smoothing groups, or with one for all faces, every face at a
    // vertex is smoothed into its normal.
    const std::vector<int> masks =
        ReadSmoothing(loader_, found.faces, faces.size() / 3);
    if (masks.empty() || OneGroup(masks) ||
        !SmoothByGroups(masks, faces, mesh)) {
      mesh.normals.assign(mesh.vertices.size(), 0.0f);
      loader_.SmoothNormals(faces.size() / 3, faces.data(),
                            mesh.vertices.data(), mesh.normals.data());
    }
    Normalise(mesh.normals);
    Group(found.faces, faces, mesh);
    Bound(faces, mesh.vertices);
    scene_.meshes.push_back(std::move(mesh));
  }

  // The material of each face: the first reference that names the face.
  std::vector<int> FaceMaterials(const chunk_header& facelist, size_t count) {
    const int kNone = -1;
    std::vector<int> materials(count, kNone);
    std::vector<bool> named(count, false);
    std::vector<unsigned short> indices;
    for (const chunk_header& c : loader_.Children(facelist)) {
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
             const std::vector<unsigned short>& faces, SceneMesh& mesh) {
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
      std::vector<unsigned short>& out =
          mesh.groups[group[material[f]]].corners;
      out.insert(out.end(), faces.begin() + 3 * f, faces.begin() + 3 * f + 3);
    }
  }

  void Bound(const std::vector<unsigned short>& faces,
             const std::vector<float>& vertices) {
    for (unsigned short v : faces) {
      const float* p = &vertices[3 * static_cast<size_t>(v)];
      if (!std::isfinite(p[0]) || !std::isfinite(p[1]) || !std::isfinite(p[2]))
        continue;
      for (int k = 0; k < 3; ++k) {
        if (!scene_.bounded || p[k] < scene_.low[k]) scene_.low[k] = p[k];
        if (!scene_.bounded || p[k] > scene_.high[k]) scene_.high[k] = p[k];
      }
      scene_.bounded = true;
    }
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
  if (loader.FindEdit3DS(main, editor)) {
    std::vector<chunk_header> objects, materials;
    for (const chunk_header& c : loader.Children(editor)) {
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
  return true;
}
