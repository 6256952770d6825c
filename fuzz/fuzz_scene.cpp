// libFuzzer target: any bytes through the viewing mode's import, from the
// reader's buffer to the scene, and the framing of it. Traps when the scene
// breaks a promise that drawing relies on.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "3dsloader.h"
#include "framing.h"
#include "scene_check.h"
#include "scene_import.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  Loader3DS loader;
  loader.filebuffer = new unsigned char[size ? size : 1];
  std::memcpy(loader.filebuffer, data, size);
  loader.filesize = static_cast<unsigned int>(size);
  Scene scene;
  std::string why;
  const bool drawable = ImportScene(loader, scene, why);
  if (!SceneKeepsItsPromises(scene, drawable)) __builtin_trap();
  const Framing f = FrameBox(scene.low, scene.high);
  if (!(f.nearplane > 0 && f.farplane > f.nearplane &&
        std::isfinite(f.farplane)))
    __builtin_trap();
  return 0;
}
