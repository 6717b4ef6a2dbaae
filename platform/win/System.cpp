// The string table, the clock and the failure notice on Windows.
#include "platform/System.h"

namespace kalamos {

std::string LoadResourceString(unsigned id) {
  // The table lives in whichever module holds this code: the DLL, or a test program.
  HMODULE module = nullptr;
  if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          reinterpret_cast<LPCSTR>(&LoadResourceString), &module))
    return std::string();
  char buffer[255];
  int length = LoadStringA(module, id, buffer, sizeof buffer);
  return length > 0 ? std::string(buffer, static_cast<size_t>(length)) : std::string();
}

DATE TodayAsDate() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  now.wHour = now.wMinute = now.wSecond = now.wMilliseconds = 0;
  DATE date = 0;
  SystemTimeToVariantTime(&now, &date);
  return date;
}

void ShowFailureNotice(const std::string& ansiText) { MessageBoxA(nullptr, ansiText.c_str(), nullptr, MB_OK); }

}  // namespace kalamos
