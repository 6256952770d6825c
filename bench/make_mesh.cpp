// Writes a generated mesh for the frame-rate and start-up measurements:
//   make_mesh sphere FILE            a sphere of 65024 small faces
//   make_mesh knot FILE [FACES]      a shiny gold (2, 3) torus knot of 31460
//                                    faces (or about FACES) in one
//                                    smoothing group
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

int main(int argc, char* argv[]) {
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
