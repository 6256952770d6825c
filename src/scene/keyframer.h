// The keyframer section of a 3DS file (chunk 0xB000): the object nodes that
// place each mesh in the world, their hierarchy, the camera and target nodes
// that move the file's cameras, and their animation tracks, as read. Where
// they put things at a frame is pose.h's.
#ifndef MODELVIEWER_KEYFRAMER_H
#define MODELVIEWER_KEYFRAMER_H

#include <string>
#include <vector>

#include "3dsloader.h"

// One key: its frame, the spline's tension, continuity and bias, and the
// value (3 floats; a rotation, once read: an absolute orientation as a
// quaternion w, x, y, z).
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

// The name of an object node that draws nothing but moves its children.
const char kDummyNode[] = "$$$DUMMY";

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

#endif
