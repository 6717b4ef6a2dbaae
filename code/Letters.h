// Letters of module text (UTF-8): what makes an identifier, letter case folded the way the
// language compares names, and columns counted in characters.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kalamos::code {

// Length in bytes of the identifier character at text[at] (a Latin or Cyrillic letter, a
// digit or '_'), 0 when there is none there.
inline size_t IdentCharAt(std::string_view text, size_t at) {
  const unsigned char c = static_cast<unsigned char>(text[at]);
  if (c < 0x80) return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
  // Cyrillic, U+0400..U+04FF: D0..D3 and one continuation byte.
  if (c >= 0xD0 && c <= 0xD3 && at + 1 < text.size()) {
    const unsigned char d = static_cast<unsigned char>(text[at + 1]);
    return (d & 0xC0) == 0x80 ? 2 : 0;
  }
  return 0;
}

// Writes the n bytes at in to out in upper case (Latin and Cyrillic letters; other bytes as
// they are); the length stays the same.
void FoldBytes(const char* in, size_t n, char* out);
// Appends name in upper case (Latin and Cyrillic letters; other bytes as they are): the key
// under which the language compares names.
void AppendFolded(std::string_view name, std::string& out);
inline std::string Folded(std::string_view name) {
  std::string out;
  AppendFolded(name, out);
  return out;
}
// Whether a and b are the same name, letter case aside.
bool SameName(std::string_view a, std::string_view b);

// Characters (not bytes) in text: continuation bytes are not counted.
size_t CharCount(std::string_view text);

}  // namespace kalamos::code
