// QuotedField against a plain reading of its rule: a field ends at every comma that directly
// follows a double quote (a text without a final comma reads as if it had one), and its
// value is the field without its first and last character.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "metadata/getInfo.h"
#include "tests/fuzz/FuzzCheck.h"

using namespace kalamos;

namespace {

std::string Reference(std::string text, int n) {
  if (n <= 0 || text.empty()) return {};
  if (text.back() != ',') text += ',';
  std::vector<std::string> fields;
  size_t start = 0;
  for (size_t i = 1; i < text.size(); ++i) {
    if (text[i] == ',' && text[i - 1] == '"') {
      fields.push_back(text.substr(start, i - start));  // up to and with the closing quote
      start = i + 1;
    }
  }
  if (size_t(n) > fields.size()) return {};
  const std::string& field = fields[size_t(n) - 1];
  return field.size() < 2 ? std::string() : field.substr(1, field.size() - 2);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  // The first byte picks the field number, negative ones included.
  const int n = int(int8_t(data[0])) / 4;
  const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::string_view field = QuotedField(text, n);
  FUZZ_CHECK(std::string(field) == Reference(std::string(text), n));
  // The value points into the text it came from.
  if (!field.empty()) FUZZ_CHECK(field.data() >= text.data() && field.data() + field.size() <= text.data() + text.size());
  return 0;
}
