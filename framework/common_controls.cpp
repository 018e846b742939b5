#include "framework/common_controls.h"

#include <commctrl.h>

bool LoadCommonControls(DWORD classes) {
  INITCOMMONCONTROLSEX init = {};
  init.dwSize = sizeof init;
  init.dwICC = classes;
  return InitCommonControlsEx(&init) != FALSE;
}
