// The script functions behind IScriptAugment::CallAsFunc.
#pragma once

#include "platform/Ole.h"

class TOstrak;

// Runs script function `number` on the component: the whole of CallAsFunc.
HRESULT CallFunction(TOstrak& self, LONG number, VARIANT* result, SAFEARRAY** params);
