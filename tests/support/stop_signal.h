#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace velbrook::test_support {

// Tells a server's threads to end, and lets them sleep in a way that ends early when it does.
class StopSignal {
 public:
  bool Stopping() const { return stopping_.load(); }

  void Stop() {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    wake_.notify_all();
  }

  // Sleeps for `duration`; false when the signal came first.
  bool SleepFor(std::chrono::milliseconds duration) {
    std::unique_lock<std::mutex> lock(mutex_);
    return !wake_.wait_for(lock, duration, [this] { return stopping_.load(); });
  }

 private:
  std::atomic<bool> stopping_{false};
  std::mutex mutex_;
  std::condition_variable wake_;
};

}  // namespace velbrook::test_support
