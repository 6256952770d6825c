// The materials of a 3DS file as the viewing mode draws them: colours,
// highlights, transparency and the maps, read by their sub-chunks'
// identifiers.
#ifndef MODELVIEWER_MATERIALS_H
#define MODELVIEWER_MATERIALS_H

#include <array>
#include <string>
#include <vector>

#include "loader/3dsloader.h"

// The colour of faces that no material names, and of materials without a
// diffuse colour: a neutral light grey.
const float kNeutralGrey = 0.75f;

// How a map lies on its faces: u, v scale and offset, and a turn in
// degrees.
struct Tiling {
  float scale[2] = {1, 1};
  float offset[2] = {0, 0};
  float rotation = 0;
};

// One of a material's maps: its image, how strongly it counts and how it
// lies on the faces.
struct TextureMap {
  bool stored = false;  // the material has the map's chunk
  std::string image;    // as stored; empty: none
  float amount = 1;     // a fraction (0x0030, 0x0031); 1 where none is stored
  Tiling tiling;
  unsigned int flags = 0;  // 0xA351
  // Mirrored in every other repeat, or not repeated (edges held).
  bool Mirrored() const { return (flags & 0x02) != 0; }
  bool Untiled() const { return (flags & 0x10) != 0; }
  // An opacity map's alpha from the image's alpha, not its brightness.
  bool AlphaSource() const { return (flags & 0x40) != 0; }
};

// How a material's faces are lit (0xA100), as the tools that write these
// files render them.
enum class Shading : unsigned char {
  kWire = 0,     // lines only
  kFlat = 1,     // each face one colour
  kGouraud = 2,  // lit at the vertices
  kPhong = 3,    // lit at each pixel
  kMetal = 4,    // lit at each pixel, highlights in the diffuse colour
};

struct SceneMaterial {
  std::string name;
  float diffuse[3] = {kNeutralGrey, kNeutralGrey, kNeutralGrey};  // 0 to 1
  float specular[3] = {0, 0, 0};
  // Fractions from 0 to 1.
  float shininess = 0, strength = 0, transparency = 0, selfillumination = 0;
  bool twosided = false;
  Shading shading = Shading::kPhong;  // where the file stores none
  bool wire = false;                  // drawn as lines (0xA085)
  TextureMap texture;                 // 0xA200
  TextureMap specularmap;             // 0xA204: scales the specular colour
  TextureMap opacitymap;              // 0xA210: sets alpha
  TextureMap bumpmap;                 // 0xA230: turns the normals
  // 0xA220: reflects its image; without one, an automatic reflection (of
  // the scene around the faces).
  TextureMap reflectionmap;
  bool AutomaticReflection() const {
    return reflectionmap.stored && reflectionmap.image.empty();
  }
  // Every map, in this order: texture, specular, opacity, bump, reflection.
  std::array<const TextureMap*, 5> Maps() const {
    return {&texture, &specularmap, &opacitymap, &bumpmap, &reflectionmap};
  }
};

// A bump map's amount may pass 100 %, and below 0 turns the bumps over: it
// is held within ±1000 %. The other maps' amounts are held within 0 to 100 %.
const float kMostBump = 10;

// A material chunk (0xAFFF). Colours are taken as 24-bit or float chunks in
// any order, percentages as whole or float ones; of a sub-chunk given twice,
// the name, colours and maps count the first time.
SceneMaterial ReadMaterial(Loader3DS& loader, const chunk_header& chunk);

#endif
