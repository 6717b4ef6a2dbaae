// The OLE Automation and COM vocabulary the component is written in. On Windows these are
// the system's own headers; elsewhere a small subset of ours with the same names, layouts
// where it matters, and semantics.
#pragma once

#ifdef _WIN32
#define KALAMOS_WINDOWS 1
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <ole2.h>
#include <oleauto.h>
#include <ocidl.h>
#include <olectl.h>
#else
#define KALAMOS_WINDOWS 0
#include "platform/posix/OleSubset.h"
#endif

#include <string>

// Wide text as COM carries it (UTF-16 on every platform).
using WideString = std::basic_string<OLECHAR>;
