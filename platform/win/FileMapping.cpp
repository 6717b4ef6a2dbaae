#include "platform/FileMapping.h"

#include <windows.h>

#include <utility>

#include "platform/Text.h"

namespace kalamos {

TFileMapping::TFileMapping(const std::string& utf8Path) {
  const WideString name = Utf8ToWide(utf8Path);
  HANDLE file = CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  LARGE_INTEGER size{};
  if (GetFileSizeEx(file, &size) && size.QuadPart > 0 && uint64_t(size.QuadPart) <= uint64_t(SIZE_MAX)) {
    // Copy-on-write: the view is writable, the file is not written.
    HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_WRITECOPY, 0, 0, nullptr);
    if (mapping) {
      void* at = MapViewOfFile(mapping, FILE_MAP_COPY, 0, 0, 0);
      if (at) Data_ = static_cast<char*>(at), Size_ = size_t(size.QuadPart);
      CloseHandle(mapping);
    }
  }
  CloseHandle(file);
}

TFileMapping::~TFileMapping() {
  if (Data_) UnmapViewOfFile(Data_);
}

TFileMapping::TFileMapping(TFileMapping&& other) noexcept
    : Data_(std::exchange(other.Data_, nullptr)), Size_(std::exchange(other.Size_, 0)) {}

TFileMapping& TFileMapping::operator=(TFileMapping&& other) noexcept {
  if (this != &other) {
    if (Data_) UnmapViewOfFile(Data_);
    Data_ = std::exchange(other.Data_, nullptr);
    Size_ = std::exchange(other.Size_, 0);
  }
  return *this;
}

}  // namespace kalamos
