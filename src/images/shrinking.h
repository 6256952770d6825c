// Images made smaller as they are decoded, within the images room: each
// pixel the mean of the pixels whose centres fall in it, taken a row at a
// time so that the whole image is never held; and what an image's pixels
// hold (brightness and alpha only on or off), noted as they pass.
#ifndef MODELVIEWER_SHRINKING_H
#define MODELVIEWER_SHRINKING_H

#include <algorithm>
#include <cstring>
#include <vector>

#include "images/image_files.h"

// Notes in `image` whether `pixels` RGBA pixels keep every brightness, and
// every alpha, at 0 or 255 (both start true).
inline void NoteOnOff(const unsigned char* p, size_t pixels, Image& image) {
  for (size_t i = 0; i < pixels && (image.blackandwhite || image.alphaonoff);
       ++i, p += 4) {
    // The brightness (kBrightnessWeights, in thousandths) is 0 or 255.
    const unsigned int weighted = kBrightnessWeights[0] * p[0] +
                                  kBrightnessWeights[1] * p[1] +
                                  kBrightnessWeights[2] * p[2];
    if (weighted >= 1000 && weighted < 255000) image.blackandwhite = false;
    if (p[3] != 0 && p[3] != 255) image.alphaonoff = false;
  }
}

// Whether `fit` asks for an image smaller than `width` x `height` (and one
// that is there).
inline bool Smaller(const ImageSize& fit, long long width, long long height) {
  return fit.width > 0 && fit.height > 0 && width > 0 && height > 0 &&
         (fit.width < width || fit.height < height);
}

// Where input pixel i of n falls among m (m <= n): the one its centre is in.
// Every one of the m takes at least one.
inline size_t Bin(size_t i, size_t n, size_t m) {
  return (2 * i + 1) * m / (2 * n);
}

// An image made smaller from its RGBA rows, taken top row first, one at a
// time: each pixel the mean of the pixels whose centres fall in it. Holds
// the smaller image (`fit`, each side from 1 to the image's own) and the
// sums of one of its rows.
class Shrinker {
 public:
  Shrinker(int width, int height, const ImageSize& fit, Image& image)
      : image_(image),
        width_(width),
        height_(height),
        columns_(std::clamp(fit.width, 1, width)) {
    image_.width = static_cast<int>(columns_.size());
    image_.height = std::clamp(fit.height, 1, height);
    image_.rgba.assign(4 * columns_.size() * image_.height, 0);
    image_.blackandwhite = image_.alphaonoff = true;
    for (int x = 0; x < width; ++x) ++columns_[Bin(x, width, image_.width)];
    sums_.assign(4 * columns_.size(), 0);
  }

  // Rows past the height are not taken.
  void Add(const unsigned char* row) {
    if (taken_ >= height_) return;
    NoteOnOff(row, width_, image_);
    const int y = static_cast<int>(Bin(taken_, height_, image_.height));
    if (y != row_) Emit();
    row_ = y;
    unsigned long long* sum = sums_.data();
    for (unsigned int run : columns_) {
      unsigned int r = 0, g = 0, b = 0, a = 0;
      for (unsigned int k = 0; k < run; ++k, row += 4) {
        r += row[0];
        g += row[1];
        b += row[2];
        a += row[3];
      }
      sum[0] += r;
      sum[1] += g;
      sum[2] += b;
      sum[3] += a;
      sum += 4;
    }
    ++rows_;
    ++taken_;
  }

  // The last row, once every row is in.
  void Finish() { Emit(); }

 private:
  void Emit() {
    if (rows_ == 0) return;
    unsigned char* out = image_.rgba.data() + 4 * size_t(image_.width) * row_;
    for (size_t x = 0; x < columns_.size(); ++x) {
      const unsigned long long n =
          static_cast<unsigned long long>(columns_[x]) * rows_;
      for (int k = 0; k < 4; ++k, ++out)
        *out = static_cast<unsigned char>((sums_[4 * x + k] + n / 2) / n);
    }
    std::fill(sums_.begin(), sums_.end(), 0);
    rows_ = 0;
  }

  Image& image_;
  const int width_, height_;
  std::vector<unsigned int> columns_;  // input columns in each output one
  std::vector<unsigned long long> sums_;
  int taken_ = 0;          // input rows taken
  int row_ = 0;            // the output row that the sums are of
  unsigned int rows_ = 0;  // input rows in the sums
};

// Notes the whole image's pixels, and makes it `fit` in size where that is
// smaller, freeing the larger one.
void FitWhole(Image& image, const ImageSize& fit);

// Hands the `height` rows that `row(y)` gives (RGBA pixels, `width` each),
// top row first, to the image at its own size or at the smaller `fit`.
template <class RowOf>
void TakeRows(int width, int height, const ImageSize& fit, RowOf row,
              Image& image) {
  if (Smaller(fit, width, height)) {
    Shrinker shrinker(width, height, fit, image);
    for (int y = 0; y < height; ++y) shrinker.Add(row(y));
    shrinker.Finish();
    return;
  }
  image.width = width;
  image.height = height;
  const size_t bytes = 4 * static_cast<size_t>(width);
  image.rgba.resize(bytes * height);
  for (int y = 0; y < height; ++y)
    std::memcpy(image.rgba.data() + bytes * y, row(y), bytes);
  image.blackandwhite = image.alphaonoff = true;
  NoteOnOff(image.rgba.data(), image.rgba.size() / 4, image);
}

#endif
