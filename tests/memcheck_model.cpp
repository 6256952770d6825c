// memcheck_model FILE: the model of the memory check (tools/memcheck.sh), a
// quad mapped with monster.bmp in two smoothing groups, which split the
// vertices its faces share, and vertices 4 to 6 that no face gives a normal
// (4 and 5 drawn in a face without area, 6 in none), past the mapping
// coordinates.
#include "writer3ds.h"

using namespace w3ds;

int main(int argc, char* argv[]) {
  if (argc != 2) return 2;
  Mesh mesh{{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}},
            {{0, 1, 2, 0}, {0, 2, 3, 0}, {4, 5, 4, 0}},
            {{0, 0}, {1, 0}, {1, 1}, {0, 1}}};
  mesh.vertices.insert(mesh.vertices.end(), {{5, 5, 5}, {6, 6, 6}, {7, 7, 7}});
  Chunk model = modelObject("sparse", mesh, "m");
  model.kids[0].kids[2].add(smoothingGroup({1, 2, 1}));
  const Chunk material = materialChunk("m").add(textureMap("monster.bmp"));
  return writeFile(argv[1], file3ds(editor().add(material).add(model))) ? 0 : 1;
}
