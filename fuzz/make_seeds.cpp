// Writes small 3DS files with the project's writer, the fuzzers' seeds:
//   make_seeds <directory>
#include <string>

#include "hostile3ds.h"
#include "writer3ds.h"

using namespace w3ds;

int main(int argc, char* argv[]) {
  if (argc != 2) return 2;
  const std::string dir = argv[1];
  Mesh tri{{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}},
           {{0, 1, 2, 0}},
           {{0, 0}, {1, 0}, {0, 1}}};
  Mesh quad{{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}},
            {{0, 1, 2, 0}, {0, 2, 3, 7}},
            {{0, 0}, {1, 0}, {1, 1}}};
  Chunk smoothed = modelObject("smooth", quad, "b");
  smoothed.kids[0].kids[2].add(smoothingGroup({1, 2}));

  bool ok = true;
  ok &= writeFile(dir + "/one-model.3ds",
                  file3ds(editor()
                              .add(materialChunk("a", {1, 2, 3}, {4, 5, 6},
                                                 {7, 8, 9}, 10, 20, 30)
                                       .add(textureMap("a.bmp")))
                              .add(modelObject("tri", tri, "a"))));
  ok &= writeFile(
      dir + "/models-and-others.3ds",
      file3ds(editor()
                  .add(object("camera").add(Chunk(0x4700).u32(0)))
                  .add(materialChunk("b"))
                  .add(smoothed)
                  .add(object("two")
                           .add(trimesh().add(vertexList(tri.vertices)))
                           .add(trimesh()))));
  ok &= writeFile(dir + "/empty-editor.3ds", file3ds(editor()));
  // No face gives vertices 3 to 5 a normal: 3 and 4 belong only to a face
  // without area, which is still drawn, and 5 to no face at all.
  Mesh sparse = tri;
  sparse.vertices.insert(sparse.vertices.end(),
                         {{5, 5, 5}, {6, 6, 6}, {7, 7, 7}});
  sparse.faces.push_back({3, 4, 3, 0});
  ok &= writeFile(dir + "/unused-vertices.3ds",
                  file3ds(editor()
                              .add(materialChunk("c"))
                              .add(modelObject("sparse", sparse, "c"))));
  // Faces that name materials by name, twice, or not at all, in two
  // smoothing groups; a material with a float colour and its name last.
  Chunk named = modelObject("named", quad, "b");
  named.kids[0]
      .kids[2]
      .add(materialRef("a", {1, 0}))
      .add(smoothingGroup({1, 2}));
  ok &= writeFile(
      dir + "/materials-by-name.3ds",
      file3ds(
          editor()
              .add(materialChunk("a", {}, {200, 0, 0}).add(textureMap("a.png")))
              .add(Chunk(0xAFFF)
                       .add(Chunk(0xA020).add(
                           Chunk(0x0010).f32(0).f32(1).f32(0)))
                       .add(Chunk(0xA000).str("b")))
              .add(named)));
  // A camera that the keyframer moves, turns and zooms, and its target.
  auto cameraNode = [](std::uint16_t id, std::vector<Chunk> tracks) {
    Chunk node(id);
    node.add(Chunk(0xB010).str("cam").u16(0).u16(0).u16(0xFFFF));
    for (const Chunk& t : tracks) node.add(t);
    return node;
  };
  ok &= writeFile(
      dir + "/camera-that-moves.3ds",
      file3ds(
          editor()
              .add(modelObject("tri", tri, "a"))
              .add(cameraObject("cam", {0, -10, 0}, {0, 0, 0}, 0, 35)),
          {cameraNode(0xB003, {track(0xB020, {{0, 0, -10, 0}, {9, 5, 0, 2}}),
                               track(0xB023, {{0, 45}, {9, 10}}),
                               track(0xB024, {{0, 0}, {9, 90}})}),
           cameraNode(0xB004, {track(0xB020, {{0, 0, 0, 0}})})}));
  // Lights of both kinds that the keyframer moves, colours and widens, the
  // ambient light, both backgrounds, fog, and bump and reflection maps.
  Chunk maps = materialChunk("a");
  maps.add(Chunk(0xA230).add(Chunk(0x0030).u16(40)).add(Chunk(0xA300).str("b")))
      .add(Chunk(0xA220).add(Chunk(0x0031).f32(0.5f)));
  ok &= writeFile(
      dir + "/lights-that-move.3ds",
      file3ds(
          editor()
              .add(maps)
              .add(modelObject("tri", tri, "a"))
              .add(Chunk(0x2100).add(floatColour({0.1f, 0.1f, 0.1f})))
              .add(Chunk(0x1200).add(floatColour({0, 0, 1})))
              .add(Chunk(0x1300)
                       .f32(0.5f)
                       .add(floatColour({1, 0, 0}))
                       .add(floatColour({0, 1, 0}))
                       .add(floatColour({0, 0, 1})))
              .add(Chunk(0x1301))
              .add(Chunk(0x2200)
                       .f32(1)
                       .f32(0)
                       .f32(50)
                       .f32(100)
                       .add(floatColour({1, 1, 1}))
                       .add(Chunk(0x2210)))
              .add(Chunk(0x2201))
              .add(lightObject(
                  "lamp", {0, 0, 5},
                  {colour(0x0011, {255, 200, 0}).kids[0], Chunk(0x465B).f32(2),
                   Chunk(0x4620), Chunk(0x4625), Chunk(0x4659).f32(1),
                   Chunk(0x465A).f32(9)}))
              .add(lightObject(
                  "spot", {0, -9, 5},
                  {spotlight({0, 0, 0}, 30, 45).add(Chunk(0x4656).f32(5))})),
          {keyframerNode(0xB001, "$AMBIENT$",
                         {track(0xB025, {{0, 0, 0, 0}, {9, 1, 1, 1}})}),
           keyframerNode(0xB005, "lamp",
                         {track(0xB020, {{0, 0, 0, 5}, {9, 5, 0, 5}})}),
           keyframerNode(0xB007, "spot",
                         {track(0xB025, {{0, 1, 1, 1}, {9, 1, 0, 0}}),
                          track(0xB027, {{0, 10}, {9, 50}}),
                          track(0xB028, {{0, 20}, {9, 60}}),
                          track(0xB024, {{0, 0}, {9, 90}})}),
           keyframerNode(0xB006, "spot",
                         {track(0xB020, {{0, 0, 0, 0}, {9, 1, 1, 0}})})}));
  // Meshes whose lengths run past their objects to one shared vertex list
  // (for the pass with large inputs).
  ok &= writeFile(dir + "/overlapping-meshes.3ds",
                  hostile::OverlappingMeshes(40));
  return ok ? 0 : 1;
}
