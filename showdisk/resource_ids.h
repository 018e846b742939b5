// Resource and control ids of showdisk, shared by showdisk.rc and the code.
// Only preprocessor definitions: the resource compiler reads this file too.
#pragma once

// Icon group: the frame's large and small icon.
#define IDI_SHOWDISK 1001

// Bitmaps: the background picture with every item's caption, and the small picture
// named as the template caption of the MENDIT button.
#define IDB_BUTTON 2
#define IDB_BACKGROUND 3

// The client dialog.
#define IDD_CLIENT 2000

// The picture control and the eight buttons over the captions of the picture.
// IDC_EXIT is the dialog's OK command, so the dialog closes through it.
#define IDC_PICTURE -1
#define IDC_EXIT 1
#define IDC_IE4_SETUP 101
#define IDC_WIRESCOPE_DEMO 102
#define IDC_VORNAX_SETUP 103
#define IDC_MENDIT_SETUP 104
#define IDC_PRODUCT_INFO 105
#define IDC_VORNAX_SHOW 106
#define IDC_PPVIEW_SETUP 107
