#include "framework/progress_bar.h"

#include <commctrl.h>

void TProgressBar::SetValue(int position) { SendMessage(PBM_SETPOS, static_cast<WPARAM>(position)); }
