// The least any whole-configuration command must do: Load, then every listing of every
// document called to its end through IScriptAugment the way the host calls (GetNParams,
// GetParamDefValue for each omitted parameter, HasRetVal, CallAsFunc on a fresh array),
// with nothing done with the answers. Printed as a ratio to the Load alone, on 1,000 and
// 50,000 documents of 20 head and 4 table attributes: the floor under `ostrak dump`'s.
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "host/Pack.h"
#include "host/Session.h"
#include "platform/Text.h"
#include "tests/support/ConfigGen.h"
#include "tests/support/TempDir.h"

using namespace kalamos;

namespace {

using TClock = std::chrono::steady_clock;

double Seconds(TClock::time_point since) { return std::chrono::duration<double>(TClock::now() - since).count(); }

struct TFigures {
  double Load = 0, Walk = 0;
  long Calls = 0;
};

TFigures Measure(int documents) {
  TTempDir dir;
  if (FAILED(WriteConfigurationContainer(dir.Utf8File("vellum.md"),
                                         MakeStreamBytes(GenerateConfigText(DocumentsShape(documents))))))
    std::abort();
  TFigures best;
  for (int round = 0; round < 3; ++round) {
    TSession session;
    if (FAILED(session.Start())) std::abort();
    auto start = TClock::now();
    if (!session.Load(dir.Utf8())) std::abort();
    const double load = Seconds(start);
    std::vector<TVariant> names;
    for (int i = 0; i < documents; ++i) names.push_back(TVariant::Text(AnsiToWide(DocumentName(i))));
    long calls = 0;
    start = TClock::now();
    for (const TVariant& name : names) {
      for (LONG method : {4L, 5L}) {  // EnumDocHead, EnumDocTable
        for (;;) {
          TCallOutcome outcome;
          ++calls;
          if (FAILED(session.Call(method, {name}, outcome)) || outcome.Return.AsInt() == 0) break;
        }
      }
    }
    const double walk = Seconds(start);
    if (round == 0 || load + walk < best.Load + best.Walk) best = {load, walk, calls};
  }
  return best;
}

}  // namespace

int main() {
  const TFigures few = Measure(1000), many = Measure(50000);
  for (const auto& [n, f] : {std::pair<int, const TFigures&>{1000, few}, {50000, many}})
    std::printf("%6d documents: Load %.0f ms; %ld calls in %.0f ms, %.2f us a call; (Load + calls) / Load %.2fx\n", n,
                f.Load * 1000, f.Calls, f.Walk * 1000, f.Walk / double(f.Calls) * 1e6, (f.Load + f.Walk) / f.Load);
  std::printf("a call, 50,000 / 1,000 documents: %.2fx\n",
              (many.Walk / double(many.Calls)) / (few.Walk / double(few.Calls)));
  return 0;
}
