// A whole file mapped copy-on-write: its pages come from the system's file cache as they are
// first read, neither copied nor cleared, and writes stay in this process. A large text read
// into fresh memory costs more in clearing that memory than in the reading itself.
#pragma once

#include <cstddef>
#include <string>

namespace kalamos {

class TFileMapping {
public:
  TFileMapping() = default;
  // Empty (Data() nullptr) when the file cannot be opened or mapped, or is empty: the caller
  // reads it the usual way then.
  explicit TFileMapping(const std::string& utf8Path);
  ~TFileMapping();
  TFileMapping(TFileMapping&& other) noexcept;
  TFileMapping& operator=(TFileMapping&& other) noexcept;
  TFileMapping(const TFileMapping&) = delete;
  TFileMapping& operator=(const TFileMapping&) = delete;

  char* Data() const { return Data_; }
  size_t Size() const { return Size_; }

private:
  char* Data_ = nullptr;
  size_t Size_ = 0;
};

}  // namespace kalamos
