// `ostrak text` and `ostrak diff` on 50,000 documents of 20 head and 4 table attributes,
// shaped like real files, as ratios to a Load of the same container in the same process: text
// within 2.5x one Load, diff (one attribute changed) within 1.5x the two Loads it makes.
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "host/Pack.h"
#include "host/tool/ground/Ground.h"
#include "host/tool/vc/Vc.h"
#include "host/tool/model/Model.h"
#include "metadata/MetaStore.h"
#include "platform/Text.h"
#include "tests/support/ConfigGen.h"
#include "tests/support/TempDir.h"

using namespace kalamos;

namespace {
// Process CPU time: the machine is shared, and other processes' load shows in the wall
// clock only.
double Now() { return double(std::clock()) / CLOCKS_PER_SEC; }
}  // namespace

int main(int argc, char** argv) {
  const int Documents = argc > 1 ? std::atoi(argv[1]) : 50000;
  TTempDir dir;
  const std::string a = dir.Utf8File("a.md"), b = dir.Utf8File("b.md");
  const std::string text = GenerateConfigText(DocumentsShape(Documents));
  // The other version: one attribute made a number, somewhere in the middle.
  std::string changed = text;
  const size_t at = changed.find("\"S\",\"", changed.size() / 2);
  if (at != std::string::npos) changed.replace(at + 1, 1, "N");
  if (FAILED(WriteConfigurationContainer(a, MakeStreamBytes(text))) ||
      FAILED(WriteConfigurationContainer(b, MakeStreamBytes(changed))))
    return 1;
  double bestLoad = 0, bestModel = 0, bestText = 0, bestDiff = 0;
  size_t bytes = 0, diffBytes = 0;
  for (int round = 0; round < 3; ++round) {
    double start = Now();
    { TMetaStore store(ReadConfigurationText(Utf8ToWide(a))); }
    const double load = Now() - start;
    start = Now();
    {
      std::string error;
      std::unique_ptr<TModel> model = LoadModel(a, error);
    }
    const double modelTime = Now() - start;
    if (round == 0 || modelTime < bestModel) bestModel = modelTime;

    start = Now();
    std::string error;
    bytes = 0;
    if (!WriteConfigurationText(a, [&](std::string_view piece) { bytes += piece.size(); }, error)) {
      std::fprintf(stderr, "text: %s\n", error.c_str());
      return 1;
    }
    const double textTime = Now() - start;

    start = Now();
    std::string out;
    bool different = false;
    if (!DiffText(a, b, {}, out, different, error) || !different) {
      std::fprintf(stderr, "diff: %s\n", different ? error.c_str() : "no difference found");
      return 1;
    }
    const double diffTime = Now() - start;
    diffBytes = out.size();

    if (round == 0 || load < bestLoad) bestLoad = load;
    if (round == 0 || textTime < bestText) bestText = textTime;
    if (round == 0 || diffTime < bestDiff) bestDiff = diffTime;
  }
  std::printf("%d documents: Load %.0f ms, Load and model %.0f ms, text %.0f ms (%zu bytes), diff %.0f ms (%zu bytes) (CPU time); "
              "text / Load %.2fx (target 2.5x), diff / two Loads %.2fx (target 1.5x)\n",
              Documents, bestLoad * 1000, bestModel * 1000, bestText * 1000, bytes, bestDiff * 1000, diffBytes, bestText / bestLoad,
              bestDiff / (2 * bestLoad));
  return 0;
}
