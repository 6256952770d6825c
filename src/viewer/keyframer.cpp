#include "keyframer.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "chunks.h"

namespace {

const unsigned int kKeyframer = 0xB000, kObjectNode = 0xB002;
const unsigned int kCameraNode = 0xB003, kTargetNode = 0xB004;
const unsigned int kFovTrack = 0xB023, kRollTrack = 0xB024;
const unsigned int kSegment = 0xB008, kNodeId = 0xB030, kNodeHeader = 0xB010;
const unsigned int kInstanceName = 0xB011, kPivot = 0xB013;
const unsigned int kPositionTrack = 0xB020, kRotationTrack = 0xB021;
const unsigned int kScaleTrack = 0xB022, kHideTrack = 0xB029;
const int kNoParent = 0xFFFF;

// Reads within one chunk: nothing past its end, which the caller checks with
// Has() before each read.
struct Cursor {
  Loader3DS& loader;
  unsigned long long end;
  Cursor(Loader3DS& l, const chunk_header& chunk) : loader(l) {
    end = std::min<unsigned long long>(EndOf(chunk), loader.filesize);
    // In 64 bits: a chunk that starts in the last bytes of a 4 GiB file
    // must not wrap round to its start.
    const unsigned long long data = chunk.start + 6ull;
    loader.readpos = static_cast<unsigned int>(data < end ? data : end);
  }
  bool Has(unsigned long long bytes) const {
    return loader.readpos <= end && end - loader.readpos >= bytes;
  }
  float Float() {
    const float v = loader.ReadFLOAT();
    return std::isfinite(v) ? v : 0.0f;
  }
  std::string String() {
    std::string text;
    loader.ReadCSTR(text);
    return text;
  }
};

// A track: flags, 8 unused bytes, a key count, then the keys, each a frame,
// spline flags, the spline values that the flags name, and `values` floats.
// Keys that the chunk does not hold are not read; keys are put in frame
// order, and of keys on one frame the last is kept.
std::vector<TrackKey> ReadTrack(Loader3DS& loader, const chunk_header& chunk,
                                int values) {
  std::vector<TrackKey> keys;
  Cursor in(loader, chunk);
  if (!in.Has(14)) return keys;
  loader.ReadSHORT();
  loader.ReadDATA(8, nullptr);
  unsigned int count = loader.ReadUINT();
  while (count-- > 0 && in.Has(6)) {
    TrackKey key;
    key.frame = loader.ReadUINT();
    const unsigned int flags = loader.ReadSHORT();
    float spline[5] = {0, 0, 0, 0, 0};
    for (int bit = 0; bit < 5; ++bit)
      if (flags & (1u << bit)) {
        if (!in.Has(4)) return keys;
        spline[bit] = in.Float();
      }
    if (!in.Has(4ull * values)) break;
    for (int k = 0; k < values; ++k) key.value[k] = in.Float();
    key.tension = std::max(-1.0f, std::min(1.0f, spline[0]));
    key.continuity = std::max(-1.0f, std::min(1.0f, spline[1]));
    key.bias = std::max(-1.0f, std::min(1.0f, spline[2]));
    keys.push_back(key);
  }
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

std::vector<TrackKey> AbsoluteRotations(std::vector<TrackKey> keys);

KeyframeNode ReadNode(Loader3DS& loader, const chunk_header& chunk, int index,
                      int& parentid) {
  KeyframeNode node;
  node.id = index;
  parentid = kNoParent;
  for (const chunk_header& c : Within(loader, chunk)) {
    Cursor in(loader, c);
    if (c.id == kNodeId && in.Has(2)) {
      node.id = loader.ReadSHORT();
    } else if (c.id == kNodeHeader) {
      node.name = in.String();
      if (in.Has(6)) {
        loader.ReadSHORT();
        loader.ReadSHORT();
        parentid = loader.ReadSHORT();
      }
    } else if (c.id == kInstanceName) {
      node.instance = in.String();
    } else if (c.id == kPivot && in.Has(12)) {
      for (float& p : node.pivot) p = in.Float();
    } else if (c.id == kPositionTrack) {
      node.position = ReadTrack(loader, c, 3);
    } else if (c.id == kRotationTrack) {
      node.rotation = AbsoluteRotations(ReadTrack(loader, c, 4));
    } else if (c.id == kScaleTrack) {
      node.scale = ReadTrack(loader, c, 3);
    } else if (c.id == kHideTrack) {
      node.hide = ReadTrack(loader, c, 0);
    } else if (c.id == kFovTrack) {
      node.fov = ReadTrack(loader, c, 1);
    } else if (c.id == kRollTrack) {
      node.roll = ReadTrack(loader, c, 1);
    }
  }
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

// ---- Evaluation ------------------------------------------------------------

Matrix Translation(const float* t) {
  Matrix m = Identity();
  m[12] = t[0], m[13] = t[1], m[14] = t[2];
  return m;
}

Matrix Scaling(const float* s) {
  Matrix m = Identity();
  m[0] = s[0], m[5] = s[1], m[10] = s[2];
  return m;
}

struct Quaternion {
  double w = 1, x = 0, y = 0, z = 0;
};

Quaternion operator*(const Quaternion& a, const Quaternion& b) {
  return {a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z,
          a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y,
          a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x,
          a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w};
}

// The file stores the angle with the opposite sense to a right-handed turn.
Quaternion FromKey(const float* v) {
  const double length = std::sqrt(double(v[1]) * v[1] + double(v[2]) * v[2] +
                                  double(v[3]) * v[3]);
  if (!(length > 0)) return Quaternion();
  const double half = -0.5 * v[0], s = std::sin(half) / length;
  return {std::cos(half), v[1] * s, v[2] * s, v[3] * s};
}

Quaternion Slerp(Quaternion a, const Quaternion& b, double t) {
  double dot = a.w * b.w + a.x * b.x + a.y * b.y + a.z * b.z;
  if (dot < 0) {
    a = {-a.w, -a.x, -a.y, -a.z};
    dot = -dot;
  }
  double wa = 1 - t, wb = t;
  if (dot < 0.9995) {
    const double angle = std::acos(dot), s = std::sin(angle);
    wa = std::sin((1 - t) * angle) / s;
    wb = std::sin(t * angle) / s;
  }
  Quaternion q{wa * a.w + wb * b.w, wa * a.x + wb * b.x, wa * a.y + wb * b.y,
               wa * a.z + wb * b.z};
  const double n = std::sqrt(q.w * q.w + q.x * q.x + q.y * q.y + q.z * q.z);
  return {q.w / n, q.x / n, q.y / n, q.z / n};
}

Matrix Rotation(const Quaternion& q) {
  const double w = q.w, x = q.x, y = q.y, z = q.z;
  Matrix m = Identity();
  m[0] = float(1 - 2 * (y * y + z * z));
  m[1] = float(2 * (x * y + w * z));
  m[2] = float(2 * (x * z - w * y));
  m[4] = float(2 * (x * y - w * z));
  m[5] = float(1 - 2 * (x * x + z * z));
  m[6] = float(2 * (y * z + w * x));
  m[8] = float(2 * (x * z + w * y));
  m[9] = float(2 * (y * z - w * x));
  m[10] = float(1 - 2 * (x * x + y * y));
  return m;
}

// The key at or before `frame` (0 before the first) and how far `frame`
// lies toward the next one.
size_t Segment(const std::vector<TrackKey>& keys, double frame, double& s) {
  auto after = std::upper_bound(
      keys.begin(), keys.end(), frame,
      [](double f, const TrackKey& key) { return f < key.frame; });
  size_t i = after == keys.begin() ? 0 : (after - keys.begin()) - 1;
  s = 0;
  if (frame > keys[i].frame && i + 1 < keys.size())
    s = (frame - keys[i].frame) / (keys[i + 1].frame - keys[i].frame);
  return i;
}

// Kochanek-Bartels tangents of key i: leaving it (out) and arriving (in).
void Tangents(const std::vector<TrackKey>& keys, size_t i, int k, double& out,
              double& in) {
  const TrackKey& key = keys[i];
  const double before = i > 0 ? key.value[k] - keys[i - 1].value[k] : 0;
  const double after =
      i + 1 < keys.size() ? keys[i + 1].value[k] - key.value[k] : 0;
  const double g1 = i > 0 ? before : after,
               g2 = i + 1 < keys.size() ? after : before;
  const double t = key.tension, c = key.continuity, b = key.bias;
  out = (1 - t) * ((1 - c) * (1 + b) * g1 + (1 + c) * (1 - b) * g2) / 2;
  in = (1 - t) * ((1 + c) * (1 + b) * g1 + (1 - c) * (1 - b) * g2) / 2;
}

void Interpolate(const std::vector<TrackKey>& keys, double frame,
                 const float* otherwise, float* v) {
  if (keys.empty()) {
    for (int k = 0; k < 3; ++k) v[k] = otherwise[k];
    return;
  }
  double s;
  const size_t i = Segment(keys, frame, s);
  for (int k = 0; k < 3; ++k) {
    if (s == 0) {
      v[k] = keys[i].value[k];
      continue;
    }
    double out0, in0, out1, in1;
    Tangents(keys, i, k, out0, in0);
    Tangents(keys, i + 1, k, out1, in1);
    const double s2 = s * s, s3 = s2 * s;
    v[k] = static_cast<float>((2 * s3 - 3 * s2 + 1) * keys[i].value[k] +
                              (-2 * s3 + 3 * s2) * keys[i + 1].value[k] +
                              (s3 - 2 * s2 + s) * out0 + (s3 - s2) * in1);
  }
}

Quaternion Stored(const TrackKey& key) {
  return {key.value[0], key.value[1], key.value[2], key.value[3]};
}

// Rotation keys hold absolute orientations, as quaternions, once read.
Quaternion Orientation(const std::vector<TrackKey>& keys, double frame) {
  if (keys.empty()) return Quaternion();
  double s;
  const size_t i = Segment(keys, frame, s);
  if (s == 0) return Stored(keys[i]);
  return Slerp(Stored(keys[i]), Stored(keys[i + 1]), s);
}

// Each key after the first turns on from the one before it: the keys made
// absolute, as quaternions (w, x, y, z) in place of angle and axis.
std::vector<TrackKey> AbsoluteRotations(std::vector<TrackKey> keys) {
  Quaternion q;
  for (TrackKey& key : keys) {
    q = FromKey(key.value) * q;
    const double n = std::sqrt(q.w * q.w + q.x * q.x + q.y * q.y + q.z * q.z);
    q = {q.w / n, q.x / n, q.y / n, q.z / n};
    key.value[0] = float(q.w), key.value[1] = float(q.x);
    key.value[2] = float(q.y), key.value[3] = float(q.z);
  }
  return keys;
}

}  // namespace

Matrix Identity() { return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}; }

Matrix Multiply(const Matrix& a, const Matrix& b) {
  Matrix m{};
  for (int c = 0; c < 4; ++c)
    for (int r = 0; r < 4; ++r) {
      double sum = 0;
      for (int k = 0; k < 4; ++k) sum += double(a[4 * k + r]) * b[4 * c + k];
      m[4 * c + r] = static_cast<float>(sum);
    }
  return m;
}

void Transform(const Matrix& m, const float* p, float* out) {
  for (int r = 0; r < 3; ++r)
    out[r] = static_cast<float>(double(m[r]) * p[0] + double(m[4 + r]) * p[1] +
                                double(m[8 + r]) * p[2] + m[12 + r]);
}

bool InvertAffine(const Matrix& m, Matrix& inverse) {
  inverse = Identity();
  const double a = m[0], b = m[4], c = m[8], d = m[1], e = m[5], f = m[9],
               g = m[2], h = m[6], i = m[10];
  const double det =
      a * (e * i - f * h) - b * (d * i - f * g) + c * (d * h - e * g);
  if (!(std::fabs(det) > 1e-12) || !std::isfinite(det)) return false;
  const double r[9] = {
      (e * i - f * h) / det, (c * h - b * i) / det, (b * f - c * e) / det,
      (f * g - d * i) / det, (a * i - c * g) / det, (c * d - a * f) / det,
      (d * h - e * g) / det, (b * g - a * h) / det, (a * e - b * d) / det};
  for (int row = 0; row < 3; ++row)
    for (int col = 0; col < 3; ++col)
      inverse[4 * col + row] = static_cast<float>(r[3 * row + col]);
  for (int row = 0; row < 3; ++row)
    inverse[12 + row] = static_cast<float>(-(
        r[3 * row] * m[12] + r[3 * row + 1] * m[13] + r[3 * row + 2] * m[14]));
  return true;
}

Keyframer ReadKeyframer(Loader3DS& loader, const chunk_header& main) {
  Keyframer kf;
  chunk_header section;
  for (const chunk_header& c : Within(loader, main))
    if (c.id == kKeyframer) {
      section = c;
      kf.present = true;
      break;
    }
  if (!kf.present) return kf;
  bool segment = false;
  std::vector<int> parentids;
  for (const chunk_header& c : Within(loader, section)) {
    Cursor in(loader, c);
    if (c.id == kSegment && in.Has(8)) {
      kf.start = loader.ReadUINT();
      kf.end = loader.ReadUINT();
      segment = true;
    } else if (c.id == kCameraNode || c.id == kTargetNode) {
      int parentid;
      (c.id == kCameraNode ? kf.cameras : kf.targets)
          .push_back(ReadNode(loader, c, 0, parentid));
    } else if (c.id == kObjectNode) {
      int parentid;
      kf.nodes.push_back(
          ReadNode(loader, c, static_cast<int>(kf.nodes.size()), parentid));
      parentids.push_back(parentid);
    }
  }
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
  if (!segment || !(kf.end >= kf.start)) {
    kf.start = 0;
    kf.end = 0;
    for (const KeyframeNode& node : kf.nodes)
      for (const auto* track :
           {&node.position, &node.rotation, &node.scale, &node.hide})
        if (!track->empty()) kf.end = std::max(kf.end, track->back().frame);
  }
  return kf;
}

void TrackAt(const std::vector<TrackKey>& keys, double frame,
             const float* otherwise, float* value, int count) {
  float v[3], other[3] = {0, 0, 0};
  for (int k = 0; k < count; ++k) other[k] = otherwise[k];
  Interpolate(keys, frame, other, v);
  for (int k = 0; k < count; ++k) value[k] = v[k];
}

void EvaluatePose(const Keyframer& kf, double frame, std::vector<Matrix>& world,
                  std::vector<bool>& shown) {
  world.assign(kf.nodes.size(), Identity());
  shown.assign(kf.nodes.size(), true);
  static const float kZero[3] = {0, 0, 0}, kOne[3] = {1, 1, 1};
  for (int n : kf.order) {
    const KeyframeNode& node = kf.nodes[n];
    float position[3], scale[3];
    Interpolate(node.position, frame, kZero, position);
    Interpolate(node.scale, frame, kOne, scale);
    const Matrix local =
        Multiply(Multiply(Translation(position),
                          Rotation(Orientation(node.rotation, frame))),
                 Scaling(scale));
    world[n] = node.parent >= 0 ? Multiply(world[node.parent], local) : local;
    bool visible = true;
    for (const TrackKey& key : node.hide)
      if (key.frame <= frame) visible = !visible;
    shown[n] = visible && (node.parent < 0 || shown[node.parent]);
  }
}
