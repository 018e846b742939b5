#pragma once
// Loads the window classes of the common-control library (progress bar and friends); call it
// once before creating a dialog that uses them.

#include <windows.h>

bool LoadCommonControls(DWORD classes);
