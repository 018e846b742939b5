// End-to-end driver for Windows programs under test: one include for everything.
// A driver is an ordinary Windows test program that starts the program under test,
// finds its windows, moves the real pointer with SendInput (a window holding the
// capture then sees moves anywhere on the screen, which synthetic X events do not
// give under Wine), reads screen pixels and saves screenshots.
#pragma once
#include "e2e_image.h"
#include "e2e_input.h"
#include "e2e_message_box.h"
#include "e2e_process.h"
#include "e2e_wait.h"
#include "e2e_windows.h"
