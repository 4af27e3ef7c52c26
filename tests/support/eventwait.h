#pragma once
// Waiting on a condition while this thread's events keep being handled (main thread, with a
// QCoreApplication).
#include <chrono>
#include <functional>

namespace EventWait {

// Handles events and checks `done` every `pause` until it holds (true) or `timeoutMs` have
// passed (false). A short pause times what it waits for more closely, at the cost of more
// checks.
bool until(const std::function<bool()> &done, int timeoutMs,
           std::chrono::microseconds pause = std::chrono::milliseconds(5));

}  // namespace EventWait
