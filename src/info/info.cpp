#include "info/info.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <nlohmann/json.hpp>
#include <sstream>

#include "base/file_names.h"
#include "base/messages.h"
#include "base/stop.h"
#include "scene/import.h"
#include "scene/pose.h"

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

// The scene posed at one frame, as --info tells it: each shown placement's
// box from its vertices as drawn, or, past the budget of vertices that
// drawing transforms, from its mesh box's corners.
class Posed {
 public:
  Posed(const Scene& scene, double frame)
      : scene_(scene), frame_(frame), pose_(scene, frame) {
    const PlacedPoints placed(pose_, kMaxDrawnVerticesAndFaces);
    vertices_ = placed.vertices();
    shown_.resize(scene.placements.size());
    boxes_.resize(scene.placements.size());
    Matrix matrix;
    std::vector<float> points;
    for (size_t i = 0; i < scene.placements.size(); ++i) {
      StopPointEvery(i);
      bool finite;
      shown_[i] = pose_.Place(i, matrix, &finite);
      if (!finite)
        warnings_.push_back(Describe(i) +
                            " is left out at this frame: its place is not a "
                            "finite number");
      if (!shown_[i]) continue;
      ++drawn_;
      points.clear();
      placed.Add(i, points);
      for (size_t p = 0; p + 2 < points.size(); p += 3)
        boxes_[i].Add(&points[p]);
      all_.Add(boxes_[i]);
    }
  }

  double frame() const { return frame_; }
  size_t drawn() const { return drawn_; }
  const Box& all() const { return all_; }
  bool vertices() const { return vertices_; }
  bool Shown(size_t i) const { return shown_[i]; }
  std::vector<std::string>& warnings() { return warnings_; }
  const Box& BoxOf(size_t i) const { return boxes_[i]; }
  const std::string& NameOf(size_t i) const {
    const Placement& p = scene_.placements[i];
    return p.node >= 0 ? scene_.keyframer.NameOf(scene_.keyframer.nodes[p.node])
                       : scene_.meshes[p.mesh].name;
  }
  const std::string& InstanceOf(size_t i) const {
    const Placement& p = scene_.placements[i];
    static const std::string kNone;
    return p.node >= 0
               ? scene_.keyframer.InstanceOf(scene_.keyframer.nodes[p.node])
               : kNone;
  }

 private:
  std::string Describe(size_t i) const {
    return "mesh \"" + scene_.meshes[scene_.placements[i].mesh].name +
           "\" placed by node \"" + NameOf(i) + "\"";
  }

  const Scene& scene_;
  double frame_;
  ScenePose pose_;
  bool vertices_ = true;
  std::vector<bool> shown_;
  std::vector<Box> boxes_;
  size_t drawn_ = 0;
  Box all_;
  std::vector<std::string> warnings_;
};

// What the boxes are taken from: "vertices" or "corners".
const char* BoxesFrom(const Posed& posed) {
  return posed.vertices() ? "vertices" : "corners";
}

// The cameras that stand somewhere finite at the frame; the others give a
// warning.
std::vector<SceneCamera> CamerasAt(const Scene& scene, double frame,
                                   std::vector<std::string>& warnings) {
  std::vector<SceneCamera> cameras;
  const ScenePose pose(scene, frame);
  for (const SceneCamera& stored : scene.cameras) {
    SceneCamera at;
    if (CameraAt(pose, stored, frame, at))
      cameras.push_back(at);
    else
      warnings.push_back("camera \"" + stored.name +
                         "\" is left out at this frame: a number of it is "
                         "not finite");
  }
  return cameras;
}

// The lights that stand somewhere at the frame; the others give a warning.
std::vector<SceneLight> LightsAt(const Scene& scene, double frame,
                                 std::vector<std::string>& warnings) {
  std::vector<SceneLight> lights;
  if (scene.lights.empty()) return lights;  // no pose to make
  const ScenePose pose(scene, frame);
  for (const SceneLight& stored : scene.lights) {
    SceneLight at;
    if (LightAt(pose, stored, frame, at))
      lights.push_back(at);
    else
      warnings.push_back("light \"" + stored.name +
                         "\" is left out at this frame: its position or "
                         "target is not finite or is beyond 1e30, or it is a "
                         "spot that points at itself");
  }
  return lights;
}

// Whether the file has an ambient light: stored, or animated by its node.
bool HasAmbient(const Scene& scene) {
  const AmbientLight& ambient = scene.environment.ambient;
  return ambient.stored ||
         (ambient.node >= 0 &&
          !scene.keyframer.LightTracksOf(ambient.node).colour.empty());
}

// ---- JSON -------------------------------------------------------------------

json Triple(const float* v) { return json::array({v[0], v[1], v[2]}); }

// A box around nothing is null.
json BoxJson(const Box& box) {
  if (!box.bounded) return nullptr;
  return {{"low", Triple(box.low)}, {"high", Triple(box.high)}};
}

// A value as it stands at `depth` in the document: the layout of one
// document dumped whole, one space an indent; or all on one line.
std::string Dumped(const json& value, int depth, bool oneline) {
  const std::string text =
      value.dump(oneline ? -1 : 1, ' ', false, json::error_handler_t::replace);
  if (oneline) return text;
  std::string indented;
  for (char c : text) {
    indented += c;
    if (c == '\n') indented.append(static_cast<size_t>(depth), ' ');
  }
  return indented;
}

// Writes one JSON document, member by member, in the order that a whole
// document's dump gives (by key): laid out over lines, or on one line.
class JsonWriter {
 public:
  JsonWriter(InfoOutput& out, bool oneline) : out_(out), oneline_(oneline) {}
  void Member(const std::string& key, const json& value) {
    Key(key);
    out_.Write(Dumped(value, 1, oneline_));
  }
  // An array whose items `each` writes through Item.
  template <class Each>
  void Array(const std::string& key, Each each) {
    Key(key);
    items_ = 0;
    out_.Write("[");
    each();
    out_.Write(items_ && !oneline_ ? "\n ]" : "]");
  }
  void Item(const json& value) {
    if (items_++) out_.Write(",");
    out_.Write((oneline_ ? "" : "\n  ") + Dumped(value, 2, oneline_));
  }
  void End() { out_.Write(!members_ ? "{}\n" : oneline_ ? "}\n" : "\n}\n"); }

 private:
  void Key(const std::string& key) {
    out_.Write(members_++ ? "," : "{");
    out_.Write((oneline_ ? "" : "\n ") + json(key).dump() +
               (oneline_ ? ":" : ": "));
  }
  InfoOutput& out_;
  const bool oneline_;
  int members_ = 0;
  size_t items_ = 0;
};

json NodeJson(const Scene& scene, const Posed& posed, size_t i) {
  const SceneMesh& mesh = scene.meshes[scene.placements[i].mesh];
  return {{"name", Latin1ToUtf8(posed.NameOf(i))},
          {"instance", Latin1ToUtf8(posed.InstanceOf(i))},
          {"mesh", Latin1ToUtf8(mesh.name)},
          {"vertices", mesh.filevertices},
          {"faces", mesh.faces},
          {"box", BoxJson(posed.BoxOf(i))}};
}

// A map's image (null without one) and where it is found, its amount and
// tiling.
json MapFields(const TextureMap& map, const ImageFinder& find) {
  const bool named = !map.image.empty();
  const std::string found = named ? find(map.image) : std::string();
  return {{"stored", named ? json(Latin1ToUtf8(map.image)) : json(nullptr)},
          {"file", found.empty() ? json(nullptr) : json(PathToUtf8(found))},
          {"amount", map.amount},
          {"scale", {map.tiling.scale[0], map.tiling.scale[1]}},
          {"offset", {map.tiling.offset[0], map.tiling.offset[1]}},
          {"rotation", map.tiling.rotation},
          {"mirrored", map.Mirrored()},
          {"tiled", !map.Untiled()}};
}

// A map that names an image; null for none.
json MapJson(const TextureMap& map, const ImageFinder& find) {
  return map.image.empty() ? json(nullptr) : MapFields(map, find);
}

// A reflection map without an image is automatic (of the scene around the
// faces), which the viewer does not draw.
json ReflectionJson(const SceneMaterial& m, const ImageFinder& find) {
  if (!m.reflectionmap.stored) return nullptr;
  json map = MapFields(m.reflectionmap, find);
  map["automatic"] = m.AutomaticReflection();
  return map;
}

const char* ShadingName(const SceneMaterial& m) {
  static const char* const kNames[] = {"wire", "flat", "gouraud", "phong",
                                       "metal"};
  return m.wire ? "wire" : kNames[static_cast<int>(m.shading)];
}

json MaterialJson(const SceneMaterial& m, const ImageFinder& find) {
  return {{"name", Latin1ToUtf8(m.name)},
          {"diffuse", Triple(m.diffuse)},
          {"specular", Triple(m.specular)},
          {"shininess", m.shininess},
          {"transparency", m.transparency},
          {"two_sided", m.twosided},
          {"shading", ShadingName(m)},
          {"texture", MapJson(m.texture, find)},
          {"specular_map", MapJson(m.specularmap, find)},
          {"opacity_map", MapJson(m.opacitymap, find)},
          {"bump_map", MapJson(m.bumpmap, find)},
          {"reflection_map", ReflectionJson(m, find)}};
}

json CameraJson(const SceneCamera& c) {
  return {{"name", Latin1ToUtf8(c.name)},
          {"position", Triple(c.position)},
          {"target", Triple(c.target)},
          {"roll", c.roll},
          {"lens", c.lens}};
}

json LightJson(const SceneLight& l) {
  const bool spot = l.kind == LightKind::kSpot;
  auto ifspot = [&](const json& value) { return spot ? value : json(nullptr); };
  return {{"name", Latin1ToUtf8(l.name)},
          {"kind", spot ? "spot" : "omni"},
          {"position", Triple(l.position)},
          {"target", ifspot(Triple(l.target))},
          {"colour", Triple(l.colour)},
          {"multiplier", l.multiplier},
          {"hotspot", ifspot(l.hotspot)},
          {"falloff", ifspot(l.falloff)},
          {"roll", ifspot(l.roll)},
          {"off", l.off},
          {"attenuation",
           {{"on", l.attenuated}, {"inner", l.inner}, {"outer", l.outer}}}};
}

json AmbientJson(const Scene& scene, double frame) {
  if (!HasAmbient(scene)) return nullptr;
  float colour[3];
  AmbientAt(scene, frame, colour);
  return Triple(colour);
}

const char* BackgroundUse(const Background& b) {
  static const char* const kUses[] = {"none", "solid", "gradient"};
  return kUses[b.use];
}

json BackgroundJson(const Background& b) {
  return {{"solid", b.solid ? Triple(b.colour) : json(nullptr)},
          {"gradient", b.gradient ? json{{"top", Triple(b.top)},
                                         {"middle", Triple(b.middle)},
                                         {"bottom", Triple(b.bottom)},
                                         {"midpoint", b.midpoint}}
                                  : json(nullptr)},
          {"use", BackgroundUse(b)}};
}

json FogJson(const Fog& f) {
  if (!f.stored) return nullptr;
  return {{"near", f.nearplane},
          {"near_density", f.neardensity},
          {"far", f.farplane},
          {"far_density", f.fardensity},
          {"colour", Triple(f.colour)},
          {"background", f.background},
          {"use", f.use}};
}

// ---- Text -------------------------------------------------------------------

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

// Names with control bytes, quotes and backslashes written as \xNN, so that
// each stays on its line and reads back as it was.
std::string Clean(const std::string& name) { return Printable(name, "\"\\"); }

std::string MeshLine(const Scene& scene, const Posed& posed, size_t i) {
  const SceneMesh& mesh = scene.meshes[scene.placements[i].mesh];
  const std::string& instance = posed.InstanceOf(i);
  std::ostringstream line;
  line << "  mesh \"" << Clean(posed.NameOf(i)) << "\""
       << (instance.empty() ? "" : " (instance \"" + Clean(instance) + "\")")
       << ": " << mesh.filevertices << " vertices, " << mesh.faces
       << " faces, box " << BoxText(posed.BoxOf(i)) << "\n";
  return line.str();
}

std::string MapText(const char* what, const TextureMap& map,
                    const ImageFinder& find) {
  if (map.image.empty()) return "";
  const std::string found = find(map.image);
  return std::string(", ") + what + " \"" + Clean(map.image) + "\" " +
         (found.empty() ? "missing" : "found as " + Clean(found));
}

// The bump and reflection maps, with their amounts; a reflection map
// without an image is automatic, and not drawn.
std::string BumpAndReflectionText(const SceneMaterial& m,
                                  const ImageFinder& find) {
  std::ostringstream text;
  if (!m.bumpmap.image.empty())
    text << MapText("bump map", m.bumpmap, find) << ", amount "
         << m.bumpmap.amount;
  if (m.reflectionmap.stored)
    text << (m.AutomaticReflection()
                 ? ", reflection map automatic (not drawn)"
                 : MapText("reflection map", m.reflectionmap, find))
         << ", amount " << m.reflectionmap.amount;
  return text.str();
}

std::string MaterialLine(const SceneMaterial& m, const ImageFinder& find) {
  std::ostringstream line;
  line << "  material \"" << Clean(m.name) << "\": diffuse "
       << Numbers(m.diffuse, 3) << ", specular " << Numbers(m.specular, 3)
       << ", shininess " << m.shininess << ", transparency " << m.transparency
       << (m.twosided ? ", two-sided" : "") << ", " << ShadingName(m)
       << MapText("texture", m.texture, find)
       << MapText("specular map", m.specularmap, find)
       << MapText("opacity map", m.opacitymap, find)
       << BumpAndReflectionText(m, find) << "\n";
  return line.str();
}

std::string CameraLine(const SceneCamera& c) {
  std::ostringstream line;
  line << "  camera \"" << Clean(c.name) << "\": at " << Numbers(c.position, 3)
       << ", looking at " << Numbers(c.target, 3) << ", roll " << c.roll
       << ", lens " << c.lens << " mm\n";
  return line.str();
}

std::string LightLine(const SceneLight& l) {
  std::ostringstream line;
  line << "  light \"" << Clean(l.name) << "\": ";
  if (l.kind == LightKind::kSpot)
    line << "spot at " << Numbers(l.position, 3) << ", pointing at "
         << Numbers(l.target, 3) << ", hotspot " << l.hotspot << ", falloff "
         << l.falloff << ", roll " << l.roll;
  else
    line << "omni at " << Numbers(l.position, 3);
  line << ", colour " << Numbers(l.colour, 3) << ", multiplier " << l.multiplier
       << (l.off ? ", off" : "") << ", attenuation "
       << (l.attenuated ? "on" : "off") << " from " << l.inner << " to "
       << l.outer << "\n";
  return line.str();
}

// The ambient light, background and fog, where the file has them.
std::string EnvironmentText(const Scene& scene, double frame) {
  std::ostringstream text;
  if (HasAmbient(scene)) {
    float colour[3];
    AmbientAt(scene, frame, colour);
    text << "  ambient light " << Numbers(colour, 3) << "\n";
  }
  const Background& b = scene.environment.background;
  if (b.solid || b.gradient) {
    text << "  background:";
    if (b.solid) text << " solid " << Numbers(b.colour, 3) << ";";
    if (b.gradient)
      text << " gradient from top " << Numbers(b.top, 3) << " through "
           << Numbers(b.middle, 3) << " at " << b.midpoint << " to bottom "
           << Numbers(b.bottom, 3) << ";";
    static const char* const kShown[] = {
        "shows neither", "shows the solid colour", "shows the gradient"};
    text << " " << kShown[b.use] << "\n";
  }
  const Fog& f = scene.environment.fog;
  if (f.stored)
    text << "  fog: from " << f.nearplane << " (density " << f.neardensity
         << ") to " << f.farplane << " (density " << f.fardensity
         << "), colour " << Numbers(f.colour, 3)
         << (f.background ? ", over the background too" : "")
         << (f.use ? ", used" : ", not used") << "\n";
  return text.str();
}

// ---- Outputs ----------------------------------------------------------------

class StringOutput : public InfoOutput {
 public:
  void Write(const std::string& text) override { text_ += text; }
  bool Failed() const override { return false; }
  std::string text_;
};

// Standard output, each write checked; the first failure keeps its reason.
class StandardOutput : public InfoOutput {
 public:
  void Write(const std::string& text) override {
    if (error_ == 0 &&
        std::fwrite(text.data(), 1, text.size(), stdout) != text.size())
      error_ = errno ? errno : EIO;
  }
  bool Failed() const override { return error_ != 0; }
  // Flushes what is buffered; false, with the reason, when anything failed.
  bool Finish(std::string& why) {
    if (error_ == 0 && std::fflush(stdout) != 0) error_ = errno ? errno : EIO;
    if (error_ != 0) why = std::strerror(error_);
    return error_ == 0;
  }

 private:
  int error_ = 0;
};

// The frame asked for (-1: the segment's start), as the picture shows it.
double InfoFrame(const Scene& scene, long frame) {
  const Keyframer& kf = scene.keyframer;
  return AnimationFrame(kf, frame >= 0 ? frame : kf.start, 0);
}

}  // namespace

void WriteInfoJson(const Scene& scene, const std::string& file, long frame,
                   const ImageFinder& find, InfoOutput& out, bool oneline) {
  Posed posed(scene, InfoFrame(scene, frame));
  const std::vector<SceneCamera> cameras =
      CamerasAt(scene, posed.frame(), posed.warnings());
  const std::vector<SceneLight> lights =
      LightsAt(scene, posed.frame(), posed.warnings());
  JsonWriter json(out, oneline);
  json.Member("ambient", AmbientJson(scene, posed.frame()));
  json.Member("background", BackgroundJson(scene.environment.background));
  json.Member("box", BoxJson(posed.all()));
  json.Member("box_from", BoxesFrom(posed));
  json.Array("cameras", [&] {
    for (const SceneCamera& c : cameras) json.Item(CameraJson(c));
  });
  json.Member("file", PathToUtf8(file));
  json.Member("fog", FogJson(scene.environment.fog));
  json.Member("frame", static_cast<long>(posed.frame()));
  json.Member("frames", {static_cast<long>(scene.keyframer.start),
                         static_cast<long>(scene.keyframer.end)});
  json.Array("lights", [&] {
    for (const SceneLight& l : lights) json.Item(LightJson(l));
  });
  json.Array("materials", [&] {
    for (const SceneMaterial& m : scene.materials)
      json.Item(MaterialJson(m, find));
  });
  json.Member("models", scene.models);
  json.Array("nodes", [&] {
    for (size_t i = 0; i < scene.placements.size() && !out.Failed(); ++i) {
      StopPointEvery(i);
      if (posed.Shown(i)) json.Item(NodeJson(scene, posed, i));
    }
  });
  json.Array("warnings", [&] {
    for (const std::string& w : scene.warnings) json.Item(Latin1ToUtf8(w));
    for (const std::string& w : posed.warnings()) json.Item(Latin1ToUtf8(w));
  });
  json.End();
}

void WriteInfoText(const Scene& scene, const std::string& file, long frame,
                   const ImageFinder& find, InfoOutput& out,
                   std::vector<std::string>& warnings) {
  Posed posed(scene, InfoFrame(scene, frame));
  const std::vector<SceneCamera> cameras =
      CamerasAt(scene, posed.frame(), posed.warnings());
  const std::vector<SceneLight> lights =
      LightsAt(scene, posed.frame(), posed.warnings());
  std::ostringstream head;
  head << Clean(file) << ": " << scene.models << " models, " << posed.drawn()
       << " drawn, frame " << posed.frame() << " of " << scene.keyframer.start
       << " to " << scene.keyframer.end << ", box " << BoxText(posed.all())
       << (posed.vertices() ? ", boxes from the vertices"
                            : ", boxes from the corners of each mesh's box")
       << "\n";
  out.Write(head.str());
  for (size_t i = 0; i < scene.placements.size() && !out.Failed(); ++i) {
    StopPointEvery(i);
    if (posed.Shown(i)) out.Write(MeshLine(scene, posed, i));
  }
  for (const SceneMaterial& m : scene.materials)
    out.Write(MaterialLine(m, find));
  for (const SceneCamera& c : cameras) out.Write(CameraLine(c));
  for (const SceneLight& l : lights) out.Write(LightLine(l));
  out.Write(EnvironmentText(scene, posed.frame()));
  warnings = posed.warnings();
}

std::string InfoText(const Scene& scene, const std::string& file, long frame,
                     const ImageFinder& find) {
  StringOutput out;
  std::vector<std::string> warnings;
  WriteInfoText(scene, file, frame, find, out, warnings);
  return out.text_;
}

std::string InfoJson(const Scene& scene, const std::string& file, long frame,
                     const ImageFinder& find) {
  StringOutput out;
  WriteInfoJson(scene, file, frame, find, out, false);
  return out.text_;
}

namespace {

// One file's information; false, with the reason, when it is refused.
bool WriteFileInfo(const Options& options, const std::string& file,
                   const Messages& messages, InputFiles& inputs,
                   InfoOutput& out, std::string& why) {
  Scene scene;
  if (!LoadScene(file, false, messages, inputs, scene, why)) return false;
  FileNames names(FolderOf(file));
  const ImageFinder find = [&](const std::string& stored) {
    std::string path, why;
    FileId id;
    return FindMap(names, stored, path, id, why) ? path : std::string();
  };
  std::vector<std::string> warnings;
  if (options.info == Options::kInfoJson)
    WriteInfoJson(scene, file, options.frame, find, out,
                  options.files.size() > 1);
  else
    WriteInfoText(scene, file, options.frame, find, out, warnings);
  for (const std::string& warning : warnings)
    messages.Warn(file + ": " + warning);
  return true;
}

}  // namespace

int RunInfo(const Options& options, const Messages& messages,
            InputFiles& inputs) {
  StandardOutput out;
  size_t refused = 0;
  for (const std::string& file : options.files) {
    if (out.Failed()) break;
    std::string why;
    if (WriteFileInfo(options, file, messages, inputs, out, why)) continue;
    if (options.files.size() == 1) messages.Fail(why);
    messages.Warn(why);
    ++refused;
  }
  std::string why;
  if (!out.Finish(why)) messages.Fail("cannot write the information: " + why);
  return refused ? 1 : 0;
}
