// The keyframer section of a 3DS file (chunk 0xB000): the object nodes that
// place each mesh in the world, their hierarchy and their animation tracks,
// and the pose they give at any frame. No window is involved.
#ifndef MODELVIEWER_KEYFRAMER_H
#define MODELVIEWER_KEYFRAMER_H

#include <array>
#include <string>
#include <vector>

#include "3dsloader.h"

// Column-major 4 x 4, as OpenGL takes it.
using Matrix = std::array<float, 16>;
Matrix Identity();
Matrix Multiply(const Matrix& a, const Matrix& b);
// The point `p` moved by `m`.
void Transform(const Matrix& m, const float* p, float* out);

// One key: its frame, the spline's tension, continuity and bias, and the
// value (3 floats; a rotation: an angle in radians, then an axis).
struct TrackKey {
  double frame = 0;
  float tension = 0, continuity = 0, bias = 0;
  float value[4] = {0, 0, 0, 0};
};

struct KeyframeNode {
  int id = 0;
  int parent = -1;  // index into Keyframer::nodes; -1: none
  std::string name, instance;
  float pivot[3] = {0, 0, 0};
  std::vector<TrackKey> position, rotation, scale, hide;
  std::vector<TrackKey> fov, roll;  // of a camera node, in degrees
};

struct Keyframer {
  bool present = false;
  double start = 0, end = 0;        // the segment, in frames
  std::vector<KeyframeNode> nodes;  // in file order
  std::vector<int> order;           // every parent before its children
  // Camera nodes (0xB003) and camera target nodes (0xB004), by the name of
  // the camera they move.
  std::vector<KeyframeNode> cameras, targets;
  std::vector<std::string> warnings;  // what was repaired, once each
};

// Reads the first keyframer chunk among the children of `main`. Every read is
// cut to its chunk; key counts beyond what a chunk holds are cut to it, keys
// out of frame order are sorted, non-finite values are taken as 0, parents
// that name no node and hierarchy loops make roots. Linear in the section's
// size.
Keyframer ReadKeyframer(Loader3DS& loader, const chunk_header& main);

// Each node's world matrix at `frame` (held before the first key and after
// the last), in node order, and whether it is shown (hide keys toggle).
void EvaluatePose(const Keyframer& keyframer, double frame,
                  std::vector<Matrix>& world, std::vector<bool>& shown);

// A position-like track's value at `frame` (3 floats; 1 for a field of view
// or a roll), or `otherwise` without keys.
void TrackAt(const std::vector<TrackKey>& keys, double frame,
             const float* otherwise, float* value, int count);

// The inverse of the affine `m`; false, leaving the identity, when it has
// none.
bool InvertAffine(const Matrix& m, Matrix& inverse);

#endif
