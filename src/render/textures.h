// Textures: images uploaded to the GL, and a scene's textures, uploaded
// from its maps as the images room finds and decodes them (scene_maps.h).
#ifndef MODELVIEWER_TEXTURES_H
#define MODELVIEWER_TEXTURES_H

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/input_files.h"
#include "images/image_files.h"
#include "images/scene_maps.h"
#include "render/render.h"
#include "scene/scene.h"

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
  // The longest side a map's image is decoded at, where more than 0: a
  // thumbnail's own, which shows no more.
  int mostside = 0;
};

// The layout of the viewing mode, whose opaque images use `opaque`.
TextureLayout ViewingLayout(GLenum opaque);

// Uploads `image` as texture `name` in `layout`, scaled to powers of two
// where the GL needs them, and leaves it bound; texturing is the drawer's
// to turn on. False, with the reason, when it cannot be used or the GL
// refuses it; `alpha` says whether it went up with its alpha channel.
bool UploadTexture(GLuint name, const Image& image, const TextureLayout& layout,
                   std::string& why, bool* alpha = nullptr);
// The same, freeing the image's pixels once they are laid out for the GL,
// before the GL makes its own copy.
bool UploadTexture(GLuint name, Image&& image, const TextureLayout& layout,
                   std::string& why, bool* alpha = nullptr);

// A texture as uploaded: its name (0: none), and what its pixels hold.
struct Texture {
  GLuint name = 0;
  bool alpha = false;  // uploaded with an alpha channel that some pixel uses
  // Every pixel's brightness, or alpha, is 0 or 255: a cut-out, not a
  // blend, when it is an opacity map.
  bool blackandwhite = false, alphaonoff = false;
  int width = 0, height = 0;  // as uploaded
};

// A material's maps as textures.
struct MaterialTextures {
  Texture texture, specular, opacity, bump, reflection;
};

// The textures of a scene's materials: their texture, specular, opacity,
// bump and reflection maps, each image file beside the model decoded once,
// however many materials, maps or names lead to it, and all of them within
// kMostMapPixels (scene_maps.h).
class SceneTextures {
 public:
  SceneTextures() = default;
  SceneTextures(const SceneTextures&) = delete;
  SceneTextures& operator=(const SceneTextures&) = delete;
  // Frees the textures in the GL context current then.
  ~SceneTextures() { Free(); }

  // Uploads the maps of the materials that some face shows, in place of
  // the textures held, as SceneMaps finds and decodes them (noting each
  // file read in `inputs`), each uploaded before the next is decoded. An
  // image that cannot be used gives one warning (`warnings`), and its faces
  // keep their material's colour.
  void Load(const Scene& scene, const std::string& file,
            const TextureLayout& layout, InputFiles& inputs,
            std::vector<std::string>& warnings);

  // Frees the textures in the GL context current.
  void Free();
  // The textures went with their GL context: their names are dropped, not
  // deleted.
  void Forget();

  // Material m's textures; none for -1.
  const MaterialTextures& Of(int material) const {
    static const MaterialTextures kNone;
    return material >= 0 ? materials_[material] : kNone;
  }

 private:
  bool Take(size_t index, Image& image, const TextureLayout& layout,
            std::string& why);

  std::vector<MaterialTextures> materials_;
  std::vector<Texture> textures_;  // by the image each is uploaded from
};

#endif
