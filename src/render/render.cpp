#include "render.h"

std::vector<unsigned char> ReadFrame(int width, int height) {
  std::vector<unsigned char> pixels(3 * static_cast<size_t>(width) * height);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadBuffer(GL_BACK);
  glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
  return pixels;
}
