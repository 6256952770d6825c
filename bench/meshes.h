// Generated meshes for the benchmarks: one model of `faces` faces over
// `vertices` vertices, with texture coordinates, a material reference over
// all faces and smoothing groups, as modelling tools write them.
#ifndef MODELVIEWER_BENCH_MESHES_H
#define MODELVIEWER_BENCH_MESHES_H

#include <random>
#include <string>

#include "writer3ds.h"

inline w3ds::Bytes MeshFile(int faces, int vertices) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> coord(-10, 10);
  w3ds::Mesh mesh;
  for (int i = 0; i < vertices; ++i) {
    mesh.vertices.push_back({coord(rng), coord(rng), coord(rng)});
    mesh.coords.push_back({coord(rng), coord(rng)});
  }
  std::vector<std::uint32_t> groups;
  for (int i = 0; i < faces; ++i) {
    auto corner = [&](int k) {
      return static_cast<std::uint16_t>((i + k) % vertices);
    };
    mesh.faces.push_back({corner(0), corner(1), corner(7), 0});
    groups.push_back(1);
  }
  w3ds::Chunk model = w3ds::modelObject("mesh", mesh, "m");
  model.kids[0].kids[2].add(w3ds::smoothingGroup(groups));
  return w3ds::file3ds(
      w3ds::editor()
          .add(w3ds::materialChunk("m", {40, 40, 40}, {200, 120, 60},
                                   {255, 255, 255}, 30, 50, 0))
          .add(model));
}

inline std::string WriteMeshFile(int faces, int vertices) {
  std::string path = "/tmp/modelviewer-bench-" + std::to_string(faces) + "-" +
                     std::to_string(vertices) + ".3ds";
  w3ds::writeFile(path, MeshFile(faces, vertices));
  return path;
}

#endif
