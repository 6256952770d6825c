// Replays every input that ever made a fuzzer fail: through the reader's walk
// and through the viewing mode's import.
#include <dirent.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "info/info.h"
#include "loader/3dsloader.h"
#include "scene/import.h"
#include "scene/pose.h"
#include "scene_check.h"
#include "walk3ds.h"

#ifndef REGRESSIONS_DIR
#error REGRESSIONS_DIR must name fuzz/regressions
#endif

TEST(Regressions, EveryKeptFuzzerInputWalksSafely) {
  std::vector<std::string> names;
  DIR* dir = opendir(REGRESSIONS_DIR);
  ASSERT_NE(nullptr, dir) << "cannot list " REGRESSIONS_DIR;
  while (dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (name[0] != '.' && name != "README.md") names.push_back(name);
  }
  closedir(dir);
  // The inputs kept so far: a replay of fewer passes nothing.
  ASSERT_GE(names.size(), 6u) << "inputs in " REGRESSIONS_DIR;
  for (const std::string& name : names) {
    Loader3DS loader;
    ASSERT_TRUE(loader.OpenFile(REGRESSIONS_DIR "/" + name)) << name;
    EXPECT_FALSE(WalkAll(loader, false).broken) << name;
    Scene scene;
    std::string why;
    const bool drawable = ImportScene(loader, scene, why);
    EXPECT_TRUE(SceneKeepsItsPromises(scene, drawable)) << name;
    if (drawable) {  // --info=json parses, whatever the names hold
      EXPECT_NO_THROW(nlohmann::json::parse(InfoJson(
          scene, name, -1, [](const std::string&) { return std::string(); })))
          << name;
    }
  }
}
