#pragma once

#include "platform/Ole.h"

// A BSTR's text (empty for a null BSTR), for comparing with what a test expects.
inline WideString FromBstr(BSTR text) { return text ? WideString(text, SysStringLen(text)) : WideString(); }

// A VT_I4 argument, as a host passes a number.
inline VARIANT Long(LONG value) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_I4;
  v.lVal = value;
  return v;
}
