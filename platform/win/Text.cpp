// Text services on Windows: the system's own code pages and upper-casing.
#include "platform/Text.h"

namespace kalamos {

namespace {

WideString ToWide(std::string_view text, UINT codePage) {
  WideString out;
  if (text.empty()) return out;
  int length = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (length <= 0) return out;
  out.resize(static_cast<size_t>(length));
  MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(), length);
  return out;
}

std::string FromWide(const OLECHAR* text, size_t length, UINT codePage, DWORD flags) {
  std::string out;
  if (!text || length == 0) return out;
  int size = WideCharToMultiByte(codePage, flags, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
  if (size <= 0) return out;
  out.resize(static_cast<size_t>(size));
  WideCharToMultiByte(codePage, flags, text, static_cast<int>(length), out.data(), size, nullptr, nullptr);
  return out;
}

} // namespace

std::string WideToAnsi(const OLECHAR* text, size_t length) { return FromWide(text, length, CP_ACP, 0); }

WideString AnsiToWide(std::string_view text) { return ToWide(text, CP_ACP); }

void OemToAnsiInPlace(char* text) { OemToCharA(text, text); }

void AnsiUpperInPlace(char* text, size_t length) {
  if (length) CharUpperBuffA(text, static_cast<DWORD>(length));
}

int CompareKeys(std::string_view a, std::string_view b) {
  return CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()), b.data(),
                        static_cast<int>(b.size())) - 2;
}

std::string CodePageToUtf8(std::string_view text, unsigned codePage) {
  WideString wide = ToWide(text, codePage);
  return FromWide(wide.data(), wide.size(), CP_UTF8, 0);
}

std::string Utf8ToCodePage(std::string_view text, unsigned codePage) {
  WideString wide = ToWide(text, CP_UTF8);
  // No best fit: a character the code page lacks becomes '?', as natively.
  return FromWide(wide.data(), wide.size(), codePage, WC_NO_BEST_FIT_CHARS);
}

std::string WideToUtf8(const OLECHAR* text, size_t length) { return FromWide(text, length, CP_UTF8, 0); }

WideString Utf8ToWide(std::string_view text) { return ToWide(text, CP_UTF8); }

}  // namespace kalamos
