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

#include "loader/3dsloader.h"
#include "meshes.h"
#include "peak.h"
#include "scene/document_model.h"

namespace {

const std::string& File() {
  static const std::string path = WriteMeshFile(31000, 14000);
  return path;
}

// The viewer's whole import, without the GL upload.
void Import(Loader3DS& loader, const std::string& path,
            std::vector<DocumentModel>& models) {
  loader.OpenFile(path);
  models.resize(loader.ModelsCount());
  for (size_t i = 0; i < models.size(); ++i)
    ImportDocumentModel(loader, i, models[i]);
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
    std::vector<DocumentModel> models;
    Import(loader, File(), models);
    benchmark::DoNotOptimize(models.data());
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

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--peak") == 0) {
    PrintPeak("import", argv[2], [](const std::string& path) {
      Loader3DS loader;
      std::vector<DocumentModel> models;
      Import(loader, path, models);
    });
    return 0;
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
