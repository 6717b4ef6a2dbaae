// The function names in code page 1251, converted once on first use, so the build never
// depends on the compiler's exec-charset.
#include "methods/Functions.h"

#include <array>

#include "platform/Text.h"

namespace kalamos {

namespace {

const std::array<std::string, MethodCount>& MethodEntries() {
  static const std::array<std::string, MethodCount> entries = [] {
    std::array<std::string, MethodCount> out;
    for (int i = 0; i < MethodCount; ++i)
      out[i] = Utf8ToAnsi(std::string(FunctionRows[i].English) + ";" + FunctionRows[i].Russian);
    return out;
  }();
  return entries;
}

const std::array<std::string, MethodCount>& UpperMethodEntries() {
  static const std::array<std::string, MethodCount> entries = [] {
    std::array<std::string, MethodCount> out;
    for (int i = 0; i < MethodCount; ++i) out[i] = AnsiUpper(MethodEntries()[i]);
    return out;
  }();
  return entries;
}

}  // namespace

const std::string& MethodEntry(int number) { return MethodEntries().at(static_cast<size_t>(number)); }

const std::string& UpperMethodEntry(int number) {
  return UpperMethodEntries().at(static_cast<size_t>(number));
}

std::string_view MethodName(int number, bool russian, bool upper) {
  const std::string_view entry = upper ? UpperMethodEntry(number) : MethodEntry(number);
  const size_t semicolon = entry.find(';');
  return russian ? entry.substr(semicolon + 1) : entry.substr(0, semicolon);
}

uint8_t ParamCount(int number) { return MethodInRange(number) ? FunctionRows[number].Params : 0; }

}  // namespace kalamos
