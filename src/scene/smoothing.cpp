#include "scene/smoothing.h"

#include <algorithm>
#include <cmath>

#include "loader/3dsloader.h"

namespace {

// Unit length, in double precision: where faces all but cancel, a 32-bit
// length of what is left falls among the denormals and is off by percents.
// `v` made unit length into `out`; false when it has no usable length.
bool UnitInto(const float* v, float* out) {
  const double x = v[0], y = v[1], z = v[2];
  const double length = std::sqrt(x * x + y * y + z * z);
  if (!(length > 0 && std::isfinite(length))) return false;
  out[0] = static_cast<float>(x / length);
  out[1] = static_cast<float>(y / length);
  out[2] = static_cast<float>(z / length);
  return true;
}

// Where nothing is left (faces that cancel exactly, or have no area), the
// vertex takes `own`, the normal of one face at its corner, and where that
// face has no area either, +z: every vertex drawn is lit by some normal.
void Normalise(std::vector<float>& normals, const std::vector<float>& own) {
  for (size_t i = 0; i < normals.size(); i += 3) {
    float* n = &normals[i];
    if (UnitInto(n, n) || UnitInto(&own[i], n)) continue;
    n[0] = n[1] = 0.0f;
    n[2] = 1.0f;
  }
}

std::vector<float> FaceNormals(const std::vector<unsigned int>& faces,
                               const std::vector<float>& vertices) {
  std::vector<float> normals(faces.size());
  Loader3DS reader;  // only for Normal, which needs no file
  for (size_t f = 0; f < faces.size() / 3; ++f) {
    const unsigned int* c = &faces[3 * f];
    reader.Normal(&vertices[3 * size_t(c[0])], &vertices[3 * size_t(c[1])],
                  &vertices[3 * size_t(c[2])], &normals[3 * f]);
  }
  return normals;
}

// The corners in order of their vertex, and within a vertex of their mask,
// in file order otherwise: a counting sort by vertex, so linear time.
std::vector<unsigned int> CornersByVertex(
    const std::vector<unsigned int>& faces, const std::vector<int>& masks,
    size_t vertices) {
  std::vector<unsigned int> first(vertices + 1, 0), order(faces.size());
  for (unsigned int v : faces) ++first[v + 1];
  for (size_t v = 0; v < vertices; ++v) first[v + 1] += first[v];
  std::vector<unsigned int> next(first.begin(), first.end() - 1);
  for (unsigned int c = 0; c < faces.size(); ++c) order[next[faces[c]]++] = c;
  // The corners of a vertex are mostly few: an insertion sort keeps them in
  // file order within a mask and allocates nothing; a crafted vertex that
  // many faces share takes the library's stable sort.
  auto by_mask = [&](unsigned int a, unsigned int b) {
    return masks[a / 3] < masks[b / 3];
  };
  for (size_t v = 0; v < vertices; ++v) {
    if (first[v + 1] - first[v] > 16) {
      std::stable_sort(order.begin() + first[v], order.begin() + first[v + 1],
                       by_mask);
      continue;
    }
    for (unsigned int i = first[v] + 1; i < first[v + 1]; ++i) {
      const unsigned int corner = order[i];
      unsigned int j = i;
      for (; j > first[v] && by_mask(corner, order[j - 1]); --j)
        order[j] = order[j - 1];
      order[j] = corner;
    }
  }
  return order;
}

// A run of corners (positions in the vertex order) with one vertex and one
// mask, and the sum of their faces' normals: each run becomes a vertex (a
// corner of no group, one of its own).
struct Run {
  size_t begin, end;
  float sum[3];
};

class Splitter {
 public:
  Splitter(const std::vector<int>& masks, std::vector<unsigned int>& faces,
           const std::vector<float>& vertices)
      : masks_(masks),
        faces_(faces),
        facenormals_(FaceNormals(faces, vertices)),
        order_(CornersByVertex(faces, masks, vertices.size() / 3)) {}

  void FindRuns() {
    runs_.reserve(order_.size());
    for (size_t i = 0; i < order_.size(); ++i) {
      const unsigned int c = order_[i];
      if (runs_.empty() || masks_[c / 3] == 0 || !Same(order_[i - 1], c))
        runs_.push_back({i, i, {0, 0, 0}});
      Run& run = runs_.back();
      run.end = i + 1;
      for (int k = 0; k < 3; ++k) run.sum[k] += facenormals_[3 * (c / 3) + k];
    }
  }

  // Every run becomes a vertex of the new arrays, and its corners name it.
  void Split(std::vector<float>& vertices, std::vector<float>& coords,
             std::vector<float>& normals) {
    out_vertices_.reserve(3 * runs_.size());
    out_normals_.reserve(3 * runs_.size());
    own_.reserve(3 * runs_.size());
    for (size_t r = 0; r < runs_.size();) r = SplitVertex(r, vertices, coords);
    vertices.swap(out_vertices_);
    normals.swap(out_normals_);
    coords.swap(out_coords_);
    Normalise(normals, own_);
  }

 private:
  bool Same(unsigned int a, unsigned int b) const {
    return faces_[a] == faces_[b] && masks_[a / 3] == masks_[b / 3];
  }
  int MaskOf(const Run& run) const { return masks_[order_[run.begin] / 3]; }
  unsigned int VertexOf(const Run& run) const {
    return faces_[order_[run.begin]];
  }

  // The runs of one vertex, from `r`: each sums those that share a group
  // with it. Past 32 groups at one vertex, each takes the sum of all
  // groups, so that no vertex costs more than linear time. The run after
  // them is returned.
  size_t SplitVertex(size_t r, const std::vector<float>& vertices,
                     const std::vector<float>& coords) {
    const unsigned int v = VertexOf(runs_[r]);
    size_t last = r, grouped = 0;
    float all[3] = {0, 0, 0};
    for (; last < runs_.size() && VertexOf(runs_[last]) == v; ++last)
      if (MaskOf(runs_[last]) != 0) {
        ++grouped;
        for (int k = 0; k < 3; ++k) all[k] += runs_[last].sum[k];
      }
    for (size_t i = r; i < last; ++i) {
      const int mask = MaskOf(runs_[i]);
      float n[3] = {runs_[i].sum[0], runs_[i].sum[1], runs_[i].sum[2]};
      if (mask != 0 && grouped > 32) {
        for (int k = 0; k < 3; ++k) n[k] = all[k];
      } else if (mask != 0) {
        for (size_t j = r; j < last; ++j)
          if (j != i && (MaskOf(runs_[j]) & mask))
            for (int k = 0; k < 3; ++k) n[k] += runs_[j].sum[k];
      }
      AddVertex(runs_[i], v, n, vertices, coords);
    }
    return last;
  }

  void AddVertex(const Run& run, unsigned int v, const float* n,
                 const std::vector<float>& vertices,
                 const std::vector<float>& coords) {
    const unsigned int index =
        static_cast<unsigned int>(out_vertices_.size() / 3);
    const size_t face = order_[run.begin] / 3;
    for (int k = 0; k < 3; ++k) {
      out_vertices_.push_back(vertices[3 * size_t(v) + k]);
      out_normals_.push_back(n[k]);
      own_.push_back(facenormals_[3 * face + k]);
    }
    if (!coords.empty())
      for (int k = 0; k < 2; ++k)
        out_coords_.push_back(coords[2 * size_t(v) + k]);
    for (size_t o = run.begin; o < run.end; ++o) faces_[order_[o]] = index;
  }

  const std::vector<int>& masks_;
  std::vector<unsigned int>& faces_;
  const std::vector<float> facenormals_;
  const std::vector<unsigned int> order_;
  std::vector<Run> runs_;
  std::vector<float> out_vertices_, out_normals_, out_coords_;
  std::vector<float> own_;  // a face normal at each new vertex
};

}  // namespace

void SmoothByGroups(const std::vector<int>& masks,
                    std::vector<unsigned int>& faces,
                    std::vector<float>& vertices, std::vector<float>& coords,
                    std::vector<float>& normals) {
  Splitter splitter(masks, faces, vertices);
  splitter.FindRuns();
  splitter.Split(vertices, coords, normals);
}
