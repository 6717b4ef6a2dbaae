// An owned reference to a COM object, released when the holder goes.
#pragma once

#include "platform/Ole.h"

namespace kalamos {

template <class T>
class TComPtr {
public:
  TComPtr() = default;
  // Takes over a reference the caller owns (as an out parameter hands one over).
  explicit TComPtr(T* adopted) : P(adopted) {}
  TComPtr(const TComPtr&) = delete;
  TComPtr& operator=(const TComPtr&) = delete;
  TComPtr(TComPtr&& other) noexcept : P(other.P) { other.P = nullptr; }
  TComPtr& operator=(TComPtr&& other) noexcept {
    if (this != &other) {
      Reset(other.P);
      other.P = nullptr;
    }
    return *this;
  }
  ~TComPtr() { Reset(); }

  // Releases what it held and takes over adopted.
  void Reset(T* adopted = nullptr) {
    T* old = P;
    P = adopted;
    if (old) old->Release();
  }
  // After a failed call the slot may hold junk: forget it without a Release.
  void Abandon() { P = nullptr; }
  // The slot for an out parameter, emptied first.
  T** Out() {
    Reset();
    return &P;
  }
  void** OutVoid() { return reinterpret_cast<void**>(Out()); }

  T* Get() const { return P; }
  T* operator->() const { return P; }
  explicit operator bool() const { return P != nullptr; }

private:
  T* P = nullptr;
};

}  // namespace kalamos
