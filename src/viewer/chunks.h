// How the viewing import walks a file's chunks: each child cut to its
// parent's end.
#ifndef MODELVIEWER_CHUNKS_H
#define MODELVIEWER_CHUNKS_H

#include <vector>

#include "3dsloader.h"

inline unsigned long long EndOf(const chunk_header& chunk) {
  return static_cast<unsigned long long>(chunk.start) + chunk.length;
}

// The children of `parent`, each cut to the parent's end: no chunk reaches
// into bytes that its parent does not hold, so every byte of the file is
// read as the data of one chunk at each level, and a walk stays linear in
// the file's size however the lengths are crafted.
inline std::vector<chunk_header> Within(Loader3DS& loader,
                                        const chunk_header& parent) {
  std::vector<chunk_header> children = loader.Children(parent);
  const unsigned long long end = EndOf(parent);
  for (chunk_header& c : children)
    if (EndOf(c) > end) c.length = static_cast<unsigned int>(end - c.start);
  return children;
}

#endif
