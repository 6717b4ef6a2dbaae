// A VARIANT that owns what it holds: cleared when the holder goes, copied with VariantCopy.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "platform/Ole.h"

namespace kalamos {

class TVariant {
public:
  TVariant() { VariantInit(&V); }
  TVariant(const TVariant& other) { VariantInit(&V); VariantCopy(&V, const_cast<VARIANT*>(&other.V)); }
  TVariant(TVariant&& other) noexcept : V(other.V) { VariantInit(&other.V); }
  TVariant& operator=(TVariant other) noexcept { std::swap(V, other.V); return *this; }
  ~TVariant() { VariantClear(&V); }

  static TVariant Int(LONG value);
  static TVariant Text(const WideString& text);
  static TVariant Utf8(std::string_view text);
  // Takes over what v holds and leaves v empty.
  static TVariant Adopt(VARIANT& v);

  VARTYPE Type() const { return V.vt; }
  bool IsInt() const { return V.vt == VT_I4; }
  bool IsText() const { return V.vt == VT_BSTR; }
  LONG AsInt() const { return V.vt == VT_I4 ? V.lVal : 0; }
  WideString AsWide() const;
  // The value as a person reads it, in UTF-8: numbers in decimal, text as it is, a date as
  // YYYY-MM-DD, nothing for VT_EMPTY.
  std::string ToUtf8() const;

  VARIANT* Get() { return &V; }
  const VARIANT* Get() const { return &V; }

private:
  VARIANT V;
};

}  // namespace kalamos
