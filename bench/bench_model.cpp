// Building the configuration model of `ostrak show`, `find`, `refs`, `path` and `id` from the
// configuration text, as a ratio to the Load itself in the same process, on 50,000 documents
// of 20 head and 4 table attributes. The model must cost at most one more Load.
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "host/Pack.h"
#include "host/tool/model/Model.h"
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
  const std::string file = dir.Utf8File("vellum.md");
  if (FAILED(WriteConfigurationContainer(file, MakeStreamBytes(GenerateConfigText(DocumentsShape(Documents))))))
    return 1;
  // The best of three rounds of each: the machine is shared.
  double bestLoad = 0, bestModel = 0;
  size_t objects = 0;
  for (int round = 0; round < 3; ++round) {
    double start = Now();
    { TMetaStore store(ReadConfigurationText(Utf8ToWide(file))); }
    const double load = Now() - start;
    start = Now();
    TModel model(ReadConfigurationText(Utf8ToWide(file)));
    const double build = Now() - start;
    objects = model.Objects().size();
    if (round == 0 || load < bestLoad) bestLoad = load;
    if (round == 0 || build < bestModel) bestModel = build;
  }
  std::printf("%d documents, %zu objects: Load %.0f ms, model %.0f ms (CPU time); model / Load %.2fx\n", Documents, objects,
              bestLoad * 1000, bestModel * 1000, bestModel / bestLoad);
  return 0;
}
