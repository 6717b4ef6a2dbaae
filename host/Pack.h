// Packing configuration text into a configuration container as the host writes it: a
// compound file with the storage "Metadata" and in it the stream "Main MetaData Stream".
#pragma once

#include <string>
#include <string_view>

#include "platform/Ole.h"

namespace kalamos {

// The stream bytes for 8-bit configuration text (the text the parser reads: the top-level
// lists and the closing "}"). The host's preamble comes first, then "{" CR LF, then text:
//   start 6: 0xFF, the length of the rest as 16-bit little-endian, "{" CR LF, text
//            (the length field keeps only its low 16 bits should the rest be longer);
//   start 9: 0xFF 0xFF 0xFF, the length of the rest as 32-bit little-endian, "{" CR LF, text;
//   start 0: 6 while the rest fits in 16 bits, 9 otherwise.
// With start 9 a length whose low byte is "{" would pass for the short preamble, so one LF
// (which the parser drops) is then appended to the text.
std::string PackStreamBytes(std::string_view text, int start = 0);

// Creates (or replaces) the container file holding these stream bytes.
HRESULT WriteConfigurationContainer(const WideString& fileName, const std::string& streamBytes);
// The same for a file name given as UTF-8.
HRESULT WriteConfigurationContainer(const std::string& utf8FileName, const std::string& streamBytes);

}  // namespace kalamos
