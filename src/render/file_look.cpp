#include "render/file_look.h"

#include <algorithm>
#include <cmath>

#include "scene/lighting.h"

namespace {

const double kPi = 3.14159265358979323846;

// Light i as OpenGL starts it: white where it is light 0, black otherwise;
// a point at infinity behind the eye; no cone, no attenuation.
void ResetLight(int i) {
  const GLenum light = GL_LIGHT0 + i;
  static const GLfloat kBlack[4] = {0, 0, 0, 1}, kWhite[4] = {1, 1, 1, 1};
  static const GLfloat kAhead[4] = {0, 0, 1, 0}, kDown[3] = {0, 0, -1};
  glLightfv(light, GL_AMBIENT, kBlack);
  glLightfv(light, GL_DIFFUSE, i == 0 ? kWhite : kBlack);
  glLightfv(light, GL_SPECULAR, i == 0 ? kWhite : kBlack);
  glLightfv(light, GL_POSITION, kAhead);
  glLightfv(light, GL_SPOT_DIRECTION, kDown);
  glLightf(light, GL_SPOT_EXPONENT, 0);
  glLightf(light, GL_SPOT_CUTOFF, 180);
  glLightf(light, GL_CONSTANT_ATTENUATION, 1);
  glLightf(light, GL_LINEAR_ATTENUATION, 0);
  glLightf(light, GL_QUADRATIC_ATTENUATION, 0);
}

// Given under the identity, so they stay put in eye space; directional, so
// they light a model of any size alike. A key light from above and a
// little to the right, a faint fill from the left, and some ambient light
// (with OpenGL's own 0.2): a box shows its top brightest, then its front,
// then its sides, and nothing is washed out.
const GLfloat kKey[4] = {0.3f, 0.5f, 0.8f, 0.0f};
void UseStudioLights() {
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  static const GLfloat fill[4] = {-0.8f, -0.1f, 0.4f, 0.0f};
  static const GLfloat keycolour[4] = {0.7f, 0.7f, 0.7f, 1.0f};
  static const GLfloat fillcolour[4] = {0.25f, 0.25f, 0.25f, 1.0f};
  static const GLfloat ambient[4] = {0.05f, 0.05f, 0.05f, 1.0f};
  glLightfv(GL_LIGHT0, GL_POSITION, kKey);
  glLightfv(GL_LIGHT0, GL_DIFFUSE, keycolour);
  glLightfv(GL_LIGHT1, GL_POSITION, fill);
  glLightfv(GL_LIGHT1, GL_DIFFUSE, fillcolour);
  glLightfv(GL_LIGHT1, GL_AMBIENT, ambient);
  for (GLenum light : {GL_LIGHT0, GL_LIGHT1})
    glLightf(light, GL_LINEAR_ATTENUATION, 0.0f);
  static const GLfloat kOpenGlAmbient[4] = {0.2f, 0.2f, 0.2f, 1.0f};
  glLightModelfv(GL_LIGHT_MODEL_AMBIENT, kOpenGlAmbient);
}

// Only the first lights shine.
void EnableLights(int count) {
  for (int i = 0; i < static_cast<int>(kMostLights); ++i)
    if (i < count)
      glEnable(GL_LIGHT0 + i);
    else
      glDisable(GL_LIGHT0 + i);
}

double CosOfHalf(double degrees) { return std::cos(degrees / 2 * kPi / 180); }

// The exponent with which OpenGL 1.1's spot, which has no soft edge of its
// own, is half as bright halfway between the hotspot's edge and the
// falloff's.
float SpotExponent(const SceneLight& l) {
  const double halfway = CosOfHalf((l.hotspot + l.falloff) / 2);
  if (l.falloff - l.hotspot < 1e-3 || halfway >= 1 || halfway <= 0) return 0;
  return static_cast<float>(std::min(128.0, std::log(0.5) / std::log(halfway)));
}

// Light i as the file's light `l` shines, in the file's coordinates under
// the view's matrix: its colour times its multiplier, a spot's cone, an
// attenuated light's reach. OpenGL 1.1 comes as close as it can: a spot's
// soft edge by an exponent, the reach by light halved halfway through it.
void UseLight(int i, const SceneLight& l, float cone[4]) {
  const GLenum light = GL_LIGHT0 + i;
  const GLfloat position[4] = {l.position[0], l.position[1], l.position[2], 1};
  GLfloat colour[4] = {0, 0, 0, 1};
  for (int k = 0; k < 3; ++k) colour[k] = l.colour[k] * l.multiplier;
  glLightfv(light, GL_POSITION, position);
  glLightfv(light, GL_DIFFUSE, colour);
  glLightfv(light, GL_SPECULAR, colour);
  const bool spot = l.kind == LightKind::kSpot;
  cone[0] = cone[1] = -2;  // every direction at full light
  if (spot) {
    double towards[3], length = 0;
    for (int k = 0; k < 3; ++k) {
      towards[k] = double(l.target[k]) - l.position[k];
      length += towards[k] * towards[k];
    }
    length = std::sqrt(length);
    const GLfloat direction[3] = {GLfloat(towards[0] / length),
                                  GLfloat(towards[1] / length),
                                  GLfloat(towards[2] / length)};
    glLightfv(light, GL_SPOT_DIRECTION, direction);
    cone[0] = static_cast<float>(CosOfHalf(l.hotspot));
    cone[1] = static_cast<float>(CosOfHalf(l.falloff));
  }
  glLightf(light, GL_SPOT_CUTOFF, spot ? l.falloff / 2 : 180);
  glLightf(light, GL_SPOT_EXPONENT, spot ? SpotExponent(l) : 0);
  const double reach = double(l.inner) + l.outer;
  glLightf(light, GL_LINEAR_ATTENUATION,
           l.attenuated && reach > 0
               ? static_cast<float>(std::min(2 / reach, 1e30))
               : 0);
  cone[2] = l.attenuated ? l.inner : kNoFade;
  cone[3] = l.attenuated ? l.outer : kNoFade;
}

// The file's default light where none of its own is on: white, from the
// studio's key light's direction, fixed to the eye.
void UseDefaultLight(float cone[4]) {
  glPushMatrix();
  glLoadIdentity();
  static const GLfloat kWhite[4] = {1, 1, 1, 1};
  glLightfv(GL_LIGHT0, GL_POSITION, kKey);
  glLightfv(GL_LIGHT0, GL_DIFFUSE, kWhite);
  glLightfv(GL_LIGHT0, GL_SPECULAR, kWhite);
  glLightf(GL_LIGHT0, GL_SPOT_CUTOFF, 180);
  glLightf(GL_LIGHT0, GL_SPOT_EXPONENT, 0);
  glLightf(GL_LIGHT0, GL_LINEAR_ATTENUATION, 0);
  glPopMatrix();
  cone[0] = cone[1] = -2;
  cone[2] = cone[3] = kNoFade;
}

}  // namespace

void FrameLook::SetUpStudio(ShadingProgram& shading) {
  for (int i = 0; i < static_cast<int>(kMostLights); ++i) ResetLight(i);
  UseStudioLights();
  EnableLights(2);
  glDisable(GL_FOG);
  shading.SetLighting(FileLighting());
  filelit_ = false;
}

void FrameLook::Clear(bool filelook, bool transparent) {
  const Background& b = scene_.environment.background;
  if (transparent) {
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
  } else if (!filelook) {
    glClearColor(kBackground, kBackground, kBackground, 1.0f);
  } else {
    float colour[3] = {0, 0, 0};
    if (b.use == Background::kSolid) std::copy(b.colour, b.colour + 3, colour);
    const Fog& fog = scene_.environment.fog;
    if (fog.use && fog.background)
      for (int k = 0; k < 3; ++k)
        colour[k] += (fog.colour[k] - colour[k]) * fog.fardensity;
    glClearColor(colour[0], colour[1], colour[2], 1.0f);
  }
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  if (filelook && !transparent && b.use == Background::kGradient)
    DrawGradient(b);
}

// Top, middle and bottom colours from the picture's top edge to its
// bottom, the middle one at `midpoint` of the height from the bottom;
// behind the fog where the fog covers the background too.
void FrameLook::DrawGradient(const Background& b) {
  const Fog& fog = scene_.environment.fog;
  const float share = fog.use && fog.background ? fog.fardensity : 0;
  float colours[3][3];
  const float* stored[3] = {b.top, b.middle, b.bottom};
  for (int c = 0; c < 3; ++c)
    for (int k = 0; k < 3; ++k)
      colours[c][k] = stored[c][k] + (fog.colour[k] - stored[c][k]) * share;
  const float heights[3] = {1, 2 * b.midpoint - 1, -1};
  glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_LIGHTING_BIT |
               GL_POLYGON_BIT);
  glDisable(GL_LIGHTING);
  glDisable(GL_FOG);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_BLEND);
  glDisable(GL_CULL_FACE);
  glShadeModel(GL_SMOOTH);
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  glBegin(GL_QUAD_STRIP);
  for (int c = 0; c < 3; ++c) {
    glColor3fv(colours[c]);
    glVertex2f(-1, heights[c]);
    glVertex2f(1, heights[c]);
  }
  glEnd();
  glPopMatrix();
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopAttrib();
}

void FrameLook::Light(bool filelook, const ScenePose& pose, double frame,
                      ShadingProgram& shading) {
  if (!filelook) {
    if (!filelit_) return;
    GLfloat view[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, view);
    SetUpStudio(shading);
    glLoadMatrixf(view);
    return;
  }
  filelit_ = true;
  FileLighting lighting;
  lighting.on = true;
  UseFileLights(pose, frame, lighting);
  UseFog(lighting);
  shading.SetLighting(lighting);
}

void FrameLook::UseFileLights(const ScenePose& pose, double frame,
                              FileLighting& lighting) {
  const FrameLighting lit = LightingAt(pose, frame);
  if (lit.on > kMostLights && !saidmany_) {
    saidmany_ = true;
    warnings_.push_back(
        std::to_string(lit.on) + " lights are on at once: the " +
        std::to_string(kMostLights) + " brightest at each frame are drawn");
  }
  const GLfloat ambient[4] = {lit.ambient[0], lit.ambient[1], lit.ambient[2],
                              1};
  glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
  static const GLfloat kNone[4] = {0, 0, 0, 1};
  for (int i = 0; i < static_cast<int>(kMostLights); ++i)
    glLightfv(GL_LIGHT0 + i, GL_AMBIENT, kNone);
  lighting.lights = static_cast<int>(lit.lights.size());
  for (int i = 0; i < lighting.lights; ++i)
    UseLight(i, lit.lights[i], lighting.cones[i]);
  if (lit.lights.empty()) {
    if (!saiddark_) {
      saiddark_ = true;
      warnings_.push_back(
          "no light of the file's is on: lit by its ambient light and a "
          "default light");
    }
    UseDefaultLight(lighting.cones[0]);
    lighting.lights = 1;
  }
  EnableLights(lighting.lights);
}

// The fog by its depth before the eye: the shading program's from its
// planes' densities, OpenGL 1.1's linear fog through the same two points.
void FrameLook::UseFog(FileLighting& lighting) {
  const Fog& fog = scene_.environment.fog;
  lighting.fog = fog.use;
  if (!fog.use) {
    glDisable(GL_FOG);
    return;
  }
  const float planes[4] = {fog.nearplane, fog.neardensity, fog.farplane,
                           fog.fardensity};
  std::copy(planes, planes + 4, lighting.fogplanes);
  const GLfloat colour[4] = {fog.colour[0], fog.colour[1], fog.colour[2], 1};
  // Fog grows from 0 at `start` to 1 at `end`: through the near plane's
  // density and the far one's, or nearly even where they are alike.
  const double rise = std::max(1e-6, double(fog.fardensity) - fog.neardensity);
  const double span = std::max(1e-6, double(fog.farplane) - fog.nearplane);
  const double length = std::min(span / rise, 1e30);
  const double start = fog.nearplane - fog.neardensity * length;
  glFogi(GL_FOG_MODE, GL_LINEAR);
  glFogfv(GL_FOG_COLOR, colour);
  glFogf(GL_FOG_START, static_cast<float>(start));
  glFogf(GL_FOG_END, static_cast<float>(start + length));
  glEnable(GL_FOG);
}

std::vector<std::string> FrameLook::TakeWarnings() {
  std::vector<std::string> taken;
  taken.swap(warnings_);
  return taken;
}
