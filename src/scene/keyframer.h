// The keyframer section of a 3DS file (chunk 0xB000): its nodes (the
// object nodes that place each mesh in the world, the camera and target
// nodes that move the file's cameras, and the light nodes that move, colour
// and widen its lights), their one
// hierarchy over every kind, and their animation tracks, as read. Where they
// put things at a frame is pose.h's.
//
// A node costs a fixed few dozen bytes whatever it holds; names and keys
// live in shared pools, so memory follows the section's bytes.
#ifndef MODELVIEWER_KEYFRAMER_H
#define MODELVIEWER_KEYFRAMER_H

#include <cstddef>
#include <string>
#include <vector>

#include "loader/3dsloader.h"

// One key: its frame, the spline's tension, continuity and bias, and the
// value (3 floats; a rotation, once read: an absolute orientation as a
// quaternion w, x, y, z).
struct TrackKey {
  double frame = 0;
  float tension = 0, continuity = 0, bias = 0;
  float value[4] = {0, 0, 0, 0};
};

// A track's keys: a run of one of the keyframer's pools, in frame order,
// one key a frame.
struct Track {
  unsigned int first = 0, count = 0;
  bool empty() const { return count == 0; }
};

// A view of a track's keys.
struct Keys {
  const TrackKey* data = nullptr;
  size_t size = 0;
  bool empty() const { return size == 0; }
  const TrackKey& operator[](size_t i) const { return data[i]; }
  const TrackKey& back() const { return data[size - 1]; }
  const TrackKey* begin() const { return data; }
  const TrackKey* end() const { return data + size; }
};

// Object nodes place meshes; the others (cameras, their targets, lights,
// spot targets and the ambient light) are placed by their position track
// alone, and can be parents of any node.
enum class NodeKind : unsigned char {
  kObject,
  kCamera,
  kTarget,
  kOmni,
  kSpot,
  kSpotTarget,
  kAmbient
};

struct KeyframeNode {
  NodeKind kind = NodeKind::kObject;
  int id = 0;
  int parent = -1;                      // index into Keyframer::nodes; -1: none
  unsigned int name = 0, instance = 0;  // into Keyframer::names
  float pivot[3] = {0, 0, 0};
  Track position, rotation, scale, fov, roll;  // fov and roll in degrees
  Track hide;                                  // frames in Keyframer::hides
};

// The tracks that only light nodes have, kept apart so that other nodes
// do not pay for them: colour (3 values, 0xB025), and a spot's hotspot
// (0xB027) and falloff (0xB028) in degrees.
struct LightTracks {
  int node = -1;  // index into Keyframer::nodes
  Track colour, hotspot, falloff;
};

// The name of an object node that draws nothing but moves its children.
const char kDummyNode[] = "$$$DUMMY";

struct Keyframer {
  bool present = false;
  double start = 0, end = 0;        // the segment, in frames
  std::vector<KeyframeNode> nodes;  // every kind, in file order
  std::vector<int> order;           // object nodes, parents before children
  std::vector<std::string> names;   // each once; names[0] is ""
  std::vector<TrackKey> keys;       // every track's keys but hide keys'
  std::vector<unsigned int> hides;  // hide keys' frames
  // The light tracks of the nodes that have any, in node order.
  std::vector<LightTracks> lighttracks;
  std::vector<std::string> warnings;  // what was repaired, once each

  const std::string& NameOf(const KeyframeNode& node) const {
    return names[node.name];
  }
  const std::string& InstanceOf(const KeyframeNode& node) const {
    return names[node.instance];
  }
  Keys KeysOf(const Track& track) const {
    return {keys.data() + track.first, track.count};
  }
  // The light tracks of node `node`; none (all empty) where it has none.
  LightTracks LightTracksOf(int node) const;
  // Whether the node is hidden at `frame`: each hide key toggles.
  bool Hidden(const KeyframeNode& node, double frame) const;
};

// Reads the first keyframer chunk among the children of `main`. Every read is
// cut to its chunk; key counts beyond what a chunk holds are cut to it, keys
// out of frame order are sorted, non-finite values are taken as 0, parents
// that name no node and hierarchy loops make roots. Without a segment, the
// animation runs from 0 to the last key of any node. Linear in the section's
// size, in time and memory.
Keyframer ReadKeyframer(Loader3DS& loader, const chunk_header& main);

#endif
