#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>
#include <exception>
#if !defined(_WIN32)
#include <thread>
#endif
#include <filesystem>

#include "host/tool/ground/Ground.h"
#include "host/tool/ground/Out.h"
#include "platform/Console.h"
#include "platform/Text.h"

namespace kalamos {

namespace fs = std::filesystem;

fs::path PathOf(const std::string& utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }

namespace {
// Each 1251 byte's UTF-8 in the low three bytes, their count in bits 24-30, and bit 31 set
// for the bytes a JSON string escapes (they are the same in both code pages).
std::array<uint32_t, 256> MakeUtf8Codes() {
  std::array<uint32_t, 256> t{};
  for (int b = 0; b < 256; ++b) {
    const std::string utf8 = AnsiToUtf8(std::string(1, char(b)));
    const size_t length = std::min<size_t>(utf8.size(), 3);
    uint32_t code = uint32_t(length) << 24;
    for (size_t i = 0; i < length; ++i) code |= uint32_t(static_cast<unsigned char>(utf8[i])) << (8 * i);
    if (b < 0x20 || b == '"' || b == '\\') code |= 0x80000000u;
    t[size_t(b)] = code;
  }
  return t;
}
}  // namespace

// Made before main; a static's constructor that converts text earlier (the table still all
// zeros) goes the slow way.
const std::array<uint32_t, 256> Utf8Codes = MakeUtf8Codes();

namespace {
bool TableMade() { return Utf8Codes['A'] != 0; }
}  // namespace

// U(text) through a table: names and synonyms are most of what text writes, and
// converting each into a string of its own costs more than the rest.
size_t AnsiToUtf8Into(char* out, std::string_view ansi) {
  if (!TableMade()) {
    const std::string text = AnsiToUtf8(ansi);
    std::memcpy(out, text.data(), text.size());
    return text.size();
  }
  uint32_t marks;
  return Utf8Into(out, ansi, marks);
}

size_t PlainAnsiToUtf8Into(char* out, std::string_view ansi) {
  if (!TableMade()) return SIZE_MAX;
  uint32_t marks;
  const size_t n = Utf8Into(out, ansi, marks);
  return marks & 0x80000000u ? SIZE_MAX : n;
}

std::string U(std::string_view ansi) {
  std::string text(ansi.size() * 3 + 1, '\0');
  text.resize(AnsiToUtf8Into(text.data(), ansi));
  return text;
}

void AppendU(std::string& out, std::string_view ansi) {
  // A piece at a time on the stack, each piece appended once.
  char piece[3 * 64 + 1];
  for (size_t at = 0; at < ansi.size(); at += 64)
    out.append(piece, AnsiToUtf8Into(piece, ansi.substr(at, 64)));
}


std::string Utf8Of(const fs::path& path) {
  std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

void RunBoth(const std::function<void()>& first, const std::function<void()>& second) {
#if !defined(_WIN32)
  std::exception_ptr failed;
  std::thread other([&] {
    try {
      second();
    } catch (...) {
      failed = std::current_exception();
    }
  });
  try {
    first();
  } catch (...) {
    other.join();
    throw;
  }
  other.join();
  if (failed) std::rethrow_exception(failed);
#else
  first();
  second();
#endif
}

std::string Say(std::string_view english, std::string_view russian) {
  static const bool russian_ = UserReadsRussian();
  return std::string(russian_ ? russian : english);
}

void Out(const std::string& text) { std::fwrite(text.data(), 1, text.size(), stdout); }

void Err(const std::string& text) {
  std::fflush(stdout);
  std::fwrite(text.data(), 1, text.size(), stderr);
}

}  // namespace kalamos
