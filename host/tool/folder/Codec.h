// The byte-level helpers unpack and build share.
#pragma once

#include <string>
#include <string_view>

namespace kalamos {

// Bytes as lower-case hex digits.
std::string Hex(std::string_view bytes);
// Raw deflate (no header), as the container keeps module texts, at a zlib level.
std::string DeflateRaw(std::string_view text, int level);

}  // namespace kalamos
