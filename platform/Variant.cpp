#include "platform/Variant.h"

#include <cmath>
#include <cstdio>

#include "platform/Text.h"

namespace kalamos {

TVariant TVariant::Int(LONG value) {
  TVariant v;
  v.V.vt = VT_I4;
  v.V.lVal = value;
  return v;
}

TVariant TVariant::Text(const WideString& text) {
  TVariant v;
  v.V.vt = VT_BSTR;
  v.V.bstrVal = text.empty() ? nullptr : SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  return v;
}

TVariant TVariant::Utf8(std::string_view text) { return Text(Utf8ToWide(text)); }

TVariant TVariant::Adopt(VARIANT& v) {
  TVariant taken;
  taken.V = v;
  VariantInit(&v);
  return taken;
}

WideString TVariant::AsWide() const {
  if (V.vt != VT_BSTR || !V.bstrVal) return WideString();
  return WideString(V.bstrVal, SysStringLen(V.bstrVal));
}

namespace {
// Civil date from an automation date (days since 1899-12-30); the time of day is dropped.
std::string DateText(DATE date) {
  long long days = static_cast<long long>(std::floor(date)) + 693899;  // days since 0000-03-01
  long long era = (days >= 0 ? days : days - 146096) / 146097;
  long long doe = days - era * 146097;
  long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  long long mp = (5 * doy + 2) / 153;
  long long d = doy - (153 * mp + 2) / 5 + 1;
  long long m = mp < 10 ? mp + 3 : mp - 9;
  long long y = yoe + era * 400 + (m <= 2 ? 1 : 0);
  char out[64];
  std::snprintf(out, sizeof out, "%04lld-%02lld-%02lld", y, m, d);
  return out;
}
}  // namespace

std::string TVariant::ToUtf8() const {
  char number[64];
  switch (V.vt) {
    case VT_EMPTY:
    case VT_NULL:
      return std::string();
    case VT_I4:
      return std::to_string(V.lVal);
    case VT_I2:
      return std::to_string(V.iVal);
    case VT_BOOL:
      return V.boolVal ? "true" : "false";
    case VT_R8:
      std::snprintf(number, sizeof number, "%.15g", V.dblVal);
      return number;
    case VT_DATE:
      return DateText(V.date);
    case VT_BSTR:
      return V.bstrVal ? WideToUtf8(V.bstrVal, SysStringLen(V.bstrVal)) : std::string();
    default:
      std::snprintf(number, sizeof number, "<variant type %u>", static_cast<unsigned>(V.vt));
      return number;
  }
}

}  // namespace kalamos
