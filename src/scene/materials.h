// The materials of a 3DS file as the viewing mode draws them: colours,
// highlights, transparency and the texture map, read by their sub-chunks'
// identifiers.
#ifndef MODELVIEWER_MATERIALS_H
#define MODELVIEWER_MATERIALS_H

#include <string>
#include <vector>

#include "3dsloader.h"

// The colour of faces that no material names, and of materials without a
// diffuse colour: a neutral light grey.
const float kNeutralGrey = 0.75f;

// How a texture map lies on its faces: u, v scale and offset, and a turn in
// degrees.
struct Tiling {
  float scale[2] = {1, 1};
  float offset[2] = {0, 0};
  float rotation = 0;
};

struct SceneMaterial {
  std::string name;
  float diffuse[3] = {kNeutralGrey, kNeutralGrey, kNeutralGrey};  // 0 to 1
  float specular[3] = {0, 0, 0};
  // Fractions from 0 to 1.
  float shininess = 0, strength = 0, transparency = 0, selfillumination = 0;
  bool twosided = false;
  std::string image;  // the texture map's image, as stored; empty: none
  Tiling tiling;
};

// A material chunk (0xAFFF). Colours are taken as 24-bit or float chunks in
// any order, percentages as whole or float ones; of a sub-chunk given twice,
// the name, colours and map count the first time.
SceneMaterial ReadMaterial(Loader3DS& loader, const chunk_header& chunk);

#endif
