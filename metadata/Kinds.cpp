// The kind names in code page 1251, converted once on first use.
#include "metadata/Kinds.h"

#include <array>

#include "platform/Text.h"

namespace kalamos {

const std::string& KindEntry(int kind) {
  static const std::array<std::string, KindCount> entries = [] {
    std::array<std::string, KindCount> out;
    for (int i = 0; i < KindCount; ++i)
      out[i] = Utf8ToAnsi(std::string(KindRows[i].English) + ":" + KindRows[i].Russian);
    return out;
  }();
  return entries.at(static_cast<size_t>(kind));
}

}  // namespace kalamos
