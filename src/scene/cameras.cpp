#include "scene/cameras.h"

#include <cmath>

#include "scene/chunk_cursor.h"

bool CameraShowsSomething(const SceneCamera& camera) {
  bool finite = std::isfinite(camera.roll) && std::isfinite(camera.lens);
  bool apart = false;
  for (int k = 0; k < 3; ++k) {
    finite = finite && std::fabs(double(camera.position[k])) <= kFarthest &&
             std::fabs(double(camera.target[k])) <= kFarthest;
    apart = apart || camera.position[k] != camera.target[k];
  }
  return finite && apart && camera.lens > 0;
}

bool ReadCamera(Loader3DS& loader, const chunk_header& chunk,
                const std::string& name, SceneCamera& camera) {
  ChunkCursor in(loader, chunk);
  if (!in.Has(32)) return false;
  camera.name = name;
  for (float& p : camera.position) p = in.Float();
  for (float& t : camera.target) t = in.Float();
  camera.roll = in.Float();
  camera.lens = in.Float();
  return true;
}
