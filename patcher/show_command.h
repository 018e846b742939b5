#pragma once
// The show command a program started with showCommand opens with: SW_HIDE (0) and
// SW_SHOWMINNOACTIVE (7) stay, anything else becomes SW_SHOWNORMAL (1).
int NormalizedShowCommand(int showCommand);
