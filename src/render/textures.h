// Textures: images uploaded to the GL, and a scene's textures found beside
// its file, each image file decoded once.
#ifndef MODELVIEWER_TEXTURES_H
#define MODELVIEWER_TEXTURES_H

#include <string>
#include <vector>

#include "image_files.h"
#include "input_files.h"
#include "render.h"
#include "scene.h"

// How an image goes to the GL.
struct TextureLayout {
  // The pixel layout declared for opaque images: GL_RGB (red, green, blue
  // bytes) or GL_BGRA_EXT (blue, green, red, alpha bytes).
  GLenum opaque = GL_RGB;
  // An image whose alpha channel some pixel uses is uploaded as RGBA.
  bool keepalpha = false;
  // The image's bottom row at t = 0, where 3DS mapping coordinates put
  // v = 0.
  bool bottomrowfirst = false;
  // Scaled down to the largest size the GL takes.
  bool fit = false;
};

// The layout of the viewing mode, whose opaque images use `opaque`.
TextureLayout ViewingLayout(GLenum opaque);

// Uploads `image` as texture `name` in `layout`, scaled to powers of two
// where the GL needs them, and leaves texturing on with it bound. False,
// with the reason, when it cannot be used or the GL refuses it; `alpha`
// says whether it went up with its alpha channel.
bool UploadTexture(GLuint name, const Image& image, const TextureLayout& layout,
                   std::string& why, bool* alpha = nullptr);

// The textures of a scene's materials: each image file beside the model
// once, however many materials or names lead to it.
class SceneTextures {
 public:
  SceneTextures() = default;
  SceneTextures(const SceneTextures&) = delete;
  SceneTextures& operator=(const SceneTextures&) = delete;
  // Frees the textures in the GL context current then.
  ~SceneTextures();

  // Finds, decodes and uploads the images of the materials that some face
  // shows, noting each file read in `inputs`. An image that cannot be used
  // gives one warning (`warnings`), and its faces keep their material's
  // colour.
  void Load(const Scene& scene, const std::string& file,
            const TextureLayout& layout, InputFiles& inputs,
            std::vector<std::string>& warnings);

  // Material m's texture, or 0 for none; whether its pixels use alpha.
  GLuint Of(int material) const { return material >= 0 ? names_[material] : 0; }
  bool Alpha(int material) const { return material >= 0 && alpha_[material]; }

 private:
  std::vector<GLuint> names_;
  std::vector<bool> alpha_;
};

#endif
