// Appending to a string through a pointer: a large configuration's text is tens of millions
// of small pieces, and a string's own append checks and calls for each one.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace kalamos {

// Each 1251 byte's UTF-8 in the low three bytes, their count in bits 24-30, and bit 31 set
// for the bytes a JSON string escapes.
extern const std::array<uint32_t, 256> Utf8Codes;

// Four bytes written for each character, one to three kept: out has room for three a
// character and one more. marks: the codes or-ed, bit 31 set when a byte needs escaping.
inline size_t Utf8Into(char* out, std::string_view ansi, uint32_t& marks) {
  const uint32_t* table = Utf8Codes.data();
  char* at = out;
  uint32_t all = 0;
  for (char c : ansi) {
    const uint32_t code = table[static_cast<unsigned char>(c)];
    std::memcpy(at, &code, 4);
    at += (code >> 24) & 0x7F;
    all |= code;
  }
  marks = all;
  return size_t(at - out);
}

// Writes the UTF-8 of 1251 text at out, which has room for three bytes a character and one
// more; returns the bytes written.
size_t AnsiToUtf8Into(char* out, std::string_view ansi);
// The same, or SIZE_MAX when the text holds a byte a JSON string escapes.
size_t PlainAnsiToUtf8Into(char* out, std::string_view ansi);

class TOut {
public:
  // Appends to text; what was appended stands in it once this is gone.
  explicit TOut(std::string& text) : Text(text), Used(text.size()) {}
  ~TOut() { Text.resize(Used); }
  TOut(const TOut&) = delete;
  TOut& operator=(const TOut&) = delete;

  [[gnu::always_inline]] TOut& operator+=(std::string_view piece) {
    Room(piece.size());
    std::memcpy(Text.data() + Used, piece.data(), piece.size());
    Used += piece.size();
    return *this;
  }
  [[gnu::always_inline]] TOut& operator+=(char c) {
    Room(1);
    Text[Used++] = c;
    return *this;
  }
  // 1251 text as UTF-8.
  void AppendU(std::string_view ansi) {
    Room(ansi.size() * 3 + 1);
    Used += AnsiToUtf8Into(Text.data() + Used, ansi);
  }
  // The text in quotes, as UTF-8; false, with nothing appended, when it holds a byte a JSON
  // string escapes.
  bool AppendPlainQuoted(std::string_view ansi) {
    Room(ansi.size() * 3 + 3);
    char* at = Text.data() + Used;
    *at = '"';
    uint32_t marks;
    const size_t n = Utf8Into(at + 1, ansi, marks);
    if (marks & 0x80000000u) return false;
    at[n + 1] = '"';
    Used += n + 2;
    return true;
  }
  size_t size() const { return Used; }
  // What was appended, for a writer that reuses this one: Reset starts again at the front,
  // and the bytes already cleared are written over, not cleared again.
  std::string_view Written() const { return std::string_view(Text.data(), Used); }
  void Reset() { Used = 0; }
  // Takes back what was appended after size n.
  void resize(size_t n) {
    if (n < Used) Used = n;
  }

private:
  std::string& Text;
  size_t Used;
  // A few kilobytes ahead: each byte is cleared once before it is written, and the string
  // grows its capacity as it does for appends.
  [[gnu::always_inline]] void Room(size_t n) {
    if (Text.size() - Used < n) Grow(n);
  }
  [[gnu::noinline]] void Grow(size_t n) { Text.resize(Used + std::max(n, size_t(4096))); }
};

inline void AppendU(TOut& out, std::string_view ansi) { out.AppendU(ansi); }

}  // namespace kalamos
