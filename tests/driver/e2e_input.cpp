#include "e2e_input.h"

#include <vector>

#include "e2e_wait.h"

namespace e2e {

namespace {

void SendMouse(DWORD flags, LONG dx = 0, LONG dy = 0) {
  INPUT input = {};
  input.type = INPUT_MOUSE;
  input.mi.dx = dx;
  input.mi.dy = dy;
  input.mi.dwFlags = flags;
  SendInput(1, &input, sizeof input);
}

// Absolute coordinates run from 0 to 65535 over the primary screen; aim at the middle
// of the pixel so that rounding on the way back lands on it.
LONG Normalise(int pixel, int screenSize) {
  return static_cast<LONG>((pixel * 65536LL + 32768) / screenSize);
}

}  // namespace

bool MovePointer(int x, int y) {
  const int width = GetSystemMetrics(SM_CXSCREEN);
  const int height = GetSystemMetrics(SM_CYSCREEN);
  auto there = [&] {
    POINT at = {};
    GetCursorPos(&at);
    return at.x == x && at.y == y;
  };
  // Under Wine the move also warps the X pointer, and a late X motion event of an earlier
  // move can carry the pointer back: move again until the place holds for a moment.
  for (int attempt = 0; attempt < 5; ++attempt) {
    SendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, Normalise(x, width), Normalise(y, height));
    if (!WaitUntil(there, 2000, 5)) continue;
    Pause(40);
    if (there()) return true;
  }
  return false;
}

void LeftDown() { SendMouse(MOUSEEVENTF_LEFTDOWN); }
void LeftUp() { SendMouse(MOUSEEVENTF_LEFTUP); }

bool Click(int x, int y) {
  bool there = MovePointer(x, y);
  LeftDown();
  Pause(30);
  LeftUp();
  return there;
}

bool RightClick(int x, int y) {
  bool there = MovePointer(x, y);
  SendMouse(MOUSEEVENTF_RIGHTDOWN);
  Pause(30);
  SendMouse(MOUSEEVENTF_RIGHTUP);
  return there;
}

void PressKeys(std::initializer_list<WORD> keys) {
  std::vector<INPUT> inputs;
  for (WORD key : keys) {
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    inputs.push_back(input);
  }
  for (auto key = keys.end(); key != keys.begin();) {
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = *--key;
    input.ki.dwFlags = KEYEVENTF_KEYUP;
    inputs.push_back(input);
  }
  SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

void PressKey(WORD virtualKey) {
  INPUT inputs[2] = {};
  inputs[0].type = INPUT_KEYBOARD;
  inputs[0].ki.wVk = virtualKey;
  inputs[1] = inputs[0];
  inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(2, inputs, sizeof inputs[0]);
}

}  // namespace e2e
