// The text services that are the same on every platform, built on the ones that are not.
#include "platform/Text.h"

#include <cstdio>

namespace kalamos {

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

size_t DecodeUtf8(std::string_view text, size_t i, char32_t& c) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned lead = byte(i);
  if (lead < 0x80) {
    c = lead;
    return 1;
  }
  // The lead byte fixes the length and the range of the first continuation byte: that
  // range is what rules out overlong forms, surrogates and code points past U+10FFFF.
  unsigned low = 0x80, high = 0xBF;
  size_t length;
  if (lead >= 0xC2 && lead <= 0xDF) length = 2, c = lead & 0x1F;
  else if (lead == 0xE0) length = 3, low = 0xA0, c = lead & 0x0F;
  else if (lead == 0xED) length = 3, high = 0x9F, c = lead & 0x0F;
  else if (lead >= 0xE1 && lead <= 0xEF) length = 3, c = lead & 0x0F;
  else if (lead == 0xF0) length = 4, low = 0x90, c = lead & 0x07;
  else if (lead >= 0xF1 && lead <= 0xF3) length = 4, c = lead & 0x07;
  else if (lead == 0xF4) length = 4, high = 0x8F, c = lead & 0x07;
  else return 0;
  if (text.size() - i < length || byte(i + 1) < low || byte(i + 1) > high) return 0;
  for (size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    c = (c << 6) | (byte(i + k) & 0x3F);
  }
  return length;
}

bool IsValidUtf8(std::string_view text) {
  char32_t c;
  for (size_t i = 0, length; i < text.size(); i += length)
    if ((length = DecodeUtf8(text, i, c)) == 0) return false;
  return true;
}

std::string HresultDigits(HRESULT hr) {
  char text[9];
  std::snprintf(text, sizeof text, "%08lX", static_cast<unsigned long>(static_cast<uint32_t>(hr)));
  return text;
}

}  // namespace kalamos
