// Writes a generated mesh for the frame-rate and start-up measurements:
//   make_mesh sphere FILE            a sphere of 65024 small faces
//   make_mesh knot FILE              a shiny gold (2, 3) torus knot of 31460
//                                    faces in one smoothing group
//   make_mesh FACES VERTICES FILE    the benchmarks' scattered mesh
#include <cmath>
#include <cstdlib>
#include <string>

#include "meshes.h"

// A globe of 128 rows and 256 columns standing 12 units tall around z = 6,
// as the diagnostic viewer's view expects.
static w3ds::Bytes Sphere() {
  const int rows = 128, columns = 256;
  w3ds::Mesh mesh;
  for (int r = 0; r <= rows; ++r)
    for (int c = 0; c <= columns; ++c) {
      float phi = 3.14159265f * r / rows, theta = 6.2831853f * c / columns;
      mesh.vertices.push_back({5 * std::sin(phi) * std::cos(theta),
                               5 * std::sin(phi) * std::sin(theta),
                               6 + 5 * std::cos(phi)});
      mesh.coords.push_back({float(c) / columns, float(r) / rows});
    }
  auto at = [&](int c, int r) {
    return static_cast<std::uint16_t>(r * (columns + 1) + c);
  };
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < columns; ++c) {
      if (r > 0)
        mesh.faces.push_back({at(c, r), at(c, r + 1), at(c + 1, r + 1), 0});
      if (r < rows - 1)
        mesh.faces.push_back({at(c, r), at(c + 1, r + 1), at(c + 1, r), 0});
    }
  return w3ds::file3ds(
      w3ds::editor()
          .add(w3ds::materialChunk("m").add(w3ds::textureMap("monster.bmp")))
          .add(w3ds::modelObject("globe", mesh, "m")));
}

// A tube 286 steps along a (2, 3) torus knot and 55 around it.
static w3ds::Bytes Knot() {
  const int along = 286, around = 55;
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
  return w3ds::file3ds(
      w3ds::editor()
          .add(w3ds::materialChunk("gold", {60, 45, 10}, {220, 170, 40},
                                   {255, 240, 200}, 60, 100, 0))
          .add(model));
}

int main(int argc, char* argv[]) {
  if (argc == 3 && std::string(argv[1]) == "sphere")
    return w3ds::writeFile(argv[2], Sphere()) ? 0 : 1;
  if (argc == 3 && std::string(argv[1]) == "knot")
    return w3ds::writeFile(argv[2], Knot()) ? 0 : 1;
  if (argc != 4) return 2;
  return w3ds::writeFile(argv[3],
                         MeshFile(std::atoi(argv[1]), std::atoi(argv[2])))
             ? 0
             : 1;
}
