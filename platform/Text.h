// Text services of the operating system as the component uses them. Inside the component,
// text is 8-bit in the ANSI code page (1251 on a Russian system, and always 1251 in the
// native build); COM carries UTF-16.
#pragma once

#include <string>
#include <string_view>

#include "platform/Ole.h"

namespace kalamos {

// UTF-16 to the ANSI code page (WideCharToMultiByte, CP_ACP); null gives "".
std::string WideToAnsi(const OLECHAR* text, size_t length);
std::string WideToAnsi(BSTR text);
// ANSI code page to UTF-16 (MultiByteToWideChar, CP_ACP).
WideString AnsiToWide(std::string_view text);
// A new BSTR from ANSI text; the empty text gives a null BSTR, as the host expects.
BSTR AnsiToBstr(std::string_view text);

// OemToCharA in place: the OEM code page (866) to the ANSI one (1251), up to the first
// zero byte; the length never changes.
void OemToAnsiInPlace(char* text);

// CharUpperBuffA: Latin letters and every Cyrillic letter of code page 1251.
void AnsiUpperInPlace(char* text, size_t length);
std::string AnsiUpper(std::string_view text);

// The order of index keys: case-insensitive comparison of 8-bit text (CompareStringA with
// LOCALE_USER_DEFAULT and NORM_IGNORECASE on Windows). Negative, zero or positive.
int CompareKeys(std::string_view a, std::string_view b);

// Conversions for people at a terminal and for files written by hand: UTF-8 to and from
// code page 1251 or 866. Characters the code page lacks become '?'.
std::string CodePageToUtf8(std::string_view text, unsigned codePage);
std::string Utf8ToCodePage(std::string_view text, unsigned codePage);
inline std::string AnsiToUtf8(std::string_view text) { return CodePageToUtf8(text, 1251); }
inline std::string Utf8ToAnsi(std::string_view text) { return Utf8ToCodePage(text, 1251); }
std::string WideToUtf8(const OLECHAR* text, size_t length);
inline std::string WideToUtf8(const WideString& text) { return WideToUtf8(text.data(), text.size()); }
WideString Utf8ToWide(std::string_view text);

// The well-formed UTF-8 sequence at text[i]: its length, with its code point in c; 0 when
// the bytes there are no such sequence (overlong forms, surrogates, past U+10FFFF, cut short).
size_t DecodeUtf8(std::string_view text, size_t i, char32_t& c);
// True when all of text is well-formed UTF-8.
bool IsValidUtf8(std::string_view text);

// An HRESULT as eight upper-case hexadecimal digits, as Windows shows one ("8007000E").
std::string HresultDigits(HRESULT hr);

}  // namespace kalamos
