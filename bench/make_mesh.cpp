// Writes a generated mesh for the frame-rate and start-up measurements:
//   make_mesh sphere FILE            a sphere of 65024 small faces
//   make_mesh knot FILE [FACES]      a shiny gold (2, 3) torus knot of 31460
//                                    faces (or about FACES) in one
//                                    smoothing group
//   make_mesh lit FILE               that knot on a grey floor, lit by
//                                    three lights of its own, under its
//                                    own ambient light and background
//   make_mesh FACES VERTICES FILE    the benchmarks' scattered mesh
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

#include "knot3ds.h"
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

// The knot on a floor 12 x 12 beneath it, lit by a warm spot from the
// front right and above, a blue omni light behind it on the left whose
// light is gone 14 away, and a faint red one low on the left in front;
// a faint ambient light, and a gradient from dark blue above to dark grey
// below behind it.
static w3ds::Bytes LitKnot() {
  using namespace w3ds;
  Mesh floor = {
      {{-6, -6, -1.6f}, {6, -6, -1.6f}, {6, 6, -1.6f}, {-6, 6, -1.6f}},
      {{0, 1, 2, 0}, {0, 2, 3, 0}},
      {{0, 0}, {1, 0}, {1, 1}, {0, 1}}};
  return file3ds(
      editor()
          .add(GoldMaterial())
          .add(KnotObject(286, 55))
          .add(materialChunk("floor", {0, 0, 0}, {150, 150, 150}))
          .add(modelObject("floor", floor, "floor"))
          .add(lightObject(
              "key", {6, -6, 8},
              {floatColour({1, 0.9f, 0.7f}), spotlight({0, 0, 0}, 25, 45),
               Chunk(0x465B).f32(1.2f)}))
          .add(lightObject("rim", {-5, 5, 3},
                           {floatColour({0.3f, 0.5f, 1}), Chunk(0x4625),
                            Chunk(0x4659).f32(4), Chunk(0x465A).f32(14)}))
          .add(lightObject("fill", {-6, -5, 1},
                           {floatColour({0.5f, 0.15f, 0.1f})}))
          .add(Chunk(0x2100).add(floatColour({0.08f, 0.08f, 0.1f})))
          .add(Chunk(0x1300)
                   .f32(0.5f)
                   .add(floatColour({0.05f, 0.05f, 0.2f}))
                   .add(floatColour({0.2f, 0.2f, 0.3f}))
                   .add(floatColour({0.1f, 0.1f, 0.1f})))
          .add(Chunk(0x1301)));
}

int main(int argc, char* argv[]) {
  if (argc == 3 && std::string(argv[1]) == "lit")
    return w3ds::writeFile(argv[2], LitKnot()) ? 0 : 1;
  if (argc == 3 && std::string(argv[1]) == "sphere")
    return w3ds::writeFile(argv[2], Sphere()) ? 0 : 1;
  if ((argc == 3 || argc == 4) && std::string(argv[1]) == "knot") {
    const int along = argc == 4 ? std::max(3, std::atoi(argv[3]) / 110) : 286;
    return w3ds::writeFile(argv[2], TorusKnot(along, 55)) ? 0 : 1;
  }
  if (argc != 4) return 2;
  return w3ds::writeFile(argv[3],
                         MeshFile(std::atoi(argv[1]), std::atoi(argv[2])))
             ? 0
             : 1;
}
