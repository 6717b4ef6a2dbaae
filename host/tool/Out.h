// Appending to a string through a pointer: a large configuration's text is tens of millions
// of small pieces, and a string's own append checks and calls for each one.
#pragma once

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

namespace kalamos {

// Writes the UTF-8 of 1251 text at out, which has room for three bytes a character;
// returns the bytes written.
size_t AnsiToUtf8Into(char* out, std::string_view ansi);

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
    Room(ansi.size() * 3);
    Used += AnsiToUtf8Into(Text.data() + Used, ansi);
  }
  size_t size() const { return Used; }
  // Takes back what was appended after size n.
  void resize(size_t n) {
    if (n < Used) Used = n;
  }

private:
  std::string& Text;
  size_t Used;
  // A few kilobytes ahead: each byte is cleared once before it is written, and the string
  // grows its capacity as it does for appends.
  void Room(size_t n) {
    if (Text.size() - Used < n) Grow(n);
  }
  [[gnu::noinline]] void Grow(size_t n) { Text.resize(Used + std::max(n, size_t(4096))); }
};

inline void AppendU(TOut& out, std::string_view ansi) { out.AppendU(ansi); }

}  // namespace kalamos
