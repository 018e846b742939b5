// Polling with a deadline: the program under test runs in its own process, so every
// check of its windows or pixels waits until the condition holds or time runs out.
#pragma once
#include <functional>

namespace e2e {

// Calls condition every stepMs until it returns true (then true) or timeoutMs passed
// (then false, after one last call).
bool WaitUntil(const std::function<bool()>& condition, unsigned timeoutMs, unsigned stepMs = 20);

// Sleeps; for letting another process settle where no condition can be observed.
void Pause(unsigned ms);

}  // namespace e2e
