// The identifiers of the chunks that the scene reads, in one table. The
// reader's own (the main chunk, the editor, objects, meshes and their
// lists, materials and the texture map) are its enum (loader/3dsloader.h);
// these are the rest, by where they stand in a file.
#ifndef MODELVIEWER_CHUNK_IDS_H
#define MODELVIEWER_CHUNK_IDS_H

#include "loader/3dsloader.h"

namespace chunk_ids {

// Colours (24-bit or float, each also gamma-corrected or linear) and
// percents (integer or float), within many chunks.
const unsigned int kColourFloat = 0x0010, kColourBytes = 0x0011;
const unsigned int kColourBytesGamma = 0x0012, kColourFloatLinear = 0x0013;
const unsigned int kPercentInt = 0x0030, kPercentFloat = 0x0031;

// The editor's ambient light, backgrounds and fog, and the flags that say
// which are used.
const unsigned int kAmbient = 0x2100;
const unsigned int kUseBitmap = 0x1101;
const unsigned int kSolid = 0x1200, kUseSolid = 0x1201;
const unsigned int kGradient = 0x1300, kUseGradient = 0x1301;
const unsigned int kFog = 0x2200, kUseFog = 0x2201, kFogBackground = 0x2210;

// Within an object: a mesh's matrix, lights and cameras.
const unsigned int kMeshMatrix = 0x4160;
const unsigned int kLight = 0x4600, kSpot = 0x4610, kOff = 0x4620;
const unsigned int kAttenuate = 0x4625, kSpotRoll = 0x4656;
const unsigned int kInnerRange = 0x4659, kOuterRange = 0x465A;
const unsigned int kMultiplier = 0x465B;
const unsigned int kCamera = 0x4700;

// Within a material.
const unsigned int kMaterialName = 0xA000, kDiffuse = 0xA020;
const unsigned int kSpecular = 0xA030, kShininess = 0xA040;
const unsigned int kShininessStrength = 0xA041, kTransparency = 0xA050;
const unsigned int kTwoSided = 0xA081, kSelfIllumination = 0xA084;
const unsigned int kWire = 0xA085, kShading = 0xA100;
const unsigned int kTextureMap = CHUNK_TEXTUREMAP, kSpecularMap = 0xA204;
const unsigned int kOpacityMap = 0xA210, kReflectionMap = 0xA220;
const unsigned int kBumpMap = 0xA230;
// Within a map.
const unsigned int kMapFileName = 0xA300, kMapFlags = 0xA351;
const unsigned int kMapUScale = 0xA354, kMapVScale = 0xA356;
const unsigned int kMapUOffset = 0xA358, kMapVOffset = 0xA35A;
const unsigned int kMapRotation = 0xA35C;

// The keyframer, its segment, and its nodes, 0xB001 to 0xB007: ambient,
// object, camera, camera target, omni light, spot target, spot light.
const unsigned int kKeyframer = 0xB000, kSegment = 0xB008;
const unsigned int kFirstNode = 0xB001, kLastNode = 0xB007;
// Within a node.
const unsigned int kNodeHeader = 0xB010, kInstanceName = 0xB011;
const unsigned int kPivot = 0xB013;
const unsigned int kPositionTrack = 0xB020, kRotationTrack = 0xB021;
const unsigned int kScaleTrack = 0xB022, kFovTrack = 0xB023;
const unsigned int kRollTrack = 0xB024, kColourTrack = 0xB025;
const unsigned int kHotspotTrack = 0xB027, kFalloffTrack = 0xB028;
const unsigned int kHideTrack = 0xB029, kNodeId = 0xB030;

}  // namespace chunk_ids

#endif
