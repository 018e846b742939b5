#include "e2e_wait.h"

#include <windows.h>

namespace e2e {

bool WaitUntil(const std::function<bool()>& condition, unsigned timeoutMs, unsigned stepMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (condition()) return true;
    if (GetTickCount() - start >= timeoutMs) return condition();
    Sleep(stepMs);
  }
}

void Pause(unsigned ms) { Sleep(ms); }

}  // namespace e2e
