// The bundled program's import of one model, reader call for reader call:
// the one copy of that sequence, which the program runs and the tests and
// benchmarks check and time. Every array is allocated with new[] at exactly
// the size that the reader's count-only call gives, so AddressSanitizer
// guards every fill.
#ifndef MODELVIEWER_DOCUMENT_MODEL_H
#define MODELVIEWER_DOCUMENT_MODEL_H

#include <string>
#include <utility>

#include "loader/3dsloader.h"

// One model's arrays, as the program's scene store holds them. They belong
// to the record, which frees them, until Forget() hands them over.
struct DocumentModel {
  float* vertices = nullptr;        // 3 per vertex
  float* normals = nullptr;         // 3 per vertex, zeroed until smoothed
  unsigned short* faces = nullptr;  // 3 per face
  float* coords = nullptr;  // 2 per vertex at least; missing pairs (0, 0)
  int vertexcount = 0, facecount = 0;
  material mat;         // of the file's material of the model's index
  bool mapped = false;  // that material has a texture map chunk
  std::string image;    // the map's image name, as stored

  DocumentModel() = default;
  DocumentModel(DocumentModel&& other) noexcept { *this = std::move(other); }
  DocumentModel& operator=(DocumentModel&& other) noexcept;
  ~DocumentModel() { Release(); }

  void Release();
  // The arrays now belong to the caller.
  void Forget();
};

// Reads model i up to its texture's name, in the program's order. Null when
// it reads, else why the program refuses it; the arrays read until then are
// in `m` either way.
const char* ReadDocumentModel(Loader3DS& loader, int i, DocumentModel& m);

// Why the model cannot be drawn ("face F names vertex V of N"), or "" when
// every corner names one of its vertices.
std::string CheckCorners(const DocumentModel& m);

// All of the import but the texture: read, check, smooth. Empty, or why
// the model is refused.
std::string ImportDocumentModel(Loader3DS& loader, int i, DocumentModel& m);

#endif
