// The file's cameras (0x4700), and where the keyframer takes them.
#ifndef MODELVIEWER_CAMERAS_H
#define MODELVIEWER_CAMERAS_H

#include <string>

#include "loader/3dsloader.h"

// Where a camera stands, what it looks at, its roll in degrees and its lens
// in mm.
struct SceneCamera {
  std::string name;
  float position[3] = {0, 0, 0}, target[3] = {0, 0, 0};
  float roll = 0, lens = 0;
  // The keyframer's camera and target nodes of its name (-1: none).
  int node = -1, targetnode = -1;
};

// Numbers beyond this are as good as infinite to a view: squares and sums
// of them must stay finite.
const double kFarthest = 1e30;

// The film back that a lens is measured against: 36 mm wide.
const double kHalfFilmWidth = 18;

// Whether the camera shows anything: its position is not its target, its
// lens is a positive number, and every number is finite and within
// kFarthest.
bool CameraShowsSomething(const SceneCamera& camera);

// The camera chunk (0x4700) `chunk` of the object named `name`: false when
// the chunk is too short to hold one.
bool ReadCamera(Loader3DS& loader, const chunk_header& chunk,
                const std::string& name, SceneCamera& camera);

#endif
