// ostrak text: the configuration as lines for version control.
#include <algorithm>

#include "host/tool/Contents.h"

namespace kalamos {

bool WriteConfigurationText(const std::string& path, const std::function<void(const std::string&)>& write,
                            std::string& error, bool all) {
  TContents contents;
  if (!LoadContents(path, contents, error, all)) return false;
  const size_t objects = contents.Model->Objects().size();
  // Runs of objects small enough that a large configuration's text is never held whole.
  constexpr size_t Run = 256;
  auto format = [&](std::string& out, size_t from) {
    out.clear();
    for (size_t i = from; i < std::min(objects, from + Run); ++i) ObjectText(contents, int32_t(i), out);
  };
  std::string a, b;
  for (size_t from = 0; from < objects; from += 2 * Run) {
    if (from + Run < objects) {
      // Objects' lines are independent of each other: two runs are formatted at once (a large
      // configuration's text is mostly this work), and written in order.
      RunBoth([&] { format(a, from); }, [&] { format(b, from + Run); });
    } else {
      format(a, from);
      b.clear();
    }
    write(a);
    if (!b.empty()) write(b);
  }
  a.clear();
  ContainerText(contents, a);
  write(a);
  return true;
}

int RunText(const std::string& path, bool all) {
  std::string error;
  if (!WriteConfigurationText(path, Out, error, all)) {
    Err("ostrak: " + error + "\n");
    return ExitFailed;
  }
  return ExitOk;
}

}  // namespace kalamos
