// Textures: images uploaded to the GL, and a scene's textures found beside
// its file, each image file decoded once.
#ifndef MODELVIEWER_TEXTURES_H
#define MODELVIEWER_TEXTURES_H

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/file_names.h"
#include "base/input_files.h"
#include "images/image_files.h"
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

// The most pixels that the images of one file's maps keep in all (as many
// as 16 images of 1024 x 1024): past it, each is scaled down alike. The GL
// holds 4 bytes a pixel.
const long long kMostMapPixels = 16ll << 20;
// The most pixels decoded for one file's maps (4 images of the largest
// size, 64 of 2048 x 2048): decoding takes about 10 ms a megapixel, most of
// it zlib's, whatever size the image is kept at. Images past it are left
// out.
const long long kMostMapPixelsRead = 256ll << 20;

// The layout of the viewing mode, whose opaque images use `opaque`.
TextureLayout ViewingLayout(GLenum opaque);

// Uploads `image` as texture `name` in `layout`, scaled to powers of two
// where the GL needs them, and leaves texturing on with it bound. False,
// with the reason, when it cannot be used or the GL refuses it; `alpha`
// says whether it went up with its alpha channel.
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
// kMostMapPixels.
class SceneTextures {
 public:
  SceneTextures() = default;
  SceneTextures(const SceneTextures&) = delete;
  SceneTextures& operator=(const SceneTextures&) = delete;
  // Frees the textures in the GL context current then.
  ~SceneTextures();

  // Finds, decodes and uploads the maps of the materials that some face
  // shows, noting each file read in `inputs`: first every image's size from
  // its header, then each decoded at the size that its share of the pixels
  // gives it, one at a time. An image that cannot be used gives one warning
  // (`warnings`), and its faces keep their material's colour; images scaled
  // down to keep within kMostMapPixels give one warning together, and so do
  // images left out past kMostMapPixelsRead.
  void Load(const Scene& scene, const std::string& file,
            const TextureLayout& layout, InputFiles& inputs,
            std::vector<std::string>& warnings);

  // Material m's textures; none for -1.
  const MaterialTextures& Of(int material) const {
    static const MaterialTextures kNone;
    return material >= 0 ? materials_[material] : kNone;
  }

 private:
  // An image file that a map names: where it is, the name that first led
  // there, its size and the size it is decoded at.
  struct MapImage {
    std::string path, stored;
    FileId id;
    ImageSize size, fit;
  };

  void Find(const std::string& stored, const std::string& file,
            InputFiles& inputs, std::vector<std::string>& warnings);
  void Fit(const TextureLayout& layout, const std::string& file,
           std::vector<std::string>& warnings);
  Texture Decode(const MapImage& image, const TextureLayout& layout,
                 std::string& why);

  std::vector<MaterialTextures> materials_;
  // Each image once (its texture beside it), by the name stored and by the
  // file it leads to: an index into images_, or -1 for none.
  std::vector<MapImage> images_;
  std::vector<Texture> textures_;
  std::map<std::string, int> byname_;
  std::map<FileId, int> byfile_;
  std::unique_ptr<FileNames> names_;
  double read_ = 0;  // pixels of the images to decode
  int leftout_ = 0;  // images left out past kMostMapPixelsRead
};

#endif
