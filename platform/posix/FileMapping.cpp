#include "platform/FileMapping.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

namespace kalamos {

TFileMapping::TFileMapping(const std::string& utf8Path) {
  const int fd = ::open(utf8Path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  struct stat status {};
  if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_size > 0 &&
      uint64_t(status.st_size) <= uint64_t(SIZE_MAX)) {
    void* at = ::mmap(nullptr, size_t(status.st_size), PROT_READ | PROT_WRITE, MAP_PRIVATE, fd, 0);
    if (at != MAP_FAILED) Data_ = static_cast<char*>(at), Size_ = size_t(status.st_size);
  }
  ::close(fd);
}

TFileMapping::~TFileMapping() {
  if (Data_) ::munmap(Data_, Size_);
}

TFileMapping::TFileMapping(TFileMapping&& other) noexcept
    : Data_(std::exchange(other.Data_, nullptr)), Size_(std::exchange(other.Size_, 0)) {}

TFileMapping& TFileMapping::operator=(TFileMapping&& other) noexcept {
  if (this != &other) {
    if (Data_) ::munmap(Data_, Size_);
    Data_ = std::exchange(other.Data_, nullptr);
    Size_ = std::exchange(other.Size_, 0);
  }
  return *this;
}

}  // namespace kalamos
