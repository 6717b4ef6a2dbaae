// One EnumDocHead call through CallAsFunc, on generated configurations with 1,000 and 50,000
// documents of 20 head attributes each. A call repeats the document lookup among all
// documents, so its cost must not grow with their number: the ratio of the two is printed.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <memory>

#include "metadata/MetaStore.h"
#include "platform/Text.h"
#include "shell/Ostrak.h"
#include "tests/support/ConfigGen.h"

using namespace kalamos;

namespace {

struct TFixture {
  TOstrak* Object = nullptr;
  SAFEARRAY* Params = nullptr;
  VARIANT Result;
  ~TFixture() {
    VariantClear(&Result);
    SafeArrayDestroy(Params);
    Object->Done();
    Object->Release();
  }
};

TFixture& FixtureOf(int documents) {
  static std::map<int, std::unique_ptr<TFixture>> made;
  auto& slot = made[documents];
  if (!slot) {
    slot = std::make_unique<TFixture>();
    slot->Object = new TOstrak();
    slot->Object->AddRef();
    slot->Object->Init(nullptr);
    TTextBuffer buffer;
    buffer.Bytes = GenerateConfigText(DocumentsShape(documents));
    slot->Object->Store = std::make_unique<TMetaStore>(buffer);
    VariantInit(&slot->Result);
    slot->Params = SafeArrayCreateVector(VT_VARIANT, 0, 7);
    VARIANT name;
    VariantInit(&name);
    name.vt = VT_BSTR;
    name.bstrVal = AnsiToBstr(DocumentName(documents / 2));
    LONG index = 0;
    SafeArrayPutElement(slot->Params, &index, &name);
    VariantClear(&name);
  }
  return *slot;
}

std::map<int, double> SecondsPerCall;

void EnumDocHead(benchmark::State& state) {
  TFixture& fixture = FixtureOf(int(state.range(0)));
  int64_t items = 0;
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    HRESULT hr = fixture.Object->CallAsFunc(MethodEnumDocHead, &fixture.Result, &fixture.Params);
    if (hr != S_OK) {
      state.SkipWithError("EnumDocHead failed");
      break;
    }
    items += fixture.Result.lVal;
  }
  // Twenty items and one end-of-list call per round; anything else lists the wrong thing.
  const int64_t ends = int64_t(state.iterations()) - items;
  if (ends > int64_t(state.iterations()) / 21 + 1) state.SkipWithError("listing ended early");
  state.counters["calls/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
  SecondsPerCall[int(state.range(0))] =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / double(state.iterations());
}

}  // namespace

BENCHMARK(EnumDocHead)->Arg(1000)->Arg(50000);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  if (SecondsPerCall.count(1000) && SecondsPerCall.count(50000))
    std::printf("EnumDocHead a call, 50,000 / 1,000 documents: %.2fx (%.2f us vs %.2f us)\n",
                SecondsPerCall[50000] / SecondsPerCall[1000], SecondsPerCall[50000] * 1e6, SecondsPerCall[1000] * 1e6);
  benchmark::Shutdown();
  return 0;
}
