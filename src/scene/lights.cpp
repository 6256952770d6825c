#include "scene/lights.h"

#include <algorithm>
#include <cmath>

#include "scene/chunk_cursor.h"
#include "scene/chunk_ids.h"

namespace {

using namespace chunk_ids;

const unsigned int kPositionBytes = 12, kSpotBytes = 20;  // floats before
                                                          // the sub-chunks
const unsigned int kGradientBytes = 4;
const unsigned int kFogBytes = 16;

// The largest float within kFarthest (the nearest float to it is beyond).
float FarthestFloat() {
  const float nearest = static_cast<float>(kFarthest);
  return double(nearest) > kFarthest ? std::nextafter(nearest, 0.0f) : nearest;
}
const float kFar = FarthestFloat();

// A finite number within `low` to `high`; `otherwise` for one that is not
// finite.
float Bounded(float value, float low, float high, float otherwise) {
  return std::isfinite(value) ? std::min(std::max(value, low), high)
                              : otherwise;
}

// A float of the chunk's data, bounded; `otherwise` where it is missing.
float BoundedIn(Loader3DS& loader, const chunk_header& c, float low, float high,
                float otherwise) {
  ChunkCursor in(loader, c);
  return in.Has(4) ? Bounded(in.Float(), low, high, otherwise) : otherwise;
}

// The spot's target and cone, and its roll among the chunk's children.
bool ReadSpot(Loader3DS& loader, const chunk_header& chunk, SceneLight& light) {
  ChunkCursor in(loader, chunk);
  if (!in.Has(kSpotBytes)) return false;
  light.kind = LightKind::kSpot;
  for (float& t : light.target) t = in.Float();
  light.hotspot = Bounded(in.Float(), 0, kWidestCone, 0);
  light.falloff = Bounded(in.Float(), 0, kWidestCone, 0);
  light.hotspot = std::min(light.hotspot, light.falloff);
  for (const chunk_header& c : Within(loader, chunk, kSpotBytes))
    if (c.id == kSpotRoll) light.roll = BoundedIn(loader, c, -kFar, kFar, 0);
  return true;
}

}  // namespace

bool ReadLight(Loader3DS& loader, const chunk_header& chunk,
               const std::string& name, SceneLight& light) {
  ChunkCursor in(loader, chunk);
  if (!in.Has(kPositionBytes)) return false;
  light.name = name;
  for (float& p : light.position) p = in.Float();
  const std::vector<chunk_header> parts = Within(loader, chunk, kPositionBytes);
  ReadColours(loader, parts, light.colour);
  bool spot = false;
  for (const chunk_header& c : parts) {
    if (c.id == kSpot && !spot) {
      if (!ReadSpot(loader, c, light)) return false;
      spot = true;
    } else if (c.id == kOff) {
      light.off = true;
    } else if (c.id == kAttenuate) {
      light.attenuated = true;
    } else if (c.id == kInnerRange) {
      light.inner = BoundedIn(loader, c, 0, kFar, 0);
    } else if (c.id == kOuterRange) {
      light.outer = BoundedIn(loader, c, 0, kFar, 0);
    } else if (c.id == kMultiplier) {
      light.multiplier = BoundedIn(loader, c, -kFar, kFar, 1);
    }
  }
  return true;
}

bool LightStandsSomewhere(const SceneLight& light) {
  const bool spot = light.kind == LightKind::kSpot;
  bool within = true, apart = !spot;
  for (int k = 0; k < 3; ++k) {
    within = within && std::fabs(double(light.position[k])) <= kFarthest;
    if (!spot) continue;
    within = within && std::fabs(double(light.target[k])) <= kFarthest;
    apart = apart || light.position[k] != light.target[k];
  }
  return within && apart;
}

namespace {

void ReadGradient(Loader3DS& loader, const chunk_header& chunk,
                  Background& background) {
  ChunkCursor in(loader, chunk);
  if (!in.Has(kGradientBytes)) return;
  background.gradient = true;
  background.midpoint = Bounded(in.Float(), 0, 1, 0.5f);
  float colours[9] = {0, 0, 0, 0, 0, 0, 0, 0, 0};
  ReadColours(loader, Within(loader, chunk, kGradientBytes), colours, 3);
  std::copy(colours, colours + 3, background.top);
  std::copy(colours + 3, colours + 6, background.middle);
  std::copy(colours + 6, colours + 9, background.bottom);
}

void ReadFog(Loader3DS& loader, const chunk_header& chunk, Fog& fog) {
  ChunkCursor in(loader, chunk);
  if (!in.Has(kFogBytes)) return;
  fog.stored = true;
  fog.nearplane = Bounded(in.Float(), 0, kFar, 0);
  fog.neardensity = Bounded(in.Float() / 100, 0, 1, 0);
  fog.farplane = Bounded(in.Float(), 0, kFar, 0);
  fog.fardensity = Bounded(in.Float() / 100, 0, 1, 1);
  const std::vector<chunk_header> parts = Within(loader, chunk, kFogBytes);
  ReadColours(loader, parts, fog.colour);
  for (const chunk_header& c : parts)
    if (c.id == kFogBackground) fog.background = true;
}

}  // namespace

Environment ReadEnvironment(Loader3DS& loader,
                            const std::vector<chunk_header>& editor) {
  Environment e;
  bool ambient = false, solid = false, gradient = false, fog = false;
  bool usefog = false;
  unsigned int use = 0;  // the last flag
  for (const chunk_header& c : editor) {
    if (c.id == kAmbient && !ambient) {
      ReadColours(loader, Within(loader, c), e.ambient.colour);
      e.ambient.stored = ambient = true;
    } else if (c.id == kSolid && !solid) {
      ReadColours(loader, Within(loader, c), e.background.colour);
      e.background.solid = solid = true;
    } else if (c.id == kGradient && !gradient) {
      ReadGradient(loader, c, e.background);
      gradient = true;
    } else if (c.id == kFog && !fog) {
      ReadFog(loader, c, e.fog);
      fog = true;
    } else if (c.id == kUseFog) {
      usefog = true;
    } else if (c.id == kUseBitmap || c.id == kUseSolid ||
               c.id == kUseGradient) {
      use = c.id;
    }
  }
  if (use == kUseSolid && e.background.solid)
    e.background.use = Background::kSolid;
  if (use == kUseGradient && e.background.gradient)
    e.background.use = Background::kGradient;
  e.fog.use = usefog && e.fog.stored;
  return e;
}
