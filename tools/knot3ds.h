// A shiny gold torus knot: the frame-rate benchmark's large shiny model, and
// the program's icon.
#ifndef MODELVIEWER_KNOT3DS_H
#define MODELVIEWER_KNOT3DS_H

#include <cmath>
#include <cstdint>
#include <vector>

#include "writer3ds.h"

// A tube `along` steps along a (2, 3) torus knot about the origin (within
// 3.4 across and 1.4 up and down) and `around` steps around it, in one
// smoothing group, of the material "gold": 2 x along x around faces.
inline w3ds::Chunk KnotObject(int along, int around) {
  const float pi = 3.14159265f;
  auto curve = [&](float t, float* p) {
    const float r = 2 + std::cos(3 * t);
    p[0] = r * std::cos(2 * t), p[1] = r * std::sin(2 * t),
    p[2] = -std::sin(3 * t);
  };
  w3ds::Mesh mesh;
  for (int i = 0; i < along; ++i) {
    float c[3], next[3];
    const float t = 2 * pi * i / along;
    curve(t, c);
    curve(t + 0.001f, next);
    float d[3] = {next[0] - c[0], next[1] - c[1], next[2] - c[2]};
    float n[3] = {c[0], c[1], 0};  // away from the knot's axis
    float b[3] = {d[1] * n[2] - d[2] * n[1], d[2] * n[0] - d[0] * n[2],
                  d[0] * n[1] - d[1] * n[0]};
    float nn[3] = {b[1] * d[2] - b[2] * d[1], b[2] * d[0] - b[0] * d[2],
                   b[0] * d[1] - b[1] * d[0]};
    const float lb = std::sqrt(b[0] * b[0] + b[1] * b[1] + b[2] * b[2]);
    const float ln = std::sqrt(nn[0] * nn[0] + nn[1] * nn[1] + nn[2] * nn[2]);
    for (int j = 0; j < around; ++j) {
      const float a = 2 * pi * j / around, ca = 0.4f * std::cos(a),
                  sa = 0.4f * std::sin(a);
      mesh.vertices.push_back({c[0] + ca * nn[0] / ln + sa * b[0] / lb,
                               c[1] + ca * nn[1] / ln + sa * b[1] / lb,
                               c[2] + ca * nn[2] / ln + sa * b[2] / lb});
      mesh.coords.push_back({float(i) / along, float(j) / around});
    }
  }
  auto at = [&](int i, int j) {
    return static_cast<std::uint16_t>((i % along) * around + j % around);
  };
  for (int i = 0; i < along; ++i)
    for (int j = 0; j < around; ++j) {
      mesh.faces.push_back({at(i, j), at(i + 1, j), at(i + 1, j + 1), 0});
      mesh.faces.push_back({at(i, j), at(i + 1, j + 1), at(i, j + 1), 0});
    }
  w3ds::Chunk model = w3ds::modelObject("knot", mesh, "gold");
  model.kids[0].kids[2].add(
      w3ds::smoothingGroup(std::vector<std::uint32_t>(mesh.faces.size(), 1)));
  return model;
}

inline w3ds::Chunk GoldMaterial() {
  return w3ds::materialChunk("gold", {60, 45, 10}, {220, 170, 40},
                             {255, 240, 200}, 60, 100, 0);
}

// The knot alone, shiny gold.
inline w3ds::Bytes TorusKnot(int along, int around) {
  return w3ds::file3ds(
      w3ds::editor().add(GoldMaterial()).add(KnotObject(along, around)));
}

#endif
