// Resource and control ids of mendit, shared by mendit.rc and the code.
#pragma once

// Dialogs.
#define IDD_ABOUT 1
#define IDD_PATCH_CLIENT 2000

// Controls of the main dialog (IDOK is the "Quit" button).
#define IDC_GROUP 101
#define IDC_PATH 102
#define IDC_BROWSE 103
#define IDC_INSTALL 104
#define IDC_ABOUT 105
#define IDC_LOG 106
#define IDC_PROGRESS 107
#define IDC_ABOUT_VENDOR 108
#define IDC_STATIC_TEXT -1

// Pictures of the three log row kinds (16 x 16, 16 colours).
#define IDB_INFO 211
#define IDB_ERROR 212
#define IDB_WARNING 213

// Icons: the About box's and the frame's.
#define IDI_ABOUT 1
#define IDI_MAIN 1001
