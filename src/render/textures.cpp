#include "render/textures.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <utility>

#include "base/file_names.h"
#include "base/stop.h"

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
  glEnable(GL_TEXTURE_2D);
  glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
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

namespace {

// `size` within `side` on its longer side, where `side` is more than 0.
ImageSize Within(const ImageSize& size, int side) {
  const int longer = std::max(size.width, size.height);
  if (side <= 0 || longer <= side) return size;
  ImageSize within;
  within.width =
      std::max(1, int(static_cast<long long>(size.width) * side / longer));
  within.height =
      std::max(1, int(static_cast<long long>(size.height) * side / longer));
  return within;
}

ImageSize Scaled(const ImageSize& size, double scale) {
  ImageSize scaled;
  scaled.width = std::max(1, int(size.width * scale));
  scaled.height = std::max(1, int(size.height * scale));
  return scaled;
}

double PixelsOf(const ImageSize& size) {
  return static_cast<double>(size.width) * size.height;
}

std::string Megapixels(double pixels) {
  char text[32];
  std::snprintf(text, sizeof text, "%.4g", pixels / (1 << 20));
  return text;
}

}  // namespace

SceneTextures::~SceneTextures() {
  for (const Texture& texture : textures_)
    if (texture.name) glDeleteTextures(1, &texture.name);
}

// Notes the image file that `stored` names beside the model, with its size
// from its header; a warning for one that cannot be used.
void SceneTextures::Find(const std::string& stored, const std::string& file,
                         InputFiles& inputs,
                         std::vector<std::string>& warnings) {
  if (byname_.count(stored)) return;
  StopPoint();
  std::string path, why;
  std::vector<unsigned char> bytes;
  FileId id;
  ImageSize size;
  int& image = byname_[stored] = -1;
  if (!FindMap(*names_, stored, path, id, why)) {
    // nothing to read
  } else if (byfile_.count(id)) {
    image = byfile_[id];
    return;  // any warning went under the name that first led to it
  } else if (ReadRegularFile(path, kMaxImageFileBytes, bytes, id, why)) {
    inputs.Note(path, id);
    byfile_[id] = -1;
    if (ImageSizeIsSafe(bytes, why, &size)) {
      if (read_ + PixelsOf(size) > kMostMapPixelsRead) {
        ++leftout_;
        return;  // said once for all of them
      }
      read_ += PixelsOf(size);
      image = byfile_[id] = static_cast<int>(images_.size());
      images_.push_back({path, stored, id, size, size});
    }
  }
  if (image < 0)
    warnings.push_back(file + ": cannot use texture image \"" + stored +
                       "\": " + why);
}

// The size each image is decoded at: within a thumbnail's side, and all of
// them within kMostMapPixels, each scaled alike.
void SceneTextures::Fit(const TextureLayout& layout, const std::string& file,
                        std::vector<std::string>& warnings) {
  double total = 0;
  for (MapImage& image : images_) {
    image.fit = Within(image.size, layout.mostside);
    total += PixelsOf(image.fit);
  }
  if (total <= kMostMapPixels) return;
  // Sides of at least a pixel can keep the sum above the bound: scaled
  // again until it is not.
  double scale = 1, kept = total;
  for (int round = 0; round < 64 && kept > kMostMapPixels; ++round) {
    scale *= std::sqrt(kMostMapPixels / kept) * (round ? 0.99 : 1);
    kept = 0;
    for (const MapImage& image : images_)
      kept += PixelsOf(Scaled(Within(image.size, layout.mostside), scale));
  }
  for (MapImage& image : images_) image.fit = Scaled(image.fit, scale);
  char percent[32];
  std::snprintf(percent, sizeof percent, "%.3g", 100 * scale);
  warnings.push_back(file + ": its texture images hold " + Megapixels(total) +
                     " megapixels, more than the " +
                     Megapixels(kMostMapPixels) +
                     " that a file's images may keep: each is scaled down to " +
                     percent + " % of its width and height");
}

// The texture of an image, decoded at its fitting size, or none with the
// reason. The file is read again, and must be as it was.
Texture SceneTextures::Decode(const MapImage& map, const TextureLayout& layout,
                              std::string& why) {
  Texture texture;
  std::vector<unsigned char> bytes;
  FileId id;
  ImageSize size;
  Image image;
  if (!ReadRegularFile(map.path, kMaxImageFileBytes, bytes, id, why) ||
      !ImageSizeIsSafe(bytes, why, &size))
    return texture;
  if (!(id == map.id) || size.width != map.size.width ||
      size.height != map.size.height) {
    why = "it changed while it was read";
    return texture;
  }
  const bool decoded = DecodeImage(map.path, bytes, image, why, map.fit);
  std::vector<unsigned char>().swap(bytes);
  if (!decoded) return texture;
  texture.blackandwhite = image.blackandwhite;
  texture.alphaonoff = image.alphaonoff;
  glGenTextures(1, &texture.name);
  if (!UploadTexture(texture.name, std::move(image), layout, why,
                     &texture.alpha)) {
    glDeleteTextures(1, &texture.name);
    return Texture();
  }
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &texture.width);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT,
                           &texture.height);
  return texture;
}

void SceneTextures::Load(const Scene& scene, const std::string& file,
                         const TextureLayout& layout, InputFiles& inputs,
                         std::vector<std::string>& warnings) {
  // Into a new GL context, everything anew.
  images_.clear();
  textures_.clear();
  byname_.clear();
  byfile_.clear();
  read_ = 0;
  leftout_ = 0;
  names_.reset(new FileNames(FolderOf(file)));
  const std::vector<bool> wanted = MaterialsWithTexture(scene);
  auto maps = [&](size_t m) {
    const SceneMaterial& material = scene.materials[m];
    MaterialTextures& t = materials_[m];
    return std::vector<std::pair<const TextureMap*, Texture*>>{
        {&material.texture, &t.texture},
        {&material.specularmap, &t.specular},
        {&material.opacitymap, &t.opacity},
        {&material.bumpmap, &t.bump},
        {&material.reflectionmap, &t.reflection}};
  };
  materials_.assign(scene.materials.size(), MaterialTextures());
  for (size_t m = 0; m < scene.materials.size(); ++m)
    if (wanted[m])
      for (const auto& map : maps(m))
        if (!map.first->image.empty())
          Find(map.first->image, file, inputs, warnings);
  if (leftout_ > 0)
    warnings.push_back(file + ": " + std::to_string(leftout_) +
                       " texture images are left out: with the others they "
                       "would be more than the " +
                       Megapixels(kMostMapPixelsRead) +
                       " megapixels that are decoded for a file");
  Fit(layout, file, warnings);
  for (const MapImage& image : images_) {
    StopPoint();
    std::string why;
    textures_.push_back(Decode(image, layout, why));
    if (!textures_.back().name)
      warnings.push_back(file + ": cannot use texture image \"" + image.stored +
                         "\": " + why);
  }
  for (size_t m = 0; m < scene.materials.size(); ++m)
    if (wanted[m])
      for (const auto& map : maps(m))
        if (!map.first->image.empty() && byname_[map.first->image] >= 0)
          *map.second = textures_[byname_[map.first->image]];
}
