// libFuzzer target: any bytes through the viewing mode's import, from the
// reader's buffer to the scene, and the framing of it. Traps when the scene
// breaks a promise that drawing relies on.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "3dsloader.h"
#include "framing.h"
#include "import.h"
#include "info.h"
#include "pose.h"
#include "scene_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  Loader3DS loader;
  unsigned char* bytes = new unsigned char[size ? size : 1];
  std::memcpy(bytes, data, size);
  loader.TakeBytes(bytes, static_cast<unsigned int>(size));
  Scene scene;
  std::string why;
  const bool drawable = ImportScene(loader, scene, why);
  if (!SceneKeepsItsPromises(scene, drawable)) __builtin_trap();
  // The keyframer's pose, anywhere in and beyond the segment.
  std::vector<Matrix> matrices;
  std::vector<bool> shown;
  float low[3], high[3];
  for (double frame : {-1.0, 0.0, 0.5, 37.25, 1e9}) {
    PoseScene(scene, frame, matrices, shown);
    if (matrices.size() != scene.placements.size()) __builtin_trap();
  }
  if (drawable) {
    SceneBox(scene, 0, true, low, high);
    // --info=json is one valid JSON document, whatever the names hold.
    const std::string info = InfoJson(
        scene, "f", -1, [](const std::string&) { return std::string(); });
    if (nlohmann::json::parse(info, nullptr, false).is_discarded())
      __builtin_trap();
  }
  const Framing f = FrameBox(scene.low, scene.high);
  if (!(f.nearplane > 0 && f.farplane > f.nearplane &&
        std::isfinite(f.farplane)))
    __builtin_trap();
  return 0;
}
