// Helpers that put fixture bytes into a real file for Loader3DS::OpenFile,
// import it with its promises checked, and the keyframer's fixtures.
#ifndef MODELVIEWER_TESTFILE_H
#define MODELVIEWER_TESTFILE_H

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "loader/3dsloader.h"
#include "scene/import.h"
#include "scene_check.h"
#include "writer3ds.h"

inline std::string TempPath(const std::string& name) {
  const ::testing::TestInfo* info =
      ::testing::UnitTest::GetInstance()->current_test_info();
  return ::testing::TempDir() + info->test_suite_name() + "." + info->name() +
         "." + name;
}

// Writes `bytes` to a file of the current test and opens it.
inline void Open(Loader3DS& loader, const w3ds::Bytes& bytes,
                 const std::string& name = "file.3ds") {
  std::string path = TempPath(name);
  ASSERT_TRUE(w3ds::writeFile(path, bytes));
  ASSERT_TRUE(loader.OpenFile(path));
  ASSERT_EQ(bytes.size(), loader.filesize);
}

// The import, and what drawing relies on in what it made: every test's
// import goes through this.
inline bool CheckedImport(Loader3DS& loader, Scene& scene, std::string& why) {
  const bool drawable = ImportScene(loader, scene, why);
  EXPECT_TRUE(SceneKeepsItsPromises(scene, drawable)) << why;
  return drawable;
}

// A position track of one key at frame 0.
inline w3ds::Chunk Moved(float x, float y, float z) {
  return w3ds::track(0xB020, {{0, x, y, z}});
}

// A unit cube at the origin, with the identity as its own matrix.
inline w3ds::Chunk Cube(const std::string& name) {
  std::vector<w3ds::Vec3> v;
  for (int i = 0; i < 8; ++i)
    v.push_back({float(i & 1), float(i >> 1 & 1), float(i >> 2 & 1)});
  w3ds::Chunk matrix(0x4160);
  for (float m : {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0}) matrix.f32(m);
  return w3ds::object(name).add(
      w3ds::trimesh()
          .add(w3ds::vertexList(v))
          .add(matrix)
          .add(w3ds::faceList({{0, 1, 3, 0}, {4, 5, 7, 0}})));
}

#endif
