// VariantChangeTypeEx of our OLE Automation subset. Text becomes a number the way oleaut32
// reads it (VarParseNumFromStr with NUMPRS_STD, then VarNumFromParseNum): blanks, signs and
// parentheses around the number, the locale's decimal and grouping characters, an exponent,
// &H and &O; whole numbers are rounded half to even.
#include "platform/posix/OleSubset.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <string>

namespace {

// The characters a locale writes numbers with.
struct TNumberChars {
  OLECHAR Decimal;
  OLECHAR Grouping;
};

TNumberChars CharsOf(LCID lcid) {
  // The user's and the system's locale are Russian here; English and the invariant locale
  // are the only others a caller names in practice.
  const unsigned language = lcid & 0x3FF;
  if (language == 0x09 || language == 0x7F) return {u'.', u','};
  return {u',', u'\u00A0'};
}

// iswspace as Windows answers it for the characters text meets, the no-break space among them.
bool IsBlank(OLECHAR c) { return c == ' ' || (c >= '\t' && c <= '\r') || c == u'\u00A0'; }

// Windows writes Russian groups with a no-break space and reads a plain blank as the same.
bool IsGrouping(OLECHAR c, const TNumberChars& chars) {
  return c == chars.Grouping || (chars.Grouping == u'\u00A0' && c == ' ');
}

int DigitValue(OLECHAR c, unsigned base) {
  int value = -1;
  if (c >= '0' && c <= '9') value = c - '0';
  else if (c >= 'a' && c <= 'f') value = c - 'a' + 10;
  else if (c >= 'A' && c <= 'F') value = c - 'A' + 10;
  return value >= 0 && unsigned(value) < base ? value : -1;
}

// A number read from text: Digits × 10^Exponent with the sign, or for &H and &O the bits
// in Bits (their sign is ignored, as oleaut32 does).
struct TParsedNumber {
  std::string Digits; // significant decimal digits, no leading zeros
  int64_t Exponent = 0;
  bool Negative = false;
  bool Radix = false;
  uint64_t Bits = 0;
  bool BitsTooWide = false;
};

constexpr int64_t kExponentLimit = 100000; // far past every type; keeps the sums in range

HRESULT ParseNumber(const OLECHAR* text, UINT length, const TNumberChars& chars, TParsedNumber& out) {
  UINT i = 0;
  auto at = [&](UINT k) -> OLECHAR { return k < length ? text[k] : 0; };
  // Leading blanks, one plus, one minus and one opening parenthesis, in any order.
  bool plus = false, minus = false, parens = false;
  for (;; ++i) {
    const OLECHAR c = at(i);
    if (i < length && IsBlank(c)) continue;
    if (c == '+' && !plus) plus = true;
    else if (c == '-' && !minus) minus = true;
    else if (c == '(' && !parens) parens = true;
    else break;
  }

  unsigned base = 10;
  if (at(i) == '&' && (at(i + 1) == 'H' || at(i + 1) == 'h')) base = 16;
  if (at(i) == '&' && (at(i + 1) == 'O' || at(i + 1) == 'o')) base = 8;
  if (base != 10) {
    out.Radix = true;
    i += 2;
  }

  bool anyDigit = false, decimal = false, exponent = false, exponentDigit = false, exponentNegative = false;
  int64_t exponentValue = 0;
  for (; i < length; ++i) {
    const OLECHAR c = text[i];
    const int digit = DigitValue(c, base);
    if (exponent) {
      if (c >= '0' && c <= '9') {
        exponentDigit = true;
        if (exponentValue < kExponentLimit) exponentValue = exponentValue * 10 + (c - '0');
      } else if ((c == '+' || c == '-') && !exponentDigit) {
        exponentNegative = c == '-';
      } else if (!IsGrouping(c, chars)) {
        break;
      }
    } else if (digit >= 0) {
      anyDigit = true;
      if (out.Radix) {
        if (out.Bits >> (base == 16 ? 60 : 61)) out.BitsTooWide = true;
        out.Bits = out.Bits * base + unsigned(digit);
      } else {
        if (digit != 0 || !out.Digits.empty()) out.Digits.push_back(char('0' + digit));
        // A digit after the decimal character is a tenth of the one before it.
        if (decimal) --out.Exponent;
      }
    } else if (out.Radix) {
      break;
    } else if (IsGrouping(c, chars)) {
      // Groups are not counted: "10 00" is a thousand, as oleaut32 reads it.
    } else if (c == chars.Decimal && !decimal) {
      decimal = true;
    } else if ((c == 'E' || c == 'e') && anyDigit) {
      exponent = true;
    } else {
      break;
    }
  }
  if (!anyDigit || (exponent && !exponentDigit)) return DISP_E_TYPEMISMATCH;
  if (out.Digits.empty()) out.Exponent = 0;
  out.Exponent += exponentNegative ? -exponentValue : exponentValue;

  // Trailing blanks and signs, and the closing parenthesis, which makes the number negative.
  bool negative = minus, closed = false;
  for (; i < length; ++i) {
    const OLECHAR c = text[i];
    if (IsBlank(c)) continue;
    if (c == '+' && !plus) continue;
    if (c == '-' && !minus) negative = true;
    else if (c == ')' && parens && !closed) negative = closed = true;
    else break;
  }
  if (i != length || parens != closed) return DISP_E_TYPEMISMATCH;
  out.Negative = negative && !out.Radix;
  return S_OK;
}

// The whole number nearest to the parsed one (half to even), when it lies in [low, high].
HRESULT RoundToRange(const TParsedNumber& number, int64_t low, int64_t high, int64_t& out) {
  const int64_t limit = number.Negative ? -low : high; // the largest magnitude allowed
  const int64_t count = int64_t(number.Digits.size());
  const int64_t wholeDigits = count + number.Exponent;
  if (wholeDigits > 19) return DISP_E_OVERFLOW;
  uint64_t magnitude = 0;
  for (int64_t k = 0; k < wholeDigits; ++k) {
    magnitude = magnitude * 10 + (k < count ? unsigned(number.Digits[size_t(k)] - '0') : 0);
    if (magnitude > uint64_t(limit) + 1) return DISP_E_OVERFLOW;
  }
  // The first digit after the decimal character, and whether any later one is not zero.
  int first = 0;
  bool restNonZero = false;
  for (int64_t k = wholeDigits < 0 ? 0 : wholeDigits; k < count; ++k) {
    const int digit = number.Digits[size_t(k)] - '0';
    if (k == wholeDigits) first = digit;
    else if (digit != 0) restNonZero = true;
  }
  if (wholeDigits < 0 && count > 0) restNonZero = true; // the first fraction digit is a zero
  if (first > 5 || (first == 5 && (restNonZero || (magnitude & 1)))) ++magnitude;
  if (magnitude > uint64_t(limit)) return DISP_E_OVERFLOW;
  out = number.Negative ? -int64_t(magnitude) : int64_t(magnitude);
  return S_OK;
}

// &H and &O fill the type's bits: &HFFFF is -1 as a two-byte integer.
HRESULT RadixToRange(const TParsedNumber& number, int64_t low, int64_t high, int64_t& out) {
  const uint64_t span = low < 0 ? uint64_t(high) * 2 + 1 : uint64_t(high);
  if (number.BitsTooWide || number.Bits > span) return DISP_E_OVERFLOW;
  out = low < 0 && number.Bits > uint64_t(high) ? int64_t(number.Bits) - int64_t(span) - 1 : int64_t(number.Bits);
  return S_OK;
}

HRESULT ToDouble(const TParsedNumber& number, double& out) {
  if (number.Radix) {
    if (number.BitsTooWide) return DISP_E_OVERFLOW;
    out = double(number.Bits);
    return S_OK;
  }
  if (number.Digits.empty()) {
    out = number.Negative ? -0.0 : 0.0;
    return S_OK;
  }
  // strtod rounds correctly and knows no locale in a text without a decimal character.
  const std::string text = (number.Negative ? "-" : "") + number.Digits + "e" + std::to_string(number.Exponent);
  errno = 0;
  out = std::strtod(text.c_str(), nullptr);
  return std::isinf(out) ? DISP_E_OVERFLOW : S_OK;
}

struct TIntegerRange {
  VARTYPE Type;
  int64_t Low;
  int64_t High;
};

constexpr TIntegerRange kIntegerRanges[] = {
    {VT_I1, -128, 127},
    {VT_UI1, 0, 255},
    {VT_I2, -32768, 32767},
    {VT_UI2, 0, 65535},
    {VT_I4, -2147483647 - 1, 2147483647},
    {VT_INT, -2147483647 - 1, 2147483647},
    {VT_UI4, 0, 4294967295},
    {VT_UINT, 0, 4294967295},
};

void StoreInteger(VARIANT& result, VARTYPE type, int64_t value) {
  switch (type) {
  case VT_I1: result.cVal = char(value); break;
  case VT_UI1: result.bVal = BYTE(value); break;
  case VT_I2: result.iVal = SHORT(value); break;
  case VT_UI2: result.uiVal = USHORT(value); break;
  case VT_I4: case VT_INT: result.lVal = LONG(value); break;
  default: result.ulVal = ULONG(value); break;
  }
  result.vt = type;
}

// Text to one of the numeric types; DISP_E_TYPEMISMATCH for a type we do not convert to.
HRESULT NumberFromText(BSTR text, LCID lcid, VARTYPE type, VARIANT& result) {
  TParsedNumber number;
  HRESULT hr = ParseNumber(text, SysStringLen(text), CharsOf(lcid), number);
  if (FAILED(hr)) return hr;
  for (const TIntegerRange& range : kIntegerRanges) {
    if (range.Type != type) continue;
    int64_t value = 0;
    hr = number.Radix ? RadixToRange(number, range.Low, range.High, value)
                      : RoundToRange(number, range.Low, range.High, value);
    if (SUCCEEDED(hr)) StoreInteger(result, type, value);
    return hr;
  }
  if (type != VT_R8 && type != VT_R4) return DISP_E_TYPEMISMATCH;
  double value = 0;
  if (FAILED(hr = ToDouble(number, value))) return hr;
  if (type == VT_R8) {
    result.dblVal = value;
  } else {
    result.fltVal = float(value);
    if (std::isinf(result.fltVal)) return DISP_E_OVERFLOW;
  }
  result.vt = type;
  return S_OK;
}

// VarI4FromR8: round half to even, anything outside LONG (after rounding) overflows.
HRESULT I4FromDouble(double value, LONG& out) {
  if (std::isnan(value) || value < -2147483648.5 || value >= 2147483647.5) return DISP_E_OVERFLOW;
  double rounded = std::floor(value);
  double rest = value - rounded;
  if (rest > 0.5 || (rest == 0.5 && std::fmod(rounded, 2.0) != 0.0)) rounded += 1.0;
  out = LONG(rounded);
  return S_OK;
}

HRESULT ToI4(const VARIANT& v, LONG& out) {
  switch (v.vt) {
  case VT_EMPTY: out = 0; return S_OK;
  case VT_I1: out = static_cast<signed char>(v.bVal); return S_OK;
  case VT_UI1: out = v.bVal; return S_OK;
  case VT_I2: out = v.iVal; return S_OK;
  case VT_UI2: out = static_cast<USHORT>(v.iVal); return S_OK;
  case VT_I4: case VT_INT: out = v.lVal; return S_OK;
  case VT_UI4: case VT_UINT:
    if (v.uintVal > 0x7FFFFFFFu) return DISP_E_OVERFLOW;
    out = LONG(v.uintVal);
    return S_OK;
  case VT_BOOL: out = v.boolVal; return S_OK;
  case VT_R4: return I4FromDouble(v.fltVal, out);
  case VT_R8: case VT_DATE: return I4FromDouble(v.dblVal, out);
  default: return DISP_E_TYPEMISMATCH;
  }
}

HRESULT ToBstr(const VARIANT& v, BSTR& out) {
  int64_t value;
  switch (v.vt) {
  case VT_I1: value = static_cast<signed char>(v.bVal); break;
  case VT_UI1: value = v.bVal; break;
  case VT_I2: value = v.iVal; break;
  case VT_UI2: value = static_cast<USHORT>(v.iVal); break;
  case VT_I4: case VT_INT: value = v.lVal; break;
  case VT_UI4: case VT_UINT: value = v.uintVal; break;
  default: return DISP_E_TYPEMISMATCH;
  }
  std::string digits = std::to_string(value);
  std::u16string wide(digits.begin(), digits.end());
  out = SysAllocStringLen(wide.data(), UINT(wide.size()));
  return out ? S_OK : E_OUTOFMEMORY;
}

} // namespace

HRESULT VariantChangeTypeEx(VARIANTARG* dest, const VARIANTARG* source, LCID lcid, USHORT, VARTYPE type) {
  if (!dest || !source) return E_INVALIDARG;
  VARIANT value; // the source, by-reference values followed
  VariantInit(&value);
  HRESULT hr = VariantCopyInd(&value, source);
  if (FAILED(hr)) return hr;

  VARIANT result;
  VariantInit(&result);
  if (value.vt == type) {
    hr = VariantCopy(&result, &value);
  } else if (value.vt == VT_BSTR) {
    hr = NumberFromText(value.bstrVal, lcid, type, result);
  } else if (type == VT_I4) {
    hr = ToI4(value, result.lVal);
    if (SUCCEEDED(hr)) result.vt = VT_I4;
  } else if (type == VT_BSTR) {
    hr = ToBstr(value, result.bstrVal);
    if (SUCCEEDED(hr)) result.vt = VT_BSTR;
  } else {
    hr = DISP_E_TYPEMISMATCH;
  }
  VariantClear(&value);
  if (FAILED(hr)) return hr;
  // Only now may the destination go: it can be the source itself.
  hr = VariantClear(dest);
  if (FAILED(hr)) {
    VariantClear(&result);
    return hr;
  }
  *dest = result;
  return S_OK;
}
