// Vertex normals by smoothing groups: edges between groups stay sharp, and
// every vertex drawn gets a unit normal.
#ifndef MODELVIEWER_SMOOTHING_H
#define MODELVIEWER_SMOOTHING_H

#include <vector>

// A corner takes the sum of the normals of the faces at its vertex that
// share a group with its face (`masks`, one per face), made unit length; a
// face in no group (mask 0) stays flat. Corners of one vertex and one group
// share a vertex; elsewhere the vertex is copied, with its mapping
// coordinates (`coords`, two per vertex, or empty), and `faces` are made to
// name the copies, so the mesh then holds only the vertices it draws.
// Linear in the number of corners.
void SmoothByGroups(const std::vector<int>& masks,
                    std::vector<unsigned int>& faces,
                    std::vector<float>& vertices, std::vector<float>& coords,
                    std::vector<float>& normals);

#endif
