#include "metadata/getInfo.h"

namespace kalamos {

std::string_view QuotedField(std::string_view text, int n) {
  if (n <= 0 || text.empty()) return {};
  // A missing final comma is treated as present: it ends the last field like any other.
  const bool appended = text.back() != ',';
  const size_t length = text.size() + (appended ? 1 : 0);
  auto at = [&](size_t i) { return i < text.size() ? text[i] : ','; };
  int counter = 0;
  size_t previousEnd = 0;  // 1-based position of the comma that ended the previous field
  for (size_t j = 2; j <= length; ++j) {
    if (at(j - 1) != ',' || at(j - 2) != '"') continue;
    if (++counter == n) {
      // Characters previousEnd+2 .. j-2 (1-based); none when the field is just `",`.
      if (j < previousEnd + 3) return {};
      return text.substr(previousEnd + 1, j - previousEnd - 3);
    }
    previousEnd = j;
  }
  return {};
}

}  // namespace kalamos
