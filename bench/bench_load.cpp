// Loading a configuration container, against a plain read of its stream, at 1, 10 and 100 MB;
// and named lookups among 200 and 20,000 documents.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <map>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <memory>

#include "metadata/MetaStore.h"
#include "platform/Storage.h"
#include "platform/Text.h"
#include "tests/support/ConfigGen.h"
#include "tests/support/ContainerBuilder.h"

using namespace kalamos;

namespace {

using TClock = std::chrono::steady_clock;

struct TContainer {
  TTempDir Dir;
  std::string File;
  size_t StreamBytes = 0;
};

TContainer& ContainerOf(size_t megabytes) {
  static std::map<size_t, std::unique_ptr<TContainer>> made;
  auto& slot = made[megabytes];
  if (!slot) {
    slot = std::make_unique<TContainer>();
    const std::string bytes = MakeStreamBytes(GenerateConfigText(ShapeForSize(megabytes << 20)));
    if (FAILED(WriteContainerBytes(slot->Dir, bytes))) std::abort();
    slot->File = slot->Dir.AnsiFile("vellum.md");
    slot->StreamBytes = bytes.size();
  }
  return *slot;
}

// Only what any reader must do: open the three levels and read the stream.
size_t PlainRead(const std::string& file) {
  TStorage root, metadata;
  TStream stream;
  const WideString name = AnsiToWide(file);
  uint64_t size = 0;
  uint32_t got = 0;
  if (FAILED(OpenRootStorage(name, root)) || FAILED(OpenChildStorage(root, AnsiToWide("Metadata"), metadata)) ||
      FAILED(OpenChildStream(metadata, AnsiToWide("Main MetaData Stream"), stream)) ||
      FAILED(StreamSize(stream, size)))
    std::abort();
  std::string buffer(size, '\0');
  if (FAILED(StreamRead(stream, buffer.data(), uint32_t(size), got))) std::abort();
  return got;
}

// Process CPU time besides wall time: the machine is shared, and other processes' load
// shows in the wall clock only.
double CpuSeconds() { return double(std::clock()) / CLOCKS_PER_SEC; }

struct TLoadFigures {
  double LoadSeconds = 0, ReadSeconds = 0, LoadCpu = 0, ReadCpu = 0;
  double MemoryRatio = 0;
};
std::map<size_t, TLoadFigures> Figures;

void BM_Load(benchmark::State& state) {
  const size_t megabytes = size_t(state.range(0));
  TContainer& container = ContainerOf(megabytes);
  double load = 0, read = 0, loadCpu = 0, readCpu = 0;
  size_t memory = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto t0 = TClock::now();
    double c0 = CpuSeconds();
    benchmark::DoNotOptimize(PlainRead(container.File));
    read += std::chrono::duration<double>(TClock::now() - t0).count();
    readCpu += CpuSeconds() - c0;
    state.ResumeTiming();
    t0 = TClock::now();
    c0 = CpuSeconds();
    TMetaStore store(container.File);
    load += std::chrono::duration<double>(TClock::now() - t0).count();
    loadCpu += CpuSeconds() - c0;
    memory = store.MemoryUsed();
  }
  const double n = double(state.iterations());
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(container.StreamBytes));
  state.counters["read_MBps"] = double(container.StreamBytes) / (1 << 20) / (read / n);
  state.counters["load_per_read"] = load / read;
  state.counters["memory_ratio"] = double(memory) / double(container.StreamBytes);
  Figures[megabytes] = {load / n, read / n, loadCpu / n, readCpu / n, double(memory) / double(container.StreamBytes)};
}
BENCHMARK(BM_Load)->Arg(1)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond)->MinTime(1.0);

// The listing functions look an object up among all objects of its kind on every call.
void BM_FindDocument(benchmark::State& state) {
  TConfigShape shape;
  shape.Documents = int(state.range(0));
  shape.HeadFields = 2;
  shape.TableFields = 1;
  TMetaStore store(NormaliseStreamBytes(MakeStreamBytes(GenerateConfigText(shape))));
  const std::string section(store.SectionIdOf(KindDocument));
  std::vector<std::string> names;
  for (int i = 0; i < 64; ++i) names.push_back(AnsiUpper(DocumentName(i * 97 % shape.Documents)));
  size_t i = 0;
  int32_t position = 0;
  for (auto _ : state) {
    if (!store.FindChildByName(section, names[i++ % names.size()], position)) state.SkipWithError("not found");
    benchmark::DoNotOptimize(position);
  }
}
BENCHMARK(BM_FindDocument)->Arg(200)->Arg(20000);

}  // namespace

int main(int argc, char** argv) {
#ifdef __GLIBC__
  // glibc moves its mmap threshold up as large blocks are freed, so that after the first
  // iterations a loop of loads stops paying for fresh pages, unevenly across sizes (a 1 MB
  // text then looks faster per byte than it is). A fixed threshold makes every load take
  // its buffers fresh, as the host's one load does.
  mallopt(M_MMAP_THRESHOLD, 256 << 10);
#endif
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  for (const auto& [mb, f] : Figures)
    std::printf("%4zu MB: load %.1f MB/s wall, %.1f MB/s cpu; plain read %.1f MB/s wall, %.1f MB/s cpu; "
                "load/read %.2f wall, %.2f cpu; memory %.2fx stream\n",
                mb, double(mb) / f.LoadSeconds, double(mb) / f.LoadCpu, double(mb) / f.ReadSeconds,
                double(mb) / f.ReadCpu, f.LoadSeconds / f.ReadSeconds, f.LoadCpu / f.ReadCpu, f.MemoryRatio);
  for (auto [small, large] : {std::pair<size_t, size_t>{1, 10}, {10, 100}})
    if (Figures.count(small) && Figures.count(large))
      std::printf("%zu MB / %zu MB time: %.2f wall, %.2f cpu\n", large, small,
                  Figures[large].LoadSeconds / Figures[small].LoadSeconds,
                  Figures[large].LoadCpu / Figures[small].LoadCpu);
  benchmark::Shutdown();
  return 0;
}
