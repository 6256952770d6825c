#include "scene/materials.h"

#include "scene/chunk_cursor.h"
#include "scene/chunk_ids.h"

namespace {

using namespace chunk_ids;

float Unit(float value) { return Clamped(value, 0, 1, 0); }

void ReadColour(Loader3DS& loader, const chunk_header& parent, float* rgb) {
  ReadColours(loader, Within(loader, parent), rgb);
}

// A percentage as a fraction from 0 to 1; 0 where there is none.
float ReadFraction(Loader3DS& loader, const chunk_header& parent) {
  float fraction = 0;
  return ReadPercent(loader, parent, fraction) ? Unit(fraction) : 0.0f;
}

// A float of the chunk's data; `otherwise` when it is missing or not finite.
float FloatIn(Loader3DS& loader, const chunk_header& c, float otherwise) {
  ChunkCursor in(loader, c);
  return in.Has(4) ? in.Finite(otherwise) : otherwise;
}

// A map, its amount held between `least` and `most` (100 % where it has
// none).
TextureMap ReadMap(Loader3DS& loader, const chunk_header& chunk,
                   float least = 0, float most = 1) {
  TextureMap map;
  map.stored = true;
  float amount = 1;
  if (ReadPercent(loader, chunk, amount))
    map.amount = Clamped(amount, least, most, 1);
  bool named = false;
  for (const chunk_header& part : Within(loader, chunk)) {
    if (part.id == kMapFileName && !named) {
      map.image = ChunkCursor(loader, part).String();
      named = true;
    } else if (part.id == kMapUScale) {
      map.tiling.scale[0] = FloatIn(loader, part, 1);
    } else if (part.id == kMapVScale) {
      map.tiling.scale[1] = FloatIn(loader, part, 1);
    } else if (part.id == kMapUOffset) {
      map.tiling.offset[0] = FloatIn(loader, part, 0);
    } else if (part.id == kMapVOffset) {
      map.tiling.offset[1] = FloatIn(loader, part, 0);
    } else if (part.id == kMapRotation) {
      map.tiling.rotation = FloatIn(loader, part, 0);
    } else if (part.id == kMapFlags) {
      ChunkCursor in(loader, part);
      if (in.Has(2)) map.flags = in.Short();
    }
  }
  return map;
}

// The shading mode, where it is one of the five.
void ReadShading(Loader3DS& loader, const chunk_header& chunk,
                 SceneMaterial& m) {
  ChunkCursor in(loader, chunk);
  const unsigned int mode = in.Has(2) ? in.Short() : 3;
  if (mode <= static_cast<unsigned int>(Shading::kMetal))
    m.shading = static_cast<Shading>(mode);
}

}  // namespace

SceneMaterial ReadMaterial(Loader3DS& loader, const chunk_header& chunk) {
  SceneMaterial m;
  bool named = false, coloured = false, specular = false;
  bool mapped = false, specularmapped = false, opacitymapped = false;
  bool bumpmapped = false, reflectionmapped = false;
  for (const chunk_header& c : Within(loader, chunk)) {
    if (c.id == kMaterialName && !named) {
      m.name = ChunkCursor(loader, c).String();
      named = true;
    } else if (c.id == kDiffuse && !coloured) {
      ReadColour(loader, c, m.diffuse);
      coloured = true;
    } else if (c.id == kSpecular && !specular) {
      ReadColour(loader, c, m.specular);
      specular = true;
    } else if (c.id == kShininess) {
      m.shininess = ReadFraction(loader, c);
    } else if (c.id == kShininessStrength) {
      m.strength = ReadFraction(loader, c);
    } else if (c.id == kTransparency) {
      m.transparency = ReadFraction(loader, c);
    } else if (c.id == kSelfIllumination) {
      m.selfillumination = ReadFraction(loader, c);
    } else if (c.id == kTwoSided) {
      m.twosided = true;
    } else if (c.id == kWire) {
      m.wire = true;
    } else if (c.id == kShading) {
      ReadShading(loader, c, m);
    } else if (c.id == kTextureMap && !mapped) {
      m.texture = ReadMap(loader, c);
      mapped = true;
    } else if (c.id == kSpecularMap && !specularmapped) {
      m.specularmap = ReadMap(loader, c);
      specularmapped = true;
    } else if (c.id == kOpacityMap && !opacitymapped) {
      m.opacitymap = ReadMap(loader, c);
      opacitymapped = true;
    } else if (c.id == kBumpMap && !bumpmapped) {
      m.bumpmap = ReadMap(loader, c, -kMostBump, kMostBump);
      bumpmapped = true;
    } else if (c.id == kReflectionMap && !reflectionmapped) {
      m.reflectionmap = ReadMap(loader, c);
      reflectionmapped = true;
    }
  }
  return m;
}
