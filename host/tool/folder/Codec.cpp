// Code page conversions for whole configurations: the platform's converters character by
// character, once per code page, then tables.
#include "host/tool/folder/Codec.h"

#include <array>
#include <fstream>
#include <zlib.h>
#include <vector>

#include "host/tool/ground/Ground.h"
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

std::string Hex(std::string_view bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) out += digits[c >> 4], out += digits[c & 15];
  return out;
}

bool ReadWholeFile(const std::string& file, std::string& bytes) {
  std::ifstream in(PathOf(file), std::ios::binary | std::ios::ate);
  if (!in) return false;
  const std::streamoff size = in.tellg();
  if (size < 0) return false;
  bytes.resize(size_t(size));
  in.seekg(0);
  return size == 0 || bool(in.read(bytes.data(), size));
}

std::string DeflateRaw(std::string_view text, int level) {
  z_stream z{};
  deflateInit2(&z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&z, uLong(text.size())), '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  z.avail_in = uInt(text.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = uInt(out.size());
  deflate(&z, Z_FINISH);
  out.resize(out.size() - z.avail_out);
  deflateEnd(&z);
  return out;
}

}  // namespace kalamos
