// Real input through SendInput: absolute pointer moves, button presses and keys, as
// the system would deliver them from the hardware (capture and hit-testing included).
#pragma once
#include <windows.h>

#include <initializer_list>

namespace e2e {

// Moves the pointer to screen pixel (x, y) and waits until the system reports it there.
bool MovePointer(int x, int y);

// Left button down and up at the pointer's current place.
void LeftDown();
void LeftUp();
// Moves to (x, y), then presses and releases the left button there.
bool Click(int x, int y);

// Moves to (x, y), then presses and releases the right button there.
bool RightClick(int x, int y);
// Presses and releases one virtual key.
void PressKey(WORD virtualKey);
// Presses the keys in order and releases them in reverse: {VK_CONTROL, 'C'}, {VK_SHIFT, VK_F10}.
void PressKeys(std::initializer_list<WORD> keys);

}  // namespace e2e
