// Walks everything a loaded file offers: the viewer's import of every model,
// and more: counts, names, every model's meshes and their chunks, both calls
// of every array reader (sized by the count-only call), materials and maps.
// Used by the malformed-input tests and the fuzzer; it only needs the reader
// to stay inside its buffers and to terminate.
#ifndef MODELVIEWER_WALK3DS_H
#define MODELVIEWER_WALK3DS_H

#include <string>
#include <vector>

#include "loader/3dsloader.h"
#include "scene/document_model.h"

struct WalkSummary {
  int models = 0;
  long items = 0;  // everything the array readers returned, added up
  // A filling call that returned another count than the count-only call, or
  // wrote past the items it returned.
  bool broken = false;
};

// With `spare`, one slot more than the count, which a correct reader never
// writes; without, exactly the count, for AddressSanitizer to guard.
template <class T>
inline int ReadTwice(Loader3DS& loader, const chunk_header& chunk,
                     int (Loader3DS::*reader)(const chunk_header&, T*),
                     int perItem, std::vector<T>& out, WalkSummary& summary,
                     bool spare) {
  int count = (loader.*reader)(chunk, nullptr);
  if (count < 0) return count;
  out.assign(static_cast<size_t>(count) * perItem + (spare ? 1 : 0), T(7));
  int filled = (loader.*reader)(chunk, out.data());
  if (filled != count || (spare && out.back() != T(7))) summary.broken = true;
  if (spare) out.pop_back();
  return count;
}

inline WalkSummary WalkAll(Loader3DS& loader, bool spare = true) {
  WalkSummary summary;
  loader.GetVersion();
  chunk_header main, editor, scratch;
  loader.ReadMainHeader(&main);
  if (loader.FindEdit3DS(main, editor)) {
    int objects = loader.ObjectsCount();
    for (int i = 0; i < objects; ++i) {
      if (loader.FindObject(editor, scratch, i)) loader.MeshesCount(scratch);
      loader.FindModel(editor, scratch, i);
    }
  }
  loader.MaterialsCount();
  summary.models = loader.ModelsCount();
  for (int i = 0; i < summary.models; ++i) {
    DocumentModel imported;
    ImportDocumentModel(loader, i, imported);
    std::string name;
    loader.ModelName(i, name);
    chunk_header object;
    if (!loader.GetModel(i, object)) continue;
    int meshes = loader.MeshesCount(object);
    for (int m = 0; m < meshes; ++m) {
      chunk_header mesh, vl, fl, mc, sg, mr;
      if (!loader.GetMesh(i, m, mesh)) continue;
      std::vector<float> vertices, coords;
      std::vector<unsigned short> faces, refs;
      std::vector<int> groups;
      if (loader.FindVertexList(mesh, vl))
        summary.items += ReadTwice(loader, vl, &Loader3DS::ReadVertices, 3,
                                   vertices, summary, spare);
      if (loader.FindMappingCoords(mesh, mc))
        summary.items += ReadTwice(loader, mc, &Loader3DS::ReadMappingCoords, 2,
                                   coords, summary, spare);
      if (loader.FindFaceList(mesh, fl)) {
        summary.items += ReadTwice(loader, fl, &Loader3DS::ReadFaces, 3, faces,
                                   summary, spare);
        if (loader.FindSmoothingGroup(fl, sg))
          summary.items += ReadTwice(loader, sg, &Loader3DS::ReadSmoothingGroup,
                                     1, groups, summary, spare);
        for (unsigned r = 0; loader.FindMaterialRef(fl, mr, r); ++r) {
          std::string matname;
          int n = loader.ReadMaterialRef(mr, matname, nullptr);
          refs.assign((n > 0 ? n : 0) + (spare ? 1 : 0), 7);
          if (loader.ReadMaterialRef(mr, matname, refs.data()) != n ||
              (spare && refs.back() != 7))
            summary.broken = true;
          summary.items += n;
        }
      }
    }
  }
  int materials = loader.MaterialsCount();
  for (int i = 0; i < materials; ++i) {
    chunk_header chunk, map;
    material mat;
    texture tex;
    if (loader.GetMaterial(i, chunk)) loader.ReadMaterial(chunk, mat);
    if (loader.GetTexture(i, map, CHUNK_TEXTUREMAP))
      loader.ReadTexture(map, tex);
  }
  return summary;
}

#endif
