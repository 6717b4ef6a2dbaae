// ostrak text: the configuration as lines for version control.
#include <algorithm>
#include <cstdio>

#include "host/tool/answers/Contents.h"
#include "host/tool/ground/Ground.h"
#include "host/tool/vc/Vc.h"

namespace kalamos {

bool WriteConfigurationText(const std::string& path, const std::function<void(std::string_view)>& write,
                            std::string& error, bool all) {
  TContents contents;
  if (!LoadContents(path, contents, error, all)) return false;
  const size_t objects = contents.Model->Objects().size();
  // Runs of objects small enough that a large configuration's text is never held whole.
  constexpr size_t Run = 256;
  // Each run's buffer is written over by the next: its bytes are cleared once, not per run.
  auto format = [&](TOut& out, size_t from) {
    out.Reset();
    for (size_t i = from; i < std::min(objects, from + Run); ++i) ObjectText(contents, int32_t(i), out);
  };
  // Each thread's buffer and writer on a cache line of its own: side by side on the stack, every
  // append of one thread took the line from the other (a third of the formatting's time).
  struct alignas(64) TRun {
    std::string Text;
    TOut Out{Text};
  };
  TRun runA, runB;
  TOut& outA = runA.Out;
  TOut& outB = runB.Out;
  for (size_t from = 0; from < objects; from += 2 * Run) {
    if (from + Run < objects) {
      // Objects' lines are independent of each other: two runs are formatted at once (a large
      // configuration's text is mostly this work), and written in order.
      RunBoth([&] { format(outA, from); }, [&] { format(outB, from + Run); });
    } else {
      format(outA, from);
      outB.Reset();
    }
    write(outA.Written());
    if (outB.size()) write(outB.Written());
  }
  std::string rest;
  ContainerText(contents, rest);
  write(rest);
  return true;
}

int RunText(const std::string& path, bool all) {
  std::string error;
  if (!WriteConfigurationText(path, [](std::string_view piece) { std::fwrite(piece.data(), 1, piece.size(), stdout); },
                              error, all)) {
    Err("ostrak: " + error + "\n");
    return ExitFailed;
  }
  return ExitOk;
}

}  // namespace kalamos
