// Import cost of a big mesh: reading the file's bytes (the floor), opening and
// decoding it, and smoothing its normals; and the viewing mode's import.
//   loader_bench                  the timings
//   loader_bench --peak FILE      peak memory of one viewing import of FILE
//                                 above the baseline
//   loader_bench --peak           the same for a crafted 846 KB file whose
//                                 1 800 meshes run past their objects to one
//                                 shared 65 535-vertex list
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/input_files.h"
#include "hostile3ds.h"
#include "loader/3dsloader.h"
#include "meshes.h"
#include "peak.h"
#include "scene/document_model.h"
#include "scene/import.h"
#include "scene/keyframer.h"
#include "scene/pose.h"

namespace {

std::string MakeMesh(int faces) { return WriteMeshFile(faces, faces); }

const std::string& BigMesh() {
  static const std::string path = MakeMesh(65535);
  return path;
}

void BM_ReadFileBytes(benchmark::State& state) {
  const std::string& path = BigMesh();
  for (auto _ : state) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    std::fseek(f, 0, SEEK_END);
    long size = std::ftell(f);
    std::fseek(f, 0, SEEK_SET);
    std::vector<unsigned char> bytes(size);
    benchmark::DoNotOptimize(std::fread(bytes.data(), 1, size, f));
    std::fclose(f);
  }
}
BENCHMARK(BM_ReadFileBytes)->Unit(benchmark::kMicrosecond);

// Open and decode as the viewer does, without the normals.
DocumentModel OpenAndDecode(Loader3DS& loader, const std::string& path) {
  DocumentModel m;
  loader.OpenFile(path);
  loader.ModelsCount();
  ReadDocumentModel(loader, 0, m);
  return m;
}

void BM_OpenAndDecode(benchmark::State& state) {
  const std::string& path = BigMesh();
  for (auto _ : state) {
    Loader3DS loader;
    benchmark::DoNotOptimize(OpenAndDecode(loader, path));
  }
}
BENCHMARK(BM_OpenAndDecode)->Unit(benchmark::kMicrosecond);

void BM_SmoothNormals(benchmark::State& state) {
  Loader3DS loader;
  DocumentModel m = OpenAndDecode(loader, BigMesh());
  for (auto _ : state)
    loader.SmoothNormals(m.facecount, m.faces, m.vertices, m.normals);
}
BENCHMARK(BM_SmoothNormals)->Unit(benchmark::kMicrosecond);

// The whole import of one mesh: open, decode, normals; at several sizes so
// the growth shows.
void BM_Import(benchmark::State& state) {
  std::string path = MakeMesh(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    Loader3DS loader;
    DocumentModel m;
    loader.OpenFile(path);
    loader.ModelsCount();
    ImportDocumentModel(loader, 0, m);
    benchmark::DoNotOptimize(m.normals);
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_Import)
    ->Arg(1024)
    ->Arg(8192)
    ->Arg(32768)
    ->Arg(65535)
    ->Unit(benchmark::kMicrosecond)
    ->Complexity(benchmark::oN);

// The viewing mode's import of a 31 000-face file: open, every mesh and
// material, face groups, normals, bounds.
void BM_ViewingImport(benchmark::State& state) {
  const std::string path = WriteMeshFile(31000, 14000);
  for (auto _ : state) {
    Loader3DS loader;
    loader.OpenFile(path);
    Scene scene;
    std::string why;
    benchmark::DoNotOptimize(ImportScene(loader, scene, why));
  }
}
BENCHMARK(BM_ViewingImport)->Unit(benchmark::kMicrosecond);

// A pose of 1 000 nodes, each with 1 000 keys in each of its position,
// rotation and scale tracks, a child of the one before, each placing a
// triangle: per node and frame.
void BM_PoseScene(benchmark::State& state) {
  using namespace w3ds;
  Chunk kf(0xB000);
  for (int n = 0; n < 1000; ++n) {
    Chunk node(0xB002);
    node.add(Chunk(0xB030).u16(std::uint16_t(n)));
    node.add(Chunk(0xB010).str("a").u16(0).u16(0).u16(
        std::uint16_t(n == 0 ? 0xFFFF : n - 1)));
    for (std::uint16_t id : {0xB020, 0xB021, 0xB022}) {
      Chunk track(id);
      track.u16(0).u32(0).u32(0).u32(1000);
      for (int k = 0; k < 1000; ++k) {
        track.u32(std::uint32_t(k)).u16(0);
        if (id == 0xB021) track.f32(0.01f);
        track.f32(1).f32(0.5f).f32(0.25f);
      }
      node.add(track);
    }
    kf.add(node);
  }
  const Chunk triangle =
      object("a").add(trimesh()
                          .add(vertexList({{0, 0, 0}, {1, 0, 0}, {0, 0, 1}}))
                          .add(faceList({{0, 1, 2, 0}})));
  const std::string path = "/tmp/loader_bench_pose.3ds";
  writeFile(path, Chunk(0x4D4D).add(editor().add(triangle)).add(kf).bytes());
  Loader3DS loader;
  loader.OpenFile(path);
  Scene scene;
  std::string why;
  ImportScene(loader, scene, why);
  std::vector<Matrix> matrices;
  std::vector<bool> shown;
  double frame = 0;
  for (auto _ : state) {
    PoseScene(scene, frame, matrices, shown);
    frame = frame > 998 ? 0 : frame + 1.37;
  }
  state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_PoseScene)->Unit(benchmark::kMicrosecond);

}  // namespace

// Keep freed blocks in the heap between iterations, so every size is timed in
// the same steady state instead of some paying the kernel's page faults anew
// on each iteration and others not.
int main(int argc, char** argv) {
  if ((argc == 2 || argc == 3) && std::strcmp(argv[1], "--peak") == 0) {
    std::string file = argc == 3 ? argv[2] : "/tmp/overlapping-meshes.3ds";
    if (argc == 2) {  // written here, measured from a fresh process
      w3ds::writeFile(file, hostile::OverlappingMeshes(1800));
      execl(argv[0], argv[0], "--peak", file.c_str(), nullptr);
    }
    PrintPeak("viewing import", file, [](const std::string& path) {
      Loader3DS loader;
      FileId id;
      std::string why;
      if (!OpenModelFile(path, loader, id, why)) return;
      Scene scene;
      ImportScene(loader, scene, why);
    });
    return 0;
  }
  mallopt(M_MMAP_THRESHOLD, 64 << 20);
  mallopt(M_TRIM_THRESHOLD, 256 << 20);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
