#include "render/textures.h"

#include <cstdlib>
#include <cstring>
#include <utility>

namespace {

// True when the GL cannot take textures whose sides are not powers of two.
bool NeedsPowerOfTwo() {
  const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
  const char* extensions =
      reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
  const bool modern = version && std::atoi(version) >= 2;
  const bool extension =
      extensions && std::strstr(extensions, "GL_ARB_texture_non_power_of_two");
  return !(modern || extension);
}

GLint MaxTextureSize() {
  GLint limit = 64;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &limit);
  return limit;
}

int PowerOfTwoAtLeast(int n, int limit) {
  int p = 1;
  while (p < n && p < limit) p *= 2;
  return p;
}

// OpenGL reads rows padded to 4 bytes (its default unpack alignment).
size_t PaddedRow(int width, int bpp) {
  return (static_cast<size_t>(width) * bpp + 3) & ~size_t(3);
}

// Pixels laid out for the upload: `format` GL_RGB, GL_BGRA_EXT or GL_RGBA,
// rows padded, the bottom row first where asked.
struct Pixels {
  GLenum format;
  int width, height, bpp;
  std::vector<unsigned char> bytes;
};

Pixels LayOut(const Image& image, GLenum format, bool bottomrowfirst) {
  Pixels p{format, image.width, image.height, format == GL_RGB ? 3 : 4, {}};
  const size_t row = PaddedRow(p.width, p.bpp);
  p.bytes.assign(row * p.height, 0);
  for (int y = 0; y < p.height; ++y) {
    const int from = bottomrowfirst ? p.height - 1 - y : y;
    const unsigned char* in = image.rgba.data() + 4 * size_t(p.width) * from;
    unsigned char* out = p.bytes.data() + row * y;
    for (int x = 0; x < p.width; ++x, in += 4, out += p.bpp) {
      const bool bgr = format == GL_BGRA_EXT;
      out[0] = in[bgr ? 2 : 0];
      out[1] = in[1];
      out[2] = in[bgr ? 0 : 2];
      if (p.bpp == 4) out[3] = in[3];
    }
  }
  return p;
}

// Scaled to powers of two where the GL needs them, and within the largest
// size it takes where asked; false, with the reason, when GLU cannot.
bool ScaleForGl(Pixels& p, bool fit, std::string& why) {
  const bool powers = NeedsPowerOfTwo();
  if (!powers && !fit) return true;
  const GLint limit = MaxTextureSize();
  GLsizei sw = powers ? PowerOfTwoAtLeast(p.width, limit) : p.width;
  GLsizei sh = powers ? PowerOfTwoAtLeast(p.height, limit) : p.height;
  if (fit) {
    sw = sw < limit ? sw : limit;
    sh = sh < limit ? sh : limit;
  }
  if (sw == p.width && sh == p.height) return true;
  std::vector<unsigned char> scaled(PaddedRow(sw, p.bpp) * sh);
  const GLint error =
      gluScaleImage(p.format, p.width, p.height, GL_UNSIGNED_BYTE,
                    p.bytes.data(), sw, sh, GL_UNSIGNED_BYTE, scaled.data());
  if (error != 0) {
    why = "cannot scale it to " + std::to_string(sw) + " x " +
          std::to_string(sh) + ": " +
          reinterpret_cast<const char*>(gluErrorString(error));
    return false;
  }
  p.bytes.swap(scaled);
  p.width = sw;
  p.height = sh;
  return true;
}

}  // namespace

TextureLayout ViewingLayout(GLenum opaque) {
  TextureLayout layout;
  layout.opaque = opaque;
  layout.keepalpha = layout.bottomrowfirst = layout.fit = true;
  return layout;
}

namespace {

// Uploads the image, whose pixels are freed once laid out where `spent` is
// the image itself.
bool Upload(GLuint name, const Image& image, Image* spent,
            const TextureLayout& layout, std::string& why, bool* alpha) {
  const bool translucent = layout.keepalpha && image.Translucent();
  if (alpha) *alpha = translucent;
  Pixels p = LayOut(image, translucent ? GL_RGBA : layout.opaque,
                    layout.bottomrowfirst);
  if (spent) std::vector<unsigned char>().swap(spent->rgba);
  if (!ScaleForGl(p, layout.fit, why)) return false;
  // Errors left by earlier calls are not this upload's.
  for (int i = 0; i < 16 && glGetError() != GL_NO_ERROR; ++i) {
  }
  glBindTexture(GL_TEXTURE_2D, name);
  glTexImage2D(GL_TEXTURE_2D, 0, translucent ? GL_RGBA : 3, p.width, p.height,
               0, p.format, GL_UNSIGNED_BYTE, p.bytes.data());
  const GLenum refused = glGetError();
  if (refused != GL_NO_ERROR) {
    why = "OpenGL refuses its " + std::to_string(p.width) + " x " +
          std::to_string(p.height) +
          " pixels: " + reinterpret_cast<const char*>(gluErrorString(refused));
    return false;
  }
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  return true;
}

}  // namespace

bool UploadTexture(GLuint name, const Image& image, const TextureLayout& layout,
                   std::string& why, bool* alpha) {
  return Upload(name, image, nullptr, layout, why, alpha);
}

bool UploadTexture(GLuint name, Image&& image, const TextureLayout& layout,
                   std::string& why, bool* alpha) {
  return Upload(name, image, &image, layout, why, alpha);
}

void SceneTextures::Free() {
  for (const Texture& texture : textures_)
    if (texture.name) glDeleteTextures(1, &texture.name);
  Forget();
}

void SceneTextures::Forget() {
  textures_.clear();
  materials_.clear();
}

// Uploads image `index` as its texture.
bool SceneTextures::Take(size_t index, Image& image,
                         const TextureLayout& layout, std::string& why) {
  Texture& texture = textures_[index];
  texture.blackandwhite = image.blackandwhite;
  texture.alphaonoff = image.alphaonoff;
  glGenTextures(1, &texture.name);
  if (!UploadTexture(texture.name, std::move(image), layout, why,
                     &texture.alpha)) {
    glDeleteTextures(1, &texture.name);
    texture = Texture();
    return false;
  }
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &texture.width);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT,
                           &texture.height);
  glBindTexture(GL_TEXTURE_2D, 0);
  return true;
}

void SceneTextures::Load(const Scene& scene, const std::string& file,
                         const TextureLayout& layout, InputFiles& inputs,
                         std::vector<std::string>& warnings) {
  Free();
  SceneMaps maps;
  maps.Find(scene, file, layout.mostside, inputs, warnings);
  textures_.assign(maps.size(), Texture());
  maps.Decode([&](size_t index, Image& image,
                  std::string& why) { return Take(index, image, layout, why); },
              warnings);
  const std::vector<bool> wanted = MaterialsWithTexture(scene);
  materials_.assign(scene.materials.size(), MaterialTextures());
  for (size_t m = 0; m < scene.materials.size(); ++m) {
    if (!wanted[m]) continue;
    MaterialTextures& t = materials_[m];
    // In the order of the material's maps.
    Texture* const slots[] = {&t.texture, &t.specular, &t.opacity, &t.bump,
                              &t.reflection};
    const auto maps_of = scene.materials[m].Maps();
    for (size_t k = 0; k < maps_of.size(); ++k) {
      const std::string& stored = maps_of[k]->image;
      const int image = stored.empty() ? -1 : maps.ImageOf(stored);
      if (image >= 0) *slots[k] = textures_[image];
    }
  }
}
