// A file written by a real modelling tool, read chunk by chunk.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "loader/3dsloader.h"
#include "scene/document_model.h"
#include "walk3ds.h"

#ifndef TEST_DATA_DIR
#error TEST_DATA_DIR must name the directory with the real files
#endif

TEST(RealFile, RifleChunksHoldWhatTheToolWrote) {
  Loader3DS loader;
  ASSERT_TRUE(loader.OpenFile(TEST_DATA_DIR "/mar_rifle.3ds"));
  EXPECT_EQ(17067u, loader.filesize);
  EXPECT_EQ(1, loader.ObjectsCount());
  ASSERT_EQ(1, loader.ModelsCount());
  EXPECT_EQ(1, loader.MaterialsCount());
  std::string name;
  ASSERT_TRUE(loader.ModelName(0, name));
  EXPECT_EQ("m_rifle", name);

  // What the viewer's import takes from it.
  DocumentModel m;
  ASSERT_EQ("", ImportDocumentModel(loader, 0, m));
  EXPECT_EQ(421, m.vertexcount);
  EXPECT_EQ(572, m.facecount);
  for (int i = 0; i < 3 * m.vertexcount; i += 3) {
    const float* n = &m.normals[i];
    float len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    EXPECT_TRUE(len == 0 || std::fabs(len - 1) < 1e-5) << i / 3 << " " << len;
  }
  EXPECT_EQ("mat1", m.mat.name);
  EXPECT_EQ(150, m.mat.ambient[0]);
  EXPECT_EQ(150, m.mat.ambient[2]);
  EXPECT_EQ(255, m.mat.diffuse[1]);
  EXPECT_EQ(229, m.mat.specular[0]);
  EXPECT_EQ(0, m.mat.shininess);
  EXPECT_EQ(0, m.mat.transparency);
  EXPECT_EQ("m_rifl.bmp", m.image);

  // What only the reader sees: smoothing groups and the material reference.
  chunk_header mesh, fl, mr, sg;
  ASSERT_TRUE(loader.GetMesh(0, 0, mesh));
  ASSERT_TRUE(loader.FindFaceList(mesh, fl));
  ASSERT_TRUE(loader.FindMaterialRef(fl, mr, 0));
  ASSERT_TRUE(loader.FindSmoothingGroup(fl, sg));
  EXPECT_EQ(572, loader.ReadSmoothingGroup(sg, nullptr));
  std::string matname;
  EXPECT_EQ(572, loader.ReadMaterialRef(mr, matname, nullptr));
  EXPECT_EQ("mat1", matname);

  EXPECT_FALSE(WalkAll(loader).broken);
}
