// The text services that are the same on every platform, built on the ones that are not.
#include "platform/Text.h"

std::string WideToAnsi(BSTR text) { return WideToAnsi(text, SysStringLen(text)); }

BSTR AnsiToBstr(std::string_view text) {
  if (text.empty()) return nullptr;
  WideString wide = AnsiToWide(text);
  return SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

std::string AnsiUpper(std::string_view text) {
  std::string out(text);
  AnsiUpperInPlace(out.data(), out.size());
  return out;
}
