#include "images/shrinking.h"

namespace {

// Adds each block of `factor` pixels of a row of `width` pixels of
// `Channels` bytes into `sums`, a pixel of sums a block.
template <int Channels>
void AddBlocks(const unsigned char* in, size_t width, int factor,
               unsigned int* sums) {
  for (size_t x = 0; x + factor <= width; x += factor, sums += Channels) {
    unsigned int r = 0, g = 0, b = 0, a = 0;
    for (int dx = 0; dx < factor; ++dx, in += Channels) {
      r += in[0];
      g += in[1];
      b += in[2];
      if constexpr (Channels == 4) a += in[3];
    }
    sums[0] += r;
    sums[1] += g;
    sums[2] += b;
    if constexpr (Channels == 4) sums[3] += a;
  }
}

}  // namespace

void FitWhole(Image& image, const ImageSize& fit) {
  image.blackandwhite = image.alphaonoff = true;
  NoteOnOff(image.rgba.data(), image.rgba.size() / 4, image);
  if (!Smaller(fit, image.width, image.height)) return;
  Image small;
  small.alphachannel = image.alphachannel;
  Shrinker shrinker(image.width, image.height, fit, small);
  const size_t row = 4 * size_t(image.width);
  for (int y = 0; y < image.height; ++y)
    shrinker.Add(image.rgba.data() + row * y);
  shrinker.Finish();
  // As the whole image had them.
  small.blackandwhite = image.blackandwhite;
  small.alphaonoff = image.alphaonoff;
  image = std::move(small);
}

std::vector<unsigned char> ShrinkBy(const std::vector<unsigned char>& pixels,
                                    int width, int height, int channels,
                                    int factor) {
  const size_t w = width / factor, h = height / factor;
  const size_t rowin = static_cast<size_t>(width) * channels;
  const size_t rowout = w * channels;
  std::vector<unsigned char> out(rowout * h);
  std::vector<unsigned int> sums(rowout);
  // The mean of each sum there can be, rounded, looked up rather than
  // divided for.
  const unsigned int area = static_cast<unsigned int>(factor * factor);
  std::vector<unsigned char> mean(255 * area + 1);
  for (unsigned int sum = 0; sum < mean.size(); ++sum)
    mean[sum] = static_cast<unsigned char>((sum + area / 2) / area);
  // A row of blocks at a time, reading the picture in order.
  for (size_t y = 0; y < h; ++y) {
    std::fill(sums.begin(), sums.end(), 0);
    for (int dy = 0; dy < factor; ++dy) {
      const unsigned char* in = pixels.data() + (y * factor + dy) * rowin;
      if (channels == 4)
        AddBlocks<4>(in, width, factor, sums.data());
      else
        AddBlocks<3>(in, width, factor, sums.data());
    }
    unsigned char* row = out.data() + y * rowout;
    for (size_t k = 0; k < rowout; ++k) row[k] = mean[sums[k]];
  }
  return out;
}
