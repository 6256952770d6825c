// Writes a generated mesh for the frame-rate and start-up measurements:
//   make_mesh FACES VERTICES FILE
#include <cstdlib>

#include "meshes.h"

int main(int argc, char* argv[]) {
  if (argc != 4) return 2;
  return w3ds::writeFile(argv[3], MeshFile(std::atoi(argv[1]), std::atoi(argv[2])))
             ? 0
             : 1;
}
