#include <sstream>

#include "base/file_names.h"
#include "base/messages.h"
#include "base/stop.h"
#include "info/info.h"
#include "info/posed.h"

namespace {

std::string Numbers(const float* v, int n) {
  std::ostringstream text;
  for (int k = 0; k < n; ++k) text << (k ? " " : "") << v[k];
  return text.str();
}

std::string BoxText(const InfoBox& box) {
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

}  // namespace

void WriteInfoText(const Scene& scene, const std::string& file, long frame,
                   const ImageFinder& find, InfoOutput& out,
                   std::vector<std::string>& warnings) {
  Posed posed(scene, InfoFrame(scene, frame));
  const std::vector<SceneCamera> cameras = CamerasAt(posed);
  const std::vector<SceneLight> lights = LightsAt(posed);
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
