#include "framework/show_command.h"

int NormalizedShowCommand(int showCommand) {
  const int hide = 0, showMinNoActive = 7, showNormal = 1;
  return showCommand == hide || showCommand == showMinNoActive ? showCommand : showNormal;
}
