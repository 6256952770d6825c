#include <nlohmann/json.hpp>

#include "base/file_names.h"
#include "base/messages.h"
#include "base/stop.h"
#include "info/info.h"
#include "info/posed.h"

namespace {

using nlohmann::json;

json Triple(const float* v) { return json::array({v[0], v[1], v[2]}); }

// A box around nothing is null.
json BoxJson(const InfoBox& box) {
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

}  // namespace

void WriteInfoJson(const Scene& scene, const std::string& file, long frame,
                   const ImageFinder& find, InfoOutput& out, bool oneline) {
  Posed posed(scene, InfoFrame(scene, frame));
  const std::vector<SceneCamera> cameras = CamerasAt(posed);
  const std::vector<SceneLight> lights = LightsAt(posed);
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

std::string InfoJson(const Scene& scene, const std::string& file, long frame,
                     const ImageFinder& find) {
  StringOutput out;
  WriteInfoJson(scene, file, frame, find, out, false);
  return out.text_;
}
