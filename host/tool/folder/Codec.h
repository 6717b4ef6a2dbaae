// The byte-level helpers unpack and build share.
#pragma once

#include <string>
#include <string_view>

namespace kalamos {

// Bytes as lower-case hex digits.
std::string Hex(std::string_view bytes);
// Raw deflate (no header), as the container keeps module texts, at a zlib level.
std::string DeflateRaw(std::string_view text, int level);
// A whole file (UTF-8 path) in one read; false when it cannot be read.
bool ReadWholeFile(const std::string& file, std::string& bytes);

}  // namespace kalamos

namespace kalamos {

// Text of a code page (1251 or 866) as UTF-8: what CodePageToUtf8 gives, through a table.
std::string FromCodePage(std::string_view text, unsigned codePage);
// UTF-8 to the code page, through a table. NotUtf8 or Lacking stop at the offending byte's
// offset (at) in utf8.
enum class TConverted { Ok, NotUtf8, Lacking };
TConverted ToCodePage(std::string_view utf8, unsigned codePage, std::string& out, size_t& at);

}  // namespace kalamos
