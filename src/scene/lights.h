// How the file's author lit the scene and what stood behind it: its omni
// lights and spotlights (0x4600 in an object 0x4000), and from the editor
// chunk (0x3D3D) the ambient light, the background and the fog, as plain
// records that a renderer can use as they are. Where the keyframer moves
// the lights is pose.h's.
#ifndef MODELVIEWER_LIGHTS_H
#define MODELVIEWER_LIGHTS_H

#include <string>
#include <vector>

#include "loader/3dsloader.h"
#include "scene/cameras.h"

enum class LightKind : unsigned char { kOmni, kSpot };

// The widest cone a spot may have, in degrees.
const float kWidestCone = 180;

// A light: where it stands, its colour and how strongly it shines, and for
// a spot where it points and its cone. Every number is finite: positions
// within kFarthest, colours from 0 to 1, the multiplier within ±kFarthest,
// the attenuation ranges from 0 to kFarthest, the cone's angles from 0 to
// kWidestCone with the hotspot no wider than the falloff.
struct SceneLight {
  std::string name;
  LightKind kind = LightKind::kOmni;
  float position[3] = {0, 0, 0};
  float colour[3] = {1, 1, 1};  // white where none is stored
  float multiplier = 1;         // 0x465B; below 0 takes light away
  bool off = false;             // 0x4620
  // 0x4625 turns attenuation on: full light out to `inner` (0x4659), none
  // from `outer` (0x465A) on.
  bool attenuated = false;
  float inner = 0, outer = 0;
  // A spot's (0x4610): what it points at, the full angles in degrees of the
  // cone of full light (hotspot) and of the cone beyond which there is none
  // (falloff), and its roll about its axis in degrees (0x4656).
  float target[3] = {0, 0, 0};
  float hotspot = 0, falloff = 0, roll = 0;
  // The keyframer's light node and spot target node of its name (-1: none).
  int node = -1, targetnode = -1;
};

// The light chunk (0x4600) `chunk` of the object named `name`, its numbers
// bounded as SceneLight says (one that is not finite as the default; its
// position and target as stored, which LightStandsSomewhere judges). Of a
// sub-chunk given twice, the colour and the spot count the first time. False
// when the chunk is too short to hold a position, or a spot's chunk too
// short for its target and cone.
bool ReadLight(Loader3DS& loader, const chunk_header& chunk,
               const std::string& name, SceneLight& light);

// Whether the light stands somewhere: its position (and a spot's target)
// finite and within kFarthest, and a spot's target apart from its position.
bool LightStandsSomewhere(const SceneLight& light);

// Light that reaches every face alike (0x2100); black where none is stored.
struct AmbientLight {
  bool stored = false;
  float colour[3] = {0, 0, 0};
  int node = -1;  // the keyframer's ambient node (0xB001), -1: none
};

// What is seen where no face is: a solid colour (0x1200) or a vertical
// gradient (0x1300: top, middle and bottom colours, and where the middle
// one lies, from 0 to 1, as stored). `use` is what the file says to show
// (0x1201, 0x1301; the last such flag counts, and a flag names only a
// background that is stored); a bitmap background (0x1101) is not read, and
// shows as none.
struct Background {
  enum Use : unsigned char { kNone, kSolid, kGradient };
  bool solid = false;
  float colour[3] = {0, 0, 0};
  bool gradient = false;
  float top[3] = {0, 0, 0}, middle[3] = {0, 0, 0}, bottom[3] = {0, 0, 0};
  float midpoint = 0.5f;
  Use use = kNone;
};

// Fog (0x2200): from the near plane's distance from the eye, where it is
// `neardensity` thick, to the far plane's, where it is `fardensity` thick;
// densities from 0 to 1 (the file stores percents), distances from 0 to
// kFarthest. `use` (0x2201) is true only where the fog is stored.
struct Fog {
  bool stored = false, use = false;
  float nearplane = 0, neardensity = 0, farplane = 0, fardensity = 1;
  float colour[3] = {0, 0, 0};
  bool background = false;  // 0x2210: the fog hides the background too
};

struct Environment {
  AmbientLight ambient;
  Background background;
  Fog fog;
};

// The ambient light, background and fog among the editor chunk's children,
// in file order: of each chunk given twice, the first counts.
Environment ReadEnvironment(Loader3DS& loader,
                            const std::vector<chunk_header>& editor);

#endif
