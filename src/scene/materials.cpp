#include "scene/materials.h"

#include "scene/chunk_cursor.h"

namespace {

const unsigned int kMaterialName = 0xA000;
const unsigned int kDiffuse = 0xA020;
const unsigned int kMapFileName = 0xA300;
const unsigned int kSpecular = 0xA030, kShininess = 0xA040;
const unsigned int kShininessStrength = 0xA041, kTransparency = 0xA050;
const unsigned int kTwoSided = 0xA081, kSelfIllumination = 0xA084;
const unsigned int kMapUScale = 0xA354, kMapVScale = 0xA356;
const unsigned int kMapUOffset = 0xA358, kMapVOffset = 0xA35A;
const unsigned int kMapRotation = 0xA35C, kMapFlags = 0xA351;
const unsigned int kShading = 0xA100, kWire = 0xA085;
const unsigned int kSpecularMap = 0xA204, kOpacityMap = 0xA210;
const unsigned int kPercentInt = 0x0030, kPercentFloat = 0x0031;
const unsigned int kColourFloat = 0x0010, kColourBytes = 0x0011;
const unsigned int kColourBytesGamma = 0x0012, kColourFloatLinear = 0x0013;

float Unit(float value) {
  return value > 0.0f ? (value < 1.0f ? value : 1.0f) : 0.0f;  // NaN: 0
}

// The first colour chunk inside `parent`, bytes or floats, as 0 to 1.
void ReadColour(Loader3DS& loader, const chunk_header& parent, float* rgb) {
  for (const chunk_header& c : Within(loader, parent)) {
    ChunkCursor in(loader, c);
    if (c.id == kColourBytes || c.id == kColourBytesGamma) {
      for (int k = 0; k < 3; ++k) rgb[k] = in.Byte() / 255.0f;
      return;
    }
    if (c.id == kColourFloat || c.id == kColourFloatLinear) {
      for (int k = 0; k < 3; ++k) rgb[k] = Unit(in.Float());
      return;
    }
  }
}

// The first percentage chunk inside `parent` as a fraction from 0 to 1: a
// 16-bit whole percent, or a float fraction.
float ReadPercent(Loader3DS& loader, const chunk_header& parent) {
  for (const chunk_header& c : Within(loader, parent)) {
    ChunkCursor in(loader, c);
    if (c.id == kPercentInt && in.Has(2))
      return Unit(static_cast<short>(in.Short()) / 100.0f);
    if (c.id == kPercentFloat && in.Has(4)) return Unit(in.Float());
  }
  return 0.0f;
}

// A float of the chunk's data; `otherwise` when it is missing or not finite.
float FloatIn(Loader3DS& loader, const chunk_header& c, float otherwise) {
  ChunkCursor in(loader, c);
  return in.Has(4) ? in.Finite(otherwise) : otherwise;
}

TextureMap ReadMap(Loader3DS& loader, const chunk_header& chunk) {
  TextureMap map;
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
      m.shininess = ReadPercent(loader, c);
    } else if (c.id == kShininessStrength) {
      m.strength = ReadPercent(loader, c);
    } else if (c.id == kTransparency) {
      m.transparency = ReadPercent(loader, c);
    } else if (c.id == kSelfIllumination) {
      m.selfillumination = ReadPercent(loader, c);
    } else if (c.id == kTwoSided) {
      m.twosided = true;
    } else if (c.id == kWire) {
      m.wire = true;
    } else if (c.id == kShading) {
      ReadShading(loader, c, m);
    } else if (c.id == CHUNK_TEXTUREMAP && !mapped) {
      m.texture = ReadMap(loader, c);
      mapped = true;
    } else if (c.id == kSpecularMap && !specularmapped) {
      m.specularmap = ReadMap(loader, c);
      specularmapped = true;
    } else if (c.id == kOpacityMap && !opacitymapped) {
      m.opacitymap = ReadMap(loader, c);
      opacitymapped = true;
    }
  }
  return m;
}
