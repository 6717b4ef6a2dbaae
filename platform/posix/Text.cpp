// Text services for the native build: a Russian Windows' code pages (ANSI 1251, OEM 866),
// its ANSI upper-casing, and UTF-8/UTF-16 for everything at the edges.
#include "platform/Text.h"

#include <array>

namespace kalamos {

namespace {

#include "platform/posix/CodePageTables.inc"

const char16_t* UpperHalf(unsigned codePage) { return codePage == 866 ? kCp866ToUnicode : kCp1251ToUnicode; }

// Unicode -> byte for one code page; 0 marks a character the code page lacks.
struct TReverseTable {
  std::array<unsigned char, 0x10000> bytes{};
  explicit TReverseTable(const char16_t* upper) {
    for (unsigned c = 1; c < 0x80; ++c) bytes[c] = static_cast<unsigned char>(c);
    for (unsigned b = 0; b < 0x80; ++b) bytes[upper[b]] = static_cast<unsigned char>(0x80 + b);
  }
};

const TReverseTable& ReverseOf(unsigned codePage) {
  static const TReverseTable cp1251(kCp1251ToUnicode);
  static const TReverseTable cp866(kCp866ToUnicode);
  return codePage == 866 ? cp866 : cp1251;
}

// CharUpperBuffA under code page 1251.
struct TUpperTable {
  std::array<unsigned char, 256> bytes{};
  TUpperTable() {
    for (unsigned c = 0; c < 256; ++c) bytes[c] = static_cast<unsigned char>(c);
    for (unsigned c = 'a'; c <= 'z'; ++c) bytes[c] = static_cast<unsigned char>(c - 0x20);
    for (unsigned c = 0xE0; c <= 0xFF; ++c) bytes[c] = static_cast<unsigned char>(c - 0x20);
    static constexpr unsigned char pairs[][2] = {
        {0xB8, 0xA8}, {0x90, 0x80}, {0x83, 0x81}, {0x9A, 0x8A}, {0x9C, 0x8C}, {0x9D, 0x8D},
        {0x9E, 0x8E}, {0x9F, 0x8F}, {0xA2, 0xA1}, {0xBC, 0xA3}, {0xB4, 0xA5}, {0xBA, 0xAA},
        {0xBF, 0xAF}, {0xB3, 0xB2}, {0xBE, 0xBD}};
    for (auto& p : pairs) bytes[p[0]] = p[1];
  }
};

const TUpperTable kUpper;

// Appends one code point as UTF-16.
void PutWide(WideString& out, char32_t c) {
  if (c >= 0x10000) {
    c -= 0x10000;
    out.push_back(static_cast<OLECHAR>(0xD800 + (c >> 10)));
    out.push_back(static_cast<OLECHAR>(0xDC00 + (c & 0x3FF)));
  } else {
    out.push_back(static_cast<OLECHAR>(c));
  }
}

void PutUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

constexpr char32_t kReplacement = 0xFFFD;

// Next code point of UTF-16 text; an unpaired surrogate gives U+FFFD.
char32_t NextWide(const OLECHAR* text, size_t length, size_t& i) {
  char32_t c = text[i++];
  if (c >= 0xD800 && c <= 0xDBFF) {
    if (i < length && text[i] >= 0xDC00 && text[i] <= 0xDFFF)
      return 0x10000 + ((c - 0xD800) << 10) + (text[i++] - 0xDC00);
    return kReplacement;
  }
  if (c >= 0xDC00 && c <= 0xDFFF) return kReplacement;
  return c;
}

// Next code point of UTF-8 text; a malformed sequence gives U+FFFD and skips one byte.
char32_t NextUtf8(std::string_view text, size_t& i) {
  char32_t c;
  const size_t length = DecodeUtf8(text, i, c);
  i += length ? length : 1;
  return length ? c : kReplacement;
}

char ToCodePage(char32_t c, unsigned codePage) {
  if (c == 0) return 0;
  if (c > 0xFFFF) return '?';
  unsigned char b = ReverseOf(codePage).bytes[c];
  return b ? static_cast<char>(b) : '?';
}

char32_t FromCodePage(unsigned char b, unsigned codePage) { return b < 0x80 ? b : UpperHalf(codePage)[b - 0x80]; }

} // namespace

std::string WideToAnsi(const OLECHAR* text, size_t length) {
  std::string out;
  if (!text) return out;
  out.reserve(length);
  for (size_t i = 0; i < length;) out.push_back(ToCodePage(NextWide(text, length, i), 1251));
  return out;
}

WideString AnsiToWide(std::string_view text) {
  WideString out;
  out.reserve(text.size());
  for (char c : text) out.push_back(static_cast<OLECHAR>(FromCodePage(static_cast<unsigned char>(c), 1251)));
  return out;
}

void OemToAnsiInPlace(char* text) {
  for (auto* p = reinterpret_cast<unsigned char*>(text); *p; ++p)
    if (*p >= 0x80) *p = kOemToAnsi[*p - 0x80];
}

void AnsiUpperInPlace(char* text, size_t length) {
  auto* p = reinterpret_cast<unsigned char*>(text);
  for (size_t i = 0; i < length; ++i) p[i] = kUpper.bytes[p[i]];
}

int CompareKeys(std::string_view a, std::string_view b) {
  const auto* pa = reinterpret_cast<const unsigned char*>(a.data());
  const auto* pb = reinterpret_cast<const unsigned char*>(b.data());
  size_t n = a.size() < b.size() ? a.size() : b.size();
  const unsigned char* upper = kUpper.bytes.data();
  for (size_t i = 0; i < n; ++i) {
    int d = int(upper[pa[i]]) - int(upper[pb[i]]);
    if (d) return d;
  }
  return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

std::string CodePageToUtf8(std::string_view text, unsigned codePage) {
  std::string out;
  out.reserve(text.size() * 2);
  for (char c : text) PutUtf8(out, FromCodePage(static_cast<unsigned char>(c), codePage));
  return out;
}

std::string Utf8ToCodePage(std::string_view text, unsigned codePage) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) out.push_back(ToCodePage(NextUtf8(text, i), codePage));
  return out;
}

std::string WideToUtf8(const OLECHAR* text, size_t length) {
  std::string out;
  if (!text) return out;
  out.reserve(length * 2);
  for (size_t i = 0; i < length;) PutUtf8(out, NextWide(text, length, i));
  return out;
}

WideString Utf8ToWide(std::string_view text) {
  WideString out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) PutWide(out, NextUtf8(text, i));
  return out;
}

}  // namespace kalamos
