// The full file path of a loaded module, for the registry and the About page.
#pragma once

#include <string>

#include "platform/Ole.h"

namespace kalamos {

// Empty when it cannot be had whole: a cut path could name some other file.
inline std::wstring ModulePath(HMODULE module) {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    if (path.size() >= 32768) return {};
    path.resize(path.size() * 2);
  }
}

}  // namespace kalamos
