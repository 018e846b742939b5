#pragma once
// The show command a window program opens with, for the one it was started with: SW_HIDE (0)
// and SW_SHOWMINNOACTIVE (7) stay, anything else becomes SW_SHOWNORMAL (1) - the programs
// never start maximised or minimised and active. Portable.
int NormalizedShowCommand(int showCommand);
