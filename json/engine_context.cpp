#include "json/engine_context.h"

#include <js/Context.h>
#include <js/GCAPI.h>
#include <js/Initialization.h>
#include <js/Interrupt.h>
#include <js/Stack.h>
#include <jsapi.h>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "json/script_engine.h"

namespace velbrook {
namespace {

using Clock = std::chrono::steady_clock;

// The garbage-collected heap may grow this far; beyond it allocation fails like any other failure.
constexpr std::uint32_t kMaxHeapBytes = 1024u * 1024u * 1024u;
// Deep recursion (a deeply nested value turned into JSON) ends in an exception within this much
// native stack instead of overrunning the thread's stack.
constexpr std::size_t kNativeStackQuotaBytes = 1024 * 1024;
// When a session ends and the heap still holds this much, a shrinking collection runs at once, so
// that a large document's memory is handed back; below it the engine collects when it sees fit.
constexpr std::size_t kLargeHeapBytes = 8 * 1024 * 1024;

std::atomic<std::int64_t> timeLimitMilliseconds{kDefaultScriptTimeLimit.count()};

// Asks the engine to stop the running script once its deadline passes. It runs on a thread of its
// own and touches the engine only through JS_RequestInterruptCallback, which may be called from any
// thread. Each armed evaluation has a generation number, so that a late request never stops the
// evaluation after the one that overran.
class Watchdog {
 public:
  explicit Watchdog(JSContext* cx) : cx_(cx), thread_([this] { Run(); }) {}

  ~Watchdog() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    wake_.notify_one();
    thread_.join();
  }

  void Arm(Clock::duration limit) {
    std::lock_guard<std::mutex> lock(mutex_);
    generation_.fetch_add(1);
    deadline_ = Clock::now() + limit;
    // The thread sleeps until an older deadline; it only needs waking when this one comes sooner.
    if (!sleepingUntil_ || *deadline_ < *sleepingUntil_) wake_.notify_one();
  }

  void Disarm() {
    std::lock_guard<std::mutex> lock(mutex_);
    deadline_.reset();
  }

  bool CurrentEvaluationExpired() const { return expiredGeneration_.load() == generation_.load(); }

 private:
  void Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stopping_) {
      if (!deadline_) {
        sleepingUntil_.reset();
        wake_.wait(lock);
        continue;
      }
      if (Clock::now() >= *deadline_) {
        expiredGeneration_.store(generation_.load());
        deadline_.reset();
        JS_RequestInterruptCallback(cx_);
        continue;
      }
      sleepingUntil_ = deadline_;
      wake_.wait_until(lock, *sleepingUntil_);
    }
  }

  JSContext* const cx_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stopping_ = false;
  std::optional<Clock::time_point> deadline_;
  std::optional<Clock::time_point> sleepingUntil_;
  std::atomic<std::uint64_t> generation_{0};
  std::atomic<std::uint64_t> expiredGeneration_{UINT64_MAX};
  std::thread thread_;  // last: it starts running once everything above exists
};

struct ContextDestroyer {
  void operator()(JSContext* cx) const { JS_DestroyContext(cx); }
};
using ContextPtr = std::unique_ptr<JSContext, ContextDestroyer>;

// The engine of the process. It lives in a function-local static, so it shuts down at exit after
// every document that was created after it, static ones included.
class Engine {
 public:
  Engine() { started_ = Start(); }

  ~Engine() {
    watchdog_.reset();
    // A session still alive at exit keeps the engine up: its root must not outlive the context, and
    // the operating system reclaims the memory anyway. A context is destroyed on its own thread only.
    if (liveSessions_ > 0 || std::this_thread::get_id() != owner_) {
      (void)context_.release();
      return;
    }
    context_.reset();
    if (initialised_) JS_ShutDown();
  }

  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  JSContext* ContextForThisThread() const {
    return started_ && std::this_thread::get_id() == owner_ ? context_.get() : nullptr;
  }
  Watchdog* watchdog() const { return watchdog_.get(); }
  void CountSession(int delta) { liveSessions_ += delta; }

 private:
  bool Start() {
    owner_ = std::this_thread::get_id();
    initialised_ = JS_Init();
    if (!initialised_) return false;
    context_.reset(JS_NewContext(kMaxHeapBytes));
    JSContext* cx = context_.get();
    if (cx == nullptr) return false;
    JS_SetNativeStackQuota(cx, kNativeStackQuotaBytes);
    if (!JS::InitSelfHostedCode(cx)) return false;
    if (!JS_AddInterruptCallback(cx, &Engine::OnInterrupt)) return false;
    watchdog_ = std::make_unique<Watchdog>(cx);
    return true;
  }

  // The engine also calls this for requests of its own; only an expired deadline stops the script.
  static bool OnInterrupt(JSContext*);

  std::thread::id owner_;
  bool initialised_ = false;
  bool started_ = false;
  ContextPtr context_;
  std::unique_ptr<Watchdog> watchdog_;  // after the context: it stops before the context goes
  long liveSessions_ = 0;
};

Engine& TheEngine() {
  static Engine engine;
  return engine;
}

bool Engine::OnInterrupt(JSContext*) {
  Watchdog* watchdog = TheEngine().watchdog();
  return watchdog == nullptr || !watchdog->CurrentEvaluationExpired();
}

}  // namespace

void SetScriptTimeLimit(std::chrono::milliseconds limit) {
  timeLimitMilliseconds.store(limit.count() > 0 ? limit.count() : kDefaultScriptTimeLimit.count());
}

std::chrono::milliseconds ScriptTimeLimit() {
  return std::chrono::milliseconds(timeLimitMilliseconds.load());
}

std::size_t ScriptHeapBytes() {
  JSContext* cx = engine::Context();
  return cx == nullptr ? 0 : JS_GetGCParameter(cx, JSGC_BYTES);
}

namespace engine {

JSContext* Context() { return TheEngine().ContextForThisThread(); }

void SessionOpened() { TheEngine().CountSession(1); }

void SessionClosed() {
  TheEngine().CountSession(-1);
  JSContext* cx = Context();
  if (cx == nullptr) return;
  if (JS_GetGCParameter(cx, JSGC_BYTES) >= kLargeHeapBytes) {
    JS::PrepareForFullGC(cx);
    JS::NonIncrementalGC(cx, JS::GCOptions::Shrink, JS::GCReason::API);
  } else {
    JS_MaybeGC(cx);
  }
}

EvaluationTimer::EvaluationTimer() {
  if (Watchdog* watchdog = TheEngine().watchdog()) watchdog->Arm(ScriptTimeLimit());
}

EvaluationTimer::~EvaluationTimer() {
  if (Watchdog* watchdog = TheEngine().watchdog()) watchdog->Disarm();
}

}  // namespace engine
}  // namespace velbrook
