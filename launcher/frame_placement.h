// How the launcher's frame is shown and where it goes on the screen.
#pragma once
#include <windows.h>

// The show command the launcher uses for the one it was started with: a launcher never
// starts maximised. SW_HIDE and SW_SHOWMINNOACTIVE stay, everything else becomes
// SW_SHOWNORMAL.
int NormalizeLauncherCmdShow(int cmdShow);

// Top-left corner that centres a window of width x height on a screen of screenWidth x
// screenHeight. Signed: a window larger than the screen gets a negative position.
POINT CentredOrigin(int screenWidth, int screenHeight, int width, int height);
