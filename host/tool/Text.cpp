// ostrak text: the configuration as lines for version control.
#include <algorithm>
#include <exception>

#if !defined(_WIN32)
#include <thread>
#endif

#include "host/tool/Contents.h"

namespace kalamos {

namespace {
// Objects' lines are independent of each other: two runs of objects are formatted at once
// where the standard library has threads (a large configuration's text is mostly this work),
// and written in order. The Windows tool is built without them and formats one run after
// the other.
void FormatPair(const std::function<void(std::string&, size_t)>& format, size_t first, size_t second,
                std::string& a, std::string& b) {
#if !defined(_WIN32)
  std::exception_ptr failed;
  std::thread other([&] {
    try {
      format(b, second);
    } catch (...) {
      failed = std::current_exception();
    }
  });
  try {
    format(a, first);
  } catch (...) {
    other.join();
    throw;
  }
  other.join();
  if (failed) std::rethrow_exception(failed);
#else
  format(a, first);
  format(b, second);
#endif
}
}  // namespace

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
      FormatPair(format, from, from + Run, a, b);
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
