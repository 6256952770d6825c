#include "render/scene_renderer.h"

#include <algorithm>
#include <cmath>

#include "base/stop.h"

namespace {

// The GL's shininess exponent that a material's full shininess gives.
const GLfloat kMaxShininessExponent = 128.0f;

// The GL is waited for once it has been given this much work since it was
// last: faces (each call counting kCallFaces more, for what it costs
// besides them), or pixels (samples, where the picture is multisampled)
// that they are taken to fill (coverage.h). Each
// slice takes a small part of a second, so a stop is seen within one; and
// a software GL, which keeps every vertex given to it until it has drawn
// them, keeps its memory within a bound.
const double kSliceFaces = 150000;
const double kCallFaces = 32;
const double kSlicePixels = 4e6;

// How steep a bump map's bumps are at 100 %: a slope of 4 for a change of
// the map's brightness from black to white over one of its texels.
const float kBumpSlope = 4.0f;

// The texture matrix of a map's tiling: scaled, turned about the image's
// centre, then offset; the image repeats beyond its edges.
void UseTiling(const Tiling& t) {
  glMatrixMode(GL_TEXTURE);
  glLoadIdentity();
  glTranslatef(t.offset[0], t.offset[1], 0.0f);
  glTranslatef(0.5f, 0.5f, 0.0f);
  glRotatef(t.rotation, 0.0f, 0.0f, 1.0f);
  glTranslatef(-0.5f, -0.5f, 0.0f);
  glScalef(t.scale[0], t.scale[1], 1.0f);
  glMatrixMode(GL_MODELVIEW);
}

void UseProjection(const Projection& p, const Matrix& view) {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(p.fovy, p.aspect, p.nearplane, p.farplane);
  glMatrixMode(GL_MODELVIEW);
  glLoadMatrixf(view.data());
}

}  // namespace

void SceneRenderer::SetUpState() {
  // The state that the bundled program starts from, as far as it counts
  // here: wireframe lines are smoothed.
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LEQUAL);
  glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
  glEnable(GL_LINE_SMOOTH);
  glHint(GL_POLYGON_SMOOTH_HINT, GL_NICEST);
  glEnable(GL_LIGHTING);
  look_.SetUpStudio(shading_);
  // Faces seen from behind (open meshes, faces wound either way) are lit
  // as well as those seen from the front.
  glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, GL_TRUE);
  glEnable(GL_COLOR_MATERIAL);
  glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
  // Highlights on textured faces too: the specular term is added after the
  // texture.
  glLightModeli(GL_LIGHT_MODEL_COLOR_CONTROL, GL_SEPARATE_SPECULAR_COLOR);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_NORMAL_ARRAY);
  // The keyframer's scales would change the normals' length.
  glEnable(GL_NORMALIZE);
  shaderwarning_.clear();
  if (!objects_.SetUpShading(shaderwarning_))
    shaderwarning_ = "lit per vertex: " + shaderwarning_;
  mapswarning_.clear();
  if (!shading_.Ready() && HasDrawnBumpsOrReflections(scene_))
    mapswarning_ = "bump and reflection maps are not drawn: lit per vertex";
}

// Cut out: an opacity map of only black and white (or of alpha only 0
// and 255, where its alpha counts), drawn with the opaque faces where
// shaders can test it.
bool SceneRenderer::Cutout(int material, bool hascoords) const {
  if (material < 0 || !hascoords || !shading_.Ready()) return false;
  const Texture& opacity = textures_.Of(material).opacity;
  return opacity.name && (scene_.materials[material].opacitymap.AlphaSource()
                              ? opacity.alphaonoff
                              : opacity.blackandwhite);
}

// Blended: a transparent material, a texture whose alpha some pixel uses,
// or an opacity map that is not a cut-out (on a mesh that shows them).
bool SceneRenderer::Transparent(int material, bool hascoords) const {
  if (material < 0) return false;
  const MaterialTextures& t = textures_.Of(material);
  const bool opacity = t.opacity.name && shading_.Ready();
  return scene_.materials[material].transparency > 0 ||
         (hascoords &&
          (t.texture.alpha || (opacity && !Cutout(material, hascoords))));
}

namespace {

// Binds a map's texture on texture unit `unit`, repeated, mirrored or held
// at its edges as the map says, and lays it on the faces by its tiling.
void BindMap(int unit, const Texture& texture, const TextureMap& map) {
  glActiveTexture(GL_TEXTURE0 + unit);
  glBindTexture(GL_TEXTURE_2D, texture.name);
  const GLint wrap = map.Untiled()    ? GL_CLAMP_TO_EDGE
                     : map.Mirrored() ? GL_MIRRORED_REPEAT
                                      : GL_REPEAT;
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrap);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrap);
  UseTiling(map.tiling);
  glActiveTexture(GL_TEXTURE0);
}

}  // namespace

// The material's colours and maps, and how its faces are lit: a textured
// face shows its image under the light, any other face the diffuse colour
// of its material, or the neutral grey. Highlights come from the specular
// colour times its strength (times the specular map), added after the
// texture; a transparent material lets 1 - transparency of what is behind
// through, and an opacity map what it says.
void SceneRenderer::UseMaterial(int material, bool hascoords, bool wireframe) {
  static const SceneMaterial kNone;
  const SceneMaterial& m = material >= 0 ? scene_.materials[material] : kNone;
  const MaterialTextures& t = textures_.Of(hascoords ? material : -1);
  Look look;
  look.shading = m.wire ? Shading::kWire : m.shading;
  look.textured = t.texture.name != 0;
  look.specularmapped = t.specular.name != 0;
  look.opacitymapped = t.opacity.name != 0;
  look.alphasource = m.opacitymap.AlphaSource();
  look.cutout = Cutout(material, hascoords);
  if (look.textured) BindMap(kColourUnit, t.texture, m.texture);
  if (look.specularmapped) BindMap(kSpecularUnit, t.specular, m.specularmap);
  if (look.opacitymapped) BindMap(kOpacityUnit, t.opacity, m.opacitymap);
  if (shading_.Ready()) UseBumpsAndReflections(material, hascoords, look);
  SetColours(m, look.textured);
  if (!shading_.Ready() ||
      !shading_.Use(look, m.shininess > 0 && m.strength > 0)) {
    if (look.textured)
      glEnable(GL_TEXTURE_2D);
    else
      glDisable(GL_TEXTURE_2D);
    glShadeModel(look.shading == Shading::kFlat ? GL_FLAT : GL_SMOOTH);
  }
  const bool lines = wireframe || look.shading == Shading::kWire;
  glPolygonMode(GL_FRONT_AND_BACK, lines ? GL_LINE : GL_FILL);
}

// A bump map where the faces have mapping coordinates; a reflection map,
// sphere-mapped, on any face.
void SceneRenderer::UseBumpsAndReflections(int material, bool hascoords,
                                           Look& look) {
  if (material < 0) return;
  const SceneMaterial& m = scene_.materials[material];
  const MaterialTextures& t = textures_.Of(material);
  if (hascoords && t.bump.name && t.bump.width > 0 && t.bump.height > 0) {
    look.bumpmapped = true;
    look.bumpuntiled = m.bumpmap.Untiled();
    look.bumptexel[0] = 1.0f / t.bump.width;
    look.bumptexel[1] = 1.0f / t.bump.height;
    look.bump = kBumpSlope * m.bumpmap.amount;
    BindMap(kBumpUnit, t.bump, m.bumpmap);
  }
  if (t.reflection.name) {
    look.reflectionmapped = true;
    look.reflection = m.reflectionmap.amount;
    BindMap(kReflectionUnit, t.reflection, m.reflectionmap);
  }
}

void SceneRenderer::SetColours(const SceneMaterial& m, bool textured) {
  const float alpha = 1.0f - m.transparency;
  if (textured)
    glColor4f(1.0f, 1.0f, 1.0f, alpha);
  else
    glColor4f(m.diffuse[0], m.diffuse[1], m.diffuse[2], alpha);
  // A shininess of 0 would make the exponent 0: the "highlight" would then
  // cover every lit face alike and wash it out, so it means none.
  const float level = m.shininess > 0 ? m.strength : 0.0f;
  const GLfloat specular[4] = {m.specular[0] * level, m.specular[1] * level,
                               m.specular[2] * level, 1.0f};
  const GLfloat glow[4] = {m.diffuse[0] * m.selfillumination,
                           m.diffuse[1] * m.selfillumination,
                           m.diffuse[2] * m.selfillumination, 1.0f};
  glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, specular);
  glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS,
              kMaxShininessExponent * m.shininess);
  glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, glow);
}

// Whether each mesh has a group that is blended.
std::vector<bool> SceneRenderer::BlendedMeshes() const {
  std::vector<bool> blended(scene_.meshes.size(), false);
  for (size_t m = 0; m < scene_.meshes.size(); ++m) {
    const SceneMesh& mesh = scene_.meshes[m];
    for (const FaceGroup& group : mesh.groups)
      if (Transparent(group.material, !mesh.coords.empty())) blended[m] = true;
  }
  return blended;
}

// Placement i's mesh in its place, its vertex arrays set. A mirrored
// placement's faces still face out: the winding that counts as the front
// is turned with it.
const SceneMesh& SceneRenderer::Enter(size_t i, const Matrix& matrix) {
  const Placement& placement = scene_.placements[i];
  const SceneMesh& mesh = scene_.meshes[placement.mesh];
  glPushMatrix();
  entered_ = true;
  const bool moved = placement.node >= 0;
  if (moved) glMultMatrixf(matrix.data());
  glFrontFace(moved && Mirrors(matrix) ? GL_CW : GL_CCW);
  glVertexPointer(3, GL_FLOAT, 0, mesh.vertices.data());
  glNormalPointer(GL_FLOAT, 0, mesh.normals.data());
  if (!mesh.coords.empty()) {
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glTexCoordPointer(2, GL_FLOAT, 0, mesh.coords.data());
  } else {
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  }
  return mesh;
}

void SceneRenderer::Leave() {
  glPopMatrix();
  entered_ = false;
}

// Work given to the GL; once a slice is full, waits for the GL, then stops
// the run or gives the frame up where asked.
void SceneRenderer::Queue(size_t faces, double pixels, const FrameView& frame) {
  queuedwork_ += faces + kCallFaces;
  queuedpixels_ += pixels * samples_;
  if (queuedwork_ < kSliceFaces && queuedpixels_ < kSlicePixels) return;
  glFinish();
  queuedwork_ = queuedpixels_ = 0;
  StopPoint();
  if (frame.giveup && frame.giveup()) throw GivenUp();
}

// The group's first `faces` faces, in calls of at most what is left of a
// slice.
void SceneRenderer::DrawGroup(const SceneMesh& mesh, const FaceGroup& group,
                              size_t faces, double facepixels,
                              const FrameView& frame) {
  UseMaterial(group.material, !mesh.coords.empty(), frame.wireframe);
  for (size_t done = 0; done < faces;) {
    double room = kSliceFaces - kCallFaces - queuedwork_;
    if (facepixels > 0)
      room = std::min(room,
                      (kSlicePixels - queuedpixels_) / (facepixels * samples_));
    const size_t n = std::min(
        faces - done, static_cast<size_t>(std::max(1.0, std::floor(room))));
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(3 * n), GL_UNSIGNED_INT,
                   group.corners.data() + 3 * done);
    done += n;
    Queue(n, n * facepixels, frame);
  }
}

// The opaque groups of the planned placements, drawn; the transparent
// ones, with the depth of their box's centre, for later. A placement's
// faces are counted in its groups' order.
std::vector<SceneRenderer::Later> SceneRenderer::DrawOpaque(
    const FrameView& frame, const FramePlan& plan) {
  std::vector<Later> later;
  Matrix matrix;
  for (size_t k = 0; k < plan.placements.size(); ++k) {
    StopPoint();
    const PlannedPlacement& planned = plan.placements[k];
    frame.pose->Place(planned.placement, matrix);
    const SceneMesh& mesh = Enter(planned.placement, matrix);
    size_t left = planned.faces;
    for (size_t g = 0; g < mesh.groups.size() && left > 0; ++g) {
      const FaceGroup& group = mesh.groups[g];
      const size_t faces = std::min(left, group.corners.size() / 3);
      left -= faces;
      if (!Transparent(group.material, !mesh.coords.empty())) {
        if (!planned.copy)
          DrawGroup(mesh, group, faces, planned.facepixels, frame);
        continue;
      }
      float eye[3];
      const Matrix to_eye = scene_.placements[planned.placement].node >= 0
                                ? Multiply(frame.view, matrix)
                                : frame.view;
      Transform(to_eye, group.centre, eye);
      later.push_back({eye[2], k, g, faces});
    }
    Leave();
  }
  return later;
}

// From far to near, blended, without writing depth.
void SceneRenderer::DrawTransparent(const FrameView& frame,
                                    const FramePlan& plan,
                                    std::vector<Later>& later) {
  if (later.empty()) return;
  std::stable_sort(
      later.begin(), later.end(),
      [](const Later& a, const Later& b) { return a.depth < b.depth; });
  glEnable(GL_BLEND);
  glDepthMask(GL_FALSE);
  Matrix matrix;
  for (const Later& l : later) {
    StopPoint();
    const PlannedPlacement& planned = plan.placements[l.planned];
    frame.pose->Place(planned.placement, matrix);
    const SceneMesh& mesh = Enter(planned.placement, matrix);
    DrawGroup(mesh, mesh.groups[l.group], l.faces, planned.facepixels, frame);
    Leave();
  }
}

std::vector<std::string> SceneRenderer::TakeLookWarnings() {
  std::vector<std::string> warnings = look_.TakeWarnings();
  for (std::string& warning : shading_.TakeWarnings())
    warnings.push_back(std::move(warning));
  return warnings;
}

bool SceneRenderer::Draw(const FrameView& frame) {
  queuedwork_ = queuedpixels_ = 0;
  // A multisampled picture fills each of a pixel's samples.
  GLint samples = 0;
  glGetIntegerv(GL_SAMPLES, &samples);
  samples_ = std::max(1, samples);
  // A tile is the whole picture shifted by whole pixels, so that tiles
  // meet as the picture drawn whole would.
  glViewport(-frame.left, -frame.bottom, frame.width, frame.height);
  if (frame.transparent) {
    // What is behind a transparent face keeps its own share of the alpha.
    glBlendFuncSeparate(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ONE,
                        GL_ONE_MINUS_SRC_ALPHA);
  } else {
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  }
  look_.Clear(frame.filelook, frame.transparent);
  UseProjection(frame.projection, frame.view);
  look_.Light(frame.filelook, *frame.pose, frame.frame, shading_);
  const FramePlan plan = PlanFrame(
      *frame.pose, {frame.width, frame.height, frame.view, frame.projection},
      BlendedMeshes());
  leftout_ = plan.leftout;
  bool whole = true;
  try {
    std::vector<Later> later = DrawOpaque(frame, plan);
    DrawTransparent(frame, plan, later);
  } catch (const GivenUp&) {
    whole = false;
  } catch (...) {  // a stop request, or memory
    EndFrame();
    throw;
  }
  EndFrame();
  return whole;
}

// The state that every frame starts from, however the last one ended: the
// blending pass's and the last material's undone.
void SceneRenderer::EndFrame() {
  if (entered_) Leave();
  glDepthMask(GL_TRUE);
  glDisable(GL_BLEND);
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  glFrontFace(GL_CCW);
  if (shading_.Ready()) shading_.Stop();
}
