// GoogleTest's Notification without std::mutex: the win32 thread model of the cross
// compilers we ship with has none. Forced into every Windows test translation unit.
#pragma once
#include <atomic>

#define GTEST_HAS_NOTIFICATION_ 1

namespace testing::internal {
// Only GoogleTest's own thread helpers wait on it; a flag they spin on serves.
class Notification {
public:
  Notification() = default;
  Notification(const Notification&) = delete;
  Notification& operator=(const Notification&) = delete;
  void Notify() { Notified.store(true, std::memory_order_release); }
  void WaitForNotification() {
    while (!Notified.load(std::memory_order_acquire)) {
    }
  }

private:
  std::atomic<bool> Notified{false};
};
} // namespace testing::internal
