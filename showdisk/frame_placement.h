// Where the launcher's frame goes on the screen.
#pragma once
#include <windows.h>

// Top-left corner that centres a window of width x height on a screen of screenWidth x
// screenHeight. Signed: a window larger than the screen gets a negative position.
POINT CentredOrigin(int screenWidth, int screenHeight, int width, int height);
