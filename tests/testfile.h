// Helpers that put fixture bytes into a real file for Loader3DS::OpenFile.
#ifndef MODELVIEWER_TESTFILE_H
#define MODELVIEWER_TESTFILE_H

#include <gtest/gtest.h>

#include <string>

#include "3dsloader.h"
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

#endif
