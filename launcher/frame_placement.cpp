#include "frame_placement.h"

int NormalizeLauncherCmdShow(int cmdShow) {
  if (cmdShow == SW_HIDE || cmdShow == SW_SHOWMINNOACTIVE) return cmdShow;
  return SW_SHOWNORMAL;
}

POINT CentredOrigin(int screenWidth, int screenHeight, int width, int height) {
  // int division truncates toward zero, also for negative differences.
  POINT origin = {(screenWidth - width) / 2, (screenHeight - height) / 2};
  return origin;
}
