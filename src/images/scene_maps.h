// A scene's maps as images, with no window: the image file that each map
// of the materials that some face shows names, found where the viewer
// loads it (FindMap), each file read and decoded once however many maps or
// names lead to it, all of them within a budget of pixels. The renderer
// uploads what this step decodes; --info and the folder check of inputs
// find maps by the same look-up.
#ifndef MODELVIEWER_SCENE_MAPS_H
#define MODELVIEWER_SCENE_MAPS_H

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/file_names.h"
#include "base/input_files.h"
#include "images/image_files.h"
#include "scene/scene.h"

// The most pixels that the images of one file's maps keep in all (as many
// as 16 images of 1024 x 1024): past it, each is scaled down alike. The GL
// holds 4 bytes a pixel.
const long long kMostMapPixels = 16ll << 20;
// The most pixels decoded for one file's maps (4 images of the largest
// size, 64 of 2048 x 2048): decoding takes about 10 ms a megapixel, most of
// it zlib's, whatever size the image is kept at. Images past it are left
// out.
const long long kMostMapPixelsRead = 256ll << 20;

class SceneMaps {
 public:
  // Takes image `index`, decoded (its pixels may be taken); false, with the
  // reason, where it cannot be used.
  using Taker =
      std::function<bool(size_t index, Image& image, std::string& why)>;

  // Finds the image file of each map of the materials that some face shows
  // beside `file`, noting each file read in `inputs`, with its size from
  // its header, and the size it is to be decoded at: within `mostside` on
  // its longer side where that is more than 0 (a thumbnail shows no more),
  // and all of them within kMostMapPixels. An image that cannot be used
  // gives one warning, and so do images scaled down together, and images
  // left out past kMostMapPixelsRead.
  void Find(const Scene& scene, const std::string& file, int mostside,
            InputFiles& inputs, std::vector<std::string>& warnings);
  // The images found.
  size_t size() const { return images_.size(); }
  // Decodes the images found one at a time, each read again (and refused
  // where it changed meanwhile), handing each to `take` before the next is
  // decoded; one warning for each that cannot be decoded or taken.
  void Decode(const Taker& take, std::vector<std::string>& warnings) const;
  // The index of the image that a map naming `stored` leads to, or -1.
  int ImageOf(const std::string& stored) const;

 private:
  // An image file that a map names: where it is, the name that first led
  // there, its size and the size it is decoded at.
  struct MapImage {
    std::string path, stored;
    FileId id;
    ImageSize size, fit;
  };

  void FindOne(const std::string& stored, InputFiles& inputs,
               std::vector<std::string>& warnings);
  void Fit(int mostside, std::vector<std::string>& warnings);
  bool DecodeOne(const MapImage& map, Image& image, std::string& why) const;

  std::string file_;
  std::vector<MapImage> images_;
  // By the name stored and by the file it leads to: an index into images_,
  // or -1 for none.
  std::map<std::string, int> byname_;
  std::map<FileId, int> byfile_;
  std::unique_ptr<FileNames> names_;
  double read_ = 0;  // pixels of the images to decode
  int leftout_ = 0;  // images left out past kMostMapPixelsRead
};

#endif
