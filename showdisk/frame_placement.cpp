#include "frame_placement.h"

POINT CentredOrigin(int screenWidth, int screenHeight, int width, int height) {
  // int division truncates toward zero, also for negative differences.
  POINT origin = {(screenWidth - width) / 2, (screenHeight - height) / 2};
  return origin;
}
