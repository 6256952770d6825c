#include "render/shading.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "images/image_files.h"

namespace {

// The lights as the fixed-function state holds them, and the viewer at the
// eye. In the file's look: the global ambient (the file's ambient light),
// and the first LIGHTS lights, each a point (or, for the default light, a
// direction) in eye space whose colour is its diffuse and specular colour,
// a spot's light fading from its hotspot's edge to its falloff's, and an
// attenuated light's from its inner range to its outer one. A program for
// each count of lights: a loop of known length, unrolled, runs at twice
// the speed of one that counts up to a uniform.
const char kLighting[] = R"(
#ifdef FILELOOK
uniform vec4 cones[LIGHTS];
// The share of light i that reaches p, and the direction towards it.
float Share(int i, vec3 p, out vec3 l) {
  vec4 at = gl_LightSource[i].position;
  l = at.xyz - p * at.w;
  float far = length(l);
  l /= far;
  vec4 cone = cones[i];
  float c = dot(-l, gl_LightSource[i].spotDirection);  // a unit vector
  float share = c >= cone.x ? 1.0 : c <= cone.y ? 0.0
                                  : smoothstep(cone.y, cone.x, c);
  if (at.w != 0.0)
    share *= clamp((cone.w - far) / max(cone.w - cone.z, 1e-6), 0.0, 1.0);
  return share;
}
void Light(vec3 n, vec3 p, out vec3 lit, out vec3 highlight) {
  vec3 v = normalize(-p);
  lit = gl_LightModel.ambient.rgb;
  highlight = vec3(0.0);
  for (int i = 0; i < LIGHTS; ++i) {
    vec3 l;
    float share = Share(i, p, l);
    float d = dot(n, l);
    lit += share * max(d, 0.0) * gl_LightSource[i].diffuse.rgb;
#ifdef SHINY
    if (d > 0.0) {
      float h = max(dot(n, normalize(l + v)), 0.0);
      highlight += share * pow(h, gl_FrontMaterial.shininess) *
                   gl_LightSource[i].specular.rgb;
    }
#endif
  }
  highlight *= gl_FrontMaterial.specular.rgb;
}
#else
// In the studio look: the global ambient, and lights 0 and 1, directional,
// in eye space. Light 1 has no specular colour, as OpenGL starts it.
void Light(vec3 n, vec3 p, out vec3 lit, out vec3 highlight) {
  vec3 v = normalize(-p);
  lit = gl_LightModel.ambient.rgb;
  highlight = vec3(0.0);
  for (int i = 0; i < 2; ++i) {
    vec3 l = normalize(gl_LightSource[i].position.xyz);
    float d = dot(n, l);
    lit += gl_LightSource[i].ambient.rgb + max(d, 0.0) *
           gl_LightSource[i].diffuse.rgb;
#ifdef SHINY
    if (d > 0.0) {
      float h = max(dot(n, normalize(l + v)), 0.0);
      highlight += pow(h, gl_FrontMaterial.shininess) *
                   gl_LightSource[i].specular.rgb;
    }
#endif
  }
  highlight *= gl_FrontMaterial.specular.rgb;
}
#endif
)";

// What the vertices pass on to the pixels, declared once for both stages.
const char kVaryings[] = R"(
#ifdef GOURAUD
varying vec3 frontlit, fronthighlight, backlit, backhighlight;
#else
varying vec3 position, normal;
#endif
varying vec2 uv;
)";

// Gouraud shading lights the vertices, front and back; the others pass the
// eye-space position and normal on to each pixel.
const char kVertex[] = R"(
void main() {
  vec4 eye = gl_ModelViewMatrix * gl_Vertex;
  vec3 p = eye.xyz / eye.w;
  vec3 n = normalize(gl_NormalMatrix * gl_Normal);
#ifdef GOURAUD
  Light(n, p, frontlit, fronthighlight);
  Light(-n, p, backlit, backhighlight);
#else
  position = p;
  normal = n;
#endif
  gl_FrontColor = gl_Color;
  uv = gl_MultiTexCoord0.st;
  gl_Position = ftransform();
}
)";

const char kFragment[] = R"(
uniform sampler2D colourmap, specularmap, opacitymap;
uniform bool alphasource;
vec2 At(int unit) { return (gl_TextureMatrix[unit] * vec4(uv, 0.0, 1.0)).st; }
#ifdef BUMPED
uniform sampler2D bumpmap;
// The map's texel across and up, in its coordinates, and how far a step
// from black to white over one texel leans the normal.
uniform vec3 bumping;
uniform bool bumpuntiled;
float Height(vec2 st) {
  return dot(texture2D(bumpmap, st).rgb, BRIGHTNESS);
}
vec3 Unit(vec3 v) {
  float l = length(v);
  return l > 0.0 ? v / l : vec3(0.0);
}
// The normal leant down the map's slope, bright being high. The directions
// in which the map's s and t grow across the surface come from how the
// position and the coordinates change from pixel to pixel, so that no
// tangents are needed.
vec3 Bumped(vec3 n, vec3 p) {
  vec2 st = At(BUMP_UNIT);
  vec3 dpx = dFdx(p), dpy = dFdy(p);
  vec2 dstx = dFdx(st), dsty = dFdy(st);
  vec3 across = cross(dpy, n), up = cross(n, dpx);
  float side = sign(dot(dpx, across));
  vec3 s = Unit(side * (across * dstx.s + up * dsty.s));
  vec3 t = Unit(side * (across * dstx.t + up * dsty.t));
  vec2 ds = vec2(bumping.x, 0.0), dt = vec2(0.0, bumping.y);
  vec3 slope = 0.5 * bumping.z * ((Height(st + ds) - Height(st - ds)) * s +
                                  (Height(st + dt) - Height(st - dt)) * t);
  bool outside = any(lessThan(st, vec2(0.0))) ||
                 any(greaterThan(st, vec2(1.0)));
  return bumpuntiled && outside ? n : normalize(n - slope);
}
#endif
#ifdef REFLECTING
uniform sampler2D reflectionmap;
uniform float reflection;  // the map's amount
// The image sphere-mapped: where the view, reflected off the pixel, meets
// it.
vec3 Reflected(vec3 n, vec3 p) {
  vec3 r = reflect(normalize(p), n);
  r.z += 1.0;
  vec2 st = 0.5 + 0.5 * r.xy / max(length(r), 1e-6);
  return reflection * texture2D(reflectionmap, st).rgb;
}
#endif
#ifdef FOGGY
uniform vec4 fog;  // near plane, its density, far plane, its density
// How thick the fog is at the pixel's depth before the eye.
float Fogged() {
  float depth = 1.0 / gl_FragCoord.w;
  float along = clamp((depth - fog.x) / max(fog.z - fog.x, 1e-6), 0.0, 1.0);
  return mix(fog.y, fog.w, along);
}
#endif
void main() {
  vec3 lit, highlight;
#ifdef GOURAUD
  lit = gl_FrontFacing ? frontlit : backlit;
  highlight = gl_FrontFacing ? fronthighlight : backhighlight;
#else
#ifdef FLAT
  vec3 n = normalize(cross(dFdx(position), dFdy(position)));
  if (dot(n, position) > 0.0) n = -n;
#else
  vec3 n = normalize(normal);
  if (!gl_FrontFacing) n = -n;
#endif
#ifdef BUMPED
  n = Bumped(n, position);
#endif
  Light(n, position, lit, highlight);
#endif
  // As OpenGL 1.1 colours a face: the lit colour times the texture, then
  // the highlight added.
  vec4 texel = vec4(1.0);
#ifdef TEXTURED
  texel = texture2D(colourmap, At(COLOUR_UNIT));
#endif
  vec4 c = vec4(clamp(gl_FrontMaterial.emission.rgb + lit * gl_Color.rgb,
                      0.0, 1.0), gl_Color.a) * texel;
#ifdef METAL
  highlight *= gl_Color.rgb * texel.rgb;
#endif
#ifdef SPECULARMAPPED
  highlight *= texture2D(specularmap, At(SPECULAR_UNIT)).rgb;
#endif
#ifdef REFLECTING
  highlight += Reflected(n, position);
#endif
  c.rgb = clamp(c.rgb + highlight, 0.0, 1.0);
#ifdef FOGGY
  c.rgb = mix(c.rgb, gl_Fog.color.rgb, Fogged());
#endif
#ifdef OPACITYMAPPED
  vec4 o = texture2D(opacitymap, At(OPACITY_UNIT));
  c.a *= alphasource ? o.a : dot(o.rgb, BRIGHTNESS);
#endif
#ifdef CUTOUT
  if (c.a < 0.5) discard;
#endif
  gl_FragColor = c;
}
)";

// Whether the GL has shaders: OpenGL 2.0 or later.
bool HasShaders() {
  const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
  return version && std::atoi(version) >= 2;
}

// What the programs share with the code that feeds them: the maps' texture
// units and the weights of a pixel's brightness.
std::string SharedDefines() {
  std::string defines;
  const struct {
    const char* name;
    TextureUnit unit;
  } units[] = {{"COLOUR_UNIT", kColourUnit},
               {"SPECULAR_UNIT", kSpecularUnit},
               {"OPACITY_UNIT", kOpacityUnit},
               {"BUMP_UNIT", kBumpUnit},
               {"REFLECTION_UNIT", kReflectionUnit}};
  for (const auto& u : units)
    defines += std::string("#define ") + u.name + " " +
               std::to_string(static_cast<int>(u.unit)) + "\n";
  defines += "#define BRIGHTNESS vec3(";
  for (int k = 0; k < 3; ++k)
    defines +=
        (k ? ", " : "") + std::to_string(kBrightnessWeights[k]) + ".0 / 1000.0";
  return defines + ")\n";
}

GLuint Compile(GLenum kind, const std::string& defines, const char* body,
               std::string& why) {
  static const std::string shared = SharedDefines();
  const char* parts[] = {"#version 120\n", shared.c_str(), defines.c_str(),
                         kLighting,        kVaryings,      body};
  const GLuint shader = glCreateShader(kind);
  glShaderSource(shader, 6, parts, nullptr);
  glCompileShader(shader);
  GLint compiled = GL_FALSE;
  glGetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
  if (compiled) return shader;
  std::vector<char> log(1024, '\0');
  glGetShaderInfoLog(shader, static_cast<GLsizei>(log.size()), nullptr,
                     log.data());
  why = std::string("a shader does not compile: ") + log.data();
  glDeleteShader(shader);
  return 0;
}

GLuint Link(const std::string& defines, std::string& why) {
  const GLuint vertex = Compile(GL_VERTEX_SHADER, defines, kVertex, why);
  const GLuint fragment =
      vertex ? Compile(GL_FRAGMENT_SHADER, defines, kFragment, why) : 0;
  if (!fragment) {
    if (vertex) glDeleteShader(vertex);
    return 0;
  }
  GLuint program = glCreateProgram();
  glAttachShader(program, vertex);
  glAttachShader(program, fragment);
  glLinkProgram(program);
  glDeleteShader(vertex);
  glDeleteShader(fragment);
  GLint linked = GL_FALSE;
  glGetProgramiv(program, GL_LINK_STATUS, &linked);
  if (!linked) {
    std::vector<char> log(1024, '\0');
    glGetProgramInfoLog(program, static_cast<GLsizei>(log.size()), nullptr,
                        log.data());
    why = std::string("the shaders do not link: ") + log.data();
    glDeleteProgram(program);
    return 0;
  }
  glUseProgram(program);
  glUniform1i(glGetUniformLocation(program, "colourmap"), kColourUnit);
  glUniform1i(glGetUniformLocation(program, "specularmap"), kSpecularUnit);
  glUniform1i(glGetUniformLocation(program, "opacitymap"), kOpacityUnit);
  glUniform1i(glGetUniformLocation(program, "bumpmap"), kBumpUnit);
  glUniform1i(glGetUniformLocation(program, "reflectionmap"), kReflectionUnit);
  glUseProgram(0);
  return program;
}

// The bits of a program's key past the shading mode and the maps; the
// file's look keeps its count of lights from kLightsShift on.
const unsigned int kFileLookBit = 1 << 8, kFogBit = 1 << 9;
const unsigned int kBumpBit = 1 << 10, kReflectionBit = 1 << 11;
const unsigned int kLightsShift = 12;

// A look's program: only the code and the values passed between stages
// that it needs, which llvmpipe otherwise computes and carries for every
// vertex and pixel. Bump and reflection maps need the normal at each
// pixel: Gouraud shading gives way to Phong's under them.
unsigned int KeyOf(const Look& look, bool shiny) {
  const bool perpixel = look.bumpmapped || look.reflectionmapped;
  const Shading shading =
      look.shading == Shading::kWire ||
              (perpixel && look.shading == Shading::kGouraud)
          ? Shading::kPhong
          : look.shading;
  return static_cast<unsigned int>(shading) | look.textured << 3 |
         look.specularmapped << 4 | look.opacitymapped << 5 | look.cutout << 6 |
         shiny << 7 | (look.bumpmapped ? kBumpBit : 0) |
         (look.reflectionmapped ? kReflectionBit : 0);
}

std::string DefinesOf(unsigned int key) {
  static const char* const kModes[] = {
      "", "#define FLAT\n", "#define GOURAUD\n", "", "#define METAL\n"};
  std::string defines = kModes[key & 7];
  if (key & 1 << 3) defines += "#define TEXTURED\n";
  if (key & 1 << 4) defines += "#define SPECULARMAPPED\n";
  if (key & 1 << 5) defines += "#define OPACITYMAPPED\n";
  if (key & 1 << 6) defines += "#define CUTOUT\n";
  if (key & 1 << 7) defines += "#define SHINY\n";
  if (key & kFileLookBit)
    defines += "#define FILELOOK\n#define LIGHTS " +
               std::to_string(key >> kLightsShift) + "\n";
  if (key & kFogBit) defines += "#define FOGGY\n";
  if (key & kBumpBit) defines += "#define BUMPED\n";
  if (key & kReflectionBit) defines += "#define REFLECTING\n";
  return defines;
}

}  // namespace

ShadingProgram::~ShadingProgram() {
  for (const auto& program : programs_)
    if (program.second.name) glDeleteProgram(program.second.name);
}

ShadingProgram::Program ShadingProgram::Made(unsigned int key,
                                             std::string& why) const {
  Program p;
  p.name = Link(DefinesOf(key), why);
  if (!p.name) return p;
  p.alphasource = glGetUniformLocation(p.name, "alphasource");
  p.cones = glGetUniformLocation(p.name, "cones");
  p.fog = glGetUniformLocation(p.name, "fog");
  p.bumping = glGetUniformLocation(p.name, "bumping");
  p.bumpuntiled = glGetUniformLocation(p.name, "bumpuntiled");
  p.reflection = glGetUniformLocation(p.name, "reflection");
  return p;
}

void ShadingProgram::Forget() {
  programs_.clear();
  ready_ = false;
}

bool ShadingProgram::Build(bool off, std::string& why) {
  for (const auto& program : programs_)
    if (program.second.name) glDeleteProgram(program.second.name);
  programs_.clear();
  if (off) {
    why = "shaders are turned off (MODELVIEWER_NO_SHADERS=1)";
    return ready_ = false;
  }
  if (!HasShaders()) {
    why = "the OpenGL here is older than 2.0 and has no shaders";
    return ready_ = false;
  }
  // The most common program, made now, so that a GL that refuses them is
  // known at once.
  const Program program = Made(KeyOf(Look(), true), why);
  if (program.name) programs_[KeyOf(Look(), true)] = program;
  return ready_ = program.name != 0;
}

bool ShadingProgram::Use(const Look& look, bool shiny) {
  const unsigned int key = KeyOf(look, shiny) | lightingkey_;
  auto known = programs_.find(key);
  if (known == programs_.end()) {
    std::string why;
    known = programs_.emplace(key, Made(key, why)).first;
    if (!known->second.name && !saidrefused_) {
      saidrefused_ = true;
      warnings_.push_back(
          "lit per vertex where a shading program is "
          "refused: " +
          why);
    }
  }
  Program& p = known->second;
  glUseProgram(p.name);
  if (!p.name) return false;
  if (look.opacitymapped) glUniform1i(p.alphasource, look.alphasource);
  if (lighting_.on && p.lit != lit_) {
    p.lit = lit_;
    glUniform4fv(p.cones, lighting_.lights, &lighting_.cones[0][0]);
    if (lighting_.fog) glUniform4fv(p.fog, 1, lighting_.fogplanes);
  }
  if (look.bumpmapped) {
    glUniform3f(p.bumping, look.bumptexel[0], look.bumptexel[1], look.bump);
    glUniform1i(p.bumpuntiled, look.bumpuntiled);
  }
  if (look.reflectionmapped) glUniform1f(p.reflection, look.reflection);
  return true;
}

std::vector<std::string> ShadingProgram::TakeWarnings() {
  std::vector<std::string> taken;
  taken.swap(warnings_);
  return taken;
}

void ShadingProgram::Stop() { glUseProgram(0); }

void ShadingProgram::SetLighting(const FileLighting& lighting) {
  lighting_ = lighting;
  const unsigned int lights = static_cast<unsigned int>(
      std::min(std::max(lighting.lights, 1), static_cast<int>(kMostLights)));
  lightingkey_ = lighting.on ? kFileLookBit | (lighting.fog ? kFogBit : 0) |
                                   lights << kLightsShift
                             : 0;
  ++lit_;
}
