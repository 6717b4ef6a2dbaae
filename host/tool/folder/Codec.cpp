// Code page conversions for whole configurations: the platform's converters character by
// character, once per code page, then tables.
#include "host/tool/folder/Codec.h"

#include <array>
#include <vector>

#include "platform/Text.h"

namespace kalamos {

// Named, not anonymous: the tool's library is compiled as one unit.
namespace codec {

struct TTables {
  std::array<std::string, 256> Utf8;  // each byte as UTF-8
  std::vector<int16_t> Byte;          // each code point below 0x10000: its byte, -1 when none
  explicit TTables(unsigned codePage) : Byte(0x10000, -1) {
    for (int b = 0; b < 256; ++b) {
      const char byte = static_cast<char>(b);
      Utf8[size_t(b)] = CodePageToUtf8(std::string_view(&byte, 1), codePage);
      char32_t c = 0;
      // A byte that gives no character of its own (one that comes back as another) has none.
      if (DecodeUtf8(Utf8[size_t(b)], 0, c) == Utf8[size_t(b)].size() && c < 0x10000 && Byte[c] < 0 &&
          Utf8ToCodePage(Utf8[size_t(b)], codePage) == std::string_view(&byte, 1))
        Byte[c] = int16_t(b);
    }
  }
};

const TTables& Tables(unsigned codePage) {
  static const TTables cp1251(1251), cp866(866);
  return codePage == 866 ? cp866 : cp1251;
}

}  // namespace codec
using namespace codec;

std::string FromCodePage(std::string_view text, unsigned codePage) {
  const TTables& tables = Tables(codePage);
  std::string out;
  out.reserve(text.size() + text.size() / 2);
  for (size_t at = 0; at < text.size();) {
    size_t ascii = at;
    while (ascii < text.size() && static_cast<unsigned char>(text[ascii]) < 0x80) ++ascii;
    out.append(text.substr(at, ascii - at));
    for (at = ascii; at < text.size() && static_cast<unsigned char>(text[at]) >= 0x80; ++at)
      out += tables.Utf8[static_cast<unsigned char>(text[at])];
  }
  return out;
}

TConverted ToCodePage(std::string_view utf8, unsigned codePage, std::string& out, size_t& at) {
  const TTables& tables = Tables(codePage);
  out.clear();
  out.reserve(utf8.size());
  for (at = 0; at < utf8.size();) {
    size_t ascii = at;
    while (ascii < utf8.size() && static_cast<unsigned char>(utf8[ascii]) < 0x80) ++ascii;
    out.append(utf8.substr(at, ascii - at));
    at = ascii;
    if (at == utf8.size()) break;
    char32_t c = 0;
    const size_t length = DecodeUtf8(utf8, at, c);
    if (!length) return TConverted::NotUtf8;
    if (c >= 0x10000 || tables.Byte[c] < 0) return TConverted::Lacking;
    out += static_cast<char>(tables.Byte[c]);
    at += length;
  }
  return TConverted::Ok;
}

}  // namespace kalamos
