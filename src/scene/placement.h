// Where the scene's meshes are drawn, and which keyframer nodes move them,
// its cameras and its lights: the last steps of the import, once the
// meshes, cameras, lights and nodes are read.
#ifndef MODELVIEWER_PLACEMENT_H
#define MODELVIEWER_PLACEMENT_H

#include "scene/scene.h"

// Where each mesh is drawn: once for every object node that names it (a
// dummy node, or one that names no mesh, draws nothing), and as stored where
// no node names it. Names are looked up in an index, so a name that many
// meshes share costs nothing but its placements. Past the budget of drawn
// vertices and faces, placements are left out with one warning.
void PlaceMeshes(Scene& scene);

// Each camera's keyframer nodes: the first camera node and the first target
// node of its name.
void LinkCameras(Scene& scene);

// Each light's keyframer nodes: the first light node (omni or spot) and,
// for a spot, the first spot target node of its name; the ambient light's:
// the first ambient node.
void LinkLights(Scene& scene);

// The nodes that place something or move a camera or a light, with their
// ancestors, parents first.
void FindPosed(Scene& scene);

#endif
