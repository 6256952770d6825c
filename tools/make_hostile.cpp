// Writes the crafted files that ask for far more work than their size into
// a folder, for bench/hostile.sh and the desktop tests:
//   make_hostile DIR
#include <cstdio>
#include <string>

#include "hostile3ds.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_hostile DIR\n");
    return 2;
  }
  const std::string dir = argv[1];
  const struct {
    const char* name;
    w3ds::Bytes bytes;
  } files[] = {
      {"shared-names", hostile::SharedNames(600, 2000)},
      {"instances-10000", hostile::InstancedMesh(65535, 10000)},
      {"nodes-70000", hostile::InstancedMesh(1, 70000)},
      {"instances-1000", hostile::InstancedMesh(65535, 1000)},
      {"empty-nodes", hostile::EmptyNodes(1000000)},
      {"hide-keys", hostile::ManyHideKeys(1u << 24)},
      {"camera-nodes", hostile::ManyCameraNodes(20000, 200000)},
      {"meshes-500000", hostile::ManyObjects(500000)},
      {"faces-65535", hostile::StackedFaces(65535, 0)},
      {"faces-65535-copies-100", hostile::StackedFaces(65535, 100, true)},
      {"faces-65535-nodes-5000", hostile::StackedFaces(65535, 5000)},
      {"triangle-nodes-70000", hostile::StackedFaces(1, 70000)},
  };
  for (const auto& f : files)
    if (!w3ds::writeFile(dir + "/" + f.name + ".3ds", f.bytes)) return 1;
  // 16 texture maps of 8192 x 8192 pixels, 0.27 MB each on disk, 256 MB
  // each decoded; and 4 GiB - 1 bytes, 6 of them on disk.
  if (!hostile::ManyLargeMaps(dir, "maps-16", 16, 8192) ||
      !hostile::SparseMainChunk(dir + "/sparse.3ds", 0xFFFFFFFFu))
    return 1;
  return 0;
}
