#include "scene/keyframer.h"

#include <algorithm>
#include <unordered_map>

#include "base/stop.h"
#include "scene/chunk_cursor.h"
#include "scene/chunk_ids.h"
#include "scene/rotation.h"

namespace {

using namespace chunk_ids;

const int kNoParent = 0xFFFF;
const unsigned int kTrackHeader = 2 + 8 + 4;  // flags, unused, key count
const unsigned int kKeyHeader = 6;            // frame and spline flags

// The node chunks in their order (chunk_ids.h).
NodeKind KindOf(unsigned int id) {
  static const NodeKind kKinds[] = {NodeKind::kAmbient, NodeKind::kObject,
                                    NodeKind::kCamera,  NodeKind::kTarget,
                                    NodeKind::kOmni,    NodeKind::kSpotTarget,
                                    NodeKind::kSpot};
  return kKinds[id - kFirstNode];
}

float Clamped(float v) { return std::max(-1.0f, std::min(1.0f, v)); }

// The spline values that a key's flags name: tension, continuity, bias,
// ease to and ease from. False when the chunk ends within them.
bool ReadSpline(ChunkCursor& in, unsigned int flags, TrackKey& key) {
  float spline[5] = {0, 0, 0, 0, 0};
  for (int bit = 0; bit < 5; ++bit)
    if (flags & (1u << bit)) {
      if (!in.Has(4)) return false;
      spline[bit] = in.Finite();
    }
  key.tension = Clamped(spline[0]);
  key.continuity = Clamped(spline[1]);
  key.bias = Clamped(spline[2]);
  return true;
}

// One key, or false when the chunk ends within it: a frame, spline flags,
// the spline values that the flags name, and `values` floats.
bool ReadKey(ChunkCursor& in, int values, TrackKey& key) {
  if (!in.Has(kKeyHeader)) return false;
  key.frame = in.Uint();
  if (!ReadSpline(in, in.Short(), key) || !in.Has(4ull * values)) return false;
  for (int k = 0; k < values; ++k) key.value[k] = in.Finite();
  return true;
}

// The keys from `first` on put in frame order; of keys on one frame the
// last is kept. Sorted in place: no copy of the pool.
template <class Key, class FrameOf>
void InFrameOrder(std::vector<Key>& pool, size_t first, FrameOf frame) {
  auto begin = pool.begin() + first;
  std::stable_sort(begin, pool.end(), [&](const Key& a, const Key& b) {
    return frame(a) < frame(b);
  });
  auto kept = begin;
  for (auto k = begin; k != pool.end(); ++k) {
    if (kept != begin && frame(*(kept - 1)) == frame(*k))
      *(kept - 1) = *k;
    else
      *kept++ = *k;
  }
  pool.erase(kept, pool.end());
}

// Each key after the first turns on from the one before it: the track's
// keys made absolute, as quaternions (w, x, y, z) in place of angle and
// axis. Indexed in the pool, which may be empty: a track without keys takes
// no key's address.
void MakeAbsolute(std::vector<TrackKey>& pool, const Track& track) {
  Quaternion q;
  for (size_t k = track.first; k < size_t(track.first) + track.count; ++k) {
    float* value = pool[k].value;
    q = Normalised(FromAngleAxis(value) * q);
    value[0] = float(q.w), value[1] = float(q.x);
    value[2] = float(q.y), value[3] = float(q.z);
  }
}

// Reads the nodes of one keyframer section into `kf`.
class NodeReader {
 public:
  NodeReader(Loader3DS& loader, Keyframer& kf) : loader_(loader), kf_(kf) {
    kf_.names.push_back("");
    nameids_.emplace("", 0);
  }

  void Read(const chunk_header& chunk, NodeKind kind) {
    KeyframeNode node;
    node.kind = kind;
    node.id = static_cast<int>(kf_.nodes.size());
    int parentid = kNoParent;
    LightTracks light;
    for (const chunk_header& c : Within(loader_, chunk))
      if (!ReadLightPart(c, light)) ReadPart(c, node, parentid);
    if (!light.colour.empty() || !light.hotspot.empty() ||
        !light.falloff.empty()) {
      light.node = static_cast<int>(kf_.nodes.size());
      kf_.lighttracks.push_back(light);
    }
    kf_.nodes.push_back(node);
    parentids_.push_back(parentid);
  }

  const std::vector<int>& parentids() const { return parentids_; }

 private:
  unsigned int NameId(const std::string& name) {
    auto known = nameids_.emplace(name, kf_.names.size());
    if (known.second) kf_.names.push_back(name);
    return known.first->second;
  }

  // A track: flags, 8 unused bytes, a key count, then the keys. Keys that
  // the chunk does not hold are not read.
  Track ReadTrack(const chunk_header& chunk, int values) {
    Track track;
    ChunkCursor in(loader_, chunk);
    if (!in.Has(kTrackHeader)) return track;
    in.Skip(kTrackHeader - 4);
    unsigned int count = in.Uint();
    track.first = static_cast<unsigned int>(kf_.keys.size());
    for (unsigned int k = 0; k < count; ++k) {
      StopPointEvery(k);
      TrackKey key;
      if (!ReadKey(in, values, key)) break;
      kf_.keys.push_back(key);
    }
    InFrameOrder(kf_.keys, track.first,
                 [](const TrackKey& key) { return key.frame; });
    track.count = static_cast<unsigned int>(kf_.keys.size() - track.first);
    return track;
  }

  // Hide keys: their frames only.
  Track ReadHideTrack(const chunk_header& chunk) {
    Track track;
    ChunkCursor in(loader_, chunk);
    if (!in.Has(kTrackHeader)) return track;
    in.Skip(kTrackHeader - 4);
    unsigned int count = in.Uint();
    track.first = static_cast<unsigned int>(kf_.hides.size());
    // Room for no more keys than the chunk's bytes can hold.
    kf_.hides.reserve(kf_.hides.size() + std::min<unsigned long long>(
                                             count, in.Left() / kKeyHeader));
    for (unsigned int k = 0; k < count; ++k) {
      StopPointEvery(k);
      TrackKey key;
      if (!ReadKey(in, 0, key)) break;
      kf_.hides.push_back(static_cast<unsigned int>(key.frame));
    }
    InFrameOrder(kf_.hides, track.first, [](unsigned int f) { return f; });
    track.count = static_cast<unsigned int>(kf_.hides.size() - track.first);
    return track;
  }

  void ReadHeader(ChunkCursor& in, KeyframeNode& node, int& parentid) {
    node.name = NameId(in.String());
    if (!in.Has(6)) return;
    in.Skip(4);  // flags
    parentid = static_cast<int>(in.Short());
  }

  // A light's own track; false for any other part.
  bool ReadLightPart(const chunk_header& c, LightTracks& light) {
    switch (c.id) {
      case kColourTrack:
        light.colour = ReadTrack(c, 3);
        return true;
      case kHotspotTrack:
        light.hotspot = ReadTrack(c, 1);
        return true;
      case kFalloffTrack:
        light.falloff = ReadTrack(c, 1);
        return true;
    }
    return false;
  }

  void ReadPart(const chunk_header& c, KeyframeNode& node, int& parentid) {
    ChunkCursor in(loader_, c);
    switch (c.id) {
      case kNodeId:
        if (in.Has(2)) node.id = static_cast<int>(in.Short());
        break;
      case kNodeHeader:
        ReadHeader(in, node, parentid);
        break;
      case kInstanceName:
        node.instance = NameId(in.String());
        break;
      case kPivot:
        if (in.Has(12))
          for (float& p : node.pivot) p = in.Finite();
        break;
      case kPositionTrack:
        node.position = ReadTrack(c, 3);
        break;
      case kRotationTrack:
        node.rotation = ReadTrack(c, 4);
        MakeAbsolute(kf_.keys, node.rotation);
        break;
      case kScaleTrack:
        node.scale = ReadTrack(c, 3);
        break;
      case kHideTrack:
        node.hide = ReadHideTrack(c);
        break;
      case kFovTrack:
        node.fov = ReadTrack(c, 1);
        break;
      case kRollTrack:
        node.roll = ReadTrack(c, 1);
        break;
    }
  }

  Loader3DS& loader_;
  Keyframer& kf_;
  std::unordered_map<std::string, unsigned int> nameids_;
  std::vector<int> parentids_;
};

// Parents before children, without recursion: a chain of any length is
// walked with an explicit stack. A loop is cut where it closes.
std::vector<int> ParentsFirst(std::vector<KeyframeNode>& nodes, bool& looped) {
  enum { kNew, kOnPath, kDone };
  std::vector<int> state(nodes.size(), kNew), order, path;
  order.reserve(nodes.size());
  for (size_t start = 0; start < nodes.size(); ++start) {
    StopPointEvery(start);
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

// Each node's parent, by the id its header names, among the nodes of every
// kind (the first of an id); an id that no other node has, or the node's
// own, makes a root, with a warning. The ids are looked up in a sorted
// table: 8 bytes a node.
void LinkParents(Keyframer& kf, const std::vector<int>& parentids) {
  std::vector<std::pair<int, int>> byid;  // id, node
  for (size_t n = 0; n < kf.nodes.size(); ++n)
    byid.emplace_back(kf.nodes[n].id, static_cast<int>(n));
  std::sort(byid.begin(), byid.end());
  bool orphans = false, looped = false, ownparent = false;
  for (size_t n = 0; n < kf.nodes.size(); ++n) {
    if (parentids[n] == kNoParent) continue;
    auto parent = std::lower_bound(byid.begin(), byid.end(),
                                   std::make_pair(parentids[n], -1));
    if (parent == byid.end() || parent->first != parentids[n]) {
      orphans = true;
      continue;
    }
    if (parent->second == static_cast<int>(n)) {
      ownparent = true;
      continue;
    }
    kf.nodes[n].parent = parent->second;
  }
  kf.order = ParentsFirst(kf.nodes, looped);
  if (orphans)
    kf.warnings.push_back("keyframer nodes name parents that do not exist");
  if (ownparent)
    kf.warnings.push_back(
        "keyframer nodes name themselves as their parent, a loop; taken as "
        "roots");
  if (looped)
    kf.warnings.push_back(
        "the keyframer's hierarchy loops; cut where it closes");
}

// Without a usable segment, the animation runs from 0 to the last key of
// any node.
void SegmentFromKeys(Keyframer& kf) {
  kf.start = 0;
  kf.end = 0;
  for (const KeyframeNode& node : kf.nodes) {
    for (const Track* track :
         {&node.position, &node.rotation, &node.scale, &node.fov, &node.roll})
      if (!track->empty())
        kf.end = std::max(kf.end, kf.KeysOf(*track).back().frame);
    if (!node.hide.empty())
      kf.end = std::max<double>(
          kf.end, kf.hides[node.hide.first + node.hide.count - 1]);
  }
  for (const LightTracks& light : kf.lighttracks)
    for (const Track* track : {&light.colour, &light.hotspot, &light.falloff})
      if (!track->empty())
        kf.end = std::max(kf.end, kf.KeysOf(*track).back().frame);
}

}  // namespace

LightTracks Keyframer::LightTracksOf(int node) const {
  auto found =
      std::lower_bound(lighttracks.begin(), lighttracks.end(), node,
                       [](const LightTracks& t, int n) { return t.node < n; });
  return found != lighttracks.end() && found->node == node ? *found
                                                           : LightTracks();
}

bool Keyframer::Hidden(const KeyframeNode& node, double frame) const {
  const unsigned int* begin = hides.data() + node.hide.first;
  const unsigned int* end = begin + node.hide.count;
  // The keys at or before the frame, each a toggle.
  const size_t toggles =
      std::upper_bound(begin, end, frame,
                       [](double f, unsigned int key) { return f < key; }) -
      begin;
  return toggles % 2 == 1;
}

Keyframer ReadKeyframer(Loader3DS& loader, const chunk_header& main) {
  Keyframer kf;
  chunk_header section;
  kf.present = FirstWithin(loader, main, kKeyframer, section);
  NodeReader reader(loader, kf);
  if (!kf.present) return kf;
  bool segment = false;
  size_t walked = 0;
  for (const chunk_header& c : Within(loader, section)) {
    StopPointEvery(++walked);
    if (c.id == kSegment) {
      ChunkCursor in(loader, c);
      if (!in.Has(8)) continue;
      kf.start = in.Uint();
      kf.end = in.Uint();
      segment = true;
    } else if (c.id >= kFirstNode && c.id <= kLastNode) {
      reader.Read(c, KindOf(c.id));
    }
  }
  LinkParents(kf, reader.parentids());
  if (!segment || !(kf.end >= kf.start)) SegmentFromKeys(kf);
  return kf;
}
