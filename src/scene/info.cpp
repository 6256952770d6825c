#include "info.h"

#include <cmath>
#include <cstdio>
#include <iostream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "file_names.h"
#include "import.h"
#include "messages.h"
#include "pose.h"

namespace {

using nlohmann::json;

struct Box {
  bool bounded = false;
  float low[3] = {0, 0, 0}, high[3] = {0, 0, 0};
  void Add(const float* p) { GrowBox(p, bounded, low, high); }
  void Add(const Box& other) {
    if (other.bounded) Add(other.low), Add(other.high);
  }
};

// One placement as the file has it at a frame: its node, mesh and box.
struct Drawn {
  std::string name, instance, mesh;
  size_t vertices, faces;
  Box box;
};

std::vector<Drawn> Placements(const Scene& scene, double frame, Box& all) {
  std::vector<Matrix> matrices;
  std::vector<bool> shown;
  PoseScene(scene, frame, matrices, shown);
  std::vector<Drawn> drawn;
  for (size_t i = 0; i < scene.placements.size(); ++i) {
    if (!shown[i]) continue;
    const Placement& p = scene.placements[i];
    const SceneMesh& mesh = scene.meshes[p.mesh];
    Drawn d;
    d.mesh = mesh.name;
    d.name = p.node >= 0 ? scene.keyframer.nodes[p.node].name : mesh.name;
    d.instance = p.node >= 0 ? scene.keyframer.nodes[p.node].instance : "";
    d.vertices = mesh.filevertices;
    d.faces = mesh.faces;
    for (size_t v = 0; v < mesh.vertices.size(); v += 3) {
      float q[3];
      Transform(matrices[i], &mesh.vertices[v], q);
      d.box.Add(q);
    }
    all.Add(d.box);
    drawn.push_back(d);
  }
  return drawn;
}

json Triple(const float* v) { return json::array({v[0], v[1], v[2]}); }

json BoxJson(const Box& box) {
  return {{"low", Triple(box.low)}, {"high", Triple(box.high)}};
}

std::string Numbers(const float* v, int n) {
  std::ostringstream text;
  for (int k = 0; k < n; ++k) text << (k ? " " : "") << v[k];
  return text.str();
}

std::string BoxText(const Box& box) {
  return box.bounded
             ? "(" + Numbers(box.low, 3) + ") to (" + Numbers(box.high, 3) + ")"
             : "empty";
}

// Names with control bytes written as \xNN, so that each stays on its line.
std::string Clean(const std::string& name) { return Printable(name, "\""); }

double FrameOf(const Scene& scene, long frame) {
  return frame >= 0 ? frame : scene.keyframer.start;
}

}  // namespace

std::string InfoJson(const Scene& scene, const std::string& file, long frame,
                     const ImageFinder& find) {
  const double f = FrameOf(scene, frame);
  Box all;
  json nodes = json::array();
  for (const Drawn& d : Placements(scene, f, all))
    nodes.push_back({{"name", Latin1ToUtf8(d.name)},
                     {"instance", Latin1ToUtf8(d.instance)},
                     {"mesh", Latin1ToUtf8(d.mesh)},
                     {"vertices", d.vertices},
                     {"faces", d.faces},
                     {"box", BoxJson(d.box)}});
  json materials = json::array();
  for (const SceneMaterial& m : scene.materials) {
    json texture = nullptr;
    if (!m.image.empty()) {
      const std::string found = find(m.image);
      texture = {{"stored", Latin1ToUtf8(m.image)},
                 {"file", found.empty() ? json(nullptr) : json(found)},
                 {"scale", {m.tiling.scale[0], m.tiling.scale[1]}},
                 {"offset", {m.tiling.offset[0], m.tiling.offset[1]}},
                 {"rotation", m.tiling.rotation}};
    }
    materials.push_back({{"name", Latin1ToUtf8(m.name)},
                         {"diffuse", Triple(m.diffuse)},
                         {"specular", Triple(m.specular)},
                         {"shininess", m.shininess},
                         {"transparency", m.transparency},
                         {"two_sided", m.twosided},
                         {"texture", texture}});
  }
  json cameras = json::array();
  for (const SceneCamera& stored : scene.cameras) {
    const SceneCamera c = CameraAt(scene, stored, f);
    cameras.push_back({{"name", Latin1ToUtf8(c.name)},
                       {"position", Triple(c.position)},
                       {"target", Triple(c.target)},
                       {"roll", c.roll},
                       {"lens", c.lens}});
  }
  json warnings = json::array();
  for (const std::string& w : scene.warnings)
    warnings.push_back(Latin1ToUtf8(w));
  const json info = {{"file", Latin1ToUtf8(file)},
                     {"models", scene.models},
                     {"frame", static_cast<long>(f)},
                     {"frames",
                      {static_cast<long>(scene.keyframer.start),
                       static_cast<long>(scene.keyframer.end)}},
                     {"box", BoxJson(all)},
                     {"nodes", nodes},
                     {"materials", materials},
                     {"cameras", cameras},
                     {"warnings", warnings}};
  // Non-finite numbers have no JSON form; they are written as null.
  return info.dump(1, ' ', false, json::error_handler_t::replace) + "\n";
}

std::string InfoText(const Scene& scene, const std::string& file, long frame,
                     const ImageFinder& find) {
  const double f = FrameOf(scene, frame);
  Box all;
  const std::vector<Drawn> drawn = Placements(scene, f, all);
  std::ostringstream text;
  text << Clean(file) << ": " << scene.models << " models, " << drawn.size()
       << " drawn, frame " << f << " of " << scene.keyframer.start << " to "
       << scene.keyframer.end << ", box " << BoxText(all) << "\n";
  for (const Drawn& d : drawn)
    text << "  mesh \"" << Clean(d.name) << "\""
         << (d.instance.empty() ? ""
                                : " (instance \"" + Clean(d.instance) + "\")")
         << ": " << d.vertices << " vertices, " << d.faces << " faces, box "
         << BoxText(d.box) << "\n";
  for (const SceneMaterial& m : scene.materials) {
    text << "  material \"" << Clean(m.name) << "\": diffuse "
         << Numbers(m.diffuse, 3) << ", specular " << Numbers(m.specular, 3)
         << ", shininess " << m.shininess << ", transparency " << m.transparency
         << (m.twosided ? ", two-sided" : "");
    if (!m.image.empty()) {
      const std::string found = find(m.image);
      text << ", texture \"" << Clean(m.image) << "\" "
           << (found.empty() ? "missing" : "found as " + Clean(found));
    }
    text << "\n";
  }
  for (const SceneCamera& stored : scene.cameras) {
    const SceneCamera c = CameraAt(scene, stored, f);
    text << "  camera \"" << Clean(c.name) << "\": at "
         << Numbers(c.position, 3) << ", looking at " << Numbers(c.target, 3)
         << ", roll " << c.roll << ", lens " << c.lens << " mm\n";
  }
  return text.str();
}

int RunInfo(const Options& options, const Messages& messages,
            InputFiles& inputs) {
  Scene scene;
  LoadScene(options.file, false, messages, inputs, scene);
  FileNames names(FolderOf(options.file));
  const ImageFinder find = [&](const std::string& stored) {
    const std::string path = names.FindImage(stored);
    FileId id;
    return IdentifyFile(path, id) ? path : std::string();
  };
  std::cout << (options.info == Options::kInfoJson
                    ? InfoJson(scene, options.file, options.frame, find)
                    : InfoText(scene, options.file, options.frame, find))
            << std::flush;
  return 0;
}
