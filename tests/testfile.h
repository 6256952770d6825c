// Helpers of the window-free tests: fixture bytes put into a real file for
// Loader3DS::OpenFile and imported with their promises checked, the
// keyframer's fixtures, and the names of a table's cases.
#ifndef MODELVIEWER_TESTFILE_H
#define MODELVIEWER_TESTFILE_H

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "loader/3dsloader.h"
#include "scene/import.h"
#include "scene_check.h"
#include "writer3ds.h"

inline std::string TempPath(const std::string& name) {
  const ::testing::TestInfo* info =
      ::testing::UnitTest::GetInstance()->current_test_info();
  std::string path =
      std::string(info->test_suite_name()) + "." + info->name() + "." + name;
  // The names of parameterised tests hold slashes.
  std::replace(path.begin(), path.end(), '/', '_');
  return ::testing::TempDir() + path;
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

// A case's test name: the words of its `what` in letters, digits and
// underscores, so that --gtest_filter can pick one.
template <typename Case>
std::string CaseName(const ::testing::TestParamInfo<Case>& info) {
  std::string name;
  bool gap = true;
  for (const char* c = info.param.what; *c; ++c) {
    const bool alnum = std::isalnum(static_cast<unsigned char>(*c)) != 0;
    if (alnum && gap && !name.empty()) name += '_';
    if (alnum) name += *c;
    gap = !alnum;
  }
  return name;
}

#endif
