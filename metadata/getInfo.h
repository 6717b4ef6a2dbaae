// Taking values out of a node's stored text.
#pragma once

#include <string_view>

namespace kalamos {

// The n-th quoted field (1-based) of a stored text: fields end at each comma that directly
// follows a double quote; each value loses its first character and its closing quote.
// Empty when there is no such field. The result points into text.
std::string_view QuotedField(std::string_view text, int n);

}  // namespace kalamos
