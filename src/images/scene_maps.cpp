#include "images/scene_maps.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

#include "base/stop.h"

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

void SceneMaps::FindOne(const std::string& stored, InputFiles& inputs,
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
    warnings.push_back(file_ + ": cannot use texture image \"" + stored +
                       "\": " + why);
}

// The size each image is decoded at: within a thumbnail's side, and all of
// them within kMostMapPixels, each scaled alike.
void SceneMaps::Fit(int mostside, std::vector<std::string>& warnings) {
  double total = 0;
  for (MapImage& image : images_) {
    image.fit = Within(image.size, mostside);
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
      kept += PixelsOf(Scaled(Within(image.size, mostside), scale));
  }
  for (MapImage& image : images_) image.fit = Scaled(image.fit, scale);
  char percent[32];
  std::snprintf(percent, sizeof percent, "%.3g", 100 * scale);
  warnings.push_back(file_ + ": its texture images hold " + Megapixels(total) +
                     " megapixels, more than the " +
                     Megapixels(kMostMapPixels) +
                     " that a file's images may keep: each is scaled down to " +
                     percent + " % of its width and height");
}

void SceneMaps::Find(const Scene& scene, const std::string& file, int mostside,
                     InputFiles& inputs, std::vector<std::string>& warnings) {
  file_ = file;
  images_.clear();
  byname_.clear();
  byfile_.clear();
  read_ = 0;
  leftout_ = 0;
  names_.reset(new FileNames(FolderOf(file)));
  const std::vector<bool> wanted = MaterialsWithTexture(scene);
  for (size_t m = 0; m < scene.materials.size(); ++m) {
    if (!wanted[m]) continue;
    for (const TextureMap* map : scene.materials[m].Maps())
      if (!map->image.empty()) FindOne(map->image, inputs, warnings);
  }
  if (leftout_ > 0)
    warnings.push_back(file + ": " + std::to_string(leftout_) +
                       " texture images are left out: with the others they "
                       "would be more than the " +
                       Megapixels(kMostMapPixelsRead) +
                       " megapixels that are decoded for a file");
  Fit(mostside, warnings);
}

// The image decoded at its fitting size, or false with the reason. The file
// is read again, and must be as it was.
bool SceneMaps::DecodeOne(const MapImage& map, Image& image,
                          std::string& why) const {
  std::vector<unsigned char> bytes;
  FileId id;
  ImageSize size;
  if (!ReadRegularFile(map.path, kMaxImageFileBytes, bytes, id, why) ||
      !ImageSizeIsSafe(bytes, why, &size))
    return false;
  if (!(id == map.id) || size.width != map.size.width ||
      size.height != map.size.height) {
    why = "it changed while it was read";
    return false;
  }
  return DecodeImage(map.path, bytes, image, why, map.fit);
}

void SceneMaps::Decode(const Taker& take,
                       std::vector<std::string>& warnings) const {
  for (size_t i = 0; i < images_.size(); ++i) {
    StopPoint();
    std::string why;
    Image image;
    if (!DecodeOne(images_[i], image, why) || !take(i, image, why))
      warnings.push_back(file_ + ": cannot use texture image \"" +
                         images_[i].stored + "\": " + why);
  }
}

int SceneMaps::ImageOf(const std::string& stored) const {
  const auto known = byname_.find(stored);
  return known == byname_.end() ? -1 : known->second;
}
