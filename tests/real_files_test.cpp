// A file written by a real modelling tool, read chunk by chunk.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "3dsloader.h"
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

  chunk_header mesh, vl, fl, mc, mr, sg;
  ASSERT_TRUE(loader.GetMesh(0, 0, mesh));
  ASSERT_TRUE(loader.FindVertexList(mesh, vl));
  ASSERT_TRUE(loader.FindFaceList(mesh, fl));
  ASSERT_TRUE(loader.FindMappingCoords(mesh, mc));
  ASSERT_TRUE(loader.FindMaterialRef(fl, mr, 0));
  ASSERT_TRUE(loader.FindSmoothingGroup(fl, sg));
  int nv = loader.ReadVertices(vl, nullptr);
  int nf = loader.ReadFaces(fl, nullptr);
  EXPECT_EQ(421, nv);
  EXPECT_EQ(572, nf);
  EXPECT_EQ(421, loader.ReadMappingCoords(mc, nullptr));
  EXPECT_EQ(572, loader.ReadSmoothingGroup(sg, nullptr));
  std::string matname;
  EXPECT_EQ(572, loader.ReadMaterialRef(mr, matname, nullptr));
  EXPECT_EQ("mat1", matname);

  std::vector<float> v(3 * nv), n(3 * nv, 0);
  std::vector<unsigned short> f(3 * nf);
  loader.ReadVertices(vl, v.data());
  loader.ReadFaces(fl, f.data());
  for (unsigned short i : f) ASSERT_LT(i, nv);
  ASSERT_TRUE(loader.SmoothNormals(nf, f.data(), v.data(), n.data()));
  for (int i = 0; i < nv; ++i) {
    float len = std::sqrt(n[3 * i] * n[3 * i] + n[3 * i + 1] * n[3 * i + 1] +
                          n[3 * i + 2] * n[3 * i + 2]);
    EXPECT_TRUE(len == 0 || std::fabs(len - 1) < 1e-5) << i << " " << len;
  }

  chunk_header matchunk, map;
  material mat;
  ASSERT_TRUE(loader.GetMaterial(0, matchunk));
  ASSERT_TRUE(loader.ReadMaterial(matchunk, mat));
  EXPECT_EQ("mat1", mat.name);
  EXPECT_EQ(150, mat.ambient[0]);
  EXPECT_EQ(150, mat.ambient[2]);
  EXPECT_EQ(255, mat.diffuse[1]);
  EXPECT_EQ(229, mat.specular[0]);
  EXPECT_EQ(0, mat.shininess);
  EXPECT_EQ(0, mat.transparency);
  ASSERT_TRUE(loader.GetTexture(0, map, CHUNK_TEXTUREMAP));
  texture tex;
  ASSERT_TRUE(loader.ReadTexture(map, tex));
  EXPECT_EQ("m_rifl.bmp", tex.filename);

  EXPECT_FALSE(WalkAll(loader).broken);
}
