// Appending to a string through a pointer: a large configuration's text is tens of millions
// of small pieces, and a string's own append checks and calls for each one.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace kalamos {

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
  // As AppendU; false, with nothing appended, when the text holds a byte a JSON string
  // escapes.
  bool AppendPlainU(std::string_view ansi) {
    Room(ansi.size() * 3 + 1);
    const size_t n = PlainAnsiToUtf8Into(Text.data() + Used, ansi);
    if (n == SIZE_MAX) return false;
    Used += n;
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
