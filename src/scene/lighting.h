// The file's own lighting at a frame, as the file's look draws it: the
// lights that are on, where the keyframer takes them then, the brightest
// where there are more than a drawing takes, and the ambient light.
#ifndef MODELVIEWER_LIGHTING_H
#define MODELVIEWER_LIGHTING_H

#include <cstddef>
#include <vector>

#include "scene/pose.h"

// The most lights drawn at once: what the shading programs take, and what
// OpenGL 1.1 promises at least.
const size_t kMostLights = 8;

struct FrameLighting {
  std::vector<SceneLight> lights;  // those drawn, in the file's order
  size_t on = 0;  // the lights on that stand somewhere, before the cut
  float ambient[3] = {0, 0, 0};
};

// How bright a light shines: its colour's luminance times the size of its
// multiplier (a light that takes light away is as strong as one that
// gives it).
float Brightness(const SceneLight& light);

// The lights of the pose's scene that are on at `frame` and stand somewhere
// then, posed; of more than `most`, the `most` brightest (of equals, the
// earlier in the file). The ambient light at that frame.
FrameLighting LightingAt(const ScenePose& pose, double frame,
                         size_t most = kMostLights);

#endif
