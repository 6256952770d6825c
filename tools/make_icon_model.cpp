// Writes the model that the program's icon is a thumbnail of: a small gold
// torus knot.
//   make_icon_model FILE
#include "knot3ds.h"

int main(int argc, char* argv[]) {
  if (argc != 2) return 2;
  return w3ds::writeFile(argv[1], TorusKnot(160, 24)) ? 0 : 1;
}
