#include "code/Letters.h"

namespace kalamos::code {

namespace {

// The upper-case form of the two-byte character a b, written to out; false when it is no
// lower-case Cyrillic letter.
inline bool FoldCyrillic(unsigned char a, unsigned char b, char out[2]) {
  if (a == 0xD0 && b >= 0xB0 && b <= 0xBF) {  // а..п
    out[0] = char(0xD0), out[1] = char(b - 0x20);
    return true;
  }
  if (a == 0xD1 && b >= 0x80 && b <= 0x8F) {  // р..я
    out[0] = char(0xD0), out[1] = char(b + 0x20);
    return true;
  }
  if (a == 0xD1 && b >= 0x90 && b <= 0x9F) {  // ѐ..џ, ё among them
    out[0] = char(0xD0), out[1] = char(b - 0x10);
    return true;
  }
  return false;
}

}  // namespace

void FoldBytes(const char* in, size_t n, char* out) {
  for (size_t i = 0; i < n; ++i) {
    const unsigned char c = static_cast<unsigned char>(in[i]);
    if (c >= 'a' && c <= 'z') {
      out[i] = char(c - 0x20);
    } else if ((c == 0xD0 || c == 0xD1) && i + 1 < n) {
      if (!FoldCyrillic(c, static_cast<unsigned char>(in[i + 1]), out + i)) {
        out[i] = in[i];
        out[i + 1] = in[i + 1];
      }
      ++i;
    } else {
      out[i] = char(c);
    }
  }
}

void AppendFolded(std::string_view name, std::string& out) {
  const size_t at = out.size();
  out.resize(at + name.size());
  FoldBytes(name.data(), name.size(), out.data() + at);
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;  // folding keeps every character's length
  if (a == b) return true;
  std::string fa, fb;
  AppendFolded(a, fa);
  AppendFolded(b, fb);
  return fa == fb;
}

size_t CharCount(std::string_view text) {
  size_t n = 0;
  for (char c : text) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return n;
}

}  // namespace kalamos::code
