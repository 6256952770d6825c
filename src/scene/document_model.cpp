#include "scene/document_model.h"

#include "base/messages.h"

DocumentModel& DocumentModel::operator=(DocumentModel&& other) noexcept {
  if (this != &other) {
    Release();
    vertices = other.vertices, normals = other.normals;
    faces = other.faces, coords = other.coords;
    vertexcount = other.vertexcount, facecount = other.facecount;
    mat = std::move(other.mat);
    mapped = other.mapped;
    image = std::move(other.image);
    other.Forget();
  }
  return *this;
}

void DocumentModel::Release() {
  delete[] vertices;
  delete[] faces;
  delete[] coords;
  delete[] normals;
  Forget();
}

void DocumentModel::Forget() {
  vertices = normals = coords = nullptr;
  faces = nullptr;
}

const char* ReadDocumentModel(Loader3DS& loader, int i, DocumentModel& m) {
  chunk_header mesh, vertexlist, facelist, materialref, materialchunk, mapping,
      texturemap;
  loader.GetMesh(i, 0, mesh);

  if (!loader.FindVertexList(mesh, vertexlist))
    return "no vertex list chunk (0x4110)";
  m.vertexcount = loader.ReadVertices(vertexlist, nullptr);
  m.vertices = new float[3 * m.vertexcount];
  loader.ReadVertices(vertexlist, m.vertices);
  // Zeroed, so a vertex that no triangle uses has a defined normal.
  m.normals = new float[3 * m.vertexcount]();

  if (!loader.FindFaceList(mesh, facelist))
    return "no face list chunk (0x4120)";
  m.facecount = loader.ReadFaces(facelist, nullptr);
  m.faces = new unsigned short[3 * m.facecount];
  loader.ReadFaces(facelist, m.faces);

  if (!loader.FindMaterialRef(facelist, materialref, 0))
    return "no material reference chunk (0x4130)";

  const bool hasmaterial = loader.GetMaterial(i, materialchunk);
  if (hasmaterial) loader.ReadMaterial(materialchunk, m.mat);

  if (!loader.FindMappingCoords(mesh, mapping))
    return "no mapping coordinates chunk (0x4140)";
  const int pairs = loader.ReadMappingCoords(mapping, nullptr);
  // One pair per vertex at least; vertices without one get (0, 0).
  m.coords = new float[2 * (pairs > m.vertexcount ? pairs : m.vertexcount)]();
  loader.ReadMappingCoords(mapping, m.coords);

  if (hasmaterial &&
      loader.FindTexture(materialchunk, texturemap, CHUNK_TEXTUREMAP) &&
      loader.GetTexture(i, texturemap, CHUNK_TEXTUREMAP)) {
    texture map;
    loader.ReadTexture(texturemap, map);
    m.mapped = true;
    m.image = map.filename;
  }
  return nullptr;
}

std::string CheckCorners(const DocumentModel& m) {
  for (int c = 0; c < 3 * m.facecount; ++c)
    if (m.faces[c] >= m.vertexcount)
      return FaceNamesMissingVertex(c / 3, m.faces[c], m.vertexcount);
  return "";
}

std::string ImportDocumentModel(Loader3DS& loader, int i, DocumentModel& m) {
  if (const char* why = ReadDocumentModel(loader, i, m)) return why;
  const std::string why = CheckCorners(m);
  if (why.empty())
    loader.SmoothNormals(m.facecount, m.faces, m.vertices, m.normals);
  return why;
}
