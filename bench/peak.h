// Peak resident memory that one piece of work adds, read from /proc.
#ifndef MODELVIEWER_BENCH_PEAK_H
#define MODELVIEWER_BENCH_PEAK_H

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

inline long StatusKb(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.compare(0, std::strlen(field), field) == 0)
      return std::atol(line.c_str() + std::strlen(field) + 1);
  return -1;
}

// Runs `work` once on `path` and prints the peak resident memory it added,
// also as a multiple of the file's size.
template <class Work>
void PrintPeak(const char* what, const std::string& path, Work work) {
  long size = static_cast<long>(
      std::ifstream(path, std::ios::ate | std::ios::binary).tellg());
  long baseline = StatusKb("VmHWM:");
  work(path);
  long peak = StatusKb("VmHWM:");
  std::printf(
      "%s: file %ld KB; peak resident memory %ld KB above a baseline of %ld "
      "KB (%.2f x the file)\n",
      what, size / 1024, peak - baseline, baseline,
      (peak - baseline) * 1024.0 / size);
}

#endif
