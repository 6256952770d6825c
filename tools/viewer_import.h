// The viewer's import of one model, reader call for reader call, into plain
// arrays and without OpenGL: the one copy of that sequence that the tests
// check and the benchmarks time. Arrays are sized exactly by the count-only
// calls, as the viewer sizes them, so AddressSanitizer guards every fill.
#ifndef MODELVIEWER_VIEWER_IMPORT_H
#define MODELVIEWER_VIEWER_IMPORT_H

#include <string>
#include <vector>

#include "3dsloader.h"

struct ImportedModel {
  std::vector<float> vertices, normals;
  std::vector<unsigned short> faces;
  std::vector<float> coords;  // at least one pair per vertex; missing: (0, 0)
  material mat;               // from the material chunk of the model's index
  std::string image;          // that material's texture image; empty if none
};

// Null when model i imports, else what the viewer refuses it over, checked in
// the viewer's order. `normals` false stops before the smoothed normals.
inline const char* ImportModel(Loader3DS& loader, int i, ImportedModel& m,
                               bool normals = true) {
  chunk_header mesh, vl, fl, mr, matchunk, mc, map;
  loader.GetMesh(i, 0, mesh);
  if (!loader.FindVertexList(mesh, vl)) return "no vertex list chunk";
  const int n = loader.ReadVertices(vl, nullptr);
  m.vertices.resize(3 * static_cast<size_t>(n));
  loader.ReadVertices(vl, m.vertices.data());
  m.normals.assign(m.vertices.size(), 0.0f);

  if (!loader.FindFaceList(mesh, fl)) return "no face list chunk";
  m.faces.resize(3 * static_cast<size_t>(loader.ReadFaces(fl, nullptr)));
  loader.ReadFaces(fl, m.faces.data());
  if (!loader.FindMaterialRef(fl, mr, 0)) return "no material reference chunk";

  const bool hasmaterial = loader.GetMaterial(i, matchunk);
  if (hasmaterial) loader.ReadMaterial(matchunk, m.mat);

  if (!loader.FindMappingCoords(mesh, mc))
    return "no mapping coordinates chunk";
  const int k = loader.ReadMappingCoords(mc, nullptr);
  m.coords.assign(2 * static_cast<size_t>(k > n ? k : n), 0.0f);
  loader.ReadMappingCoords(mc, m.coords.data());

  if (hasmaterial && loader.FindTexture(matchunk, map, CHUNK_TEXTUREMAP) &&
      loader.GetTexture(i, map, CHUNK_TEXTUREMAP)) {
    texture tex;
    loader.ReadTexture(map, tex);
    m.image = tex.filename;
  }

  for (unsigned short v : m.faces)
    if (v >= n) return "a face names a vertex beyond the list";
  if (normals)
    loader.SmoothNormals(m.faces.size() / 3, m.faces.data(), m.vertices.data(),
                         m.normals.data());
  return nullptr;
}

#endif
