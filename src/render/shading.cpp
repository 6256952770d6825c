#include "render/shading.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// The lights as the fixed-function state holds them: the global ambient,
// and lights 0 and 1, directional, in eye space. Light 1 has no specular
// colour, as OpenGL starts it. The viewer stands at the eye.
const char kLighting[] = R"(
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
  Light(n, position, lit, highlight);
#endif
  // As OpenGL 1.1 colours a face: the lit colour times the texture, then
  // the highlight added.
  vec4 texel = vec4(1.0);
#ifdef TEXTURED
  texel = texture2D(colourmap, At(0));
#endif
  vec4 c = vec4(clamp(gl_FrontMaterial.emission.rgb + lit * gl_Color.rgb,
                      0.0, 1.0), gl_Color.a) * texel;
#ifdef METAL
  highlight *= gl_Color.rgb * texel.rgb;
#endif
#ifdef SPECULARMAPPED
  highlight *= texture2D(specularmap, At(1)).rgb;
#endif
  c.rgb = clamp(c.rgb + highlight, 0.0, 1.0);
#ifdef OPACITYMAPPED
  vec4 o = texture2D(opacitymap, At(2));
  c.a *= alphasource ? o.a : dot(o.rgb, vec3(0.299, 0.587, 0.114));
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

GLuint Compile(GLenum kind, const std::string& defines, const char* body,
               std::string& why) {
  const char* parts[] = {"#version 120\n", defines.c_str(), kLighting,
                         kVaryings, body};
  const GLuint shader = glCreateShader(kind);
  glShaderSource(shader, 5, parts, nullptr);
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
    why = "the shaders do not link";
    glDeleteProgram(program);
    return 0;
  }
  glUseProgram(program);
  glUniform1i(glGetUniformLocation(program, "colourmap"), 0);
  glUniform1i(glGetUniformLocation(program, "specularmap"), 1);
  glUniform1i(glGetUniformLocation(program, "opacitymap"), 2);
  glUseProgram(0);
  return program;
}

// A look's program: only the code and the values passed between stages
// that it needs, which llvmpipe otherwise computes and carries for every
// vertex and pixel.
unsigned int KeyOf(const Look& look, bool shiny) {
  const Shading shading =
      look.shading == Shading::kWire ? Shading::kPhong : look.shading;
  return static_cast<unsigned int>(shading) | look.textured << 3 |
         look.specularmapped << 4 | look.opacitymapped << 5 | look.cutout << 6 |
         shiny << 7;
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
  return defines;
}

}  // namespace

ShadingProgram::~ShadingProgram() {
  for (const auto& program : programs_)
    if (program.second) glDeleteProgram(program.second);
}

bool ShadingProgram::Build(std::string& why) {
  programs_.clear();
  tried_ = true;
  const char* off = std::getenv("MODELVIEWER_NO_SHADERS");
  if (off && std::strcmp(off, "1") == 0) {
    why = "shaders are turned off (MODELVIEWER_NO_SHADERS=1)";
    return ready_ = false;
  }
  if (!HasShaders()) {
    why = "the OpenGL here is older than 2.0 and has no shaders";
    return ready_ = false;
  }
  // The most common program, made now, so that a GL that refuses them is
  // known at once.
  const GLuint program = Link(DefinesOf(KeyOf(Look(), true)), why);
  if (program) programs_[KeyOf(Look(), true)] = program;
  return ready_ = program != 0;
}

void ShadingProgram::Use(const Look& look, bool shiny) {
  const unsigned int key = KeyOf(look, shiny);
  auto known = programs_.find(key);
  if (known == programs_.end()) {
    std::string why;
    known = programs_.emplace(key, Link(DefinesOf(key), why)).first;
  }
  glUseProgram(known->second);
  if (look.opacitymapped)
    glUniform1i(glGetUniformLocation(known->second, "alphasource"),
                look.alphasource);
}

void ShadingProgram::Stop() { glUseProgram(0); }
