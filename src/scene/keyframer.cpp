#include "keyframer.h"

#include <algorithm>
#include <map>

#include "chunk_cursor.h"
#include "rotation.h"

namespace {

const unsigned int kKeyframer = 0xB000, kObjectNode = 0xB002;
const unsigned int kCameraNode = 0xB003, kTargetNode = 0xB004;
const unsigned int kFovTrack = 0xB023, kRollTrack = 0xB024;
const unsigned int kSegment = 0xB008, kNodeId = 0xB030, kNodeHeader = 0xB010;
const unsigned int kInstanceName = 0xB011, kPivot = 0xB013;
const unsigned int kPositionTrack = 0xB020, kRotationTrack = 0xB021;
const unsigned int kScaleTrack = 0xB022, kHideTrack = 0xB029;
const int kNoParent = 0xFFFF;

float Clamped(float v) { return std::max(-1.0f, std::min(1.0f, v)); }

// One key, or false when the chunk ends within it: a frame, spline flags,
// the spline values that the flags name, and `values` floats.
bool ReadKey(ChunkCursor& in, int values, TrackKey& key) {
  if (!in.Has(6)) return false;
  key.frame = in.Uint();
  const unsigned int flags = in.Short();
  float spline[5] = {0, 0, 0, 0, 0};
  for (int bit = 0; bit < 5; ++bit)
    if (flags & (1u << bit)) {
      if (!in.Has(4)) return false;
      spline[bit] = in.Finite();
    }
  if (!in.Has(4ull * values)) return false;
  for (int k = 0; k < values; ++k) key.value[k] = in.Finite();
  key.tension = Clamped(spline[0]);
  key.continuity = Clamped(spline[1]);
  key.bias = Clamped(spline[2]);
  return true;
}

// Keys in frame order; of keys on one frame the last is kept.
std::vector<TrackKey> InFrameOrder(std::vector<TrackKey> keys) {
  std::stable_sort(
      keys.begin(), keys.end(),
      [](const TrackKey& a, const TrackKey& b) { return a.frame < b.frame; });
  std::vector<TrackKey> unique;
  for (const TrackKey& key : keys) {
    if (!unique.empty() && unique.back().frame == key.frame)
      unique.back() = key;
    else
      unique.push_back(key);
  }
  return unique;
}

// A track: flags, 8 unused bytes, a key count, then the keys. Keys that the
// chunk does not hold are not read.
std::vector<TrackKey> ReadTrack(Loader3DS& loader, const chunk_header& chunk,
                                int values) {
  std::vector<TrackKey> keys;
  ChunkCursor in(loader, chunk);
  const unsigned int kTrackHeader = 2 + 8 + 4;  // flags, unused, key count
  if (!in.Has(kTrackHeader)) return keys;
  in.Skip(kTrackHeader - 4);
  unsigned int count = in.Uint();
  TrackKey key;
  while (count-- > 0 && ReadKey(in, values, key)) keys.push_back(key);
  return InFrameOrder(std::move(keys));
}

// Each key after the first turns on from the one before it: the keys made
// absolute, as quaternions (w, x, y, z) in place of angle and axis.
std::vector<TrackKey> AbsoluteRotations(std::vector<TrackKey> keys) {
  Quaternion q;
  for (TrackKey& key : keys) {
    q = Normalised(FromAngleAxis(key.value) * q);
    key.value[0] = float(q.w), key.value[1] = float(q.x);
    key.value[2] = float(q.y), key.value[3] = float(q.z);
  }
  return keys;
}

void ReadNodeHeader(ChunkCursor& in, KeyframeNode& node, int& parentid) {
  node.name = in.String();
  if (!in.Has(6)) return;
  in.Skip(4);  // flags
  parentid = in.Short();
}

void ReadNodePart(Loader3DS& loader, const chunk_header& c, KeyframeNode& node,
                  int& parentid) {
  ChunkCursor in(loader, c);
  switch (c.id) {
    case kNodeId:
      if (in.Has(2)) node.id = in.Short();
      break;
    case kNodeHeader:
      ReadNodeHeader(in, node, parentid);
      break;
    case kInstanceName:
      node.instance = in.String();
      break;
    case kPivot:
      if (in.Has(12))
        for (float& p : node.pivot) p = in.Finite();
      break;
    case kPositionTrack:
      node.position = ReadTrack(loader, c, 3);
      break;
    case kRotationTrack:
      node.rotation = AbsoluteRotations(ReadTrack(loader, c, 4));
      break;
    case kScaleTrack:
      node.scale = ReadTrack(loader, c, 3);
      break;
    case kHideTrack:
      node.hide = ReadTrack(loader, c, 0);
      break;
    case kFovTrack:
      node.fov = ReadTrack(loader, c, 1);
      break;
    case kRollTrack:
      node.roll = ReadTrack(loader, c, 1);
      break;
  }
}

KeyframeNode ReadNode(Loader3DS& loader, const chunk_header& chunk, int index,
                      int& parentid) {
  KeyframeNode node;
  node.id = index;
  parentid = kNoParent;
  for (const chunk_header& c : Within(loader, chunk))
    ReadNodePart(loader, c, node, parentid);
  return node;
}

// Parents before children, without recursion: a chain of any length is
// walked with an explicit stack. A loop is cut where it closes.
std::vector<int> ParentsFirst(std::vector<KeyframeNode>& nodes, bool& looped) {
  enum { kNew, kOnPath, kDone };
  std::vector<int> state(nodes.size(), kNew), order, path;
  order.reserve(nodes.size());
  for (size_t start = 0; start < nodes.size(); ++start) {
    for (int n = static_cast<int>(start); n >= 0 && state[n] == kNew;
         n = nodes[n].parent) {
      state[n] = kOnPath;
      path.push_back(n);
      const int parent = nodes[n].parent;
      if (parent >= 0 && state[parent] == kOnPath) {
        nodes[n].parent = -1;
        looped = true;
        break;
      }
    }
    for (auto n = path.rbegin(); n != path.rend(); ++n) {
      state[*n] = kDone;
      order.push_back(*n);
    }
    path.clear();
  }
  return order;
}

// Each node's parent by the id its header names; an id that no other node
// has makes a root, with a warning.
void LinkParents(Keyframer& kf, const std::vector<int>& parentids) {
  std::map<int, int> byid;
  for (size_t n = 0; n < kf.nodes.size(); ++n)
    byid.emplace(kf.nodes[n].id, static_cast<int>(n));
  bool orphans = false, looped = false;
  for (size_t n = 0; n < kf.nodes.size(); ++n) {
    if (parentids[n] == kNoParent) continue;
    auto parent = byid.find(parentids[n]);
    if (parent == byid.end() || parent->second == static_cast<int>(n)) {
      orphans = true;
      continue;
    }
    kf.nodes[n].parent = parent->second;
  }
  kf.order = ParentsFirst(kf.nodes, looped);
  if (orphans)
    kf.warnings.push_back("keyframer nodes name parents that do not exist");
  if (looped)
    kf.warnings.push_back(
        "the keyframer's hierarchy loops; cut where it closes");
}

// Without a usable segment, the animation runs from 0 to the last key.
void SegmentFromKeys(Keyframer& kf) {
  kf.start = 0;
  kf.end = 0;
  for (const KeyframeNode& node : kf.nodes)
    for (const auto* track :
         {&node.position, &node.rotation, &node.scale, &node.hide})
      if (!track->empty()) kf.end = std::max(kf.end, track->back().frame);
}

}  // namespace

Keyframer ReadKeyframer(Loader3DS& loader, const chunk_header& main) {
  Keyframer kf;
  chunk_header section;
  kf.present = FirstWithin(loader, main, kKeyframer, section);
  if (!kf.present) return kf;
  bool segment = false;
  std::vector<int> parentids;
  for (const chunk_header& c : Within(loader, section)) {
    int parentid;
    if (c.id == kSegment) {
      ChunkCursor in(loader, c);
      if (!in.Has(8)) continue;
      kf.start = in.Uint();
      kf.end = in.Uint();
      segment = true;
    } else if (c.id == kCameraNode || c.id == kTargetNode) {
      (c.id == kCameraNode ? kf.cameras : kf.targets)
          .push_back(ReadNode(loader, c, 0, parentid));
    } else if (c.id == kObjectNode) {
      kf.nodes.push_back(
          ReadNode(loader, c, static_cast<int>(kf.nodes.size()), parentid));
      parentids.push_back(parentid);
    }
  }
  LinkParents(kf, parentids);
  if (!segment || !(kf.end >= kf.start)) SegmentFromKeys(kf);
  return kf;
}
