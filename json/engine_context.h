#pragma once

#include <cstdint>

struct JSContext;

namespace velbrook::engine {

// The process's engine context, started on the first call. Null when the engine cannot start, and
// on every thread other than the one that started it: a context belongs to one thread.
JSContext* Context();

// Bookkeeping of the sessions alive: the engine shuts down at exit only when none is left, since a
// session's root must not outlive its context. Closing a session also gives memory back.
void SessionOpened();
void SessionClosed();

// Holds the time limit for the script that runs while it lives.
class EvaluationTimer {
 public:
  EvaluationTimer();
  ~EvaluationTimer();
  EvaluationTimer(const EvaluationTimer&) = delete;
  EvaluationTimer& operator=(const EvaluationTimer&) = delete;
};

}  // namespace velbrook::engine
