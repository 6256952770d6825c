// The viewer's whole import of a 31 000-face file (open, every decode the
// viewer makes, smoothed normals) beside a bare read of the file and beside a
// general 3DS library loading it and computing its normals.
//   peer_bench                 the timings
//   peer_bench --peak FILE     peak memory of one import of FILE above the
//                              baseline (make FILE with make_mesh 31000 14000)
#include <benchmark/benchmark.h>
#include <lib3ds/file.h>
#include <lib3ds/mesh.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "3dsloader.h"
#include "meshes.h"

namespace {

const std::string& File() {
  static const std::string path = WriteMeshFile(31000, 14000);
  return path;
}

struct Model {
  std::vector<float> vertices, coords, normals;
  std::vector<unsigned short> faces;
  material mat;
};

// What the viewer's import does for one model, without the GL upload.
void Import(Loader3DS& loader, const std::string& path, Model& m) {
  loader.OpenFile(path);
  int models = loader.ModelsCount();
  for (int i = 0; i < models; ++i) {
    chunk_header mesh, vl, fl, mr, mc, mat;
    loader.GetMesh(i, 0, mesh);
    loader.FindVertexList(mesh, vl);
    m.vertices.resize(3 * loader.ReadVertices(vl, nullptr));
    loader.ReadVertices(vl, m.vertices.data());
    m.normals.assign(m.vertices.size(), 0.0f);
    loader.FindFaceList(mesh, fl);
    m.faces.resize(3 * loader.ReadFaces(fl, nullptr));
    loader.ReadFaces(fl, m.faces.data());
    loader.FindMaterialRef(fl, mr, 0);
    if (loader.GetMaterial(i, mat)) loader.ReadMaterial(mat, m.mat);
    loader.FindMappingCoords(mesh, mc);
    m.coords.resize(2 * loader.ReadMappingCoords(mc, nullptr));
    loader.ReadMappingCoords(mc, m.coords.data());
    loader.SmoothNormals(m.faces.size() / 3, m.faces.data(), m.vertices.data(),
                         m.normals.data());
  }
}

void BM_BareRead(benchmark::State& state) {
  for (auto _ : state) {
    std::ifstream in(File(), std::ios::binary | std::ios::ate);
    std::vector<char> bytes(in.tellg());
    in.seekg(0);
    in.read(bytes.data(), bytes.size());
    benchmark::DoNotOptimize(bytes.data());
  }
}
BENCHMARK(BM_BareRead)->Unit(benchmark::kMicrosecond);

void BM_ViewerImport(benchmark::State& state) {
  for (auto _ : state) {
    Loader3DS loader;
    Model m;
    Import(loader, File(), m);
    benchmark::DoNotOptimize(m.normals.data());
  }
}
BENCHMARK(BM_ViewerImport)->Unit(benchmark::kMicrosecond);

void BM_Lib3dsLoadAndNormals(benchmark::State& state) {
  for (auto _ : state) {
    Lib3dsFile* file = lib3ds_file_load(File().c_str());
    for (Lib3dsMesh* mesh = file->meshes; mesh; mesh = mesh->next) {
      std::vector<Lib3dsVector> normals(3 * mesh->faces);
      lib3ds_mesh_calculate_normals(mesh, normals.data());
      benchmark::DoNotOptimize(normals.data());
    }
    lib3ds_file_free(file);
  }
}
BENCHMARK(BM_Lib3dsLoadAndNormals)->Unit(benchmark::kMicrosecond);

long StatusKb(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.compare(0, std::strlen(field), field) == 0)
      return std::atol(line.c_str() + std::strlen(field) + 1);
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--peak") == 0) {
    const std::string path = argv[2];
    long size = static_cast<long>(std::ifstream(path, std::ios::ate | std::ios::binary).tellg());
    long baseline = StatusKb("VmHWM:");
    {
      Loader3DS loader;
      Model m;
      Import(loader, path, m);
    }
    long peak = StatusKb("VmHWM:");
    std::printf("file %ld KB; peak resident memory %ld KB above a baseline of %ld KB "
                "(%.2f x the file)\n",
                size / 1024, peak - baseline, baseline,
                (peak - baseline) * 1024.0 / size);
    return 0;
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
