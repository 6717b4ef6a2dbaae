#pragma once

#include "platform/Ole.h"

// A BSTR's text (empty for a null BSTR), for comparing with what a test expects.
inline WideString FromBstr(BSTR text) { return text ? WideString(text, SysStringLen(text)) : WideString(); }
